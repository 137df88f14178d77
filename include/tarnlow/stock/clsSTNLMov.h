// One nominal ledger movement of stock: account, amount, date and reference.
#pragma once

#include "tarnlow/table_object.h"

namespace tarnlow {

#define TARNLOW_clsSTNLMov_PROPERTIES(X)               \
  X(account, Text, LetGet, "account", 16)              \
  X(amount_posted, Double, LetGet, "amount_posted", 0) \
  X(comments, Text, LetGet, "comments", 60)            \
  X(movement_date, Date, LetGet, "movement_date", 0)   \
  X(post_flag, Text, LetGet, "post_flag", 1)           \
  X(tranaction_ref, Text, LetGet, "tranaction_ref", 10)

class TARNLOW_API clsSTNLMov final : public TableObject {
 public:
  clsSTNLMov();
  TARNLOW_PROPERTIES(clsSTNLMov, TARNLOW_clsSTNLMov_PROPERTIES)

  static const ClassInfo& Info();
  const ClassInfo& Class() const override { return Info(); }

  void PrepareInsertStatement();
  // Appends one movement from the properties. On a database of kind 2 each
  // row gets a fresh unique number, and a failed insert is offered to the
  // user once more under a new number; if that fails too the user is told
  // and the call still returns normally. Elsewhere the database's error
  // reaches the caller unchanged.
  void InsertRow();

 private:
  bool insert_prepared_ = false;
  StatementHolder insert_;
};

}  // namespace tarnlow
