// The rows of one supplier, price list and product, loaded for a walk by
// clsPOPPriceListD. Private to the library.
#pragma once

#include <memory>
#include <string>

#include "tarnlow/collection.h"
#include "tarnlow/pricing/clsPOPPriceListD.h"

namespace tarnlow {

class colPOPPriceList final : public Collection<colPOPPriceList, clsPOPPriceListD> {
  TARNLOW_COLLECTION_CLASS(colPOPPriceList)
  // Stores a copy of the member, under the key when it is not empty.
  std::shared_ptr<clsPOPPriceListD> Add(clsPOPPriceListD& oPOPPriceListD, std::string& sKey);
};

}  // namespace tarnlow
