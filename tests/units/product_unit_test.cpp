#include <gtest/gtest.h>

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

class ProductUnitTest : public test::DatabaseTest {
 protected:
  void SetUp() override {
    unit_.SageConnection(c_);
    Add("01", "BOLT-M8", "BOX", "EACH", 12);
    Add("01", "BOLT-M8", "PALLET", "BOX", 40);
    Add("02", "PAINT", "TIN", "LITRE", 2.5);
  }
  void Key(const std::string& warehouse, const std::string& product, const std::string& base,
           const std::string& converted) {
    unit_.warehouse = warehouse;
    unit_.product = product;
    unit_.base_name = base;
    unit_.converted_unit = converted;
  }
  void Add(const std::string& warehouse, const std::string& product, const std::string& base,
           const std::string& converted, double factor) {
    clsSTUnitPD row;
    row.SageConnection(c_);
    row.warehouse = warehouse;
    row.product = product;
    row.base_name = base;
    row.converted_unit = converted;
    row.conv_factor = factor;
    row.conv_method = "M";
    row.alt_unit = "Y";
    row.from_min_break = 1;
    row.to_min_break = factor * 10;
    row.InsertRow();
  }

  clsSTUnitPD unit_;
};

TEST_P(ProductUnitTest, LooksRowsUpInTheCacheByKeyString) {
  const auto before = Statistics(*c_);
  Key("01", "BOLT-M8", "BOX", "EACH");
  unit_.ReadFromList();
  EXPECT_EQ(unit_.conv_factor(), 12);
  EXPECT_EQ(unit_.to_min_break(), 120);
  // Trailing blanks of the product, letter case, and a base unit past six
  // characters make no difference to the key.
  Key("02", "paint   ", "tin", "litre");
  unit_.ReadFromList();
  EXPECT_EQ(unit_.conv_factor(), 2.5);
  EXPECT_EQ(unit_.product(), "PAINT") << "the cached row is copied in whole";
  EXPECT_EQ(unit_.base_name(), "TIN");
  Key("01", "BOLT-M8", "PALLETS", "BOX");
  unit_.ReadFromList();
  EXPECT_EQ(unit_.conv_factor(), 40);
  EXPECT_EQ(unit_.base_name(), "PALLET");
  EXPECT_EQ(Statistics(*c_).executions - before.executions, 1);
}

TEST_P(ProductUnitTest, AMissingRowIsWordedDifferentlyByTheTwoLookups) {
  Key("01", "BOLT-M8", "BOX", "EACH");
  unit_.ReadIt();
  Key("01", "BOLT-M8", "BOX", "DOZEN");
  test::ExpectError([&] { unit_.ReadIt(); }, vbObjectError,
                    "Line No.: 40 ReadIt of Class Module clsSTUnitPD Line#:40",
                    "Cannot find product unit 01/BOLT-M8/BOX/DOZEN");
  test::ExpectError([&] { unit_.ReadFromList(); }, vbObjectError,
                    "Line No.: 30 ReadFromList of Class Module clsSTUnitPD Line#:30",
                    "Cannot find unit conversion BOX/DOZEN/01/BOLT-M8");
  EXPECT_EQ(unit_.conv_factor(), 12);
}

TEST_P(ProductUnitTest, RowsWithOneKeyStringFailTheLoadUntilTheTableIsPutRight) {
  Add("01", "BOLT-M8", "box", "EACH", 10);  // "BOX" and "box" are one key
  Key("01", "BOLT-M8", "BOX", "EACH");
  test::ExpectError(
      [&] { unit_.ReadFromList(); }, err::DuplicateKey,
      "Line No.: 10 Line No.: 30 TarnlowSTData\r\nLoadFromList of Class Module clsSTUnitPD Line#:30\r\n"
      "ReadFromList of Class Module clsSTUnitPD Line#:10");
  c_->Execute("delete from " + c_->TableCatalogue()->ProductUnitTable() + " where base_name = 'box'");
  unit_.ReadFromList();
  EXPECT_EQ(unit_.conv_factor(), 12);
}

TEST_P(ProductUnitTest, ANullTextFailsTheCopyUnderItsLabels) {
  c_->Execute(
      "insert into " + c_->TableCatalogue()->ProductUnitTable() +
      " (warehouse, product, base_name, converted_unit, alt_unit) values ('05', 'X', 'A', 'B', NULL)");
  Key("05", "X", "A", "B");
  test::ExpectError(
      [&] { unit_.ReadIt(); }, err::InvalidUseOfNull,
      "Line No.: 30 Line No.: 10 TarnlowSTData\r\nCopyFromRS of Class Module clsSTUnitPD Line#:10\r\n"
      "ReadIt of Class Module clsSTUnitPD Line#:30");
  EXPECT_EQ(test::CatchError([&] { unit_.ReadFromList(); }).Source(),
            "Line No.: 10 Line No.: 30 Line No.: 10 TarnlowSTData\r\nCopyFromRS of Class Module clsSTUnitPD "
            "Line#:10\r\nLoadFromList of Class Module clsSTUnitPD Line#:30\r\nReadFromList of Class Module "
            "clsSTUnitPD Line#:10");
}

TEST_P(ProductUnitTest, FailuresOfTheInsertCarryItsLabel) {
  Key("01", "BOLT-M8", "BOX", "EACH");
  const Error duplicate = test::CatchError([&] { unit_.InsertRow(); });
  EXPECT_EQ(duplicate.Number(), DbIntegrityViolation);
  EXPECT_TRUE(duplicate.Source().starts_with("Line No.: 30 ")) << duplicate.Source();
  EXPECT_TRUE(duplicate.Source().ends_with("\r\nInsertRow of Class Module clsSTUnitPD Line#:30"))
      << duplicate.Source();

  test::MessageCapture messages;
  clsSTUnitPD unconnected;
  EXPECT_EQ(test::CatchError([&] { unconnected.PrepareInsertStatement(); }).Source(),
            "Line No.: 20 TarnlowSTData\r\nPrepareInsertStatement of Class Module clsSTUnitPD Line#:20");
  const Error r = test::CatchError([&] { unconnected.ReadIt(); });
  EXPECT_EQ(r.Source(),
            "Line No.: 10 Line No.: 20 TarnlowSTData\r\nPrepareReadStatement of Class Module clsSTUnitPD "
            "Line#:20\r\nReadIt of Class Module clsSTUnitPD Line#:10");
}

TARNLOW_ON_EVERY_BACKEND(ProductUnitTest);

}  // namespace
}  // namespace tarnlow
