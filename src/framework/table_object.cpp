#include "tarnlow/table_object.h"

#include <cmath>

#include "connection/command_impl.h"
#include "connection/recordset_impl.h"
#include "tarnlow/modules.h"

namespace tarnlow {

std::shared_ptr<Connection> TableObject::SageConnection() {
  if (!connection_) connection_ = std::make_shared<Connection>();
  return CheckConnection(connection_);
}

void TableObject::SageConnection(std::shared_ptr<Connection> connection) {
  connection_ = std::move(connection);
  for (StatementHolder* h : holders_) h->Connection(connection_);
  ConnectionChanged();
}

Connection& TableObject::Conn() {
  // The common case goes straight through; the check and its message are
  // for a missing connection only.
  if (connection_ && connection_->IsOpen()) return *connection_;
  // The getter stores an unopened connection object when there is none, so
  // the check passes; that object reports itself closed on its first use.
  return *SageConnection();
}

std::string TableObject::TableName(CatalogueTable table) {
  return Conn().TableCatalogue()->Name(table);
}

// Each parameter keeps the column it was declared for, by which the passes
// that set it from its property find it.
void TableObject::DeclareParameter(StatementHolder& holder, const tables::Column& c) {
  Parameter p{std::string(c.name), ParameterType::Number, 0, Variant()};
  switch (c.kind) {
    case ValueKind::Text:
      p.type = ParameterType::Text;
      p.size = c.size;
      break;
    case ValueKind::Date:
      if (c.Has(tables::kDateKeyOnKind2) && KindTwo()) {
        p.type = ParameterType::Text;
        p.size = 6;
      } else {
        p.type = ParameterType::Date;
      }
      break;
    default: break;
  }
  CommandAccess::Of(holder.Command()).Append(std::move(p), &c);
}

void TableObject::DeclareParameters(StatementHolder& holder, std::span<const ColumnInfo> columns) {
  for (const ColumnInfo& c : columns) DeclareParameter(holder, *c.declaration);
}

Parameter& TableObject::ParameterOf(Command& command, const tables::Column& column) {
  Command::Impl& c = CommandAccess::Of(command);
  return c.parameters[c.IndexOf(column, 0)];
}

// The rules by which a property's value becomes its column's parameter:
// text through the connection's TextValue, which passes it unchanged into
// the parameter's own storage, dates through DateValue or as the column
// keeps them, and numbers as they are.
void TableObject::BindColumn(Parameter& p, const tables::Column& c, const Variant& v) {
  switch (c.kind) {
    case ValueKind::Text:
      if (const std::string* text = v.AsText()) {
        Conn();
        p.value.AssignText(*text);
      } else {
        p.value = Conn().TextValue(v.ToText());
      }
      break;
    case ValueKind::Date: {
      const Date date = v.ToDate();
      if (c.Has(tables::kNullWhenZero) && date.IsZero())
        p.value = Variant(Null);
      else if (c.Has(tables::kDateKeyOnKind2) && KindTwo())
        p.value = Variant(DateKeyText(date));
      else
        p.value = Conn().DateValue(date);
      break;
    }
    default: p.value.AssignNumber(v.ToDouble()); break;
  }
}

void TableObject::UseHolders(std::initializer_list<StatementHolder*> holders) {
  holders_ = holders;
}

TableObject::ParameterPass::ParameterPass(TableObject& object, Command& command)
    : object_(object), command_(command) {}

void TableObject::BindField(Parameter& p, const tables::Column& c, const std::string& text) {
  if (c.kind != ValueKind::Text) return BindColumn(p, c, Variant(text));
  Conn();
  p.value.AssignText(text);
}

// What is no number at all takes the general way, which raises.
void TableObject::BindField(Parameter& p, const tables::Column& c, double number) {
  if (c.kind == ValueKind::Text || c.kind == ValueKind::Date || !std::isfinite(number))
    return BindColumn(p, c, Variant(number));
  p.value.AssignNumber(number);
}

void TableObject::ParameterPass::Write(const ColumnInfo& c, bool date_as_is) {
  const tables::Column& column = *c.declaration;
  Command::Impl& command = CommandAccess::Of(command_);
  const std::size_t i = command.IndexOf(column, next_);
  next_ = i + 1;
  Parameter& p = command.parameters[i];
  if (date_as_is)
    p.value = c.get(object_);
  else if (c.storage != nullptr && c.kind == ValueKind::Text)
    object_.BindField(p, column, *static_cast<const std::string*>(c.storage(object_)));
  else if (c.storage != nullptr && c.kind == ValueKind::Double)
    object_.BindField(p, column, *static_cast<const double*>(c.storage(object_)));
  else
    object_.BindColumn(p, column, c.get(object_));
}

void TableObject::ParameterPass::Put(const ColumnInfo& c) {
  Write(c, false);
}

void TableObject::ParameterPass::PutAll(std::span<const ColumnInfo> columns) {
  for (const ColumnInfo& c : columns)
    if (c.declaration) Write(c, false);
}

void TableObject::ParameterPass::PutWithDatesAsIs(std::span<const ColumnInfo> columns) {
  for (const ColumnInfo& c : columns)
    if (c.declaration) Write(c, c.kind == ValueKind::Date);
}

void TableObject::ParameterPass::Set(const tables::Column& column, Variant value) {
  Command::Impl& command = CommandAccess::Of(command_);
  const std::size_t i = command.IndexOf(column, next_);
  next_ = i + 1;
  command.parameters[i].value = std::move(value);
}

void TableObject::SetParameter(Command& command, const ColumnInfo& c) {
  ParameterPass(*this, command).Put(c);
}

void TableObject::SetParameters(Command& command, std::span<const ColumnInfo> columns) {
  ParameterPass(*this, command).PutAll(columns);
}

std::string TableObject::ColumnList(std::span<const ColumnInfo> columns) {
  std::string out;
  for (const ColumnInfo& c : columns) {
    if (!out.empty()) out += ',';
    out += c.column;
  }
  return out;
}

std::string TableObject::Placeholders(std::size_t count) {
  std::string out;
  for (std::size_t i = 0; i < count; ++i) out += i == 0 ? "?" : ",?";
  return out;
}

std::vector<ColumnInfo> TableObject::TableColumns(std::span<const ColumnInfo> columns) {
  std::vector<ColumnInfo> out;
  for (const ColumnInfo& c : columns)
    if (c.declaration) out.push_back(c);
  return out;
}

// Where the list's columns are is found once for the statement the row set
// reads; a column it does not have raises when its entry's turn comes.
void TableObject::CopyRow(const Recordset& rs, std::span<const ColumnInfo> columns, DateField date) {
  Recordset::Impl& r = RecordsetAccess::Of(rs);
  r.RequireRow();
  const std::uint32_t* at =
      r.Positions(columns.size(), [&](std::size_t k) { return columns[k].declaration; });
  for (std::size_t k = 0; k < columns.size(); ++k) {
    const ColumnInfo& c = columns[k];
    if (date != nullptr && (c.declaration == nullptr || c.kind == ValueKind::Date)) {
      if (c.declaration != nullptr)
        date(*this, c, at[k] == Recordset::Impl::kMissing ? nullptr : &r.FieldAt(at[k]));
    } else if (c.cell_ != nullptr && c.declaration != nullptr) {
      r.Copy(c.cell_(*this, *c.declaration), at[k]);
    } else {
      if (at[k] == Recordset::Impl::kMissing) RaiseRuntime(err::ItemNotFound);
      c.set_(*this, r.FieldAt(at[k]));
    }
  }
}

void TableObject::Assign(const ColumnInfo& column, const Variant& value) {
  column.set_(*this, value);
}

void TableObject::AssignEmpty(const ColumnInfo& column, const Variant& zero) {
  if (column.cell_ != nullptr && column.declaration != nullptr) {
    const CellCopy cell = column.cell_(*this, *column.declaration);
    if (cell.kind == CellCopy::Text && column.kind == ValueKind::Text)
      return static_cast<std::string*>(cell.out)->clear();
    if (cell.kind == CellCopy::Number && column.kind == ValueKind::Double) {
      *static_cast<double*>(cell.out) = 0;
      return;
    }
  }
  AssignEmptyValue(column, zero);
}

// Apart from AssignEmpty, so that the Variants it makes do not weigh on the
// way in place, which most properties take.
[[gnu::noinline]] void TableObject::AssignEmptyValue(const ColumnInfo& column, const Variant& zero) {
  switch (column.kind) {
    case ValueKind::Text: Assign(column, Variant(std::string())); break;
    case ValueKind::Date: Assign(column, Variant(Date())); break;
    default: Assign(column, zero); break;
  }
}

Recordset& TableObject::RunForFirstRowInPlace(Command& command) {
  return CommandAccess::Of(command).Run(CompiledStatement::Rows::FirstInPlace);
}

TableObject::RowSetCloser::~RowSetCloser() {
  if (rs.State() == adStateOpen) rs.Close();
}

Variant TableObject::HighestNumber(Command& query) {
  std::shared_ptr<Recordset> rs = query.Execute();
  RowSetCloser closer{*rs};
  return rs->AtEOF() ? Variant(Null) : rs->Fields(std::size_t{0});
}

bool TableObject::TryInsert(Command& insert) {
  Err().Clear();
  try {
    insert.ExecuteNoCount();
    return true;
  } catch (const Error& e) {
    if (e.Number() != DbIntegrityViolation) throw;
  }
  return false;
}

std::string TableObject::FreshUniqueNumber() {
  return UniqueNumber().substr(0, 8);
}

void TableObject::InsertWithUniqueNumber(StatementHolder& holder, std::string_view retry_prompt,
                                         bool answer_decides, std::string_view failed_text) {
  Command& command = holder.Command();
  try {
    command.ExecuteNoCount();
    return;
  } catch (...) {
    if (!KindTwo()) throw;
  }
  // A clash on the unique number is the likely cause: one more attempt
  // under a new number.
  const int answer = MsgBox(retry_prompt, vbOKOnly);
  if (answer_decides && answer != vbOK) return;
  holder("unique_no", Variant(FreshUniqueNumber()));
  try {
    command.ExecuteNoCount();
  } catch (...) {
    MsgBox(failed_text, vbCritical);
  }
}

}  // namespace tarnlow
