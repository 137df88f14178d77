// Creating the tables of the ERP database that this library uses, in the
// layout that a connection's options describe.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "tarnlow/connection.h"

namespace tarnlow {

struct SchemaReport {
  std::vector<std::string> created;   // physical names of tables made now
  std::vector<std::string> existing;  // tables that were there and were left alone
};

// Creates every table that is missing; existing tables and their rows are
// left untouched. A database of a kind other than SQLite or PostgreSQL
// (reached through ODBC) gets no tables: a missing one raises an error.
TARNLOW_API SchemaReport CreateMissingTables(Connection& connection);

// Opens the connection of a connection text to look at a database that is
// there already: a missing SQLite file is an error record, not a new empty
// database.
TARNLOW_API std::shared_ptr<Connection> OpenExistingDatabase(std::string_view text);

// What keeps the database's tables from serving this library in the layout
// the connection's options choose, one line each: missing tables and
// columns, text columns narrower than the library writes, decimal columns
// with too few digits, columns whose type cannot hold the values, and
// missing unique keys. Empty when everything fits.
TARNLOW_API std::vector<std::string> CheckTables(Connection& connection);

// The statements that create one table ("sqlite" or "postgresql" dialect).
TARNLOW_API std::vector<std::string> CreateTableStatements(const ConnectionOptions& options,
                                                           CatalogueTable table, std::string_view dialect);

}  // namespace tarnlow
