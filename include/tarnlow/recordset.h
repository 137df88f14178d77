// Row sets: the rows of one statement, read forwards field by field, and
// the converter that reads their fields as text and dates.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "tarnlow/connection.h"
#include "tarnlow/object.h"
#include "tarnlow/tables.h"
#include "tarnlow/value.h"

namespace tarnlow {

enum CursorTypeEnum : int { adOpenForwardOnly = 0, adOpenKeyset = 1, adOpenDynamic = 2, adOpenStatic = 3 };
enum LockTypeEnum : int { adLockReadOnly = 1, adLockPessimistic = 2, adLockOptimistic = 3 };
inline constexpr int adStateClosed = 0;
inline constexpr int adStateOpen = 1;

// Rows of one statement, read forwards field by field. A row set opened on a
// literal statement with a lock type other than read-only can change its
// current row: assign fields, then Update. The rows are all read when the
// statement runs (a client-side cursor; OpenReadThrough aside), and the row
// set shares ownership of its database connection, so it outlives the
// connection object it came from.
class TARNLOW_API Recordset {
 public:
  Recordset();
  ~Recordset();
  Recordset(const Recordset&) = delete;
  Recordset& operator=(const Recordset&) = delete;

  void ActiveConnection(tarnlow::DatabaseConnection& connection);
  void Source(std::string sql);
  const std::string& Source() const;
  void CursorType(int type);
  int CursorType() const;
  void LockType(int type);
  int LockType() const;

  // Opens Source on the active connection as a literal statement.
  void Open();
  void Open(std::string sql, tarnlow::DatabaseConnection& connection, int cursor_type, int lock_type);
  // Opens a forward-only, read-only row set whose rows the caller reads
  // through at once, closing it before anything else runs on the
  // connection: a database that can hands the rows over as the row set
  // moves, instead of holding them all first.
  void OpenReadThrough(std::string sql, tarnlow::DatabaseConnection& connection);
  int State() const;
  void Close();

  bool AtEOF() const;  // end of rows (the row set's EOF)
  void MoveNext();
  std::size_t FieldCount() const;
  const std::string& FieldName(std::size_t index) const;
  // The current row's value of a field, by name with letter case ignored.
  Variant Fields(std::string_view name) const;
  Variant Fields(std::size_t index) const;
  // The same value, valid until the next call on this row set: copy
  // routines read it into their properties without a copy of their own.
  const Variant& Field(std::string_view name) const;
  // The same by a column's declaration.
  const Variant& Field(const tables::Column& column) const;
  // Stores the field of each entry's declared column in its typed property,
  // in order, as AssignConverted stores Field's value: a failing conversion
  // (or a column the row set does not have) leaves the later properties as
  // they were.
  void CopyCells(std::span<const CellCopy> cells) const;
  // All remaining rows as [row][column]; the row set ends at its end.
  std::vector<std::vector<Variant>> GetRows();
  // The same rows as one array, row after row, FieldCount() cells apiece.
  std::vector<Variant> GetCells();

  // Changes a field of the current row; Update writes the changes.
  void SetField(std::string_view name, Variant value);
  // The same by a column's declaration.
  void SetField(const tables::Column& column, Variant value);
  void Update();

  // The connection layer's own part of the row set.
  struct Impl;

 private:
  friend struct RecordsetAccess;
  std::unique_ptr<Impl> impl_;
};

class TARNLOW_API ValueConverter {
 public:
  static ValueConverter& Shared();
  // A field's value as text; Null gives empty text.
  std::string FieldText(const Variant& field) const;
  // A field's value as a date; Null and empty text give the zero date.
  Date FieldDate(const Variant& field) const;
  // The blank test: True when the text is empty or holds only blanks (spaces,
  // tabs, line ends). Callers ask it whether a value is missing.
  bool CheckText(const std::string& text) const;
};

}  // namespace tarnlow
