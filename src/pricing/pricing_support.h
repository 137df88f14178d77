// What the pricing classes share: fixed-width key text and the late-bound
// face of the copy routines that take a row set.
#pragma once

#include <string>
#include <string_view>

#include "tarnlow/error.h"

namespace tarnlow::pricing {

// The text left-justified in exactly width characters: padded on the right
// with blanks, or cut.
inline std::string Fixed(std::string_view text, std::size_t width) {
  std::string out(text.substr(0, width));
  out.resize(width, ' ');
  return out;
}

// Late-bound callers have no row set to pass: whatever they pass is the
// wrong type.
[[noreturn]] inline void RaiseNotARowSet() {
  RaiseRuntime(err::TypeMismatch);
}

}  // namespace tarnlow::pricing
