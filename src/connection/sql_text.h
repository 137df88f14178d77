// SQL text routines the backends share; quoted literals and names stay.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

namespace tarnlow::sqltext {

// The index past the quoted run at sql[i] (quote doubled inside), or the end.
std::size_t PastQuoted(std::string_view sql, std::size_t i);
// Removes "{fn " ... "}" escapes, keeping the function call inside.
std::string StripEscapes(std::string_view sql);
// For SQLite, whose grammar keeps LEFT for joins and through whose ODBC
// driver no function can be registered: escapes go (StripEscapes) and each
// left(x, n) becomes substr(x, 1, n).
std::string SqliteText(std::string_view sql);
// Replaces each "?" placeholder by $1, $2, ... in order; sets count.
std::string NumberPlaceholders(std::string sql, int& count);
// How a database reads a backslash inside a literal.
enum class Backslash : unsigned char {
  Plain,    // as itself (SQLite)
  Escape,   // as itself or as an escape, as the session is set (PostgreSQL)
  Unknown,  // a database of another kind
};
// Whether a text needs the client encoding to become a literal: with a
// backslash and a byte from 0x80 up, a Shift-JIS (Big5, GBK, ...) character
// could take the escape.
bool NeedsClientEncoding(std::string_view text);
// The one way a text becomes a literal whatever the session's settings:
// between apostrophes, each doubled; where a backslash may be an escape, a
// text holding one becomes E'...' with backslashes doubled, alike under
// either standard_conforming_strings. `client_encoding` matters only when
// NeedsClientEncoding(text); an unsafe text is refused.
std::string QuoteLiteral(std::string_view text, Backslash backslash, std::string_view client_encoding = {});
// The table named after the first "from" of a single-table select, or "".
std::string SelectTable(std::string_view sql);
// A driver's message on one line: breaks and tabs become one space, and any
// of `trailing` at the end goes.
std::string OneLine(std::string_view message, std::string_view trailing = " ");

// Texts reach the databases as C strings somewhere on their way, where a NUL
// character would silently cut them short.
inline bool HoldsNul(std::string_view text) {
  return !text.empty() && std::memchr(text.data(), '\0', text.size()) != nullptr;
}

// Texts holding a NUL or bytes that are no UTF-8 are refused on every engine
// alike. ASCII passes a word at a time (0 or above 127 sets a high bit); a
// text's last word may overlap the one before it.
bool UnfitBeyondAscii(std::string_view text);
template <class Word>
bool AsciiWordSuspect(const char* at) {
  constexpr Word kOnes = static_cast<Word>(0x0101010101010101u),
                 kHighs = static_cast<Word>(0x8080808080808080u);
  Word w;
  std::memcpy(&w, at, sizeof w);
  return (((w - kOnes) | w) & kHighs) != 0;
}
inline bool Unfit(std::string_view text) {
  const char* p = text.data();
  const std::size_t n = text.size();
  bool suspect = false;
  if (n >= 8) {
    for (std::size_t at = 0; at + 8 < n; at += 8) suspect |= AsciiWordSuspect<std::uint64_t>(p + at);
    suspect |= AsciiWordSuspect<std::uint64_t>(p + n - 8);
  } else if (n >= 4) {
    suspect = AsciiWordSuspect<std::uint32_t>(p) || AsciiWordSuspect<std::uint32_t>(p + n - 4);
  } else {
    for (std::size_t i = 0; i < n; ++i) suspect |= static_cast<unsigned char>(p[i]) - 1u >= 0x7Fu;
  }
  return suspect && UnfitBeyondAscii(text);
}
// "<what> holds a NUL character" or "... is not valid UTF-8", with statement.
[[noreturn]] void RaiseUnfit(std::string_view what, std::string_view text, std::string_view statement);

}  // namespace tarnlow::sqltext
