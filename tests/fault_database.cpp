#include "fault_database.h"

#include <strings.h>

#include <utility>

#include "connection/cells.h"
#include "connection/database_connection.h"

namespace tarnlow::test {

namespace {

bool StartsWithIgnoringCase(std::string_view text, std::string_view prefix) {
  return text.size() >= prefix.size() && strncasecmp(text.data(), prefix.data(), prefix.size()) == 0;
}

// Passes everything to the real statement; remembers the values bound, as
// the library's values, so that the plan can see them at execution.
class FaultStatement final : public backend::Statement {
 public:
  FaultStatement(std::unique_ptr<backend::Statement> inner, std::string sql, std::shared_ptr<FaultPlan> plan)
      : inner_(std::move(inner)), sql_(std::move(sql)), plan_(std::move(plan)) {}

  int ParameterCount() const override { return inner_->ParameterCount(); }
  void Bind(int index, const EngineValue& value) override {
    inner_->Bind(index, value);
    if (index >= 1) {
      if (values_.size() < static_cast<std::size_t>(index)) values_.resize(static_cast<std::size_t>(index));
      cells::Store(value, values_[static_cast<std::size_t>(index) - 1]);
    }
  }
  bool Execute(Rows rows) override {
    plan_->BeforeExecute(sql_, values_);
    return inner_->Execute(rows);
  }
  bool Next() override { return inner_->Next(); }
  int ColumnCount() const override { return inner_->ColumnCount(); }
  const std::string& ColumnName(int index) const override { return inner_->ColumnName(index); }
  EngineValue Cell(int index) const override { return inner_->Cell(index); }
  std::int64_t RowsAffected() const override { return inner_->RowsAffected(); }
  void Reset() override { inner_->Reset(); }

 private:
  std::unique_ptr<backend::Statement> inner_;
  std::string sql_;
  std::shared_ptr<FaultPlan> plan_;
  std::vector<Variant> values_;
};

}  // namespace

std::size_t FaultPlan::Add(FaultRule rule) {
  std::lock_guard lock(mutex_);
  rules_.push_back({std::move(rule), 0});
  return rules_.size() - 1;
}

int FaultPlan::Executions(std::size_t rule) const {
  std::lock_guard lock(mutex_);
  return rules_.at(rule).seen;
}

std::vector<FaultPlan::Failure> FaultPlan::Failures() const {
  std::lock_guard lock(mutex_);
  return failures_;
}

void FaultPlan::BeforeExecute(const std::string& sql, const std::vector<Variant>& values) {
  std::lock_guard lock(mutex_);
  const FaultRule* fire = nullptr;
  // Every matching rule counts the execution, whichever of them fires.
  for (Rule& r : rules_) {
    if (!StartsWithIgnoringCase(sql, r.rule.prefix)) continue;
    const int n = ++r.seen;
    const bool chosen = n >= r.rule.first && (r.rule.times == 0 || n < r.rule.first + r.rule.times);
    if (chosen && fire == nullptr) fire = &r.rule;
  }
  if (fire == nullptr) return;
  failures_.push_back({sql, values});
  throw Error(fire->number, fire->source, fire->description, ErrorContext{sql, "", 0, true});
}

FaultDatabase::FaultDatabase(std::unique_ptr<backend::Database> inner, std::shared_ptr<FaultPlan> plan)
    : inner_(std::move(inner)), plan_(std::move(plan)) {}

std::unique_ptr<backend::Statement> FaultDatabase::Prepare(std::string_view sql, bool repeated) {
  return std::make_unique<FaultStatement>(inner_->Prepare(sql, repeated), std::string(sql), plan_);
}

FaultyConnection OpenWithFaults(const ScratchDatabase& db, const std::string& options) {
  ConnectionOptions parsed = ConnectionOptions::Parse(db.Text(options));
  std::unique_ptr<backend::Database> real;
  switch (parsed.backend) {
    case ConnectionOptions::Backend::SQLite: real = backend::OpenSqlite(parsed.target); break;
    case ConnectionOptions::Backend::PostgreSQL: real = backend::OpenPostgres(parsed.target); break;
    case ConnectionOptions::Backend::ODBC: real = backend::OpenOdbc(parsed.target); break;
  }
  auto plan = std::make_shared<FaultPlan>();
  auto wrapped = std::make_unique<FaultDatabase>(std::move(real), plan);
  auto database = DatabaseConnection::Create(std::move(wrapped), parsed.trace);
  auto connection = std::make_shared<Connection>(std::move(parsed), std::move(database));
  CreateMissingTables(*connection);
  return {std::move(connection), std::move(plan)};
}

}  // namespace tarnlow::test
