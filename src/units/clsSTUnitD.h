// The private twin of clsSTUnitDD: the same unit description object under its
// own class name, for code of the library that wants one of its own. Nothing
// creates it yet; its error labels are those of clsSTUnitDD.
#pragma once

#include "tarnlow/units/clsSTUnitDD.h"

namespace tarnlow {

class clsSTUnitD final : public clsSTUnitDD {
 public:
  static constexpr std::string_view kClassName = "clsSTUnitD";
  static const ClassInfo& Info();
  const ClassInfo& Class() const override { return Info(); }
};

}  // namespace tarnlow
