// The library's identity and version, for clients that check which library
// they have loaded.
#pragma once

#include <string>

#include "tarnlow/object.h"

namespace tarnlow {

class TARNLOW_API clsTarnlowSTDataVer final : public Object {
 public:
  static const ClassInfo& Info();
  const ClassInfo& Class() const override { return Info(); }

  // The library file's base name, ": " and the version, for example
  // "libtarnlowstdata: 1.0.71".
  const std::string& TarnlowSTDataVer() const;
};

}  // namespace tarnlow
