// The key-prefix test the three nominal analysis tables are deleted by: the
// first ten characters of record_key, which hold the blank-filled order
// number.
#pragma once

#include <cstdint>
#include <string>

#include "connection/sql_text.h"

namespace tarnlow::analysis {

// " where <first ten characters of record_key>  = '<order>'": kind 3 has
// left(), every other kind substr().
inline std::string OrderPrefixCondition(std::int16_t kind_of_database, const std::string& order) {
  return (kind_of_database == 3 ? " where left(record_key, 10)  = "
                                : " where substr(record_key, 1, 10)  = ") +
         sqltext::QuoteLiteral(order);
}

}  // namespace tarnlow::analysis
