// Failed ODBC calls become error records here, alike whatever the driver.
#include <algorithm>

#include "connection/odbc/odbc_backend.h"
#include "tarnlow/name_index.h"

namespace tarnlow::backend::odbc {
namespace {

constexpr const char* kSource = "ODBC";

// One diagnostic record of a handle.
struct Diagnostic {
  std::string sqlstate;
  std::int32_t native = 0;
  std::string message;
};

// The driver's messages, each once, joined into one description.
std::string Joined(const std::vector<Diagnostic>& records) {
  std::string text;
  for (const Diagnostic& d : records) {
    if (d.message.empty() || text.find(d.message) != std::string::npos) continue;
    if (!text.empty()) text += "; ";
    text += d.message;
  }
  return text;
}

// The first record is the one the driver reports the failure by; later
// ones add detail (or, on a lost link, the 08 state that says so).
ErrorContext ContextOf(const std::vector<Diagnostic>& records, std::string_view statement, bool usable) {
  if (records.empty()) return {std::string(statement), {}, 0, usable};
  return {std::string(statement), records.front().sqlstate, records.front().native, usable};
}

std::vector<Diagnostic> Diagnostics(SQLSMALLINT type, SQLHANDLE handle) {
  std::vector<Diagnostic> out;
  if (handle == SQL_NULL_HANDLE) return out;
  for (SQLSMALLINT record = 1;; ++record) {
    SQLWCHAR state[6] = {};
    SQLINTEGER native = 0;
    std::vector<SQLWCHAR> message(512);
    SQLSMALLINT length = 0;
    const auto get = [&] {
      return SQLGetDiagRecW(type, handle, record, state, &native, message.data(),
                            static_cast<SQLSMALLINT>(message.size()), &length);
    };
    SQLRETURN rc = get();
    if (rc == SQL_SUCCESS_WITH_INFO && length >= static_cast<SQLSMALLINT>(message.size())) {
      message.resize(static_cast<std::size_t>(length) + 1);
      rc = get();
    }
    if (!Ok(rc)) break;
    const std::size_t used =
        std::min<std::size_t>(static_cast<std::size_t>(std::max<SQLSMALLINT>(length, 0)), message.size() - 1);
    out.push_back({Narrow(state, 5), native, sqltext::OneLine(Narrow(message.data(), used), " ;")});
  }
  return out;
}

// True when a diagnostic says the key already exists, by state or wording.
bool IsUniqueViolation(const Diagnostic& d) {
  if (d.sqlstate == "23505") return true;  // the server's, passed on
  // Other class-23 states name other failures; plain 23000 leaves the kind
  // to the wording. The SQLite driver gives HY000 with SQLite's status as
  // native code, 19 for any constraint, unique or check alike.
  const bool integrity = d.sqlstate == "23000";
  const bool sqlite_constraint = (d.sqlstate == "HY000" || d.sqlstate == "S1000") && d.native == 19;
  if (!integrity && !sqlite_constraint) return false;
  const std::string text = LowerCase(d.message);
  for (const char* phrase : {"unique constraint", "primary key", "duplicate key", "is not unique"})
    if (text.find(phrase) != std::string::npos) return true;
  return false;
}

bool IsConnectionLost(std::string_view sqlstate) {
  // Class 08 is the connection class; the server's own "terminating
  // connection" states (57P01..57P03) mean the same to a caller.
  return sqlstate.starts_with("08") || sqlstate == "57P01" || sqlstate == "57P02" || sqlstate == "57P03";
}

}  // namespace

bool ConnectionDead(SQLHDBC dbc) {
  if (dbc == SQL_NULL_HANDLE) return false;
  SQLUINTEGER dead = SQL_CD_FALSE;
  return Ok(SQLGetConnectAttr(dbc, SQL_ATTR_CONNECTION_DEAD, &dead, 0, nullptr)) && dead == SQL_CD_TRUE;
}

void Raise(SQLSMALLINT type, SQLHANDLE handle, SQLHDBC dbc, std::string_view statement) {
  const std::vector<Diagnostic> records = Diagnostics(type, handle);
  std::string text = Joined(records);
  bool lost = false;
  bool unique = false;
  for (const Diagnostic& d : records) {
    lost = lost || IsConnectionLost(d.sqlstate);
    unique = unique || IsUniqueViolation(d);
  }
  if (text.empty())
    text = records.empty() ? "the driver reported a failure without a diagnostic"
                           : "the driver reported SQLSTATE " + records.front().sqlstate;
  lost = lost || ConnectionDead(dbc);
  if (lost) text = "The connection to the database was lost: " + text;
  throw Error(unique && !lost ? DbIntegrityViolation : DbFailure, kSource, std::move(text),
              ContextOf(records, statement, !lost));
}

void RaiseConnectError(SQLHDBC dbc) {
  const std::vector<Diagnostic> records = Diagnostics(SQL_HANDLE_DBC, dbc);
  std::string text = Joined(records);
  if (text.empty()) text = "the driver gave no reason";
  throw Error(DbFailure, kSource, "Could not connect to the database: " + text,
              ContextOf(records, {}, false));
}

void Raise(std::string description) {
  throw Error(DbFailure, kSource, std::move(description));
}

}  // namespace tarnlow::backend::odbc
