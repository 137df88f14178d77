#include <strings.h>

#include "connection/backend.h"
#include "tarnlow/connection.h"

namespace tarnlow {

// ---- Command ----------------------------------------------------------------------

Command::Command() = default;
Command::~Command() = default;

void Command::CommandText(std::string sql) {
  if (sql == sql_) return;
  sql_ = std::move(sql);
  statement_.reset();
}

void Command::ActiveConnection(std::shared_ptr<Connection> connection) {
  if (connection == connection_) return;
  connection_ = std::move(connection);
  statement_.reset();
}

void Command::Append(Parameter parameter) {
  parameters_.push_back(std::move(parameter));
}

void Command::ClearParameters() {
  parameters_.clear();
}

Parameter& Command::operator[](std::string_view name) {
  for (Parameter& p : parameters_)
    if (p.name.size() == name.size() && strncasecmp(p.name.data(), name.data(), name.size()) == 0) return p;
  RaiseRuntime(err::ItemNotFound);
}

void Command::Compile() {
  if (statement_) return;
  if (!connection_) RaiseRuntime(err::ObjectNotSet);
  statement_ = connection_->DatabaseConnection().Prepare(sql_);
}

void Command::Bind() {
  for (std::size_t i = 0; i < parameters_.size(); ++i)
    statement_->Bind(static_cast<int>(i) + 1, parameters_[i].value);
}

std::shared_ptr<Recordset> Command::Execute() {
  Compile();
  Bind();
  // Running the statement again ends the rows of its previous row set: that
  // row set is closed here, so that letting go of it later cannot reset the
  // statement under the new one.
  if (last_ && last_->open_ && last_->statement_ == statement_) {
    last_->statement_.reset();
    last_->open_ = false;
    last_->at_end_ = true;
    last_->row_.clear();
    last_->pending_.clear();
  }
  auto& stats = connection_->DatabaseConnection().MutableStatistics();
  ++stats.executions;
  const bool has_row = statement_->Execute();
  if (!last_) last_ = std::make_shared<Recordset>();
  last_->AttachExecuted(statement_, has_row);
  return last_;
}

std::int64_t Command::ExecuteNoRows() {
  Compile();
  Bind();
  ++connection_->DatabaseConnection().MutableStatistics().executions;
  statement_->Execute();
  const std::int64_t rows = statement_->RowsAffected();
  statement_->Reset();
  return rows;
}

// ---- StatementHolder ----------------------------------------------------------------

StatementHolder::StatementHolder() = default;

void StatementHolder::Connection(std::shared_ptr<tarnlow::Connection> connection) {
  connection_ = connection;
  command_.ActiveConnection(std::move(connection));
}

void StatementHolder::AddTextParameter(std::string_view name, std::int32_t size) {
  command_.Append(Parameter{std::string(name), ParameterType::Text, size, Variant()});
}

void StatementHolder::AddNumberParameter(std::string_view name) {
  command_.Append(Parameter{std::string(name), ParameterType::Number, 0, Variant()});
}

void StatementHolder::AddDateParameter(std::string_view name) {
  command_.Append(Parameter{std::string(name), ParameterType::Date, 0, Variant()});
}

void StatementHolder::SetTextValue(std::string_view name, const std::string& value) {
  command_[name].value = Variant(value);
}

void StatementHolder::SetNumberValue(std::string_view name, double value) {
  command_[name].value = Variant(value);
}

void StatementHolder::SetDateValue(std::string_view name, const Date& value) {
  command_[name].value = Variant(value);
}

void StatementHolder::ClearParameters() {
  command_.ClearParameters();
}

void StatementHolder::operator()(std::string_view name, Variant value) {
  command_[name].value = std::move(value);
}

}  // namespace tarnlow
