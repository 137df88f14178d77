// Table layouts of the ERP database as this library reads and writes them.
// One description drives the DDL for every backend and every layout option.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "tarnlow/tables.h"

namespace tarnlow::schema {

enum class ColumnType : std::uint8_t {
  Text,     // variable-length text, at most `size` characters
  Number,   // 64-bit floating point
  Integer,  // 32-bit whole number
  Date,     // date and time
};

// When a column or key exists. A layout is chosen by the connection's options.
using When = tables::Layout;

struct Column {
  std::string_view name;
  ColumnType type;
  int size = 0;  // Text only
  When when = When::Always;
  // Kind 2 keeps some dates as 6-character date-key text: such a column is
  // declared here as Date and listed with `date_key_on_kind2 = true`.
  bool date_key_on_kind2 = false;
};

struct UniqueKey {
  std::vector<std::string_view> columns;
  When when = When::Always;
};

struct Table {
  std::string_view catalogue_property;  // e.g. "ServiceTable"
  std::string_view default_name;        // physical name unless overridden
  std::vector<Column> columns;
  std::vector<UniqueKey> unique_keys;
};

// All 29 tables, in the interface order of the table catalogue.
std::span<const Table> Tables();

struct Layout {
  int kind = 1;
  int release = 8;
  bool extended = true;
};

bool Applies(When when, const Layout& layout);

}  // namespace tarnlow::schema
