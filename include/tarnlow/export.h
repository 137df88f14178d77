#pragma once

// Marks the library's public surface: the shared library is built with
// hidden visibility, so only what carries this is exported.
#define TARNLOW_API __attribute__((visibility("default")))
