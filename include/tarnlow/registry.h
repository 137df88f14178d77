// The class registry: every public class under its class name and class
// identity, so that clients can create objects by either.
#pragma once

#include <span>
#include <string_view>
#include <vector>

#include "tarnlow/object.h"

namespace tarnlow {

class TARNLOW_API Registry {
 public:
  using InfoFunction = const ClassInfo& (*)();
  // Called once per class, at load time, by TARNLOW_REGISTER_CLASS.
  static bool Add(InfoFunction info);
  // Every registered class.
  static std::vector<const ClassInfo*> Classes();
  // By class name (letter case ignored) or class identity in braces; null when unknown.
  static const ClassInfo* Find(std::string_view name_or_identity);
};

// A fresh object of a creatable class; an unknown name or identity raises
// error 429 naming it.
TARNLOW_API ObjectPtr CreateObject(std::string_view name_or_identity);
// True when no library object is alive.
TARNLOW_API bool CanUnloadNow();

}  // namespace tarnlow

// Registers a class in its own source file.
#define TARNLOW_REGISTER_CLASS(Class) \
  [[maybe_unused]] static const bool tarnlow_registered_##Class = ::tarnlow::Registry::Add(&Class::Info);
