#include "pricing/colPOPDiscount.h"

#include "framework/class_builder.h"
#include "tarnlow/modules.h"

namespace tarnlow {

TARNLOW_DEFINE_COLLECTION(colPOPDiscount, "", "") {
  b.Method<&Self::Add>("Add", {"oPOPDiscountD"}).Item().Count().Remove().NewEnum().ClearList();
}

std::shared_ptr<clsPOPDiscountD> colPOPDiscount::Add(clsPOPDiscountD& oPOPDiscountD) {
  // The one collection operation with an error exit of its own.
  return WithErrorExit("Add of Class Module colPOPDiscount", [&](Line& line) {
    line = 10;
    auto copy = NewCopy(oPOPDiscountD);
    line = 20;
    const std::string key = copy->KeyString();
    line = 30;
    return Append(copy, key);
  });
}

}  // namespace tarnlow
