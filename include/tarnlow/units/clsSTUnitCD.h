// The conversion rule between a base unit and a converted unit: factor,
// method and break values, read from the conversion table or looked up in
// the object's own copy of the whole table. The copy is made on the first
// lookup and kept until a connection is set again. Applying the rule to a
// quantity is the caller's business.
#pragma once

#include <memory>
#include <string>

#include "tarnlow/connection.h"
#include "tarnlow/table_cache.h"
#include "tarnlow/table_pieces.h"

namespace tarnlow {

// from_max_break holds the column to_min_break.
#define TARNLOW_clsSTUnitCD_PROPERTIES(X)                            \
  X(Column, from_max_break, UnitConversionTable::to_min_break, Get)  \
  X(Columns, UnitConversionTable, Get, from_min_break)               \
  X(Trimmed, UnitConversionTable, GetLet, converted_unit, base_name) \
  X(Columns, UnitConversionTable, Get, conv_factor, conv_method)

class TARNLOW_API clsSTUnitCD final : public TablePieces<clsSTUnitCD> {
  TARNLOW_TABLE_CLASS(clsSTUnitCD, TARNLOW_clsSTUnitCD_PROPERTIES)
  static constexpr std::string_view kLabelEnding = " Line#:";

  clsSTUnitCD();

  // base_name left-aligned in seven characters (padded or cut), then
  // converted_unit without trailing blanks.
  std::string KeyString() const;
  void PrepareReadStatement();
  // Reads the rule of base_name and converted_unit from the table; raises
  // "Cannot find unit conversion from ... to ..." and keeps the values when
  // there is none.
  void ReadIt();
  // Looks the pair up in the copy of the table (made first if needed);
  // raises "Cannot find unit conversion .../..." when it is not there.
  void ReadFromList();
  // Takes every column value of another conversion.
  void CopyFrom(const clsSTUnitCD& oFromSTUnitCD);

 protected:
  void ConnectionChanged() override;

 private:
  TARNLOW_LOCAL void CopyFromRS(const Recordset& rs);
  TARNLOW_LOCAL void LoadFromList();

  StatementHolder read_;
  // The table's rows as "select *" gives them; two columns while empty.
  TableCache<RowCache> cache_{2};
};

}  // namespace tarnlow
