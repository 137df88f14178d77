// The open database connection; clients only hand it back (Recordset::Open).
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "connection/backend.h"
#include "connection/statistics.h"
#include "tarnlow/connection.h"

namespace tarnlow {

// Shared by the connection object and every row set opened on it, so that a
// row set works whichever of them the client lets go of first.
class DatabaseConnection : public std::enable_shared_from_this<DatabaseConnection> {
  // Made only by Create, so that a shared_ptr always owns it.
  struct Token {
    explicit Token() = default;
  };

 public:
  // Over a backend's database (or a test's wrapper); `trace` as the option.
  static std::shared_ptr<DatabaseConnection> Create(std::unique_ptr<backend::Database> db, std::string trace);
  DatabaseConnection(Token, std::unique_ptr<backend::Database> db, std::string trace);
  ~DatabaseConnection();
  DatabaseConnection(const DatabaseConnection&) = delete;
  DatabaseConnection& operator=(const DatabaseConnection&) = delete;

  // Runs a literal statement; returns the number of rows it changed.
  std::int64_t Execute(std::string_view sql);
  // Runs a compiled statement for a client. Inside a client transaction on a
  // server, where a failed statement would doom the whole transaction, the
  // statement gets a savepoint of its own, so that its failure undoes only
  // itself there as it does on SQLite. A transaction the database itself
  // ended (SQLite on a full disk, a lost connection) refuses every statement
  // until the client ends it, so that none runs outside it unnoticed.
  bool Run(CompiledStatement& statement, CompiledStatement::Rows rows) {
    ++stats_.executions;
    return level_ > 0 ? RunInTransaction(statement, rows) : statement.Execute(rows);
  }
  // The client's transactions: the outermost is the database's own, each
  // inner level a savepoint. BeginTrans returns the new level, 1 for the
  // outermost; on SQLite it takes the write lock at once, so that no later
  // write has to wait for it halfway through a document.
  std::int32_t BeginTrans();
  void CommitTrans();
  void RollbackTrans();
  // Compiles a statement once for repeated execution, or (`repeated` false)
  // a literal one that runs once. A text unfit for the database is refused.
  std::shared_ptr<CompiledStatement> Prepare(std::string_view sql, bool repeated = true);
  std::shared_ptr<CompiledStatement> PrepareLiteral(std::string_view sql) { return Prepare(sql, false); }
  // Compiled on first request and kept (a few texts), for statements this
  // layer writes and reruns itself (a row set's update of its current row).
  std::shared_ptr<CompiledStatement> PrepareReused(const std::string& sql);
  // Every literal statement's keys are quoted here; raises for an unsafe text.
  std::string QuoteLiteral(std::string_view text) const;
  backend::Database& Database() { return *db_; }
  const ConnectionStatistics& Statistics() const { return stats_; }
  ConnectionStatistics& MutableStatistics() { return stats_; }
  // Key columns by which a row of the table can be found again for an update.
  const std::vector<std::string>& RowKey(const std::string& table);

 private:
  void Trace(std::string_view sql);
  bool RunInTransaction(CompiledStatement& statement, CompiledStatement::Rows rows);
  // A transaction statement of this layer's own, traced like the client's.
  void Control(const std::string& sql);
  void EndTransaction();
  void EndLevelOfEnded();

  std::unique_ptr<backend::Database> db_;
  std::string trace_;
  ConnectionStatistics stats_;
  std::map<std::string, std::vector<std::string>> row_keys_;
  std::map<std::string, std::shared_ptr<CompiledStatement>, std::less<>> reused_;
  // A failed statement dooms a server's transaction; SQLite undoes the
  // statement alone. So on a server each statement in a transaction runs
  // under a savepoint of its own.
  const bool statement_savepoints_;
  std::int32_t level_ = 0;
  bool ended_ = false;  // the database ended the transaction
};

}  // namespace tarnlow
