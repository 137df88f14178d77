// A service item read by its code: its cost and unit.
#pragma once

#include <memory>

#include "tarnlow/table_object.h"

namespace tarnlow {

#define TARNLOW_clsPORService_PROPERTIES(X) \
  X(cost, Double, Get, "cost", 0)           \
  X(unit_code, Text, Get, "unit_code", 0)   \
  X(Service, Text, GetLet, "service", 20)

class TARNLOW_API clsPORService final : public TableObject {
 public:
  clsPORService();
  TARNLOW_PROPERTIES(clsPORService, TARNLOW_clsPORService_PROPERTIES)

  static const ClassInfo& Info();
  const ClassInfo& Class() const override { return Info(); }

  void PrepareReadStatement();
  // Reads the item whose code is in Service; raises "Cannot find service
  // item ..." and keeps the properties when there is none.
  void ReadIt();

 private:
  StatementHolder read_;
  std::shared_ptr<Recordset> rs_;
};

}  // namespace tarnlow
