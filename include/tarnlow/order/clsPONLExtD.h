// The project fields of one nominal analysis entry of an order line
// (project, expense or revenue code, period), keyed like the entry by its
// record key and page number. A clsPONLCodeD owns one and writes it with
// its own row; clients may also use it alone.
#pragma once

#include <string>

#include "tarnlow/table_pieces.h"

namespace tarnlow {

#define TARNLOW_clsPONLExtD_PROPERTIES(X)                                                              \
  X(Columns, ProjectAnalysisTable, LetGet, page_number, exprev_code, pr_period, proj_code, record_key, \
    record_type)

class TARNLOW_API clsPONLExtD final : public TablePieces<clsPONLExtD> {
  TARNLOW_TABLE_CLASS(clsPONLExtD, TARNLOW_clsPONLExtD_PROPERTIES)
  static constexpr std::string_view kLabelEnding = " Line#:";

  clsPONLExtD();

  void PrepareInsertStatement();
  void InsertRow();
  // Deletes the rows whose record key starts with sOrderNo as given: the
  // ten-character, blank-filled order number of the key. The result is
  // always Empty.
  Variant DeleteForOrder(std::string& sOrderNo);
  // Reads the first row under record_key; raises the object error (with no
  // description of its own) when there is none.
  void ReadForOrderLine();
  void CopyFrom(const clsPONLExtD& oFromPONLExtD);
  // Every column from the current row, a Null giving empty text.
  void CopyFromRS(const Recordset& rs);

 private:
  TARNLOW_LOCAL void AddParameters();
  TARNLOW_LOCAL void CopyFromRSLateBound(const ObjectPtr& rs);

  StatementHolder insert_;
};

}  // namespace tarnlow
