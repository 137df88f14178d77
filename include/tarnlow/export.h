#pragma once

// The library's public surface: all else is hidden.
#define TARNLOW_API __attribute__((visibility("default")))

// Keeps a private member of an exported class, one no inline code of the
// public headers reaches, inside the library. Plain in a client, whose own
// class the class macros may declare local to its file.
#ifdef TARNLOW_BUILDING_LIBRARY
#define TARNLOW_LOCAL __attribute__((visibility("hidden")))
#else
#define TARNLOW_LOCAL
#endif
