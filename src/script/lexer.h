// Tokens of the script language: one statement a line, a "'" starting a
// comment outside strings, words compared ignoring letter case.
#pragma once

#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "tarnlow/name_index.h"
#include "tarnlow/value.h"

namespace tarnlow::script {

// A script that does not follow the grammar: the line and what was expected
// there. Nothing of such a script runs.
class SyntaxError : public std::runtime_error {
 public:
  SyntaxError(int line, std::string expected, std::string found);
  int Line() const { return line_; }
  const std::string& Expected() const { return expected_; }
  const std::string& Found() const { return found_; }

 private:
  int line_;
  std::string expected_, found_;
};

enum class TokenKind {
  Word,    // names and keywords
  Number,  // value holds an Int16, Int32 or Double
  String,  // value holds the text, doubled quotes undone
  Date,    // value holds the date
  Symbol,  // ( ) , . = <> < > <= >= + - * / \ &
  EndOfLine,
  EndOfScript,
};

struct Token {
  TokenKind kind;
  int line;
  std::string text;   // as written; for words also used for messages
  std::string lower;  // words: lower case, for keyword and name comparisons
  Variant value;
  bool space_before = false;  // blank between this token and the previous one
};

// Reads a script one line at a time, so that only the line being parsed is
// held as tokens.
class Lexer {
 public:
  explicit Lexer(std::string_view source);
  // Replaces `out` with the tokens of the next line. Every line, even an
  // empty one, ends with an EndOfLine token; the last line also has the
  // EndOfScript token, and calling again then gives it once more.
  void NextLine(std::vector<Token>& out);
  int Line() const { return line_; }  // of the next line to read

 private:
  void Push(TokenKind kind, std::string text, Variant value = {});
  bool AtStatementStart() const;
  void SkipToEndOfLine();
  void Word();
  void Number();
  void String();
  void DateLiteral();
  void Symbol();

  std::string_view s_;
  std::size_t pos_ = 0;
  int line_ = 1;
  bool space_ = false;
  bool at_end_ = false;
  std::vector<Token>* tokens_ = nullptr;  // the line being read
};

// How a token is named in a syntax error ("end of line", "'Then'", ...).
std::string Describe(const Token& token);

}  // namespace tarnlow::script
