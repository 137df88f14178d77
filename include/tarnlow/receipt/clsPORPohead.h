// The few header columns of one purchase order that goods receipt needs:
// supplier, status, purchase-ledger company and currency. Read-only; the
// row is read with a literal statement and stays open until CloseIt.
#pragma once

#include <string>

#include "tarnlow/table_object.h"

namespace tarnlow {

#define TARNLOW_clsPORPohead_PROPERTIES(X)                  \
  X(Column, PLCurrency, OrderHeaderTable::currency, GetLet) \
  X(Columns, OrderHeaderTable, Get, pl_company, status, supplier, order_no)

class TARNLOW_API clsPORPohead final : public TableClass<clsPORPohead> {
  TARNLOW_TABLE_CLASS(clsPORPohead, TARNLOW_clsPORPohead_PROPERTIES)

  // Reads the header of the order and leaves the row open until CloseIt;
  // raises "Cannot find order ..." and keeps the properties when there is
  // none. Fails while the row of an earlier read is still open.
  void ReadIt(const std::string& sOrderNo);
  // Closes the row of the last read; does nothing when none is open.
  void CloseIt();

 private:
  Recordset rs_;
};

}  // namespace tarnlow
