// One stock batch row: appended as it stands or under a fresh sequence
// number for its warehouse and product. Two numbering schemes share the
// table: six decimal digits (highest plus one) for warehouses and products
// that already use them, and six base-93 characters made from the clock for
// everything else.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "tarnlow/table_object.h"

namespace tarnlow {

#define TARNLOW_clsSTBatchD_PROPERTIES(X)                      \
  X(batch_number, Text, LetGet, "batch_number", 10)            \
  X(best_before_date, Date, LetGet, "best_before_date", 0)     \
  X(best_date_key, Text, LetGet, "best_date_key", 28)          \
  X(bin_number, Text, LetGet, "bin_number", 10)                \
  X(concentration, Double, LetGet, "concentration", 0)         \
  X(conformity_ref, Text, LetGet, "conformity_ref", 20)        \
  X(date_received, Date, LetGet, "date_received", 0)           \
  X(expiry_date, Date, LetGet, "expiry_date", 0)               \
  X(expiry_date_key, Text, LetGet, "expiry_date_key", 28)      \
  X(inspection_date, Date, LetGet, "inspection_date", 0)       \
  X(inspector_code, Text, LetGet, "inspector_code", 4)         \
  X(labour_cost, Double, LetGet, "labour_cost", 0)             \
  X(lot_number, Text, LetGet, "lot_number", 10)                \
  X(overhead_cost, Double, LetGet, "overhead_cost", 0)         \
  X(passed_inspection, Text, LetGet, "passed_inspection", 1)   \
  X(prod_code, Text, LetGet, "prod_code", 20)                  \
  X(product, Text, LetGet, "product", 20)                      \
  X(quantity, Double, LetGet, "quantity", 0)                   \
  X(quantity_free, Double, LetGet, "quantity_free", 0)         \
  X(sell_by_date, Date, LetGet, "sell_by_date", 0)             \
  X(sellby_date_key, Text, LetGet, "sellby_date_key", 28)      \
  X(sequence_number, Text, LetGet, "sequence_number", 6)       \
  X(serial_number, Text, LetGet, "serial_number", 20)          \
  X(source_code, Text, LetGet, "source_code", 10)              \
  X(spare, Text, LetGet, "spare", 6)                           \
  X(sub_contract_cost, Double, LetGet, "sub_contract_cost", 0) \
  X(unit_cost, Double, LetGet, "unit_cost", 0)                 \
  X(users_field_1, Double, LetGet, "users_field_1", 0)         \
  X(users_field_2, Double, LetGet, "users_field_2", 0)         \
  X(users_field_3, Double, LetGet, "users_field_3", 0)         \
  X(users_text_field, Text, LetGet, "users_text_field", 10)    \
  X(warehouse, Text, LetGet, "warehouse", 2)

class TARNLOW_API clsSTBatchD final : public TableObject {
 public:
  // Gives the local date and time that clock-made numbers are built from.
  using Clock = std::function<Date()>;

  // Attempts InsertNewBatch makes with clock-made numbers before it gives
  // up: twenty full rounds of the 93 numbers one second offers.
  static constexpr int kMaxClockAttempts = 93 * 20;

  clsSTBatchD();
  TARNLOW_PROPERTIES(clsSTBatchD, TARNLOW_clsSTBatchD_PROPERTIES)

  static const ClassInfo& Info();
  const ClassInfo& Class() const override { return Info(); }

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
  void AddParameters();
  void SetInsertColumns();
  void SetNextColumns();
  bool UseNewFormat();
  std::string MakeSequenceNumber(const std::string& warehouse, const std::string& prod_code);
  static constexpr int NumberBase() { return 93; }
  // Whole seconds from 31 December 1899 00:00 to the clock's present.
  std::int64_t ClockSeconds() const;
  // Waits (briefly, with a limit) for the clock to leave the second of the
  // last number made.
  void AwaitNextSecond() const;

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
