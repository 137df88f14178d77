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

// Creates every missing table, leaving existing ones alone; through ODBC, a
// database other than SQLite or PostgreSQL gets none (a missing one raises).
TARNLOW_API SchemaReport CreateMissingTables(Connection& connection);

// Opens an existing database: a missing SQLite file is an error, not a new one.
TARNLOW_API std::shared_ptr<Connection> OpenExistingDatabase(std::string_view text);

// One line per thing that keeps the tables from serving the connection's
// layout (missing tables, columns or keys; columns too narrow or of a type
// that cannot hold the values); empty when everything fits.
TARNLOW_API std::vector<std::string> CheckTables(Connection& connection);

// The statements that create one table ("sqlite" or "postgresql" dialect).
TARNLOW_API std::vector<std::string> CreateTableStatements(const ConnectionOptions& options,
                                                           CatalogueTable table, std::string_view dialect);

}  // namespace tarnlow
