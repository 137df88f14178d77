// One stock movement row of the movement history: appended either under the
// sequence number the caller chose or under the next free number for its
// warehouse, product and day.
#pragma once

#include <cstdint>
#include <string>

#include "tarnlow/table_pieces.h"

namespace tarnlow {

// `dated` is a date in memory; a kind-2 database keeps it as six-character
// date-key text, which is what its size below is for.
#define TARNLOW_clsSTHistory_PROPERTIES(X) X(Table, StockHistoryTable, LetGet)

class TARNLOW_API clsSTHistory final : public TablePieces<clsSTHistory> {
  TARNLOW_TABLE_CLASS(clsSTHistory, TARNLOW_clsSTHistory_PROPERTIES)

  clsSTHistory();

  void PrepareInsertStatement();
  void PrepareNextNumber();
  // Inserts the row under the next free sequence_no for its warehouse,
  // product and day and leaves that number in sequence_no. A number taken by
  // another writer in the meantime is answered with the one after it.
  void InsertNewHistory();
  // Inserts the row as it stands, sequence_no included.
  void InsertRow();

 private:
  TARNLOW_LOCAL void AddParameters();
  TARNLOW_LOCAL void SetInsertColumns();
  TARNLOW_LOCAL void SetNextColumns();

  StatementHolder insert_;
  StatementHolder next_;
};

}  // namespace tarnlow
