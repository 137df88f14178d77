// The raw side of the goods-receipt benchmark: the two database client APIs
// behind one small set of inline calls, so that the receipt itself is written
// once for both databases. Each call is a direct use of the client API with
// nothing cached or converted beyond what the API needs (libpq takes every
// value as text, so numbers are formatted here, as any libpq client must).
#pragma once

#include <libpq-fe.h>
#include <sqlite3.h>

#include <charconv>
#include <cmath>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace receipt_bench {

// What running a write gave: done, or refused by a unique key.
enum class WriteOutcome { Done, Duplicate };

// ---- SQLite --------------------------------------------------------------------

class SqliteRaw {
 public:
  struct Stmt {
    sqlite3_stmt* handle = nullptr;
  };

  // Opened as the library opens its connections: no sqlite mutexes, extended
  // result codes, the same busy timeout and the same sync level under WAL.
  explicit SqliteRaw(const std::string& path) {
    const int rc = sqlite3_open_v2(
        path.c_str(), &db_, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX | SQLITE_OPEN_EXRESCODE, nullptr);
    if (rc != SQLITE_OK) Fail("open");
    sqlite3_extended_result_codes(db_, 1);
    sqlite3_busy_timeout(db_, 30000);
    if (sqlite3_exec(db_, "PRAGMA journal_mode=WAL; PRAGMA synchronous=NORMAL;", nullptr, nullptr, nullptr) !=
        SQLITE_OK)
      Fail("pragma");
  }
  ~SqliteRaw() { sqlite3_close_v2(db_); }
  SqliteRaw(const SqliteRaw&) = delete;
  SqliteRaw& operator=(const SqliteRaw&) = delete;

  // Every text sent to the database is appended here while set.
  void Log(std::vector<std::string>* log) { log_ = log; }

  // A statement compiled once and run many times.
  Stmt Prepare(const std::string& sql) { return Compile(sql, SQLITE_PREPARE_PERSISTENT); }
  // A statement compiled for one run; Release after use.
  Stmt Literal(const std::string& sql) { return Compile(sql, 0); }
  void Release(Stmt& s) {
    sqlite3_finalize(s.handle);
    s.handle = nullptr;
  }

  void Text(Stmt& s, int index, std::string_view v) {
    Check(sqlite3_bind_text64(s.handle, index, v.data(), v.size(), SQLITE_TRANSIENT, SQLITE_UTF8));
  }
  // Text that stays where it is until the run has ended: sqlite reads it
  // there instead of taking a copy.
  void TextInPlace(Stmt& s, int index, std::string_view v) {
    Check(sqlite3_bind_text64(s.handle, index, v.data(), v.size(), SQLITE_STATIC, SQLITE_UTF8));
  }
  void Number(Stmt& s, int index, double v) { Check(sqlite3_bind_double(s.handle, index, v)); }
  void Null(Stmt& s, int index) { Check(sqlite3_bind_null(s.handle, index)); }

  // Runs a query; true when positioned on a row. Close ends the run.
  bool Query(Stmt& s) {
    const int rc = sqlite3_step(s.handle);
    if (rc == SQLITE_ROW) return true;
    if (rc == SQLITE_DONE) return false;
    Fail("query");
  }
  void Close(Stmt& s) { sqlite3_reset(s.handle); }

  WriteOutcome Write(Stmt& s) {
    const int rc = sqlite3_step(s.handle);
    sqlite3_reset(s.handle);
    if (rc == SQLITE_DONE) return WriteOutcome::Done;
    if (rc == SQLITE_CONSTRAINT_UNIQUE || rc == SQLITE_CONSTRAINT_PRIMARYKEY) return WriteOutcome::Duplicate;
    Fail("write");
  }
  std::int64_t Changed(const Stmt&) const { return sqlite3_changes64(db_); }

  int Columns(const Stmt& s) const { return sqlite3_column_count(s.handle); }
  const char* Name(const Stmt& s, int c) const { return sqlite3_column_name(s.handle, c); }
  bool IsNull(const Stmt& s, int c) const { return sqlite3_column_type(s.handle, c) == SQLITE_NULL; }
  bool IsNumber(const Stmt& s, int c) const {
    const int t = sqlite3_column_type(s.handle, c);
    return t == SQLITE_FLOAT || t == SQLITE_INTEGER;
  }
  double NumberAt(const Stmt& s, int c) const { return sqlite3_column_double(s.handle, c); }
  std::string_view TextAt(const Stmt& s, int c) const {
    const auto* p = reinterpret_cast<const char*>(sqlite3_column_text(s.handle, c));
    return p ? std::string_view(p, static_cast<std::size_t>(sqlite3_column_bytes(s.handle, c)))
             : std::string_view();
  }

  static std::string Numbered(const std::string& sql) { return sql; }

 private:
  Stmt Compile(const std::string& sql, unsigned flags) {
    if (log_) log_->push_back(sql);
    Stmt s;
    if (sqlite3_prepare_v3(db_, sql.c_str(), static_cast<int>(sql.size() + 1), flags, &s.handle, nullptr) !=
        SQLITE_OK)
      Fail("prepare");
    return s;
  }
  void Check(int rc) {
    if (rc != SQLITE_OK) Fail("bind");
  }
  [[noreturn]] void Fail(const char* what) const {
    throw std::runtime_error(std::string("raw sqlite ") + what + ": " + sqlite3_errmsg(db_));
  }

  sqlite3* db_ = nullptr;
  std::vector<std::string>* log_ = nullptr;
};

// ---- PostgreSQL ------------------------------------------------------------------

class PgRaw {
 public:
  // A server-side prepared statement (name set) or a literal one (text only).
  struct Stmt {
    std::string name;
    std::string text;
    std::vector<std::string> values;
    std::vector<char> null;
    std::vector<const char*> pointers;
    PGresult* result = nullptr;
  };

  explicit PgRaw(const std::string& conninfo) : conn_(PQconnectdb(conninfo.c_str())) {
    if (PQstatus(conn_) != CONNECTION_OK) Fail("connect", nullptr);
  }
  ~PgRaw() { PQfinish(conn_); }
  PgRaw(const PgRaw&) = delete;
  PgRaw& operator=(const PgRaw&) = delete;

  void Log(std::vector<std::string>* log) { log_ = log; }

  // Prepared once on the server, executed with PQexecPrepared.
  Stmt Prepare(const std::string& sql) {
    Stmt s = Make(Numbered(sql));
    s.name = "raw" + std::to_string(++counter_);
    PGresult* r =
        PQprepare(conn_, s.name.c_str(), s.text.c_str(), static_cast<int>(s.values.size()), nullptr);
    if (PQresultStatus(r) != PGRES_COMMAND_OK) Fail("prepare", r);
    PQclear(r);
    return s;
  }
  // Sent with its values in one PQexecParams round trip. `sql` already uses
  // the server's numbered placeholders.
  Stmt Literal(const std::string& sql) { return Make(sql); }
  void Release(Stmt& s) { Close(s); }

  void Text(Stmt& s, int index, std::string_view v) {
    auto i = static_cast<std::size_t>(index - 1);
    s.values[i].assign(v);
    s.null[i] = 0;
  }
  // A whole number in digits, as any correct client must write it: the
  // shortest text of 100000.0 is "1e+05", which an integer column refuses.
  void Number(Stmt& s, int index, double v) {
    auto i = static_cast<std::size_t>(index - 1);
    char buf[64];
    const auto r = v == std::trunc(v) && std::fabs(v) < 9223372036854775808.0
                       ? std::to_chars(buf, buf + sizeof buf, static_cast<std::int64_t>(v))
                       : std::to_chars(buf, buf + sizeof buf, v);
    s.values[i].assign(buf, r.ptr);
    s.null[i] = 0;
  }
  void Null(Stmt& s, int index) { s.null[static_cast<std::size_t>(index - 1)] = 1; }

  bool Query(Stmt& s) {
    Execute(s);
    if (PQresultStatus(s.result) != PGRES_TUPLES_OK) Fail("query", Detach(s));
    return PQntuples(s.result) > 0;
  }
  void Close(Stmt& s) {
    PQclear(s.result);
    s.result = nullptr;
  }

  WriteOutcome Write(Stmt& s) {
    Execute(s);
    if (PQresultStatus(s.result) == PGRES_COMMAND_OK) return WriteOutcome::Done;
    const char* state = PQresultErrorField(s.result, PG_DIAG_SQLSTATE);
    if (state && std::string_view(state) == "23505") {
      Close(s);
      return WriteOutcome::Duplicate;
    }
    Fail("write", Detach(s));
  }
  std::int64_t Changed(const Stmt& s) const {
    std::int64_t n = 0;
    const std::string_view t = PQcmdTuples(s.result);
    std::from_chars(t.data(), t.data() + t.size(), n);
    return n;
  }

  int Columns(const Stmt& s) const { return PQnfields(s.result); }
  const char* Name(const Stmt& s, int c) const { return PQfname(s.result, c); }
  bool IsNull(const Stmt& s, int c) const { return PQgetisnull(s.result, 0, c) != 0; }
  bool IsNumber(const Stmt& s, int c) const {
    const Oid t = PQftype(s.result, c);
    return t == 701 || t == 20 || t == 21 || t == 23;  // float8, int8, int2, int4
  }
  double NumberAt(const Stmt& s, int c) const {
    double v = 0;
    const char* p = PQgetvalue(s.result, 0, c);
    std::from_chars(p, p + PQgetlength(s.result, 0, c), v);
    return v;
  }
  std::string_view TextAt(const Stmt& s, int c) const {
    return {PQgetvalue(s.result, 0, c), static_cast<std::size_t>(PQgetlength(s.result, 0, c))};
  }

  // "?" placeholders as the server's $1, $2, ...; the receipt's statements
  // have no "?" inside a quoted literal.
  static std::string Numbered(const std::string& sql) {
    std::string out;
    int n = 0;
    for (char c : sql) {
      if (c == '?')
        out += "$" + std::to_string(++n);
      else
        out += c;
    }
    return out;
  }

 private:
  // The values are counted by the "$" of the numbered placeholders: no
  // statement of the receipt has a "$" anywhere else.
  Stmt Make(std::string text) {
    if (log_) log_->push_back(text);
    Stmt s;
    std::size_t count = 0;
    for (std::size_t i = text.find('$'); i != std::string::npos; i = text.find('$', i + 1)) ++count;
    s.text = std::move(text);
    s.values.resize(count);
    s.null.assign(count, 0);
    s.pointers.resize(count);
    return s;
  }
  void Execute(Stmt& s) {
    PQclear(s.result);
    for (std::size_t i = 0; i < s.values.size(); ++i)
      s.pointers[i] = s.null[i] ? nullptr : s.values[i].c_str();
    const int n = static_cast<int>(s.values.size());
    s.result = s.name.empty()
                   ? PQexecParams(conn_, s.text.c_str(), n, nullptr, s.pointers.data(), nullptr, nullptr, 0)
                   : PQexecPrepared(conn_, s.name.c_str(), n, s.pointers.data(), nullptr, nullptr, 0);
  }
  static PGresult* Detach(Stmt& s) {
    PGresult* r = s.result;
    s.result = nullptr;
    return r;
  }
  // Takes the result (if any) and clears it.
  [[noreturn]] void Fail(const char* what, PGresult* r) const {
    std::string message =
        std::string("raw libpq ") + what + ": " + (r ? PQresultErrorMessage(r) : PQerrorMessage(conn_));
    if (r) PQclear(r);
    throw std::runtime_error(message);
  }

  PGconn* conn_;
  std::vector<std::string>* log_ = nullptr;
  int counter_ = 0;
};

}  // namespace receipt_bench
