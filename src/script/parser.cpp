#include "parser.h"

#include <algorithm>
#include <array>
#include <bit>
#include <optional>
#include <span>
#include <unordered_map>

#include "stack_budget.h"
#include "tarnlow/error.h"
#include "tarnlow/modules.h"
#include "tarnlow/registry.h"

namespace tarnlow::script {
namespace {

struct BuiltinInfo {
  std::string_view name;  // lower case
  Builtin id;
  std::size_t min_args, max_args;
};

constexpr std::array kBuiltins{
    BuiltinInfo{"len", Builtin::Len, 1, 1},
    BuiltinInfo{"left", Builtin::Left, 2, 2},
    BuiltinInfo{"right", Builtin::Right, 2, 2},
    BuiltinInfo{"mid", Builtin::Mid, 2, 3},
    BuiltinInfo{"instr", Builtin::InStr, 2, 3},
    BuiltinInfo{"trim", Builtin::Trim, 1, 1},
    BuiltinInfo{"ltrim", Builtin::LTrim, 1, 1},
    BuiltinInfo{"rtrim", Builtin::RTrim, 1, 1},
    BuiltinInfo{"ucase", Builtin::UCase, 1, 1},
    BuiltinInfo{"lcase", Builtin::LCase, 1, 1},
    BuiltinInfo{"chr", Builtin::Chr, 1, 1},
    BuiltinInfo{"asc", Builtin::Asc, 1, 1},
    BuiltinInfo{"cstr", Builtin::CStr, 1, 1},
    BuiltinInfo{"cint", Builtin::CInt, 1, 1},
    BuiltinInfo{"clng", Builtin::CLng, 1, 1},
    BuiltinInfo{"cdbl", Builtin::CDbl, 1, 1},
    BuiltinInfo{"cbool", Builtin::CBool, 1, 1},
    BuiltinInfo{"cdate", Builtin::CDate, 1, 1},
    BuiltinInfo{"isnull", Builtin::IsNull, 1, 1},
    BuiltinInfo{"isempty", Builtin::IsEmpty, 1, 1},
    BuiltinInfo{"isobject", Builtin::IsObject, 1, 1},
    BuiltinInfo{"typename", Builtin::TypeName, 1, 1},
    BuiltinInfo{"createobject", Builtin::CreateObject, 1, 1},
    BuiltinInfo{"openconnection", Builtin::OpenConnection, 1, 1},
    BuiltinInfo{"typelibinfo", Builtin::TypeLibInfo, 0, 0},
    BuiltinInfo{"msgbox", Builtin::MsgBox, 1, 3},
};

const BuiltinInfo* FindBuiltin(std::string_view lower) {
  for (const BuiltinInfo& b : kBuiltins)
    if (b.name == lower) return &b;
  return nullptr;
}

std::optional<Variant> Constant(std::string_view lower) {
  static const std::unordered_map<std::string_view, Variant> kConstants{
      {"vbcrlf", Variant("\r\n")},
      {"vbnewline", Variant("\r\n")},
      {"vbcr", Variant("\r")},
      {"vblf", Variant("\n")},
      {"vbtab", Variant("\t")},
      {"vbnullstring", Variant("")},
      {"vbobjecterror", Variant(vbObjectError)},
      {"vbokonly", Variant(static_cast<std::int16_t>(vbOKOnly))},
      {"vbokcancel", Variant(static_cast<std::int16_t>(1))},
      {"vbyesno", Variant(static_cast<std::int16_t>(4))},
      {"vbcritical", Variant(static_cast<std::int16_t>(vbCritical))},
      {"vbquestion", Variant(static_cast<std::int16_t>(32))},
      {"vbexclamation", Variant(static_cast<std::int16_t>(48))},
      {"vbinformation", Variant(static_cast<std::int16_t>(64))},
      {"vbok", Variant(static_cast<std::int16_t>(vbOK))},
      {"vbcancel", Variant(static_cast<std::int16_t>(2))},
      {"vbyes", Variant(static_cast<std::int16_t>(6))},
      {"vbno", Variant(static_cast<std::int16_t>(7))},
  };
  const auto it = kConstants.find(lower);
  if (it != kConstants.end()) return it->second;
  // The members of the type library's enumerations, as a client that
  // references the library writes them.
  for (const EnumerationInfo& e : TypeLibrary().enumerations)
    for (const EnumerationInfo::Member& m : e.members)
      if (SameName(lower, m.name)) return Variant(m.value);
  return std::nullopt;
}

bool IsKeyword(std::string_view lower) {
  // "Each" and "In" mean something only after "For": elsewhere they stay
  // names, as scripts written before the loop existed may use them.
  static constexpr std::array<std::string_view, 33> kKeywords{
      "and", "or",    "xor",    "not",   "mod",  "is",   "if",    "then",  "else", "elseif",    "end",
      "do",  "loop",  "while",  "until", "exit", "for",  "set",   "print", "dim",  "printrows", "call",
      "on",  "error", "resume", "next",  "goto", "true", "false", "empty", "null", "nothing",   "err"};
  return std::find(kKeywords.begin(), kKeywords.end(), lower) != kKeywords.end() ||
         FindBuiltin(lower) != nullptr || Constant(lower).has_value();
}

class Parser {
 public:
  explicit Parser(std::string_view source) : lexer_(source) {}

  std::unique_ptr<Program> Run() {
    try {
      lexer_.NextLine(tokens_);
      program_ = std::make_unique<Program>();
      program_->statements = ParseBlock(Terminators::None, 0);
      // The lists grew by doubling: what a long script leaves spare is let go.
      Program& p = *program_;
      p.exprs.shrink_to_fit();
      p.stmts.shrink_to_fit();
      p.branches.shrink_to_fit();
      p.lists.shrink_to_fit();
      p.texts.shrink_to_fit();
      p.members.shrink_to_fit();
    } catch (const std::bad_alloc&) {
      // What was parsed goes first, so that reporting has memory to work with.
      program_.reset();
      const int line = tokens_.empty() ? lexer_.Line() : Peek().line;
      tokens_ = {};
      throw ParseOutOfMemory(line);
    }
    return std::move(program_);
  }

 private:
  enum class Terminators { None, If, IfAfterElse, Loop, Next };

  // Marks recursion into a nested construct (parentheses, Not, signs,
  // blocks, one-line Ifs) and refuses one more level once the parse has used
  // its stack budget. Operators chained on one level are a loop, not
  // nesting: their number is bounded by memory alone.
  class Nest {
   public:
    explicit Nest(Parser& p) : p_(p) {
      if (p_.stack_.Exhausted())
        p_.Fail("constructs nested at most " + std::to_string(p_.nesting_) + " deep");
      ++p_.nesting_;
    }
    ~Nest() { --p_.nesting_; }
    Nest(const Nest&) = delete;
    Nest& operator=(const Nest&) = delete;

   private:
    Parser& p_;
  };

  // ---- tokens --------------------------------------------------------------
  //
  // Only the current line is held as tokens: a reference to a token lasts
  // until the parser moves past the end of its line.

  const Token& Peek(std::size_t ahead = 0) const {
    return tokens_[std::min(pos_ + ahead, tokens_.size() - 1)];
  }
  // Moves past the current token; past the end of a line, reads the next one.
  void Advance() {
    const TokenKind kind = Peek().kind;
    if (kind == TokenKind::EndOfScript) return;
    if (kind == TokenKind::EndOfLine && pos_ + 1 >= tokens_.size()) {
      lexer_.NextLine(tokens_);
      pos_ = 0;
      return;
    }
    ++pos_;
  }
  // The current token's line, moving past it.
  int NextLine() {
    const int line = Peek().line;
    Advance();
    return line;
  }
  static bool IsWord(const Token& t, std::string_view lower) {
    return t.kind == TokenKind::Word && t.lower == lower;
  }
  static bool IsSymbol(const Token& t, std::string_view s) {
    return t.kind == TokenKind::Symbol && t.text == s;
  }
  bool AcceptWord(std::string_view lower) {
    if (!IsWord(Peek(), lower)) return false;
    Advance();
    return true;
  }
  bool AcceptSymbol(std::string_view s) {
    if (!IsSymbol(Peek(), s)) return false;
    Advance();
    return true;
  }
  void ExpectWord(std::string_view lower, std::string_view shown) {
    if (!AcceptWord(lower)) Fail("'" + std::string(shown) + "'");
  }
  void ExpectSymbol(std::string_view s) {
    if (!AcceptSymbol(s)) Fail("'" + std::string(s) + "'");
  }
  [[noreturn]] void Fail(const std::string& expected) const {
    throw SyntaxError(Peek().line, expected, Describe(Peek()));
  }
  [[noreturn]] void FailFound(const std::string& expected, const std::string& found) const {
    throw SyntaxError(Peek().line, expected, found);
  }

  // The end of a statement: the end of its line, or the Else of a one-line If.
  bool AtStatementEnd() const {
    return Peek().kind == TokenKind::EndOfLine || (single_if_ > 0 && IsWord(Peek(), "else"));
  }
  void ExpectEndOfLine() {
    if (Peek().kind != TokenKind::EndOfLine) Fail("end of line");
    Advance();
  }

  // ---- nodes ---------------------------------------------------------------

  Expr& At(ExprId id) { return program_->exprs[id]; }

  ExprId Add(const Expr& e) {
    const auto id = Count(program_->exprs);
    program_->exprs.push_back(e);
    return id;
  }

  Expr Node(Expr::Kind kind, std::uint32_t a = 0, std::uint32_t b = 0) {
    Expr e{};
    e.kind = kind;
    e.a = a;
    e.b = b;
    return e;
  }

  ExprId Literal(const Variant& value) {
    Expr e = Node(Expr::Kind::Literal);
    e.code = static_cast<std::uint8_t>(value.Type());
    auto bits = [&e](double d) {
      const auto u = std::bit_cast<std::uint64_t>(d);
      e.a = static_cast<std::uint32_t>(u);
      e.b = static_cast<std::uint32_t>(u >> 32);
    };
    switch (value.Type()) {
      case VarType::Integer: e.a = static_cast<std::uint16_t>(value.ToInt16()); break;
      case VarType::Long: e.a = static_cast<std::uint32_t>(value.ToInt32()); break;
      case VarType::Boolean: e.a = value.ToBool() ? 1 : 0; break;
      case VarType::Double: bits(value.ToDouble()); break;
      case VarType::Date: bits(value.ToDate().value); break;
      case VarType::String: {
        const std::string& text = *value.AsText();
        e.a = Count(program_->texts);
        if (text.size() >= UINT32_MAX - e.a)
          FailFound("a smaller script", "more than 4294967294 characters of text");
        e.b = static_cast<std::uint32_t>(text.size());
        program_->texts += text;
        break;
      }
      case VarType::Empty:
      case VarType::Null:
      case VarType::Object: break;  // Nothing is the only object a script can write
    }
    return Add(e);
  }

  // The next position in a list as a 32-bit id; a script with more parts
  // than such ids can number is refused.
  template <class V>
  std::uint32_t Count(const V& v) const {
    if (v.size() >= UINT32_MAX) FailFound("a smaller script", "more than 4294967294 parts");
    return static_cast<std::uint32_t>(v.size());
  }

  Range List(const std::vector<std::uint32_t>& ids) {
    Range r{Count(program_->lists), static_cast<std::uint32_t>(ids.size())};
    program_->lists.insert(program_->lists.end(), ids.begin(), ids.end());
    return r;
  }

  // Where the node lists stand, so that a guess that failed can be undone.
  struct Mark {
    std::size_t exprs, lists, texts, members;
  };
  Mark Here() const {
    const Program& p = *program_;
    return {p.exprs.size(), p.lists.size(), p.texts.size(), p.members.size()};
  }
  void Undo(const Mark& m) {
    Program& p = *program_;
    p.exprs.resize(m.exprs);
    p.lists.resize(m.lists);
    p.texts.resize(m.texts);
    p.members.resize(m.members);
  }

  std::uint32_t Slot(const std::string& lower, const std::string& shown) {
    const auto [it, added] = slots_.emplace(lower, Count(program_->variables));
    if (added) program_->variables.push_back(shown);
    return it->second;
  }

  std::uint32_t MemberName(const std::string& name) {
    const auto [it, added] = member_names_.emplace(name, Count(program_->names));
    if (added) program_->names.push_back(name);
    const auto site = Count(program_->members);
    program_->members.push_back(MemberSite{it->second, {}});
    return site;
  }

  // ---- blocks and statements -------------------------------------------------

  bool AtTerminator(Terminators t) const {
    const Token& first = Peek();
    switch (t) {
      case Terminators::None: return false;
      case Terminators::If:
        return IsWord(first, "elseif") || IsWord(first, "else") ||
               (IsWord(first, "end") && IsWord(Peek(1), "if"));
      case Terminators::IfAfterElse: return IsWord(first, "end") && IsWord(Peek(1), "if");
      case Terminators::Loop: return IsWord(first, "loop");
      case Terminators::Next: return IsWord(first, "next");
    }
    return false;
  }

  Range ParseBlock(Terminators terminators, int opened_at) {
    std::vector<StmtId> block;
    while (true) {
      const Token& t = Peek();
      if (t.kind == TokenKind::EndOfLine) {
        Advance();
        continue;
      }
      if (t.kind == TokenKind::EndOfScript) {
        switch (terminators) {
          case Terminators::None: return List(block);
          case Terminators::If:
          case Terminators::IfAfterElse: Fail("'End If' for the If of line " + std::to_string(opened_at));
          case Terminators::Loop: Fail("'Loop' for the Do of line " + std::to_string(opened_at));
          case Terminators::Next: Fail("'Next' for the For of line " + std::to_string(opened_at));
        }
      }
      if (AtTerminator(terminators)) return List(block);
      block.push_back(ParseLine());
    }
  }

  StmtId ParseLine() {
    const Token& t = Peek();
    if (IsWord(t, "do")) return ParseDo();
    if (IsWord(t, "for")) return ParseForEach();
    if (IsWord(t, "if")) return ParseIf();
    const StmtId s = ParseSimple();
    ExpectEndOfLine();
    return s;
  }

  static Stmt NewStmt(Stmt::Kind kind, int line) {
    Stmt s{};
    s.kind = kind;
    s.line = line;
    return s;
  }
  StmtId Add(const Stmt& s) {
    const auto id = Count(program_->stmts);
    program_->stmts.push_back(s);
    return id;
  }
  Range Branches(const std::vector<Branch>& branches) {
    Range r{Count(program_->branches), static_cast<std::uint32_t>(branches.size())};
    program_->branches.insert(program_->branches.end(), branches.begin(), branches.end());
    return r;
  }

  // If ... Then, either a block closed by End If or one statement on the line.
  StmtId ParseIf() {
    Nest nest(*this);
    const int line = NextLine();
    Stmt s = NewStmt(Stmt::Kind::If, line);
    std::vector<Branch> branches;
    const ExprId condition = ParseExpr();
    ExpectWord("then", "Then");
    if (Peek().kind != TokenKind::EndOfLine) {
      ++single_if_;
      const StmtId then_part = ParseSimple();
      branches.push_back({condition, line, List({then_part})});
      if (AcceptWord("else")) {
        const StmtId else_part = ParseSimple();
        s.else_block = List({else_part});
      }
      --single_if_;
      if (single_if_ == 0) ExpectEndOfLine();
      s.items = Branches(branches);
      return Add(s);
    }
    if (single_if_ > 0) Fail("a statement after 'Then' in a one-line If");
    ExpectEndOfLine();
    branches.push_back({condition, line, ParseBlock(Terminators::If, line)});
    while (true) {
      const int branch_line = Peek().line;
      if (AcceptWord("elseif")) {
        const ExprId c = ParseExpr();
        ExpectWord("then", "Then");
        ExpectEndOfLine();
        branches.push_back({c, branch_line, ParseBlock(Terminators::If, line)});
        continue;
      }
      if (AcceptWord("else")) {
        ExpectEndOfLine();
        s.else_block = ParseBlock(Terminators::IfAfterElse, line);
      }
      break;
    }
    Advance();  // End
    Advance();  // If
    ExpectEndOfLine();
    s.items = Branches(branches);
    return Add(s);
  }

  StmtId ParseDo() {
    Nest nest(*this);
    const int line = NextLine();
    Stmt s = NewStmt(Stmt::Kind::Do, line);
    Branch loop;
    if (IsWord(Peek(), "while") || IsWord(Peek(), "until")) {
      s.until = Peek().lower == "until";
      loop.line = NextLine();
      loop.condition = ParseExpr();
    }
    ExpectEndOfLine();
    ++loops_;
    loop.body = ParseBlock(Terminators::Loop, line);
    --loops_;
    Advance();  // Loop
    if (IsWord(Peek(), "while") || IsWord(Peek(), "until")) {
      if (loop.condition != kNoExpr) Fail("end of line (the Do already has its condition)");
      s.until = Peek().lower == "until";
      loop.line = NextLine();
      loop.condition = ParseExpr();
      s.test_first = false;
    }
    ExpectEndOfLine();
    s.items = Branches({loop});
    return Add(s);
  }

  // For Each name In expr NL block Next [name]
  StmtId ParseForEach() {
    Nest nest(*this);
    const int line = NextLine();
    ExpectWord("each", "Each");
    const Token& name = Peek();
    if (name.kind != TokenKind::Word || IsKeyword(name.lower)) Fail("a variable name after 'For Each'");
    const std::string variable = name.lower;
    const std::string shown = name.text;
    Stmt s = NewStmt(Stmt::Kind::ForEach, line);
    s.target = Add(Node(Expr::Kind::Variable, Slot(variable, shown)));
    Advance();
    ExpectWord("in", "In");
    Branch loop;
    loop.line = line;
    loop.condition = ParseExpr();
    ExpectEndOfLine();
    ++for_loops_;
    loop.body = ParseBlock(Terminators::Next, line);
    --for_loops_;
    Advance();  // Next
    if (Peek().kind == TokenKind::Word) {
      if (Peek().lower != variable) Fail("end of line or '" + shown + "' after 'Next'");
      Advance();
    }
    ExpectEndOfLine();
    s.items = Branches({loop});
    return Add(s);
  }

  // A statement that fits on one line (all but block If, Do and For Each).
  StmtId ParseSimple() {
    const Token& t = Peek();
    const int line = t.line;
    if (t.kind != TokenKind::Word) Fail("a statement");
    const std::string word = t.lower;
    if (word == "if") {
      if (single_if_ == 0) Fail("a statement");
      return ParseIf();
    }
    if (word == "set") {
      Advance();
      Stmt s = NewStmt(Stmt::Kind::Set, line);
      s.target = ParseTarget();
      ExpectSymbol("=");
      s.value = ParseExpr();
      return Add(s);
    }
    if (word == "print") {
      Advance();
      Stmt s = NewStmt(Stmt::Kind::Print, line);
      if (!AtStatementEnd()) s.items = List(ParseExprList());
      return Add(s);
    }
    if (word == "printrows") {
      Advance();
      Stmt s = NewStmt(Stmt::Kind::PrintRows, line);
      const ExprId connection = ParseExpr();
      ExpectSymbol(",");
      const ExprId sql = ParseExpr();
      s.items = List({connection, sql});
      return Add(s);
    }
    if (word == "msgbox") {
      Advance();
      Stmt s = NewStmt(Stmt::Kind::MsgBox, line);
      const std::vector<ExprId> args = ParseStatementArgs();
      if (args.empty() || args.size() > 3) Fail("1 to 3 arguments for MsgBox");
      s.items = List(args);
      return Add(s);
    }
    if (word == "dim") {
      Advance();
      do {
        const Token& name = Peek();
        if (name.kind != TokenKind::Word || IsKeyword(name.lower)) Fail("a variable name");
        Slot(name.lower, name.text);
        Advance();
      } while (AcceptSymbol(","));
      return Add(NewStmt(Stmt::Kind::Dim, line));
    }
    if (word == "call") {
      Advance();
      Stmt s = NewStmt(Stmt::Kind::Call, line);
      s.target = ParsePostfix(ParsePrimary());
      if (At(s.target).kind != Expr::Kind::Member) Fail("an object's member after 'Call'");
      return Add(s);
    }
    if (word == "exit") {
      Advance();
      if (AcceptWord("for")) {
        if (for_loops_ == 0) FailFound("a statement", "'Exit For' outside a For Each loop");
        return Add(NewStmt(Stmt::Kind::ExitFor, line));
      }
      if (!AcceptWord("do")) Fail("'Do' or 'For' after 'Exit'");
      if (loops_ == 0) FailFound("a statement", "'Exit Do' outside a Do loop");
      return Add(NewStmt(Stmt::Kind::ExitDo, line));
    }
    if (word == "end") {
      if (IsWord(Peek(1), "if")) FailFound("a statement", "'End If' without an If");
      Advance();
      return Add(NewStmt(Stmt::Kind::End, line));
    }
    if (word == "on") {
      Advance();
      ExpectWord("error", "Error");
      if (AcceptWord("resume")) {
        ExpectWord("next", "Next");
        return Add(NewStmt(Stmt::Kind::OnErrorResumeNext, line));
      }
      if (AcceptWord("goto")) {
        if (Peek().kind != TokenKind::Number || Peek().text != "0") Fail("'0' after 'On Error GoTo'");
        Advance();
        return Add(NewStmt(Stmt::Kind::OnErrorGoTo0, line));
      }
      Fail("'Resume Next' or 'GoTo 0'");
    }
    if (word == "err" && IsSymbol(Peek(1), ".") && IsWord(Peek(2), "clear")) {
      pos_ += 3;
      return Add(NewStmt(Stmt::Kind::ErrClear, line));
    }
    if (word == "err" && IsSymbol(Peek(1), ".") && IsWord(Peek(2), "raise")) {
      pos_ += 3;
      Stmt s = NewStmt(Stmt::Kind::ErrRaise, line);
      const std::vector<ExprId> args = ParseStatementArgs();
      if (args.empty() || args.size() > 3) Fail("1 to 3 arguments for Err.Raise");
      s.items = List(args);
      return Add(s);
    }
    if (word == "loop") FailFound("a statement", "'Loop' without a Do");
    if (word == "next") FailFound("a statement", "'Next' without a For");
    if (word == "else" || word == "elseif") FailFound("a statement", "'" + t.text + "' without an If");
    if (IsKeyword(word)) Fail("a statement");
    return ParseAssignmentOrCall();
  }

  // Where the arguments of the last member of a chain begin: the token, and
  // the node lists as they stood before them.
  struct ArgsAt {
    std::size_t pos = 0;
    Mark mark{};
  };

  // name = expr, member = expr, or a call of a member with its arguments.
  StmtId ParseAssignmentOrCall() {
    const int line = Peek().line;
    ArgsAt args_at;
    std::string name;
    ExprId chain = ParseChain(&args_at, name);
    if (IsSymbol(Peek(), "=")) {
      if (At(chain).kind != Expr::Kind::Variable && At(chain).kind != Expr::Kind::Member)
        FailFound("a variable or member before '='", "'" + name + "(...)'");
      Advance();
      Stmt s = NewStmt(Stmt::Kind::Let, line);
      s.target = chain;
      s.value = ParseExpr();
      return Add(s);
    }
    if (At(chain).kind != Expr::Kind::Member) Fail("'=' after '" + name + "'");
    Stmt s = NewStmt(Stmt::Kind::Call, line);
    if (AtStatementEnd()) {
      // Without Call, "o.F(x)" puts x in parentheses: it is passed as a copy.
      const Expr call = At(chain);
      if (call.has_args && call.args.count == 1) {
        const ExprId copy = InParentheses(program_->lists[call.args.first]);
        program_->lists[call.args.first] = copy;
      }
    } else {
      // "o.F (1) + 2" passes one argument, (1) + 2: the parentheses read as
      // the call's belonged to its first argument.
      // The member node is the last one added: it is taken off and added
      // again after its new arguments.
      Expr call = At(chain);
      if (call.has_args) {
        Undo(args_at.mark);
        pos_ = args_at.pos;
        call.has_args = false;
      } else {
        Undo(Mark{chain, program_->lists.size(), program_->texts.size(), program_->members.size()});
      }
      call.args = List(ParseStatementArgs());
      chain = Add(call);
    }
    s.target = chain;
    return Add(s);
  }

  // The target of an assignment: a variable or a member.
  ExprId ParseTarget() {
    std::string name;
    const ExprId e = ParseChain(nullptr, name);
    if (At(e).kind != Expr::Kind::Variable && At(e).kind != Expr::Kind::Member)
      Fail("a variable or member to assign to");
    return e;
  }

  // name {. member [(args)]} at the start of a statement; `args_at` receives
  // where the last member's arguments begin, `name` the last name as written.
  ExprId ParseChain(ArgsAt* args_at, std::string& name) {
    const Token& t = Peek();
    if (t.kind != TokenKind::Word || IsKeyword(t.lower)) Fail("a variable or member");
    name = t.text;
    Expr e = Node(Expr::Kind::Variable, Slot(t.lower, t.text));
    Advance();
    if (IsSymbol(Peek(), "(")) {
      e.kind = Expr::Kind::Index;
      e.args = List(ParseArgs());
      e.has_args = true;
    }
    return ParsePostfix(Add(e), args_at, &name);
  }

  // Arguments of a statement: "a, b", "(a, b)" or nothing.
  std::vector<ExprId> ParseStatementArgs() {
    if (AtStatementEnd()) return {};
    if (IsSymbol(Peek(), "(")) {
      const std::size_t start = pos_;
      const Mark mark = Here();
      try {
        std::vector<ExprId> args = ParseArgs();
        if (AtStatementEnd()) {
          if (args.size() == 1) args[0] = InParentheses(args[0]);
          return args;
        }
      } catch (const SyntaxError&) {
      }
      pos_ = start;
      Undo(mark);
    }
    return ParseExprList();
  }

  ExprId InParentheses(ExprId e) { return Add(Node(Expr::Kind::Paren, e)); }

  std::vector<ExprId> ParseExprList() {
    std::vector<ExprId> list;
    do list.push_back(ParseExpr());
    while (AcceptSymbol(","));
    return list;
  }

  // ( [expr {, expr}] )
  std::vector<ExprId> ParseArgs() {
    ExpectSymbol("(");
    std::vector<ExprId> args;
    if (AcceptSymbol(")")) return args;
    args = ParseExprList();
    ExpectSymbol(")");
    return args;
  }

  // ---- expressions -----------------------------------------------------------

  // A binary operator as written: a symbol, or a word in lower case.
  struct Spelling {
    std::string_view text;
    Op op;
  };
  static constexpr Spelling kOr[] = {{"or", Op::Or}, {"xor", Op::Xor}};
  static constexpr Spelling kAnd[] = {{"and", Op::And}};
  static constexpr Spelling kComparison[] = {
      {"=", Op::Equal},      {"<>", Op::NotEqual},     {"<", Op::Less}, {">", Op::Greater},
      {"<=", Op::LessEqual}, {">=", Op::GreaterEqual}, {"is", Op::Is}};
  static constexpr Spelling kConcat[] = {{"&", Op::Concat}};
  static constexpr Spelling kAdditive[] = {{"+", Op::Add}, {"-", Op::Subtract}};
  static constexpr Spelling kMod[] = {{"mod", Op::Mod}};
  static constexpr Spelling kIntDivide[] = {{"\\", Op::IntDivide}};
  static constexpr Spelling kMultiplicative[] = {{"*", Op::Multiply}, {"/", Op::Divide}};

  static std::optional<Op> OpAt(const Token& t, std::span<const Spelling> ops) {
    if (t.kind != TokenKind::Symbol && t.kind != TokenKind::Word) return std::nullopt;
    const std::string& written = t.kind == TokenKind::Word ? t.lower : t.text;
    for (const Spelling& s : ops)
      if (written == s.text) return s.op;
    return std::nullopt;
  }

  // One precedence level: operands read by `operand`, joined left to right
  // by the level's operators. A run of operators becomes one Chain node,
  // evaluated in a loop, so that its length costs no stack.
  template <class Operand>
  ExprId ParseLevel(Operand operand, std::span<const Spelling> ops) {
    const ExprId first = operand();
    std::optional<Op> op = OpAt(Peek(), ops);
    if (!op) return first;
    std::vector<std::uint32_t> rest;
    do {
      Advance();
      rest.push_back(static_cast<std::uint32_t>(*op));
      rest.push_back(operand());
    } while ((op = OpAt(Peek(), ops)));
    Expr e = Node(Expr::Kind::Chain, first);
    e.args = List(rest);
    return Add(e);
  }

  ExprId ParseExpr() {
    Nest nest(*this);
    return ParseLevel([this] { return ParseAnd(); }, kOr);
  }

  ExprId ParseAnd() {
    return ParseLevel([this] { return ParseNot(); }, kAnd);
  }

  ExprId ParseNot() {
    if (IsWord(Peek(), "not")) {
      Nest nest(*this);
      Advance();
      Expr e = Node(Expr::Kind::Unary, ParseNot());
      e.code = static_cast<std::uint8_t>(Op::Not);
      return Add(e);
    }
    return ParseComparison();
  }

  ExprId ParseComparison() {
    return ParseLevel([this] { return ParseConcat(); }, kComparison);
  }
  ExprId ParseConcat() {
    return ParseLevel([this] { return ParseAdditive(); }, kConcat);
  }
  ExprId ParseAdditive() {
    return ParseLevel([this] { return ParseMod(); }, kAdditive);
  }
  ExprId ParseMod() {
    return ParseLevel([this] { return ParseIntDivide(); }, kMod);
  }
  ExprId ParseIntDivide() {
    return ParseLevel([this] { return ParseMultiplicative(); }, kIntDivide);
  }
  ExprId ParseMultiplicative() {
    return ParseLevel([this] { return ParseUnary(); }, kMultiplicative);
  }

  ExprId ParseUnary() {
    if (IsSymbol(Peek(), "-") || IsSymbol(Peek(), "+")) {
      Nest nest(*this);
      const Op op = Peek().text == "-" ? Op::Negate : Op::Plus;
      Advance();
      Expr e = Node(Expr::Kind::Unary, ParseUnary());
      e.code = static_cast<std::uint8_t>(op);
      return Add(e);
    }
    return ParsePostfix(ParsePrimary());
  }

  // {. member [(args)]} after a primary; `args_at` and `name` as for ParseChain.
  ExprId ParsePostfix(ExprId e, ArgsAt* args_at = nullptr, std::string* name = nullptr) {
    while (AcceptSymbol(".")) {
      const Token& t = Peek();
      if (t.kind != TokenKind::Word) Fail("a member name after '.'");
      if (name) *name = t.text;
      Expr m = Node(Expr::Kind::Member, e, MemberName(t.text));
      Advance();
      if (IsSymbol(Peek(), "(")) {
        if (args_at) *args_at = {pos_, Here()};
        m.args = List(ParseArgs());
        m.has_args = true;
      }
      e = Add(m);
    }
    return e;
  }

  ExprId ParsePrimary() {
    const Token& t = Peek();
    switch (t.kind) {
      case TokenKind::Number:
      case TokenKind::String:
      case TokenKind::Date: {
        const ExprId e = Literal(t.value);
        Advance();
        return e;
      }
      case TokenKind::Symbol:
        if (t.text == "(") {
          Advance();
          const ExprId inner = ParseExpr();
          ExpectSymbol(")");
          return InParentheses(inner);
        }
        Fail("an expression");
      case TokenKind::EndOfLine:
      case TokenKind::EndOfScript: Fail("an expression");
      case TokenKind::Word: break;
    }
    const std::string word = t.lower;
    auto literal = [&](const Variant& v) {
      Advance();
      return Literal(v);
    };
    if (word == "true") return literal(Variant(true));
    if (word == "false") return literal(Variant(false));
    if (word == "empty") return literal(Variant());
    if (word == "null") return literal(Variant(Null));
    if (word == "nothing") return literal(Variant(ObjectPtr()));
    if (auto c = Constant(word)) return literal(*c);
    if (word == "err") {
      Advance();
      Expr e = Node(Expr::Kind::ErrField);
      if (AcceptSymbol(".")) {
        if (AcceptWord("number"))
          e.code = static_cast<std::uint8_t>(ErrField::Number);
        else if (AcceptWord("source"))
          e.code = static_cast<std::uint8_t>(ErrField::Source);
        else if (AcceptWord("description"))
          e.code = static_cast<std::uint8_t>(ErrField::Description);
        else
          Fail("'Number', 'Source' or 'Description' after 'Err.'");
      }
      return Add(e);
    }
    if (const BuiltinInfo* b = FindBuiltin(word)) {
      const std::string shown = t.text;
      Advance();
      if (!IsSymbol(Peek(), "(")) Fail("'(' after '" + shown + "'");
      Expr e = Node(Expr::Kind::Call);
      e.code = static_cast<std::uint8_t>(b->id);
      const std::vector<ExprId> args = ParseArgs();
      if (args.size() < b->min_args || args.size() > b->max_args) {
        std::string count = std::to_string(b->min_args);
        if (b->max_args != b->min_args) count += " to " + std::to_string(b->max_args);
        FailFound(count + (b->max_args == 1 ? " argument" : " arguments") + " for " + shown,
                  std::to_string(args.size()));
      }
      e.args = List(args);
      e.has_args = true;
      return Add(e);
    }
    if (IsKeyword(word)) Fail("an expression");
    Expr e = Node(Expr::Kind::Variable, Slot(word, t.text));
    Advance();
    if (IsSymbol(Peek(), "(")) {
      e.kind = Expr::Kind::Index;
      e.args = List(ParseArgs());
      e.has_args = true;
    }
    return Add(e);
  }

  Lexer lexer_;
  std::vector<Token> tokens_;  // the current line
  std::size_t pos_ = 0;
  std::unique_ptr<Program> program_;
  std::unordered_map<std::string, std::uint32_t> slots_;
  std::unordered_map<std::string, std::uint32_t> member_names_;
  StackBudget stack_;
  int nesting_ = 0;    // levels of Nest open
  int loops_ = 0;      // Do loops open around the statement being parsed
  int for_loops_ = 0;  // and For Each loops
  int single_if_ = 0;
};

}  // namespace

std::unique_ptr<Program> Parse(std::string_view source) {
  return Parser(source).Run();
}

}  // namespace tarnlow::script
