// Small text routines the library's lookups share.
#pragma once

#include <string>
#include <string_view>

namespace tarnlow {

// Names are compared without regard to letter case: lookups key on this form.
inline std::string LowerCase(std::string_view s) {
  std::string out(s);
  for (char& c : out)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');  // ASCII only, whatever the locale
  return out;
}

}  // namespace tarnlow
