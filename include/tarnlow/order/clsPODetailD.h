// One line of a purchase order as orders are written, copied and invoiced:
// the line is inserted with its companion rows (variance history, analysis
// and tolerances, weight), read by order and line number, walked in line
// order with or without its analysis row, given invoiced amounts, and
// deleted with the rest of its order.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "tarnlow/order/clsPODetpgD.h"
#include "tarnlow/order/clsPOvhstD.h"
#include "tarnlow/table_object.h"

namespace tarnlow {

class colPODetailD;

// The columns in alphabetical order, which is also the order of the insert;
// the order and line numbers are handed on to the companions.
#define TARNLOW_clsPODetailD_PROPERTIES(X)                                                                  \
  X(Columns, OrderLineTable, GetLet, alloc_expect_cost, bundle_line_ref, cost_per_unit, cost_price_u,       \
    date_completed, date_required, delivery_no1, delivery_no2, delivery_no3, description, discount,         \
    discount_code, discount_price_u, discount_tran_u, foreign_exp_cost, foreign_total_act,                  \
    foreign_total_exp, goods_vat_ind, grn_required, inv_qty_to_date, inv_value_logged, inv_value_posted,    \
    level_of_detail, line_type, list_cost_price_u, list_cost_stock_u, list_cost_tran_u, local_expect_cost,  \
    local_total_actual, local_total_expect, log_inv_by_qty, long_description, mrp_flag, new_rec_this_run,   \
    new_vat_code, nl_category)                                                                              \
  X(Passed, order_line_no, OrderLineTable::order_line_no, Int16, GetLet)                                    \
  X(Passed, order_no, OrderLineTable::order_no, Text, GetLet)                                               \
  X(Columns, OrderLineTable, GetLet, orig_qty, pricing_unit, pricing_unit_fact, pricing_unit_op, product,   \
    qty_invoiced, qty_issued, qty_ordered, qty_received, qty_returned, serial_indic, ship_date, spare,      \
    status, stock_unit_dp, tran_code1, tran_code2, tran_code3, tran_exp_cost, tran_exp_fcost, tran_inv_qty, \
    tran_order_qty, tran_orig_orderq, tran_qty_returned, tran_recd_qty, trans_unit_dp, unalloc_qty,         \
    unit_code, unit_factor, unit_group, unit_operand, value_disc_flag, vat_code, warehouse, weight)         \
  X(Value, UsePODetpgD, Bool, GetLet)                                                                       \
  X(Value, UsePOVHstD, Bool, GetLet)                                                                        \
  X(Value, UseIntrastats, Bool, GetLet)

class TARNLOW_API clsPODetailD final : public TableClass<clsPODetailD> {
  TARNLOW_TABLE_CLASS(clsPODetailD, TARNLOW_clsPODetailD_PROPERTIES)
  static constexpr std::string_view kLabelEnding = " Line#:";

  clsPODetailD();

  // Builds the line insert afresh.
  void PrepareInsertStatement();
  // Writes the line; for a line not of type "C" its variance history
  // (UsePOVHstD) and analysis row (UsePODetpgD); then its weight row. Each
  // row is its own statement: a failure leaves the earlier rows written.
  void InsertRow();
  // Empties every column property; the flags and companions stay.
  void InitialiseValues();
  // Copies every column and both flags from another line (the order and
  // line numbers stay with this line's companions), and the other's
  // companions when this line is not of type "C".
  void CopyFrom(const clsPODetailD& oFromPODetailD);
  // Copies the current row into the properties; the order and line numbers
  // go on to the companions, which are reset and then, for a line not of
  // type "C", filled from the same row where the flags say.
  void CopyFromRst(const Recordset& rst);
  // Reads every line of order_no, in line order, into the walk.
  void StartReadForOrder();
  // The walk's next line into the properties; false at its end.
  bool ReadNextForOrder();
  // Deletes the lines of order_no with their weight rows, and the
  // companions' rows where the flags say.
  Variant DeleteForOrder();
  // Adds the amounts to the stored line's invoiced quantity and logged value
  // in the database; this object's properties stay as they are.
  void UpdateForInvoice(const double& AddInvQtyToDate, const double& AddInvValueLogged);
  // Reads the line of order_no and order_line_no; raises "Purchase order
  // line:P1/7 not found" when there is none.
  void ReadIt();

  // The companions, made on first use and kept for the line's life.
  std::shared_ptr<clsPODetpgD> PODetpgD() const;
  std::shared_ptr<clsPOvhstD> POVHstD() const;

  // The columns of the line table, in the order of the insert.
  static std::span<const ColumnInfo> LineColumns();

 private:
  void PassOn(const tables::Column& column);
  TARNLOW_LOCAL void ConnectionChanged() override;

  TARNLOW_LOCAL void AddParameters();
  TARNLOW_LOCAL void PrepareInsertStatementE();
  TARNLOW_LOCAL void PrepareUpdateForInvoiceStatement();
  TARNLOW_LOCAL void InsertWeightRow();
  // Stores a column's value without handing the order or line number on.
  TARNLOW_LOCAL void StoreDirect(const ColumnInfo& column, const Variant& value);
  TARNLOW_LOCAL void CopyFromRstLate(const Variant& rst);

  StatementHolder insert_;
  StatementHolder insert_e_;
  StatementHolder invoice_;
  mutable std::shared_ptr<clsPODetpgD> detpg_;
  mutable std::shared_ptr<clsPOvhstD> vhst_;
  std::shared_ptr<colPODetailD> walk_;
  // From 1, so that a walk never started is already over.
  std::int32_t walk_position_ = 1;
  Recordset walk_rs_;
};

}  // namespace tarnlow
