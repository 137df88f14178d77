// The PostgreSQL backend, over libpq.
#pragma once

#include <libpq-fe.h>

#include <bit>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "connection/backend.h"

namespace tarnlow::backend::pg {

using ConnHandle = std::unique_ptr<PGconn, FreeWith<PQfinish>>;
using ResultHandle = std::unique_ptr<PGresult, FreeWith<PQclear>>;

// The error record of a failed command; without `res` (the connection was
// already gone) the connection's message serves.
[[noreturn]] void RaiseCommandError(const PGresult* res, const PGconn* conn, std::string_view statement);
// For a connection that could not be opened, or a text libpq cannot read.
[[noreturn]] void RaiseConnectError(const PGconn* conn);
[[noreturn]] void RaiseConnInfoError(const char* libpq_message);
bool Succeeded(const PGresult* res);
inline bool Succeeded(ExecStatusType status) {
  return status == PGRES_COMMAND_OK || status == PGRES_TUPLES_OK || status == PGRES_EMPTY_QUERY;
}
ResultHandle Checked(ResultHandle res, const PGconn* conn, std::string_view statement);

// One server session, shared by the database and its statements.
class Session {
 public:
  explicit Session(ConnHandle conn) : conn_(std::move(conn)) {}
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;

  PGconn* Conn() const { return conn_.get(); }
  std::string NextStatementName();
  bool Usable() const;  // false once libpq has noticed the server is gone
  // Runs a command that needs no values; raises on failure.
  ResultHandle Exec(const std::string& sql);

 private:
  ConnHandle conn_;
  std::uint64_t statement_counter_ = 0;
};

// A number's text: the shortest that reads back the same, whole numbers
// in plain digits (the server refuses "1e+05" for an integer column); the
// last one's is kept, as a placeholder's numbers mostly repeat.
class NumberText {
 public:
  // NUL-terminated, valid until the next call.
  const char* Of(double d) {
    const auto bits = std::bit_cast<std::uint64_t>(d);
    if (!written_ || bits != bits_) {
      Write(d);
      bits_ = bits;
      written_ = true;
    }
    return text_;
  }

 private:
  void Write(double d);

  std::uint64_t bits_ = 0;  // of the number written last
  bool written_ = false;
  char text_[32];  // the longest shortest double is 24 characters
};

class PostgresStatement final : public Statement {
 public:
  // A repeated statement is prepared on the server here.
  PostgresStatement(std::shared_ptr<Session> session, std::string_view sql, bool repeated);
  ~PostgresStatement() override;
  PostgresStatement(const PostgresStatement&) = delete;
  PostgresStatement& operator=(const PostgresStatement&) = delete;

  int ParameterCount() const override { return parameter_count_; }
  void Bind(int index, const EngineValue& value) override;
  bool Execute(Rows rows) override;
  bool Next() override;
  int ColumnCount() const override;
  const std::string& ColumnName(int index) const override;
  EngineValue Cell(int index) const override;
  std::int64_t RowsAffected() const override;
  void Reset() override;

 private:
  // Sends the statement with the values bound and reads its results.
  ExecStatusType Run();
  // Prepares it again where `failed` says the server no longer has it.
  bool PrepareAgain(const PGresult* failed);
  void TakeColumns(const PGresult* res) const;
  void CheckColumn(int index) const;
  // The slot of a 1-based placeholder; raises for one the text lacks.
  std::size_t Slot(int index) const;

  std::shared_ptr<Session> session_;
  std::string sql_;          // as the caller wrote it, for error records
  int parameter_count_ = 0;  // before text_: numbering the text counts them
  std::string text_;         // with $n placeholders
  std::string name_;         // server-side name; empty for a literal statement
  // Per placeholder: the whole number or text last bound (a copy: libpq
  // reads up to a NUL), the number's and the date's text, and what is sent.
  std::vector<std::string> values_;
  std::vector<NumberText> numbers_;
  std::vector<const char*> pointers_;
  std::vector<DateText> dates_;  // per placeholder

  ResultHandle result_;
  int row_ = 0;
  int rows_ = 0;
  // From the last result, or described on demand before the first run.
  mutable std::vector<std::string> names_;
  mutable std::vector<Oid> types_;
  mutable bool columns_known_ = false;
};

class PostgresDatabase final : public Database {
 public:
  explicit PostgresDatabase(std::shared_ptr<Session> session) : session_(std::move(session)) {}

  std::unique_ptr<Statement> Prepare(std::string_view sql, bool repeated = true) override;
  void ExecuteScript(std::string_view sql) override;
  bool TableExists(std::string_view table) override;
  std::vector<std::vector<std::string>> UniqueKeys(std::string_view table) override;
  std::vector<ColumnDescription> Columns(std::string_view table) override;
  bool InTransaction() override {
    const PGTransactionStatusType status = PQtransactionStatus(session_->Conn());
    return status != PQTRANS_IDLE && status != PQTRANS_UNKNOWN;
  }
  std::string_view Dialect() const override { return "postgresql"; }
  std::string QuoteLiteral(std::string_view text) override;

 private:
  std::shared_ptr<Session> session_;
};

// A result cell's text as the value its column's type makes of it, else the text.
EngineValue CellOf(Oid type, std::string_view text);

}  // namespace tarnlow::backend::pg
