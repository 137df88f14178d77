// The open database connection as the connection layer and the class code
// use it: compiling and running statements, the statements it keeps for
// reuse, row keys and the counts of what reached the database. Clients of
// the library only hold it by reference and hand it back (Recordset::Open),
// so it stays out of the public headers.
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

// The open connection to the database: literal statements run here and row
// sets are opened on it. Always owned through a shared_ptr: the connection
// object, and every row set opened on it, share it, so that a row set works
// on whichever of them the client lets go of first.
class DatabaseConnection : public std::enable_shared_from_this<DatabaseConnection> {
  // Made only by Create, so that it is always owned through a shared_ptr.
  struct Token {
    explicit Token() = default;
  };

 public:
  // Over a database a backend opened (or a test's wrapper of one); `trace`
  // as the connection text's trace option.
  static std::shared_ptr<DatabaseConnection> Create(std::unique_ptr<backend::Database> db, std::string trace);
  DatabaseConnection(Token, std::unique_ptr<backend::Database> db, std::string trace);
  ~DatabaseConnection();
  DatabaseConnection(const DatabaseConnection&) = delete;
  DatabaseConnection& operator=(const DatabaseConnection&) = delete;

  // Runs a literal statement; returns the number of rows it changed.
  std::int64_t Execute(std::string_view sql);
  // Compiles a statement once for repeated execution. A statement text
  // holding a NUL character is refused, here and below.
  std::shared_ptr<CompiledStatement> Prepare(std::string_view sql);
  // Compiles a literal statement that runs once.
  std::shared_ptr<CompiledStatement> PrepareLiteral(std::string_view sql);
  // Compiles a statement with placeholders the first time its text is asked
  // for and gives the same compiled statement for that text afterwards; a
  // few texts are kept. For statements this layer writes itself and runs
  // again and again (a row set's update of its current row).
  std::shared_ptr<CompiledStatement> PrepareReused(const std::string& sql);
  // The text as a literal to splice into a statement, quoted by this
  // database's rules whatever settings its session has been given; every
  // literal statement quotes its keys here. Raises for a text that cannot be
  // quoted safely.
  std::string QuoteLiteral(std::string_view text) const;
  backend::Database& Database() { return *db_; }
  const ConnectionStatistics& Statistics() const { return stats_; }
  ConnectionStatistics& MutableStatistics() { return stats_; }
  // Key columns by which a row of the table can be found again for an update.
  const std::vector<std::string>& RowKey(const std::string& table);

 private:
  void Trace(std::string_view sql);

  std::unique_ptr<backend::Database> db_;
  std::string trace_;
  ConnectionStatistics stats_;
  std::map<std::string, std::vector<std::string>> row_keys_;
  std::map<std::string, std::shared_ptr<CompiledStatement>, std::less<>> reused_;
};

}  // namespace tarnlow
