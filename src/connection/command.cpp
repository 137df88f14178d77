#include <utility>

#include "connection/cells.h"
#include "connection/command_impl.h"
#include "connection/database_connection.h"
#include "connection/recordset_impl.h"
#include "connection/sql_text.h"

namespace tarnlow {

// ---- Command ----------------------------------------------------------------------

Command::Command() = default;
Command::~Command() = default;

// Made on first use: a table object holds a command for each statement it
// may run, and most copies of one (the rows of a whole-table cache) never
// run any.
Command::Impl& Command::Make() {
  impl_ = std::make_unique<Impl>();
  return *impl_;
}

const Command::Impl& Command::Own() const {
  static const Impl unused;
  return impl_ ? *impl_ : unused;
}

void Command::CommandText(std::string sql) {
  Impl& c = Own();
  if (sql == c.sql) return;
  c.sql = std::move(sql);
  c.Recompile();
}

const std::string& Command::CommandText() const {
  return Own().sql;
}

void Command::CommandType(int type) {
  if (type != adCmdText && type != adCmdTable && type != adCmdUnknown) RaiseRuntime(err::NotAllowed);
  Impl& c = Own();
  if (type == c.type) return;
  c.type = type;
  c.Recompile();
}

int Command::CommandType() const {
  return Own().type;
}

void Command::Prepared(bool prepared) {
  Impl& c = Own();
  if (!prepared) c.Recompile();
  c.prepared = prepared;
}

bool Command::Prepared() const {
  return Own().prepared;
}

void Command::ActiveConnection(std::shared_ptr<Connection> connection) {
  Impl& c = Own();
  if (connection == c.connection) return;
  c.connection = std::move(connection);
  c.Recompile();
}

void Command::Append(Parameter parameter) {
  Own().Append(std::move(parameter), nullptr);
}

void Command::ClearParameters() {
  Impl& c = Own();
  c.parameters.clear();
  c.declared.clear();
  c.names.Clear();
}

std::span<Parameter> Command::Parameters() {
  return Own().parameters;
}

Parameter& Command::operator[](std::string_view name) {
  Impl& c = Own();
  return c.parameters[c.IndexOf(name)];
}

std::shared_ptr<Recordset> Command::Execute() {
  Impl& c = Own();
  c.Run(CompiledStatement::Rows::All);
  return c.last;
}

std::shared_ptr<Recordset> Command::ExecuteForFirstRow() {
  Impl& c = Own();
  c.Run(CompiledStatement::Rows::First);
  return c.last;
}

std::int64_t Command::ExecuteNoRows() {
  return Own().RunNoRows(true);
}

void Command::ExecuteNoCount() {
  Own().RunNoRows(false);
}

void Command::Impl::Append(Parameter parameter, const tables::Column* column) {
  parameters.push_back(std::move(parameter));
  const auto at = static_cast<std::uint32_t>(parameters.size() - 1);
  names.Add(parameters.back().name, at,
            [&](std::uint32_t i) -> std::string_view { return parameters[i].name; });
  declared.push_back(column);
}

std::size_t Command::Impl::IndexOf(std::string_view name) const {
  const std::uint32_t at =
      names.Find(name, [&](std::uint32_t i) -> std::string_view { return parameters[i].name; });
  if (at == NameIndex::kMissing) RaiseRuntime(err::ItemNotFound);
  return at;
}

std::string Command::Impl::StatementText() const {
  if (type == adCmdTable) return "select * from " + sql;
  return sql;
}

CompiledStatement& Command::Impl::CompileAndBind() {
  if (!connection) RaiseRuntime(err::ObjectNotSet);
  DatabaseConnection& db = connection->DatabaseConnection();
  if (!prepared || !statement)
    statement = prepared ? db.Prepare(StatementText()) : db.PrepareLiteral(StatementText());
  CompiledStatement& s = *statement;
  const int count = static_cast<int>(parameters.size());
  for (int i = 0; i < count; ++i) {
    const Parameter& p = parameters[static_cast<std::size_t>(i)];
    // Bound text goes to the database with its length, so a NUL would be
    // stored whole, yet read back cut short by anything that reads it as a
    // C string; and text that is no UTF-8 is refused alike on every engine.
    const EngineValue value = cells::Binding(p.value);
    if (value.kind == EngineValue::Kind::Text && sqltext::Unfit(value.text))
      sqltext::RaiseUnfit("The value of parameter \"" + p.name + "\"", value.text, StatementText());
    s.Bind(i + 1, value);
  }
  // A placeholder without a parameter is null, rather than what an earlier
  // run left there.
  for (int i = count + 1, n = s.ParameterCount(); i <= n; ++i) s.Bind(i, EngineValue());
  return s;
}

Recordset& Command::Impl::Run(CompiledStatement::Rows rows) {
  CompiledStatement& s = CompileAndBind();
  // Running the statement again ends the rows of its previous row set: that
  // row set is closed here, so that letting go of it later cannot reset the
  // statement under the new one.
  if (last) {
    Recordset::Impl& previous = RecordsetAccess::Of(*last);
    if (previous.open && previous.statement == statement) {
      previous.open = false;
      previous.at_end = true;
      previous.written.clear();
      previous.pending.clear();
    }
  }
  DatabaseConnection& db = connection->DatabaseConnection();
  const bool has_row = db.Run(s, rows);
  if (!last) last = std::make_shared<Recordset>();
  RecordsetAccess::Of(*last).AttachExecuted(statement, has_row, db);
  return *last;
}

std::int64_t Command::Impl::RunNoRows(bool count) {
  CompiledStatement& s = CompileAndBind();
  connection->DatabaseConnection().Run(s, CompiledStatement::Rows::All);
  const std::int64_t changed = count ? s.RowsAffected() : 0;
  s.Reset();
  return changed;
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

void StatementHolder::ClearParameters() {
  command_.ClearParameters();
}

void StatementHolder::operator()(std::string_view name, Variant value) {
  command_[name].value = std::move(value);
}

}  // namespace tarnlow
