// One nominal ledger movement of stock: account, amount, date and reference.
#pragma once

#include "tarnlow/table_object.h"

namespace tarnlow {

#define TARNLOW_clsSTNLMov_PROPERTIES(X)                                                               \
  X(Columns, NominalMovementTable, LetGet, account, amount_posted, comments, movement_date, post_flag, \
    tranaction_ref)

class TARNLOW_API clsSTNLMov final : public TableClass<clsSTNLMov> {
  TARNLOW_TABLE_CLASS(clsSTNLMov, TARNLOW_clsSTNLMov_PROPERTIES)

  clsSTNLMov();

  void PrepareInsertStatement();
  // Appends one movement from the properties. On a database of kind 2 each
  // row gets a fresh unique number, and a failed insert is offered to the
  // user once more under a new number; if that fails too the user is told
  // and the call still returns normally. Elsewhere the database's error
  // reaches the caller unchanged.
  void InsertRow();

 private:
  StatementHolder insert_;
};

}  // namespace tarnlow
