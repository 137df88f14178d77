// A database that fails on purpose. It wraps a real backend and passes every
// call through, except the executions a test has chosen: those raise the
// error record the test asked for and never reach the database. A Connection
// opened over it behaves exactly like an ordinary one otherwise.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "connection/backend.h"
#include "test_support.h"

namespace tarnlow::test {

// Which executions fail, and how.
struct FaultRule {
  // Statements whose text starts with this (letter case ignored) are counted.
  std::string prefix;
  // The first counted execution that fails, counting from 1.
  int first = 1;
  // How many counted executions in a row fail from `first` on; 0 for all.
  int times = 1;
  std::int32_t number = DbFailure;
  std::string source = "FaultDatabase";
  std::string description = "Injected failure";
};

// The rules and what came of them; shared by the test and the database.
class FaultPlan {
 public:
  struct Failure {
    std::string sql;
    // Bound at the failed execution, by placeholder, as a cell of each value
    // reads back: whole numbers as Long.
    std::vector<Variant> values;
  };

  // Adds a rule; returns its number for Executions.
  std::size_t Add(FaultRule rule);
  // Executions counted by the rule so far, failed or not.
  int Executions(std::size_t rule) const;
  // Every execution that was made to fail, in order.
  std::vector<Failure> Failures() const;

  // Called by the database before each execution: raises when a rule says so.
  void BeforeExecute(const std::string& sql, const std::vector<Variant>& values);

 private:
  struct Rule {
    FaultRule rule;
    int seen = 0;
  };
  mutable std::mutex mutex_;
  std::vector<Rule> rules_;
  std::vector<Failure> failures_;
};

class FaultDatabase final : public backend::Database {
 public:
  FaultDatabase(std::unique_ptr<backend::Database> inner, std::shared_ptr<FaultPlan> plan);

  std::unique_ptr<backend::Statement> Prepare(std::string_view sql, bool repeated = true) override;
  void ExecuteScript(std::string_view sql) override { inner_->ExecuteScript(sql); }
  bool TableExists(std::string_view table) override { return inner_->TableExists(table); }
  std::vector<std::vector<std::string>> UniqueKeys(std::string_view table) override {
    return inner_->UniqueKeys(table);
  }
  std::vector<backend::ColumnDescription> Columns(std::string_view table) override {
    return inner_->Columns(table);
  }
  bool InTransaction() override { return inner_->InTransaction(); }
  std::string_view Dialect() const override { return inner_->Dialect(); }
  std::string QuoteLiteral(std::string_view text) override { return inner_->QuoteLiteral(text); }

 private:
  std::unique_ptr<backend::Database> inner_;
  std::shared_ptr<FaultPlan> plan_;
};

struct FaultyConnection {
  std::shared_ptr<Connection> connection;
  std::shared_ptr<FaultPlan> faults;
};

// A connection over the scratch database (tables created) whose executions
// fail as the returned plan says; options as for ScratchDatabase::Open.
FaultyConnection OpenWithFaults(const ScratchDatabase& db, const std::string& options = "");

}  // namespace tarnlow::test
