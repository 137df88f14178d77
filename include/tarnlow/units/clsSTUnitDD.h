// A unit of measure and its number of decimal places, read from the unit
// table or looked up in the object's own copy of the whole table. The copy is
// made on the first lookup and kept until a connection is set again.
#pragma once

#include <memory>
#include <string>

#include "tarnlow/connection.h"
#include "tarnlow/table_cache.h"
#include "tarnlow/table_pieces.h"

namespace tarnlow {

#define TARNLOW_clsSTUnitDD_PROPERTIES(X)           \
  X(Columns, UnitDescriptionTable, Get, dec_places) \
  X(Trimmed, UnitDescriptionTable, GetLet, unit_code)

// Not final: the library's private twin clsSTUnitD is this class under
// another name.
class TARNLOW_API clsSTUnitDD : public TablePieces<clsSTUnitDD> {
  TARNLOW_TABLE_CLASS(clsSTUnitDD, TARNLOW_clsSTUnitDD_PROPERTIES)
  static constexpr std::string_view kLabelEnding = " Line#:";

  clsSTUnitDD();

  // The key under which colSTUnitD keeps a copy: the unit code.
  std::string KeyString() const { return unit_code(); }
  void PrepareReadStatement();
  // Reads the unit named by unit_code from the table; raises "Cannot find
  // unit description from ..." and keeps dec_places when there is none.
  void ReadIt();
  // Looks unit_code up in the copy of the table (made first if needed) and
  // sets dec_places; a unit missing from the copy is reported as by ReadIt.
  void ReadFromList();
  // Takes unit_code and dec_places of another unit.
  void CopyFrom(const clsSTUnitDD& oFromSTUnitDD);

 protected:
  void ConnectionChanged() override;

 private:
  TARNLOW_LOCAL void CopyFromRS(const Recordset& rs);
  TARNLOW_LOCAL void LoadFromList();

  StatementHolder read_;
  TableCache<RowCache> cache_{2};  // unit code and decimal places, in select order
};

}  // namespace tarnlow
