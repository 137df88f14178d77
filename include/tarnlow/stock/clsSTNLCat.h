// A stock nominal category read by its code: the ledger account that a kind
// of stock movement posts to, and the balance-sheet account.
#pragma once

#include <cstdint>
#include <string>

#include "tarnlow/table_pieces.h"

namespace tarnlow {

// The kinds of stock movement whose category account can be read.
enum eMovementType : std::int32_t {
  ePurchaseReceipt = 0,
};

#define TARNLOW_clsSTNLCat_PROPERTIES(X)              \
  X(Columns, StockCategoryTable, GetLet, nl_category) \
  X(Value, MovementAccount, Text, Get)                \
  X(Column, BalanceSheetAccount, StockCategoryTable::st_balance_acc, Get)

class TARNLOW_API clsSTNLCat final : public TablePieces<clsSTNLCat> {
  TARNLOW_TABLE_CLASS(clsSTNLCat, TARNLOW_clsSTNLCat_PROPERTIES)

  clsSTNLCat();

  // Which account column MovementAccount comes from. It is fixed when the
  // read is first prepared, so set it before the first ReadIt. A kind with no
  // account column is refused with an error record and the kind is kept.
  eMovementType MovementType() const { return movement_type_; }
  void MovementType(const eMovementType& type);

  void PrepareReadStatement();
  // Reads the category named by nl_category into MovementAccount and
  // BalanceSheetAccount; raises "Cannot find stock category ..." and keeps
  // both when there is none.
  void ReadIt();

 private:
  // The late-bound face of MovementType: clients pass plain numbers.
  std::int32_t MovementTypeNumber() const { return movement_type_; }
  TARNLOW_LOCAL void LetMovementTypeNumber(std::int32_t type);

  eMovementType movement_type_ = ePurchaseReceipt;
  StatementHolder read_;
};

}  // namespace tarnlow
