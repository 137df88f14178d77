// The lines of one purchase order as goods receipt uses them: a walk over
// all lines of the order, a read of one line by order and line number that
// stays current, and the write-back of the receipt's quantities, status and
// expected costs into that line.
#pragma once

#include <cstdint>

#include "tarnlow/table_object.h"

namespace tarnlow {

// The columns in alphabetical order, then line_no: the order of the public
// interface after QtyOutstanding.
#define TARNLOW_clsPORPodet_PROPERTIES(X)                                                                  \
  X(Columns, OrderLineTable, LetGet, alloc_expect_cost, bundle_line_ref, cost_per_unit, cost_price_u,      \
    date_completed, date_required, delivery_no1, delivery_no2, delivery_no3, description, discount,        \
    discount_code, discount_price_u, discount_tran_u, foreign_exp_cost, foreign_total_act,                 \
    foreign_total_exp, goods_vat_ind, grn_required, inv_qty_to_date, inv_value_logged, inv_value_posted,   \
    level_of_detail, line_type, list_cost_price_u, list_cost_stock_u, list_cost_tran_u, local_expect_cost, \
    local_total_actual, local_total_expect, log_inv_by_qty, long_description, mrp_flag, new_rec_this_run,  \
    new_vat_code, nl_category, order_line_no, order_no, orig_qty, pricing_unit, pricing_unit_fact,         \
    pricing_unit_op, product, qty_invoiced, qty_issued, qty_ordered, qty_received, qty_returned,           \
    serial_indic, ship_date, spare, status, stock_unit_dp, tran_code1, tran_code2, tran_code3,             \
    tran_exp_cost, tran_exp_fcost, tran_inv_qty, tran_order_qty, tran_orig_orderq, tran_qty_returned,      \
    tran_recd_qty, trans_unit_dp, unalloc_qty, unit_code, unit_factor, unit_group, unit_operand,           \
    value_disc_flag, vat_code, warehouse, weight)                                                          \
  X(Value, line_no, Int16, GetLet)

class TARNLOW_API clsPORPodet final : public TableClass<clsPORPodet> {
  TARNLOW_TABLE_CLASS(clsPORPodet, TARNLOW_clsPORPodet_PROPERTIES)

  // What is still to come: qty_ordered less qty_received as they stand.
  double QtyOutstanding() const { return qty_ordered() - qty_received(); }

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
  TARNLOW_LOCAL void CopyFromRow();

  Recordset rs_;
};

}  // namespace tarnlow
