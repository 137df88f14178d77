// The retention fields of one nominal analysis entry (retention code,
// non-recoverable VAT, retention type). Private: it exists only as the
// companion a clsPONLCodeD writes and deletes with its own rows.
#pragma once

#include <string>

#include "tarnlow/table_pieces.h"

namespace tarnlow {

#define TARNLOW_clsPONLCodeG_PROPERTIES(X)                                                               \
  X(Columns, RetentionAnalysisTable, LetGet, page_number, retention_code, non_recov_vat, retention_type, \
    record_key, record_type)

class clsPONLCodeG final : public TablePieces<clsPONLCodeG> {
  TARNLOW_TABLE_CLASS(clsPONLCodeG, TARNLOW_clsPONLCodeG_PROPERTIES)
  static constexpr std::string_view kLabelEnding = " Line#:";

  clsPONLCodeG();

  void PrepareInsertStatement();
  void InsertRow();
  // As clsPONLExtD::DeleteForOrder, on the retention rows.
  Variant DeleteForOrder(std::string& sOrderNo);

 private:
  void AddParameters();

  StatementHolder insert_;
};

}  // namespace tarnlow
