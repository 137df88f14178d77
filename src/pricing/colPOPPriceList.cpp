#include "pricing/colPOPPriceList.h"

#include "framework/class_builder.h"

namespace tarnlow {

TARNLOW_DEFINE_COLLECTION(colPOPPriceList, "", "") {
  b.Method<&Self::Add>("Add", {"oPOPPriceListD", "sKey"}).ClearList().Item().Count().Remove().NewEnum();
}

std::shared_ptr<clsPOPPriceListD> colPOPPriceList::Add(clsPOPPriceListD& oPOPPriceListD, std::string& sKey) {
  return Append(NewCopy(oPOPPriceListD), KeyUnlessEmpty(sKey));
}

}  // namespace tarnlow
