// One stock batch row: appended as it stands or under a fresh sequence
// number for its warehouse and product. Two numbering schemes share the
// table: six decimal digits (highest plus one) for warehouses and products
// that already use them, and six base-93 characters made from the clock for
// everything else.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "tarnlow/table_pieces.h"

namespace tarnlow {

#define TARNLOW_clsSTBatchD_PROPERTIES(X) X(Table, BatchTable, LetGet)

class TARNLOW_API clsSTBatchD final : public TablePieces<clsSTBatchD> {
  TARNLOW_TABLE_CLASS(clsSTBatchD, TARNLOW_clsSTBatchD_PROPERTIES)
  static constexpr std::string_view kLabelEnding = " Line#:";

  // Gives the local date and time that clock-made numbers are built from.
  using Clock = std::function<Date()>;

  // Attempts InsertNewBatch makes with clock-made numbers before it gives
  // up: twenty full rounds of the 93 numbers one second offers.
  static constexpr int kMaxClockAttempts = 93 * 20;

  clsSTBatchD();

  void PrepareInsertStatement();
  void PrepareNextNumber();
  // Inserts the row under a fresh sequence_number for its warehouse and
  // product and leaves that number in sequence_number.
  void InsertNewBatch();
  // Inserts the row as it stands, sequence_number included.
  void InsertRow();
  // The floating-point remainder the clock-made numbers rest on: in
  // [0, denominator) for a positive denominator, negative numerators too.
  double Remainder(const double& numerator, const double& denominator);

  // Replaces the clock that clock-made numbers read (local date and time);
  // an empty function restores the system clock.
  void SetClock(Clock clock);

 private:
  TARNLOW_LOCAL void AddParameters();
  TARNLOW_LOCAL void SetInsertColumns();
  TARNLOW_LOCAL bool UseNewFormat();
  TARNLOW_LOCAL std::string MakeSequenceNumber(const std::string& warehouse, const std::string& prod_code);
  static constexpr int NumberBase() { return 93; }
  // Whole seconds from 31 December 1899 00:00 to the clock's present.
  TARNLOW_LOCAL std::int64_t ClockSeconds() const;
  // Waits (briefly, with a limit) for the clock to leave the second of the
  // last number made.
  TARNLOW_LOCAL void AwaitNextSecond() const;

  StatementHolder insert_;
  StatementHolder next_;
  Clock clock_;
  // What MakeSequenceNumber remembers between numbers.
  std::int64_t last_second_ = 0;
  std::string last_warehouse_;
  std::string last_prod_code_;
  std::int16_t counter_ = 0;
};

}  // namespace tarnlow
