// What reached a connection's database, for tests and benchmarks that check
// a statement was compiled or run once; readable without the backend seam.
#pragma once

#include <cstdint>

#include "tarnlow/connection.h"

namespace tarnlow {

struct ConnectionStatistics {
  std::int64_t prepares = 0;            // statement texts compiled by the database
  std::int64_t executions = 0;          // statements run (prepared or literal)
  std::int64_t catalogue_requests = 0;  // calls of TableCatalogue()
};

// The counts of the open database connection; raises 3704 when unopened.
TARNLOW_API const ConnectionStatistics& Statistics(Connection& connection);

}  // namespace tarnlow
