// A nominal code and the category it belongs to, as clients collect them
// in a colPONLAcc. No table and no behaviour.
#pragma once

#include "tarnlow/table_object.h"

namespace tarnlow {

#define TARNLOW_clsPONLAcc_PROPERTIES(X) \
  X(Value, Category, Text, GetLet)       \
  X(Value, NominalCode, Text, GetLet)

class TARNLOW_API clsPONLAcc final : public Object {
  TARNLOW_TABLE_CLASS(clsPONLAcc, TARNLOW_clsPONLAcc_PROPERTIES)

  const ClassInfo& Class() const override { return Info(); }
};

}  // namespace tarnlow
