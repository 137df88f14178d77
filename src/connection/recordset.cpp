#include <algorithm>

#include "connection/cells.h"
#include "connection/database_connection.h"
#include "connection/recordset_impl.h"
#include "connection/sql_text.h"
#include "tarnlow/modules.h"

namespace tarnlow {

namespace {

// The value a list of changes to a row holds for a column; null when it
// holds none.
template <class Changes>
auto ChangeOf(Changes& changes, std::size_t index) -> decltype(&changes.front().second) {
  for (auto& [i, v] : changes)
    if (i == index) return &v;
  return nullptr;
}

// A column's change: the one it already has is replaced.
void Put(std::vector<std::pair<std::size_t, Variant>>& changes, std::size_t index, Variant value) {
  if (Variant* held = ChangeOf(changes, index))
    *held = std::move(value);
  else
    changes.emplace_back(index, std::move(value));
}

}  // namespace

// ---- the connection layer's part ---------------------------------------------

void Recordset::Impl::Attach(std::shared_ptr<CompiledStatement> to) {
  statement = std::move(to);
  indexed = false;
  names.Clear();
  copied.clear();
}

void Recordset::Impl::AttachExecuted(const std::shared_ptr<CompiledStatement>& to, bool has_row,
                                     DatabaseConnection& db) {
  // A command's row set is attached to the same statement and connection
  // run after run: where its columns are holds from one run to the next.
  if (statement != to) Attach(to);
  if (connection.get() != &db) connection = db.shared_from_this();
  attached = true;
  open = true;
  at_end = !has_row;
  cursor_type = adOpenForwardOnly;
  lock_type = adLockReadOnly;
  pending.clear();
}

std::uint32_t Recordset::Impl::Find(std::string_view name) {
  auto name_at = [&](std::uint32_t i) -> std::string_view {
    return statement->ColumnName(static_cast<int>(i));
  };
  if (!indexed) {
    const int n = statement->ColumnCount();
    for (int i = 0; i < n; ++i) names.Add(statement->ColumnName(i), static_cast<std::uint32_t>(i), name_at);
    indexed = true;
  }
  return names.Find(name, name_at);
}

// The cells of an updatable row are read from the statement, which keeps
// the row, until the row set itself changes them.
const Variant* Recordset::Impl::Changed(std::size_t index) const {
  if (const Variant* v = ChangeOf(pending, index)) return v;
  return ChangeOf(written, index);
}

const Variant& Recordset::Impl::FieldAt(std::size_t index) {
  if (const Variant* v = Changed(index)) return *v;
  if (fields.size() <= index) fields.resize(static_cast<std::size_t>(statement->ColumnCount()));
  Variant& field = fields[index];
  cells::Store(statement->Cell(static_cast<int>(index)), field);
  return field;
}

// ---- Recordset ----------------------------------------------------------------

Recordset::Recordset() : impl_(std::make_unique<Impl>()) {}

Recordset::~Recordset() {
  if (impl_->open && impl_->statement) impl_->statement->Reset();
}

void Recordset::ActiveConnection(tarnlow::DatabaseConnection& connection) {
  if (impl_->open) RaiseRuntime(err::ObjectOpen);
  impl_->connection = connection.shared_from_this();
}

void Recordset::Source(std::string sql) {
  if (impl_->open) RaiseRuntime(err::ObjectOpen);
  impl_->source = std::move(sql);
}

const std::string& Recordset::Source() const {
  return impl_->source;
}

void Recordset::CursorType(int type) {
  if (impl_->open) RaiseRuntime(err::ObjectOpen);
  impl_->cursor_type = type;
}

int Recordset::CursorType() const {
  return impl_->cursor_type;
}

void Recordset::LockType(int type) {
  if (impl_->open) RaiseRuntime(err::ObjectOpen);
  impl_->lock_type = type;
}

int Recordset::LockType() const {
  return impl_->lock_type;
}

int Recordset::State() const {
  return impl_->open ? adStateOpen : adStateClosed;
}

void Recordset::Impl::Open(CompiledStatement::Rows rows) {
  if (open) RaiseRuntime(err::ObjectOpen);
  if (!connection) RaiseRuntime(err::ObjectClosed);
  attached = false;
  Attach(connection->PrepareLiteral(source));
  at_end = !connection->Run(*statement, rows);
  open = true;
  pending.clear();
  written.clear();
}

void Recordset::Impl::Open(std::string sql, DatabaseConnection& db, int cursor, int lock,
                           CompiledStatement::Rows rows) {
  if (open) RaiseRuntime(err::ObjectOpen);
  source = std::move(sql);
  connection = db.shared_from_this();
  cursor_type = cursor;
  lock_type = lock;
  Open(rows);
}

void Recordset::Open() {
  impl_->Open(CompiledStatement::Rows::All);
}

void Recordset::Open(std::string sql, tarnlow::DatabaseConnection& connection, int cursor_type,
                     int lock_type) {
  impl_->Open(std::move(sql), connection, cursor_type, lock_type, CompiledStatement::Rows::All);
}

void Recordset::OpenReadThrough(std::string sql, tarnlow::DatabaseConnection& connection) {
  impl_->Open(std::move(sql), connection, adOpenForwardOnly, adLockReadOnly,
              CompiledStatement::Rows::AllInPlace);
}

void Recordset::Close() {
  Impl& r = *impl_;
  r.RequireOpen();
  r.statement->Reset();
  if (!r.attached) r.Attach(nullptr);
  r.open = false;
  r.at_end = true;
  r.written.clear();
  r.pending.clear();
}

bool Recordset::AtEOF() const {
  impl_->RequireOpen();
  return impl_->at_end;
}

void Recordset::MoveNext() {
  Impl& r = *impl_;
  r.RequireRow();
  r.pending.clear();
  r.written.clear();
  r.at_end = !r.statement->Next();
}

std::size_t Recordset::FieldCount() const {
  impl_->RequireOpen();
  return static_cast<std::size_t>(impl_->statement->ColumnCount());
}

const std::string& Recordset::FieldName(std::size_t index) const {
  impl_->RequireOpen();
  if (index >= FieldCount()) RaiseRuntime(err::ItemNotFound);
  return impl_->statement->ColumnName(static_cast<int>(index));
}

Variant Recordset::Fields(std::string_view name) const {
  impl_->RequireRow();
  return Fields(impl_->IndexOf(name));
}

Variant Recordset::Fields(std::size_t index) const {
  Impl& r = *impl_;
  r.RequireRow();
  if (index >= static_cast<std::size_t>(r.statement->ColumnCount())) RaiseRuntime(err::ItemNotFound);
  if (const Variant* v = r.Changed(index)) return *v;
  return cells::ValueOf(r.statement->Cell(static_cast<int>(index)));
}

const Variant& Recordset::Field(std::string_view name) const {
  impl_->RequireRow();
  return impl_->FieldAt(impl_->IndexOf(name));
}

const Variant& Recordset::Field(const tables::Column& column) const {
  return Field(column.name);
}

void Recordset::CopyCells(std::span<const CellCopy> cells) const {
  Impl& r = *impl_;
  r.RequireRow();
  const std::uint32_t* at = r.Positions(cells.size(), [&](std::size_t k) { return cells[k].column; });
  for (std::size_t k = 0; k < cells.size(); ++k) r.Copy(cells[k], at[k]);
}

std::vector<std::vector<Variant>> Recordset::GetRows() {
  Impl& r = *impl_;
  r.RequireOpen();
  std::vector<std::vector<Variant>> rows;
  const int n = r.statement->ColumnCount();
  while (!r.at_end) {
    std::vector<Variant>& row = rows.emplace_back();
    row.reserve(static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i) row.push_back(cells::ValueOf(r.statement->Cell(i)));
    r.at_end = !r.statement->Next();
  }
  return rows;
}

std::vector<Variant> Recordset::GetCells() {
  Impl& r = *impl_;
  r.RequireOpen();
  std::vector<Variant> out;
  const int n = r.statement->ColumnCount();
  while (!r.at_end) {
    for (int i = 0; i < n; ++i) cells::Store(r.statement->Cell(i), out.emplace_back());
    r.at_end = !r.statement->Next();
  }
  return out;
}

void Recordset::SetField(std::string_view name, Variant value) {
  Impl& r = *impl_;
  r.RequireRow();
  if (r.lock_type == adLockReadOnly) RaiseRuntime(err::UpdateNotSupported);
  Put(r.pending, r.IndexOf(name), std::move(value));
}

void Recordset::SetField(const tables::Column& column, Variant value) {
  SetField(column.name, std::move(value));
}

void Recordset::Update() {
  Impl& r = *impl_;
  r.RequireRow();
  if (r.lock_type == adLockReadOnly) RaiseRuntime(err::UpdateNotSupported);
  if (r.pending.empty()) return;
  const std::string table = sqltext::SelectTable(r.source);
  const std::vector<std::string>& key =
      table.empty() ? std::vector<std::string>() : r.connection->RowKey(table);
  if (key.empty())
    throw Error(err::NoKeyColumns, ConnectionSource,
                "Insufficient key column information for updating or refreshing.");
  CompiledStatement& row = *r.statement;
  std::string sql = "UPDATE " + table + " SET ";
  for (std::size_t k = 0; k < r.pending.size(); ++k) {
    if (k) sql += ", ";
    sql.append(row.ColumnName(static_cast<int>(r.pending[k].first))).append(" = ?");
  }
  // The row is written only while it still holds what was read for the
  // columns written: a change made since by anyone else is not overwritten.
  // Each written column's original value is compared as a bound value, so
  // that a number compares exactly as stored; a Null one is tested by name.
  // So for every lock type that allows an update: none holds a lock on the
  // row between the read and the update. `compared` holds the originals
  // bound after the new values: the key's, then the other columns'.
  auto original = [&](std::size_t index) {
    const Variant* written = ChangeOf(r.written, index);
    return written ? *written : cells::ValueOf(row.Cell(static_cast<int>(index)));
  };
  std::vector<Variant> compared;
  std::vector<std::size_t> keys;
  for (std::size_t k = 0; k < key.size(); ++k) {
    sql += k ? " AND " : " WHERE ";
    sql.append(key[k]).append(" = ?");
    keys.push_back(r.IndexOf(key[k]));
    compared.push_back(original(keys.back()));
  }
  for (const auto& [i, v] : r.pending) {
    if (std::find(keys.begin(), keys.end(), i) != keys.end()) continue;
    sql.append(" AND ").append(row.ColumnName(static_cast<int>(i)));
    Variant was = original(i);
    if (was.IsNull()) {
      sql += " IS NULL";
    } else {
      sql += " = ?";
      compared.push_back(std::move(was));
    }
  }
  // Refused as a bound parameter's text is (Command::Impl::CompileAndBind).
  for (const auto& [i, v] : r.pending)
    if (const std::string* text = v.AsText(); text && sqltext::Unfit(*text))
      sqltext::RaiseUnfit("The value of field \"" + row.ColumnName(static_cast<int>(i)) + "\"", *text, sql);
  // The same row set, or another on the same table, writes the same text
  // again on the next receipt: it is compiled once, with the table's
  // triggers.
  auto update = r.connection->PrepareReused(sql);
  int n = 0;
  for (const auto& [i, v] : r.pending) update->Bind(++n, cells::Binding(v));
  for (const Variant& v : compared) update->Bind(++n, cells::Binding(v));
  r.connection->Run(*update, CompiledStatement::Rows::All);
  const std::int64_t changed = update->RowsAffected();
  update->Reset();
  if (changed == 0)
    throw Error(err::RowNotLocated, RuntimeSource, RuntimeErrorText(err::RowNotLocated),
                ErrorContext{sql, "", 0, true});
  for (auto& [i, v] : r.pending) Put(r.written, i, std::move(v));
  r.pending.clear();
}

// ---- ValueConverter ----------------------------------------------------------------

ValueConverter& ValueConverter::Shared() {
  static ValueConverter converter;
  return converter;
}

std::string ValueConverter::FieldText(const Variant& field) const {
  return NullToText(field);
}

Date ValueConverter::FieldDate(const Variant& field) const {
  if (field.IsNull() || field.IsEmpty()) return Date();
  if (const std::string* s = field.AsText(); s && RTrim(*s).empty()) return Date();
  return field.ToDate();
}

bool ValueConverter::CheckText(const std::string& text) const {
  return text.find_first_not_of(" \t\r\n") == std::string::npos;
}

}  // namespace tarnlow
