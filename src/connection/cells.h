// The one place where the library's values meet the values that cross the
// backend seam: how a parameter's value is bound, and how a cell of the
// current row becomes a value or goes into a property. Every engine's cells
// read the same way because these rules are written once, here.
#pragma once

#include <cmath>

#include "connection/backend.h"
#include "tarnlow/object.h"
#include "tarnlow/value.h"

namespace tarnlow::cells {

// A value as a placeholder takes it: Null and Empty bind as null, text as a
// view of the value's own text, numbers as they are (True as -1, the stored
// form the ERP database's clients expect), dates as dates. A number that is
// no number at all raises Overflow; an object raises Type mismatch.
inline EngineValue Binding(const Variant& value) {
  switch (value.Type()) {
    case VarType::Empty:
    case VarType::Null: return {};
    case VarType::String: return EngineValue::Text(*value.AsText());
    case VarType::Double: return EngineValue::Real(value.ToDouble());
    case VarType::Integer:
    case VarType::Long: return EngineValue::Integer(value.ToInt32());
    case VarType::Boolean: return EngineValue::Integer(value.ToBool() ? -1 : 0);
    case VarType::Date: return EngineValue::OfDate(value.ToDate());
    case VarType::Object: break;
  }
  RaiseRuntime(err::TypeMismatch);
}

// A cell as a value: whole numbers that fit 32 bits as Long, larger ones as
// Double; text into `out`'s own storage.
void Store(const EngineValue& cell, Variant& out);
Variant ValueOf(const EngineValue& cell);

// A cell into a property as a copy routine stores it: text into a text
// property and numbers into a double property straight from the cell,
// anything else through its value and the property's conversion.
// `scratch` holds that value.
inline void CopyInto(const CellCopy& copy, const EngineValue& cell, Variant& scratch) {
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
