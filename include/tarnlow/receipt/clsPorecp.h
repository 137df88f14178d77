// The goods-receipt audit record: one row appended per receipt line.
#pragma once

#include "tarnlow/table_object.h"

namespace tarnlow {

// Kind-2 databases call the first column "comment"; its parameter is
// "commnt" everywhere.
#define TARNLOW_clsPorecp_PROPERTIES(X)                        \
  X(commnt, Text, LetGet, "commnt", 20)                        \
  X(creation_date, Date, LetGet, "creation_date", 0)           \
  X(date_received, Date, LetGet, "date_received", 0)           \
  X(date_required, Date, LetGet, "date_required", 0)           \
  X(delivery_no, Text, LetGet, "delivery_no", 8)               \
  X(foreign_cost, Double, LetGet, "foreign_cost", 0)           \
  X(level_of_detail, Text, LetGet, "level_of_detail", 1)       \
  X(local_cost, Double, LetGet, "local_cost", 0)               \
  X(more_to_come_ind, Text, LetGet, "more_to_come_ind", 1)     \
  X(order_no, Text, LetGet, "order_no", 10)                    \
  X(originator_user_id, Text, LetGet, "originator_user_id", 8) \
  X(pl_company, Text, LetGet, "pl_company", 8)                 \
  X(product, Text, LetGet, "product", 20)                      \
  X(qty_booked_out, Double, LetGet, "qty_booked_out", 0)       \
  X(qty_received, Double, LetGet, "qty_received", 0)           \
  X(qty_returned, Double, LetGet, "qty_returned", 0)           \
  X(receipt_no, Text, LetGet, "receipt_no", 6)                 \
  X(return_code, Text, LetGet, "return_code", 10)              \
  X(return_number, Text, LetGet, "return_number", 10)          \
  X(return_text1, Text, LetGet, "return_text1", 60)            \
  X(return_text2, Text, LetGet, "return_text2", 60)            \
  X(spare, Text, LetGet, "spare", 48)                          \
  X(stock_unit_dp, Text, LetGet, "stock_unit_dp", 1)           \
  X(supplier, Text, LetGet, "supplier", 8)                     \
  X(unit_code, Text, LetGet, "unit_code", 6)                   \
  X(unit_factor, Double, LetGet, "unit_factor", 0)             \
  X(unit_group, Text, LetGet, "unit_group", 1)                 \
  X(unit_operand, Text, LetGet, "unit_operand", 1)             \
  X(warehouse, Text, LetGet, "warehouse", 2)

class TARNLOW_API clsPorecp final : public TableObject {
 public:
  clsPorecp();
  TARNLOW_PROPERTIES(clsPorecp, TARNLOW_clsPorecp_PROPERTIES)

  static const ClassInfo& Info();
  const ClassInfo& Class() const override { return Info(); }

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
  void AddParameters();

  bool insert_prepared_ = false;
  StatementHolder insert_;
};

}  // namespace tarnlow
