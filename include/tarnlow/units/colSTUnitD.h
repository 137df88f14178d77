// A client's list of unit descriptions, each a copy of the unit it was given,
// kept under its unit code (letter case ignored).
#pragma once

#include <memory>

#include "tarnlow/collection.h"
#include "tarnlow/units/clsSTUnitDD.h"

namespace tarnlow {

class TARNLOW_API colSTUnitD final : public Collection<colSTUnitD, clsSTUnitDD> {
  TARNLOW_COLLECTION_CLASS(colSTUnitD)

  // Stores a copy of the unit under its KeyString and returns the copy; a
  // code already in the list raises 457 and stores nothing.
  std::shared_ptr<clsSTUnitDD> Add(clsSTUnitDD& oSTUnitDD);
};

}  // namespace tarnlow
