// Stand-in for the outside unique-identifier function: single-byte text,
// different on every call. Its first eight characters are unique across calls
// and across the processes of one machine: they encode a counter that the
// processes share through a locked file and that never falls behind the clock.
#pragma once

#include <string>

namespace tarnlow::uniqueid {

// Twelve printable characters; may contain an apostrophe, never an "X".
std::string Next();

}  // namespace tarnlow::uniqueid
