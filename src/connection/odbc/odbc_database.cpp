// Opening a driver connection and the database-level operations on it.
#include <algorithm>
#include <cctype>
#include <charconv>
#include <optional>

#include "connection/odbc/odbc_backend.h"
#include "tarnlow/name_index.h"

namespace tarnlow::backend {
namespace odbc {
namespace {

// Seconds a driver may take to reach its server before the open fails.
constexpr SQLULEN kLoginTimeout = 10;

// The DDL dialect by the driver's DBMS name, or that name for another database.
std::string DialectOf(const std::string& dbms) {
  const std::string lower = LowerCase(dbms);
  if (lower.starts_with("postgresql")) return "postgresql";
  if (lower.starts_with("sqlite")) return "sqlite";
  return dbms;
}

// Names that can be spliced into a probe: one to three dotted parts of
// letters, digits, "_" and "$", as every table of this library is named.
bool IsPlainName(std::string_view name) {
  int parts = 1;
  bool part_empty = true;
  for (char c : name) {
    if (c == '.') {
      if (part_empty) return false;
      ++parts;
      part_empty = true;
    } else if (std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '$') {
      part_empty = false;
    } else {
      return false;
    }
  }
  return !part_empty && parts <= 3;
}

bool IsWordChar(char c) {
  return std::isalnum(static_cast<unsigned char>(c)) || c == '_';
}

// The statements of a script, split at ";" outside quotes and comments, and
// outside a trigger's BEGIN ... END body, whose statements end in ";" too.
std::vector<std::string> SplitScript(std::string_view sql) {
  std::vector<std::string> out;
  std::string current;
  int words = 0;         // words of the current statement so far
  bool trigger = false;  // the statement creates a trigger
  int depth = 0;         // open BEGIN (and CASE) inside a trigger body
  auto flush = [&] {
    const bool blank = std::all_of(current.begin(), current.end(),
                                   [](char c) { return std::isspace(static_cast<unsigned char>(c)) != 0; });
    if (!blank) out.push_back(current);
    current.clear();
    words = 0;
    trigger = false;
    depth = 0;
  };
  for (std::size_t i = 0; i < sql.size(); ++i) {
    const char c = sql[i];
    if (IsWordChar(c) && (i == 0 || !IsWordChar(sql[i - 1]))) {
      std::size_t end = i;
      while (end < sql.size() && IsWordChar(sql[end])) ++end;
      const std::string word = LowerCase(sql.substr(i, end - i));
      ++words;
      if (words <= 4 && word == "trigger") trigger = true;  // CREATE [TEMP] TRIGGER [IF NOT EXISTS]
      if (trigger && (word == "begin" || (depth > 0 && word == "case"))) ++depth;
      if (trigger && depth > 0 && word == "end") --depth;
      current.append(sql.substr(i, end - i));
      i = end - 1;
    } else if (c == ';' && depth > 0) {
      current += c;
    } else if (c == '\'' || c == '"') {
      const std::size_t end = sql.find(c, i + 1);
      const std::size_t stop = end == std::string_view::npos ? sql.size() : end + 1;
      current.append(sql.substr(i, stop - i));
      i = stop - 1;
    } else if (c == '-' && i + 1 < sql.size() && sql[i + 1] == '-') {
      const std::size_t end = sql.find('\n', i);
      i = end == std::string_view::npos ? sql.size() : end;
      current += '\n';
    } else if (c == ';') {
      flush();
    } else {
      current += c;
    }
  }
  flush();
  return out;
}

// A catalogue function's rows, the wanted columns as text (nullopt for null).
std::vector<std::vector<std::optional<std::string>>> CatalogueRows(
    SQLHSTMT stmt, SQLHDBC dbc, std::initializer_list<SQLUSMALLINT> columns) {
  std::vector<std::vector<std::optional<std::string>>> rows;
  while (true) {
    const SQLRETURN rc = SQLFetch(stmt);
    if (rc == SQL_NO_DATA) break;
    if (!Ok(rc)) Raise(SQL_HANDLE_STMT, stmt, dbc);
    auto& row = rows.emplace_back();
    for (SQLUSMALLINT column : columns) {
      SQLWCHAR buffer[512];
      SQLLEN indicator = 0;
      if (!Ok(SQLGetData(stmt, column, SQL_C_WCHAR, buffer, sizeof buffer, &indicator)))
        Raise(SQL_HANDLE_STMT, stmt, dbc);
      row.push_back(indicator == SQL_NULL_DATA ? std::nullopt
                                               : std::optional(NarrowFilled(buffer, indicator)));
    }
  }
  SQLFreeStmt(stmt, SQL_CLOSE);
  return rows;
}

int WholeNumber(const std::optional<std::string>& text) {
  int value = 0;
  if (text) std::from_chars(text->data(), text->data() + text->size(), value);
  return value;
}

}  // namespace

Session::Session(const std::string& text) {
  SQLHANDLE h = SQL_NULL_HANDLE;
  if (!Ok(SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &h)))
    Raise("The ODBC driver manager could not start");
  env_ = EnvHandle(h);
  if (!Ok(SQLSetEnvAttr(env_.get(), SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0)))
    Raise(SQL_HANDLE_ENV, env_.get(), SQL_NULL_HANDLE);
  if (!Ok(SQLAllocHandle(SQL_HANDLE_DBC, env_.get(), &h))) Raise(SQL_HANDLE_ENV, env_.get(), SQL_NULL_HANDLE);
  dbc_ = DbcHandle(h);
  // Best effort: a driver without a login timeout uses its own.
  SQLSetConnectAttr(dbc_.get(), SQL_ATTR_LOGIN_TIMEOUT, reinterpret_cast<SQLPOINTER>(kLoginTimeout), 0);

  WideText wide = Widen(text);
  if (wide.size() > 32767) Raise("The ODBC connection string is too long");
  const SQLRETURN rc =
      SQLDriverConnectW(dbc_.get(), nullptr, wide.data(), static_cast<SQLSMALLINT>(wide.size()), nullptr, 0,
                        nullptr, SQL_DRIVER_NOPROMPT);
  if (!Ok(rc)) RaiseConnectError(dbc_.get());
  connected_ = true;

  SQLWCHAR name[256] = {};
  SQLSMALLINT length = 0;
  if (Ok(SQLGetInfoW(dbc_.get(), SQL_DBMS_NAME, name, sizeof name, &length)))
    dbms_ = NarrowFilled(name, length);
  // Declared sizes may be exceeded (SQLite: 255 for any expression): blocks
  // only where an overflowing cell can be read again whole.
  SQLUINTEGER extensions = 0;
  if (Ok(SQLGetInfo(dbc_.get(), SQL_GETDATA_EXTENSIONS, &extensions, sizeof extensions, nullptr)))
    getdata_block_ = (extensions & SQL_GD_BLOCK) != 0;
}

Session::~Session() {
  if (connected_) SQLDisconnect(dbc_.get());
}

StmtHandle Session::NewStatement() {
  SQLHANDLE h = SQL_NULL_HANDLE;
  if (!Ok(SQLAllocHandle(SQL_HANDLE_STMT, dbc_.get(), &h))) Raise(SQL_HANDLE_DBC, dbc_.get(), dbc_.get());
  return StmtHandle(h);
}

OdbcDatabase::OdbcDatabase(std::shared_ptr<Session> session)
    : session_(std::move(session)), dialect_(DialectOf(session_->DbmsName())) {}

std::unique_ptr<Statement> OdbcDatabase::Prepare(std::string_view sql, bool repeated) {
  if (dialect_ == "sqlite")
    return std::make_unique<OdbcStatement>(session_, sql, repeated, sqltext::SqliteText(sql));
  return std::make_unique<OdbcStatement>(session_, sql, repeated);
}

std::string OdbcDatabase::QuoteLiteral(std::string_view text) {
  if (dialect_ == "sqlite") return sqltext::QuoteLiteral(text, sqltext::Backslash::Plain);
  if (dialect_ != "postgresql") return sqltext::QuoteLiteral(text, sqltext::Backslash::Unknown);
  std::string encoding;
  if (sqltext::NeedsClientEncoding(text)) {
    OdbcStatement show(session_, "select current_setting('client_encoding')", false);
    if (show.Execute(Statement::Rows::First)) encoding = show.Cell(0).text;
  }
  return sqltext::QuoteLiteral(text, sqltext::Backslash::Escape, encoding);
}

void OdbcDatabase::ExecuteScript(std::string_view sql) {
  // One call per statement: not every driver takes several in one call.
  for (const std::string& statement : SplitScript(sql))
    OdbcStatement(session_, statement, false).Execute(Statement::Rows::All);
}

std::unique_ptr<OdbcStatement> OdbcDatabase::Probe(std::string_view table) {
  if (!IsPlainName(table)) return nullptr;
  // Selecting nothing finds the table as every statement will; sent directly,
  // as the PostgreSQL driver leaks a little for each prepared one that fails.
  try {
    auto statement = std::make_unique<OdbcStatement>(
        session_, "select * from " + std::string(table) + " where 1 = 0", false);
    statement->Execute(Statement::Rows::All);
    return statement;
  } catch (const Error&) {
    if (ConnectionDead(session_->Dbc())) throw;
    return nullptr;
  }
}

bool OdbcDatabase::TableExists(std::string_view table) {
  return Probe(table) != nullptr;
}

std::vector<ColumnDescription> OdbcDatabase::Columns(std::string_view table) {
  auto probe = Probe(table);
  if (!probe) return {};
  if (dialect_ != "sqlite") return probe->Describe();
  // The driver reports types without widths (and none as text): ask sqlite
  // for the declared types. A plain name needs no quoting in the literal.
  std::string schema = "main", name(table);
  if (const std::size_t dot = name.rfind('.'); dot != std::string::npos) {
    schema = name.substr(0, dot);
    name = name.substr(dot + 1);
  }
  OdbcStatement declared(session_,
                         "select name, type from pragma_table_info('" + name + "', '" + schema + "')", false);
  std::vector<ColumnDescription> columns;
  for (bool row = declared.Execute(Statement::Rows::All); row; row = declared.Next())
    columns.push_back(SqliteColumn(std::string(declared.Cell(0).text), std::string(declared.Cell(1).text)));
  return columns;
}

std::vector<std::vector<std::string>> OdbcDatabase::UniqueKeys(std::string_view table) {
  if (!IsPlainName(table)) return {};
  std::string schema_part, table_part(table);
  if (const std::size_t dot = table.rfind('.'); dot != std::string_view::npos) {
    schema_part = table.substr(0, dot);
    table_part = table.substr(dot + 1);
    if (const std::size_t first = schema_part.find('.'); first != std::string::npos)
      schema_part = schema_part.substr(first + 1);  // a catalogue in front
  }
  WideText wide_table = Widen(table_part);
  WideText wide_schema = Widen(schema_part);
  SQLWCHAR* schema = schema_part.empty() ? nullptr : wide_schema.data();
  const auto schema_length = static_cast<SQLSMALLINT>(wide_schema.size());
  const auto table_length = static_cast<SQLSMALLINT>(wide_table.size());
  const StmtHandle stmt = session_->NewStatement();
  SQLHDBC dbc = session_->Dbc();

  // The primary key, in key order.
  std::vector<std::vector<std::string>> keys;
  if (Ok(SQLPrimaryKeysW(stmt.get(), nullptr, 0, schema, schema_length, wide_table.data(), table_length))) {
    auto rows = CatalogueRows(stmt.get(), dbc, {4, 5});
    std::sort(rows.begin(), rows.end(),
              [](const auto& a, const auto& b) { return WholeNumber(a[1]) < WholeNumber(b[1]); });
    std::vector<std::string> key;
    for (const auto& row : rows)
      if (row[0]) key.push_back(*row[0]);
    if (!key.empty()) keys.push_back(std::move(key));
  }

  // Then each unique index whose parts are all plain columns.
  if (!Ok(SQLStatisticsW(stmt.get(), nullptr, 0, schema, schema_length, wide_table.data(), table_length,
                         SQL_INDEX_UNIQUE, SQL_QUICK)))
    Raise(SQL_HANDLE_STMT, stmt.get(), dbc);
  // NON_UNIQUE, INDEX_NAME, TYPE, ORDINAL_POSITION, COLUMN_NAME
  const auto rows = CatalogueRows(stmt.get(), dbc, {4, 6, 7, 8, 9});
  // Each index by name, in the order the driver lists them, with its parts.
  std::vector<std::pair<std::string, std::vector<std::pair<int, std::optional<std::string>>>>> indexes;
  for (const auto& row : rows) {
    if (!row[1] || row[2].value_or("") == std::to_string(SQL_TABLE_STAT)) continue;
    if (row[0].value_or("1") != "0") continue;
    auto it = std::ranges::find(indexes, *row[1],
                                [](const auto& index) -> const std::string& { return index.first; });
    if (it == indexes.end()) it = indexes.insert(it, {*row[1], {}});
    it->second.emplace_back(WholeNumber(row[3]), row[4]);
  }
  for (auto& [name, parts] : indexes) {
    std::sort(parts.begin(), parts.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    std::vector<std::string> key;
    for (const auto& part : parts)
      if (part.second) key.push_back(*part.second);
    if (key.size() == parts.size() && !key.empty()) keys.push_back(std::move(key));
  }
  return keys;
}

}  // namespace odbc

std::unique_ptr<Database> OpenOdbc(const std::string& connection_string) {
  return std::make_unique<odbc::OdbcDatabase>(std::make_shared<odbc::Session>(connection_string));
}

}  // namespace tarnlow::backend
