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

}  // namespace tarnlow::cells
