// The script grammar, one statement a line:
//
//   statement  := Set target = expr | target = expr | call | Call member
//               | Print [expr {, expr}] | PrintRows expr, expr
//               | MsgBox expr [, expr [, expr]]
//               | If expr Then NL block {ElseIf expr Then NL block} [Else NL block] End If
//               | If expr Then simple [Else simple]
//               | Do [(While|Until) expr] NL block Loop [(While|Until) expr] | Exit Do
//               | For Each name In expr NL block Next [name] | Exit For
//               | On Error Resume Next | On Error GoTo 0 | Err.Clear
//               | Err.Raise expr [, expr [, expr]] | Dim name {, name} | End
//   call       := member [args]         (args with or without parentheses)
//   target     := name | member
//   member     := primary {. name [( [args] )]}
//   expr       := Or/Xor of And of [Not] comparisons (= <> < > <= >= Is) of
//                 & of + - of Mod of \ of * / of unary - + of member or primary
//   primary    := number | "text" | #date# | True | False | Empty | Null | Nothing
//               | vbCrLf and the other constants | name | name(args) | builtin(args)
//                 (name(args) on an object reaches its default member, a
//                 collection's Item)
//               | Err[.Number|.Source|.Description] | ( expr )
//
// A "'" starts a comment outside strings, and so does Rem at the start of a
// statement. Keywords, names and members are compared ignoring letter case.
#pragma once

#include <memory>
#include <new>
#include <string_view>

#include "ast.h"
#include "lexer.h"

namespace tarnlow::script {

// Memory ran out while a script was parsed; the line is the one being read.
class ParseOutOfMemory : public std::bad_alloc {
 public:
  explicit ParseOutOfMemory(int line) : line_(line) {}
  int Line() const { return line_; }
  const char* what() const noexcept override { return "out of memory while parsing a script"; }

 private:
  int line_;
};

// Parses a whole script; raises SyntaxError for the first line that does not
// follow the grammar, and ParseOutOfMemory when memory runs out.
std::unique_ptr<Program> Parse(std::string_view source);

}  // namespace tarnlow::script
