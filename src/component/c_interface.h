// The C interface's handles seen from C++: how library code and tests turn
// an object into a handle of the caller's and back.
#pragma once

#include "tarnlow/object.h"
#include "tarnlow/tarnlow_c.h"

namespace tarnlow::capi {

// A new handle holding the object; the caller releases it with
// tarnlow_object_release.
tarnlow_object* Wrap(ObjectPtr object);
// The object a handle holds; null for a null handle.
ObjectPtr Unwrap(const tarnlow_object* handle);

}  // namespace tarnlow::capi
