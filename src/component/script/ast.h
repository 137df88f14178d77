// The parsed form of a script: statements with their line numbers and the
// expressions they evaluate.
#pragma once

#include <cstdint>
#include <memory>
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

struct Expr;
using ExprPtr = std::unique_ptr<Expr>;

// The member a call site reached last time, so that a loop does not look the
// same name up again for every pass.
struct MemberCache {
  const ClassInfo* cls = nullptr;
  const MemberInfo* member = nullptr;
};

struct Expr {
  enum class Kind : std::uint8_t {
    Literal,   // value
    Variable,  // slot, name
    Paren,     // (operand): a variable in parentheses is passed by value
    Member,    // operand.name, or operand.name(args) when has_args
    Index,     // name(args) on a variable: reaches an object's default member
    Call,      // builtin(args)
    Unary,     // op operand
    Binary,    // operand op right
    ErrField,  // Err.Number, Err.Source, Err.Description
  };

  Kind kind;
  int line = 0;
  Variant value;
  std::size_t slot = 0;
  std::string name;
  Op op = Op::Add;
  Builtin builtin = Builtin::Len;
  ErrField field = ErrField::Number;
  ExprPtr operand;
  ExprPtr right;
  std::vector<ExprPtr> args;
  bool has_args = false;
  int depth = 1;  // height of the tree below and including this node
  mutable MemberCache cache;
};

struct Stmt;
using StmtPtr = std::unique_ptr<Stmt>;
using Block = std::vector<StmtPtr>;

struct Stmt {
  enum class Kind : std::uint8_t {
    Let,        // target = value (target: Variable or Member)
    Set,        // Set target = value
    Call,       // target: a Member reached as an operation, its args in the node
    Print,      // Print args...
    PrintRows,  // PrintRows connection, sql
    MsgBox,     // MsgBox text [, style [, title]]
    If,         // branches, else_block
    Do,         // Do [While|Until cond] ... Loop [While|Until cond]
    ExitDo,
    End,
    OnErrorResumeNext,
    OnErrorGoTo0,
    ErrClear,
    ErrRaise,  // Err.Raise number [, source [, description]]
    Dim,       // declares variables; nothing to run
  };

  struct Branch {
    ExprPtr condition;
    Block body;
  };

  Kind kind;
  int line = 0;
  ExprPtr target;
  ExprPtr value;
  std::vector<ExprPtr> args;
  std::vector<Branch> branches;
  Block else_block;
  // Do loops: the condition, whether it is an Until, whether it is tested
  // before each pass (Do While) or after (Loop While); no condition loops
  // until Exit Do.
  ExprPtr condition;
  bool until = false;
  bool test_first = true;
  Block body;
};

struct Program {
  Block statements;
  std::vector<std::string> variables;  // names by slot, as first written
};

}  // namespace tarnlow::script
