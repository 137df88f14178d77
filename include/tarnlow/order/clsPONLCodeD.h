// One nominal analysis entry of a purchase-order line: nominal, expense and
// job-costing codes with two amounts, numbered within the line by its page
// number and tied to the line by a composite record key. It owns the
// entry's project fields (a clsPONLExtD) and retention fields (a private
// companion), writes them with its own row, deletes all three kinds of row
// for an order, and walks the entries of one order line.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "tarnlow/order/clsPONLExtD.h"
#include "tarnlow/table_pieces.h"

namespace tarnlow {

class clsPONLCodeG;
class colPONLCodeD;

// Stored properties in interface order. page_number holds the number that
// the table keeps as six zero-padded digits.
#define TARNLOW_clsPONLCodeD_PROPERTIES(X)                                              \
  X(Value, InsertPONLExtD, Bool, LetGet)                                                \
  X(Value, LineNo, Int16, LetGet)                                                       \
  X(Value, orderNo, Text, LetGet)                                                       \
  X(Value, supplier, Text, LetGet)                                                      \
  X(Columns, NominalAnalysisTable, LetGet, code_value, exp_code, jc_code, nominal_code) \
  X(ColumnAs, page_number, NominalAnalysisTable::page_number, Int16, LetGet)            \
  X(Columns, NominalAnalysisTable, LetGet, record_type, sp_code_value)                  \
  X(Value, InsertPONLExtG, Bool, LetGet)

class TARNLOW_API clsPONLCodeD final : public TablePieces<clsPONLCodeD> {
  TARNLOW_TABLE_CLASS(clsPONLCodeD, TARNLOW_clsPONLCodeD_PROPERTIES)
  static constexpr std::string_view kLabelEnding = " Line#:";

  clsPONLCodeD();
  ~clsPONLCodeD() override;

  // page_number as six digits with leading zeros: what the table holds.
  std::string FormattedPageNumber() const;
  // The order line's key: orderNo right-aligned in 10 and LineNo (with its
  // sign position) in 4, behind supplier right-aligned in 8 for record
  // types other than "O". Fails (error 5) when a part does not fit.
  std::string record_key() const;

  // The project fields, held by the project companion.
  std::string exprev_code() const;
  void exprev_code(const std::string& value);
  std::string pr_period() const;
  void pr_period(const std::string& value);
  std::string proj_code() const;
  void proj_code(const std::string& value);
  // The retention fields, held by the retention companion.
  std::string retention_code() const;
  void retention_code(const std::string& value);
  std::string non_recov_vat() const;
  void non_recov_vat(const std::string& value);
  std::string retention_type() const;
  void retention_type(const std::string& value);

  void PrepareInsertStatement();
  // Writes the entry, then its project row (InsertPONLExtD, and only when
  // the project or expense/revenue code is not blank) and its retention row
  // (InsertPONLExtG). A companion that fails leaves the entry written.
  void InsertRow();
  // Deletes the entries, project and retention rows whose record key
  // starts with orderNo as given: blank-filled to ten characters, it is the
  // order of every "O" key.
  void DeleteForOrder();
  // Reads the entries of the line of orderNo and LineNo (record type "O"),
  // with their project fields, for ReadNextForOrderDetailLine.
  void StartReadForOrderDetailLine();
  // The next entry read into this object; false after the last.
  bool ReadNextForOrderDetailLine();
  // An entry from a row of the analysis table (joined with the project
  // table or not). jc_code and the retention fields are not read.
  void CopyFromRS(const Recordset& rs);
  // Every entry and project field of the other object; not the retention
  // fields or the two flags.
  void CopyFrom(const clsPONLCodeD& oFromPONLCodeD);
  // Walks the entries read last from the first again.
  void RestartReadForOrderDetailLine();

 private:
  TARNLOW_LOCAL void ConnectionChanged() override;
  TARNLOW_LOCAL void AddParameters();
  TARNLOW_LOCAL void SplitRecordKey(const std::string& key);
  TARNLOW_LOCAL void CopyFromRSLateBound(const ObjectPtr& rs);

  StatementHolder insert_;
  std::shared_ptr<clsPONLExtD> project_;
  std::shared_ptr<clsPONLCodeG> retention_;
  // The entries of the last read, created on first use, and the walk.
  std::shared_ptr<colPONLCodeD> read_list_;
  std::int32_t position_ = 0;
};

}  // namespace tarnlow
