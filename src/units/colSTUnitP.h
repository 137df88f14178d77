// The cache of clsSTUnitPD: copies of every product unit conversion, kept
// under their KeyString (letter case ignored).
#pragma once

#include <memory>

#include "tarnlow/collection.h"
#include "tarnlow/units/clsSTUnitPD.h"

namespace tarnlow {

class colSTUnitP final : public Collection<colSTUnitP, clsSTUnitPD> {
  TARNLOW_COLLECTION_CLASS(colSTUnitP)

  // Stores a copy under the KeyString of the object given; a key already in
  // the list raises 457 and stores nothing.
  std::shared_ptr<clsSTUnitPD> Add(clsSTUnitPD& oSTUnitPD);
};

}  // namespace tarnlow
