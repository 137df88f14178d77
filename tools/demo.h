#pragma once

#include <string_view>

// A whole goods receipt against a sample purchase order on a fresh database,
// printed as a before/after report.
int RunDemo(std::string_view connection_text);
// A whole purchase order written, read back through the walks, invoiced,
// copied to a new number and the copy deleted, each step summarised.
int RunOrderDemo(std::string_view connection_text);
