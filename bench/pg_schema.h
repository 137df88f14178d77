// A private schema on the PostgreSQL server of a libpq URI, for one
// benchmark run: made (after dropping any leftover of the same name) when
// the run starts and dropped when it ends, so that runs on one server never
// see each other's rows.
#pragma once

#include <libpq-fe.h>
#include <unistd.h>

#include <memory>
#include <stdexcept>
#include <string>

namespace bench_pg {

// A connection text with one more option, in the URI's own form.
inline std::string WithOption(const std::string& text, const std::string& option) {
  return text + (text.find('?') == std::string::npos ? "?" : "&") + option;
}

// Runs one administrative statement on a connection of its own.
inline void Admin(const std::string& uri, const std::string& sql) {
  std::unique_ptr<PGconn, void (*)(PGconn*)> conn(PQconnectdb(uri.c_str()), &PQfinish);
  if (PQstatus(conn.get()) != CONNECTION_OK) throw std::runtime_error(PQerrorMessage(conn.get()));
  // A drop's notices list every table; nobody needs them on the console.
  PQsetNoticeProcessor(
      conn.get(), [](void*, const char*) {}, nullptr);
  std::unique_ptr<PGresult, void (*)(PGresult*)> r(PQexec(conn.get(), sql.c_str()), &PQclear);
  if (PQresultStatus(r.get()) != PGRES_COMMAND_OK) throw std::runtime_error(PQresultErrorMessage(r.get()));
}

class Schema {
 public:
  // Named `prefix`_<process id>; raises when the server cannot be reached.
  Schema(std::string uri, const std::string& prefix)
      : uri_(std::move(uri)), name_(prefix + "_" + std::to_string(::getpid())) {
    Admin(uri_, "DROP SCHEMA IF EXISTS " + name_ + " CASCADE; CREATE SCHEMA " + name_);
  }
  ~Schema() {
    try {
      Admin(uri_, "DROP SCHEMA IF EXISTS " + name_ + " CASCADE");
    } catch (const std::exception&) {
      // A server already gone took the schema with it; otherwise the next
      // run of the same process id drops it.
    }
  }
  Schema(const Schema&) = delete;
  Schema& operator=(const Schema&) = delete;

  const std::string& Name() const { return name_; }
  // The URI with the session's search path set to the schema.
  std::string Text() const { return WithOption(uri_, "options=-csearch_path%3D" + name_); }

 private:
  std::string uri_;
  std::string name_;
};

}  // namespace bench_pg
