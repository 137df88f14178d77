// The delivery and call-off quantity tolerances of a product group, looked up
// in the object's own copy of the whole product-group table. The copy is
// made on the first lookup and kept until ResetCache, whatever the table
// does meanwhile.
#pragma once

#include "tarnlow/connection.h"
#include "tarnlow/table_cache.h"
#include "tarnlow/table_object.h"

namespace tarnlow {

#define TARNLOW_clsStkpgtxD_PROPERTIES(X)                                            \
  X(Columns, ProductGroupToleranceTable, GetLet, call_off_qty_tol, delivery_qty_tol) \
  X(Trimmed, ProductGroupToleranceTable, GetLet, product_group)

class TARNLOW_API clsStkpgtxD final : public TableClass<clsStkpgtxD> {
  TARNLOW_TABLE_CLASS(clsStkpgtxD, TARNLOW_clsStkpgtxD_PROPERTIES)

  clsStkpgtxD();

  // Forgets the copy of the table; the next ReadIt reads the table again.
  void ResetCache();
  // Prepares the single-group read. Nothing runs it: lookups use the copy.
  void PrepareReadStatement();
  // Fills the two tolerances of product_group from the copy (made first if
  // needed); raises "Cannont Find Product Group..." when the group is absent.
  void ReadIt();

 private:
  TARNLOW_LOCAL void LoadIntoList();

  StatementHolder read_;
  // Product group, delivery tolerance and call-off tolerance, in the order
  // the database gave them.
  TableCache<RowCache> cache_{3};
};

}  // namespace tarnlow
