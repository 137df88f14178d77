#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "connection/database_connection.h"
#include "fault_database.h"
#include "tarnlow/stock/clsSTBatchD.h"
#include "test_support.h"

namespace tarnlow {
namespace {

const std::string kInsertBatchLabel = "InsertNewBatch of Class Module clsSTBatchD Line#:";

// 12:00:00 on 1 January 2000, local time.
const Date kNoon2000 = Date::FromCalendar(2000, 1, 1, 12, 0, 0);

class BatchTest : public ::testing::TestWithParam<std::string> {
 protected:
  std::shared_ptr<Connection> Open(const std::string& options = "") {
    c_ = db_.Open(options);
    return c_;
  }
  std::shared_ptr<clsSTBatchD> Batch(const std::string& product, const Date& now = kNoon2000) {
    auto b = std::make_shared<clsSTBatchD>();
    b->SageConnection(c_);
    b->warehouse = "01";
    b->product = product;
    b->prod_code = product;
    b->SetClock([now] { return now; });
    return b;
  }
  // The source of the database's own error records.
  std::string Inner() const { return test::EngineSource(GetParam()); }
  // Stores a batch under a number of the test's choosing.
  void Seed(const std::string& product, const std::string& number) {
    auto b = Batch(product);
    b->sequence_number = number;
    b->InsertRow();
  }
  std::vector<std::string> Numbers(const std::string& product) {
    test::OpenRecordset rs(*c_, "select sequence_number from stock_batch where product = '" + product +
                                    "' order by sequence_number");
    std::vector<std::string> out;
    for (; !rs.AtEOF(); rs.MoveNext()) out.push_back(rs.Fields("sequence_number").ToText());
    rs.Close();
    // Byte order, whatever the database's collation.
    std::sort(out.begin(), out.end());
    return out;
  }

  test::ScratchDatabase db_{GetParam()};
  std::shared_ptr<Connection> c_;
};

TEST_P(BatchTest, DecimalNumbersContinueFromTheHighest) {
  Open();
  Seed("P1", "000123");
  auto b = Batch("P1");
  b->sequence_number = "ignored";
  b->InsertNewBatch();
  EXPECT_EQ(b->sequence_number(), "000124");
  // Another warehouse with the same product has no numbers of its own yet.
  auto other = Batch("P1");
  other->warehouse = "02";
  other->InsertNewBatch();
  EXPECT_EQ(other->sequence_number(), "K2Dvf!");
  EXPECT_EQ(Numbers("P1"), (std::vector<std::string>{"000123", "000124", "K2Dvf!"}));
}

TEST_P(BatchTest, ClockNumbersFollowTheSecondAndACounter) {
  Open();
  auto b = Batch("P1");
  b->InsertNewBatch();
  EXPECT_EQ(b->sequence_number(), "K2Dvf!");
  b->InsertNewBatch();
  EXPECT_EQ(b->sequence_number(), "K2Dvf\"");
  // A new second restarts the counter and compares greater.
  b->SetClock([] { return Date::FromCalendar(2000, 1, 1, 12, 0, 1); });
  b->InsertNewBatch();
  EXPECT_EQ(b->sequence_number(), "K2Dvg!");
  EXPECT_EQ(Numbers("P1"), (std::vector<std::string>{"K2Dvf!", "K2Dvf\"", "K2Dvg!"}));
}

TEST_P(BatchTest, ANumberAnotherObjectTookIsRetriedWithTheCounter) {
  Open();
  auto first = Batch("P1");
  first->InsertNewBatch();
  first->InsertNewBatch();
  // A second writer in the same second starts its counter at 0 and meets the
  // database's duplicate key twice.
  auto second = Batch("P1");
  second->InsertNewBatch();
  EXPECT_EQ(second->sequence_number(), "K2Dvf#");
  // A change of prod_code restarts the counter too.
  first->prod_code = "OTHER";
  first->InsertNewBatch();
  EXPECT_EQ(first->sequence_number(), "K2Dvf$");
}

TEST_P(BatchTest, AHighestNumberThatIsNoDecimalNumberMovesToClockNumbers) {
  Open();
  Seed("P1", "000005");
  Seed("P1", "K2Dvf!");
  auto b = Batch("P1");
  b->InsertNewBatch();
  EXPECT_EQ(b->sequence_number(), "K2Dvf\"");
}

TEST_P(BatchTest, DecimalNumbersEndAt999999) {
  Open();
  Seed("P1", "999999");
  auto b = Batch("P1");
  test::ExpectError([&] { b->InsertNewBatch(); }, vbObjectError,
                    "Line No.: 70 TarnlowSTData\r\n" + kInsertBatchLabel + "70",
                    "Sequence number 1000000 does not fit six characters");
  EXPECT_EQ(Numbers("P1"), std::vector<std::string>{"999999"});
}

TEST_P(BatchTest, ClockNumbersGiveUpAfterTheirBound) {
  Open();
  // A clock that never settles on one second, and every number of both of
  // its seconds taken: every attempt meets a duplicate.
  for (const std::string second : {"K2Dvf", "K2Dvg"})
    for (int counter = 0; counter < 93; ++counter) Seed("P1", second + static_cast<char>(33 + counter));
  auto b = Batch("P1");
  auto flips = std::make_shared<int>(0);
  b->SetClock([flips] { return Date::FromCalendar(2000, 1, 1, 12, 0, (*flips)++ % 2); });
  const auto before = Statistics(*c_);
  test::ExpectError([&] { b->InsertNewBatch(); }, vbObjectError,
                    "Line No.: 70 TarnlowSTData\r\n" + kInsertBatchLabel + "70",
                    "No free batch sequence number for warehouse 01 and product P1 after 1860 attempts");
  // The scheme query, then exactly the bounded number of inserts.
  EXPECT_EQ(Statistics(*c_).executions - before.executions, 1 + clsSTBatchD::kMaxClockAttempts);
  EXPECT_EQ(Numbers("P1").size(), 186u);
}

TEST_P(BatchTest, ATakenDecimalNumberIsAnsweredWithTheNextOne) {
  auto faulty = test::OpenWithFaults(db_);
  c_ = faulty.connection;
  Seed("P1", "000123");
  faulty.faults->Add({.prefix = "INSERT INTO", .first = 1, .times = 2, .number = DbIntegrityViolation});
  auto b = Batch("P1");
  b->InsertNewBatch();
  EXPECT_EQ(b->sequence_number(), "000126");
  const auto failures = faulty.faults->Failures();
  ASSERT_EQ(failures.size(), 2u);
  EXPECT_EQ(failures[0].values[21].ToText(), "000124");  // sequence_number is the 22nd parameter
  EXPECT_EQ(failures[1].values[21].ToText(), "000125");
}

TEST_P(BatchTest, AValueTooLongRaisesAtOnce) {
  Open();
  auto b = Batch("P1");
  b->batch_number = "ELEVENCHARS";
  test::ExpectError([&] { b->InsertNewBatch(); }, DbFailure,
                    "Line No.: 90 " + Inner() + "\r\n" + kInsertBatchLabel + "90");
  EXPECT_EQ(b->sequence_number(), "K2Dvf!");
  EXPECT_TRUE(Numbers("P1").empty());
}

TEST_P(BatchTest, UnknownDatesAreNullButAZeroReceiptDateIsKept) {
  Open();
  auto b = Batch("P1");
  b->expiry_date = Date::FromCalendar(2001, 6, 30);
  b->quantity = 12.5;
  b->best_date_key = "key";
  b->InsertNewBatch();
  test::OpenRecordset rs(*c_, "select * from stock_batch where product = 'P1'");
  ASSERT_FALSE(rs.AtEOF());
  EXPECT_TRUE(rs.Fields("best_before_date").IsNull());
  EXPECT_TRUE(rs.Fields("inspection_date").IsNull());
  EXPECT_TRUE(rs.Fields("sell_by_date").IsNull());
  EXPECT_EQ(rs.Fields("expiry_date").ToDate(), Date::FromCalendar(2001, 6, 30));
  ASSERT_FALSE(rs.Fields("date_received").IsNull());
  EXPECT_EQ(rs.Fields("date_received").ToDate(), Date());
  EXPECT_EQ(rs.Fields("quantity").ToDouble(), 12.5);
  EXPECT_EQ(rs.Fields("best_date_key").ToText(), "key");
  EXPECT_EQ(rs.Fields("prod_code").ToText(), "P1");
  rs.Close();
}

TEST_P(BatchTest, AnApostropheInTheKeyIsDataNotSql) {
  Open();
  Seed("P1", "000001");  // another product on the decimal scheme
  const std::string product = "X' OR '1'='1";
  auto b = Batch(product);
  b->InsertNewBatch();
  // Had the key changed the count's meaning, P1's decimal row would have
  // been counted and the batch numbered decimally.
  EXPECT_EQ(b->sequence_number(), "K2Dvf!");
  test::OpenRecordset rs(*c_, "select product from stock_batch where sequence_number = 'K2Dvf!'");
  ASSERT_FALSE(rs.AtEOF());
  EXPECT_EQ(rs.Fields("product").ToText(), product);
  rs.Close();
}

TEST_P(BatchTest, AFailureInsideTheSchemeChoiceCarriesBothLabels) {
  c_ = db_.OpenBare();  // no tables at all
  auto b = Batch("P1");
  test::ExpectError([&] { b->InsertNewBatch(); }, DbFailure,
                    "Line No.: 10 Line No.: 20 " + Inner() +
                        "\r\nUseNewFormat of Class Module clsSTBatchD Line#:20\r\n" + kInsertBatchLabel +
                        "10");
}

TEST_P(BatchTest, InsertRowPassesErrorsUnchanged) {
  Open();
  Seed("P1", "000001");
  auto b = Batch("P1");
  b->sequence_number = "000001";
  test::ExpectError([&] { b->InsertRow(); }, DbIntegrityViolation, Inner());
}

TARNLOW_ON_EVERY_BACKEND(BatchTest);

TEST(BatchRemainder, IsTheFloatingPointRemainder) {
  clsSTBatchD b;
  EXPECT_EQ(b.Remainder(100, 93), 6.999999999999994);
  EXPECT_EQ(b.Remainder(-7, 3), 1.9999999999999996);
  EXPECT_EQ(b.Remainder(186, 93), 0.0);
  EXPECT_EQ(b.Remainder(2.5, 1), 0.5);
  test::ExpectError([&] { b.Remainder(1, 0); }, err::DivisionByZero, {}, "Division by zero");
}

}  // namespace
}  // namespace tarnlow
