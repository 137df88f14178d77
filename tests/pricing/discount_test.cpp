#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include "connection/database_connection.h"
#include "fault_database.h"
#include "pricing/colPOPDiscount.h"
#include "tarnlow/late_binding.h"
#include "tarnlow/pricing/clsPOPDiscountD.h"
#include "test_support.h"

namespace tarnlow {
namespace {

const std::string kLoadText = "select * from purchase_discount";
const std::string kDuplicateText = "This key is already associated with an element of this collection";

class DiscountTest : public test::DatabaseTest {
 protected:
  void SetUp() override { discount_.SageConnection(c_); }
  // A row whose breaks and discounts are base + 1 ... base + 7 and
  // base / 10 + 1 ... 7.
  void Row(const std::string& cust, const std::string& prod, const std::string& list, int base = 0,
           const std::string& vat = "N") {
    std::string sql =
        "insert into purchase_discount (cust_disc_code, prod_disc_code, price_list, description, "
        "discount_type, unit_code, unit_group, vat_inclusive_flag";
    for (int i = 1; i <= 7; ++i)
      sql += ", quantity_break" + std::to_string(i) + ", discount" + std::to_string(i);
    sql += ") values ('" + cust + "', '" + prod + "', '" + list + "', 'for " + cust +
           "', 'Q', 'EACH', 'U', '" + vat + "'";
    for (int i = 1; i <= 7; ++i)
      sql += ", " + std::to_string(base + i) + ", " + std::to_string(base / 10 + i);
    c_->Execute(sql + ")");
  }
  void Keys(const std::string& cust, const std::string& prod, const std::string& list) {
    discount_.cust_disc_code = cust;
    discount_.prod_disc_code = prod;
    discount_.price_list = list;
  }
  std::int64_t Executions() { return Statistics(*c_).executions; }

  clsPOPDiscountD discount_;
};

TEST_P(DiscountTest, ReadItCopiesTheCachedRowAndTheWholeTableIsReadOnce) {
  Row("AB", "P1", "L", 100, "Y");
  Row("CD", "P2", "L2", 200);
  Row("WXYZ", "P1", "L", 300);
  const std::int64_t before = Executions();
  Keys("AB", "P1", "L");
  discount_.vat_inclusive_flag = "?";
  discount_.ReadIt();
  EXPECT_EQ((std::tuple{discount_.description(), discount_.discount_type(), discount_.unit_code(),
                        discount_.unit_group(), discount_.quantity_break1(), discount_.quantity_break7(),
                        discount_.discount1(), discount_.discount7()}),
            (std::tuple{"for AB", "Q", "EACH", "U", 101, 107, 11, 17}));
  // The load never reads the VAT flag, so the cached rows carry an empty one.
  EXPECT_EQ(discount_.vat_inclusive_flag(), "");

  Keys("cd", "p2", "l2");
  discount_.ReadIt();
  EXPECT_EQ(discount_.quantity_break3(), 203) << "letter case plays no part";
  EXPECT_EQ(discount_.cust_disc_code(), "CD") << "the keys come from the cached row";
  Keys("WXYZA", "P1", "L");
  discount_.ReadIt();
  EXPECT_EQ(discount_.quantity_break3(), 303) << "a five-character code is cut to four";
  EXPECT_EQ(Executions() - before, 1);
}

TEST_P(DiscountTest, AMissingKeyRaisesItsRecordAndKeepsTheProperties) {
  Row("AB", "P1", "L", 100);
  Keys("AB", "P1", "L");
  discount_.ReadIt();
  Keys("AB", "P9", "L");
  test::ExpectError([&] { discount_.ReadIt(); }, vbObjectError,
                    "Line No.: 20 ReadIt of Class Module clsPOPDiscountD Line#:20",
                    "Cannot find discount item AB/P9/L");
  EXPECT_EQ(discount_.quantity_break1(), 101);
  EXPECT_EQ(discount_.description(), "for AB");
  EXPECT_EQ(discount_.prod_disc_code(), "P9");
}

// Every other column goes in as the shared column list binds it; the two
// slash columns are this class's own.
TEST_P(DiscountTest, InsertRowWritesTheSlashColumns) {
  Keys("AB", "P1", "L");
  discount_.description = "quantity";
  discount_.InsertRow();
  EXPECT_EQ(test::Select(*c_, "select cust_disc_code, description, slash1, slash2 from purchase_discount"),
            (test::Rows{{"AB", "quantity", "/", "/"}}));
}

// Rows whose keys meet once cut, padded and folded cannot share the cache.
TEST_P(DiscountTest, KeysThatDifferOnlyInLetterCaseStopTheLoadAndTheObjectStaysUsable) {
  Row("AB", "P1", "L", 100);
  Row("ab", "P1", "L", 200);
  Row("CD", "P2", "L", 300);
  Keys("CD", "P2", "L");
  test::ExpectError([&] { discount_.ReadIt(); }, err::DuplicateKey,
                    "Line No.: 10 Line No.: 30 TarnlowSTData" + test::kCRLF +
                        "Add of Class Module colPOPDiscount" + test::kCRLF +
                        "LoadIntoList of Class Module clsPOPDiscountD" + test::kCRLF +
                        "ReadIt of Class Module clsPOPDiscountD Line#:10",
                    kDuplicateText);
  // Not loaded: each ReadIt tries again, and fails the same way while the
  // table is as it is.
  const std::int64_t before = Executions();
  EXPECT_EQ(test::CatchError([&] { discount_.ReadIt(); }).Number(), err::DuplicateKey);
  EXPECT_EQ(Executions() - before, 1);
  c_->Execute("delete from purchase_discount where cust_disc_code = 'ab'");
  discount_.ReadIt();
  EXPECT_EQ(discount_.quantity_break1(), 301);
  Keys("ab", "p1", "l");
  discount_.ReadIt();
  EXPECT_EQ(discount_.quantity_break1(), 101);
}

TEST_P(DiscountTest, AFailedLoadLeavesTheCacheUnloadedAndTheNextReadItLoadsAgain) {
  auto faulty = test::OpenWithFaults(db_);
  faulty.faults->Add({.prefix = kLoadText});
  discount_.SageConnection(faulty.connection);
  Row("AB", "P1", "L", 100);
  Keys("AB", "P1", "L");
  test::ExpectError([&] { discount_.ReadIt(); }, DbFailure,
                    "Line No.: 10 FaultDatabase" + test::kCRLF +
                        "LoadIntoList of Class Module clsPOPDiscountD" + test::kCRLF +
                        "ReadIt of Class Module clsPOPDiscountD Line#:10",
                    "Injected failure");
  EXPECT_EQ(discount_.quantity_break1(), 0);
  discount_.ReadIt();
  EXPECT_EQ(discount_.quantity_break1(), 101);
}

TEST_P(DiscountTest, ARowThatCannotBeCopiedStopsTheLoadPartWay) {
  Row("AB", "P1", "L", 100);
  Row("CD", "P2", "L", 200);
  c_->Execute("update purchase_discount set discount3 = NULL where cust_disc_code = 'CD'");
  Keys("AB", "P1", "L");
  test::ExpectError([&] { discount_.ReadIt(); }, err::InvalidUseOfNull,
                    "Line No.: 10 Line No.: 10 TarnlowSTData" + test::kCRLF +
                        "CopyFromRS of Class Module clsPOPDiscountD Line#:10" + test::kCRLF +
                        "LoadIntoList of Class Module clsPOPDiscountD" + test::kCRLF +
                        "ReadIt of Class Module clsPOPDiscountD Line#:10");
  // The rows loaded before the failure are not used: the next ReadIt
  // starts from an empty cache.
  c_->Execute("update purchase_discount set discount3 = 0 where cust_disc_code = 'CD'");
  discount_.ReadIt();
  EXPECT_EQ(discount_.quantity_break1(), 101);
}

TARNLOW_ON_EVERY_BACKEND(DiscountTest);

// ---- the cache collection --------------------------------------------------------

TEST(DiscountCacheTest, AddStoresACopyUnderItsKeyStringAndReportsDuplicatesWithItsLabel) {
  colPOPDiscount cache;
  clsPOPDiscountD row;
  row.cust_disc_code = "AB";
  row.prod_disc_code = "P1";
  row.price_list = "L";
  row.discount1 = 5;
  const auto stored = cache.Add(row);
  row.discount1 = 6;
  EXPECT_EQ(stored->discount1(), 5) << "the caller's later changes do not reach the copy";
  EXPECT_EQ(cache.Item(Variant("ab  p1      l  ")), stored);

  row.cust_disc_code = "ab  ";
  test::ExpectError([&] { cache.Add(row); }, err::DuplicateKey,
                    "Line No.: 30 TarnlowSTData" + test::kCRLF + "Add of Class Module colPOPDiscount",
                    kDuplicateText);
  EXPECT_EQ(cache.Count(), 1);
}

}  // namespace
}  // namespace tarnlow
