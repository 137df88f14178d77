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

// ---- stock nominal category ---------------------------------------------------

class NominalCategoryTest : public test::DatabaseTest {
 protected:
  void SetUp() override {
    c_->Execute(
        "insert into " + c_->TableCatalogue()->StockCategoryTable() +
        " (nl_category, po_recp_acc, st_balance_acc) values"
        " ('RAW', 'GRNI-RAW', 'STK-RAW'), ('FIN', 'GRNI-FIN  ', 'STK-FIN'), ('O''K', 'ACC-Q', 'BAL-Q')");
    category_.SageConnection(c_);
  }
  clsSTNLCat category_;
};

TEST_P(NominalCategoryTest, ReadsTheReceiptAndBalanceSheetAccountsOfACategory) {
  EXPECT_EQ(category_.MovementType(), ePurchaseReceipt);
  category_.nl_category = "RAW";
  category_.ReadIt();
  EXPECT_EQ(category_.MovementAccount(), "GRNI-RAW");
  EXPECT_EQ(category_.BalanceSheetAccount(), "STK-RAW");

  // Accounts come back as stored, trailing blanks included.
  category_.nl_category = "FIN";
  category_.ReadIt();
  EXPECT_EQ(category_.MovementAccount(), "GRNI-FIN  ");
  EXPECT_EQ(category_.BalanceSheetAccount(), "STK-FIN");

  // The key is a bound value: an apostrophe in it is just a character.
  category_.nl_category = "O'K";
  category_.ReadIt();
  EXPECT_EQ(category_.MovementAccount(), "ACC-Q");
}

TEST_P(NominalCategoryTest, AMissingCategoryRaisesItsRecordAndKeepsTheAccounts) {
  category_.nl_category = "RAW";
  category_.ReadIt();
  category_.nl_category = "ZZ9";
  test::ExpectError([&] { category_.ReadIt(); }, -2147221504, "PORSTNLCat.ReadIt",
                    "Cannot find stock category ZZ9");
  EXPECT_EQ(category_.MovementAccount(), "GRNI-RAW");
  EXPECT_EQ(category_.BalanceSheetAccount(), "STK-RAW");
}

TEST_P(NominalCategoryTest, ANullAccountFailsTheReadAfterTheBalanceSheetAccountIsStored) {
  c_->Execute("insert into " + c_->TableCatalogue()->StockCategoryTable() +
              " (nl_category, po_recp_acc, st_balance_acc) values ('NUL', NULL, 'STK-NUL')");
  category_.nl_category = "RAW";
  category_.ReadIt();
  category_.nl_category = "NUL";
  EXPECT_EQ(test::CatchError([&] { category_.ReadIt(); }).Number(), err::InvalidUseOfNull);
  // The balance-sheet account is copied first, the movement account second.
  EXPECT_EQ(category_.BalanceSheetAccount(), "STK-NUL");
  EXPECT_EQ(category_.MovementAccount(), "GRNI-RAW");
  category_.nl_category = "FIN";
  category_.ReadIt();
  EXPECT_EQ(category_.MovementAccount(), "GRNI-FIN  ");
}

TEST_P(NominalCategoryTest, AMovementTypeWithoutAnAccountIsRefused) {
  const Error e = test::ExpectError([&] { category_.MovementType(static_cast<eMovementType>(3)); },
                                    vbObjectError, "PORSTNLCat.MovementType");
  EXPECT_EQ(e.Description(),
            "Invalid movement type 3: only ePurchaseReceipt (0) has a stock category account");
  EXPECT_EQ(category_.MovementType(), ePurchaseReceipt);

  // Late-bound clients pass plain numbers and meet the same check.
  EXPECT_EQ(
      test::CatchError([&] { late::Let(category_, "MovementType", Variant(std::int32_t{-1})); }).Source(),
      "PORSTNLCat.MovementType");

  category_.nl_category = "RAW";
  category_.ReadIt();
  EXPECT_EQ(category_.MovementAccount(), "GRNI-RAW");
}

TARNLOW_ON_EVERY_BACKEND(NominalCategoryTest);

// ---- nominal ledger movement ---------------------------------------------------

class NominalMovementTest : public ::testing::TestWithParam<std::string> {
 protected:
  // A connection over the scratch database whose executions can be made to fail.
  test::FaultyConnection Open(const std::string& options) {
    auto faulty = test::OpenWithFaults(db_, options);
    movement_.SageConnection(faulty.connection);
    return faulty;
  }
  void Fill(const std::string& ref, double amount) {
    movement_.account = "4000-STOCK";
    movement_.amount_posted = amount;
    movement_.comments = "Receipt of O'Brien's order";
    movement_.movement_date = Date::FromCalendar(2024, 3, 15);
    movement_.post_flag = "N";
    movement_.tranaction_ref = ref;
  }
  Rows Stored(Connection& c, const std::string& columns) {
    return Select(c, "select " + columns + " from " + c.TableCatalogue()->NominalMovementTable() +
                         " order by tranaction_ref");
  }
  // Fails the inserts of movements as the rule's first and times say.
  static test::FaultRule InsertFault(int first, int times) {
    return {"INSERT INTO stock_nominal_movement",
            first,
            times,
            DbIntegrityViolation,
            "Injected",
            "duplicate key value"};
  }

  test::ScratchDatabase db_{GetParam()};
  clsSTNLMov movement_;
  test::MessageCapture messages_;
};

TEST_P(NominalMovementTest, InsertsMovementsThroughOnePreparedStatement) {
  auto [c, faults] = Open("kind=1");
  const auto before = Statistics(*c);
  Fill("GRN001", 125.5);
  movement_.InsertRow();
  Fill("GRN002", -3.25);
  movement_.InsertRow();
  EXPECT_EQ(Statistics(*c).prepares - before.prepares, 1);

  const Rows rows = Stored(*c, "account, amount_posted, comments, movement_date, post_flag, tranaction_ref");
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[0][0], Variant("4000-STOCK"));
  EXPECT_EQ(rows[0][1].ToDouble(), 125.5);
  EXPECT_EQ(rows[0][2], Variant("Receipt of O'Brien's order"));
  EXPECT_EQ(rows[0][3].ToDate(), Date::FromCalendar(2024, 3, 15));
  EXPECT_EQ(rows[0][4], Variant("N"));
  EXPECT_EQ(rows[0][5], Variant("GRN001"));
  EXPECT_EQ(rows[1][1].ToDouble(), -3.25);
  // The properties keep their values for the next row.
  EXPECT_EQ(movement_.tranaction_ref(), "GRN002");
  EXPECT_TRUE(messages_.Messages().empty());
}

TEST_P(NominalMovementTest, KindTwoRetriesOnceUnderAFreshNumber) {
  auto [c, faults] = Open("kind=2");
  const std::size_t rule = faults->Add(InsertFault(1, 1));
  Fill("GRN001", 10);
  movement_.InsertRow();

  ASSERT_EQ(messages_.Messages().size(), 1u);
  EXPECT_EQ(messages_.Messages()[0].text, "Error inserting stock movement.   Press OK to try again");
  EXPECT_EQ(messages_.Messages()[0].style, 0);
  EXPECT_EQ(faults->Executions(rule), 2);

  const Rows rows = Stored(*c, "unique_no, tranaction_ref");
  ASSERT_EQ(rows.size(), 1u);
  const std::vector<test::FaultPlan::Failure> failed = faults->Failures();
  ASSERT_EQ(failed.size(), 1u);
  const std::string first_key = failed[0].values.at(0).ToText();
  EXPECT_EQ(first_key.size(), 8u);
  EXPECT_EQ(rows[0][0].ToText().size(), 8u);
  EXPECT_NE(rows[0][0].ToText(), first_key);
  EXPECT_EQ(rows[0][1], Variant("GRN001"));
}

TEST_P(NominalMovementTest, KindTwoGivesUpAfterTheRetryWithoutAnError) {
  auto [c, faults] = Open("kind=2");
  const std::size_t rule = faults->Add(InsertFault(1, 2));
  Fill("GRN001", 10);
  movement_.InsertRow();

  ASSERT_EQ(messages_.Messages().size(), 2u);
  EXPECT_EQ(messages_.Messages()[0].text, "Error inserting stock movement.   Press OK to try again");
  EXPECT_EQ(messages_.Messages()[0].style, 0);
  EXPECT_EQ(messages_.Messages()[1].text, "Stock movement insert failed");
  EXPECT_EQ(messages_.Messages()[1].style, 16);
  EXPECT_EQ(faults->Executions(rule), 2);
  EXPECT_TRUE(Stored(*c, "unique_no").empty());

  // The object is still usable for the next movement.
  movement_.InsertRow();
  EXPECT_EQ(Stored(*c, "unique_no").size(), 1u);
  EXPECT_EQ(messages_.Messages().size(), 2u);
}

TEST_P(NominalMovementTest, OtherKindsPassTheDatabaseErrorOnUnchanged) {
  auto [c, faults] = Open("kind=1");
  const std::size_t rule = faults->Add(InsertFault(1, 1));
  Fill("GRN001", 10);
  test::ExpectError([&] { movement_.InsertRow(); }, DbIntegrityViolation, "Injected", "duplicate key value");
  EXPECT_TRUE(messages_.Messages().empty());
  EXPECT_EQ(faults->Executions(rule), 1);
  EXPECT_TRUE(Stored(*c, "account").empty());
}

TARNLOW_ON_EVERY_BACKEND(NominalMovementTest);

}  // namespace
}  // namespace tarnlow
