// What the pricing classes share: fixed-width key text, field positions for
// whole-table loads, and the late-bound face of the copy routines that take
// a row set.
#pragma once

#include <string>
#include <string_view>

#include "tarnlow/connection.h"
#include "tarnlow/error.h"
#include "tarnlow/name_index.h"

namespace tarnlow::pricing {

// The text left-justified in exactly width characters, padded on the right
// with blanks or cut, appended to `out`: keys of several parts are built in
// one string.
inline void AppendFixed(std::string& out, std::string_view text, std::size_t width) {
  const std::size_t start = out.size();
  out.append(text.substr(0, width));
  out.resize(start + width, ' ');
}

// The position of a row set's field, its name compared without regard to
// letter case, as a lookup by name would find it; a load asks once and then
// reads every row by position. Raises "Item cannot be found ..." when the
// row set has no such field.
inline std::size_t FieldPosition(const Recordset& rs, std::string_view name) {
  for (std::size_t i = 0; i < rs.FieldCount(); ++i)
    if (SameName(name, rs.FieldName(i))) return i;
  RaiseRuntime(err::ItemNotFound);
}

// Late-bound callers have no row set to pass: whatever they pass is the
// wrong type.
[[noreturn]] inline void RaiseNotARowSet() {
  RaiseRuntime(err::TypeMismatch);
}

}  // namespace tarnlow::pricing
