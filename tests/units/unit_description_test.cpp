#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "connection/database_connection.h"
#include "fault_database.h"
#include "tarnlow/tarnlow.h"
#include "test_support.h"

namespace tarnlow {
namespace {

class UnitDescriptionTest : public test::DatabaseTest {
 protected:
  void SetUp() override {
    Insert("EACH", 0);
    Insert("KG    ", 3);
    Insert("LITRE", 2);
    unit_.SageConnection(c_);
  }
  void Insert(const std::string& code, int places) {
    c_->Execute("insert into " + c_->TableCatalogue()->UnitDescriptionTable() +
                " (unit_code, dec_places) values ('" + code + "', " + std::to_string(places) + ")");
  }

  clsSTUnitDD unit_;
};

TEST_P(UnitDescriptionTest, LooksUnitsUpInOneReadOfTheTable) {
  const auto before = Statistics(*c_);
  for (const auto& [code, places] :
       std::vector<std::pair<std::string, int>>{{"KG", 3}, {"EACH", 0}, {"LITRE", 2}}) {
    unit_.unit_code = code;
    unit_.ReadFromList();
    EXPECT_EQ(unit_.dec_places(), places) << code;
    EXPECT_EQ(unit_.unit_code(), code);
  }
  EXPECT_EQ(Statistics(*c_).executions - before.executions, 1);
  // Setting the connection, even the same one, empties the copy.
  Insert("BOX12", 4);
  unit_.unit_code = "BOX12";
  EXPECT_THROW(unit_.ReadFromList(), Error);
  unit_.SageConnection(c_);
  unit_.ReadFromList();
  EXPECT_EQ(unit_.dec_places(), 4);
}

TEST_P(UnitDescriptionTest, AMissingUnitIsReportedByBothLookupsAndKeepsTheDecimalPlaces) {
  unit_.unit_code = "LITRE";
  unit_.ReadIt();
  unit_.unit_code = "kg";  // codes are compared exactly
  test::ExpectError([&] { unit_.ReadIt(); }, vbObjectError,
                    "Line No.: 40 ReadIt of Class Module clsSTUnitDD Line#:40",
                    "Cannot find unit description from kg");
  test::ExpectError([&] { unit_.ReadFromList(); }, vbObjectError,
                    "Line No.: 30 ReadFromList of Class Module clsSTUnitDD Line#:30",
                    "Cannot find unit description from kg");
  EXPECT_EQ(unit_.dec_places(), 2);
  EXPECT_EQ(unit_.unit_code(), "kg");
}

TEST_P(UnitDescriptionTest, AFailedLoadIsTriedAgainOnTheNextLookup) {
  auto [c, faults] = test::OpenWithFaults(db_);
  faults->Add({"select unit_code,   dec_places from", 1, 1, DbFailure, "Injected", "lost"});
  clsSTUnitDD unit;
  unit.SageConnection(c);
  unit.unit_code = "KG";
  const Error e = test::CatchError([&] { unit.ReadFromList(); });
  EXPECT_EQ(e.Description(), "lost");
  EXPECT_EQ(e.Source(),
            "Line No.: 10 Line No.: 10 Injected\r\nLoadFromList of Class Module clsSTUnitDD Line#:10\r\n"
            "ReadFromList of Class Module clsSTUnitDD Line#:10");
  unit.ReadFromList();
  EXPECT_EQ(unit.dec_places(), 3);
}

TEST_P(UnitDescriptionTest, ANullDecimalPlacesFailsTheCopyUnderItsLabel) {
  c_->Execute("insert into " + c_->TableCatalogue()->UnitDescriptionTable() +
              " (unit_code, dec_places) values ('NONE', NULL)");
  unit_.unit_code = "NONE";
  test::ExpectError(
      [&] { unit_.ReadIt(); }, err::InvalidUseOfNull,
      "Line No.: 30 Line No.: 20 TarnlowSTData\r\nCopyFromRS of Class Module clsSTUnitDD Line#:20\r\n"
      "ReadIt of Class Module clsSTUnitDD Line#:30");
  // In the copy the value passes through text first: no text is no number.
  EXPECT_EQ(test::CatchError([&] { unit_.ReadFromList(); }).Number(), err::TypeMismatch);
}

TARNLOW_ON_EVERY_BACKEND(UnitDescriptionTest);

}  // namespace
}  // namespace tarnlow
