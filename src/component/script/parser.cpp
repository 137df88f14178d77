#include "component/script/parser.h"

#include <algorithm>
#include <array>
#include <optional>
#include <unordered_map>

#include "tarnlow/error.h"
#include "tarnlow/modules.h"

namespace tarnlow::script {
namespace {

// Limits that keep hostile or broken scripts from exhausting the stack while
// they are parsed, run or freed.
constexpr int kMaxNesting = 100;    // parentheses, Not, signs, blocks, one-line Ifs
constexpr int kMaxTreeDepth = 256;  // operators chained on one line

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
  if (it == kConstants.end()) return std::nullopt;
  return it->second;
}

bool IsKeyword(std::string_view lower) {
  static constexpr std::array<std::string_view, 32> kKeywords{
      "and",   "or",     "xor",   "not",   "mod",  "is",    "if",    "then",      "else",    "elseif", "end",
      "do",    "loop",   "while", "until", "exit", "set",   "print", "printrows", "dim",     "call",   "on",
      "error", "resume", "next",  "goto",  "true", "false", "empty", "null",      "nothing", "err"};
  return std::find(kKeywords.begin(), kKeywords.end(), lower) != kKeywords.end() ||
         FindBuiltin(lower) != nullptr || Constant(lower).has_value();
}

class Parser {
 public:
  explicit Parser(std::string_view source) : tokens_(Tokenize(source)) {}

  std::unique_ptr<Program> Run() {
    program_ = std::make_unique<Program>();
    program_->statements = ParseBlock(Terminators::None, 0);
    return std::move(program_);
  }

 private:
  enum class Terminators { None, If, IfAfterElse, Loop };

  // Counts recursion into nested constructs and refuses what goes too deep.
  class Nest {
   public:
    explicit Nest(Parser& p) : p_(p) {
      if (++p_.nesting_ > kMaxNesting)
        p_.Fail("constructs nested at most " + std::to_string(kMaxNesting) + " deep");
    }
    ~Nest() { --p_.nesting_; }
    Nest(const Nest&) = delete;
    Nest& operator=(const Nest&) = delete;

   private:
    Parser& p_;
  };

  // ---- tokens --------------------------------------------------------------

  const Token& Peek(std::size_t ahead = 0) const {
    return tokens_[std::min(pos_ + ahead, tokens_.size() - 1)];
  }
  const Token& Next() {
    const Token& t = Peek();
    if (pos_ < tokens_.size() - 1) ++pos_;
    return t;
  }
  static bool IsWord(const Token& t, std::string_view lower) {
    return t.kind == TokenKind::Word && t.lower == lower;
  }
  static bool IsSymbol(const Token& t, std::string_view s) {
    return t.kind == TokenKind::Symbol && t.text == s;
  }
  bool AcceptWord(std::string_view lower) {
    if (!IsWord(Peek(), lower)) return false;
    Next();
    return true;
  }
  bool AcceptSymbol(std::string_view s) {
    if (!IsSymbol(Peek(), s)) return false;
    Next();
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
    Next();
  }

  // ---- nodes ---------------------------------------------------------------

  ExprPtr Node(Expr::Kind kind, int line) {
    auto e = std::make_unique<Expr>();
    e->kind = kind;
    e->line = line;
    return e;
  }
  // Records the height of a finished node and refuses trees too tall to walk.
  ExprPtr Done(ExprPtr e) {
    int below = 0;
    if (e->operand) below = std::max(below, e->operand->depth);
    if (e->right) below = std::max(below, e->right->depth);
    for (const ExprPtr& a : e->args) below = std::max(below, a->depth);
    e->depth = below + 1;
    if (e->depth > kMaxTreeDepth)
      Fail("an expression at most " + std::to_string(kMaxTreeDepth) + " operators deep");
    return e;
  }

  std::size_t Slot(const std::string& lower, const std::string& shown) {
    const auto [it, added] = slots_.emplace(lower, program_->variables.size());
    if (added) program_->variables.push_back(shown);
    return it->second;
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
    }
    return false;
  }

  Block ParseBlock(Terminators terminators, int opened_at) {
    Block block;
    while (true) {
      const Token& t = Peek();
      if (t.kind == TokenKind::EndOfLine) {
        Next();
        continue;
      }
      if (t.kind == TokenKind::EndOfScript) {
        switch (terminators) {
          case Terminators::None: return block;
          case Terminators::If:
          case Terminators::IfAfterElse: Fail("'End If' for the If of line " + std::to_string(opened_at));
          case Terminators::Loop: Fail("'Loop' for the Do of line " + std::to_string(opened_at));
        }
      }
      if (AtTerminator(terminators)) return block;
      block.push_back(ParseLine());
    }
  }

  StmtPtr ParseLine() {
    const Token& t = Peek();
    if (IsWord(t, "do")) return ParseDo();
    if (IsWord(t, "if")) {
      StmtPtr s = ParseIf();
      return s;
    }
    StmtPtr s = ParseSimple();
    ExpectEndOfLine();
    return s;
  }

  StmtPtr NewStmt(Stmt::Kind kind, int line) {
    auto s = std::make_unique<Stmt>();
    s->kind = kind;
    s->line = line;
    return s;
  }

  // If ... Then, either a block closed by End If or one statement on the line.
  StmtPtr ParseIf() {
    Nest nest(*this);
    const int line = Next().line;
    auto s = NewStmt(Stmt::Kind::If, line);
    ExprPtr condition = ParseExpr();
    ExpectWord("then", "Then");
    if (Peek().kind != TokenKind::EndOfLine) {
      ++single_if_;
      Block then_part;
      then_part.push_back(ParseSimple());
      s->branches.push_back({std::move(condition), std::move(then_part)});
      if (AcceptWord("else")) s->else_block.push_back(ParseSimple());
      --single_if_;
      if (single_if_ == 0) ExpectEndOfLine();
      return s;
    }
    if (single_if_ > 0) Fail("a statement after 'Then' in a one-line If");
    ExpectEndOfLine();
    s->branches.push_back({std::move(condition), ParseBlock(Terminators::If, line)});
    while (true) {
      if (AcceptWord("elseif")) {
        ExprPtr c = ParseExpr();
        ExpectWord("then", "Then");
        ExpectEndOfLine();
        s->branches.push_back({std::move(c), ParseBlock(Terminators::If, line)});
        continue;
      }
      if (AcceptWord("else")) {
        ExpectEndOfLine();
        s->else_block = ParseBlock(Terminators::IfAfterElse, line);
      }
      break;
    }
    Next();  // End
    Next();  // If
    ExpectEndOfLine();
    return s;
  }

  StmtPtr ParseDo() {
    Nest nest(*this);
    const int line = Next().line;
    auto s = NewStmt(Stmt::Kind::Do, line);
    if (IsWord(Peek(), "while") || IsWord(Peek(), "until")) {
      s->until = Next().lower == "until";
      s->condition = ParseExpr();
    }
    ExpectEndOfLine();
    ++loops_;
    s->body = ParseBlock(Terminators::Loop, line);
    --loops_;
    Next();  // Loop
    if (IsWord(Peek(), "while") || IsWord(Peek(), "until")) {
      if (s->condition) Fail("end of line (the Do already has its condition)");
      s->until = Next().lower == "until";
      s->condition = ParseExpr();
      s->test_first = false;
    }
    ExpectEndOfLine();
    return s;
  }

  // A statement that fits on one line (all but block If and Do).
  StmtPtr ParseSimple() {
    const Token& t = Peek();
    const int line = t.line;
    if (t.kind != TokenKind::Word) Fail("a statement");
    const std::string word = t.lower;
    if (word == "if") {
      if (single_if_ == 0) Fail("a statement");
      return ParseIf();
    }
    if (word == "set") {
      Next();
      auto s = NewStmt(Stmt::Kind::Set, line);
      s->target = ParseTarget();
      ExpectSymbol("=");
      s->value = ParseExpr();
      return s;
    }
    if (word == "print") {
      Next();
      auto s = NewStmt(Stmt::Kind::Print, line);
      if (!AtStatementEnd()) s->args = ParseExprList();
      return s;
    }
    if (word == "printrows") {
      Next();
      auto s = NewStmt(Stmt::Kind::PrintRows, line);
      s->args.push_back(ParseExpr());
      ExpectSymbol(",");
      s->args.push_back(ParseExpr());
      return s;
    }
    if (word == "msgbox") {
      Next();
      auto s = NewStmt(Stmt::Kind::MsgBox, line);
      s->args = ParseStatementArgs();
      if (s->args.empty() || s->args.size() > 3) Fail("1 to 3 arguments for MsgBox");
      return s;
    }
    if (word == "dim") {
      Next();
      do {
        const Token& name = Peek();
        if (name.kind != TokenKind::Word || IsKeyword(name.lower)) Fail("a variable name");
        Slot(name.lower, name.text);
        Next();
      } while (AcceptSymbol(","));
      return NewStmt(Stmt::Kind::Dim, line);
    }
    if (word == "call") {
      Next();
      auto s = NewStmt(Stmt::Kind::Call, line);
      s->target = ParsePostfix(ParsePrimary());
      if (s->target->kind != Expr::Kind::Member) Fail("an object's member after 'Call'");
      return s;
    }
    if (word == "exit") {
      Next();
      ExpectWord("do", "Do");
      if (loops_ == 0) FailFound("a statement", "'Exit Do' outside a Do loop");
      return NewStmt(Stmt::Kind::ExitDo, line);
    }
    if (word == "end") {
      if (IsWord(Peek(1), "if")) FailFound("a statement", "'End If' without an If");
      Next();
      return NewStmt(Stmt::Kind::End, line);
    }
    if (word == "on") {
      Next();
      ExpectWord("error", "Error");
      if (AcceptWord("resume")) {
        ExpectWord("next", "Next");
        return NewStmt(Stmt::Kind::OnErrorResumeNext, line);
      }
      if (AcceptWord("goto")) {
        if (Peek().kind != TokenKind::Number || Peek().text != "0") Fail("'0' after 'On Error GoTo'");
        Next();
        return NewStmt(Stmt::Kind::OnErrorGoTo0, line);
      }
      Fail("'Resume Next' or 'GoTo 0'");
    }
    if (word == "err" && IsSymbol(Peek(1), ".") && IsWord(Peek(2), "clear")) {
      pos_ += 3;
      return NewStmt(Stmt::Kind::ErrClear, line);
    }
    if (word == "err" && IsSymbol(Peek(1), ".") && IsWord(Peek(2), "raise")) {
      pos_ += 3;
      auto s = NewStmt(Stmt::Kind::ErrRaise, line);
      s->args = ParseStatementArgs();
      if (s->args.empty() || s->args.size() > 3) Fail("1 to 3 arguments for Err.Raise");
      return s;
    }
    if (word == "loop") FailFound("a statement", "'Loop' without a Do");
    if (word == "else" || word == "elseif") FailFound("a statement", "'" + t.text + "' without an If");
    if (IsKeyword(word)) Fail("a statement");
    return ParseAssignmentOrCall();
  }

  // name = expr, member = expr, or a call of a member with its arguments.
  StmtPtr ParseAssignmentOrCall() {
    const int line = Peek().line;
    std::size_t args_at = 0;
    ExprPtr chain = ParseChain(&args_at);
    if (IsSymbol(Peek(), "=")) {
      if (chain->kind != Expr::Kind::Variable && chain->kind != Expr::Kind::Member)
        FailFound("a variable or member before '='", "'" + chain->name + "(...)'");
      Next();
      auto s = NewStmt(Stmt::Kind::Let, line);
      s->target = std::move(chain);
      s->value = ParseExpr();
      return s;
    }
    if (chain->kind != Expr::Kind::Member) Fail("'=' after '" + chain->name + "'");
    auto s = NewStmt(Stmt::Kind::Call, line);
    if (AtStatementEnd()) {
      // Without Call, "o.F(x)" puts x in parentheses: it is passed as a copy.
      if (chain->has_args && chain->args.size() == 1)
        chain->args[0] = InParentheses(std::move(chain->args[0]));
    } else {
      // "o.F (1) + 2" passes one argument, (1) + 2: the parentheses read as
      // the call's belonged to its first argument.
      if (chain->has_args) {
        chain->args.clear();
        chain->has_args = false;
        pos_ = args_at;
      }
      chain->args = ParseStatementArgs();
      chain = Done(std::move(chain));
    }
    s->target = std::move(chain);
    return s;
  }

  // The target of an assignment: a variable or a member.
  ExprPtr ParseTarget() {
    ExprPtr e = ParseChain(nullptr);
    if (e->kind != Expr::Kind::Variable && e->kind != Expr::Kind::Member)
      Fail("a variable or member to assign to");
    return e;
  }

  // name {. member [(args)]} at the start of a statement; `args_at` receives
  // the position of the last member's opening parenthesis.
  ExprPtr ParseChain(std::size_t* args_at) {
    const Token& t = Peek();
    if (t.kind != TokenKind::Word || IsKeyword(t.lower)) Fail("a variable or member");
    auto e = Node(Expr::Kind::Variable, t.line);
    e->name = t.text;
    e->slot = Slot(t.lower, t.text);
    Next();
    if (IsSymbol(Peek(), "(")) {
      e->kind = Expr::Kind::Index;
      e->args = ParseArgs();
      e->has_args = true;
      e = Done(std::move(e));
    }
    return ParsePostfix(std::move(e), args_at);
  }

  // Arguments of a statement: "a, b", "(a, b)" or nothing.
  std::vector<ExprPtr> ParseStatementArgs() {
    if (AtStatementEnd()) return {};
    if (IsSymbol(Peek(), "(")) {
      const std::size_t start = pos_;
      try {
        std::vector<ExprPtr> args = ParseArgs();
        if (AtStatementEnd()) {
          if (args.size() == 1) args[0] = InParentheses(std::move(args[0]));
          return args;
        }
      } catch (const SyntaxError&) {
      }
      pos_ = start;
    }
    return ParseExprList();
  }

  ExprPtr InParentheses(ExprPtr e) {
    auto paren = Node(Expr::Kind::Paren, e->line);
    paren->operand = std::move(e);
    return Done(std::move(paren));
  }

  std::vector<ExprPtr> ParseExprList() {
    std::vector<ExprPtr> list;
    do list.push_back(ParseExpr());
    while (AcceptSymbol(","));
    return list;
  }

  // ( [expr {, expr}] )
  std::vector<ExprPtr> ParseArgs() {
    ExpectSymbol("(");
    std::vector<ExprPtr> args;
    if (AcceptSymbol(")")) return args;
    args = ParseExprList();
    ExpectSymbol(")");
    return args;
  }

  // ---- expressions -----------------------------------------------------------

  ExprPtr Binary(Op op, ExprPtr left, ExprPtr right, int line) {
    auto e = Node(Expr::Kind::Binary, line);
    e->op = op;
    e->operand = std::move(left);
    e->right = std::move(right);
    return Done(std::move(e));
  }

  ExprPtr ParseExpr() {
    Nest nest(*this);
    ExprPtr left = ParseAnd();
    while (IsWord(Peek(), "or") || IsWord(Peek(), "xor")) {
      const Token& t = Next();
      const Op op = t.lower == "or" ? Op::Or : Op::Xor;
      left = Binary(op, std::move(left), ParseAnd(), t.line);
    }
    return left;
  }

  ExprPtr ParseAnd() {
    ExprPtr left = ParseNot();
    while (IsWord(Peek(), "and")) {
      const int line = Next().line;
      left = Binary(Op::And, std::move(left), ParseNot(), line);
    }
    return left;
  }

  ExprPtr ParseNot() {
    if (IsWord(Peek(), "not")) {
      Nest nest(*this);
      auto e = Node(Expr::Kind::Unary, Next().line);
      e->op = Op::Not;
      e->operand = ParseNot();
      return Done(std::move(e));
    }
    return ParseComparison();
  }

  ExprPtr ParseComparison() {
    ExprPtr left = ParseConcat();
    while (true) {
      const Token& t = Peek();
      std::optional<Op> op;
      if (t.kind == TokenKind::Symbol) {
        if (t.text == "=")
          op = Op::Equal;
        else if (t.text == "<>")
          op = Op::NotEqual;
        else if (t.text == "<")
          op = Op::Less;
        else if (t.text == ">")
          op = Op::Greater;
        else if (t.text == "<=")
          op = Op::LessEqual;
        else if (t.text == ">=")
          op = Op::GreaterEqual;
      } else if (IsWord(t, "is")) {
        op = Op::Is;
      }
      if (!op) return left;
      const int line = Next().line;
      left = Binary(*op, std::move(left), ParseConcat(), line);
    }
  }

  ExprPtr ParseConcat() {
    ExprPtr left = ParseAdditive();
    while (IsSymbol(Peek(), "&")) {
      const int line = Next().line;
      left = Binary(Op::Concat, std::move(left), ParseAdditive(), line);
    }
    return left;
  }

  ExprPtr ParseAdditive() {
    ExprPtr left = ParseMod();
    while (IsSymbol(Peek(), "+") || IsSymbol(Peek(), "-")) {
      const Token& t = Next();
      const Op op = t.text == "+" ? Op::Add : Op::Subtract;
      left = Binary(op, std::move(left), ParseMod(), t.line);
    }
    return left;
  }

  ExprPtr ParseMod() {
    ExprPtr left = ParseIntDivide();
    while (IsWord(Peek(), "mod")) {
      const int line = Next().line;
      left = Binary(Op::Mod, std::move(left), ParseIntDivide(), line);
    }
    return left;
  }

  ExprPtr ParseIntDivide() {
    ExprPtr left = ParseMultiplicative();
    while (IsSymbol(Peek(), "\\")) {
      const int line = Next().line;
      left = Binary(Op::IntDivide, std::move(left), ParseMultiplicative(), line);
    }
    return left;
  }

  ExprPtr ParseMultiplicative() {
    ExprPtr left = ParseUnary();
    while (IsSymbol(Peek(), "*") || IsSymbol(Peek(), "/")) {
      const Token& t = Next();
      const Op op = t.text == "*" ? Op::Multiply : Op::Divide;
      left = Binary(op, std::move(left), ParseUnary(), t.line);
    }
    return left;
  }

  ExprPtr ParseUnary() {
    if (IsSymbol(Peek(), "-") || IsSymbol(Peek(), "+")) {
      Nest nest(*this);
      const Token& t = Next();
      auto e = Node(Expr::Kind::Unary, t.line);
      e->op = t.text == "-" ? Op::Negate : Op::Plus;
      e->operand = ParseUnary();
      return Done(std::move(e));
    }
    return ParsePostfix(ParsePrimary());
  }

  // {. member [(args)]} after a primary.
  ExprPtr ParsePostfix(ExprPtr e, std::size_t* args_at = nullptr) {
    while (AcceptSymbol(".")) {
      const Token& name = Peek();
      if (name.kind != TokenKind::Word) Fail("a member name after '.'");
      auto m = Node(Expr::Kind::Member, name.line);
      m->name = name.text;
      Next();
      m->operand = std::move(e);
      if (IsSymbol(Peek(), "(")) {
        if (args_at) *args_at = pos_;
        m->args = ParseArgs();
        m->has_args = true;
      }
      e = Done(std::move(m));
    }
    return e;
  }

  ExprPtr ParsePrimary() {
    const Token& t = Peek();
    const int line = t.line;
    switch (t.kind) {
      case TokenKind::Number:
      case TokenKind::String:
      case TokenKind::Date: {
        auto e = Node(Expr::Kind::Literal, line);
        e->value = Next().value;
        return e;
      }
      case TokenKind::Symbol:
        if (t.text == "(") {
          Next();
          auto e = Node(Expr::Kind::Paren, line);
          e->operand = ParseExpr();
          ExpectSymbol(")");
          return Done(std::move(e));
        }
        Fail("an expression");
      case TokenKind::EndOfLine:
      case TokenKind::EndOfScript: Fail("an expression");
      case TokenKind::Word: break;
    }
    const std::string word = t.lower;
    auto literal = [&](Variant v) {
      Next();
      auto e = Node(Expr::Kind::Literal, line);
      e->value = std::move(v);
      return e;
    };
    if (word == "true") return literal(Variant(true));
    if (word == "false") return literal(Variant(false));
    if (word == "empty") return literal(Variant());
    if (word == "null") return literal(Variant(Null));
    if (word == "nothing") return literal(Variant(ObjectPtr()));
    if (auto c = Constant(word)) return literal(std::move(*c));
    if (word == "err") {
      Next();
      auto e = Node(Expr::Kind::ErrField, line);
      if (AcceptSymbol(".")) {
        if (AcceptWord("number"))
          e->field = ErrField::Number;
        else if (AcceptWord("source"))
          e->field = ErrField::Source;
        else if (AcceptWord("description"))
          e->field = ErrField::Description;
        else
          Fail("'Number', 'Source' or 'Description' after 'Err.'");
      }
      return e;
    }
    if (const BuiltinInfo* b = FindBuiltin(word)) {
      const std::string shown = t.text;
      Next();
      if (!IsSymbol(Peek(), "(")) Fail("'(' after '" + shown + "'");
      auto e = Node(Expr::Kind::Call, line);
      e->builtin = b->id;
      e->name = shown;
      e->args = ParseArgs();
      if (e->args.size() < b->min_args || e->args.size() > b->max_args) {
        std::string count = std::to_string(b->min_args);
        if (b->max_args != b->min_args) count += " to " + std::to_string(b->max_args);
        FailFound(count + (b->max_args == 1 ? " argument" : " arguments") + " for " + shown,
                  std::to_string(e->args.size()));
      }
      return Done(std::move(e));
    }
    if (IsKeyword(word)) Fail("an expression");
    auto e = Node(Expr::Kind::Variable, line);
    e->name = t.text;
    e->slot = Slot(word, t.text);
    Next();
    if (IsSymbol(Peek(), "(")) {
      e->kind = Expr::Kind::Index;
      e->args = ParseArgs();
      e->has_args = true;
      return Done(std::move(e));
    }
    return e;
  }

  std::vector<Token> tokens_;
  std::size_t pos_ = 0;
  std::unique_ptr<Program> program_;
  std::unordered_map<std::string, std::size_t> slots_;
  int nesting_ = 0;
  int loops_ = 0;
  int single_if_ = 0;
};

}  // namespace

std::unique_ptr<Program> Parse(std::string_view source) {
  return Parser(source).Run();
}

}  // namespace tarnlow::script
