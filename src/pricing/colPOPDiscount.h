// The discount cache of clsPOPDiscountD: one copy of every discount row,
// under its KeyString. Private to the library.
#pragma once

#include <memory>

#include "tarnlow/collection.h"
#include "tarnlow/pricing/clsPOPDiscountD.h"

namespace tarnlow {

class colPOPDiscount final : public Collection<colPOPDiscount, clsPOPDiscountD> {
  TARNLOW_COLLECTION_CLASS(colPOPDiscount)
  // Stores a copy of the member under the copy's KeyString; a key already
  // held (letter case aside) raises 457 with this operation in its source.
  std::shared_ptr<clsPOPDiscountD> Add(clsPOPDiscountD& oPOPDiscountD);
};

}  // namespace tarnlow
