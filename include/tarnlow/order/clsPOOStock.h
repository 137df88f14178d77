// A stock item as purchase orders see it: its costs and purchasing
// attributes, read by warehouse and product, and its quantity on order,
// raised or lowered by a signed amount (optionally with a new expected
// delivery date) in one statement.
#pragma once

#include "tarnlow/table_pieces.h"

namespace tarnlow {

// In interface order. AdjustOnOrderQty is loaded from on_order_qty by a read
// and added to it by the updates; physical_qty is never loaded.
#define TARNLOW_clsPOOStock_PROPERTIES(X)                                                           \
  X(Columns, StockTable, Get, drawing_number, alpha, purchase_unit, stock_vat_type, serial_numbers, \
    qty_decimal_places, pricing_discount, supplier, weight, batch_traceability, purchase_key)       \
  X(Columns, StockTable, Let, last_supplier)                                                        \
  X(Value, physical_qty, Double, Get)                                                               \
  X(Column, AdjustOnOrderQty, StockTable::on_order_qty, GetLet)                                     \
  X(Columns, StockTable, Get, standard_cost, standard_labour, standard_material, standard_overhead, \
    standard_subcontra)                                                                             \
  X(Columns, StockTable, GetLet, current_cost)                                                      \
  X(Columns, StockTable, Get, expected_cost, current_labour)                                        \
  X(Columns, StockTable, GetLet, current_material)                                                  \
  X(Columns, StockTable, Get, current_overhead)                                                     \
  X(Column, current_subcontra, StockTable::current_subcontrac, Get)                                 \
  X(Columns, StockTable, LetGet, warehouse, product)                                                \
  X(Columns, StockTable, Get, description, long_description)                                        \
  X(Column, Unit, StockTable::unit_code, GetLet)                                                    \
  X(Columns, StockTable, Get, analysis_a, analysis_b, analysis_c, buyer_id)                         \
  X(Columns, StockTable, GetLet, delivery_date)

class TARNLOW_API clsPOOStock final : public TablePieces<clsPOOStock> {
  TARNLOW_TABLE_CLASS(clsPOOStock, TARNLOW_clsPOOStock_PROPERTIES)
  static constexpr std::string_view kLabelEnding = " Line#:";

  clsPOOStock();

  // Reads the item of warehouse and product; raises "Cannot find stock
  // item ..." and keeps the properties when there is none.
  void ReadIt();
  void PrepareUpdateStatement();
  // Adds AdjustOnOrderQty to the item's on_order_qty. An item that does not
  // exist is left alone without complaint.
  void UpdateForOrder();
  void PrepareUpdateStatementDeliveryDate();
  // The same, and replaces the item's delivery_date.
  void UpdateForOrderDeliveryDate();

 private:
  TARNLOW_LOCAL void ConnectionChanged() override;
  TARNLOW_LOCAL void PrepareReadStatement();
  TARNLOW_LOCAL void CopyFromRS(const Recordset& rs);
  TARNLOW_LOCAL void SetUpdateParameters(StatementHolder& holder);

  StatementHolder read_, update_, update_with_date_;
  // The read is built once per object; a new connection keeps its text.
  bool read_built_ = false;
};

}  // namespace tarnlow
