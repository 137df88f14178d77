#include "connection/sqlite/sqlite_backend.h"

namespace tarnlow::backend::sqlite {
namespace {

constexpr const char* kSource = "SQLite";

// Callers retry an insert on a duplicate key, so every flavour of "this key
// is already there" must carry the integrity-violation number; anything else
// (CHECK, NOT NULL, busy, syntax) is a plain failure.
std::int32_t NumberFor(int status) {
  switch (status) {
    case SQLITE_CONSTRAINT_UNIQUE:
    case SQLITE_CONSTRAINT_PRIMARYKEY:
    case SQLITE_CONSTRAINT_ROWID: return DbIntegrityViolation;
    default: return DbFailure;
  }
}

}  // namespace

Error MakeError(sqlite3* db, int status) {
  // Without a connection (out of memory while opening) only the status text
  // is available.
  const char* message = db != nullptr ? sqlite3_errmsg(db) : sqlite3_errstr(status);
  return Error(NumberFor(status), kSource, message != nullptr ? message : "");
}

void Raise(sqlite3* db, int status) {
  throw MakeError(db, status);
}

void Raise(int status, std::string description) {
  throw Error(NumberFor(status), kSource, std::move(description));
}

}  // namespace tarnlow::backend::sqlite
