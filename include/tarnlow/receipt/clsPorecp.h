// The goods-receipt audit record: one row appended per receipt line.
#pragma once

#include "tarnlow/table_object.h"

namespace tarnlow {

// Kind-2 databases call the first column "comment"; its property and
// parameter are "commnt" everywhere.
#define TARNLOW_clsPorecp_PROPERTIES(X)                                                                    \
  X(Columns, ReceiptTable, LetGet, commnt, creation_date, date_received, date_required, delivery_no,       \
    foreign_cost, level_of_detail, local_cost, more_to_come_ind, order_no, originator_user_id, pl_company, \
    product, qty_booked_out, qty_received, qty_returned, receipt_no, return_code, return_number,           \
    return_text1, return_text2, spare, stock_unit_dp, supplier, unit_code, unit_factor, unit_group,        \
    unit_operand, warehouse)

class TARNLOW_API clsPorecp final : public TableClass<clsPorecp> {
  TARNLOW_TABLE_CLASS(clsPorecp, TARNLOW_clsPorecp_PROPERTIES)

  clsPorecp();

  // The class only writes; there is nothing to read.
  void PrepareReadStatement() {}
  // Prepares the insert for the database kind of this moment; it serves for
  // the object's life.
  void PrepareInsertStatement();
  // Appends one audit row from the properties (unit_code cut to 6
  // characters). On a database of kind 2 the row gets a fresh unique number
  // and a failed insert is retried once, under a new number, when the user
  // answers the prompt with OK; a second failure is only shown to the user.
  // Elsewhere the database's error reaches the caller unchanged.
  void InsertRow();

 private:
  TARNLOW_LOCAL void AddParameters();

  StatementHolder insert_;
};

}  // namespace tarnlow
