// The parsed form of a script: statements with their line numbers and the
// expressions they evaluate.
//
// Nodes live in flat lists of the Program and refer to each other by index,
// so that a parsed statement costs a few dozen bytes instead of a tree of
// separately allocated nodes: scripts of hundreds of thousands of lines stay
// small once parsed.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "tarnlow/object.h"

namespace tarnlow::script {

enum class Op : std::uint8_t {
  // binary
  Add,
  Subtract,
  Multiply,
  Divide,
  IntDivide,
  Mod,
  Concat,
  Equal,
  NotEqual,
  Less,
  Greater,
  LessEqual,
  GreaterEqual,
  Is,
  And,
  Or,
  Xor,
  // unary
  Negate,
  Plus,
  Not,
};

enum class Builtin : std::uint8_t {
  Len,
  Left,
  Right,
  Mid,
  InStr,
  Trim,
  LTrim,
  RTrim,
  UCase,
  LCase,
  Chr,
  Asc,
  CStr,
  CInt,
  CLng,
  CDbl,
  CBool,
  CDate,
  IsNull,
  IsEmpty,
  IsObject,
  TypeName,
  CreateObject,
  OpenConnection,
  TypeLibInfo,
  MsgBox,
};

enum class ErrField : std::uint8_t { Number, Source, Description };

// Positions in the Program's lists.
using ExprId = std::uint32_t;
using StmtId = std::uint32_t;
inline constexpr ExprId kNoExpr = UINT32_MAX;

// A run of consecutive entries of Program::lists: the arguments of a call
// (expression ids) or the statements of a block (statement ids).
struct Range {
  std::uint32_t first = 0;
  std::uint32_t count = 0;
};

// The member a call site reached last time, so that a loop does not look the
// same name up again for every pass.
struct MemberCache {
  const ClassInfo* cls = nullptr;
  const MemberInfo* member = nullptr;
};

struct MemberSite {
  std::uint32_t name;  // in Program::names
  mutable MemberCache cache;
};

struct Expr {
  enum class Kind : std::uint8_t {
    Literal,   // code: VarType, the value in a and b (see below)
    Variable,  // a: slot
    Paren,     // a: operand; a variable in parentheses is passed by value
    Member,    // a: operand, b: member site; args when has_args
    Index,     // a: slot, args: name(args) on a variable reaches an object's default member
    Call,      // code: builtin, args
    Unary,     // code: op, a: operand
    Chain,     // a: first operand; args: pairs of an Op and the next operand, applied left to right
    ErrField,  // code: field; Err.Number, Err.Source, Err.Description
  };

  Kind kind;
  std::uint8_t code = 0;  // the Op, Builtin, ErrField or VarType of the kinds that have one
  bool has_args = false;
  // A literal keeps its value here: a 16- or 32-bit integer or a Boolean in
  // a, the bits of a double or a date in a and b together, a text as b
  // characters of Program::texts from a. Empty, Null and Nothing need neither.
  std::uint32_t a = 0;
  std::uint32_t b = 0;
  Range args;

  Op op() const { return static_cast<Op>(code); }
  Builtin builtin() const { return static_cast<Builtin>(code); }
  ErrField field() const { return static_cast<ErrField>(code); }
};

// A condition and the block it guards: the If and ElseIf parts of an If, and
// the one part of a Do loop (whose condition may be missing).
struct Branch {
  ExprId condition = kNoExpr;
  std::int32_t line = 0;  // where the condition is written
  Range body;
};

struct Stmt {
  enum class Kind : std::uint8_t {
    Let,        // target = value (target: Variable or Member)
    Set,        // Set target = value
    Call,       // target: a Member reached as an operation, its args in the node
    Print,      // Print args...
    PrintRows,  // PrintRows connection, sql
    MsgBox,     // MsgBox text [, style [, title]]
    If,         // items: branches; else_block
    Do,         // items: its one branch
    ExitDo,
    ForEach,  // target: the loop variable; items: one branch, its condition the collection
    ExitFor,
    End,
    OnErrorResumeNext,
    OnErrorGoTo0,
    ErrClear,
    ErrRaise,  // Err.Raise number [, source [, description]]
    Dim,       // declares variables; nothing to run
  };

  Kind kind;
  // Do loops: whether the condition is an Until, and whether it is tested
  // before each pass (Do While) or after (Loop While); a loop without a
  // condition runs until Exit Do.
  bool until = false;
  bool test_first = true;
  std::int32_t line = 0;
  ExprId target = kNoExpr;
  ExprId value = kNoExpr;
  Range items;  // arguments (Print, PrintRows, MsgBox, Err.Raise) or branches (If, Do)
  Range else_block;
};

struct Program {
  std::vector<Expr> exprs;
  std::vector<Stmt> stmts;
  std::vector<Branch> branches;
  std::vector<std::uint32_t> lists;  // see Range
  std::string texts;                 // the texts of literals, one after another
  std::vector<MemberSite> members;
  std::vector<std::string> names;      // member names as first written
  std::vector<std::string> variables;  // names by slot, as first written
  Range statements;                    // the script's own block

  std::span<const std::uint32_t> List(Range r) const { return {lists.data() + r.first, r.count}; }
  std::span<const Branch> Branches(Range r) const { return {branches.data() + r.first, r.count}; }
};

}  // namespace tarnlow::script
