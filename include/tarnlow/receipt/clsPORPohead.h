// The few header columns of one purchase order that goods receipt needs:
// supplier, status, purchase-ledger company and currency. Read-only; the
// row is read with a literal statement and stays open until CloseIt.
#pragma once

#include <string>

#include "tarnlow/table_object.h"

namespace tarnlow {

#define TARNLOW_clsPORPohead_PROPERTIES(X)   \
  X(PLCurrency, Text, GetLet, "currency", 0) \
  X(pl_company, Text, Get, "pl_company", 0)  \
  X(status, Text, Get, "status", 0)          \
  X(supplier, Text, Get, "supplier", 0)      \
  X(order_no, Text, Get, "order_no", 0)

class TARNLOW_API clsPORPohead final : public TableObject {
 public:
  clsPORPohead() = default;
  TARNLOW_PROPERTIES(clsPORPohead, TARNLOW_clsPORPohead_PROPERTIES)

  static const ClassInfo& Info();
  const ClassInfo& Class() const override { return Info(); }

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
