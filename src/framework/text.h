// Small text routines the library's lookups share.
#pragma once

#include <string>
#include <string_view>

#include "tarnlow/name_index.h"

namespace tarnlow {

inline std::string LowerCase(std::string_view s) {
  std::string out(s);
  for (char& c : out) c = FoldCase(c);
  return out;
}

// `lower` (already folded) against `name`, folding `name` as it goes.
inline bool SameLowerCase(std::string_view lower, std::string_view name) {
  if (lower.size() != name.size()) return false;
  for (std::size_t i = 0; i < name.size(); ++i)
    if (FoldCase(name[i]) != lower[i]) return false;
  return true;
}

}  // namespace tarnlow
