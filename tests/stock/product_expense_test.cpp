#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tarnlow/tarnlow.h"
#include "test_support.h"

namespace tarnlow {
namespace {

using test::Rows;
using test::Select;

// Both key layouts, chosen by the release the connection reports.
class ProductExpenseTest : public ::testing::TestWithParam<std::string> {
 protected:
  std::shared_ptr<Connection> Open(const std::string& release) {
    auto c = db_.Open("release=" + release);
    expense_.SageConnection(c);
    return c;
  }
  Rows Stored(Connection& c, const std::string& columns) {
    return Select(c, "select " + columns + " from " + c.TableCatalogue()->ProductExpenseTable() +
                         " order by " + columns);
  }
  void Key(const std::string& warehouse, const std::string& product) {
    expense_.warehouse = warehouse;
    expense_.product = product;
  }

  test::ScratchDatabase db_{GetParam()};
  clsSTPrExD expense_;
};

TEST_P(ProductExpenseTest, FromReleaseSixTheKeyIsWarehouseAndProduct) {
  auto c = Open("6");
  Key("1", "WIDGET");
  expense_.expense = "FREIGHT";
  expense_.InsertRow();
  Key("02", "BOLT");
  expense_.expense = "DUTY";
  expense_.InsertRow();

  expense_.expense = "";
  Key("1", "WIDGET");
  expense_.ReadIt();
  EXPECT_EQ(expense_.expense(), "FREIGHT");

  expense_.expense = "HANDLING";
  expense_.UpdateRow();
  EXPECT_EQ(Stored(*c, "warehouse, product, expense"),
            (Rows{{"02", "BOLT", "DUTY"}, {"1", "WIDGET", "HANDLING"}}));
}

TEST_P(ProductExpenseTest, BelowReleaseSixTheKeyIsOneCombinedColumn) {
  auto c = Open("5");
  Key("1", "WIDGET");
  expense_.expense = "FREIGHT";
  expense_.InsertRow();
  // A warehouse code longer than two characters keeps its first two.
  Key("123", "BOLT");
  expense_.expense = "DUTY";
  expense_.InsertRow();
  Key("12", "NUT ");
  expense_.expense = "NONE";
  expense_.InsertRow();
  EXPECT_EQ(Stored(*c, "whproduct, expense"),
            (Rows{{" 1WIDGET", "FREIGHT"}, {"12BOLT", "DUTY"}, {"12NUT ", "NONE"}}));

  Key("1", "WIDGET");
  expense_.ReadIt();
  EXPECT_EQ(expense_.expense(), "FREIGHT");
  Key("12", "BOLT");
  expense_.expense = "HANDLING";
  expense_.UpdateRow();
  Key("12", "NUT");
  expense_.expense = "";
  expense_.UpdateRow();  // "12NUT" is not "12NUT ": nothing changes
  EXPECT_EQ(Stored(*c, "whproduct, expense"),
            (Rows{{" 1WIDGET", "FREIGHT"}, {"12BOLT", "HANDLING"}, {"12NUT ", "NONE"}}));
}

TEST_P(ProductExpenseTest, AMissingRowNamesTheCombinedKeyInBothLayouts) {
  for (const std::string release : {"5", "8"}) {
    SCOPED_TRACE(release);
    test::ScratchDatabase db(GetParam());
    clsSTPrExD expense;
    expense.SageConnection(db.Open("release=" + release));
    expense.warehouse = "1";
    expense.product = "GHOST";
    expense.expense = "KEPT";
    test::ExpectError([&] { expense.ReadIt(); }, vbObjectError,
                      "Line No.: 40 STPREx.ReadIt\r\nReadIt of Class Module clsSTPrExD",
                      "Cannot find stprex for  1GHOST");
    EXPECT_EQ(expense.expense(), "KEPT");
  }
}

TEST_P(ProductExpenseTest, FailuresCarryTheLabelsOfTheirOperations) {
  auto c = Open("8");
  Key("01", "WIDGET");
  expense_.expense = "FREIGHT";
  expense_.InsertRow();
  const Error duplicate = test::CatchError([&] { expense_.InsertRow(); });
  EXPECT_EQ(duplicate.Number(), DbIntegrityViolation);
  EXPECT_TRUE(duplicate.Source().starts_with("Line No.: 30 ")) << duplicate.Source();
  EXPECT_TRUE(duplicate.Source().ends_with("\r\nInsertRow of Class Module clsSTPrExD")) << duplicate.Source();

  // The update's label names another class and carries its line.
  expense_.expense = std::string(21, 'X');
  const Error too_long = test::CatchError([&] { expense_.UpdateRow(); });
  EXPECT_TRUE(too_long.Source().starts_with("Line No.: 30 ")) << too_long.Source();
  EXPECT_TRUE(too_long.Source().ends_with("\r\nUpdateRow of Class Module clsStockXpgm Line#:30"))
      << too_long.Source();
  expense_.ReadIt();
  EXPECT_EQ(expense_.expense(), "FREIGHT");

  // Without a connection every statement fails to prepare, under its own label.
  test::MessageCapture messages;
  clsSTPrExD unconnected;
  for (const auto& [operation, label] : std::vector<std::pair<void (clsSTPrExD::*)(), std::string>>{
           {&clsSTPrExD::PrepareInsertStatement, "PrepareInsertStatement of Class Module clsSTPrExD"},
           {&clsSTPrExD::PrepareReadStatement, "PrepareReadStatement of Class Module clsSTPrExD"},
           {&clsSTPrExD::PrepareUpdateStatement, "PrepareUpdateStatement of Class Module clsSTPrExD"}}) {
    test::ExpectError([&] { (unconnected.*operation)(); }, err::ObjectClosed,
                      "Line No.: 20 TarnlowSTData\r\n" + label);
  }
  EXPECT_TRUE(messages.Messages().empty());
}

TEST_P(ProductExpenseTest, AStatementKeepsTheLayoutItWasPreparedIn) {
  // The same database reached first as release 8, then as release 5: the
  // prepared statements stay in the two-column layout and their keys are
  // bound to match, so the object goes on working.
  auto c8 = Open("8");
  Key("1", "WIDGET");
  expense_.expense = "FREIGHT";
  expense_.InsertRow();
  expense_.ReadIt();
  expense_.UpdateRow();
  expense_.SageConnection(db_.Open("release=5"));
  expense_.expense = "DUTY";
  expense_.UpdateRow();
  expense_.expense = "";
  expense_.ReadIt();
  EXPECT_EQ(expense_.expense(), "DUTY");
  EXPECT_EQ(Stored(*c8, "warehouse, product, expense"), (Rows{{"1", "WIDGET", "DUTY"}}));
  // A fresh object on the release-5 connection uses the combined column,
  // which this database does not have.
  clsSTPrExD fresh;
  fresh.SageConnection(db_.Open("release=5"));
  fresh.warehouse = "1";
  fresh.product = "WIDGET";
  const Error e = test::CatchError([&] { fresh.ReadIt(); });
  EXPECT_TRUE(e.Source().ends_with("\r\nReadIt of Class Module clsSTPrExD")) << e.Source();
}

TARNLOW_ON_EVERY_BACKEND(ProductExpenseTest);

}  // namespace
}  // namespace tarnlow
