#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include "fault_database.h"
#include "pricing/colPOPPriceList.h"
#include "tarnlow/pricing/clsPOPPriceListD.h"
#include "test_support.h"

namespace tarnlow {
namespace {

const Date kJan1 = Date::FromCalendar(2024, 1, 1);
const Date kDec31 = Date::FromCalendar(2024, 12, 31);

class PriceListTest : public test::DatabaseTest {
 protected:
  void SetUp() override { prices_.SageConnection(c_); }
  // A price of `price` for the supplier, list and product under the
  // sequence number, valid through 2024, or without dates.
  void Row(const std::string& product, const std::string& sequence, double price, bool dated = true) {
    c_->Execute(
        "insert into purchase_price_list (customer_code, price_list, product_code, sequence_number, "
        "currency_code, description, price, new_price, price_start_date, price_end_date, unit_code, "
        "unit_code_group, unit_qty_per_price, vat_inclusive_flag) values ('S1', 'L1', '" +
        product + "', '" + sequence + "', 'GBP', 'seq " + sequence + "', " + std::to_string(price) + ", " +
        std::to_string(price + 1) + ", " +
        (dated ? "'2024-01-01 00:00:00', '2024-12-31 00:00:00'" : "NULL, NULL") + ", 'BOX', 'B', 12, 'N')");
  }
  void Keys(const std::string& supplier, const std::string& list, const std::string& product) {
    prices_.customer_code = supplier;
    prices_.price_list = list;
    prices_.product_code = product;
  }
  std::vector<std::string> Walk() {
    std::vector<std::string> out;
    while (prices_.MoveNextForSupplierProductList()) out.push_back(prices_.description());
    return out;
  }

  clsPOPPriceListD prices_;
};

TEST_P(PriceListTest, ReadItCopiesTheTenPriceColumnsAndLeavesTheKeys) {
  Row("P1", "07", 10);
  Keys("S1", "L1", "P1");
  prices_.sequence_number = "XX";
  prices_.ReadIt();
  EXPECT_EQ((std::tuple{prices_.currency_code(), prices_.description(), prices_.Price(), prices_.new_price(),
                        prices_.unit_code(), prices_.unit_code_group(), prices_.vat_inclusive_flag(),
                        prices_.unit_qty_per_price(), prices_.price_start_date(), prices_.price_end_date(),
                        prices_.sequence_number(), prices_.customer_code()}),
            (std::tuple{"GBP", "seq 07", 10, 11, "BOX", "B", "N", 12, kJan1, kDec31, "XX", "S1"}));

  Row("P2", "01", 20, false);
  prices_.product_code = "P2";
  prices_.ReadIt();
  EXPECT_EQ(prices_.Price(), 20);
  EXPECT_TRUE(prices_.price_start_date().IsZero()) << "a price without a period reads as the zero date";
  EXPECT_TRUE(prices_.price_end_date().IsZero());
}

TEST_P(PriceListTest, AMissingPriceRaisesItsRecordThroughTheDirectExit) {
  Row("P1", "01", 10);
  Keys("S1", "L1", "P1");
  prices_.ReadIt();
  prices_.product_code = "P9";
  test::ExpectError([&] { prices_.ReadIt(); }, vbObjectError,
                    "POList.ReadIt" + test::kCRLF + "ReadIt of Class Module clsPOPPriceListD Line#:50",
                    "Cannot find price list S1/L1/P9");
  EXPECT_EQ(prices_.Price(), 10);
}

TEST_P(PriceListTest, AWalkGivesTheLoadedRowsInTurnWithEmptyKeys) {
  Row("P1", "01", 10);
  Row("P1", "02", 20);
  Row("P1", "03", 30);
  Row("P2", "01", 99);
  Keys("S1", "L1", "P1");
  prices_.sequence_number = "01";
  EXPECT_EQ(prices_.LoadListForSupplierProduct(), 3);
  EXPECT_EQ(prices_.customer_code(), "S1") << "loading changes no property";
  ASSERT_TRUE(prices_.MoveNextForSupplierProductList());
  EXPECT_EQ(prices_.Price(), 10);
  EXPECT_EQ(prices_.price_end_date(), kDec31);
  // The loaded rows carry no keys, and the walk copies them over ours.
  EXPECT_EQ((std::tuple{prices_.customer_code(), prices_.price_list(), prices_.product_code(),
                        prices_.sequence_number()}),
            (std::tuple{"", "", "", ""}));
  EXPECT_EQ(Walk(), (std::vector<std::string>{"seq 02", "seq 03"}));
  EXPECT_FALSE(prices_.MoveNextForSupplierProductList()) << "and stays past the end";
  EXPECT_FALSE(prices_.MoveFirstForSupplierProductList());
  EXPECT_EQ(Walk(), (std::vector<std::string>{"seq 01", "seq 02", "seq 03"}));

  // A new load replaces the old list; the keys must be set again first.
  Keys("S1", "L1", "P9");
  EXPECT_EQ(prices_.LoadListForSupplierProduct(), 0);
  EXPECT_FALSE(prices_.MoveNextForSupplierProductList());
  Keys("S1", "L1", "P2");
  EXPECT_EQ(prices_.LoadListForSupplierProduct(), 1);
  EXPECT_EQ(Walk(), std::vector<std::string>{"seq 01"});
}

TEST_P(PriceListTest, AWalkBeforeAnyLoadEndsAtOnce) {
  EXPECT_FALSE(prices_.MoveNextForSupplierProductList());
  EXPECT_FALSE(prices_.MoveFirstForSupplierProductList());
}

TEST_P(PriceListTest, CheckIfListExistsAsksForTheSupplierAndListOnly) {
  Row("P1", "01", 10);
  Keys("S1", "L1", "NO SUCH PRODUCT");
  EXPECT_TRUE(prices_.CheckIfListExists());
  Keys("S1", "L9", "P1");
  test::ExpectError([&] { prices_.CheckIfListExists(); }, vbObjectError,
                    "clsPOPPriceList.CheckIfListExists" + test::kCRLF +
                        "CheckIfListExists of Class Module clsPOPPriceListD Line#:30",
                    "Price list L9 for supplier S1 not found");
}

TEST_P(PriceListTest, InsertRowWritesTheFourteenColumns) {
  test::FillDistinct(prices_, clsPOPPriceListD::Columns());
  Keys("S2", "L2", "P2");
  prices_.sequence_number = "05";
  prices_.InsertRow();

  clsPOPPriceListD reader;
  reader.SageConnection(c_);
  reader.customer_code = "S2";
  reader.price_list = "L2";
  reader.product_code = "P2";
  ASSERT_EQ(reader.LoadListForSupplierProduct(), 1);
  ASSERT_TRUE(reader.MoveNextForSupplierProductList());
  // The walk's rows carry no keys; every other column comes back as written.
  for (const ColumnInfo& c : clsPOPPriceListD::Columns()) {
    if (c.column != "customer_code" && c.column != "price_list" && c.column != "product_code" &&
        c.column != "sequence_number") {
      EXPECT_EQ(c.get(reader), c.get(prices_)) << c.property;
    }
  }
  EXPECT_EQ(test::Select(*c_, "select sequence_number from purchase_price_list where customer_code = 'S2'"),
            (test::Rows{{"05"}}));
}

TEST_P(PriceListTest, DatabaseFailuresKeepTheirRecordAndGainEachLabelWithItsLine) {
  auto faulty = test::OpenWithFaults(db_);
  faulty.faults->Add({.prefix = "select currency_code"});
  prices_.SageConnection(faulty.connection);
  Row("P1", "01", 10);
  Keys("S1", "L1", "P1");
  test::ExpectError([&] { prices_.ReadIt(); }, DbFailure,
                    "FaultDatabase" + test::kCRLF + "ReadIt of Class Module clsPOPPriceListD Line#:30",
                    "Injected failure");
  prices_.ReadIt();
  EXPECT_EQ(prices_.Price(), 10);

  // A row that cannot be copied stops the load inside the copy routine.
  c_->Execute("update purchase_price_list set currency_code = NULL where sequence_number = '01'");
  test::ExpectError([&] { prices_.LoadListForSupplierProduct(); }, err::InvalidUseOfNull,
                    "TarnlowSTData" + test::kCRLF + "CopyFromRS of Class Module clsPOPPriceListD Line#:10" +
                        test::kCRLF + "LoadListForSupplierProduct of Class Module clsPOPPriceListD Line#:40");
}

TARNLOW_ON_EVERY_BACKEND(PriceListTest);

// ---- the walk's collection -------------------------------------------------------------

TEST(PriceListCollectionTest, TakesAnyNumberOfUnkeyedCopiesAndUniqueKeys) {
  colPOPPriceList list;
  clsPOPPriceListD row;
  std::string no_key;
  for (double price : {1.0, 2.0, 3.0}) {
    row.Price = price;
    list.Add(row, no_key);
  }
  std::string key = "Key";
  row.Price = 4;
  list.Add(row, key);
  EXPECT_EQ(list.Count(), 4);
  EXPECT_EQ(list.Item(Variant(std::int32_t{2}))->Price(), 2);
  std::string same = "kEY";
  EXPECT_EQ(test::CatchError([&] { list.Add(row, same); }).Source(), RuntimeSource)
      << "no error exit of its own";
  EXPECT_EQ(list.Count(), 4);
}

}  // namespace
}  // namespace tarnlow
