#pragma once

// Marks the library's public surface: the shared library is built with
// hidden visibility, so only what carries this is exported.
#define TARNLOW_API __attribute__((visibility("default")))

// Keeps a private member of an exported class inside the library. Only for
// members that no inline code of the public headers reaches: a client
// compiling such code would need the symbol. It acts where the library is
// compiled (TARNLOW_BUILDING_LIBRARY); in a client the declaration is plain,
// as the class macros that carry it may declare a client's own class, which
// can be local to its file and then has nothing to hide.
#ifdef TARNLOW_BUILDING_LIBRARY
#define TARNLOW_LOCAL __attribute__((visibility("hidden")))
#else
#define TARNLOW_LOCAL
#endif
