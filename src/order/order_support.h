// What the order classes share: the literal statements that name an order,
// the four-character line number, and the late-bound face of the copy
// routines that take a row set.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "tarnlow/connection.h"
#include "tarnlow/error.h"
#include "tarnlow/modules.h"

namespace tarnlow::order {

// The line number as the order tables key it: right-aligned in four
// characters ("   7").
inline std::string LineKey(std::int16_t line) {
  return RightJustify(line, 4);
}

// " where order_no = 'P1'": the order number goes in as a literal quoted by
// the connection, so an apostrophe in it stays part of the number.
inline std::string WhereOrder(Connection& connection, std::string_view order_no) {
  return " where order_no = " + connection.QuoteLiteral(order_no);
}

// The walk over an order's lines, in line order. With the analysis row the
// lines are outer-joined with it, in the dialect of the database's kind:
// kind 0 writes the outer join with "(+)", every other kind with
// "left outer join". The order number comes quoted ('P1').
inline std::string LineWalkStatement(std::int16_t kind, bool with_analysis, std::string_view line_table,
                                     std::string_view analysis_table, std::string_view quoted_order_no) {
  std::string sql;
  if (!with_analysis) {
    sql = "select * from ";
    sql += line_table;
    sql += " where order_no = ";
    sql += quoted_order_no;
    sql += " order by order_line_no";
    return sql;
  }
  sql =
      "select A.*, B.order_line_no as detpglineno, analysis_a, analysis_b, analysis_c, analysis_d, "
      "analysis_e, "
      "analysis_f, "
      "delivery_qty_tol, invoice_price_tol, invoice_qty_tol, invoice_value_tol from ";
  sql += line_table;
  if (kind == 0) {
    sql += " A, ";
    sql += analysis_table;
    sql += " B where A.order_no = B.order_no(+) and A.order_line_no = B.order_line_no(+) ";
    sql += "and A.order_no = ";
    sql += quoted_order_no;
  } else {
    sql += " A left outer join  ";
    sql += analysis_table;
    sql += " B on A.order_no = B.order_no and A.order_line_no = B.order_line_no ";
    sql += " where A.order_no = ";
    sql += quoted_order_no;
  }
  sql += " order by A.order_line_no";
  return sql;
}

// Row sets never reach late-bound callers, so a late-bound call of a copy
// routine that takes one can only be given something else.
[[noreturn]] inline void RaiseNotARowSet() {
  RaiseRuntime(err::TypeMismatch);
}

}  // namespace tarnlow::order
