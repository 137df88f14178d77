// Opening a PostgreSQL session and the database-level operations on it.
#include <algorithm>
#include <array>
#include <cctype>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "connection/postgresql/postgresql_backend.h"

namespace tarnlow::backend {
namespace pg {
namespace {

// Settings the statements rely on, as startup options so that a script's
// RESET ALL returns to them.
constexpr std::string_view kSessionOptions =
    "-c client_min_messages=warning -c DateStyle=ISO -c standard_conforming_strings=on "
    "-c extra_float_digits=3";

// Keywords added where the caller's text leaves them out, so that an
// unreachable server or a dead TCP peer fails rather than blocks.
constexpr std::array<std::pair<std::string_view, std::string_view>, 7> kDefaults{{
    {"connect_timeout", "10"},
    {"keepalives", "1"},
    {"keepalives_idle", "30"},
    {"keepalives_interval", "10"},
    {"keepalives_count", "3"},
    {"client_encoding", "UTF8"},
    {"fallback_application_name", "tarnlowstdata"},
}};

// Notices would otherwise go to the host's stderr; failures raise anyway.
void DiscardNotice(void*, const PGresult*) {}

ConnHandle Connect(const std::string& conninfo) {
  char* raw_error = nullptr;
  std::unique_ptr<PQconninfoOption, FreeWith<PQconninfoFree>> parsed(
      PQconninfoParse(conninfo.c_str(), &raw_error));
  std::unique_ptr<char, FreeWith<PQfreemem>> parse_error(raw_error);
  if (!parsed) RaiseConnInfoError(parse_error ? parse_error.get() : "out of memory");

  // Keywords point into `parsed` and kDefaults, values into `values`.
  std::vector<const char*> keys;
  std::vector<std::string> values;
  const auto add = [&](const char* key, std::string value) {
    keys.push_back(key);
    values.push_back(std::move(value));
  };
  // libpq lists every keyword it knows, "options" among them, unset ones null.
  for (const PQconninfoOption* o = parsed.get(); o->keyword != nullptr; ++o) {
    std::string value = o->val != nullptr ? o->val : "";
    if (std::string_view(o->keyword) == "options") {
      // Ours go last so that they win over a caller's setting of the same name.
      if (!value.empty()) value += ' ';
      add(o->keyword, value + std::string(kSessionOptions));
    } else if (o->val != nullptr) {
      add(o->keyword, std::move(value));
    }
  }
  for (const auto& [key, value] : kDefaults)
    if (std::ranges::none_of(keys, [&](const char* k) { return key == k; }))
      add(key.data(), std::string(value));

  std::vector<const char*> value_ptrs;
  for (const std::string& value : values) value_ptrs.push_back(value.c_str());
  keys.push_back(nullptr);
  value_ptrs.push_back(nullptr);

  ConnHandle conn(PQconnectdbParams(keys.data(), value_ptrs.data(), 0));
  if (!conn || PQstatus(conn.get()) != CONNECTION_OK) RaiseConnectError(conn.get());
  PQsetNoticeReceiver(conn.get(), DiscardNotice, nullptr);
  return conn;
}

// to_regclass raises for text that cannot be a name ("a b", four dotted
// parts); unquoted parts are read as loosely as the server reads them.
bool IsRelationName(std::string_view name) {
  int parts = 0;
  std::size_t i = 0;
  while (true) {
    if (i >= name.size()) return false;
    if (name[i] == '"') {
      std::size_t length = 0;
      bool closed = false;
      for (++i; i < name.size(); ++i) {
        if (name[i] != '"') {
          ++length;
        } else if (i + 1 < name.size() && name[i + 1] == '"') {
          ++length;
          ++i;
        } else {
          closed = true;
          ++i;
          break;
        }
      }
      if (!closed || length == 0) return false;
    } else {
      const std::size_t start = i;
      for (; i < name.size() && name[i] != '.'; ++i) {
        if (name[i] == '"' || std::isspace(static_cast<unsigned char>(name[i]))) return false;
      }
      if (i == start) return false;
    }
    ++parts;
    if (i == name.size()) return parts <= 3;
    if (name[i] != '.') return false;
    ++i;
  }
}

}  // namespace

std::string Session::NextStatementName() {
  return "tarnlow_" + std::to_string(++statement_counter_);
}

bool Session::Usable() const {
  return PQstatus(conn_.get()) == CONNECTION_OK;
}

ResultHandle Session::Exec(const std::string& sql) {
  return Checked(ResultHandle(PQexec(conn_.get(), sql.c_str())), conn_.get(), sql);
}

std::unique_ptr<Statement> PostgresDatabase::Prepare(std::string_view sql, bool repeated) {
  return std::make_unique<PostgresStatement>(session_, sql, repeated);
}

std::string PostgresDatabase::QuoteLiteral(std::string_view text) {
  // libpq follows the client encoding the server reports, whatever set it.
  const char* encoding =
      sqltext::NeedsClientEncoding(text) ? pg_encoding_to_char(PQclientEncoding(session_->Conn())) : "";
  return sqltext::QuoteLiteral(text, sqltext::Backslash::Escape, encoding);
}

void PostgresDatabase::ExecuteScript(std::string_view sql) {
  // The simple query protocol runs each statement, stopping at a failure.
  session_->Exec(std::string(sql));
}

bool PostgresDatabase::TableExists(std::string_view table) {
  if (!IsRelationName(table)) return false;
  // to_regclass resolves the name as a statement would (case, search path).
  auto statement = Prepare(
      "select 1 from pg_class where oid = to_regclass(?) and relkind in ('r', 'p', 'v', 'm', 'f')", false);
  statement->Bind(1, EngineValue::Text(table));
  return statement->Execute(Statement::Rows::First);
}

std::vector<std::vector<std::string>> PostgresDatabase::UniqueKeys(std::string_view table) {
  if (!IsRelationName(table)) return {};
  // The primary key, then the unique indexes oldest first. Columns in key
  // order, leaving out included (non-key) columns.
  auto statement = Prepare(
      "select k.indexrelid, a.attname"
      "  from (select i.indexrelid, i.indrelid, i.indkey, i.indnkeyatts, i.indisprimary"
      "          from pg_index i"
      "         where i.indrelid = to_regclass(?)"
      "           and i.indisunique and i.indisvalid"
      "           and i.indpred is null and i.indexprs is null) k"
      "  cross join lateral unnest(k.indkey::int2[]) with ordinality as c(attnum, pos)"
      "  join pg_attribute a on a.attrelid = k.indrelid and a.attnum = c.attnum"
      " where c.pos <= k.indnkeyatts"
      " order by k.indisprimary desc, k.indexrelid, c.pos",
      false);
  statement->Bind(1, EngineValue::Text(table));
  std::vector<std::vector<std::string>> keys;
  std::string index;
  for (bool row = statement->Execute(Statement::Rows::All); row; row = statement->Next()) {
    const std::string_view id = statement->Cell(0).text;
    if (keys.empty() || id != index) keys.emplace_back();
    index = id;
    keys.back().emplace_back(statement->Cell(1).text);
  }
  return keys;
}

std::vector<ColumnDescription> PostgresDatabase::Columns(std::string_view table) {
  if (!IsRelationName(table)) return {};
  // atttypmod carries a text column's length plus 4, and a numeric
  // column's precision and scale (scale in the low 16 bits) plus 4.
  auto statement = Prepare(
      "select a.attname, t.typname, a.atttypmod, format_type(a.atttypid, a.atttypmod)"
      "  from pg_attribute a join pg_type t on t.oid = a.atttypid"
      " where a.attrelid = to_regclass(?) and a.attnum > 0 and not a.attisdropped"
      " order by a.attnum",
      false);
  statement->Bind(1, EngineValue::Text(table));
  std::vector<ColumnDescription> columns;
  using Kind = ColumnDescription::Kind;
  for (bool row = statement->Execute(Statement::Rows::All); row; row = statement->Next()) {
    ColumnDescription& c = columns.emplace_back();
    c.name = statement->Cell(0).text;
    const std::string_view type = statement->Cell(1).text;
    const auto modifier = static_cast<std::int32_t>(statement->Cell(2).integer);
    c.type = statement->Cell(3).text;
    // Types not named here are Other.
    static constexpr std::pair<std::string_view, Kind> kKinds[] = {
        {"varchar", Kind::Text},         {"bpchar", Kind::Text},   {"text", Kind::Text},
        {"citext", Kind::Text},          {"int4", Kind::Integer},  {"int8", Kind::Integer},
        {"int2", Kind::SmallInteger},    {"float8", Kind::Number}, {"timestamp", Kind::DateTime},
        {"timestamptz", Kind::DateTime}, {"date", Kind::DateOnly}};
    for (const auto& [name, kind] : kKinds)
      if (type == name) c.kind = kind;
    if (type == "varchar" || type == "bpchar") c.size = modifier > 4 ? modifier - 4 : 0;
    if (type == "numeric") {
      if (modifier > 4) {
        c.precision = ((modifier - 4) >> 16) & 0xFFFF;
        c.scale = (modifier - 4) & 0xFFFF;
      }
      c.kind = c.precision != 0 && c.scale == 0 ? Kind::Integer : Kind::Number;
    }
  }
  return columns;
}

}  // namespace pg

std::unique_ptr<Database> OpenPostgres(const std::string& conninfo) {
  return std::make_unique<pg::PostgresDatabase>(std::make_shared<pg::Session>(pg::Connect(conninfo)));
}

}  // namespace tarnlow::backend
