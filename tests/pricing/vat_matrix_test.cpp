#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include "connection/database_connection.h"
#include "fault_database.h"
#include "tarnlow/pricing/clsCEVatMatD.h"
#include "test_support.h"

namespace tarnlow {
namespace {

const std::string kLoadText = "select * from vat_matrix";

class VatMatrixTest : public test::DatabaseTest {
 protected:
  void SetUp() override { matrix_.SageConnection(c_); }
  void Row(const std::string& item, const std::string& account, const std::string& code) {
    c_->Execute("insert into vat_matrix (item_vat_type, account_vat_type, vat_code, description) values ('" +
                item + "', '" + account + "', '" + code + "', 'row " + code + "')");
  }
  // The code FindClosestCode gives for the pair, or "none".
  std::string Closest(const std::string& item, const std::string& account) {
    matrix_.item_vat_type = item;
    matrix_.account_vat_type = account;
    matrix_.vat_code = "none";
    if (matrix_.FindClosestCode()) return matrix_.vat_code();
    EXPECT_EQ(matrix_.vat_code(), "none") << "a miss leaves vat_code alone";
    return "none";
  }
  std::int64_t Executions() { return Statistics(*c_).executions; }

  clsCEVatMatD matrix_;
};

TEST_P(VatMatrixTest, TheClosestMatchTriesTheExactPairThenTheAccountTypeThenTheItemType) {
  Row("STD", "HOME", "1");
  Row("", "EXPORT", "0");
  Row("EXEMPT", "", "E");
  Row("EXEMPT", "EXPORT", "X");
  Row("ZERO", "", "Z");
  Row("STANDARDRA", "HOME", "S");
  EXPECT_EQ(Closest("STD", "HOME"), "1");
  EXPECT_EQ(Closest("STD", "EXPORT"), "0") << "account type with a blank item type";
  EXPECT_EQ(Closest("EXEMPT", "HOME"), "E") << "item type with a blank account type";
  EXPECT_EQ(Closest("EXEMPT", "EXPORT"), "X") << "the exact pair comes before both fallbacks";
  EXPECT_EQ(Closest("ZERO", "EXPORT"), "0") << "the account fallback comes before the item fallback";
  EXPECT_EQ(Closest("ZERO", "HOME"), "Z");
  EXPECT_EQ(Closest("STD", "ABROAD"), "none");
  EXPECT_EQ(Closest("", ""), "none");
  // Keys: the item type cut to ten, the account type's trailing blanks gone,
  // letter case kept.
  EXPECT_EQ(Closest("STANDARDRATE", "HOME"), "S");
  EXPECT_EQ(Closest("STD", "HOME  "), "1");
  EXPECT_EQ(Closest("STD       ", "HOME"), "1");
  EXPECT_EQ(Closest("std", "home"), "none");
}

TEST_P(VatMatrixTest, RowsStoredWithTrailingBlanksMatchTrimmedAccountTypes) {
  Row("STD", "HOME  ", "1");
  Row("ZERO      ", "EXPORT", "0");
  EXPECT_EQ(Closest("STD", "HOME"), "1");
  EXPECT_EQ(Closest("ZERO", "EXPORT"), "0");
}

TEST_P(VatMatrixTest, TheCacheLoadsOnceAndOnlyResetCacheOrANewConnectionShowNewRows) {
  Row("STD", "HOME", "1");
  const std::int64_t before = Executions();
  EXPECT_EQ(Closest("STD", "HOME"), "1");
  EXPECT_EQ(Executions() - before, 1) << "the first call loads the matrix";
  for (int i = 0; i < 5; ++i) EXPECT_EQ(Closest("STD", "ABROAD"), "none");
  EXPECT_EQ(Executions() - before, 1) << "a loaded cache asks nothing of the database";

  matrix_.item_vat_type = "ZERO";
  matrix_.account_vat_type = "HOME";
  matrix_.description = "zero rated";
  matrix_.vat_code = "2";
  matrix_.InsertRow();
  EXPECT_EQ(Closest("ZERO", "HOME"), "none") << "the cache does not see the insert";
  matrix_.vat_code = "";
  matrix_.ReadIt();
  EXPECT_EQ(matrix_.vat_code(), "2") << "ReadIt reads the database";
  EXPECT_EQ(Closest("ZERO", "HOME"), "none") << "and leaves the cache as it was";

  matrix_.ResetCache();
  EXPECT_EQ(Closest("ZERO", "HOME"), "2");

  Row("EXEMPT", "HOME", "E");
  EXPECT_EQ(Closest("EXEMPT", "HOME"), "none");
  matrix_.SageConnection(c_);
  const std::int64_t reloads = Executions();
  EXPECT_EQ(Closest("EXEMPT", "HOME"), "E") << "setting the connection empties the cache";
  EXPECT_EQ(Executions() - reloads, 1);

  // Each object has its own cache.
  clsCEVatMatD other;
  other.SageConnection(c_);
  other.item_vat_type = "EXEMPT";
  other.account_vat_type = "HOME";
  EXPECT_TRUE(other.FindClosestCode());
}

TEST_P(VatMatrixTest, ReadItFindsTheExactPairOnlyWithoutTrailingBlanks) {
  Row("STD", "HOME", "1");
  Row("", "EXPORT", "0");
  matrix_.item_vat_type = "STD  ";
  matrix_.account_vat_type = "HOME   ";
  matrix_.ReadIt();
  EXPECT_EQ((std::tuple{matrix_.vat_code(), matrix_.description(), matrix_.account_vat_type(),
                        matrix_.item_vat_type()}),
            (std::tuple{"1", "row 1", "HOME", "STD"}));

  // No fallback here: a missing pair is an error and the properties stay.
  matrix_.item_vat_type = "ZERO";
  matrix_.account_vat_type = "EXPORT";
  test::ExpectError([&] { matrix_.ReadIt(); }, vbObjectError,
                    "Line No.: 50 ReadIt of Class Module clsCEVatMatD Line#:50",
                    "Cannot find vat matrix for stock and customer/supplier ZERO/EXPORT");
  EXPECT_EQ(matrix_.vat_code(), "1");
  EXPECT_EQ(matrix_.description(), "row 1");
}

TEST_P(VatMatrixTest, AFailedLoadLeavesTheCacheUnloadedAndTheNextCallLoadsAgain) {
  auto faulty = test::OpenWithFaults(db_);
  faulty.faults->Add({.prefix = kLoadText});
  faulty.connection->Execute(
      "insert into vat_matrix (item_vat_type, account_vat_type, vat_code) values ('STD', 'HOME', '1')");
  matrix_.SageConnection(faulty.connection);
  matrix_.item_vat_type = "STD";
  matrix_.account_vat_type = "HOME";
  matrix_.vat_code = "old";
  test::ExpectError([&] { matrix_.FindClosestCode(); }, DbFailure,
                    "Line No.: 10 Line No.: 30 FaultDatabase" + test::kCRLF +
                        "LoadIntoList of Class Module clsCEVatMatD Line#:30" + test::kCRLF +
                        "FindClosestCode of Class Module clsCEVatMatD Line#:10",
                    "Injected failure");
  EXPECT_EQ(matrix_.vat_code(), "old");
  EXPECT_TRUE(matrix_.FindClosestCode());
  EXPECT_EQ(matrix_.vat_code(), "1");
}

TEST_P(VatMatrixTest, ARowThatCannotBeKeyedFailsTheLoadUntilItIsMended) {
  Row("STD", "HOME", "1");
  c_->Execute(
      "insert into vat_matrix (item_vat_type, account_vat_type, vat_code) values (NULL, 'HOME', '9')");
  matrix_.item_vat_type = "STD";
  matrix_.account_vat_type = "HOME";
  test::ExpectError([&] { matrix_.FindClosestCode(); }, err::InvalidUseOfNull,
                    "Line No.: 10 Line No.: 50 TarnlowSTData" + test::kCRLF +
                        "LoadIntoList of Class Module clsCEVatMatD Line#:50" + test::kCRLF +
                        "FindClosestCode of Class Module clsCEVatMatD Line#:10");
  c_->Execute("update vat_matrix set item_vat_type = 'ODD' where vat_code = '9'");
  EXPECT_EQ(Closest("STD", "HOME"), "1");
  EXPECT_EQ(Closest("ODD", "HOME"), "9");
}

TARNLOW_ON_EVERY_BACKEND(VatMatrixTest);

}  // namespace
}  // namespace tarnlow
