#include <algorithm>
#include <cstring>

#include "connection/backend.h"
#include "connection/database_connection.h"
#include "connection/sql_text.h"
#include "framework/text.h"
#include "tarnlow/connection.h"

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

Recordset::Recordset() = default;

Recordset::~Recordset() {
  if (open_ && statement_) statement_->Reset();
}

void Recordset::ActiveConnection(tarnlow::DatabaseConnection& connection) {
  if (open_) RaiseRuntime(err::ObjectOpen);
  connection_ = connection.shared_from_this();
}

void Recordset::Source(std::string sql) {
  if (open_) RaiseRuntime(err::ObjectOpen);
  source_ = std::move(sql);
}

void Recordset::CursorType(int type) {
  if (open_) RaiseRuntime(err::ObjectOpen);
  cursor_type_ = type;
}

void Recordset::LockType(int type) {
  if (open_) RaiseRuntime(err::ObjectOpen);
  lock_type_ = type;
}

void Recordset::Open() {
  if (open_) RaiseRuntime(err::ObjectOpen);
  if (!connection_) RaiseRuntime(err::ObjectClosed);
  attached_ = false;
  Attach(connection_->PrepareLiteral(source_));
  ++connection_->MutableStatistics().executions;
  at_end_ = !statement_->Execute();
  open_ = true;
  pending_.clear();
  written_.clear();
  lookups_ = 0;
}

void Recordset::Open(std::string sql, tarnlow::DatabaseConnection& connection, int cursor_type,
                     int lock_type) {
  if (open_) RaiseRuntime(err::ObjectOpen);
  source_ = std::move(sql);
  connection_ = connection.shared_from_this();
  cursor_type_ = cursor_type;
  lock_type_ = lock_type;
  Open();
}

TARNLOW_STATEMENT_PATH void Recordset::AttachExecuted(const std::shared_ptr<CompiledStatement>& statement,
                                                      bool has_row, tarnlow::DatabaseConnection& connection) {
  // Assigned only when they change: a command's row set is attached to the
  // same statement and connection run after run.
  if (statement_ != statement) Attach(statement);
  if (connection_.get() != &connection) connection_ = connection.shared_from_this();
  attached_ = true;
  open_ = true;
  at_end_ = !has_row;
  cursor_type_ = adOpenForwardOnly;
  lock_type_ = adLockReadOnly;
  pending_.clear();
  lookups_ = 0;
}

void Recordset::Attach(const std::shared_ptr<CompiledStatement>& statement) {
  statement_ = statement;
  indexed_ = false;
}

TARNLOW_STATEMENT_PATH void Recordset::Close() {
  RequireOpen();
  statement_->Reset();
  if (!attached_) Attach(nullptr);
  open_ = false;
  at_end_ = true;
  written_.clear();
  pending_.clear();
}

// The cells of an updatable row are read from the statement, which keeps
// the row, until the row set itself changes them.
const Variant* Recordset::Changed(std::size_t index) const {
  if (const Variant* v = ChangeOf(pending_, index)) return v;
  return ChangeOf(written_, index);
}

TARNLOW_STATEMENT_PATH bool Recordset::AtEOF() const {
  RequireOpen();
  return at_end_;
}

void Recordset::MoveNext() {
  RequireRow();
  pending_.clear();
  written_.clear();
  lookups_ = 0;
  at_end_ = !statement_->Next();
}

std::size_t Recordset::FieldCount() const {
  RequireOpen();
  return static_cast<std::size_t>(statement_->ColumnCount());
}

const std::string& Recordset::FieldName(std::size_t index) const {
  RequireOpen();
  if (index >= FieldCount()) RaiseRuntime(err::ItemNotFound);
  return statement_->ColumnName(static_cast<int>(index));
}

void Recordset::BuildIndex() const {
  const auto n = static_cast<std::size_t>(statement_->ColumnCount());
  // A literal read run again is a new statement with the same columns: the
  // index it had still holds, and is kept rather than made anew. A backend
  // that shares one layout among such statements says so without a name
  // compared.
  std::shared_ptr<const void> layout = statement_->Layout();
  bool same = n == names_.size() && n == index_.size();
  if (!same || !layout || layout != layout_) {
    for (std::size_t i = 0; same && i < n; ++i) {
      // Databases mostly give the names in lower case already.
      const std::string& name = statement_->ColumnName(static_cast<int>(i));
      same = names_[i] == name || SameLowerCase(names_[i], name);
    }
  }
  indexed_ = true;
  layout_ = std::move(layout);
  if (same) return;
  declared_.assign(n, nullptr);
  names_.resize(n);
  index_.resize(n);
  for (std::size_t i = 0; i < n; ++i) {
    names_[i] = LowerCase(statement_->ColumnName(static_cast<int>(i)));
    index_[i] = {FoldedHash(names_[i]), i};
  }
  // Sorted by hash, and by position among equal hashes, so that the first
  // of two equal names is met first. Hashes, not names, are sorted: each
  // literal read of other columns builds this index, some of a hundred.
  std::sort(index_.begin(), index_.end());
  unique_names_ = true;
  for (std::size_t i = 1; i < n && unique_names_; ++i)
    for (std::size_t j = i; j > 0 && index_[j - 1].first == index_[i].first; --j)
      if (names_[index_[j - 1].second] == names_[index_[i].second]) unique_names_ = false;
  asked_.assign(n, std::string());
  next_field_ = 0;
}

std::size_t Recordset::IndexOf(std::string_view name) const {
  if (!indexed_) BuildIndex();
  // Copy routines ask for the columns in the order the statement selects
  // them, row after row: the column after the last one found is tried
  // first (the first column after the last), under the spelling last asked
  // for there, which costs one comparison of whole words. With a name
  // repeated this could find the second of two columns where the first is
  // meant, so then only the search below is used.
  if (unique_names_ && !names_.empty()) {
    const std::size_t hint = next_field_ < names_.size() ? next_field_ : 0;
    std::string& asked = asked_[hint];
    if (asked.size() == name.size() && std::memcmp(asked.data(), name.data(), name.size()) == 0) {
      next_field_ = hint + 1;
      return hint;
    }
    if (SameLowerCase(names_[hint], name)) {
      asked.assign(name);
      next_field_ = hint + 1;
      return hint;
    }
  }
  const std::size_t h = FoldedHash(name);
  auto it = std::lower_bound(index_.begin(), index_.end(), std::pair<std::size_t, std::size_t>{h, 0});
  for (; it != index_.end() && it->first == h; ++it) {
    if (SameLowerCase(names_[it->second], name)) {
      next_field_ = it->second + 1;
      return it->second;
    }
  }
  RaiseRuntime(err::ItemNotFound);
}

Variant Recordset::Fields(std::string_view name) const {
  RequireRow();
  return Fields(IndexOf(name));
}

Variant Recordset::Fields(std::size_t index) const {
  RequireRow();
  if (index >= static_cast<std::size_t>(statement_->ColumnCount())) RaiseRuntime(err::ItemNotFound);
  if (const Variant* v = Changed(index)) return *v;
  return statement_->Column(static_cast<int>(index));
}

const Variant& Recordset::Field(std::string_view name) const {
  RequireRow();
  return FieldAt(IndexOf(name));
}

// The k-th lookup of a row, where it is not where the k-th lookup of the
// row before found its column, or where the statement is new to the index.
std::size_t Recordset::Reposition(const tables::Column& column, std::size_t k) const {
  if (!indexed_) BuildIndex();
  if (k < sequence_.size()) {
    const std::size_t at = sequence_[k];
    if (at < declared_.size() && declared_[at] == &column) return at;
  }
  const std::size_t index = Locate(column);
  // A row is asked for its columns a few times over (copied, then set
  // before an update), not without end.
  if (k < sequence_.size())
    sequence_[k] = static_cast<std::uint32_t>(index);
  else if (k == sequence_.size() && k < 4 * declared_.size())
    sequence_.push_back(static_cast<std::uint32_t>(index));
  return index;
}

std::size_t Recordset::Locate(const tables::Column& column) const {
  const std::size_t hint = next_field_ < declared_.size() ? next_field_ : 0;
  if (hint < declared_.size() && declared_[hint] == &column) {
    next_field_ = hint + 1;
    return hint;
  }
  // Asked for out of order: where it was found before, if it was.
  for (std::size_t i = 0; i < declared_.size(); ++i)
    if (declared_[i] == &column) {
      next_field_ = i + 1;
      return i;
    }
  // The first of two columns of one name is the one found by it, whichever
  // way it is found again.
  const std::size_t index = IndexOf(column.name);
  declared_[index] = &column;
  return index;
}

const Variant& Recordset::Field(const tables::Column& column) const {
  return FieldAt(Position(column));
}

void Recordset::CopyCell(const CellCopy& cell) const {
  const std::size_t index = Position(*cell.column);
  const auto at = static_cast<std::uint32_t>(index);
  if (Direct() && statement_->CopyCells(&at, &cell, 1) == 1) return;
  cell.convert(cell.out, FieldAt(index));
}

TARNLOW_STATEMENT_PATH void Recordset::CopyCells(std::span<const CellCopy> cells) const {
  RequireRow();
  const std::size_t k = lookups_;
  bool in_place = indexed_ && Direct() && k + cells.size() <= sequence_.size();
  for (std::size_t i = 0; in_place && i < cells.size(); ++i) {
    const std::size_t at = sequence_[k + i];
    in_place = at < declared_.size() && declared_[at] == cells[i].column;
  }
  if (!in_place) {
    for (const CellCopy& cell : cells) CopyCell(cell);
    return;
  }
  lookups_ = k + cells.size();
  const std::uint32_t* at = sequence_.data() + k;
  const std::size_t n = cells.size();
  for (std::size_t i = statement_->CopyCells(at, cells.data(), n); i < n;) {
    // A cell the statement cannot copy as it is goes the general way, in its place.
    cells[i].convert(cells[i].out, FieldAt(at[i]));
    ++i;
    i += statement_->CopyCells(at + i, cells.data() + i, n - i);
  }
}

const Variant& Recordset::FieldAt(std::size_t index) const {
  if (const Variant* v = Changed(index)) return *v;
  return statement_->ColumnValue(static_cast<int>(index), field_);
}

std::vector<std::vector<Variant>> Recordset::GetRows() {
  RequireOpen();
  std::vector<std::vector<Variant>> rows;
  const int n = statement_->ColumnCount();
  while (!at_end_) {
    std::vector<Variant>& row = rows.emplace_back();
    row.reserve(static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i) row.push_back(statement_->Column(i));
    at_end_ = !statement_->Next();
  }
  return rows;
}

std::vector<Variant> Recordset::GetCells() {
  RequireOpen();
  std::vector<Variant> cells;
  if (!at_end_) statement_->TakeRows(cells);
  at_end_ = true;
  return cells;
}

void Recordset::SetField(std::string_view name, Variant value) {
  RequireRow();
  if (lock_type_ == adLockReadOnly) RaiseRuntime(err::UpdateNotSupported);
  Put(pending_, IndexOf(name), std::move(value));
}

void Recordset::SetField(const tables::Column& column, Variant value) {
  RequireRow();
  if (lock_type_ == adLockReadOnly) RaiseRuntime(err::UpdateNotSupported);
  Put(pending_, Position(column), std::move(value));
}

void Recordset::Update() {
  RequireRow();
  if (lock_type_ == adLockReadOnly) RaiseRuntime(err::UpdateNotSupported);
  if (pending_.empty()) return;
  const std::string table = sqltext::SelectTable(source_);
  const std::vector<std::string>& key =
      table.empty() ? std::vector<std::string>() : connection_->RowKey(table);
  if (key.empty())
    throw Error(err::NoKeyColumns, ConnectionSource,
                "Insufficient key column information for updating or refreshing.");
  std::string& sql = update_sql_;
  sql.assign("UPDATE ").append(table).append(" SET ");
  for (std::size_t k = 0; k < pending_.size(); ++k) {
    if (k) sql += ", ";
    sql.append(statement_->ColumnName(static_cast<int>(pending_[k].first))).append(" = ?");
  }
  // The row is written only while it still holds what was read for the
  // columns written: a change made since by anyone else is not overwritten.
  // Each written column's original value is compared as a bound value, so
  // that a number compares exactly as stored; a Null one is tested by name.
  // So for every lock type that allows an update: none holds a lock on the
  // row between the read and the update.
  // (update_keys_ holds the key's positions, then those of the columns compared.)
  auto original = [this](std::size_t index) {
    const Variant* written = ChangeOf(written_, index);
    return written ? *written : statement_->Column(static_cast<int>(index));
  };
  std::vector<std::size_t>& compared = update_keys_;
  compared.clear();
  for (std::size_t k = 0; k < key.size(); ++k) {
    sql += k ? " AND " : " WHERE ";
    sql.append(key[k]).append(" = ?");
    compared.push_back(IndexOf(key[k]));
  }
  const std::size_t keys = compared.size();
  for (const auto& [i, v] : pending_) {
    if (std::find(compared.begin(), compared.begin() + static_cast<std::ptrdiff_t>(keys), i) !=
        compared.begin() + static_cast<std::ptrdiff_t>(keys))
      continue;
    sql.append(" AND ").append(statement_->ColumnName(static_cast<int>(i)));
    if (original(i).IsNull()) {
      sql += " IS NULL";
    } else {
      sql += " = ?";
      compared.push_back(i);
    }
  }
  // Refused as a bound parameter's text is (Command::CompileAndBind).
  for (const auto& [i, v] : pending_)
    if (const std::string* text = v.AsText(); text && sqltext::Unfit(*text))
      sqltext::RaiseUnfit("The value of field \"" + statement_->ColumnName(static_cast<int>(i)) + "\"", *text,
                          sql);
  // The same row set, or another on the same table, writes the same text
  // again on the next receipt: it is compiled once, with the table's
  // triggers.
  auto update = connection_->PrepareReused(sql);
  int n = 0;
  for (const auto& [i, v] : pending_) update->Bind(++n, v);
  for (std::size_t i : compared) update->Bind(++n, original(i));
  ++connection_->MutableStatistics().executions;
  update->Execute();
  const std::int64_t changed = update->RowsAffected();
  update->Reset();
  if (changed == 0)
    throw Error(err::RowNotLocated, RuntimeSource, RuntimeErrorText(err::RowNotLocated),
                ErrorContext{sql, "", 0, true});
  for (auto& [i, v] : pending_) Put(written_, i, std::move(v));
  pending_.clear();
}

}  // namespace tarnlow
