#include <cctype>
#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <memory>
#include <utility>

#include "connection/sql_text.h"
#include "tarnlow/connection.h"

namespace tarnlow {
namespace {

// Each catalogue property with its descriptive table name; others come as
// table.<Property>=NAME options.
constexpr std::pair<std::string_view, std::string_view> kTables[] = {
#define TARNLOW_TABLE_ENTRY(name, default_name) {#name, default_name},
    TARNLOW_TABLES(TARNLOW_TABLE_ENTRY)
#undef TARNLOW_TABLE_ENTRY
};

constexpr const char* kSource = "TarnlowData.Connection";

[[noreturn]] void Bad(std::string description) {
  throw Error(err::BadConnectionText, kSource, std::move(description));
}

// An option whose value is not of the form it takes.
[[noreturn]] void Needs(std::string_view key, std::string_view form, std::string_view value) {
  Bad("Connection option \"" + std::string(key) + "\" needs " + std::string(form) + ", not \"" +
      std::string(value) + "\"");
}

std::int16_t WholeNumber(std::string_view key, std::string_view value) {
  int v = 0;
  auto [p, ec] = std::from_chars(value.data(), value.data() + value.size(), v);
  if (value.empty() || ec != std::errc() || p != value.data() + value.size() || v < -32768 || v > 32767)
    Needs(key, "a whole number", value);
  return static_cast<std::int16_t>(v);
}

bool Flag(std::string_view key, std::string_view value) {
  if (value == "0") return false;
  if (value == "1") return true;
  Needs(key, "0 or 1", value);
}

bool IsTableName(std::string_view name) {
  if (name.empty() || name.size() > 63) return false;
  if (!std::isalpha(static_cast<unsigned char>(name[0])) && name[0] != '_') return false;
  for (char c : name)
    if (!std::isalnum(static_cast<unsigned char>(c)) && c != '_' && c != '.') return false;
  return true;
}

// Applies one of our own options; false when the key is not ours.
bool ApplyOption(ConnectionOptions& o, std::string_view key, std::string_view value) {
  if (key == "kind") {
    o.kind = WholeNumber(key, value);
  } else if (key == "release") {
    o.release = WholeNumber(key, value);
  } else if (key == "extended") {
    o.extended = Flag(key, value);
  } else if (key == "dualrate") {
    o.dual_rate = Flag(key, value);
  } else if (key == "version") {
    if (value.empty()) Bad("Connection option \"version\" needs a text");
    o.version = value;
  } else if (key == "trace") {
    if (value.empty()) Bad("Connection option \"trace\" needs a file name or -");
    o.trace = value;
  } else if (key.starts_with("table.")) {
    const std::string_view property = key.substr(6);
    std::size_t i = 0;
    while (i < CatalogueTableCount && kTables[i].first != property) ++i;
    if (i == CatalogueTableCount) Bad("Unknown table catalogue property \"" + std::string(property) + "\"");
    if (!IsTableName(value)) Needs(key, "a table name", value);
    o.tables[static_cast<CatalogueTable>(i)] = value;
  } else {
    return false;
  }
  return true;
}

// Where our options begin in an ODBC connection string: the first "?"
// outside a braced value (a password may hold one; "}}" is a brace inside).
std::size_t OdbcOptionStart(std::string_view text) {
  bool braced = false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (braced) {
      if (c == '}' && i + 1 < text.size() && text[i + 1] == '}')
        ++i;
      else if (c == '}')
        braced = false;
    } else if (c == '{') {
      braced = true;
    } else if (c == '?') {
      return i;
    }
  }
  return std::string_view::npos;
}

}  // namespace

std::string_view CatalogueTableProperty(CatalogueTable table) {
  return kTables[static_cast<std::size_t>(table)].first;
}
std::string_view DefaultTableName(CatalogueTable table) {
  return kTables[static_cast<std::size_t>(table)].second;
}

std::string ConnectionOptions::TableName(CatalogueTable table) const {
  if (auto it = tables.find(table); it != tables.end()) return it->second;
  return std::string(DefaultTableName(table));
}

ConnectionOptions ConnectionOptions::Parse(std::string_view text) {
  // File names and libpq texts end at a NUL: what follows would be dropped.
  if (sqltext::HoldsNul(text)) Bad("Connection text holds a NUL character");
  ConnectionOptions o;
  std::string_view rest;
  if (text.starts_with("sqlite:")) {
    o.backend = Backend::SQLite;
    rest = text.substr(7);
  } else if (text.starts_with("postgresql://") || text.starts_with("postgres://")) {
    o.backend = Backend::PostgreSQL;
    rest = text;
  } else if (text.starts_with("odbc:")) {
    o.backend = Backend::ODBC;
    rest = text.substr(5);
  } else {
    Bad("Connection text must start with \"sqlite:\", \"postgresql://\" or \"odbc:\": \"" +
        std::string(text) + "\"");
  }
  const std::size_t q = o.backend == Backend::ODBC ? OdbcOptionStart(rest) : rest.find('?');
  std::string_view target = rest.substr(0, q);
  std::string kept;  // libpq's own options pass through
  if (q != std::string_view::npos) {
    std::string_view query = rest.substr(q + 1);
    while (!query.empty()) {
      const std::size_t amp = query.find('&');
      const std::string_view item = query.substr(0, amp);
      query = amp == std::string_view::npos ? std::string_view() : query.substr(amp + 1);
      if (item.empty()) continue;
      const std::size_t eq = item.find('=');
      if (eq == std::string_view::npos) Bad("Connection option \"" + std::string(item) + "\" has no value");
      const std::string_view key = item.substr(0, eq), value = item.substr(eq + 1);
      if (ApplyOption(o, key, value)) continue;
      // Only a libpq URI has options of its own after the "?".
      if (o.backend != Backend::PostgreSQL) Bad("Unknown connection option \"" + std::string(key) + "\"");
      kept += kept.empty() ? "?" : "&";
      kept += item;
    }
  }
  if (o.backend == Backend::SQLite && target.empty()) Bad("Connection text names no database file");
  if (o.backend == Backend::ODBC && target.find_first_not_of(" ;") == std::string_view::npos)
    Bad("Connection text names no ODBC data source or driver");
  o.target = std::string(target) + kept;  // only a libpq URI keeps options
  return o;
}

void ConnectionOptions::CheckBeforeOpen() const {
  if (sqltext::HoldsNul(target)) Bad("Database name holds a NUL character");
  if (sqltext::HoldsNul(trace)) Bad("Trace file name holds a NUL character");
  if (trace.empty() || trace == "-") return;
  // A trace that cannot be opened now would be lost without a word.
  std::unique_ptr<FILE, int (*)(FILE*)> file(std::fopen(trace.c_str(), "a"), &std::fclose);
  if (!file) {
    const int error = errno;
    Bad("Cannot open the trace file \"" + trace + "\": " + std::strerror(error));
  }
}

}  // namespace tarnlow
