// Clients on separate machines write ledger movements and receipt audit rows
// into one database, each row keyed by its unique number alone. The machines
// share nothing but the database: each group of processes here has its own
// temporary folder and home, and a clash of numbers that the single retry
// cannot absorb loses a row while every call reports success.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "tarnlow/tarnlow.h"
#include "test_support.h"

namespace tarnlow {
namespace {

constexpr int kGroups = 2;
// Through a driver each insert costs more; the run stays a few seconds.
constexpr int kRowsPerProcess = 600;
constexpr int kRowsPerProcessOdbc = 200;

class UniqueNumberConcurrencyTest : public ::testing::TestWithParam<std::string> {
 protected:
  UniqueNumberConcurrencyTest() { db_.Open("kind=2"); }
  int ProcessesPerGroup() const { return GetParam().ends_with("sqlite") ? 2 : 4; }
  int Rows() const { return GetParam().starts_with("odbc-") ? kRowsPerProcessOdbc : kRowsPerProcess; }

  test::ScratchDatabase db_{GetParam()};
};

TEST_P(UniqueNumberConcurrencyTest, GroupsSharingNothingButTheDatabaseStoreEveryRow) {
  const std::string text = db_.Text("kind=2");
  const std::string folder = db_.Folder();
  const int per_group = ProcessesPerGroup();
  const int rows = Rows();
  for (int g = 0; g < kGroups; ++g)
    std::filesystem::create_directories(folder + "/machine" + std::to_string(g));

  const auto problems = test::RunProcesses(kGroups * per_group, [&](int process) {
    const std::string machine = folder + "/machine" + std::to_string(process / per_group);
    setenv("TMPDIR", machine.c_str(), 1);
    setenv("HOME", machine.c_str(), 1);
    // A retry prompt means a clash: the run counts them through the rows
    // that come out stored, so the answer is always to try again.
    test::MessageCapture messages;
    auto c = Connection::Open(text);
    clsSTNLMov movement;
    clsPorecp audit;
    movement.SageConnection(c);
    audit.SageConnection(c);
    movement.account = "4000";
    movement.amount_posted = 1.0;
    movement.movement_date = Date::FromCalendar(2026, 1, 5);
    movement.post_flag = "N";
    audit.order_no = "PO1";
    audit.warehouse = "01";
    audit.product = "BOLT";
    for (int i = 0; i < rows; ++i) {
      const std::string label = std::to_string(process) + "-" + std::to_string(i);
      movement.comments = label;
      movement.InsertRow();
      audit.commnt = label;
      audit.InsertRow();
    }
  });
  ASSERT_TRUE(problems.empty()) << ::testing::PrintToString(problems);

  const int expected = kGroups * per_group * rows;
  auto c = db_.Open("kind=2");
  for (const auto& [table, label] :
       {std::pair{"stock_nominal_movement", "comments"}, std::pair{"goods_receipt_audit", "comment"}}) {
    SCOPED_TRACE(table);
    const test::Rows counts = test::Select(*c, std::string("select count(*), count(distinct ") + label +
                                                   "), count(distinct unique_no) from " + table);
    EXPECT_EQ(counts[0][0].ToInt32(), expected);
    EXPECT_EQ(counts[0][1].ToInt32(), expected);
    EXPECT_EQ(counts[0][2].ToInt32(), expected);
  }
}

TARNLOW_ON_EVERY_BACKEND(UniqueNumberConcurrencyTest);

}  // namespace
}  // namespace tarnlow
