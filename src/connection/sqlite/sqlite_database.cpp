#include <algorithm>
#include <cctype>
#include <chrono>
#include <climits>
#include <cstdlib>
#include <cstring>

#include "connection/sql_text.h"
#include "connection/sqlite/sqlite_backend.h"

namespace tarnlow::backend {
namespace sqlite {
namespace {

constexpr int kBusyTimeoutMs = 30'000;

bool IsFile(const std::string& path) {
  return !path.empty() && path != ":memory:";
}

// True when the text after a statement holds nothing but separators.
bool OnlySeparators(const char* tail) {
  return tail == nullptr || tail[std::strspn(tail, "; \t\r\n")] == '\0';
}

// Runs a query, `table` bound to ?1, handing `take` each row.
template <class Take>
void EachRow(sqlite3* db, const char* sql, std::string_view table, std::string_view statement, Take&& take) {
  sqlite3_stmt* raw = nullptr;
  const int rc = sqlite3_prepare_v3(db, sql, -1, 0, &raw, nullptr);
  const StatementHandle stmt(raw);
  if (rc != SQLITE_OK) Raise(db, rc, statement);
  const int bind_rc =
      sqlite3_bind_text64(stmt.get(), 1, table.data(), table.size(), SQLITE_TRANSIENT, SQLITE_UTF8);
  if (bind_rc != SQLITE_OK) Raise(db, bind_rc, statement);
  int step_rc;
  while ((step_rc = sqlite3_step(stmt.get())) == SQLITE_ROW) take(stmt.get());
  if (step_rc != SQLITE_DONE) Raise(db, step_rc, statement);
}

// A text cell; a null one (an index column that is an expression) is empty.
const char* TextCell(sqlite3_stmt* stmt, int column) {
  const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(stmt, column));
  return text != nullptr ? text : "";
}

}  // namespace

SqliteDatabase::SqliteDatabase(ConnectionHandle db) : db_(std::move(db)) {}

std::unique_ptr<Statement> SqliteDatabase::Prepare(std::string_view sql, bool repeated) {
  const std::string text = sqltext::SqliteText(sql);
  if (text.size() >= static_cast<std::size_t>(INT_MAX)) Raise(SQLITE_TOOBIG, sqlite3_errstr(SQLITE_TOOBIG));
  sqlite3_stmt* raw = nullptr;
  const char* tail = nullptr;
  // Including the terminating NUL in the length spares sqlite a copy.
  const int rc = sqlite3_prepare_v3(db_.get(), text.c_str(), static_cast<int>(text.size() + 1),
                                    repeated ? SQLITE_PREPARE_PERSISTENT : 0, &raw, &tail);
  StatementHandle stmt(raw);
  if (rc != SQLITE_OK) Raise(db_.get(), rc, sql);
  if (stmt == nullptr) Raise(SQLITE_MISUSE, "The SQL text holds no statement", sql);

  // sqlite compiles only the first statement; a second one must not be
  // dropped without a word. Comments alone compile to nothing.
  while (!OnlySeparators(tail)) {
    sqlite3_stmt* extra_raw = nullptr;
    const char* next = nullptr;
    const int extra_rc = sqlite3_prepare_v3(db_.get(), tail, -1, 0, &extra_raw, &next);
    const StatementHandle extra(extra_raw);
    if (extra_rc != SQLITE_OK) Raise(db_.get(), extra_rc, sql);
    if (extra != nullptr) Raise(SQLITE_MISUSE, "Only one SQL statement can be prepared at a time", sql);
    tail = next;
  }
  return std::make_unique<SqliteStatement>(std::move(stmt), std::string(sql));
}

void SqliteDatabase::ExecuteScript(std::string_view sql) {
  const std::string text = sqltext::SqliteText(sql);
  const int rc = sqlite3_exec(db_.get(), text.c_str(), nullptr, nullptr, nullptr);
  if (rc != SQLITE_OK) Raise(db_.get(), rc, sql);
}

std::vector<std::string> SqliteDatabase::NameList(const char* sql, std::string_view table) {
  std::vector<std::string> names;
  EachRow(db_.get(), sql, table, sql, [&](sqlite3_stmt* row) { names.emplace_back(TextCell(row, 0)); });
  return names;
}

bool SqliteDatabase::TableExists(std::string_view table) {
  return !NameList(
              "select name from sqlite_master where type in ('table', 'view') "
              "and name = ?1 collate nocase",
              table)
              .empty();
}

std::vector<std::vector<std::string>> SqliteDatabase::UniqueKeys(std::string_view table) {
  std::vector<std::vector<std::string>> keys;
  std::vector<std::string> primary =
      NameList("select name from pragma_table_info(?1) where pk > 0 order by pk", table);
  if (!primary.empty()) keys.push_back(std::move(primary));

  // Oldest first (index_list gives the newest first), leaving out the
  // primary key's own index (origin "pk").
  const std::vector<std::string> indexes = NameList(
      "select l.name from pragma_index_list(?1) l "
      "join sqlite_master m on m.type = 'index' and m.name = l.name "
      "where l.\"unique\" and not l.partial and l.origin <> 'pk' order by m.rowid",
      table);
  for (const std::string& index : indexes) {
    std::vector<std::string> columns =
        NameList("select name from pragma_index_info(?1) order by seqno", index);
    if (!columns.empty() && std::ranges::none_of(columns, [](const std::string& c) { return c.empty(); }))
      keys.push_back(std::move(columns));
  }
  return keys;
}

std::vector<ColumnDescription> SqliteDatabase::Columns(std::string_view table) {
  std::vector<ColumnDescription> columns;
  EachRow(db_.get(), "select name, type from pragma_table_info(?1)", table, {},
          [&](sqlite3_stmt* row) { columns.push_back(SqliteColumn(TextCell(row, 0), TextCell(row, 1))); });
  return columns;
}

namespace {

// A declared length or precision: the digits from `at` (after blanks); 0,
// no limit, beyond what an int counts.
int DeclaredNumber(const std::string& text, std::size_t at) {
  while (at < text.size() && text[at] == ' ') ++at;
  long long n = 0;
  std::size_t digits = 0;
  for (; at < text.size() && text[at] >= '0' && text[at] <= '9'; ++at, ++digits) {
    n = n * 10 + (text[at] - '0');
    if (n > INT_MAX) return 0;
  }
  return digits == 0 ? 0 : static_cast<int>(n);
}

}  // namespace
}  // namespace sqlite

ColumnDescription SqliteColumn(std::string name, std::string declared_type) {
  using sqlite::DeclaredNumber;
  ColumnDescription c;
  c.name = std::move(name);
  c.type = std::move(declared_type);
  std::string upper = c.type;
  for (char& ch : upper) ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
  auto has = [&](const char* part) { return upper.find(part) != std::string::npos; };
  const std::size_t open = upper.find('(');
  // The affinity by sqlite's rules, dates as this library reads them; a
  // declared width is meant, though sqlite does not hold to it.
  using Kind = ColumnDescription::Kind;
  if (has("INT")) {
    c.kind = Kind::Integer;
  } else if (has("CHAR") || has("CLOB") || has("TEXT")) {
    c.kind = Kind::Text;
    if (open != std::string::npos) c.size = DeclaredNumber(upper, open + 1);
  } else if (has("BLOB") || upper.find_first_not_of(' ') == std::string::npos) {
    c.kind = Kind::Any;
  } else if (has("REAL") || has("FLOA") || has("DOUB")) {
    c.kind = Kind::Number;
  } else if (has("DATE") || has("TIME")) {
    c.kind = Kind::DateTime;
  } else {
    // Numeric affinity: whole numbers and fractions alike.
    c.kind = Kind::Number;
    if (open != std::string::npos && (has("NUM") || has("DEC"))) {
      c.precision = DeclaredNumber(upper, open + 1);
      if (const std::size_t comma = upper.find(',', open); comma != std::string::npos)
        c.scale = DeclaredNumber(upper, comma + 1);
      if (c.precision == 0) c.scale = 0;
    }
  }
  return c;
}

std::unique_ptr<Database> OpenSqlite(const std::string& path, bool create) {
  sqlite3* raw = nullptr;
  const int rc = sqlite3_open_v2(
      path.c_str(), &raw,
      SQLITE_OPEN_READWRITE | (create ? SQLITE_OPEN_CREATE : 0) | SQLITE_OPEN_NOMUTEX | SQLITE_OPEN_EXRESCODE,
      nullptr);
  // sqlite hands out a handle even when opening fails; it carries the message.
  sqlite::ConnectionHandle db(raw);
  if (rc != SQLITE_OK) sqlite::RaiseOpenError(db.get(), rc, path);

  sqlite3_extended_result_codes(db.get(), 1);
  sqlite3_busy_timeout(db.get(), sqlite::kBusyTimeoutMs);
  // A file the process may only read serves reads, writes failing with the
  // read-only error naming it; reading it here fails an unreadable one now.
  const bool read_only = sqlite3_db_readonly(db.get(), "main") == 1;
  if (read_only) {
    const int read_rc = sqlite3_exec(db.get(), "PRAGMA schema_version", nullptr, nullptr, nullptr);
    if (read_rc != SQLITE_OK) sqlite::RaiseOpenError(db.get(), read_rc, path);
  }
  if (sqlite::IsFile(path) && !read_only) {
    // Write-ahead logging lets processes share a file, commits waiting their
    // turn (NORMAL sync spares a sync per commit); switching a new file needs
    // it to itself, which sqlite does not wait for, so it is waited for here.
    const auto give_up = std::chrono::steady_clock::now() + std::chrono::milliseconds(sqlite::kBusyTimeoutMs);
    int pragma_rc;
    while ((pragma_rc = sqlite3_exec(db.get(), "PRAGMA journal_mode=WAL; PRAGMA synchronous=NORMAL;", nullptr,
                                     nullptr, nullptr)) != SQLITE_OK &&
           (pragma_rc & 0xFF) == SQLITE_BUSY && std::chrono::steady_clock::now() < give_up)
      sqlite3_sleep(5);
    if (pragma_rc != SQLITE_OK) sqlite::RaiseOpenError(db.get(), pragma_rc, path);
  }
  return std::make_unique<sqlite::SqliteDatabase>(std::move(db));
}

}  // namespace tarnlow::backend
