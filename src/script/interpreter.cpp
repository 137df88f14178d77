#include <bit>
#include <cctype>
#include <new>
#include <ostream>
#include <span>
#include <vector>

#include "operators.h"
#include "parser.h"
#include "script.h"
#include "stack_budget.h"
#include "tarnlow/connection.h"
#include "tarnlow/late_binding.h"
#include "tarnlow/modules.h"
#include "tarnlow/name_index.h"
#include "tarnlow/recordset.h"

namespace tarnlow::script {
namespace {

constexpr std::int32_t kObjectRequired = 424;
constexpr std::int32_t kCannotPerform = 17;
constexpr std::int32_t kOutOfMemory = 7;
constexpr std::int32_t kOutOfStackSpace = 28;
// For Each over a value that has no enumeration member: an object of a class
// that is no collection, or no object at all.
constexpr std::int32_t kNotACollection = 451;

// An error no handler of the script caught, with the line it happened on.
struct Uncaught {
  Error error;
  int line;
};

void WriteUncaught(std::ostream& out, const Error& error, int line) {
  out << "Error " << error.Number() << " at line " << line << ": " << QuotedText(error.Source()) << ": "
      << QuotedText(error.Description()) << '\n';
  out.flush();
}

// The same record for memory that ran out, written without taking more.
void WriteOutOfMemory(std::ostream& out, int line) {
  out << "Error " << kOutOfMemory << " at line " << line << ": \"" << RuntimeSource
      << "\": \"Out of memory\"\n";
  out.flush();
}

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
      : program_(program), out_(out), options_(options) {}

  // Memory that runs out inside a statement is that statement's error 7;
  // anywhere else it ends the run with the same record.
  int Run() {
    try {
      MessagesToOutput messages(out_);
      Err().Clear();
      variables_.resize(program_.variables.size());
      for (const auto& [name, value] : options_.variables)
        for (std::size_t slot = 0; slot < program_.variables.size(); ++slot)
          if (SameName(program_.variables[slot], name)) variables_[slot] = value;
      try {
        RunBlock(program_.statements);
      } catch (const Uncaught& u) {
        WriteUncaught(out_, u.error, u.line);
        return kExitFailed;
      }
      out_.flush();
      return kExitOk;
    } catch (const std::bad_alloc&) {
      variables_.clear();
      variables_.shrink_to_fit();
      WriteOutOfMemory(out_, line_);
      return kExitFailed;
    }
  }

 private:
  enum class Flow { Next, ExitDo, ExitFor, End };

  Flow RunBlock(Range block) {
    for (const StmtId id : program_.List(block)) {
      const Flow flow = RunStatement(program_.stmts[id]);
      if (flow != Flow::Next) return flow;
    }
    return Flow::Next;
  }

  void CountStep(int line) {
    line_ = line;
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
      CheckStack();
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
  bool Test(const Branch& branch) {
    try {
      return Eval(branch.condition).ToBool();
    } catch (const Uncaught&) {
      throw;
    } catch (...) {
      Error e = CurrentException();
      if (!resume_next_) throw Uncaught{std::move(e), branch.line};
      Err().Set(e);
      return true;
    }
  }

  Flow Execute(const Stmt& s) {
    switch (s.kind) {
      case Stmt::Kind::Let: Assign(s, false); return Flow::Next;
      case Stmt::Kind::Set: Assign(s, true); return Flow::Next;
      case Stmt::Kind::Call: EvalMember(Node(s.target), CallKind::Method); return Flow::Next;
      case Stmt::Kind::Print: Print(s); return Flow::Next;
      case Stmt::Kind::PrintRows: PrintRows(s); return Flow::Next;
      case Stmt::Kind::MsgBox: ShowMessage(program_.List(s.items)); return Flow::Next;
      case Stmt::Kind::If:
        for (const Branch& b : program_.Branches(s.items))
          if (Test(b)) return RunBlock(b.body);
        return RunBlock(s.else_block);
      case Stmt::Kind::Do: return Loop(s);
      case Stmt::Kind::ExitDo: return Flow::ExitDo;
      case Stmt::Kind::ForEach: return ForEach(s);
      case Stmt::Kind::ExitFor: return Flow::ExitFor;
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
      case Stmt::Kind::ErrRaise: Raise(program_.List(s.items));
      case Stmt::Kind::Dim: return Flow::Next;
    }
    return Flow::Next;
  }

  Flow Loop(const Stmt& s) {
    const Branch& loop = program_.branches[s.items.first];
    // While stops when the condition is False, Until when it is True.
    auto done = [&] { return loop.condition != kNoExpr && Test(loop) == s.until; };
    while (true) {
      CountStep(s.line);
      if (s.test_first && done()) return Flow::Next;
      const Flow flow = RunBlock(loop.body);
      if (flow == Flow::ExitDo) return Flow::Next;
      if (flow != Flow::Next) return flow;  // End, or Exit For of a For Each around the loop
      if (!s.test_first && done()) return Flow::Next;
    }
  }

  // The members come from the collection's enumerator, a snapshot taken when
  // the loop starts: members added or removed by the body are not visited
  // or skipped. After the last pass the variable holds Nothing; Exit For
  // leaves it on the member of its pass. An error in the For line itself
  // under On Error Resume Next skips the whole loop.
  Flow ForEach(const Stmt& s) {
    const Branch& loop = program_.branches[s.items.first];
    const Variant source = Eval(loop.condition);
    if (!source.IsObject()) RaiseRuntime(kNotACollection);
    const ObjectPtr collection = source.ToObject();
    if (!collection) RaiseRuntime(err::ObjectNotSet);
    const MemberInfo* enumeration = nullptr;
    for (const MemberInfo& m : collection->Class().Members())
      if (m.enumeration) enumeration = &m;
    if (!enumeration) RaiseRuntime(kNotACollection);
    const ObjectPtr enumerator = late::Invoke(*collection, *enumeration, CallKind::Get, {}).ToObject();
    if (!enumerator) RaiseRuntime(kNotACollection);
    const MemberInfo& next = late::Resolve(enumerator->Class(), "Next");
    Variant& variable = variables_[Node(s.target).a];
    while (true) {
      CountStep(s.line);
      Variant member = late::Invoke(*enumerator, next, CallKind::Method, {});
      if (member.IsEmpty() || (member.IsObject() && !member.ToObject())) {
        variable = Variant(ObjectPtr());
        return Flow::Next;
      }
      variable = std::move(member);
      const Flow flow = RunBlock(loop.body);
      if (flow == Flow::ExitFor) return Flow::Next;
      if (flow != Flow::Next) return flow;  // End, or Exit Do of a Do around the loop
      line_ = s.line;
    }
  }

  // ---- statements ----------------------------------------------------------

  void Assign(const Stmt& s, bool set) {
    Variant value = Eval(s.value);
    if (set && !value.IsObject()) RaiseRuntime(kObjectRequired, "Object required");
    const Expr& target = Node(s.target);
    if (target.kind == Expr::Kind::Variable) {
      // A plain assignment of an object would take its default value, which
      // none of the library's classes has.
      if (!set && value.IsObject()) RaiseRuntime(value.ToObject() ? err::NotSupported : err::ObjectNotSet);
      variables_[target.a] = std::move(value);
      return;
    }
    ObjectPtr object = ObjectOf(target.a);
    const MemberInfo& member = Lookup(target, *object);
    std::vector<Variant> args = EvalArgs(target.args);
    args.push_back(std::move(value));
    late::Invoke(*object, member, set ? CallKind::Set : CallKind::Let, args);
  }

  void Print(const Stmt& s) {
    std::string line;
    bool first = true;
    for (const ExprId arg : program_.List(s.items)) {
      if (!first) line += ' ';
      first = false;
      line += PrintForm(Eval(arg));
    }
    out_ << line << '\n';
  }

  void PrintRows(const Stmt& s) {
    const auto args = program_.List(s.items);
    const auto connection = std::dynamic_pointer_cast<Connection>(ObjectOf(args[0]));
    if (!connection) RaiseRuntime(err::TypeMismatch);
    const std::string sql = Eval(args[1]).ToText();
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

  Variant ShowMessage(std::span<const ExprId> args) {
    const std::string text = Eval(args[0]).ToText();
    const int style = args.size() > 1 ? Eval(args[1]).ToInt32() : vbOKOnly;
    const std::string title = args.size() > 2 ? Eval(args[2]).ToText() : std::string();
    return Variant(static_cast<std::int16_t>(MsgBox(text, style, title)));
  }

  [[noreturn]] void Raise(std::span<const ExprId> args) {
    const std::int32_t number = Eval(args[0]).ToInt32();
    std::string source = RuntimeSource;
    std::string description = RuntimeErrorText(number);
    if (args.size() > 1) {
      const Variant v = Eval(args[1]);
      if (!v.IsEmpty()) source = v.ToText();
    }
    if (args.size() > 2) {
      const Variant v = Eval(args[2]);
      if (!v.IsEmpty()) description = v.ToText();
    }
    throw Error(number, std::move(source), std::move(description));
  }

  // ---- expressions -----------------------------------------------------------

  const Expr& Node(ExprId id) const { return program_.exprs[id]; }

  Variant LiteralValue(const Expr& e) const {
    const auto bits = [&e] { return std::bit_cast<double>(std::uint64_t{e.b} << 32 | e.a); };
    switch (static_cast<VarType>(e.code)) {
      case VarType::Empty: return {};
      case VarType::Null: return Variant(Null);
      case VarType::Integer: return Variant(static_cast<std::int16_t>(e.a));
      case VarType::Long: return Variant(static_cast<std::int32_t>(e.a));
      case VarType::Boolean: return Variant(e.a != 0);
      case VarType::Double: return Variant(bits());
      case VarType::Date: return Variant(Date(bits()));
      case VarType::String: return Variant(std::string_view(program_.texts).substr(e.a, e.b));
      case VarType::Object: return Variant(ObjectPtr());
    }
    return {};
  }

  // Nesting the parser let through (a long member chain, say) can still be
  // more than the run's stack budget: the run stops with an error instead.
  void CheckStack() const {
    if (stack_.Exhausted()) RaiseRuntime(kOutOfStackSpace, "Out of stack space");
  }

  Variant Eval(ExprId id) {
    CheckStack();
    const Expr& e = Node(id);
    switch (e.kind) {
      case Expr::Kind::Literal: return LiteralValue(e);
      case Expr::Kind::Variable: return variables_[e.a];
      case Expr::Kind::Paren: return Eval(e.a);
      case Expr::Kind::Member: return EvalMember(e, CallKind::Get);
      case Expr::Kind::Index: return EvalDefault(e);
      case Expr::Kind::Call: return CallBuiltin(e);
      case Expr::Kind::Unary: return ApplyUnary(e.op(), Eval(e.a));
      case Expr::Kind::Chain: {
        Variant value = Eval(e.a);
        const auto rest = program_.List(e.args);
        for (std::size_t i = 0; i + 1 < rest.size(); i += 2)
          value = ApplyBinary(static_cast<Op>(rest[i]), value, Eval(rest[i + 1]));
        return value;
      }
      case Expr::Kind::ErrField: {
        const ErrObject& err = Err();
        switch (e.field()) {
          case ErrField::Number: return Variant(err.Number);
          case ErrField::Source: return Variant(err.Source);
          case ErrField::Description: return Variant(err.Description);
        }
        return {};
      }
    }
    return {};
  }

  // name(args): the default member of the object the variable holds (a
  // collection's Item); a class without one does not support it, and on a
  // value that is no object the call is a mismatch.
  Variant EvalDefault(const Expr& e) {
    const Variant& v = variables_[e.a];
    if (!v.IsObject()) RaiseRuntime(err::TypeMismatch);
    // Held here: an argument's evaluation may assign the variable.
    const ObjectPtr object = v.ToObject();
    if (!object) RaiseRuntime(err::ObjectNotSet);
    const MemberInfo* member = nullptr;
    for (const MemberInfo& m : object->Class().Members())
      if (m.default_member) member = &m;
    if (!member) RaiseRuntime(err::NotSupported);
    std::vector<Variant> args = EvalArgs(e.args);
    return late::Invoke(*object, *member, CallKind::Get, args);
  }

  Variant CallBuiltin(const Expr& e) {
    if (e.builtin() == Builtin::MsgBox) return ShowMessage(program_.List(e.args));
    std::vector<Variant> args = EvalArgs(e.args);
    return ApplyBuiltin(e.builtin(), args);
  }

  // The object an expression gives: Empty or any other non-object value is
  // "Object required", Nothing is "Object variable ... not set".
  ObjectPtr ObjectOf(ExprId e) {
    const Variant v = Eval(e);
    if (!v.IsObject()) RaiseRuntime(kObjectRequired, "Object required");
    ObjectPtr object = v.ToObject();
    if (!object) RaiseRuntime(err::ObjectNotSet);
    return object;
  }

  // The member a Member node names, looked up once per class at each site.
  const MemberInfo& Lookup(const Expr& e, const Object& object) {
    const MemberSite& site = program_.members[e.b];
    const ClassInfo& cls = object.Class();
    if (site.cache.cls != &cls) {
      site.cache.member = &late::Resolve(cls, program_.names[site.name]);
      site.cache.cls = &cls;
    }
    return *site.cache.member;
  }

  std::vector<Variant> EvalArgs(Range exprs) {
    std::vector<Variant> values;
    values.reserve(exprs.count);
    for (const ExprId e : program_.List(exprs)) values.push_back(Eval(e));
    return values;
  }

  Variant EvalMember(const Expr& e, CallKind call) {
    ObjectPtr object = ObjectOf(e.a);
    const MemberInfo& member = Lookup(e, *object);
    std::vector<Variant> args = EvalArgs(e.args);
    Variant result = late::Invoke(*object, member, call, args);
    // Variables passed to arguments taken by reference receive what the
    // operation left in them; anything else was passed as a copy.
    const auto arg_exprs = program_.List(e.args);
    for (std::size_t i = 0; i < arg_exprs.size() && i < member.args.size(); ++i) {
      const Expr& arg = Node(arg_exprs[i]);
      if (member.args[i].by_ref && arg.kind == Expr::Kind::Variable) variables_[arg.a] = std::move(args[i]);
    }
    return result;
  }

  const Program& program_;
  std::ostream& out_;
  const RunOptions& options_;
  std::vector<Variant> variables_;
  bool resume_next_ = false;
  std::int64_t steps_ = 0;
  StackBudget stack_;
  int line_ = 1;  // of the statement under way
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
  } catch (const ParseOutOfMemory& e) {
    WriteOutOfMemory(out, e.Line());
    return kExitFailed;
  }
  return Run(*program, out, options);
}

}  // namespace tarnlow::script
