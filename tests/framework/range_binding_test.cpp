// Dates outside 100-01-01..9999-12-31 and numbers that are not finite never
// reach a database: binding them raises 6 "Overflow" and nothing is stored,
// while the first and last dates of the range are stored and read back.
#include <gtest/gtest.h>

#include <limits>

#include "tarnlow/stock/clsSTHistory.h"
#include "tarnlow/tarnlow.h"
#include "test_support.h"

namespace tarnlow {
namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();

// A date holding any number: the value is public, so a client can write one
// past the range without going through the checked constructor.
Date Written(double days) {
  Date d;
  d.value = days;
  return d;
}

class RangeBindingTest : public ::testing::TestWithParam<std::string> {
 protected:
  void SetUp() override {
    c_ = db_.Open();
    c_->Execute("create table range_probe (id integer primary key, n double precision, d timestamp)");
  }
  std::int64_t Rows(const std::string& table) {
    return test::Select(*c_, "select count(*) from " + table)[0][0].ToInt32();
  }

  test::ScratchDatabase db_{GetParam()};
  std::shared_ptr<Connection> c_;
};

TEST_P(RangeBindingTest, AParameterOutsideTheRangesIsRefusedAndNothingIsStored) {
  test::Holder holder(c_, "insert into range_probe (id, n, d) values (?, ?, ?)");
  holder.AddNumberParameter("id");
  holder.AddNumberParameter("n");
  holder.AddDateParameter("d");
  holder.SetNumberValue("id", 1);
  holder.SetDateValue("d", Date(36526.0));
  for (const double n : {kInf, -kInf, std::numeric_limits<double>::quiet_NaN()}) {
    holder.SetNumberValue("n", n);
    EXPECT_EQ(test::CatchError([&] { holder.Command().ExecuteNoRows(); }).Number(), err::Overflow) << n;
  }
  holder.SetNumberValue("n", 1.5);
  for (const double days : {1e300, -1e300, test::kLastDay + 1, test::kFirstDay - 1}) {
    holder.SetDateValue("d", Written(days));
    EXPECT_EQ(test::CatchError([&] { holder.Command().ExecuteNoRows(); }).Number(), err::Overflow) << days;
  }
  EXPECT_EQ(Rows("range_probe"), 0);

  // The statement is still usable, and the range's own ends are stored as written.
  holder.SetDateValue("d", Date(test::kFirstDay));
  EXPECT_EQ(holder.Command().ExecuteNoRows(), 1);
  holder.SetNumberValue("id", 2);
  holder.SetNumberValue("n", std::numeric_limits<double>::max());
  holder.SetDateValue("d", Date::FromCalendar(9999, 12, 31, 23, 59, 59));
  EXPECT_EQ(holder.Command().ExecuteNoRows(), 1);
  const test::Rows rows = test::Select(*c_, "select n, d from range_probe order by id");
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[0][1].ToDate().ToIso(), "0100-01-01 00:00:00");
  if (GetParam() == "odbc-sqlite") {
    // Stored whole, but the SQLite driver reads numbers through SQLite's
    // 15-digit text, which rounds the largest double past the range.
    EXPECT_EQ(test::CatchError([&] { rows[1][0].ToDouble(); }).Number(), err::Overflow);
  } else {
    EXPECT_EQ(rows[1][0].ToDouble(), std::numeric_limits<double>::max());
  }
  EXPECT_EQ(rows[1][1].ToDate().ToIso(), "9999-12-31 23:59:59");
}

TEST_P(RangeBindingTest, AnUpdatedFieldOutsideTheRangesIsRefusedAndTheRowKept) {
  c_->Execute("insert into range_probe (id, n, d) values (1, 2.5, '2000-01-01 00:00:00')");
  test::OpenRecordset rs(*c_, "select id, n, d from range_probe where id = 1", adOpenKeyset,
                         adLockOptimistic);
  rs.SetField("n", kInf);
  EXPECT_EQ(test::CatchError([&] { rs.Update(); }).Number(), err::Overflow);
  rs.Close();
  rs.Open("select id, n, d from range_probe where id = 1", c_->DatabaseConnection(), adOpenKeyset,
          adLockOptimistic);
  rs.SetField("d", Written(test::kLastDay + 1));
  EXPECT_EQ(test::CatchError([&] { rs.Update(); }).Number(), err::Overflow);
  rs.Close();
  const test::Rows rows = test::Select(*c_, "select n, d from range_probe");
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0][0].ToDouble(), 2.5);
  EXPECT_EQ(rows[0][1].ToDate().ToIso(), "2000-01-01 00:00:00");
}

// Through a table object, on both date forms (dates, and kind 2's date keys).
TEST_P(RangeBindingTest, AMovementOutsideTheRangesIsRefusedWithItsRecordAndNotStored) {
  for (const std::string options : {"", "kind=2"}) {
    const test::ScratchDatabase db(GetParam());  // each kind has its own layout
    const auto c = db.Open(options);
    const std::string table = c->TableCatalogue()->StockHistoryTable();
    clsSTHistory h;
    h.SageConnection(c);
    h.warehouse = "01";
    h.product = "RANGE";
    h.dated = Date(36526.0);
    h.movement_date = Date(36526.0);
    h.movement_quantity = kInf;
    Error e = test::CatchError([&] { h.InsertNewHistory(); });
    EXPECT_EQ(e.Number(), err::Overflow) << options;
    EXPECT_EQ(e.Description(), "Overflow");
    EXPECT_NE(e.Source().find("InsertNewHistory of Class Module clsSTHistory"), std::string::npos)
        << e.Source();
    // Refused as the value is set, before anything runs.
    EXPECT_NE(e.Source().find("Line No.: 20 Line No.: 20"), std::string::npos) << e.Source();
    EXPECT_NE(e.Source().find("SetInsertColumns of Class Module clsSTHistory"), std::string::npos)
        << e.Source();

    h.movement_quantity = 1.0;
    h.dated = Written(test::kLastDay + 1);  // past 9999-12-31: its date key would not fit six digits either
    EXPECT_EQ(test::CatchError([&] { h.InsertNewHistory(); }).Number(), err::Overflow) << options;
    h.dated = Date(36526.0);
    h.movement_date = Written(-1e300);
    const Error moved = test::CatchError([&] { h.InsertNewHistory(); });
    EXPECT_EQ(moved.Number(), err::Overflow) << options;
    auto rows = [&] { return test::Select(*c, "select count(*) from " + table)[0][0].ToInt32(); };
    EXPECT_EQ(rows(), 0) << options;

    h.movement_date = Date(test::kLastDay);
    h.InsertNewHistory();
    EXPECT_EQ(rows(), 1) << options;
    // Once the insert's values are set by its plan, a number out of range is
    // still refused as the value is set.
    h.movement_quantity = kInf;
    EXPECT_EQ(test::CatchError([&] { h.InsertNewHistory(); }).Source(), e.Source()) << options;
    EXPECT_EQ(rows(), 1) << options;
    h.movement_quantity = 1.0;
    // A date value goes out of range as it is written for the database, in
    // the insert's run, once its statement is prepared as before.
    h.movement_date = Written(-1e300);
    const Error again = test::CatchError([&] { h.InsertNewHistory(); });
    EXPECT_EQ(again.Number(), err::Overflow) << options;
    EXPECT_EQ(again.Source(), moved.Source()) << options;
    EXPECT_EQ(rows(), 1) << options;
  }
}

// Numbers are doubles however whole: a large whole one must still reach an
// integer column on every database, rather than as text the server reads
// as a float ("1e+05").
TEST_P(RangeBindingTest, LargeWholeNumbersReachIntegerColumns) {
  c_->Execute("create table whole_probe (id integer primary key, qty integer)");
  test::Holder holder(c_, "insert into whole_probe (id, qty) values (?, ?)");
  holder.AddNumberParameter("id");
  holder.AddNumberParameter("qty");
  const double quantities[] = {100000.0, -3000000.0, 2000000000.0};
  for (int i = 0; i < 3; ++i) {
    holder.SetNumberValue("id", 100000.0 * (i + 1));
    holder.SetNumberValue("qty", quantities[i]);
    EXPECT_EQ(holder.Command().ExecuteNoRows(), 1) << quantities[i];
  }
  const test::Rows rows = test::Select(*c_, "select id, qty from whole_probe order by id");
  ASSERT_EQ(rows.size(), 3u);
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(rows[static_cast<std::size_t>(i)][0].ToDouble(), 100000.0 * (i + 1));
    EXPECT_EQ(rows[static_cast<std::size_t>(i)][1].ToDouble(), quantities[i]);
  }
}

TARNLOW_ON_EVERY_BACKEND(RangeBindingTest);

}  // namespace
}  // namespace tarnlow
