// Late-bound access: reaching an object's members by name at run time, the
// way clients that create objects by class name talk to them.
//
// Member names are compared ignoring letter case. Values are converted as a
// property assignment converts them: "7" given to a 16-bit property stores 7,
// a number given to a text property stores its text, and a value that does
// not convert raises error 13 "Type mismatch" (a number out of range raises
// 6 "Overflow", Null where a value is needed 94 "Invalid use of Null"); a
// failed assignment leaves the property as it was.
//
// Errors, all with the runtime's source:
//   438 "Object doesn't support this property or method": the class has no
//       member of that name, or the member lacks the accessor asked for:
//       reading a property that has no get, assigning (let) to a property
//       that has no let (a read-only property such as `cost`, or an object
//       property, which takes set), setting (set) a property that has no set,
//       or assigning to an operation;
//   450 "Wrong number of arguments or invalid property assignment": an
//       operation called with the wrong number of arguments, or a property
//       reached with arguments it does not take;
//   424 "Object required": set given a value that is not an object.
//
// Operations may be read like properties (their result, or Empty for an
// operation without one), and a property may be called like an operation
// without arguments (its value).
#pragma once

#include <initializer_list>
#include <span>
#include <string_view>

#include "tarnlow/object.h"

namespace tarnlow::late {

// The member of that name, letter case ignored; raises 438 when the class has none.
TARNLOW_API const MemberInfo& Resolve(const ClassInfo& info, std::string_view member);

// Runs a resolved member. For Let and Set the value is the last argument.
// Arguments the member takes by reference are written back into `args`.
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
