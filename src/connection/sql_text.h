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
// alike. ASCII passes eight bytes at a time (0 or above 127 sets a high bit).
bool UnfitBeyondAscii(std::string_view text);
inline bool Unfit(std::string_view text) {
  constexpr std::uint64_t kOnes = 0x0101010101010101, kHighs = 0x8080808080808080;
  const char* p = text.data();
  std::size_t n = text.size();
  for (; n >= 8; p += 8, n -= 8) {
    std::uint64_t w;
    std::memcpy(&w, p, 8);
    if (((w - kOnes) | w) & kHighs) return UnfitBeyondAscii(text);
  }
  for (; n > 0; ++p, --n)
    if (static_cast<unsigned char>(*p) - 1u >= 0x7Fu) return UnfitBeyondAscii(text);
  return false;
}
// "<what> holds a NUL character" or "... is not valid UTF-8", with statement.
[[noreturn]] void RaiseUnfit(std::string_view what, std::string_view text, std::string_view statement);

}  // namespace tarnlow::sqltext
