#include "pricing/colPOPDiscount.h"

#include "framework/class_builder.h"
#include "tarnlow/modules.h"

namespace tarnlow {

TARNLOW_DEFINE_COLLECTION(colPOPDiscount, "", "") {
  b.Method<&Self::Add>("Add", {"oPOPDiscountD"}).Item().Count().Remove().NewEnum().ClearList();
}

std::shared_ptr<clsPOPDiscountD> colPOPDiscount::Add(clsPOPDiscountD& oPOPDiscountD) {
  // The one collection operation with an error exit of its own; its steps
  // carry no line numbers.
  return WithErrorExit("Add of Class Module colPOPDiscount", [&](Line&) {
    auto copy = NewCopy(oPOPDiscountD);
    return Append(copy, copy->KeyString());
  });
}

}  // namespace tarnlow
