// The analysis and tolerance row of one order line: six free analysis codes
// and four tolerances held as text. The order line object (clsPODetailD)
// owns one, hands it its connection, order number and line number, and
// drives its insert, reset, copy and delete.
#pragma once

#include "tarnlow/table_object.h"

namespace tarnlow {

#define TARNLOW_clsPODetpgD_PROPERTIES(X)                                                                \
  X(Columns, OrderLineAnalysisTable, GetLet, analysis_a, analysis_b, analysis_c, analysis_d, analysis_e, \
    analysis_f, delivery_qty_tol, invoice_price_tol, invoice_qty_tol, invoice_value_tol)                 \
  X(ColumnAs, order_line_no, OrderLineAnalysisTable::order_line_no, Int16, GetLet)                       \
  X(Columns, OrderLineAnalysisTable, GetLet, order_no)

class TARNLOW_API clsPODetpgD final : public TableClass<clsPODetpgD> {
  TARNLOW_TABLE_CLASS(clsPODetpgD, TARNLOW_clsPODetpgD_PROPERTIES)

  clsPODetpgD();

  // The connection lives in the statement holders alone: this is what the
  // insert's holder holds, with no check and no message when there is none.
  std::shared_ptr<Connection> SageConnection() { return insert_.Connection(); }
  using TableObject::SageConnection;

  // Writes the row of order_no and order_line_no.
  void InsertRow();
  // Empties the analysis codes and tolerances; the line stays the same.
  void Reset();
  // Copies the row's twelve fields by name; Null gives empty text. The
  // line number must be a number.
  void CopyFromRecordset(const Recordset& rst);
  void CopyFrom(const clsPODetpgD& oPODetpgD);
  // Deletes the rows of every line of order_no.
  Variant DeleteForOrder();

 private:
  TARNLOW_LOCAL void PrepareInsertStatement();
  TARNLOW_LOCAL void AddParameters();
  void ConnectionChanged() override { insert_.Prepared(false); }
  // The late-bound faces of the two copies.
  TARNLOW_LOCAL void CopyFromRecordsetLate(const Variant& rst);

  StatementHolder insert_;
};

}  // namespace tarnlow
