#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include "connection/database_connection.h"
#include "fault_database.h"
#include "tarnlow/tarnlow.h"
#include "test_support.h"

namespace tarnlow {
namespace {

using test::Rows;
using test::Select;

// ---- stock extension -------------------------------------------------------------

class StockExtensionTest : public test::DatabaseTest {
 protected:
  void SetUp() override { extension_.SageConnection(c_); }
  void Fill(const std::string& tag) {
    extension_.analysis_d = "D" + tag;
    extension_.analysis_e = "E" + tag;
    extension_.analysis_f = "F" + tag;
    extension_.delivery_qty_tol = "5%" + tag;
    extension_.call_off_qty_tol = "10%" + tag;
    extension_.consumer_unit = "BOX" + tag;
  }
  Rows Stored() {
    return Select(*c_,
                  "select warehouse, product, analysis_d, analysis_e, analysis_f, delivery_qty_tol,"
                  " call_off_qty_tol, consumer_unit from " +
                      c_->TableCatalogue()->StockExtensionTable() + " order by warehouse, product");
  }

  clsStockXpgD extension_;
};

TEST_P(StockExtensionTest, InsertsReadsAndUpdatesTheRowOfAWarehouseAndProduct) {
  extension_.warehouse = "01";
  extension_.product = "WIDGET";
  Fill("1");
  extension_.InsertRow();
  extension_.product = "BOLT";
  Fill("2");
  extension_.InsertRow();
  EXPECT_EQ(Stored(), (Rows{{"01", "BOLT", "D2", "E2", "F2", "5%2", "10%2", "BOX2"},
                            {"01", "WIDGET", "D1", "E1", "F1", "5%1", "10%1", "BOX1"}}));

  clsStockXpgD reader;
  reader.SageConnection(c_);
  reader.warehouse = "01";
  reader.product = "WIDGET";
  reader.ReadIt();
  EXPECT_EQ((std::tuple{reader.analysis_d(), reader.analysis_e(), reader.analysis_f(),
                        reader.delivery_qty_tol(), reader.call_off_qty_tol(), reader.consumer_unit()}),
            (std::tuple{"D1", "E1", "F1", "5%1", "10%1", "BOX1"}));

  reader.delivery_qty_tol = "7%";
  reader.consumer_unit = "EACH";
  reader.UpdateStock();
  reader.product = "BOLT";
  reader.ReadIt();
  EXPECT_EQ(reader.consumer_unit(), "BOX2") << "the update touched only its own row";
  reader.product = "WIDGET";
  reader.ReadIt();
  EXPECT_EQ(reader.delivery_qty_tol(), "7%");
  EXPECT_EQ(reader.consumer_unit(), "EACH");
  EXPECT_EQ(reader.analysis_d(), "D1");
}

TEST_P(StockExtensionTest, AMissingRowIsReportedByProductAndChangesNothing) {
  extension_.warehouse = "01";
  extension_.product = "GHOST";
  Fill("X");
  test::ExpectError([&] { extension_.ReadIt(); }, vbObjectError,
                    "Line No.: 40 ReadIt of Class Module clsStockXpgm", "Cannot find Product GHOST");
  EXPECT_EQ(extension_.consumer_unit(), "BOXX");

  extension_.UpdateStock();
  EXPECT_TRUE(Stored().empty()) << "an update without a row writes nothing";
}

TEST_P(StockExtensionTest, ANullColumnFailsTheCopyThroughBothLabels) {
  c_->Execute("insert into " + c_->TableCatalogue()->StockExtensionTable() +
              " (warehouse, product, analysis_d) values ('01', 'NULLS', NULL)");
  extension_.warehouse = "01";
  extension_.product = "NULLS";
  test::ExpectError(
      [&] { extension_.ReadIt(); }, err::InvalidUseOfNull,
      "Line No.: 30 Line No.: 10 TarnlowSTData\r\nCopyFromRecordset of Class Module clsStockXpgm\r\n"
      "ReadIt of Class Module clsStockXpgm");
}

TEST_P(StockExtensionTest, FailuresCarryTheLabelsOfTheirOperations) {
  extension_.warehouse = "01";
  extension_.product = "WIDGET";
  Fill("1");
  extension_.InsertRow();
  const Error duplicate = test::CatchError([&] { extension_.InsertRow(); });
  EXPECT_EQ(duplicate.Number(), DbIntegrityViolation);
  EXPECT_TRUE(duplicate.Source().starts_with("Line No.: 30 ")) << duplicate.Source();
  EXPECT_TRUE(duplicate.Source().ends_with("\r\nInsertRow of Class Module clsStockXpgm"))
      << duplicate.Source();

  extension_.delivery_qty_tol = std::string(31, '9');
  const Error too_long = test::CatchError([&] { extension_.UpdateStock(); });
  EXPECT_TRUE(too_long.Source().ends_with("\r\nupdateStock of Class Module clsStockXpgm"))
      << too_long.Source();

  // With the statements prepared and the connection taken away, the values
  // are set and running the update is what fails.
  test::MessageCapture messages;
  extension_.SageConnection(nullptr);
  test::ExpectError([&] { extension_.UpdateStock(); }, err::ObjectNotSet,
                    "Line No.: 30 TarnlowSTData\r\nupdateStock of Class Module clsStockXpgm");

  clsStockXpgD unconnected;
  for (const auto& [operation, label] : std::vector<std::pair<void (clsStockXpgD::*)(), std::string>>{
           {&clsStockXpgD::PrepareReadStatement, "PrepareReadStatement of Class Module clsStockXpgm"},
           {&clsStockXpgD::PrepareStkxpgmUpdateStatement,
            "PrepareStkxpgmUpdateStatement of Class Module clsStockXpgm"},
           {&clsStockXpgD::PrepareInsertStatement, "PrepareInsertStatement of Class Module clsStockXpgm"}}) {
    EXPECT_EQ(test::CatchError([&] { (unconnected.*operation)(); }).Source(),
              "Line No.: 20 TarnlowSTData\r\n" + label);
  }
  EXPECT_TRUE(messages.Messages().empty());
}

TARNLOW_ON_EVERY_BACKEND(StockExtensionTest);

// ---- product-group tolerances ------------------------------------------------------

class ProductGroupToleranceTest : public test::DatabaseTest {
 protected:
  void SetUp() override {
    Insert("FASTENER", "10", "5");
    Insert("PAINT   ", "2.5   ", "1  ");
    Insert("SHEET", "", "");
    tolerance_.SageConnection(c_);
  }
  void Insert(const std::string& group, const std::string& delivery, const std::string& call_off) {
    c_->Execute("insert into " + c_->TableCatalogue()->ProductGroupToleranceTable() +
                " (product_group, delivery_qty_tol, call_off_qty_tol) values ('" + group + "', '" + delivery +
                "', '" + call_off + "')");
  }
  void Read(const std::string& group) {
    tolerance_.product_group = group;
    tolerance_.ReadIt();
  }

  clsStkpgtxD tolerance_;
};

TEST_P(ProductGroupToleranceTest, FindsAGroupsTolerancesInOneReadOfTheTable) {
  const auto before = Statistics(*c_);
  Read("FASTENER");
  EXPECT_EQ(tolerance_.delivery_qty_tol(), "10");
  EXPECT_EQ(tolerance_.call_off_qty_tol(), "5");
  // Stored with trailing blanks, found and given back without them.
  Read("PAINT");
  EXPECT_EQ(tolerance_.delivery_qty_tol(), "2.5");
  EXPECT_EQ(tolerance_.call_off_qty_tol(), "1");
  // The key's own trailing blanks go when it is set.
  Read("SHEET    ");
  EXPECT_EQ(tolerance_.product_group(), "SHEET");
  EXPECT_EQ(tolerance_.delivery_qty_tol(), "");
  Read("FASTENER");
  EXPECT_EQ(tolerance_.delivery_qty_tol(), "10");

  EXPECT_EQ(Statistics(*c_).executions - before.executions, 1);
}

TEST_P(ProductGroupToleranceTest, AnAbsentGroupIsReportedWithTheMisspeltMessage) {
  Read("FASTENER");
  tolerance_.product_group = "fastener";  // exact match only
  test::ExpectError([&] { tolerance_.ReadIt(); }, vbObjectError,
                    "Line No.: 30 ReadIt of Class Module clsStkpgtxD", "Cannont Find Product Groupfastener");
  EXPECT_EQ(tolerance_.delivery_qty_tol(), "10");
  EXPECT_EQ(tolerance_.call_off_qty_tol(), "5");
}

TEST_P(ProductGroupToleranceTest, TheCopyIsStaleUntilResetCache) {
  Read("FASTENER");
  c_->Execute("update " + c_->TableCatalogue()->ProductGroupToleranceTable() +
              " set delivery_qty_tol = '99' where product_group = 'FASTENER'");
  Insert("TIMBER", "3", "4");
  Read("FASTENER");
  EXPECT_EQ(tolerance_.delivery_qty_tol(), "10");
  tolerance_.product_group = "TIMBER";
  EXPECT_EQ(test::CatchError([&] { tolerance_.ReadIt(); }).Description(), "Cannont Find Product GroupTIMBER");

  // A connection set again, even a new one, keeps the copy.
  tolerance_.SageConnection(db_.Open());
  EXPECT_EQ(test::CatchError([&] { tolerance_.ReadIt(); }).Description(), "Cannont Find Product GroupTIMBER");

  tolerance_.ResetCache();
  Read("TIMBER");
  EXPECT_EQ(tolerance_.delivery_qty_tol(), "3");
  Read("FASTENER");
  EXPECT_EQ(tolerance_.delivery_qty_tol(), "99");
}

TEST_P(ProductGroupToleranceTest, NullTolerancesReadAsNoText) {
  c_->Execute("insert into " + c_->TableCatalogue()->ProductGroupToleranceTable() +
              " (product_group, delivery_qty_tol, call_off_qty_tol) values ('NULLS', NULL, NULL)");
  Read("NULLS");
  EXPECT_EQ(tolerance_.delivery_qty_tol(), "");
  EXPECT_EQ(tolerance_.call_off_qty_tol(), "");
}

TEST_P(ProductGroupToleranceTest, AFailedLoadIsTriedAgainOnTheNextLookup) {
  auto [c, faults] = test::OpenWithFaults(db_);
  faults->Add({"select * from product_group_tolerance", 1, 1, DbFailure, "Injected", "table is busy"});
  clsStkpgtxD tolerance;
  tolerance.SageConnection(c);
  tolerance.product_group = "PAINT";
  const Error e = test::CatchError([&] { tolerance.ReadIt(); });
  EXPECT_EQ(e.Description(), "table is busy");
  EXPECT_EQ(e.Source(),
            "Line No.: 10 Line No.: 20 Injected\r\nLoadIntoList of Class Module clsStkpgtxD\r\n"
            "ReadIt of Class Module clsStkpgtxD");
  tolerance.ReadIt();
  EXPECT_EQ(tolerance.delivery_qty_tol(), "2.5");
}

TEST_P(ProductGroupToleranceTest, PreparingWithoutAConnectionFailsUnderItsLabel) {
  test::MessageCapture messages;
  clsStkpgtxD unconnected;
  test::ExpectError([&] { unconnected.PrepareReadStatement(); }, err::ObjectClosed,
                    "Line No.: 30 TarnlowSTData\r\nPrepareReadStatement of Class Module clsStkpgtxD");
  EXPECT_TRUE(messages.Messages().empty());
}

TARNLOW_ON_EVERY_BACKEND(ProductGroupToleranceTest);

}  // namespace
}  // namespace tarnlow
