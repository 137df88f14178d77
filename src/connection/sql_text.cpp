#include "connection/sql_text.h"

#include <cctype>

#include "tarnlow/error.h"
#include "tarnlow/name_index.h"

namespace tarnlow::sqltext {
namespace {

// Copies the quoted run starting at sql[i] to out; returns the index after it.
std::size_t CopyQuoted(std::string_view sql, std::size_t i, std::string& out) {
  const std::size_t end = PastQuoted(sql, i);
  out.append(sql.substr(i, end - i));
  return end;
}

bool StartsEscape(std::string_view sql, std::size_t i) {
  if (sql[i] != '{') return false;
  std::size_t j = i + 1;
  while (j < sql.size() && std::isspace(static_cast<unsigned char>(sql[j]))) ++j;
  return j + 2 <= sql.size() && SameName("fn", sql.substr(j, 2)) &&
         (j + 2 == sql.size() || std::isspace(static_cast<unsigned char>(sql[j + 2])));
}

[[noreturn]] void RaiseUnquotable(const std::string& description) {
  throw Error(err::NotAllowed, ConnectionSource, description);
}

}  // namespace

std::size_t PastQuoted(std::string_view sql, std::size_t i) {
  const char quote = sql[i];
  for (++i; i < sql.size(); ++i) {
    if (sql[i] != quote) continue;
    if (i + 1 < sql.size() && sql[i + 1] == quote) {
      ++i;
      continue;
    }
    return i + 1;
  }
  return sql.size();
}

std::string StripEscapes(std::string_view sql) {
  if (sql.find('{') == std::string_view::npos) return std::string(sql);
  std::string out;
  out.reserve(sql.size());
  int open = 0;  // escapes whose closing brace is still to come
  std::size_t i = 0;
  while (i < sql.size()) {
    const char c = sql[i];
    if (c == '\'' || c == '"') {
      i = CopyQuoted(sql, i, out);
    } else if (StartsEscape(sql, i)) {
      i = sql.find_first_of("nN", i) + 1;
      ++open;
    } else if (c == '}' && open > 0) {
      --open;
      ++i;
    } else {
      out += c;
      ++i;
    }
  }
  return out;
}

std::string SqliteText(std::string_view caller) {
  std::string sql = StripEscapes(caller);
  for (std::size_t i = 0; i < sql.size(); ++i) {
    if (sql[i] == '\'' || sql[i] == '"') {
      i = PastQuoted(sql, i) - 1;
      continue;
    }
    if ((i > 0 && (std::isalnum(static_cast<unsigned char>(sql[i - 1])) || sql[i - 1] == '_')) ||
        i + 4 > sql.size() || !SameName(sql.substr(i, 4), "left"))
      continue;
    std::size_t open = i + 4;
    while (open < sql.size() && std::isspace(static_cast<unsigned char>(sql[open]))) ++open;
    if (open >= sql.size() || sql[open] != '(') continue;
    int depth = 0;
    std::size_t comma = std::string::npos;
    for (std::size_t k = open + 1; k < sql.size() && comma == std::string::npos; ++k) {
      const char c = sql[k];
      if (c == '\'' || c == '"') {
        k = PastQuoted(sql, k) - 1;
      } else if (c == '(') {
        ++depth;
      } else if (c == ')') {
        if (depth-- == 0) break;
      } else if (c == ',' && depth == 0) {
        comma = k;
      }
    }
    if (comma == std::string::npos) continue;
    sql.insert(comma + 1, " 1,");
    sql.replace(i, 4, "substr");
  }
  return sql;
}

std::string NumberPlaceholders(std::string text, int& count) {
  count = 0;
  // A literal statement carries its values in its text: nothing to number.
  if (text.find('?') == std::string::npos) return text;
  const std::string_view sql(text);
  std::string out;
  out.reserve(sql.size() + 16);
  std::size_t i = 0;
  while (i < sql.size()) {
    const std::size_t next = sql.find_first_of("'\"?", i);
    out.append(sql.substr(i, next - i));  // to the end when there is no next
    if (next == std::string_view::npos) break;
    if (sql[next] == '?') {
      out += '$';
      out += std::to_string(++count);
      i = next + 1;
    } else {
      i = CopyQuoted(sql, next, out);
    }
  }
  return out;
}

bool NeedsClientEncoding(std::string_view text) {
  if (text.find('\\') == std::string_view::npos) return false;
  for (const char c : text)
    if (static_cast<unsigned char>(c) >= 0x80) return true;
  return false;
}

std::string QuoteLiteral(std::string_view text, Backslash backslash, std::string_view client_encoding) {
  const bool holds_backslash = text.find('\\') != std::string_view::npos;
  if (holds_backslash && backslash == Backslash::Unknown)
    RaiseUnquotable("A key holding a backslash cannot be written into a statement for this database safely");
  if (holds_backslash && backslash == Backslash::Escape && NeedsClientEncoding(text)) {
    // PostgreSQL's client-only encodings, whose second bytes may be below
    // 0x80; an encoding not known is taken to be one of them.
    constexpr std::string_view kUnsafe[] = {"",    "SJIS", "SHIFT_JIS_2004", "BIG5",
                                            "GBK", "UHC",  "GB18030",        "JOHAB"};
    for (const std::string_view unsafe : kUnsafe)
      if (client_encoding == unsafe)
        RaiseUnquotable(
            "A key holding a backslash and characters beyond ASCII cannot be written into a statement safely "
            "in the client encoding " +
            std::string(client_encoding));
  }
  const bool escape_string = holds_backslash && backslash == Backslash::Escape;
  std::string out;
  out.reserve(text.size() + 3);
  if (escape_string) out += 'E';
  out += '\'';
  for (const char c : text) {
    out += c;
    if (c == '\'' || (escape_string && c == '\\')) out += c;
  }
  out += '\'';
  return out;
}

std::string SelectTable(std::string_view sql) {
  std::size_t i = 0;
  const auto space = [&](std::size_t at) { return std::isspace(static_cast<unsigned char>(sql[at])) != 0; };
  while (i < sql.size()) {
    const char c = sql[i];
    if (c == '\'' || c == '"') {
      i = PastQuoted(sql, i);
      continue;
    }
    if ((i == 0 || space(i - 1)) && i + 4 < sql.size() && SameName("from", sql.substr(i, 4)) &&
        space(i + 4)) {
      std::size_t j = i + 4;
      while (j < sql.size() && space(j)) ++j;
      std::size_t k = j;
      while (k < sql.size() && (std::isalnum(static_cast<unsigned char>(sql[k])) || sql[k] == '_' ||
                                sql[k] == '.' || sql[k] == '$'))
        ++k;
      return std::string(sql.substr(j, k - j));
    }
    ++i;
  }
  return {};
}

bool UnfitBeyondAscii(std::string_view text) {
  const auto* p = reinterpret_cast<const unsigned char*>(text.data());
  const auto* const end = p + text.size();
  while (p != end) {
    const unsigned char c = *p++;
    if (c == 0) return true;
    if (c < 0x80) continue;
    // The lead byte gives the length and the range the second byte may take,
    // which rules out overlong forms, surrogates and code points past U+10FFFF.
    int more = 0;
    unsigned char low = 0x80, high = 0xBF;
    if (c >= 0xC2 && c <= 0xDF) {
      more = 1;
    } else if (c >= 0xE0 && c <= 0xEF) {
      more = 2;
      if (c == 0xE0) low = 0xA0;
      if (c == 0xED) high = 0x9F;
    } else if (c >= 0xF0 && c <= 0xF4) {
      more = 3;
      if (c == 0xF0) low = 0x90;
      if (c == 0xF4) high = 0x8F;
    } else {
      return true;
    }
    if (end - p < more) return true;
    if (*p < low || *p > high) return true;
    for (int k = 1; k < more; ++k)
      if ((p[k] & 0xC0) != 0x80) return true;
    p += more;
  }
  return false;
}

void RaiseUnfit(std::string_view what, std::string_view text, std::string_view statement) {
  throw Error(err::NotAllowed, ConnectionSource,
              std::string(what) + (HoldsNul(text) ? " holds a NUL character" : " is not valid UTF-8"),
              ErrorContext{std::string(statement), "", 0, true});
}

std::string OneLine(std::string_view message, std::string_view trailing) {
  std::string out;
  bool pending_space = false;
  for (const char c : message) {
    if (c == '\n' || c == '\r' || c == '\t') {
      pending_space = true;
      continue;
    }
    if (pending_space && !out.empty() && out.back() != ' ') out += ' ';
    pending_space = false;
    out += c;
  }
  while (!out.empty() && trailing.find(out.back()) != std::string_view::npos) out.pop_back();
  return out;
}

}  // namespace tarnlow::sqltext
