#include "tarnlow/order/clsPONLAcc.h"

#include "framework/class_builder.h"
#include "tarnlow/order/colPONLAcc.h"

namespace tarnlow {

TARNLOW_DEFINE_CLASS(clsPONLAcc, TARNLOW_clsPONLAcc_PROPERTIES, "{A0137281-EB0C-4172-9BE6-6BA2A613D6CD}",
                     "{8E2E65CF-8606-426A-8D0F-F5582833B9FC}") {
  b.Creatable().Properties();
}

TARNLOW_DEFINE_COLLECTION(colPONLAcc, "{657E125E-6479-4458-BC28-C85C19E48CFF}",
                          "{164DE225-1455-4732-9904-387EDCB23AB3}") {
  b.Creatable()
      .Method<&Self::Add>("Add", {"NominalCode", "Category"})
      .ClearList()
      .Item()
      .Count()
      .Remove()
      .NewEnum();
}

std::shared_ptr<clsPONLAcc> colPONLAcc::Add(std::string& NominalCode, std::string& Category) {
  auto pair = std::make_shared<clsPONLAcc>();
  pair->NominalCode = NominalCode;
  pair->Category = Category;
  return Append(pair, Category);
}

}  // namespace tarnlow
