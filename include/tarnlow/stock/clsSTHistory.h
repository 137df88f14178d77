// One stock movement row of the movement history: appended either under the
// sequence number the caller chose or under the next free number for its
// warehouse, product and day.
#pragma once

#include <cstdint>
#include <string>

#include "tarnlow/table_object.h"

namespace tarnlow {

// `dated` is a date in memory; a kind-2 database keeps it as six-character
// date-key text, which is what its size below is for.
#define TARNLOW_clsSTHistory_PROPERTIES(X)                       \
  X(batch_number, Text, LetGet, "batch_number", 10)              \
  X(comments, Text, LetGet, "comments", 60)                      \
  X(dated, Date, LetGet, "dated", 6)                             \
  X(expiry_date, Date, LetGet, "expiry_date", 0)                 \
  X(from_bin_number, Text, LetGet, "from_bin_number", 10)        \
  X(lot_number, Text, LetGet, "lot_number", 10)                  \
  X(movement_cost, Double, LetGet, "movement_cost", 0)           \
  X(movement_date, Date, LetGet, "movement_date", 0)             \
  X(movement_quantity, Double, LetGet, "movement_quantity", 0)   \
  X(movement_reference, Text, LetGet, "movement_reference", 10)  \
  X(movement_source, Text, LetGet, "movement_source", 10)        \
  X(nl_category, Text, LetGet, "nl_category", 3)                 \
  X(opening_balance, Double, LetGet, "opening_balance", 0)       \
  X(product, Text, LetGet, "product", 20)                        \
  X(sequence_no, Text, LetGet, "sequence_no", 6)                 \
  X(serial_number, Text, LetGet, "serial_number", 20)            \
  X(spare, Text, LetGet, "spare", 48)                            \
  X(sub_contract_cost, Double, LetGet, "sub_contract_cost", 0)   \
  X(to_bin_number, Text, LetGet, "to_bin_number", 10)            \
  X(total_labour_cost, Double, LetGet, "total_labour_cost", 0)   \
  X(total_overhead_cos, Double, LetGet, "total_overhead_cos", 0) \
  X(transaction_type, Text, LetGet, "transaction_type", 4)       \
  X(user_id, Text, LetGet, "user_id", 8)                         \
  X(val_only_adj_ind, Text, LetGet, "val_only_adj_ind", 1)       \
  X(warehouse, Text, LetGet, "warehouse", 2)

class TARNLOW_API clsSTHistory final : public TableObject {
 public:
  clsSTHistory();
  TARNLOW_PROPERTIES(clsSTHistory, TARNLOW_clsSTHistory_PROPERTIES)

  static const ClassInfo& Info();
  const ClassInfo& Class() const override { return Info(); }

  void PrepareInsertStatement();
  void PrepareNextNumber();
  // Inserts the row under the next free sequence_no for its warehouse,
  // product and day and leaves that number in sequence_no. A number taken by
  // another writer in the meantime is answered with the one after it.
  void InsertNewHistory();
  // Inserts the row as it stands, sequence_no included.
  void InsertRow();

 private:
  void AddParameters();
  void SetInsertColumns();
  void SetNextColumns();
  // Gives a command's "dated" parameter its value in the database's form.
  void SetDated(Command& command);
  bool KeepsDateKeys();

  StatementHolder insert_;
  StatementHolder next_;
  bool insert_prepared_ = false;
  bool next_prepared_ = false;
};

}  // namespace tarnlow
