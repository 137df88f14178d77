// The script runner behind `tarnlowst run`: late-bound calls on the
// library's classes, one statement a line (the grammar is in parser.h).
//
// What a script prints goes to one stream, in order:
//   Print a, b        the values' typed forms separated by one blank
//                     (see PrintForm);
//   message boxes     MsgBox STYLE "TEXT", answered OK;
//   an uncaught error Error NUMBER at line N: "SOURCE": "DESCRIPTION", and
//                     the run ends with status 1;
//   a syntax error    Syntax error at line N: expected WHAT, found WHAT, and
//                     nothing of the script runs (status 1).
#pragma once

#include <cstdint>
#include <iosfwd>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "ast.h"
#include "lexer.h"
#include "tarnlow/value.h"

namespace tarnlow::script {

struct RunOptions {
  // Statements (and loop passes) after which the run stops with an error
  // that On Error Resume Next does not catch; 0 for no limit.
  std::int64_t step_limit = 0;
  // Values the script's variables hold before its first statement (names
  // compared ignoring letter case): how a host program hands the script
  // objects of its own.
  std::vector<std::pair<std::string, Variant>> variables;
};

inline constexpr int kExitOk = 0;
inline constexpr int kExitFailed = 1;

// Runs a parsed script; returns kExitOk, or kExitFailed after an uncaught error.
int Run(const Program& program, std::ostream& out, const RunOptions& options = {});
// Parses and runs a script; a syntax error is written to `out` and gives kExitFailed.
int RunSource(std::string_view source, std::ostream& out, const RunOptions& options = {});

// The exact typed form Print writes: text in double quotes (a quote doubled;
// backslash, CR, LF and tab as \\, \r, \n, \t; other control characters as
// \xNN), integers in decimal, 64-bit floats in the shortest text that reads
// back to the same value, True/False, dates as #YYYY-MM-DD HH:MM:SS#, Empty,
// Null, objects as Object(ClassName), and Nothing.
std::string PrintForm(const Variant& value);
// Text in the quoted form above.
std::string QuotedText(std::string_view text);

}  // namespace tarnlow::script
