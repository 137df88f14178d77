#include "order/colPONLCodeD.h"

#include "framework/class_builder.h"

namespace tarnlow {

TARNLOW_DEFINE_COLLECTION(colPONLCodeD, "", "") {
  b.ClearList().Method<&Self::Add>("Add", {"oPONLCodeD", "sKey"}).Item().Count().Remove().NewEnum();
}

std::shared_ptr<clsPONLCodeD> colPONLCodeD::Add(clsPONLCodeD& oPONLCodeD, std::string& sKey) {
  return Append(NewCopy(oPONLCodeD), KeyUnlessEmpty(sKey));
}

}  // namespace tarnlow
