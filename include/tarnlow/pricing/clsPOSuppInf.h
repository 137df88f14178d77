// A supplier's information about a product in a warehouse: its part number,
// description, cost and lead time. Read by product or by part number, with
// the keys of the last row read remembered so that reading the same row
// again costs nothing; also written, updated, counted and deleted per
// supplier.
#pragma once

#include <string>

#include "tarnlow/table_pieces.h"

namespace tarnlow {

#define TARNLOW_clsPOSuppInf_PROPERTIES(X)                                                                   \
  X(Value, UseCache, Bool, GetLet)                                                                           \
  X(Columns, SupplierInfoTable, LetGet, cost, description, long_description, part_no, product, reorder_days, \
    supplier, unit_code, unit_qty_cost, warehouse)

class TARNLOW_API clsPOSuppInf final : public TablePieces<clsPOSuppInf> {
  TARNLOW_TABLE_CLASS(clsPOSuppInf, TARNLOW_clsPOSuppInf_PROPERTIES)
  static constexpr std::string_view kLabelEnding = " Line#:";

  clsPOSuppInf();

  void PrepareReadStatement();
  void PrepareReadByPartNoStatement();
  // Reads the row of supplier, warehouse and part_no; skipped, with every
  // property as it is, when UseCache is True and those keys (trailing blanks
  // aside) are the ones remembered from the last read.
  void ReadItByPartNo();
  // The same by supplier, warehouse and product.
  void ReadIt();
  // Deletes every row of the supplier; the remembered keys stay.
  void DeleteSupplier();
  bool CheckIfSupplierExist();
  void InsertRow();
  // Changes every row of supplier, warehouse and product (none is no error).
  void UpdateRow();

 private:
  // The keys of the last row read, without trailing blanks.
  struct Remembered {
    std::string supplier, warehouse, product, part_no;
  };

  // Whether a read of supplier, warehouse and the given key may be skipped.
  TARNLOW_LOCAL bool Remembers(const std::string& key, const std::string& remembered_key) const;
  TARNLOW_LOCAL void Remember();
  TARNLOW_LOCAL void CopyFromRS(const Recordset& rs);
  TARNLOW_LOCAL void PrepareInsertStatement();
  TARNLOW_LOCAL void PrepareUpdateStatement();
  TARNLOW_LOCAL void PrepareReadifSupplierExist();
  TARNLOW_LOCAL void AddInsertParameters();
  TARNLOW_LOCAL void AddUpdateParameters();

  StatementHolder read_;
  StatementHolder read_by_part_;
  StatementHolder exist_;
  StatementHolder insert_;
  StatementHolder update_;
  Remembered remembered_;
};

}  // namespace tarnlow
