// Unit conversions that hold for one product in one warehouse: read one by
// its four key parts, looked up in the object's own cache of the whole table,
// or inserted. The cache is filled on the first lookup and kept for the
// object's life: neither a new connection nor the object's own inserts
// change it.
#pragma once

#include <memory>
#include <string>

#include "tarnlow/table_cache.h"
#include "tarnlow/table_pieces.h"

namespace tarnlow {

class colSTUnitP;

#define TARNLOW_clsSTUnitPD_PROPERTIES(X)                                                             \
  X(Columns, ProductUnitTable, LetGet, alt_unit, base_name, conv_factor, conv_method, converted_unit, \
    from_min_break, product, to_min_break, warehouse)

class TARNLOW_API clsSTUnitPD final : public TablePieces<clsSTUnitPD> {
  TARNLOW_TABLE_CLASS(clsSTUnitPD, TARNLOW_clsSTUnitPD_PROPERTIES)
  static constexpr std::string_view kLabelEnding = " Line#:";

  clsSTUnitPD();

  // base_name, converted_unit and warehouse left-aligned in six, six and two
  // characters (padded or cut), then product without trailing blanks.
  std::string KeyString() const;
  void PrepareInsertStatement();
  // Inserts a row with the nine values; the cache does not learn of it.
  void InsertRow();
  // Reads the row of warehouse, product, base_name and converted_unit into
  // every property; raises "Cannot find product unit ..." when there is none.
  void ReadIt();
  // Takes the cached row with this object's KeyString (letter case ignored),
  // filling the cache first if needed; raises "Cannot find unit conversion
  // ..." when there is none.
  void ReadFromList();
  // Takes all nine values of another product unit conversion.
  void CopyFrom(const clsSTUnitPD& oFromSTUnitPD);

 private:
  TARNLOW_LOCAL void AddParameters();
  TARNLOW_LOCAL void PrepareReadStatement();
  TARNLOW_LOCAL void LoadFromList();
  TARNLOW_LOCAL void CopyFromRS(const Recordset& rs);

  StatementHolder insert_, read_;
  TableCache<colSTUnitP> cache_;
};

}  // namespace tarnlow
