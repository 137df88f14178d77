#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include "connection/database_connection.h"
#include "fault_database.h"
#include "tarnlow/pricing/clsPOSuppInf.h"
#include "test_support.h"

namespace tarnlow {
namespace {

class SupplierInfoTest : public test::DatabaseTest {
 protected:
  void SetUp() override {
    info_.SageConnection(c_);
    Row("ACME", "01", "P1", "ACME-1", 10);
    Row("ACME", "01", "P2", "ACME-2", 20);
    Row("ACME", "02", "P1", "ACME-1", 30);
    Row("OTHER", "01", "P1", "OTH-1", 40);
  }
  void Row(const std::string& supplier, const std::string& warehouse, const std::string& product,
           const std::string& part, double cost) {
    c_->Execute(
        "insert into supplier_product_info (supplier, warehouse, product, part_no, description, "
        "long_description, cost, unit_code, unit_qty_cost, reorder_days) values ('" +
        supplier + "', '" + warehouse + "', '" + product + "', '" + part + "', 'd " + part + "', 'long " +
        part + "', " + std::to_string(cost) + ", 'BOX', 6, 14)");
  }
  void Keys(const std::string& supplier, const std::string& warehouse, const std::string& product) {
    info_.supplier = supplier;
    info_.warehouse = warehouse;
    info_.product = product;
  }
  // Reads by product and answers how many statements reached the database.
  std::int64_t ReadIt() {
    const std::int64_t before = Statistics(*c_).executions;
    info_.ReadIt();
    return Statistics(*c_).executions - before;
  }
  std::int64_t ReadItByPartNo() {
    const std::int64_t before = Statistics(*c_).executions;
    info_.ReadItByPartNo();
    return Statistics(*c_).executions - before;
  }

  clsPOSuppInf info_;
};

TEST_P(SupplierInfoTest, ReadItCopiesTheTenColumns) {
  Keys("ACME", "02", "P1");
  info_.ReadIt();
  EXPECT_EQ((std::tuple{info_.part_no(), info_.description(), info_.long_description(), info_.cost(),
                        info_.unit_code(), info_.unit_qty_cost(), info_.reorder_days()}),
            (std::tuple{"ACME-1", "d ACME-1", "long ACME-1", 30, "BOX", 6, 14}));
  info_.part_no = "ACME-2";
  info_.warehouse = "01";
  info_.ReadItByPartNo();
  EXPECT_EQ(info_.product(), "P2");
  EXPECT_EQ(info_.cost(), 20);
}

TEST_P(SupplierInfoTest, ASecondReadOfTheSameKeysIsAnsweredFromTheProperties) {
  Keys("ACME", "01", "P1");
  EXPECT_EQ(ReadIt(), 1) << "the first read of an object always queries";
  info_.cost = 99;  // the client's own change
  EXPECT_EQ(ReadIt(), 0);
  EXPECT_EQ(info_.cost(), 99);
  // Trailing blanks do not defeat it, in any of the three keys.
  Keys("ACME   ", "01 ", "P1      ");
  EXPECT_EQ(ReadIt(), 0);
  // The part number of the row read is remembered too, either way round.
  info_.part_no = "ACME-1  ";
  EXPECT_EQ(ReadItByPartNo(), 0);
  Keys("ACME", "01", "P2");
  EXPECT_EQ(ReadIt(), 1);
  EXPECT_EQ(info_.cost(), 20);
  info_.part_no = "ACME-2";
  EXPECT_EQ(ReadItByPartNo(), 0);
  info_.part_no = "ACME-1";
  EXPECT_EQ(ReadItByPartNo(), 1);
  EXPECT_EQ(info_.product(), "P1") << "read by part number, the product comes from the row";
  Keys("ACME", "01", "P1");
  EXPECT_EQ(ReadIt(), 0);
  // Another warehouse or supplier is another row.
  info_.warehouse = "02";
  EXPECT_EQ(ReadIt(), 1);
  EXPECT_EQ(info_.cost(), 30);
  info_.supplier = "OTHER";
  info_.warehouse = "01";
  EXPECT_EQ(ReadIt(), 1);
  EXPECT_EQ(info_.cost(), 40);
}

TEST_P(SupplierInfoTest, WithoutTheCacheEveryReadQueriesAndNothingIsRemembered) {
  info_.UseCache = false;
  Keys("ACME", "01", "P1");
  EXPECT_EQ(ReadIt(), 1);
  EXPECT_EQ(ReadIt(), 1);
  EXPECT_EQ(ReadItByPartNo(), 1);
  info_.UseCache = true;
  EXPECT_EQ(ReadIt(), 1) << "reads without the cache left nothing to remember";
  EXPECT_EQ(ReadIt(), 0);
  info_.UseCache = false;
  EXPECT_EQ(ReadIt(), 1);
}

TEST_P(SupplierInfoTest, ARowWithABlankProductIsNeverRemembered) {
  Row("ACME", "01", "", "NOPROD", 5);
  info_.supplier = "ACME";
  info_.warehouse = "01";
  info_.part_no = "NOPROD";
  EXPECT_EQ(ReadItByPartNo(), 1);
  EXPECT_EQ(info_.product(), "");
  EXPECT_EQ(ReadItByPartNo(), 1) << "a blank remembered product counts as nothing remembered";
}

TEST_P(SupplierInfoTest, AFailedReadKeepsTheRememberedKeys) {
  Keys("ACME", "01", "P1");
  EXPECT_EQ(ReadIt(), 1);
  info_.product = "NONE";
  test::ExpectError([&] { info_.ReadIt(); }, vbObjectError,
                    "Line No.: 60 ReadIt of Class Module clsPOSuppInf Line#:60",
                    "Supplier information: cannot find information for 01/NONE/ACME");
  EXPECT_EQ(info_.cost(), 10) << "the properties stay";
  info_.product = "P1";
  EXPECT_EQ(ReadIt(), 0);

  info_.part_no = "NOPART";
  const Error by_part = test::CatchError([&] { info_.ReadItByPartNo(); });
  EXPECT_EQ(by_part.Description(),
            "Supplier information: cannot find information for warehouse:01 Part no:NOPART Supplier:ACME");
  EXPECT_EQ(by_part.Source(), "Line No.: 60 ReadItByPartNo of Class Module clsPOSuppInf Line#:60");
  info_.part_no = "ACME-1";
  EXPECT_EQ(ReadItByPartNo(), 0);
}

TEST_P(SupplierInfoTest, DeleteSupplierRemovesEveryRowOfTheSupplierButNotTheRememberedKeys) {
  Keys("ACME", "01", "P1");
  info_.ReadIt();
  EXPECT_TRUE(info_.CheckIfSupplierExist());
  info_.DeleteSupplier();
  EXPECT_FALSE(info_.CheckIfSupplierExist());
  EXPECT_EQ(test::Select(*c_, "select supplier from supplier_product_info"), (test::Rows{{"OTHER"}}));
  EXPECT_EQ(ReadIt(), 0) << "still answered from the properties";
  EXPECT_EQ(info_.cost(), 10);
  info_.UseCache = false;
  EXPECT_EQ(test::CatchError([&] { info_.ReadIt(); }).Number(), vbObjectError);
}

TEST_P(SupplierInfoTest, InsertAndUpdateWriteEveryColumnAndLeaveTheRememberedKeys) {
  Keys("NEW", "03", "P7");
  info_.part_no = "N-7";
  info_.description = "seven";
  info_.long_description = "the seventh";
  info_.cost = 7.5;
  info_.unit_code = "EACH";
  info_.unit_qty_cost = 1;
  info_.reorder_days = 3;
  info_.InsertRow();
  const std::string select =
      "select supplier, warehouse, product, part_no, description, long_description, cost, unit_code, "
      "unit_qty_cost, reorder_days from supplier_product_info where supplier = 'NEW'";
  EXPECT_EQ(test::Select(*c_, select),
            (test::Rows{{"NEW", "03", "P7", "N-7", "seven", "the seventh", 7.5, "EACH", 1.0, 3.0}}));
  EXPECT_EQ(ReadIt(), 1) << "writing remembers nothing";

  info_.part_no = "N-8";
  info_.description = "eight";
  info_.long_description = "the eighth";
  info_.cost = 8;
  info_.unit_code = "BOX";
  info_.unit_qty_cost = 2;
  info_.reorder_days = 4;
  info_.UpdateRow();
  EXPECT_EQ(test::Select(*c_, select),
            (test::Rows{{"NEW", "03", "P7", "N-8", "eight", "the eighth", 8.0, "BOX", 2.0, 4.0}}));
  info_.cost = 0;
  EXPECT_EQ(ReadIt(), 0) << "nor does updating forget";
  EXPECT_EQ(info_.cost(), 0);

  // An update of a row that is not there changes nothing and is no error.
  const test::Rows before =
      test::Select(*c_, "select * from supplier_product_info order by supplier, warehouse, product");
  info_.product = "MISSING";
  info_.UpdateRow();
  EXPECT_EQ(test::Select(*c_, "select * from supplier_product_info order by supplier, warehouse, product"),
            before);
}

TEST_P(SupplierInfoTest, DatabaseFailuresGainTheLabelsOfEveryLevel) {
  auto faulty = test::OpenWithFaults(db_);
  faulty.faults->Add({.prefix = "select count(supplier)"});
  faulty.faults->Add({.prefix = "Update"});
  info_.SageConnection(faulty.connection);
  info_.supplier = "ACME";
  test::ExpectError([&] { info_.CheckIfSupplierExist(); }, DbFailure,
                    "Line No.: 30 FaultDatabase" + test::kCRLF +
                        "CheckIfSupplierExist of Class Module clsPOSuppInf Line#:30");
  EXPECT_TRUE(info_.CheckIfSupplierExist());
  EXPECT_EQ(test::CatchError([&] { info_.UpdateRow(); }).Source(),
            "Line No.: 30 FaultDatabase" + test::kCRLF + "UpdateRow of Class Module clsPOSuppInf Line#:30");
}

TARNLOW_ON_EVERY_BACKEND(SupplierInfoTest);

}  // namespace
}  // namespace tarnlow
