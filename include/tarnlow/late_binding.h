// Late-bound access: an object's members by name (letter case ignored) at
// run time. Values convert as a property assignment converts them ("7" to a
// 16-bit property stores 7); one that does not raises 13 (6 out of range, 94
// for Null) and leaves the property as it was. Errors, runtime source:
//   438: no such member, or it lacks the accessor asked for (get, let, set;
//        an object property takes set, an operation no assignment);
//   450: wrong number of arguments, or arguments a property does not take;
//   424: set given a value that is not an object.
// An operation may be read like a property (its result, or Empty), and a
// property called like an operation without arguments.
#pragma once

#include <initializer_list>
#include <span>
#include <string_view>

#include "tarnlow/object.h"

namespace tarnlow::late {

// The member of that name, letter case ignored; raises 438 when the class has none.
TARNLOW_API const MemberInfo& Resolve(const ClassInfo& info, std::string_view member);

// Runs a resolved member (Let and Set: value last; by-reference arguments
// are written back into `args`).
TARNLOW_API Variant Invoke(Object& object, const MemberInfo& member, CallKind call, std::span<Variant> args);

// The value of a property (or the result of an operation).
TARNLOW_API Variant Get(Object& object, std::string_view member);
TARNLOW_API Variant Get(Object& object, std::string_view member, std::span<Variant> args);
// Assigns a value to a property, converted to the property's type.
TARNLOW_API void Let(Object& object, std::string_view member, Variant value);
// Assigns an object (or Nothing) to an object property.
TARNLOW_API void Set(Object& object, std::string_view member, ObjectPtr value);
// Calls an operation; arguments it takes by reference come back in `args`.
TARNLOW_API Variant Call(Object& object, std::string_view member, std::span<Variant> args);
// Calls an operation with argument values.
TARNLOW_API Variant Call(Object& object, std::string_view member, std::initializer_list<Variant> args = {});

}  // namespace tarnlow::late
