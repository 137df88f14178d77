// What a connection counts of the work that reached its database, for the
// tests and benchmarks that check a statement was compiled or run only once.
// Apart from the database connection so that a program linking the shared
// library can read it without the backend seam.
#pragma once

#include <cstdint>

#include "tarnlow/connection.h"

namespace tarnlow {

// Counts the connection keeps so that callers can see what reached the database.
struct ConnectionStatistics {
  std::int64_t prepares = 0;            // statement texts compiled by the database
  std::int64_t executions = 0;          // statements run (prepared or literal)
  std::int64_t catalogue_requests = 0;  // calls of TableCatalogue()
};

// The counts of the connection object's open database connection; raises
// "Operation is not allowed when the object is closed." when unopened.
TARNLOW_API const ConnectionStatistics& Statistics(Connection& connection);

}  // namespace tarnlow
