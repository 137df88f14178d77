#include "tarnlow/connection.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <iostream>

#include "connection/backend.h"
#include "connection/database_connection.h"
#include "connection/sql_text.h"
#include "framework/class_builder.h"

namespace tarnlow {

TableCatalogue::TableCatalogue(const ConnectionOptions& options) {
  names_.reserve(CatalogueTableCount);
  for (std::size_t i = 0; i < CatalogueTableCount; ++i)
    names_.push_back(options.TableName(static_cast<CatalogueTable>(i)));
}

const std::string& TableCatalogue::Name(CatalogueTable table) const {
  return names_[static_cast<std::size_t>(table)];
}

const ClassInfo& TableCatalogue::Class() const {
  static const ClassInfo info = [] {
    detail::ClassBuilder<TableCatalogue> b("TableCatalogue", "", "{1D10F264-2B7B-4DB8-9F5F-8D78790F5761}");
#define TARNLOW_CATALOGUE_MEMBER(name, default_name) b.Get<&TableCatalogue::name>(#name);
    TARNLOW_TABLES(TARNLOW_CATALOGUE_MEMBER)
#undef TARNLOW_CATALOGUE_MEMBER
    return b.Build();
  }();
  return info;
}

const ClassInfo& SystemInfo::Class() const {
  static const ClassInfo info =
      detail::ClassBuilder<SystemInfo>("SystemInfo", "", "{81194C86-4BB7-4482-AFC0-F4FA110943B4}")
          .Get<&SystemInfo::DualRateOption>("DualRateOption")
          .Get<&SystemInfo::ReleaseNumber>("ReleaseNumber")
          .Get<&SystemInfo::ExtendedLayout>("ExtendedLayout")
          .Get<&SystemInfo::VersionText>("VersionText")
          .Build();
  return info;
}

std::shared_ptr<DatabaseConnection> DatabaseConnection::Create(std::unique_ptr<backend::Database> db,
                                                               std::string trace) {
  return std::make_shared<DatabaseConnection>(Token(), std::move(db), std::move(trace));
}

DatabaseConnection::DatabaseConnection(Token, std::unique_ptr<backend::Database> db, std::string trace)
    : db_(std::move(db)), trace_(std::move(trace)), statement_savepoints_(db_->Dialect() != "sqlite") {}

// An ODBC driver that knows a transaction is open refuses to disconnect, and
// the session would stay behind: what the client did not commit is rolled
// back here on every engine.
DatabaseConnection::~DatabaseConnection() {
  if (level_ == 0) return;
  try {
    db_->ExecuteScript("ROLLBACK");
  } catch (const Error&) {
    // A lost connection has rolled it back already.
  }
}

// A statement that cannot be traced is not run: a gap is worse than no trace.
void DatabaseConnection::Trace(std::string_view sql) {
  if (trace_.empty()) return;
  const auto fail = [this](int error) {
    constexpr std::int32_t kPathFileAccess = 75;
    const std::string where = trace_ == "-" ? "standard error" : "\"" + trace_ + "\"";
    throw Error(kPathFileAccess, ConnectionSource,
                "Path/File access error: cannot write the trace to " + where + ": " + std::strerror(error));
  };
  if (trace_ == "-") {
    std::cerr << sql << '\n';
    if (!std::cerr.flush()) {
      std::cerr.clear();
      fail(EIO);
    }
    return;
  }
  // Opened per line so that several processes can share one trace file.
  std::unique_ptr<FILE, int (*)(FILE*)> f(std::fopen(trace_.c_str(), "a"), &std::fclose);
  if (!f) fail(errno);
  // A full disk shows only when the line leaves the buffer.
  if (std::fwrite(sql.data(), 1, sql.size(), f.get()) != sql.size() || std::fputc('\n', f.get()) == EOF ||
      std::fflush(f.get()) != 0)
    fail(errno);
  if (std::fclose(f.release()) != 0) fail(errno);
}

std::shared_ptr<backend::Statement> DatabaseConnection::Prepare(std::string_view sql, bool repeated) {
  if (sqltext::Unfit(sql)) sqltext::RaiseUnfit("The statement text", sql, sql);
  Trace(sql);
  auto statement = db_->Prepare(sql, repeated);
  ++stats_.prepares;
  return statement;
}

std::shared_ptr<backend::Statement> DatabaseConnection::PrepareReused(const std::string& sql) {
  // Bounded: a client writing many column sets would keep one for each.
  constexpr std::size_t kKept = 16;
  if (auto it = reused_.find(sql); it != reused_.end()) {
    // Traced on every use, as it was when it was compiled for every use.
    Trace(sql);
    return it->second;
  }
  auto statement = Prepare(sql);
  if (reused_.size() >= kKept) reused_.clear();
  reused_.emplace(sql, statement);
  return statement;
}

std::int64_t DatabaseConnection::Execute(std::string_view sql) {
  auto statement = PrepareLiteral(sql);
  Run(*statement, backend::Statement::Rows::All);
  const std::int64_t rows = statement->RowsAffected();
  statement->Reset();
  return rows;
}

namespace {

constexpr const char* kStatementSavepoint = "tarnlow_statement";

std::string LevelSavepoint(std::int32_t level) {
  return "tarnlow_level_" + std::to_string(level);
}

}  // namespace

void DatabaseConnection::Control(const std::string& sql) {
  Trace(sql);
  db_->ExecuteScript(sql);
}

// Savepoints of one name stack up: each statement's shadows the one before
// it and goes with the transaction or its level, instead of being released
// one by one at the cost of another round trip per statement.
bool DatabaseConnection::RunInTransaction(CompiledStatement& statement, CompiledStatement::Rows rows) {
  if (ended_) RaiseRuntime(err::TransactionEnded);
  if (statement_savepoints_) Control(std::string("SAVEPOINT ") + kStatementSavepoint);
  try {
    return statement.Execute(rows);
  } catch (...) {
    // The statement's failure is the one reported; a connection too broken
    // to undo it shows on the client's next statement.
    try {
      if (statement_savepoints_) Control(std::string("ROLLBACK TO SAVEPOINT ") + kStatementSavepoint);
    } catch (const Error&) {
    }
    ended_ = !db_->InTransaction();
    throw;
  }
}

std::int32_t DatabaseConnection::BeginTrans() {
  if (ended_) RaiseRuntime(err::TransactionEnded);
  // SQLite takes its write lock at once; a server locks rows as they are written.
  if (level_ == 0)
    Control(statement_savepoints_ ? "START TRANSACTION" : "BEGIN IMMEDIATE");
  else
    Control("SAVEPOINT " + LevelSavepoint(level_ + 1));
  return ++level_;
}

void DatabaseConnection::EndTransaction() {
  level_ = 0;
  ended_ = false;
}

// Of a transaction the database has ended, each level the client ends has
// nothing left to undo; a commit is refused, so that the client learns its
// work is gone.
void DatabaseConnection::EndLevelOfEnded() {
  if (--level_ == 0) EndTransaction();
}

void DatabaseConnection::CommitTrans() {
  if (level_ == 0) RaiseRuntime(err::NoTransaction);
  if (ended_) {
    EndLevelOfEnded();
    RaiseRuntime(err::TransactionEnded);
  }
  if (level_ > 1) {
    Control("RELEASE SAVEPOINT " + LevelSavepoint(level_));
    --level_;
    return;
  }
  try {
    Control("COMMIT");
  } catch (const Error&) {
    // A commit that fails leaves no transaction open on any engine: a
    // server has ended it already, SQLite may still hold it (a commit that
    // waited in vain for readers) and it is rolled back here.
    EndTransaction();
    try {
      db_->ExecuteScript("ROLLBACK");
    } catch (const Error&) {
    }
    throw;
  }
  EndTransaction();
}

void DatabaseConnection::RollbackTrans() {
  if (level_ == 0) RaiseRuntime(err::NoTransaction);
  if (ended_) return EndLevelOfEnded();
  if (level_ > 1) {
    Control("ROLLBACK TO SAVEPOINT " + LevelSavepoint(level_));
    Control("RELEASE SAVEPOINT " + LevelSavepoint(level_));
    --level_;
    return;
  }
  EndTransaction();
  Control("ROLLBACK");
}

std::string DatabaseConnection::QuoteLiteral(std::string_view text) const {
  return db_->QuoteLiteral(text);
}

const std::vector<std::string>& DatabaseConnection::RowKey(const std::string& table) {
  auto it = row_keys_.find(table);
  if (it == row_keys_.end()) it = row_keys_.emplace(table, db_->UniqueKeyColumns(table)).first;
  return it->second;
}

Connection::Connection() = default;

Connection::Connection(ConnectionOptions options) : Connection(options, nullptr) {
  options_.CheckBeforeOpen();
  std::unique_ptr<backend::Database> db;
  switch (options_.backend) {
    case ConnectionOptions::Backend::SQLite: db = backend::OpenSqlite(options_.target); break;
    case ConnectionOptions::Backend::PostgreSQL: db = backend::OpenPostgres(options_.target); break;
    case ConnectionOptions::Backend::ODBC: db = backend::OpenOdbc(options_.target); break;
  }
  db_ = tarnlow::DatabaseConnection::Create(std::move(db), options_.trace);
}

Connection::Connection(ConnectionOptions options, std::shared_ptr<tarnlow::DatabaseConnection> db)
    : options_(std::move(options)), db_(std::move(db)) {
  if (db_) options_.CheckBeforeOpen();
  catalogue_ = std::make_shared<tarnlow::TableCatalogue>(options_);
  system_ = std::make_shared<tarnlow::SystemInfo>(options_);
}

Connection::~Connection() = default;

std::shared_ptr<Connection> Connection::Open(std::string_view text) {
  return std::make_shared<Connection>(ConnectionOptions::Parse(text));
}

// Known once opened: a closed connection object says so instead.
std::shared_ptr<TableCatalogue> Connection::TableCatalogue() {
  ++DatabaseConnection().MutableStatistics().catalogue_requests;
  return catalogue_;
}

std::shared_ptr<SystemInfo> Connection::SystemInfo() {
  if (!db_) RaiseRuntime(err::ObjectClosed);
  return system_;
}

Date Connection::CurrentTime(bool) const {
  const std::time_t now = std::time(nullptr);
  std::tm tm{};
  localtime_r(&now, &tm);
  return Date::FromCalendar(tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec);
}

std::string Connection::QuoteLiteral(std::string_view text) {
  return DatabaseConnection().QuoteLiteral(text);
}

std::int64_t Connection::Execute(std::string_view sql) {
  return DatabaseConnection().Execute(sql);
}

std::int32_t Connection::BeginTrans() {
  return DatabaseConnection().BeginTrans();
}

void Connection::CommitTrans() {
  DatabaseConnection().CommitTrans();
}

void Connection::RollbackTrans() {
  DatabaseConnection().RollbackTrans();
}

const ConnectionStatistics& Statistics(Connection& connection) {
  return connection.DatabaseConnection().Statistics();
}

const ClassInfo& Connection::Class() const {
  static const ClassInfo info =
      detail::ClassBuilder<Connection>("Connection", "", "{E73464FB-6E91-4AD3-A606-4B65BE0D711D}")
          .Get<&Connection::DatabaseKind>("DatabaseKind")
          .Get<&Connection::TableCatalogue>("TableCatalogue")
          .Get<&Connection::SystemInfo>("SystemInfo")
          .Method<&Connection::ExecuteText>("Execute", {"sql"})
          .Method<&Connection::BeginTrans>("BeginTrans")
          .Method<&Connection::CommitTrans>("CommitTrans")
          .Method<&Connection::RollbackTrans>("RollbackTrans")
          .Build();
  return info;
}

}  // namespace tarnlow
