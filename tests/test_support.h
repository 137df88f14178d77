// Fresh databases for tests: an SQLite file in a private folder, or a private
// schema on the PostgreSQL server named by TARNLOW_PG_URI.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <ostream>
#include <source_location>
#include <span>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "tarnlow/tarnlow.h"

namespace tarnlow {

// A date in a failed check: its ISO text, or its day count where it has no
// calendar day.
inline void PrintTo(const Date& d, std::ostream* os) {
  try {
    *os << d.ToIso();
  } catch (const Error&) {
    *os << "day " << d.value;
  }
}

// A value in a failed check: its type, and its text where it has one.
inline void PrintTo(const Variant& v, std::ostream* os) {
  *os << VarTypeName(v.Type());
  if (v.IsEmpty() || v.IsNull() || v.IsObject()) return;
  try {
    *os << " " << ::testing::PrintToString(v.ToText());
  } catch (const Error&) {
    *os << " (no text)";
  }
}

}  // namespace tarnlow

namespace tarnlow::test {

// The line ending of the runtime's messages and error trails.
inline const std::string kCRLF = "\r\n";
// The first and last days a date holds (100-01-01 and 9999-12-31), as day numbers.
inline constexpr double kFirstDay = -657434.0;
inline constexpr double kLastDay = 2958465.0;
// Fails a child process's work (test::RunProcesses) with `what`.
inline void Require(bool condition, const std::string& what) {
  if (!condition) throw std::runtime_error(what);
}

// "sqlite", and "postgresql" when a server is available; "odbc-postgresql"
// and "odbc-sqlite" when their ODBC drivers are registered (the first also
// needs the server).
std::vector<std::string> Backends();
// Why the server half did not run, or "" when it does.
std::string PostgresSkipReason();
// The registered name of the ODBC driver for "postgresql" or "sqlite", or ""
// when there is none. TARNLOW_ODBC_POSTGRESQL_DRIVER and
// TARNLOW_ODBC_SQLITE_DRIVER name them; otherwise the driver manager is
// asked for one whose library is the Debian driver's.
std::string OdbcDriver(const std::string& engine);
// The ODBC connection text ("odbc:DRIVER=...") for a libpq URI; with a
// schema, the session's search path is set to it.
std::string OdbcPostgresText(const std::string& uri, const std::string& schema = "");
// The source of the database's own error records on a backend.
std::string EngineSource(const std::string& backend);
// The database behind a backend: "sqlite" or "postgresql", with or without
// an ODBC driver in between.
std::string Engine(const std::string& backend);
// n as the six-digit text of history and batch sequence numbers ("000042").
std::string SixDigits(int n);

class ScratchDatabase {
 public:
  explicit ScratchDatabase(const std::string& backend = "sqlite");
  ~ScratchDatabase();
  ScratchDatabase(const ScratchDatabase&) = delete;
  ScratchDatabase& operator=(const ScratchDatabase&) = delete;

  // The connection text, with extra options ("kind=2&release=5") appended.
  std::string Text(const std::string& options = "") const;
  // Opens a connection, creating the missing tables first.
  std::shared_ptr<Connection> Open(const std::string& options = "") const;
  // Opens a connection without touching the schema.
  std::shared_ptr<Connection> OpenBare(const std::string& options = "") const;
  const std::string& Backend() const { return backend_; }
  const std::string& Folder() const { return folder_; }
  // The PostgreSQL schema, or "" on SQLite.
  const std::string& Schema() const { return schema_; }

 private:
  std::string backend_;
  std::string folder_;  // private temp folder (SQLite file, traces)
  std::string base_;    // connection text without options
  std::string schema_;  // PostgreSQL schema
};

// A statement holder on a connection, its text set.
struct Holder : StatementHolder {
  Holder(std::shared_ptr<tarnlow::Connection> connection, std::string sql) {
    Connection(std::move(connection));
    SQL(std::move(sql));
  }
};

// A row set open on a select, forward-only and read-only unless told otherwise.
struct OpenRecordset : Recordset {
  OpenRecordset(tarnlow::Connection& c, std::string sql, int cursor_type = adOpenForwardOnly,
                int lock_type = adLockReadOnly) {
    Open(std::move(sql), c.DatabaseConnection(), cursor_type, lock_type);
  }
};

// Captures message boxes for the life of the object.
class MessageCapture {
 public:
  struct Message {
    std::string text;
    int style;
  };
  explicit MessageCapture(int answer = vbOK);
  ~MessageCapture();
  const std::vector<Message>& Messages() const { return *messages_; }

 private:
  std::shared_ptr<std::vector<Message>> messages_;
  MessageHandler previous_;
};

// Runs the body and returns the error record it raised; fails the test when
// it raised none.
template <class F>
Error CatchError(F&& body) {
  try {
    body();
  } catch (const Error& e) {
    return e;
  }
  ADD_FAILURE() << "expected an error record";
  return Error(0, "", "");
}

// Runs the body and checks the error record it raised: its number, and its
// source and description where given. A failure names the caller's line.
// Returns the record for further checks.
template <class F>
Error ExpectError(F&& body, std::int32_t number, const std::optional<std::string>& source,
                  const std::optional<std::string>& description = std::nullopt,
                  std::source_location at = std::source_location::current()) {
  const ::testing::ScopedTrace trace(at.file_name(), static_cast<int>(at.line()), "error record");
  const Error e = CatchError(std::forward<F>(body));
  EXPECT_EQ(e.Number(), number);
  if (source) {
    EXPECT_EQ(e.Source(), *source);
  }
  if (description) {
    EXPECT_EQ(e.Description(), *description);
  }
  return e;
}

// Gives each column's property a value of its own, from its position after
// `seed`: a letter for text, n.25 for a number, a day of January 2024 at
// 08:30 for a date. Properties of other kinds keep theirs.
void FillDistinct(Object& object, std::span<const ColumnInfo> columns, int seed = 0);

// All rows of a literal select, as [row][column].
using Rows = std::vector<std::vector<Variant>>;
Rows Select(Connection& c, const std::string& sql);
// The statements of a trace file that begin with the prefix.
std::vector<std::string> Traced(const std::string& path, const std::string& prefix);

// Runs body(i) for i = 0..count-1, each in a child process of its own; the
// children start together. Returns what went wrong in them, empty when every
// one succeeded. A child still running after `seconds` is ended by its alarm
// and reported. Children leave by _exit, so nothing of the test framework
// runs twice.
std::vector<std::string> RunProcesses(int count, const std::function<void(int)>& body,
                                      unsigned seconds = 120);

// Parameterised fixtures name their backend ("odbc_sqlite": test names
// take no "-").
struct BackendName {
  std::string operator()(const ::testing::TestParamInfo<std::string>& info) const {
    std::string name = info.param;
    for (char& c : name)
      if (c == '-') c = '_';
    return name;
  }
};

// A fixture run on each backend: a fresh database with its tables, and a
// connection to it.
class DatabaseTest : public ::testing::TestWithParam<std::string> {
 protected:
  ScratchDatabase db_{GetParam()};
  std::shared_ptr<Connection> c_ = db_.Open();
};

}  // namespace tarnlow::test

// Runs a parameterised suite once on every backend test::Backends() names.
#define TARNLOW_ON_EVERY_BACKEND(suite)                                                       \
  INSTANTIATE_TEST_SUITE_P(Backends, suite, ::testing::ValuesIn(::tarnlow::test::Backends()), \
                           ::tarnlow::test::BackendName())
