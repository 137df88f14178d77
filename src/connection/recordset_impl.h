// The connection layer's part of a row set: its statement, its changes to
// the current row, and where its columns are. Table objects reach it
// through RecordsetAccess to copy rows into their properties.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "connection/backend.h"
#include "connection/cells.h"
#include "tarnlow/name_index.h"
#include "tarnlow/recordset.h"

namespace tarnlow {

struct Recordset::Impl {
  static constexpr std::uint32_t kMissing = NameIndex::kMissing;

  std::shared_ptr<DatabaseConnection> connection;
  std::string source;
  int cursor_type = adOpenForwardOnly;
  int lock_type = adLockReadOnly;
  bool open = false;
  bool at_end = true;
  std::shared_ptr<CompiledStatement> statement;
  // Over a command's statement: the command holds the statement anyway, so
  // closing keeps the reference for the next run to find in place.
  bool attached = false;
  // Updatable row sets: the changes set on the current row, and those
  // Update has written into it.
  std::vector<std::pair<std::size_t, Variant>> pending;
  std::vector<std::pair<std::size_t, Variant>> written;
  // The statement's columns by name, made on the first lookup by name.
  NameIndex names;
  bool indexed = false;
  // The columns the last copy asked for and where they are in the
  // statement, so that a statement run again and again finds them once:
  // copy routines ask for the same columns row after row.
  std::vector<const tables::Column*> copied;
  std::vector<std::uint32_t> copied_at;
  // What Field gives, one value per column refilled in place: two fields
  // of one row can be held at once.
  std::vector<Variant> fields;
  Variant scratch;  // a cell on its way into a property

  void RequireOpen() const {
    if (!open) RaiseRuntime(err::ObjectClosed);
  }
  void RequireRow() const {
    RequireOpen();
    if (at_end) RaiseRuntime(err::NoCurrentRecord);
  }
  // Compiles the source as a literal statement and runs it.
  void Open(CompiledStatement::Rows rows);
  // The same for a source and its settings.
  void Open(std::string sql, DatabaseConnection& db, int cursor, int lock, CompiledStatement::Rows rows);
  // The statement the row set reads from now on; where its columns are is
  // found anew.
  void Attach(std::shared_ptr<CompiledStatement> to);
  // After a command's run of its statement.
  void AttachExecuted(const std::shared_ptr<CompiledStatement>& to, bool has_row, DatabaseConnection& db);
  // The position of a column by name; kMissing when there is none.
  std::uint32_t Find(std::string_view name);
  std::size_t IndexOf(std::string_view name) {
    const std::uint32_t at = Find(name);
    if (at == kMissing) RaiseRuntime(err::ItemNotFound);
    return at;
  }
  // The positions of the n columns column_of(0..n) names (kMissing for a
  // null one and for one the statement does not have).
  template <class ColumnOf>
  const std::uint32_t* Positions(std::size_t n, ColumnOf column_of) {
    bool same = copied.size() == n;
    for (std::size_t k = 0; same && k < n; ++k) same = copied[k] == column_of(k);
    if (!same) {
      copied.resize(n);
      copied_at.resize(n);
      for (std::size_t k = 0; k < n; ++k) {
        const tables::Column* column = column_of(k);
        copied[k] = column;
        copied_at[k] = column ? Find(column->name) : kMissing;
      }
    }
    return copied_at.data();
  }
  // A value set on the current row and not yet written, or else written by
  // Update; null when the row holds the value it was read with.
  const Variant* Changed(std::size_t index) const;
  // The current row's value at a position, valid until the next call.
  const Variant& FieldAt(std::size_t index);
  // The cell at a position into one property.
  void Copy(const CellCopy& copy, std::uint32_t at) {
    if (at == kMissing) RaiseRuntime(err::ItemNotFound);
    if (pending.empty() && written.empty())
      cells::CopyInto(copy, statement->Cell(static_cast<int>(at)), scratch);
    else
      copy.convert(copy.out, FieldAt(at));
  }
};

struct RecordsetAccess {
  static Recordset::Impl& Of(const Recordset& rs) { return *rs.impl_; }
};

}  // namespace tarnlow
