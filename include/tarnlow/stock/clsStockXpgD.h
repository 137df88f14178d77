// The stock extension row of a product in a warehouse: three more analysis
// codes, the delivery and call-off quantity tolerances and the consumer unit.
// The tolerances are text the library stores without reading them.
#pragma once

#include "tarnlow/table_pieces.h"

namespace tarnlow {

#define TARNLOW_clsStockXpgD_PROPERTIES(X)                                                   \
  X(Columns, StockExtensionTable, GetLet, call_off_qty_tol, delivery_qty_tol, consumer_unit) \
  X(Columns, StockExtensionTable, LetGet, warehouse)                                         \
  X(Columns, StockExtensionTable, GetLet, product, analysis_d, analysis_e, analysis_f)

class TARNLOW_API clsStockXpgD final : public TablePieces<clsStockXpgD> {
  TARNLOW_TABLE_CLASS(clsStockXpgD, TARNLOW_clsStockXpgD_PROPERTIES)

  clsStockXpgD();

  void PrepareReadStatement();
  void PrepareStkxpgmUpdateStatement();
  // Writes the six values of the row of warehouse and product; a row that
  // does not exist is left alone without complaint.
  void UpdateStock();
  // Reads the row of warehouse and product into every property; raises
  // "Cannot find Product ..." when there is none.
  void ReadIt();
  // Inserts a row with all eight values.
  void InsertRow();
  void PrepareInsertStatement();

 private:
  TARNLOW_LOCAL void CopyFromRecordset(const Recordset& rs);
  TARNLOW_LOCAL void SetParameters(StatementHolder& holder);
  TARNLOW_LOCAL void AddParameters(StatementHolder& holder);

  StatementHolder read_, update_, insert_;
};

}  // namespace tarnlow
