// Nominal code and category pairs, keyed by category (letter case ignored),
// as a client program collects them.
#pragma once

#include <memory>
#include <string>

#include "tarnlow/collection.h"
#include "tarnlow/order/clsPONLAcc.h"

namespace tarnlow {

class TARNLOW_API colPONLAcc final : public Collection<colPONLAcc, clsPONLAcc> {
  TARNLOW_COLLECTION_CLASS(colPONLAcc)
  // A new pair under the key Category. A category already held (letter
  // case aside) raises 457, an empty one 5; the list is then unchanged.
  std::shared_ptr<clsPONLAcc> Add(std::string& NominalCode, std::string& Category);
};

}  // namespace tarnlow
