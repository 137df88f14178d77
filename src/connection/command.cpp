#include <strings.h>

#include <algorithm>
#include <cstring>

#include "connection/backend.h"
#include "connection/database_connection.h"
#include "connection/sql_text.h"
#include "tarnlow/connection.h"

namespace tarnlow {

// ---- Command ----------------------------------------------------------------------

namespace {

// Lookups remembered per run: more than any statement has parameters, so
// that a caller setting values again and again between runs costs no more
// than a search.
constexpr std::size_t kRemembered = 256;

// Names mostly come spelt as declared, so the exact test goes first.
bool Named(const Parameter& p, std::string_view name) {
  return p.name.size() == name.size() && (std::memcmp(p.name.data(), name.data(), name.size()) == 0 ||
                                          strncasecmp(p.name.data(), name.data(), name.size()) == 0);
}

}  // namespace

Command::Command() = default;
Command::~Command() = default;

void Command::CommandText(std::string sql) {
  if (sql == sql_) return;
  sql_ = std::move(sql);
  statement_.reset();
  Changed();
}

void Command::CommandType(int type) {
  if (type != adCmdText && type != adCmdTable && type != adCmdUnknown) RaiseRuntime(err::NotAllowed);
  if (type == command_type_) return;
  command_type_ = type;
  statement_.reset();
  Changed();
}

void Command::Prepared(bool prepared) {
  if (!prepared) statement_.reset();
  if (prepared != prepared_)
    Changed();
  else
    Forget();
  prepared_ = prepared;
}

void Command::ActiveConnection(std::shared_ptr<Connection> connection) {
  if (connection == connection_) return;
  connection_ = std::move(connection);
  statement_.reset();
  Changed();
}

void Command::Append(Parameter parameter) {
  Changed();
  if (!tied_.empty()) tied_.push_back(nullptr);
  for (const Parameter& p : parameters_)
    if (Named(p, parameter.name)) {
      unique_names_ = false;
      found_.clear();
    }
  parameters_.push_back(std::move(parameter));
}

void Command::ClearParameters() {
  Changed();
  parameters_.clear();
  tied_.clear();
  stamps_.clear();
  found_.clear();
  lookups_ = 0;
  next_ = 0;
  unique_names_ = true;
}

// Where the remembered lookup fails the search starts after the parameter
// found last, since values are mostly set in declared order; it goes round
// once, so any order still finds the name. Where two parameters share a
// name the first one is meant, and the search starts at the beginning.
TARNLOW_STATEMENT_PATH std::size_t Command::FindIndex(std::string_view name, std::size_t k) {
  const std::size_t n = parameters_.size();
  if (!unique_names_) next_ = 0;
  for (std::size_t j = 0; j < n; ++j) {
    std::size_t i = next_ + j;
    if (i >= n) i -= n;
    if (Named(parameters_[i], name)) {
      next_ = i + 1 < n ? i + 1 : 0;
      if (unique_names_) {
        const Found found{static_cast<std::uint32_t>(i), nullptr};
        if (k < found_.size())
          found_[k] = found;
        else if (k == found_.size() && k < kRemembered)
          found_.push_back(found);
      }
      return i;
    }
  }
  RaiseRuntime(err::ItemNotFound);
}

TARNLOW_STATEMENT_PATH Parameter& Command::Find(std::string_view name, std::size_t k) {
  const std::size_t i = FindIndex(name, k);
  Reach(i);
  return parameters_[i];
}

std::size_t Command::FindDeclared(const tables::Column& column, std::size_t k) {
  const std::size_t i = FindIndex(column.name, k);
  if (k < found_.size() && found_[k].index == i) found_[k].column = &column;
  return i;
}

std::span<Parameter> Command::Parameters() {
  Forget();
  for (std::size_t i = 0; i < tied_.size(); ++i)
    if (tied_[i] != nullptr) Untie(i);
  return parameters_;
}

void Command::Untie(std::size_t i) {
  parameters_[i].value.AssignText(*tied_[i]);
  tied_[i] = nullptr;
}

TARNLOW_STATEMENT_PATH void Command::BeginPass() {
  bound_ = false;
  pass_open_ = passable_ && connection_->IsOpen();
  if (pass_open_ && ++pass_ == 0) {
    std::fill(stamps_.begin(), stamps_.end(), 0);
    pass_ = 1;
  }
}

std::string Command::StatementText() const {
  if (command_type_ == adCmdTable) return "select * from " + sql_;
  return sql_;
}

TARNLOW_STATEMENT_PATH void Command::Compile() {
  if (!connection_) RaiseRuntime(err::ObjectNotSet);
  tarnlow::DatabaseConnection& db = connection_->DatabaseConnection();
  if (prepared_ && statement_) return;
  statement_ = prepared_ ? db.Prepare(StatementText()) : db.PrepareLiteral(StatementText());
  Forget();
  // Kept ready for the passes that bind into the statement from now on;
  // parameters added since leave the binding to the run.
  if (prepared_) stamps_.assign(parameters_.size(), 0);
  placeholders_ = statement_->ParameterCount();
  passable_ = prepared_ && unique_names_ && static_cast<std::size_t>(placeholders_) == parameters_.size();
}

// A pass that bound every parameter counts for one run only: a run that
// fails leaves the next attempt to bind anew.
TARNLOW_STATEMENT_PATH void Command::CompileAndBind() {
  const bool bound = bound_;
  bound_ = false;
  pass_open_ = false;
  const CompiledStatement* before = statement_.get();
  Compile();
  lookups_ = 0;
  if (bound && statement_.get() == before) return;
  CompiledStatement& statement = *statement_;
  const int count = static_cast<int>(parameters_.size());
  const Parameter* p = parameters_.data();
  for (int i = 1; i <= count; ++i, ++p) {
    const std::string* tied = TiedText(static_cast<std::size_t>(i - 1));
    // Bound text goes to the database with its length, so a NUL would be
    // stored whole, yet read back cut short by anything that reads it as a
    // C string; and text that is no UTF-8 is refused alike on every engine.
    if (const std::string* text = tied ? tied : p->value.AsText(); text && sqltext::Unfit(*text))
      sqltext::RaiseUnfit("The value of parameter \"" + p->name + "\"", *text, StatementText());
    // The parameters and tied texts stay as they are until the run that
    // follows.
    if (tied)
      statement.BindTextInPlace(i, *tied);
    else
      statement.BindInPlace(i, p->value);
  }
  // A placeholder without a parameter is null, rather than what an earlier
  // run left there, which may be a value that is gone.
  for (int i = count + 1; i <= placeholders_; ++i) statement.Bind(i, Variant(Null));
}

std::shared_ptr<Recordset> Command::Execute() {
  Run(Rows::All);
  return last_;
}

std::shared_ptr<Recordset> Command::ExecuteForFirstRow() {
  Run(Rows::First);
  return last_;
}

TARNLOW_STATEMENT_PATH Recordset& Command::Run(Rows rows) {
  CompileAndBind();
  // Running the statement again ends the rows of its previous row set: that
  // row set is closed here, so that letting go of it later cannot reset the
  // statement under the new one.
  if (last_ && last_->open_ && last_->statement_ == statement_) {
    last_->open_ = false;
    last_->at_end_ = true;
    last_->written_.clear();
    last_->pending_.clear();
  }
  tarnlow::DatabaseConnection& db = connection_->DatabaseConnection();
  ++db.MutableStatistics().executions;
  const bool has_row = rows == Rows::All     ? statement_->Execute()
                       : rows == Rows::First ? statement_->ExecuteForFirstRow()
                                             : statement_->ExecuteInPlace();
  if (!last_) last_ = std::make_shared<Recordset>();
  last_->AttachExecuted(statement_, has_row, db);
  return *last_;
}

TARNLOW_STATEMENT_PATH std::int64_t Command::RunNoRows(bool count) {
  CompileAndBind();
  ++connection_->DatabaseConnection().MutableStatistics().executions;
  statement_->Execute();
  const std::int64_t rows = count ? statement_->RowsAffected() : 0;
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

// The connection's TextValue passes text through unchanged: the text goes
// into the parameter's own storage, which a value set over and over keeps.
TARNLOW_STATEMENT_PATH void StatementHolder::SetTextValue(std::string_view name, const std::string& value) {
  command_[name].value.AssignText(value);
}

TARNLOW_STATEMENT_PATH void StatementHolder::SetNumberValue(std::string_view name, double value) {
  command_[name].value.AssignNumber(value);
}

void StatementHolder::SetDateValue(std::string_view name, const Date& value) {
  Parameter& p = command_[name];
  p.value = connection_ ? connection_->DateValue(value) : Variant(value);
}

void StatementHolder::ClearParameters() {
  command_.ClearParameters();
}

void StatementHolder::operator()(std::string_view name, Variant value) {
  command_[name].value = std::move(value);
}

}  // namespace tarnlow
