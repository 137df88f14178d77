// Purchase prices: one row per supplier (customer_code), price list,
// product and sequence number. Reads the row of the three keys, loads every
// row of them and walks the loaded rows one by one, writes new rows, and
// tells whether a supplier has a price list at all. The client chooses among
// several rows; the library hands them over in the order the database gives.
#pragma once

#include <cstdint>
#include <memory>

#include "tarnlow/table_pieces.h"

namespace tarnlow {

class colPOPPriceList;

#define TARNLOW_clsPOPPriceListD_PROPERTIES(X)                                                   \
  X(Columns, PriceListTable, LetGet, currency_code, customer_code, description, new_price)       \
  X(Column, Price, PriceListTable::price, LetGet)                                                \
  X(Columns, PriceListTable, LetGet, price_end_date, price_list, price_start_date, product_code, \
    sequence_number, unit_code, unit_code_group, unit_qty_per_price, vat_inclusive_flag)

class TARNLOW_API clsPOPPriceListD final : public TablePieces<clsPOPPriceListD> {
  TARNLOW_TABLE_CLASS(clsPOPPriceListD, TARNLOW_clsPOPPriceListD_PROPERTIES)
  static constexpr std::string_view kLabelEnding = " Line#:";

  clsPOPPriceListD();
  ~clsPOPPriceListD() override;

  // Reads the first row the database gives for customer_code, price_list
  // and product_code; raises "Cannot find price list ..." when there is none.
  void ReadIt();
  // Copies the ten price columns of the row set's current row; the four key
  // properties keep their values.
  void CopyFromRS(const Recordset& rst);
  void PrepareInsertStatement();
  void InsertRow();
  // True when the supplier has any row of the price list, whatever the
  // product; raises "Price list ... not found" otherwise (never false).
  bool CheckIfListExists();
  // Loads every row of the supplier, list and product for a walk; returns
  // how many. The loaded rows carry no keys.
  std::int32_t LoadListForSupplierProduct();
  // Restarts the walk; always false.
  bool MoveFirstForSupplierProductList();
  // Copies the next loaded row into the properties, keys included (which are
  // empty); false after the last.
  bool MoveNextForSupplierProductList();
  // Copies all fourteen column properties, keys included.
  void CopyFrom(const clsPOPPriceListD& oFromPOPPriceListD);

 private:
  TARNLOW_LOCAL void PrepareReadStatement();
  TARNLOW_LOCAL void AddParameters();
  TARNLOW_LOCAL void CopyFromRSLate(const ObjectPtr& rst);
  TARNLOW_LOCAL void BindUnchanged(Command& command, const tables::Column& column, const std::string& value);

  StatementHolder read_;
  StatementHolder insert_;
  std::shared_ptr<colPOPPriceList> list_;  // created on the first load
  std::int32_t position_ = 0;              // of the walk over list_
};

}  // namespace tarnlow
