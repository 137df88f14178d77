#include <cctype>
#include <ostream>
#include <vector>

#include "component/script/operators.h"
#include "component/script/parser.h"
#include "component/script/script.h"
#include "tarnlow/connection.h"
#include "tarnlow/late_binding.h"
#include "tarnlow/modules.h"

namespace tarnlow::script {
namespace {

constexpr std::int32_t kObjectRequired = 424;
constexpr std::int32_t kCannotPerform = 17;

bool SameName(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
      return false;
  return true;
}

// An error no handler of the script caught, with the line it happened on.
struct Uncaught {
  Error error;
  int line;
};

// Message boxes shown while a script runs are written to its output and
// answered OK; the previous handler comes back afterwards.
class MessagesToOutput {
 public:
  explicit MessagesToOutput(std::ostream& out) {
    previous_ = SetMessageHandler([&out](std::string_view text, int style, std::string_view) {
      out << "MsgBox " << style << ' ' << QuotedText(text) << '\n';
      return vbOK;
    });
  }
  ~MessagesToOutput() { SetMessageHandler(std::move(previous_)); }
  MessagesToOutput(const MessagesToOutput&) = delete;
  MessagesToOutput& operator=(const MessagesToOutput&) = delete;

 private:
  MessageHandler previous_;
};

class Interpreter {
 public:
  Interpreter(const Program& program, std::ostream& out, const RunOptions& options)
      : program_(program), out_(out), options_(options), variables_(program.variables.size()) {
    for (const auto& [name, value] : options.variables)
      for (std::size_t slot = 0; slot < program.variables.size(); ++slot)
        if (SameName(program.variables[slot], name)) variables_[slot] = value;
  }

  int Run() {
    MessagesToOutput messages(out_);
    Err().Clear();
    try {
      RunBlock(program_.statements);
    } catch (const Uncaught& u) {
      out_ << "Error " << u.error.Number() << " at line " << u.line << ": " << QuotedText(u.error.Source())
           << ": " << QuotedText(u.error.Description()) << '\n';
      out_.flush();
      return kExitFailed;
    }
    out_.flush();
    return kExitOk;
  }

 private:
  enum class Flow { Next, ExitDo, End };

  Flow RunBlock(const Block& block) {
    for (const StmtPtr& s : block) {
      const Flow flow = RunStatement(*s);
      if (flow != Flow::Next) return flow;
    }
    return Flow::Next;
  }

  void CountStep(int line) {
    if (options_.step_limit > 0 && ++steps_ > options_.step_limit)
      throw Uncaught{Error(kCannotPerform, RuntimeSource,
                           "Script stopped after " + std::to_string(options_.step_limit) + " steps"),
                     line};
  }

  // Runs one statement; under On Error Resume Next a failing statement is
  // skipped and its error record becomes Err.
  Flow RunStatement(const Stmt& s) {
    CountStep(s.line);
    try {
      return Execute(s);
    } catch (const Uncaught&) {
      throw;
    } catch (...) {
      Error e = CurrentException();
      if (!resume_next_) throw Uncaught{std::move(e), s.line};
      Err().Set(e);
      return Flow::Next;
    }
  }

  // A condition of If, ElseIf or Do. Under On Error Resume Next a condition
  // that fails lets execution go on with the next statement, which is the
  // first one of its block, as client programmers know it.
  bool Test(const Expr& condition) {
    try {
      return Eval(condition).ToBool();
    } catch (const Uncaught&) {
      throw;
    } catch (...) {
      Error e = CurrentException();
      if (!resume_next_) throw Uncaught{std::move(e), condition.line};
      Err().Set(e);
      return true;
    }
  }

  Flow Execute(const Stmt& s) {
    switch (s.kind) {
      case Stmt::Kind::Let: Assign(s, false); return Flow::Next;
      case Stmt::Kind::Set: Assign(s, true); return Flow::Next;
      case Stmt::Kind::Call: EvalMember(*s.target, CallKind::Method); return Flow::Next;
      case Stmt::Kind::Print: Print(s); return Flow::Next;
      case Stmt::Kind::PrintRows: PrintRows(s); return Flow::Next;
      case Stmt::Kind::MsgBox: ShowMessage(s.args); return Flow::Next;
      case Stmt::Kind::If:
        for (const Stmt::Branch& b : s.branches)
          if (Test(*b.condition)) return RunBlock(b.body);
        return RunBlock(s.else_block);
      case Stmt::Kind::Do: return Loop(s);
      case Stmt::Kind::ExitDo: return Flow::ExitDo;
      case Stmt::Kind::End: return Flow::End;
      case Stmt::Kind::OnErrorResumeNext:
        resume_next_ = true;
        Err().Clear();
        return Flow::Next;
      case Stmt::Kind::OnErrorGoTo0:
        resume_next_ = false;
        Err().Clear();
        return Flow::Next;
      case Stmt::Kind::ErrClear: Err().Clear(); return Flow::Next;
      case Stmt::Kind::ErrRaise: Raise(s.args);
      case Stmt::Kind::Dim: return Flow::Next;
    }
    return Flow::Next;
  }

  Flow Loop(const Stmt& s) {
    // While stops when the condition is False, Until when it is True.
    auto done = [&] { return s.condition && Test(*s.condition) == s.until; };
    while (true) {
      CountStep(s.line);
      if (s.test_first && done()) return Flow::Next;
      const Flow flow = RunBlock(s.body);
      if (flow == Flow::ExitDo) return Flow::Next;
      if (flow == Flow::End) return flow;
      if (!s.test_first && done()) return Flow::Next;
    }
  }

  // ---- statements ----------------------------------------------------------

  void Assign(const Stmt& s, bool set) {
    Variant value = Eval(*s.value);
    if (set && !value.IsObject()) RaiseRuntime(kObjectRequired, "Object required");
    if (s.target->kind == Expr::Kind::Variable) {
      // A plain assignment of an object would take its default value, which
      // none of the library's classes has.
      if (!set && value.IsObject()) RaiseRuntime(value.ToObject() ? err::NotSupported : err::ObjectNotSet);
      variables_[s.target->slot] = std::move(value);
      return;
    }
    const Expr& target = *s.target;
    ObjectPtr object = ObjectOf(*target.operand);
    const MemberInfo& member = Lookup(target, *object);
    std::vector<Variant> args = EvalArgs(target.args);
    args.push_back(std::move(value));
    late::Invoke(*object, member, set ? CallKind::Set : CallKind::Let, args);
  }

  void Print(const Stmt& s) {
    std::string line;
    for (std::size_t i = 0; i < s.args.size(); ++i) {
      if (i != 0) line += ' ';
      line += PrintForm(Eval(*s.args[i]));
    }
    out_ << line << '\n';
  }

  void PrintRows(const Stmt& s) {
    const auto connection = std::dynamic_pointer_cast<Connection>(ObjectOf(*s.args[0]));
    if (!connection) RaiseRuntime(err::TypeMismatch);
    const std::string sql = Eval(*s.args[1]).ToText();
    Recordset rows;
    rows.Open(sql, connection->DatabaseConnection(), adOpenForwardOnly, adLockReadOnly);
    for (; !rows.AtEOF(); rows.MoveNext()) {
      std::string line;
      for (std::size_t i = 0; i < rows.FieldCount(); ++i) {
        if (i != 0) line += ' ';
        line += PrintForm(rows.Fields(i));
      }
      out_ << line << '\n';
    }
    rows.Close();
  }

  Variant ShowMessage(const std::vector<ExprPtr>& args) {
    const std::string text = Eval(*args[0]).ToText();
    const int style = args.size() > 1 ? Eval(*args[1]).ToInt32() : vbOKOnly;
    const std::string title = args.size() > 2 ? Eval(*args[2]).ToText() : std::string();
    return Variant(static_cast<std::int16_t>(MsgBox(text, style, title)));
  }

  [[noreturn]] void Raise(const std::vector<ExprPtr>& args) {
    const std::int32_t number = Eval(*args[0]).ToInt32();
    std::string source = RuntimeSource;
    std::string description = RuntimeErrorText(number);
    if (args.size() > 1) {
      const Variant v = Eval(*args[1]);
      if (!v.IsEmpty()) source = v.ToText();
    }
    if (args.size() > 2) {
      const Variant v = Eval(*args[2]);
      if (!v.IsEmpty()) description = v.ToText();
    }
    throw Error(number, std::move(source), std::move(description));
  }

  // ---- expressions -----------------------------------------------------------

  Variant Eval(const Expr& e) {
    switch (e.kind) {
      case Expr::Kind::Literal: return e.value;
      case Expr::Kind::Variable: return variables_[e.slot];
      case Expr::Kind::Paren: return Eval(*e.operand);
      case Expr::Kind::Member: return EvalMember(e, CallKind::Get);
      case Expr::Kind::Index: {
        // name(args) reaches the default member of an object, which none of
        // the library's classes has; on anything else it is a mismatch.
        const Variant& v = variables_[e.slot];
        if (v.IsObject()) RaiseRuntime(v.ToObject() ? err::NotSupported : err::ObjectNotSet);
        RaiseRuntime(err::TypeMismatch);
      }
      case Expr::Kind::Call: return CallBuiltin(e);
      case Expr::Kind::Unary: return ApplyUnary(e.op, Eval(*e.operand));
      case Expr::Kind::Binary: {
        const Variant left = Eval(*e.operand);
        return ApplyBinary(e.op, left, Eval(*e.right));
      }
      case Expr::Kind::ErrField: {
        const ErrObject& err = Err();
        switch (e.field) {
          case ErrField::Number: return Variant(err.Number);
          case ErrField::Source: return Variant(err.Source);
          case ErrField::Description: return Variant(err.Description);
        }
        return {};
      }
    }
    return {};
  }

  Variant CallBuiltin(const Expr& e) {
    if (e.builtin == Builtin::MsgBox) return ShowMessage(e.args);
    std::vector<Variant> args = EvalArgs(e.args);
    return ApplyBuiltin(e.builtin, args);
  }

  // The object an expression gives: Empty or any other non-object value is
  // "Object required", Nothing is "Object variable ... not set".
  ObjectPtr ObjectOf(const Expr& e) {
    const Variant v = Eval(e);
    if (!v.IsObject()) RaiseRuntime(kObjectRequired, "Object required");
    ObjectPtr object = v.ToObject();
    if (!object) RaiseRuntime(err::ObjectNotSet);
    return object;
  }

  const MemberInfo& Lookup(const Expr& site, const Object& object) {
    const ClassInfo& cls = object.Class();
    if (site.cache.cls != &cls) {
      site.cache.member = &late::Resolve(cls, site.name);
      site.cache.cls = &cls;
    }
    return *site.cache.member;
  }

  std::vector<Variant> EvalArgs(const std::vector<ExprPtr>& exprs) {
    std::vector<Variant> values;
    values.reserve(exprs.size());
    for (const ExprPtr& e : exprs) values.push_back(Eval(*e));
    return values;
  }

  Variant EvalMember(const Expr& e, CallKind call) {
    ObjectPtr object = ObjectOf(*e.operand);
    const MemberInfo& member = Lookup(e, *object);
    std::vector<Variant> args = EvalArgs(e.args);
    Variant result = late::Invoke(*object, member, call, args);
    // Variables passed to arguments taken by reference receive what the
    // operation left in them; anything else was passed as a copy.
    for (std::size_t i = 0; i < e.args.size() && i < member.args.size(); ++i)
      if (member.args[i].by_ref && e.args[i]->kind == Expr::Kind::Variable)
        variables_[e.args[i]->slot] = std::move(args[i]);
    return result;
  }

  const Program& program_;
  std::ostream& out_;
  RunOptions options_;
  std::vector<Variant> variables_;
  bool resume_next_ = false;
  std::int64_t steps_ = 0;
};

}  // namespace

int Run(const Program& program, std::ostream& out, const RunOptions& options) {
  return Interpreter(program, out, options).Run();
}

int RunSource(std::string_view source, std::ostream& out, const RunOptions& options) {
  std::unique_ptr<Program> program;
  try {
    program = Parse(source);
  } catch (const SyntaxError& e) {
    out << e.what() << '\n';
    out.flush();
    return kExitFailed;
  }
  return Run(*program, out, options);
}

}  // namespace tarnlow::script
