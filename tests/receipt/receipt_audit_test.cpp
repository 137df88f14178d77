#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "connection/database_connection.h"
#include "fault_database.h"
#include "tarnlow/tarnlow.h"
#include "test_support.h"

namespace tarnlow {
namespace {

using test::Rows;
using test::Select;

constexpr const char* kRetryPrompt = "Error inserting receipt audit record.   Press OK to try again";
constexpr const char* kGaveUp = "Error inserting receipt audit record insert failed";

class ReceiptAuditTest : public ::testing::TestWithParam<std::string> {
 protected:
  test::FaultyConnection Open(const std::string& options) {
    auto faulty = test::OpenWithFaults(db_, options);
    audit_.SageConnection(faulty.connection);
    return faulty;
  }
  void Fill(const std::string& receipt_no) {
    test::FillDistinct(audit_, clsPorecp::Columns());
    audit_.order_no = "O'BRIEN1";
    audit_.receipt_no = receipt_no;
    audit_.unit_code = "CARTON12";
  }
  Rows Stored(Connection& c, const std::string& columns) {
    return Select(
        c, "select " + columns + " from " + c.TableCatalogue()->ReceiptTable() + " order by receipt_no");
  }
  static test::FaultRule InsertFault(int first, int times) {
    return {"INSERT INTO goods_receipt_audit",
            first,
            times,
            DbIntegrityViolation,
            "Injected",
            "duplicate key value"};
  }

  test::ScratchDatabase db_{GetParam()};
  clsPorecp audit_;
  test::MessageCapture messages_;
};

TEST_P(ReceiptAuditTest, StoresEveryPropertyAsGiven) {
  auto [c, faults] = Open("kind=1");
  Fill("000001");
  audit_.InsertRow();

  std::string columns;
  for (const ColumnInfo& column : clsPorecp::Columns())
    columns += (columns.empty() ? "" : ",") + std::string(column.column);
  const Rows rows = Stored(*c, columns);
  ASSERT_EQ(rows.size(), 1u);
  std::size_t i = 0;
  for (const ColumnInfo& column : clsPorecp::Columns()) {
    // Only the stored unit code is cut to six characters.
    EXPECT_EQ(rows[0][i++], column.column == "unit_code" ? Variant("CARTON") : column.get(audit_))
        << column.column;
  }
  EXPECT_EQ(audit_.unit_code(), "CARTON12");
  EXPECT_TRUE(messages_.Messages().empty());
}

TEST_P(ReceiptAuditTest, TheUnitCodeIsCutBetweenCharactersNotBytes) {
  auto [c, faults] = Open("kind=1");
  Fill("000001");
  audit_.unit_code = "m\xC2\xB2\xC3\x89\xC3\x89\xC3\x89\xC3\x89\xC3\x89";  // m² and five É
  audit_.InsertRow();
  audit_.receipt_no = "000002";
  audit_.unit_code = "BOX";
  audit_.InsertRow();
  EXPECT_EQ(Stored(*c, "unit_code"), (Rows{{"m\xC2\xB2\xC3\x89\xC3\x89\xC3\x89\xC3\x89"}, {"BOX"}}));
}

TEST_P(ReceiptAuditTest, KindTwoRetriesOnceUnderAFreshKey) {
  auto [c, faults] = Open("kind=2");
  const std::size_t rule = faults->Add(InsertFault(1, 1));
  Fill("000001");
  audit_.InsertRow();

  ASSERT_EQ(messages_.Messages().size(), 1u);
  EXPECT_EQ(messages_.Messages()[0].text, kRetryPrompt);
  EXPECT_EQ(messages_.Messages()[0].style, 0);
  EXPECT_EQ(faults->Executions(rule), 2);

  const std::vector<test::FaultPlan::Failure> failed = faults->Failures();
  ASSERT_EQ(failed.size(), 1u);
  const std::string first_key = failed[0].values.at(0).ToText();
  EXPECT_EQ(first_key.size(), 8u);
  const Rows rows = Stored(*c, "unique_no, receipt_no");
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0][0].ToText().size(), 8u);
  EXPECT_NE(rows[0][0].ToText(), first_key);
}

TEST_P(ReceiptAuditTest, KindTwoGivesUpAfterTheRetryWithoutAnError) {
  auto [c, faults] = Open("kind=2");
  const std::size_t rule = faults->Add(InsertFault(1, 2));
  Fill("000001");
  audit_.InsertRow();

  ASSERT_EQ(messages_.Messages().size(), 2u);
  EXPECT_EQ(messages_.Messages()[0].text, kRetryPrompt);
  EXPECT_EQ(messages_.Messages()[0].style, 0);
  EXPECT_EQ(messages_.Messages()[1].text, kGaveUp);
  EXPECT_EQ(messages_.Messages()[1].style, 16);
  EXPECT_EQ(faults->Executions(rule), 2);
  EXPECT_TRUE(Stored(*c, "unique_no").empty());
}

TEST_P(ReceiptAuditTest, OtherKindsPassTheDatabaseErrorOnUnchanged) {
  auto [c, faults] = Open("kind=1");
  const std::size_t rule = faults->Add(InsertFault(1, 1));
  Fill("000001");
  test::ExpectError([&] { audit_.InsertRow(); }, DbIntegrityViolation, "Injected", "duplicate key value");
  EXPECT_TRUE(messages_.Messages().empty());
  EXPECT_EQ(faults->Executions(rule), 1);
  EXPECT_TRUE(Stored(*c, "receipt_no").empty());
}

TEST_P(ReceiptAuditTest, AFailureOfTheDatabaseItselfCarriesNoLabel) {
  // The table named by the catalogue is gone: the statement fails when it
  // is first run, which is past the operation's error exit.
  auto [c, faults] = Open("kind=1&table.ReceiptTable=no_such_audit");
  c->Execute("drop table no_such_audit");
  Fill("000001");
  const Error e = test::CatchError([&] { audit_.InsertRow(); });
  EXPECT_EQ(e.Number(), DbFailure);
  EXPECT_EQ(e.Source().find("clsPorecp"), std::string::npos) << e.Source();
  EXPECT_NE(e.Description().find("no_such_audit"), std::string::npos) << e.Description();
  EXPECT_TRUE(messages_.Messages().empty());
}

TEST_P(ReceiptAuditTest, FailuresBeforeTheExecutionLeaveByTheErrorExit) {
  auto [c, faults] = Open("kind=1");
  Fill("000001");
  audit_.InsertRow();
  // The statement was prepared for kind 1 and serves for the object's life:
  // on a kind-2 connection it has no "unique_no" to set.
  audit_.SageConnection(db_.Open("kind=2"));
  test::ExpectError([&] { audit_.InsertRow(); }, err::ItemNotFound,
                    "Line No.: 20 TarnlowSTData\r\nInsertRow of Class Module clsPorecp",
                    RuntimeErrorText(err::ItemNotFound));
  EXPECT_TRUE(messages_.Messages().empty());
}

TEST_P(ReceiptAuditTest, AnAnswerOtherThanOkLeavesTheRowOut) {
  test::MessageCapture cancel(2);
  auto [c, faults] = Open("kind=2");
  const std::size_t rule = faults->Add(InsertFault(1, 1));
  Fill("000001");
  audit_.InsertRow();
  ASSERT_EQ(cancel.Messages().size(), 1u);
  EXPECT_EQ(cancel.Messages()[0].text, kRetryPrompt);
  EXPECT_EQ(faults->Executions(rule), 1);
  EXPECT_TRUE(Stored(*c, "unique_no").empty());
}

TARNLOW_ON_EVERY_BACKEND(ReceiptAuditTest);

// The connection read stores an unopened connection object, which is no
// missing one: no message, and the first step that needs it fails.
TEST(ReceiptAuditClassTest, WithoutAConnectionTheLabelledErrorOfAClosedOne) {
  test::MessageCapture messages;
  clsPorecp audit;
  test::ExpectError([&] { audit.InsertRow(); }, err::ObjectClosed,
                    "Line No.: 10 TarnlowSTData\r\nInsertRow of Class Module clsPorecp");
  EXPECT_TRUE(messages.Messages().empty());
}

}  // namespace
}  // namespace tarnlow
