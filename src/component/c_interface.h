// The C interface's handles seen from C++: how library code and tests turn
// an object into a handle of the caller's and back.
#pragma once

#include "tarnlow/object.h"
#include "tarnlow/tarnlow_c.h"

namespace tarnlow::capi {

// A new handle holding the object (null for no object); the caller releases
// it with tarnlow_object_release.
tarnlow_object* Wrap(ObjectPtr object);
// The object a handle holds; null for a null handle. A handle already
// released or never given out raises error 91.
ObjectPtr Unwrap(const tarnlow_object* handle);

}  // namespace tarnlow::capi
