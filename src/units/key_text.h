// Fixed-width pieces of the keys under which unit conversions are cached.
#pragma once

#include <cstddef>
#include <string>

namespace tarnlow {

// The text left-aligned in exactly width characters: padded with blanks, or
// cut to its first width characters.
inline std::string LeftJustify(const std::string& text, std::size_t width) {
  std::string out = text.substr(0, width);
  out.resize(width, ' ');
  return out;
}

}  // namespace tarnlow
