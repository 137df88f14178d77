// A stock item as goods receipt uses it: its costs, tracking flags, nominal
// category and bin, read by warehouse and product; and the receipt applied
// to it in one update that adds the received quantities to the stored
// totals and stores the new current costs and the last supplier.
#pragma once

#include <memory>

#include "tarnlow/table_object.h"

namespace tarnlow {

// The Adjust quantities are increments the database adds to its totals;
// physical_qty and on_order_qty are never read and stay 0.
#define TARNLOW_clsPORStock_PROPERTIES(X)                     \
  X(serial_numbers, Text, Get, "serial_numbers", 0)           \
  X(batch_traceability, Text, Get, "batch_traceability", 0)   \
  X(nl_category, Text, Get, "analysis_x_ref", 0)              \
  X(AdjustYearToDateReceiptQty, Double, GetLet, "", 0)        \
  X(AdjustMonthToDateReceiptQty, Double, GetLet, "", 0)       \
  X(last_supplier, Text, Let, "last_supplier", 8)             \
  X(AdjustPhysicalQty, Double, GetLet, "", 0)                 \
  X(physical_qty, Double, Get, "", 0)                         \
  X(on_order_qty, Double, Get, "", 0)                         \
  X(AdjustOnOrderQty, Double, GetLet, "", 0)                  \
  X(standard_cost, Double, Get, "standard_cost", 0)           \
  X(standard_labour, Double, Get, "standard_labour", 0)       \
  X(standard_material, Double, Get, "standard_material", 0)   \
  X(standard_overhead, Double, Get, "standard_overhead", 0)   \
  X(standard_subcontra, Double, Get, "standard_subcontra", 0) \
  X(current_cost, Double, GetLet, "current_cost", 0)          \
  X(current_labour, Double, Get, "current_labour", 0)         \
  X(current_material, Double, GetLet, "current_material", 0)  \
  X(current_overhead, Double, Get, "current_overhead", 0)     \
  X(current_subcontra, Double, Get, "current_subcontrac", 0)  \
  X(warehouse, Text, LetGet, "warehouse", 2)                  \
  X(product, Text, LetGet, "product", 20)                     \
  X(BinNumber, Text, GetLet, "bin_number", 0)

class TARNLOW_API clsPORStock final : public TableObject {
 public:
  clsPORStock();
  TARNLOW_PROPERTIES(clsPORStock, TARNLOW_clsPORStock_PROPERTIES)

  static const ClassInfo& Info();
  const ClassInfo& Class() const override { return Info(); }

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
  bool read_prepared_ = false;
  bool update_prepared_ = false;
  std::shared_ptr<Recordset> rs_;
};

}  // namespace tarnlow
