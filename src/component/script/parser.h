// The script grammar, one statement a line:
//
//   statement  := Set target = expr | target = expr | call | Call member
//               | Print [expr {, expr}] | PrintRows expr, expr
//               | MsgBox expr [, expr [, expr]]
//               | If expr Then NL block {ElseIf expr Then NL block} [Else NL block] End If
//               | If expr Then simple [Else simple]
//               | Do [(While|Until) expr] NL block Loop [(While|Until) expr] | Exit Do
//               | On Error Resume Next | On Error GoTo 0 | Err.Clear
//               | Err.Raise expr [, expr [, expr]] | Dim name {, name} | End
//   call       := member [args]         (args with or without parentheses)
//   target     := name | member
//   member     := primary {. name [( [args] )]}
//   expr       := Or/Xor of And of [Not] comparisons (= <> < > <= >= Is) of
//                 & of + - of Mod of \ of * / of unary - + of member or primary
//   primary    := number | "text" | #date# | True | False | Empty | Null | Nothing
//               | vbCrLf and the other constants | name | name(args) | builtin(args)
//               | Err[.Number|.Source|.Description] | ( expr )
//
// A "'" starts a comment outside strings, and so does Rem at the start of a
// statement. Keywords, names and members are compared ignoring letter case.
#pragma once

#include <memory>
#include <string_view>

#include "component/script/ast.h"
#include "component/script/lexer.h"

namespace tarnlow::script {

// Parses a whole script; raises SyntaxError for the first line that does not
// follow the grammar.
std::unique_ptr<Program> Parse(std::string_view source);

}  // namespace tarnlow::script
