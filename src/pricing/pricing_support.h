// What the pricing classes share: fixed-width key text, typed copies of
// column properties between two objects of a class, and the late-bound face
// of the copy routines that take a row set.
#pragma once

#include <string>
#include <string_view>

#include "tarnlow/error.h"
#include "tarnlow/object.h"

namespace tarnlow::pricing {

// The text left-justified in exactly width characters: padded on the right
// with blanks, or cut.
inline std::string Fixed(std::string_view text, std::size_t width) {
  std::string out(text.substr(0, width));
  out.resize(width, ' ');
  return out;
}

// Copies the named properties from one object to another of the same class,
// in the order named; the caches copy whole rows this way on every lookup.
template <class C, class... M>
void CopyProperties(C& to, const C& from, M C::*... members) {
  ((Field(to.*members) = Field(from.*members)), ...);
}

// Late-bound callers have no row set to pass: whatever they pass is the
// wrong type.
[[noreturn]] inline void RaiseNotARowSet() {
  RaiseRuntime(err::TypeMismatch);
}

}  // namespace tarnlow::pricing
