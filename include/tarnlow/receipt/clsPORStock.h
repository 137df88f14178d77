// A stock item as goods receipt uses it: its costs, tracking flags, nominal
// category and bin, read by warehouse and product; and the receipt applied
// to it in one update that adds the received quantities to the stored
// totals and stores the new current costs and the last supplier.
#pragma once

#include "tarnlow/table_pieces.h"

namespace tarnlow {

// The Adjust quantities are increments the database adds to its totals;
// physical_qty and on_order_qty are never read and stay 0.
// In interface order. The Adjust quantities are no columns: the update adds
// them to the columns they are named after.
#define TARNLOW_clsPORStock_PROPERTIES(X)                                                           \
  X(Columns, StockTable, Get, serial_numbers, batch_traceability)                                   \
  X(Column, nl_category, StockTable::analysis_x_ref, Get)                                           \
  X(Value, AdjustYearToDateReceiptQty, Double, GetLet)                                              \
  X(Value, AdjustMonthToDateReceiptQty, Double, GetLet)                                             \
  X(Columns, StockTable, Let, last_supplier)                                                        \
  X(Value, AdjustPhysicalQty, Double, GetLet)                                                       \
  X(Value, physical_qty, Double, Get)                                                               \
  X(Value, on_order_qty, Double, Get)                                                               \
  X(Value, AdjustOnOrderQty, Double, GetLet)                                                        \
  X(Columns, StockTable, Get, standard_cost, standard_labour, standard_material, standard_overhead, \
    standard_subcontra)                                                                             \
  X(Columns, StockTable, GetLet, current_cost)                                                      \
  X(Columns, StockTable, Get, current_labour)                                                       \
  X(Columns, StockTable, GetLet, current_material)                                                  \
  X(Columns, StockTable, Get, current_overhead)                                                     \
  X(Column, current_subcontra, StockTable::current_subcontrac, Get)                                 \
  X(Columns, StockTable, LetGet, warehouse, product)                                                \
  X(Column, BinNumber, StockTable::bin_number, GetLet)

class TARNLOW_API clsPORStock final : public TablePieces<clsPORStock> {
  TARNLOW_TABLE_CLASS(clsPORStock, TARNLOW_clsPORStock_PROPERTIES)

  clsPORStock();

  void PrepareReadStatement();
  // Reads the item of warehouse and product; raises "Cannot find stock
  // item ..." and keeps the properties when there is none.
  void ReadIt();
  void PrepareUpdateStatement();
  // Adds the four Adjust quantities to the item's totals and stores
  // last_supplier, current_cost and current_material, in one statement.
  // An item that does not exist is left alone without complaint.
  void UpdateForReceipt();

 private:
  StatementHolder read_;
  StatementHolder update_;
};

}  // namespace tarnlow
