// The variance history row of one order line: plan, order, receipt and
// invoice prices and rates, the accrued and realised variances, and the
// receipt and invoice the row refers to. Under the system's dual-rate option
// each row has a second row holding two rates and two operators for each of
// plan, order, receipt and invoice. The order line object (clsPODetailD)
// owns one and drives its insert, reset, copy and delete.
#pragma once

#include <string>

#include "tarnlow/table_object.h"

namespace tarnlow {

// The base columns in alphabetical order (the currency under the name
// pOcurrency), then the dual-rate columns in the order of the interface.
#define TARNLOW_clsPOvhstD_PROPERTIES(X)                                                                    \
  X(Columns, VarianceHistoryTable, GetLet, accruals_reversed, analysis_a, analysis_b, analysis_c,           \
    analysis_d, analysis_e, analysis_f, auth_method)                                                        \
  X(Column, pOcurrency, VarianceHistoryTable::currency, GetLet)                                             \
  X(Columns, VarianceHistoryTable, GetLet, delivery_qty, delivery_qty_tol, dp_currency, dp_unit,            \
    grni_accrued, history_date, history_type, invoice, invoice_price, invoice_qty, invoice_rate,            \
    invoice_seq_no, operator_)                                                                              \
  X(ColumnAs, order_line_no, VarianceHistoryTable::order_line_no, Int16, GetLet)                            \
  X(Columns, VarianceHistoryTable, GetLet, order_no, order_price, order_rate, pev_accrued, pev_realised,    \
    plan_rate, ppv_accrued, ppv_realised, pqv_realised, product, receipt_no, receipt_qty, receipt_rate,     \
    receipt_seq_no)                                                                                         \
  X(ColumnAs, sequence_no, VarianceHistoryTable::sequence_no, Int16, GetLet)                                \
  X(Columns, VarianceHistoryTable, GetLet, std_cost_local, supplier, unit_code, warehouse)                  \
  X(Columns, VarianceHistoryRateTable, GetLet, receipt_rate2, receipt_op2, receipt_op1, receipt_rate1,      \
    invoice_rate2, invoice_op2, invoice_op1, invoice_rate1, order_rate2, order_op2, order_op1, order_rate1, \
    plan_rate2, plan_op2, plan_op1, plan_rate1)

class TARNLOW_API clsPOvhstD final : public TableClass<clsPOvhstD> {
  TARNLOW_TABLE_CLASS(clsPOvhstD, TARNLOW_clsPOvhstD_PROPERTIES)
  static constexpr std::string_view kLabelEnding = " Line#:";

  clsPOvhstD();

  // The connection lives in the statement holders alone: this is what the
  // insert's holder holds, with no check and no message when there is none.
  std::shared_ptr<Connection> SageConnection() { return insert_.Connection(); }
  using TableObject::SageConnection;

  // Writes the history row and, under the dual-rate option, its rate row.
  void InsertRow();
  // Empties the base texts and numbers; the order, line and rates stay.
  void Reset();
  // Copies the 42 base fields of the row; the rates are read from no table.
  void CopyFromRecordset(const Recordset& rst);
  // Copies the texts and the line, order and sequence numbers only: the
  // target's amounts, date and rates stay as they were.
  void CopyFrom(const clsPOvhstD& oPOVHstD);
  // Deletes the history rows (and rate rows) of every line of order_no.
  Variant DeleteForOrder();
  // Reads some history row of orderNo (no order is imposed); false, with the
  // properties unchanged, when the order has none.
  bool ReadFirstForOrder(const std::string& orderNo);

  // The base columns, in the order of the insert.
  static std::span<const ColumnInfo> BaseColumns();

 private:
  TARNLOW_LOCAL void PrepareInsertStatement();
  TARNLOW_LOCAL void AddParameters();
  TARNLOW_LOCAL void PrepareInsertEStatement();
  TARNLOW_LOCAL void AddParametersE();
  TARNLOW_LOCAL void SetParametersE();
  TARNLOW_LOCAL void ConnectionChanged() override;
  TARNLOW_LOCAL bool DualRate();
  TARNLOW_LOCAL void CopyFromRecordsetLate(const Variant& rst);

  StatementHolder insert_;
  StatementHolder insert_e_;
};

}  // namespace tarnlow
