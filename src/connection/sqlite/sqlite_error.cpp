#include <string>

#include "connection/sqlite/sqlite_backend.h"

namespace tarnlow::backend::sqlite {
namespace {

constexpr const char* kSource = "SQLite";

// Callers retry an insert on a duplicate key, so every flavour of one carries
// the integrity-violation number; anything else is a plain failure.
std::int32_t NumberFor(int status) {
  return status == SQLITE_CONSTRAINT_UNIQUE || status == SQLITE_CONSTRAINT_PRIMARYKEY ||
                 status == SQLITE_CONSTRAINT_ROWID
             ? DbIntegrityViolation
             : DbFailure;
}

}  // namespace

Error MakeError(sqlite3* db, int status, std::string_view statement) {
  // Without a connection (no memory to open one) only the status text serves.
  const char* message = db != nullptr ? sqlite3_errmsg(db) : sqlite3_errstr(status);
  std::string description = message != nullptr ? message : "";
  const int primary = status & 0xFF;
  // "attempt to write a readonly database" says nothing of which one.
  if (primary == SQLITE_READONLY && db != nullptr) {
    const char* file = sqlite3_db_filename(db, "main");
    if (file != nullptr && *file != '\0') description += " \"" + std::string(file) + "\"";
  }
  // A damaged file, or a file that is no database, fails every later
  // statement too; other failures leave the connection as it was.
  const bool usable = db != nullptr && primary != SQLITE_CORRUPT && primary != SQLITE_NOTADB;
  return Error(NumberFor(status), kSource, std::move(description),
               ErrorContext{std::string(statement), {}, status, usable});
}

void Raise(sqlite3* db, int status, std::string_view statement) {
  throw MakeError(db, status, statement);
}

void Raise(int status, std::string description, std::string_view statement) {
  // Found before the database was asked: the connection is as it was.
  throw Error(NumberFor(status), kSource, std::move(description),
              ErrorContext{std::string(statement), {}, status, true});
}

void RaiseOpenError(sqlite3* db, int status, const std::string& path) {
  Error opened = MakeError(db, status);
  ErrorContext context = opened.Context();
  context.connection_usable = false;
  // "unable to open database file" alone leaves the caller guessing which.
  std::string description = opened.Description();
  if (status == SQLITE_READONLY_CANTINIT || status == SQLITE_READONLY_DIRECTORY) {
    // Reading a write-ahead-logged file needs its shared-memory file, which
    // nobody has made and this process may not make beside it.
    description = "unable to read database file \"" + path +
                  "\": it is write-ahead logged and its folder is not writable";
  } else if ((status & 0xFF) != SQLITE_READONLY) {
    description += " \"" + path + "\"";
  }
  throw Error(opened.Number(), opened.Source(), std::move(description), std::move(context));
}

}  // namespace tarnlow::backend::sqlite
