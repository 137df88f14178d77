#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "connection/database_connection.h"
#include "fault_database.h"
#include "tarnlow/stock/clsSTHistory.h"
#include "test_support.h"

namespace tarnlow {
namespace {

const std::string kInsertHistoryLabel = "InsertNewHistory of Class Module clsSTHistory";

class HistoryTest : public ::testing::TestWithParam<std::string> {
 protected:
  std::shared_ptr<Connection> Open(const std::string& options = "") {
    c_ = db_.Open(options);
    return c_;
  }
  std::shared_ptr<clsSTHistory> Movement(const std::string& product, const Date& day) {
    auto h = std::make_shared<clsSTHistory>();
    h->SageConnection(c_);
    h->warehouse = "01";
    h->product = product;
    h->dated = day;
    return h;
  }
  // The source of the database's own error records.
  std::string Inner() const { return test::EngineSource(GetParam()); }
  // The stored sequence numbers of one warehouse and product, in order.
  std::vector<std::string> Numbers(const std::string& product) {
    test::OpenRecordset rs(*c_, "select sequence_no from stock_movement_history where product = '" + product +
                                    "' order by sequence_no");
    std::vector<std::string> out;
    for (; !rs.AtEOF(); rs.MoveNext()) out.push_back(rs.Fields("sequence_no").ToText());
    rs.Close();
    return out;
  }

  test::ScratchDatabase db_{GetParam()};
  std::shared_ptr<Connection> c_;
  const Date day_ = Date::FromCalendar(2000, 1, 1);
};

TEST_P(HistoryTest, NumbersRunFrom000000PerWarehouseProductAndDay) {
  Open();
  auto h = Movement("P1", day_);
  for (const char* expected : {"000000", "000001", "000002"}) {
    h->InsertNewHistory();
    EXPECT_EQ(h->sequence_no(), expected);
  }
  // Another day and another product each start again.
  auto next_day = Movement("P1", Date::FromCalendar(2000, 1, 2));
  next_day->InsertNewHistory();
  EXPECT_EQ(next_day->sequence_no(), "000000");
  auto other = Movement("P2", day_);
  other->InsertNewHistory();
  EXPECT_EQ(other->sequence_no(), "000000");
  EXPECT_EQ(Numbers("P1"), (std::vector<std::string>{"000000", "000000", "000001", "000002"}));

  // The highest number counts, whatever the caller left in sequence_no.
  auto later = Movement("P3", day_);
  later->sequence_no = "000041";
  later->InsertRow();
  later->sequence_no = "999990";
  later->InsertNewHistory();
  EXPECT_EQ(later->sequence_no(), "000042");
}

TEST_P(HistoryTest, KindTwoKeepsTheDayAsDateKeyText) {
  Open("kind=2&release=5");
  auto h = Movement("P1", Date::FromCalendar(2000, 1, 1, 17, 45));
  h->InsertNewHistory();
  h->dated = Date::FromCalendar(2000, 1, 1, 8, 0);  // same day, other time: same key
  h->InsertNewHistory();
  EXPECT_EQ(h->sequence_no(), "000001");
  test::OpenRecordset rs(*c_, "select dated, sequence_no from stock_movement_history order by sequence_no");
  ASSERT_FALSE(rs.AtEOF());
  EXPECT_EQ(rs.Fields("dated").ToText(), "036525");
  rs.Close();
}

TEST_P(HistoryTest, ATakenNumberIsAnsweredWithTheNextOne) {
  auto faulty = test::OpenWithFaults(db_);
  c_ = faulty.connection;
  auto h = Movement("P1", day_);
  h->sequence_no = "000041";
  h->InsertRow();
  // Another writer takes 000042 between the query and the insert.
  faulty.faults->Add({.prefix = "INSERT INTO", .first = 1, .times = 1, .number = DbIntegrityViolation});
  h->InsertNewHistory();
  EXPECT_EQ(h->sequence_no(), "000043");
  const auto failures = faulty.faults->Failures();
  ASSERT_EQ(failures.size(), 1u);
  EXPECT_EQ(failures[0].values[14].ToText(), "000042");  // sequence_no is the 15th parameter
  EXPECT_EQ(Numbers("P1"), (std::vector<std::string>{"000041", "000043"}));
}

TEST_P(HistoryTest, AValueTooLongForItsColumnIsNotRetried) {
  Open();
  auto h = Movement("P1", day_);
  h->user_id = "NINECHARS";
  test::ExpectError([&] { h->InsertNewHistory(); }, DbFailure,
                    "Line No.: 60 " + Inner() + "\r\n" + kInsertHistoryLabel);
  EXPECT_EQ(h->sequence_no(), "000000");  // the first number, never a second one
  EXPECT_TRUE(Numbers("P1").empty());
}

TEST_P(HistoryTest, NumbersEndAt999999) {
  Open();
  auto h = Movement("P1", day_);
  h->sequence_no = "999999";
  h->InsertRow();
  test::ExpectError([&] { h->InsertNewHistory(); }, vbObjectError,
                    "Line No.: 50 TarnlowSTData\r\n" + kInsertHistoryLabel,
                    "Sequence number 1000000 does not fit six characters");
  EXPECT_EQ(Numbers("P1"), std::vector<std::string>{"999999"});
}

TEST_P(HistoryTest, AHighestNumberThatIsNoNumberFailsWithTheConversionError) {
  Open();
  auto h = Movement("P1", day_);
  h->sequence_no = "K2Dvf!";
  h->InsertRow();
  test::ExpectError([&] { h->InsertNewHistory(); }, err::TypeMismatch,
                    "Line No.: 40 TarnlowSTData\r\n" + kInsertHistoryLabel, "Type mismatch");
  EXPECT_EQ(Numbers("P1"), std::vector<std::string>{"K2Dvf!"});
}

TEST_P(HistoryTest, InsertRowRaisesADuplicateWithoutRenumbering) {
  Open();
  auto h = Movement("P1", day_);
  h->sequence_no = "000007";
  h->InsertRow();
  test::ExpectError([&] { h->InsertRow(); }, DbIntegrityViolation,
                    "Line No.: 30 " + Inner() + "\r\nInsertRow of Class Module clsSTHistory");
  EXPECT_EQ(h->sequence_no(), "000007");
  EXPECT_EQ(Numbers("P1"), std::vector<std::string>{"000007"});
}

TEST_P(HistoryTest, AnUnopenedConnectionFailsTheRunOfThePreparedInsert) {
  Open();
  auto h = Movement("P1", day_);
  h->PrepareInsertStatement();
  // A connection that was never opened: the values are set, and running the
  // statement is what fails.
  h->SageConnection(std::make_shared<Connection>());
  test::MessageCapture messages;
  test::ExpectError([&] { h->InsertRow(); }, err::ObjectClosed,
                    "Line No.: 30 TarnlowSTData\r\nInsertRow of Class Module clsSTHistory");
  EXPECT_TRUE(messages.Messages().empty());
}

TARNLOW_ON_EVERY_BACKEND(HistoryTest);

}  // namespace
}  // namespace tarnlow
