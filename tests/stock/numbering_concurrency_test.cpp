// Several processes allocate sequence numbers for the same key at once, each
// through its own connection, the way separate client programs do. The
// optimistic numbering must lose no row and, where numbers are decimal,
// leave neither a gap nor a duplicate.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "tarnlow/stock/clsSTBatchD.h"
#include "tarnlow/stock/clsSTHistory.h"
#include "test_support.h"

namespace tarnlow {
namespace {

constexpr int kRowsPerWriter = 250;
// Through a driver each row costs more; fewer rows still make the writers
// collide hundreds of times.
constexpr int kRowsPerWriterOdbc = 100;
// Clock-made numbers run out at 93 a second: this many rows a writer still
// fill several seconds, each contended by every writer.
constexpr int kClockRowsPerWriter = 60;
// A writer that has not finished by then is taken to hang.
constexpr unsigned kWriterSeconds = 120;

// Runs body(writer) in `writers` child processes released together; what
// went wrong in them (empty when every one succeeded).
std::vector<std::string> RunWriters(int writers, const std::function<void(int)>& body) {
  return test::RunProcesses(writers, body, kWriterSeconds);
}

class NumberingConcurrencyTest : public ::testing::TestWithParam<std::string> {
 protected:
  NumberingConcurrencyTest() {
    // The tables exist before any writer starts; the parent holds no
    // connection while the writers run.
    db_.Open();
  }
  // A server takes more writers than a file database.
  int Writers() const { return GetParam().ends_with("sqlite") ? 4 : 8; }
  int RowsPerWriter() const { return GetParam().starts_with("odbc-") ? kRowsPerWriterOdbc : kRowsPerWriter; }

  // Column `column` of every row of `table` for the product, in byte order.
  std::vector<std::string> Values(const std::string& table, const std::string& column,
                                  const std::string& product) {
    auto c = db_.Open();
    test::OpenRecordset rs(*c, "select " + column + " from " + table +
                                   " where warehouse = '01' and product = '" + product + "'");
    std::vector<std::string> out;
    for (; !rs.AtEOF(); rs.MoveNext()) out.push_back(rs.Fields(std::size_t{0}).ToText());
    rs.Close();
    std::sort(out.begin(), out.end());
    return out;
  }
  // The labels every writer should have left, one per row.
  std::vector<std::string> ExpectedLabels(int rows) const {
    std::vector<std::string> out;
    for (int w = 0; w < Writers(); ++w)
      for (int i = 0; i < rows; ++i) out.push_back(std::to_string(w) + "-" + std::to_string(i));
    std::sort(out.begin(), out.end());
    return out;
  }

  // Every writer inserts its batches for the product, each labelled with
  // its writer and position in batch_number.
  std::vector<std::string> InsertBatches(const std::string& product, int rows) {
    const std::string text = db_.Text();
    return RunWriters(Writers(), [&](int writer) {
      auto c = Connection::Open(text);
      clsSTBatchD b;
      b.SageConnection(c);
      b.warehouse = "01";
      b.product = product;
      b.prod_code = product;
      for (int i = 0; i < rows; ++i) {
        b.batch_number = std::to_string(writer) + "-" + std::to_string(i);
        b.InsertNewBatch();
      }
    });
  }

  test::ScratchDatabase db_{GetParam()};
};

TEST_P(NumberingConcurrencyTest, MovementsOfOneDayAreNumberedWithoutGapOrDuplicate) {
  const std::string text = db_.Text();
  const auto problems = RunWriters(Writers(), [&](int writer) {
    auto c = Connection::Open(text);
    clsSTHistory h;
    h.SageConnection(c);
    h.warehouse = "01";
    h.product = "CONTENDED";
    h.dated = Date::FromCalendar(2024, 3, 1);
    for (int i = 0; i < RowsPerWriter(); ++i) {
      h.comments = std::to_string(writer) + "-" + std::to_string(i);
      h.InsertNewHistory();
    }
  });
  ASSERT_TRUE(problems.empty()) << ::testing::PrintToString(problems);

  EXPECT_EQ(Values("stock_movement_history", "comments", "CONTENDED"), ExpectedLabels(RowsPerWriter()));
  std::vector<std::string> expected;
  for (int n = 0; n < Writers() * RowsPerWriter(); ++n) expected.push_back(test::SixDigits(n));
  EXPECT_EQ(Values("stock_movement_history", "sequence_no", "CONTENDED"), expected);
}

TEST_P(NumberingConcurrencyTest, DecimalBatchNumbersHaveNoGapOrDuplicate) {
  {
    // One old-style number keeps the product on decimal numbers.
    auto c = db_.Open();
    clsSTBatchD seed;
    seed.SageConnection(c);
    seed.warehouse = "01";
    seed.product = "DECIMAL";
    seed.sequence_number = "000000";
    seed.batch_number = "seed";
    seed.InsertRow();
  }
  const auto problems = InsertBatches("DECIMAL", RowsPerWriter());
  ASSERT_TRUE(problems.empty()) << ::testing::PrintToString(problems);

  std::vector<std::string> labels = ExpectedLabels(RowsPerWriter());
  labels.push_back("seed");
  std::sort(labels.begin(), labels.end());
  EXPECT_EQ(Values("stock_batch", "batch_number", "DECIMAL"), labels);
  std::vector<std::string> expected;
  for (int n = 0; n <= Writers() * RowsPerWriter(); ++n) expected.push_back(test::SixDigits(n));
  EXPECT_EQ(Values("stock_batch", "sequence_number", "DECIMAL"), expected);
}

TEST_P(NumberingConcurrencyTest, ClockBatchNumbersAreAllDistinct) {
  const auto problems = InsertBatches("CLOCK", kClockRowsPerWriter);
  ASSERT_TRUE(problems.empty()) << ::testing::PrintToString(problems);

  EXPECT_EQ(Values("stock_batch", "batch_number", "CLOCK"), ExpectedLabels(kClockRowsPerWriter));
  const std::vector<std::string> numbers = Values("stock_batch", "sequence_number", "CLOCK");
  EXPECT_EQ(std::set<std::string>(numbers.begin(), numbers.end()).size(), numbers.size());
  for (const std::string& n : numbers) {
    ASSERT_EQ(n.size(), 6u) << n;
    // Clock-made: base-93 digits, never a decimal number.
    EXPECT_TRUE(std::all_of(n.begin(), n.end(), [](char ch) { return ch >= '!' && ch <= '}'; })) << n;
    EXPECT_FALSE(std::all_of(n.begin(), n.end(), [](char ch) { return ch >= '0' && ch <= '9'; })) << n;
  }
}

TARNLOW_ON_EVERY_BACKEND(NumberingConcurrencyTest);

}  // namespace
}  // namespace tarnlow
