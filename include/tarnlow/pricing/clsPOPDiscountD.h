// Quantity-break discounts: for a supplier discount code, a product discount
// code and a price list, a discount type and up to seven breaks. ReadIt
// answers from a cache of the whole table that each object loads on its
// first ReadIt and keeps for its life; InsertRow writes a row (which that
// cache does not see).
#pragma once

#include <memory>
#include <string>

#include "tarnlow/table_cache.h"
#include "tarnlow/table_pieces.h"

namespace tarnlow {

class colPOPDiscount;

#define TARNLOW_clsPOPDiscountD_PROPERTIES(X)                                                                \
  X(Columns, DiscountTable, LetGet, cust_disc_code, description, discount1, discount2, discount3, discount4, \
    discount5, discount6, discount7, discount_type, price_list, prod_disc_code, quantity_break1,             \
    quantity_break2, quantity_break3, quantity_break4, quantity_break5, quantity_break6, quantity_break7,    \
    unit_code, unit_group, vat_inclusive_flag)

class TARNLOW_API clsPOPDiscountD final : public TablePieces<clsPOPDiscountD> {
  TARNLOW_TABLE_CLASS(clsPOPDiscountD, TARNLOW_clsPOPDiscountD_PROPERTIES)
  static constexpr std::string_view kLabelEnding = " Line#:";

  clsPOPDiscountD();
  ~clsPOPDiscountD() override;

  // Kept for clients only: reads empty, and what is written is dropped.
  std::string pop_discount_cat() const { return {}; }
  void pop_discount_cat(const std::string&) {}

  // Copies the cached row of cust_disc_code, prod_disc_code and price_list
  // (compared as KeyString, letter case ignored) into the properties; the
  // first call loads the cache. Raises "Cannot find discount item ..." for a
  // key the cache does not hold.
  void ReadIt();
  void InsertRow();
  // Copies every column property.
  void CopyFrom(const clsPOPDiscountD& oFromPOPDiscountD);
  // The cache key: the three codes left-justified in 4, 8 and 3 characters.
  std::string KeyString() const;
  // Copies the row set's current row; vat_inclusive_flag keeps its value.
  void CopyFromRS(const Recordset& rstPODis);

 private:
  TARNLOW_LOCAL void LoadIntoList();
  TARNLOW_LOCAL void PrepareInsertStatement();
  TARNLOW_LOCAL void AddParameters();
  TARNLOW_LOCAL void CopyFromRSLate(const ObjectPtr& rstPODis);

  StatementHolder insert_;
  TableCache<colPOPDiscount> cache_;
};

}  // namespace tarnlow
