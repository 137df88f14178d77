// The key-prefix test the three nominal analysis tables are deleted by: the
// first ten characters of record_key, which hold the blank-filled order
// number.
#pragma once

#include <string>

#include "tarnlow/connection.h"

namespace tarnlow::analysis {

// " where <first ten characters of record_key>  = '<order>'": kind 3 has
// left(), every other kind substr(). The order is quoted as the
// connection's database reads literals.
inline std::string OrderPrefixCondition(Connection& conn, const std::string& order) {
  return (conn.DatabaseKind() == 3 ? " where left(record_key, 10)  = "
                                   : " where substr(record_key, 1, 10)  = ") +
         conn.QuoteLiteral(order);
}

}  // namespace tarnlow::analysis
