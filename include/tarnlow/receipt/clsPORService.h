// A service item read by its code: its cost and unit.
#pragma once

#include "tarnlow/table_pieces.h"

namespace tarnlow {

#define TARNLOW_clsPORService_PROPERTIES(X)      \
  X(Columns, ServiceTable, Get, cost, unit_code) \
  X(Column, Service, ServiceTable::service, GetLet)

class TARNLOW_API clsPORService final : public TablePieces<clsPORService> {
  TARNLOW_TABLE_CLASS(clsPORService, TARNLOW_clsPORService_PROPERTIES)

  clsPORService();

  void PrepareReadStatement();
  // Reads the item whose code is in Service; raises "Cannot find service
  // item ..." and keeps the properties when there is none.
  void ReadIt();

 private:
  StatementHolder read_;
};

}  // namespace tarnlow
