#pragma once

// Marks the library's public surface; the build keeps default visibility so
// that the test programs can reach the internal layers as well.
#define TARNLOW_API __attribute__((visibility("default")))
