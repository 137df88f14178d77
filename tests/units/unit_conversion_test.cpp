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

class UnitConversionTest : public test::DatabaseTest {
 protected:
  void SetUp() override {
    // Inserted out of order: the copy of the table is ordered by base unit.
    Insert("KG", "GRAM", 1000, "M", 0, 50);
    Insert("BOX12 ", "EACH", 12, "M", 1, 100);
    Insert("KG", "TONNE", 1000, "D", 2, 3);
    Insert("EACH", "BOX12", 12, "D", 0, 0);
    conversion_.SageConnection(c_);
  }
  void Insert(const std::string& base, const std::string& converted, double factor, const std::string& method,
              double from_min, double to_min) {
    c_->Execute(
        "insert into " + c_->TableCatalogue()->UnitConversionTable() +
        " (base_name, converted_unit, unit_group, conv_factor, conv_method, description, from_min_break,"
        " to_min_break) values ('" +
        base + "', '" + converted + "', 'W', " + ShortestText(factor) + ", '" + method + "', 'unused', " +
        ShortestText(from_min) + ", " + ShortestText(to_min) + ")");
  }
  void Pair(const std::string& base, const std::string& converted) {
    conversion_.base_name = base;
    conversion_.converted_unit = converted;
  }

  clsSTUnitCD conversion_;
};

TEST_P(UnitConversionTest, ReadsOnePairFromTheTable) {
  Pair("KG", "TONNE");
  conversion_.ReadIt();
  EXPECT_EQ(conversion_.conv_factor(), 1000);
  EXPECT_EQ(conversion_.conv_method(), "D");
  EXPECT_EQ(conversion_.from_min_break(), 2);
  EXPECT_EQ(conversion_.from_max_break(), 3) << "filled from to_min_break";
  EXPECT_EQ(conversion_.KeyString(), "KG     TONNE");

  Pair("BOX12 ", "EACH");
  EXPECT_EQ(conversion_.base_name(), "BOX12") << "the let drops trailing blanks";
  EXPECT_EQ(test::CatchError([&] { conversion_.ReadIt(); }).Description(),
            "Cannot find unit conversion from BOX12 to EACH")
      << "the table holds the code with its blank";
}

TEST_P(UnitConversionTest, LooksPairsUpInOneReadOfTheTable) {
  const auto before = Statistics(*c_);
  Pair("BOX12", "EACH");  // stored with a trailing blank, found without
  conversion_.ReadFromList();
  EXPECT_EQ((std::tuple{conversion_.conv_factor(), conversion_.conv_method(), conversion_.from_min_break(),
                        conversion_.from_max_break()}),
            (std::tuple{12, "M", 1, 100}));
  // Both conversions of one base unit, whichever comes first in the copy.
  Pair("KG", "TONNE");
  conversion_.ReadFromList();
  EXPECT_EQ(conversion_.conv_method(), "D");
  EXPECT_EQ(conversion_.from_max_break(), 3);
  Pair("KG", "GRAM");
  conversion_.ReadFromList();
  EXPECT_EQ((std::tuple{conversion_.conv_method(), conversion_.from_max_break(), conversion_.base_name(),
                        conversion_.converted_unit()}),
            (std::tuple{"M", 50, "KG", "GRAM"}));

  EXPECT_EQ(Statistics(*c_).executions - before.executions, 1);
  // Setting the connection, even the same one, empties the copy.
  Insert("KG", "POUND", 2.20462, "M", 0, 0);
  Pair("KG", "POUND");
  EXPECT_THROW(conversion_.ReadFromList(), Error);
  conversion_.SageConnection(c_);
  conversion_.ReadFromList();
  EXPECT_EQ(conversion_.conv_factor(), 2.20462);
}

// The copy keeps the database's order; a base unit's rows end at the first
// row of another base, even when a later row trims to the same base.
TEST_P(UnitConversionTest, TheLookupScansOnlyTheRowsThatFollowTheFirstOfItsBase) {
  Insert("KG\tX", "LB", 2, "M", 0, 0);
  Insert("KG ", "OUNCE", 35, "M", 0, 0);  // after "KG\tX": the blank sorts after the tab
  Pair("KG", "TONNE");
  conversion_.ReadFromList();
  EXPECT_EQ(conversion_.conv_method(), "D");
  Pair("KG", "OUNCE");
  EXPECT_EQ(test::CatchError([&] { conversion_.ReadFromList(); }).Description(),
            "Cannot find unit conversion KG/OUNCE");
  EXPECT_EQ(conversion_.conv_method(), "D");
}

TEST_P(UnitConversionTest, AMissingPairIsWordedDifferentlyByTheTwoLookups) {
  Pair("KG", "GRAM");
  conversion_.ReadFromList();
  for (const auto& [base, converted] : std::vector<std::pair<std::string, std::string>>{
           {"KG", "OUNCE"}, {"kg", "GRAM"}, {"ZZZ", "GRAM"}, {"EACH", "TONNE"}, {"KG", "BOX12"}}) {
    Pair(base, converted);
    test::ExpectError([&] { conversion_.ReadFromList(); }, vbObjectError,
                      "Line No.: 30 ReadFromList of Class Module clsSTUnitCD Line#:30",
                      "Cannot find unit conversion " + base + "/" + converted);
    const Error read = test::CatchError([&] { conversion_.ReadIt(); });
    EXPECT_EQ(read.Source(), "Line No.: 40 ReadIt of Class Module clsSTUnitCD Line#:40");
    EXPECT_EQ(read.Description(), "Cannot find unit conversion from " + base + " to " + converted);
  }
  EXPECT_EQ(conversion_.conv_factor(), 1000);
  EXPECT_EQ(conversion_.from_max_break(), 50);
}

TEST_P(UnitConversionTest, TheCopyGivesNumbersAsTheirFifteenDigitText) {
  if (GetParam() == "odbc-sqlite")
    GTEST_SKIP() << "the SQLite driver reads every number through SQLite's 15-digit text, so the "
                    "direct read cannot give the whole double";
  Insert("LB", "KG", 1.0 / 3, "M", 0.1 + 0.2, 1e-7);
  Pair("LB", "KG");
  conversion_.ReadIt();
  EXPECT_EQ(conversion_.conv_factor(), 1.0 / 3);
  EXPECT_EQ(conversion_.from_min_break(), 0.1 + 0.2);
  conversion_.ReadFromList();
  EXPECT_EQ(conversion_.conv_factor(), 0.333333333333333);
  EXPECT_EQ(conversion_.from_min_break(), 0.3);
  EXPECT_EQ(conversion_.from_max_break(), 1e-7);
  // The same again from the loaded copy.
  conversion_.ReadIt();
  conversion_.ReadFromList();
  EXPECT_EQ(conversion_.conv_factor(), 0.333333333333333);
  EXPECT_EQ(conversion_.from_min_break(), 0.3);
}

TEST_P(UnitConversionTest, AFailedLoadIsTriedAgainOnTheNextLookup) {
  auto [c, faults] = test::OpenWithFaults(db_);
  faults->Add({"select * from unit_conversion", 1, 1, DbFailure, "Injected", "lost"});
  clsSTUnitCD conversion;
  conversion.SageConnection(c);
  conversion.base_name = "EACH";
  conversion.converted_unit = "BOX12";
  EXPECT_EQ(test::CatchError([&] { conversion.ReadFromList(); }).Source(),
            "Line No.: 10 Line No.: 10 Injected\r\nLoadFromList of Class Module clsSTUnitCD Line#:10\r\n"
            "ReadFromList of Class Module clsSTUnitCD Line#:10");
  conversion.ReadFromList();
  EXPECT_EQ(conversion.conv_factor(), 12);
}

TEST_P(UnitConversionTest, ANullFactorFailsUnderTheLabelsOfItsLookup) {
  c_->Execute("insert into " + c_->TableCatalogue()->UnitConversionTable() +
              " (base_name, converted_unit, conv_factor, conv_method) values ('NUL', 'EACH', NULL, 'M')");
  Pair("NUL", "EACH");
  test::ExpectError(
      [&] { conversion_.ReadIt(); }, err::InvalidUseOfNull,
      "Line No.: 30 Line No.: 20 TarnlowSTData\r\nCopyFromRS of Class Module clsSTUnitCD Line#:20\r\n"
      "ReadIt of Class Module clsSTUnitCD Line#:30");
  test::ExpectError([&] { conversion_.ReadFromList(); }, err::TypeMismatch,
                    "Line No.: 40 TarnlowSTData\r\nReadFromList of Class Module clsSTUnitCD Line#:40");
}

TARNLOW_ON_EVERY_BACKEND(UnitConversionTest);

}  // namespace
}  // namespace tarnlow
