#include "lexer.h"

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <cstdio>
#include <limits>

namespace tarnlow::script {
namespace {

bool IsLetter(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}
bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}
bool IsWordChar(char c) {
  return IsLetter(c) || IsDigit(c) || c == '_';
}
bool IsBlank(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\f' || c == '\v';
}

std::string CharText(char c) {
  const auto byte = static_cast<unsigned char>(c);
  if (byte >= 0x20 && byte < 0x7F) return std::string("the character '") + c + "'";
  char buf[32];
  std::snprintf(buf, sizeof buf, "the byte \\x%02X", byte);
  return buf;
}

}  // namespace

Lexer::Lexer(std::string_view source) : s_(source) {
  if (s_.starts_with("\xEF\xBB\xBF")) pos_ = 3;  // a byte-order mark written by some editors
}

void Lexer::NextLine(std::vector<Token>& out) {
  out.clear();
  tokens_ = &out;
  while (pos_ < s_.size()) {
    const char c = s_[pos_];
    if (c == '\n') {
      Push(TokenKind::EndOfLine, "");
      ++pos_;
      ++line_;
      space_ = false;
      return;
    }
    if (IsBlank(c)) {
      ++pos_;
      space_ = true;
      continue;
    }
    if (c == '\'') {
      SkipToEndOfLine();
      continue;
    }
    if (IsLetter(c) || c == '_') {
      Word();
      continue;
    }
    if (IsDigit(c)) {
      Number();
      continue;
    }
    if (c == '"') {
      String();
      continue;
    }
    if (c == '#') {
      DateLiteral();
      continue;
    }
    Symbol();
  }
  // The end of the script belongs to its last line, not to the empty
  // line after a final line break.
  if (!at_end_) {
    at_end_ = true;
    if (line_ > 1 && s_.ends_with('\n')) --line_;
  }
  Push(TokenKind::EndOfLine, "");
  Push(TokenKind::EndOfScript, "");
}

void Lexer::Push(TokenKind kind, std::string text, Variant value) {
  Token t{kind, line_, std::move(text), {}, std::move(value), space_};
  if (kind == TokenKind::Word) t.lower = LowerCase(t.text);
  tokens_->push_back(std::move(t));
  space_ = false;
}

bool Lexer::AtStatementStart() const {
  return tokens_->empty();
}

void Lexer::SkipToEndOfLine() {
  while (pos_ < s_.size() && s_[pos_] != '\n') ++pos_;
}

void Lexer::Word() {
  const std::size_t start = pos_;
  while (pos_ < s_.size() && IsWordChar(s_[pos_])) ++pos_;
  std::string text(s_.substr(start, pos_ - start));
  if (AtStatementStart() && SameName(text, "rem")) {  // the long form of a comment line
    SkipToEndOfLine();
    return;
  }
  Push(TokenKind::Word, std::move(text));
}

void Lexer::Number() {
  const std::size_t start = pos_;
  bool whole = true;
  while (pos_ < s_.size() && IsDigit(s_[pos_])) ++pos_;
  if (pos_ + 1 < s_.size() && s_[pos_] == '.' && IsDigit(s_[pos_ + 1])) {
    whole = false;
    ++pos_;
    while (pos_ < s_.size() && IsDigit(s_[pos_])) ++pos_;
  }
  if (pos_ < s_.size() && (s_[pos_] == 'e' || s_[pos_] == 'E')) {
    std::size_t p = pos_ + 1;
    if (p < s_.size() && (s_[p] == '+' || s_[p] == '-')) ++p;
    if (p < s_.size() && IsDigit(s_[p])) {
      whole = false;
      pos_ = p;
      while (pos_ < s_.size() && IsDigit(s_[pos_])) ++pos_;
    }
  }
  const std::string_view text = s_.substr(start, pos_ - start);
  Variant value;
  std::int64_t n = 0;
  if (whole && std::from_chars(text.data(), text.data() + text.size(), n).ec == std::errc() &&
      n <= std::numeric_limits<std::int32_t>::max()) {
    if (n <= std::numeric_limits<std::int16_t>::max())
      value = Variant(static_cast<std::int16_t>(n));
    else
      value = Variant(static_cast<std::int32_t>(n));
  } else {
    double d = 0;
    const auto r = std::from_chars(text.data(), text.data() + text.size(), d);
    if (r.ec != std::errc() || r.ptr != text.data() + text.size())
      throw SyntaxError(line_, "a number that fits a 64-bit float", "'" + std::string(text) + "'");
    value = Variant(d);
  }
  Push(TokenKind::Number, std::string(text), std::move(value));
}

void Lexer::String() {
  std::string text;
  ++pos_;
  while (true) {
    if (pos_ >= s_.size() || s_[pos_] == '\n')
      throw SyntaxError(line_, "a closing quote '\"'", "end of line");
    if (s_[pos_] == '"') {
      if (pos_ + 1 < s_.size() && s_[pos_ + 1] == '"') {
        text += '"';
        pos_ += 2;
        continue;
      }
      ++pos_;
      break;
    }
    text += s_[pos_++];
  }
  Push(TokenKind::String, "\"" + text + "\"", Variant(text));
}

void Lexer::DateLiteral() {
  const std::size_t start = ++pos_;
  while (pos_ < s_.size() && s_[pos_] != '#' && s_[pos_] != '\n') ++pos_;
  if (pos_ >= s_.size() || s_[pos_] != '#')
    throw SyntaxError(line_, "a closing '#' of the date", "end of line");
  const std::string_view text = s_.substr(start, pos_ - start);
  ++pos_;
  Date d;
  switch (Date::ReadIso(text, d)) {
    case Date::IsoText::Date: break;
    case Date::IsoText::OutOfRange:
      throw SyntaxError(line_, "a date from #0100-01-01# to #9999-12-31#", "#" + std::string(text) + "#");
    case Date::IsoText::NotADate:
      throw SyntaxError(line_, "a date written #YYYY-MM-DD# or #YYYY-MM-DD HH:MM:SS#",
                        "#" + std::string(text) + "#");
  }
  Push(TokenKind::Date, "#" + std::string(text) + "#", Variant(d));
}

void Lexer::Symbol() {
  const char c = s_[pos_];
  const char next = pos_ + 1 < s_.size() ? s_[pos_ + 1] : '\0';
  if (c == '<' && (next == '>' || next == '=')) {
    Push(TokenKind::Symbol, std::string{c, next});
    pos_ += 2;
    return;
  }
  if (c == '>' && next == '=') {
    Push(TokenKind::Symbol, ">=");
    pos_ += 2;
    return;
  }
  static constexpr std::string_view kSingle = "(),.=<>+-*/\\&";
  if (kSingle.find(c) == std::string_view::npos)
    throw SyntaxError(line_, "a name, number, string, date or operator", CharText(c));
  Push(TokenKind::Symbol, std::string(1, c));
  ++pos_;
}

SyntaxError::SyntaxError(int line, std::string expected, std::string found)
    : std::runtime_error("Syntax error at line " + std::to_string(line) + ": expected " + expected +
                         ", found " + found),
      line_(line),
      expected_(std::move(expected)),
      found_(std::move(found)) {}

std::string Describe(const Token& token) {
  switch (token.kind) {
    case TokenKind::EndOfLine: return "end of line";
    case TokenKind::EndOfScript: return "end of script";
    case TokenKind::String: return "a string";
    case TokenKind::Date: return "a date";
    case TokenKind::Number: return "the number " + token.text;
    case TokenKind::Word:
    case TokenKind::Symbol: return "'" + token.text + "'";
  }
  return "'" + token.text + "'";
}

}  // namespace tarnlow::script
