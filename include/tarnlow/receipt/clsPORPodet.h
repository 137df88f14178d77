// The lines of one purchase order as goods receipt uses them: a walk over
// all lines of the order, a read of one line by order and line number that
// stays current, and the write-back of the receipt's quantities, status and
// expected costs into that line.
#pragma once

#include <cstdint>

#include "tarnlow/table_object.h"

namespace tarnlow {

// QtyOutstanding first and line_no last: together with the columns between
// them, in alphabetical order, this is the order of the public interface.
#define TARNLOW_clsPORPodet_PROPERTIES(X)                        \
  X(QtyOutstanding, Double, Get, "", 0)                          \
  X(alloc_expect_cost, Double, LetGet, "alloc_expect_cost", 0)   \
  X(bundle_line_ref, Text, LetGet, "bundle_line_ref", 0)         \
  X(cost_per_unit, Double, LetGet, "cost_per_unit", 0)           \
  X(cost_price_u, Double, LetGet, "cost_price_u", 0)             \
  X(date_completed, Date, LetGet, "date_completed", 0)           \
  X(date_required, Date, LetGet, "date_required", 0)             \
  X(delivery_no1, Text, LetGet, "delivery_no1", 0)               \
  X(delivery_no2, Text, LetGet, "delivery_no2", 0)               \
  X(delivery_no3, Text, LetGet, "delivery_no3", 0)               \
  X(description, Text, LetGet, "description", 0)                 \
  X(discount, Double, LetGet, "discount", 0)                     \
  X(discount_code, Text, LetGet, "discount_code", 0)             \
  X(discount_price_u, Double, LetGet, "discount_price_u", 0)     \
  X(discount_tran_u, Double, LetGet, "discount_tran_u", 0)       \
  X(foreign_exp_cost, Double, LetGet, "foreign_exp_cost", 0)     \
  X(foreign_total_act, Double, LetGet, "foreign_total_act", 0)   \
  X(foreign_total_exp, Double, LetGet, "foreign_total_exp", 0)   \
  X(goods_vat_ind, Text, LetGet, "goods_vat_ind", 0)             \
  X(grn_required, Text, LetGet, "grn_required", 0)               \
  X(inv_qty_to_date, Double, LetGet, "inv_qty_to_date", 0)       \
  X(inv_value_logged, Double, LetGet, "inv_value_logged", 0)     \
  X(inv_value_posted, Double, LetGet, "inv_value_posted", 0)     \
  X(level_of_detail, Text, LetGet, "level_of_detail", 0)         \
  X(line_type, Text, LetGet, "line_type", 0)                     \
  X(list_cost_price_u, Double, LetGet, "list_cost_price_u", 0)   \
  X(list_cost_stock_u, Double, LetGet, "list_cost_stock_u", 0)   \
  X(list_cost_tran_u, Double, LetGet, "list_cost_tran_u", 0)     \
  X(local_expect_cost, Double, LetGet, "local_expect_cost", 0)   \
  X(local_total_actual, Double, LetGet, "local_total_actual", 0) \
  X(local_total_expect, Double, LetGet, "local_total_expect", 0) \
  X(log_inv_by_qty, Text, LetGet, "log_inv_by_qty", 0)           \
  X(long_description, Text, LetGet, "long_description", 0)       \
  X(mrp_flag, Text, LetGet, "mrp_flag", 0)                       \
  X(new_rec_this_run, Text, LetGet, "new_rec_this_run", 0)       \
  X(new_vat_code, Text, LetGet, "new_vat_code", 0)               \
  X(nl_category, Text, LetGet, "nl_category", 0)                 \
  X(order_line_no, Text, LetGet, "order_line_no", 0)             \
  X(order_no, Text, LetGet, "order_no", 0)                       \
  X(orig_qty, Double, LetGet, "orig_qty", 0)                     \
  X(pricing_unit, Text, LetGet, "pricing_unit", 0)               \
  X(pricing_unit_fact, Double, LetGet, "pricing_unit_fact", 0)   \
  X(pricing_unit_op, Text, LetGet, "pricing_unit_op", 0)         \
  X(product, Text, LetGet, "product", 0)                         \
  X(qty_invoiced, Double, LetGet, "qty_invoiced", 0)             \
  X(qty_issued, Double, LetGet, "qty_issued", 0)                 \
  X(qty_ordered, Double, LetGet, "qty_ordered", 0)               \
  X(qty_received, Double, LetGet, "qty_received", 0)             \
  X(qty_returned, Double, LetGet, "qty_returned", 0)             \
  X(serial_indic, Text, LetGet, "serial_indic", 0)               \
  X(ship_date, Date, LetGet, "ship_date", 0)                     \
  X(spare, Text, LetGet, "spare", 0)                             \
  X(status, Text, LetGet, "status", 0)                           \
  X(stock_unit_dp, Text, LetGet, "stock_unit_dp", 0)             \
  X(tran_code1, Text, LetGet, "tran_code1", 0)                   \
  X(tran_code2, Text, LetGet, "tran_code2", 0)                   \
  X(tran_code3, Text, LetGet, "tran_code3", 0)                   \
  X(tran_exp_cost, Double, LetGet, "tran_exp_cost", 0)           \
  X(tran_exp_fcost, Double, LetGet, "tran_exp_fcost", 0)         \
  X(tran_inv_qty, Double, LetGet, "tran_inv_qty", 0)             \
  X(tran_order_qty, Double, LetGet, "tran_order_qty", 0)         \
  X(tran_orig_orderq, Double, LetGet, "tran_orig_orderq", 0)     \
  X(tran_qty_returned, Double, LetGet, "tran_qty_returned", 0)   \
  X(tran_recd_qty, Double, LetGet, "tran_recd_qty", 0)           \
  X(trans_unit_dp, Text, LetGet, "trans_unit_dp", 0)             \
  X(unalloc_qty, Double, LetGet, "unalloc_qty", 0)               \
  X(unit_code, Text, LetGet, "unit_code", 0)                     \
  X(unit_factor, Double, LetGet, "unit_factor", 0)               \
  X(unit_group, Text, LetGet, "unit_group", 0)                   \
  X(unit_operand, Text, LetGet, "unit_operand", 0)               \
  X(value_disc_flag, Text, LetGet, "value_disc_flag", 0)         \
  X(vat_code, Text, LetGet, "vat_code", 0)                       \
  X(warehouse, Text, LetGet, "warehouse", 0)                     \
  X(weight, Double, LetGet, "weight", 0)                         \
  X(line_no, Int16, GetLet, "", 0)

class TARNLOW_API clsPORPodet final : public TableObject {
 public:
  clsPORPodet() = default;
  TARNLOW_PROPERTIES(clsPORPodet, TARNLOW_clsPORPodet_PROPERTIES)

  static const ClassInfo& Info();
  const ClassInfo& Class() const override { return Info(); }

  // Sets up (without running) the walk over every line of order_no.
  void InitReadAllForOrder();
  // Reads the next line of the walk into the properties; false when there
  // are no more.
  bool ReadNextForOrder();
  // Reads the line of order_no and line_no and keeps it current for
  // UpdateForReceipt; raises "Cannot find order line ..." when there is none.
  void ReadIt();
  // Writes tran_recd_qty, tran_order_qty, qty_received, qty_ordered, status,
  // local_expect_cost, local_total_expect and foreign_exp_cost into the
  // current line; no other column is touched.
  void UpdateForReceipt();
  // Closes the walk or the current line; does nothing when none is open.
  void CloseIt();

 private:
  void CopyFromRow();

  Recordset rs_;
};

}  // namespace tarnlow
