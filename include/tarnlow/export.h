#pragma once

// Marks the library's public surface: the shared library is built with
// hidden visibility, so only what carries this is exported.
#define TARNLOW_API __attribute__((visibility("default")))

// Keeps a private member of an exported class inside the library. Only for
// members that no inline code of the public headers reaches: a client
// compiling such code would need the symbol.
#define TARNLOW_LOCAL __attribute__((visibility("hidden")))
