// Every PostgreSQL failure becomes an error record here.
#include <cstring>
#include <string>
#include <string_view>

#include "connection/postgresql/postgresql_backend.h"

namespace tarnlow::backend::pg {
namespace {

constexpr const char* kSource = "PostgreSQL";

// libpq's messages end in a newline and continue on tab-indented lines.
using sqltext::OneLine;

std::int32_t NumberFor(const char* sqlstate) {
  // 23505 is unique_violation; callers answer a duplicate key by retrying,
  // so it keeps the integrity-violation number the other database gives.
  if (sqlstate != nullptr && std::strcmp(sqlstate, "23505") == 0) return DbIntegrityViolation;
  return DbFailure;
}

// A session that could not be opened has nothing left to run on.
[[noreturn]] void RaiseNotOpened(std::string text, const char* otherwise) {
  if (text.empty()) text = otherwise;
  throw Error(DbFailure, kSource, std::move(text), ErrorContext{{}, {}, 0, false});
}

}  // namespace

bool Succeeded(const PGresult* res) {
  return res != nullptr && Succeeded(PQresultStatus(res));
}

ResultHandle Checked(ResultHandle res, const PGconn* conn, std::string_view statement) {
  if (!Succeeded(res.get())) RaiseCommandError(res.get(), conn, statement);
  return res;
}

void RaiseCommandError(const PGresult* res, const PGconn* conn, std::string_view statement) {
  const char* sqlstate = nullptr;
  std::string text;
  if (res != nullptr) {
    sqlstate = PQresultErrorField(res, PG_DIAG_SQLSTATE);
    // The server's primary message alone: the full text repeats the
    // severity and adds detail lines that do not belong in a description.
    if (const char* primary = PQresultErrorField(res, PG_DIAG_MESSAGE_PRIMARY)) text = primary;
    // Errors libpq raises itself (a lost connection) carry no fields.
    if (text.empty()) text = OneLine(PQresultErrorMessage(res));
  }
  if (text.empty() && conn != nullptr) text = OneLine(PQerrorMessage(conn));
  if (text.empty()) {
    text = res != nullptr
               ? std::string("unexpected reply from the server: ") + PQresStatus(PQresultStatus(res))
               : std::string("no reply from the server");
  }
  // A failed statement leaves the session open (inside a transaction it
  // waits for a rollback); a lost server leaves nothing to run on.
  throw Error(NumberFor(sqlstate), kSource, std::move(text),
              ErrorContext{std::string(statement), sqlstate != nullptr ? sqlstate : "", 0,
                           conn != nullptr && PQstatus(conn) == CONNECTION_OK});
}

void RaiseConnectError(const PGconn* conn) {
  RaiseNotOpened(conn != nullptr ? OneLine(PQerrorMessage(conn)) : std::string(),
                 "could not connect to the server");
}

void RaiseConnInfoError(const char* libpq_message) {
  RaiseNotOpened(OneLine(libpq_message), "invalid connection text");
}

}  // namespace tarnlow::backend::pg
