// Operators and built-in functions of the script language, with the value
// rules late-bound clients expect: integers widen instead of overflowing,
// "+" joins two texts, Null passes through most operators, a value that
// does not convert raises 13 "Type mismatch", and a result past the largest
// double or outside the date range raises 6 "Overflow".
#pragma once

#include <span>

#include "ast.h"
#include "tarnlow/object.h"
#include "tarnlow/value.h"

namespace tarnlow::script {

Variant ApplyUnary(Op op, const Variant& value);
Variant ApplyBinary(Op op, const Variant& left, const Variant& right);
// What TypeLibInfo() gives: the type library's facts as an object.
ObjectPtr TypeLibraryObject();
// The built-in functions that need nothing but their arguments.
Variant ApplyBuiltin(Builtin builtin, std::span<const Variant> args);

}  // namespace tarnlow::script
