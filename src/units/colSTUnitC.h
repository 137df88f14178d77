// A list of unit conversions, each a copy kept under its KeyString. Private:
// nothing in the library fills one yet, and clients cannot create it.
#pragma once

#include <memory>

#include "tarnlow/collection.h"
#include "tarnlow/units/clsSTUnitCD.h"

namespace tarnlow {

class colSTUnitC final : public Collection<colSTUnitC, clsSTUnitCD> {
  TARNLOW_COLLECTION_CLASS(colSTUnitC)

  std::shared_ptr<clsSTUnitCD> Add(clsSTUnitCD& oSTUnitCD);
};

}  // namespace tarnlow
