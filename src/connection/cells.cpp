#include "connection/cells.h"

#include <cmath>
#include <limits>

namespace tarnlow::cells {

void Store(const EngineValue& cell, Variant& out) {
  switch (cell.kind) {
    case EngineValue::Kind::Null: out = Variant(Null); return;
    case EngineValue::Kind::Integer:
      if (cell.integer >= std::numeric_limits<std::int32_t>::min() &&
          cell.integer <= std::numeric_limits<std::int32_t>::max())
        out = Variant(static_cast<std::int32_t>(cell.integer));
      else
        out = Variant(static_cast<double>(cell.integer));
      return;
    case EngineValue::Kind::Real: out = Variant(cell.real); return;
    case EngineValue::Kind::Text: out.AssignText(cell.text); return;
    case EngineValue::Kind::Date: out = Variant(cell.date); return;
  }
}

Variant ValueOf(const EngineValue& cell) {
  Variant v;
  Store(cell, v);
  return v;
}

void CopyInto(const CellCopy& copy, const EngineValue& cell, Variant& scratch) {
  if (copy.kind == CellCopy::Text && cell.kind == EngineValue::Kind::Text) {
    ReplaceText(*static_cast<std::string*>(copy.out), cell.text);
    return;
  }
  if (copy.kind == CellCopy::Number) {
    // An infinity goes through the value, whose conversion raises Overflow.
    if (cell.kind == EngineValue::Kind::Integer) {
      *static_cast<double*>(copy.out) = static_cast<double>(cell.integer);
      return;
    }
    if (cell.kind == EngineValue::Kind::Real && std::isfinite(cell.real)) {
      *static_cast<double*>(copy.out) = cell.real;
      return;
    }
  }
  Store(cell, scratch);
  copy.convert(copy.out, scratch);
}

}  // namespace tarnlow::cells
