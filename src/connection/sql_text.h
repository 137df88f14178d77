// Text transformations of SQL shared by the backends. All of them leave
// quoted literals ('...', with '' inside) and quoted names ("...") alone.
#pragma once

#include <cstring>
#include <string>
#include <string_view>

namespace tarnlow::sqltext {

// Removes "{fn " ... "}" escapes, keeping the function call inside.
std::string StripEscapes(std::string_view sql);
// Replaces each "?" placeholder by $1, $2, ... in order; sets count. Text
// without a placeholder comes back as it went in, not copied.
std::string NumberPlaceholders(std::string sql, int& count);
// The text between apostrophes with each apostrophe doubled.
std::string QuoteLiteral(std::string_view text);
// A PostgreSQL literal that means the text under either setting of
// standard_conforming_strings: QuoteLiteral's, unless the text holds a
// backslash; then an escape string literal, each backslash doubled.
std::string QuotePostgresLiteral(std::string_view text);
// The table named after the first "from" of a single-table select, or "".
std::string SelectTable(std::string_view sql);

// Texts reach the databases as C strings somewhere on their way, where a NUL
// character would silently cut them short: such a text is refused with
// "<what> holds a NUL character", naming the statement.
inline bool HoldsNul(std::string_view text) {
  return !text.empty() && std::memchr(text.data(), '\0', text.size()) != nullptr;
}
[[noreturn]] void RaiseNul(std::string_view what, std::string_view statement);

}  // namespace tarnlow::sqltext
