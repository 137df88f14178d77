// The entries a nominal analysis read found, in the order it found them.
// Private to clsPONLCodeD, which adds every entry without a key.
#pragma once

#include <memory>
#include <string>

#include "tarnlow/collection.h"
#include "tarnlow/order/clsPONLCodeD.h"

namespace tarnlow {

class colPONLCodeD final : public Collection<colPONLCodeD, clsPONLCodeD> {
  TARNLOW_COLLECTION_CLASS(colPONLCodeD)
  // Stores a copy of the entry, under the key when it is not empty.
  std::shared_ptr<clsPONLCodeD> Add(clsPONLCodeD& oPONLCodeD, std::string& sKey);
};

}  // namespace tarnlow
