#include <gtest/gtest.h>

#include "connection/database_connection.h"
#include "tarnlow/tarnlow.h"
#include "test_support.h"

namespace tarnlow {
namespace {

class ServiceTest : public test::DatabaseTest {
 protected:
  void SetUp() override {
    c_->Execute("insert into " + c_->TableCatalogue()->ServiceTable() +
                " (service, unit_code, cost) values ('INSTALL', 'HOUR', 42.5), ('FREIGHT', 'EACH', 120)");
    service_.SageConnection(c_);
  }
  clsPORService service_;
};

TEST_P(ServiceTest, PreparesOnceAndAsksTheCatalogueOnce) {
  const auto before = Statistics(*c_);
  for (const char* code : {"INSTALL", "FREIGHT", "INSTALL"}) {
    service_.Service = code;
    service_.ReadIt();
  }
  EXPECT_EQ(Statistics(*c_).prepares - before.prepares, 1);
  EXPECT_EQ(Statistics(*c_).catalogue_requests - before.catalogue_requests, 1);
  EXPECT_EQ(service_.cost(), 42.5);
}

TEST_P(ServiceTest, AMissingItemRaisesItsRecordAndKeepsTheProperties) {
  service_.Service = "INSTALL";
  service_.ReadIt();
  service_.Service = "NOPE";
  test::ExpectError([&] { service_.ReadIt(); }, -2147221504, "PORService.ReadIt",
                    "Cannot find service item NOPE");
  EXPECT_EQ(service_.cost(), 42.5);
  EXPECT_EQ(service_.unit_code(), "HOUR");
  // The object carries on after the failure.
  service_.Service = "FREIGHT";
  service_.ReadIt();
  EXPECT_EQ(service_.cost(), 120.0);
}

TEST_P(ServiceTest, ANullCostFailsTheReadWithTheConversionError) {
  c_->Execute("insert into " + c_->TableCatalogue()->ServiceTable() +
              " (service, unit_code, cost) values ('NULLS', 'H', NULL)");
  service_.Service = "INSTALL";
  service_.ReadIt();
  service_.Service = "NULLS";
  EXPECT_EQ(test::CatchError([&] { service_.ReadIt(); }).Number(), err::InvalidUseOfNull);
  // The copy runs service, unit_code, cost: what came before the Null is
  // stored, the cost keeps its value.
  EXPECT_EQ(service_.unit_code(), "H");
  EXPECT_EQ(service_.cost(), 42.5);
  // The failed read let its statement go: a statement still running would
  // keep the table from being dropped.
  c_->Execute("drop table " + c_->TableCatalogue()->ServiceTable());
}

TEST_P(ServiceTest, CellsOfOtherTypesConvertAndNoReadIsLeftOpen) {
  const std::string table = c_->TableCatalogue()->ServiceTable();
  c_->Execute("insert into " + table + " (service, unit_code, cost) values ('ODD', 12345, '7.25')");
  service_.Service = "ODD";
  service_.ReadIt();
  EXPECT_EQ(service_.unit_code(), "12345");
  EXPECT_EQ(service_.cost(), 7.25);
  // A read still open would keep its snapshot from the other connection's
  // change, and the table from being dropped.
  db_.Open()->Execute("update " + table + " set cost = 8 where service = 'ODD'");
  service_.ReadIt();
  EXPECT_EQ(service_.cost(), 8.0);
  c_->Execute("drop table " + table);
}

TARNLOW_ON_EVERY_BACKEND(ServiceTest);

TEST(ServiceWithoutConnectionTest, ReadsThroughAnUnopenedConnectionObjectThatSaysItIsClosed) {
  test::MessageCapture messages;
  clsPORService service;
  service.Service = "A";
  test::ExpectError([&] { service.ReadIt(); }, err::ObjectClosed, {},
                    "Operation is not allowed when the object is closed.");
  const auto stored = service.SageConnection();
  ASSERT_NE(stored, nullptr);
  EXPECT_FALSE(stored->IsOpen());
  EXPECT_EQ(service.SageConnection(), stored);
  EXPECT_TRUE(messages.Messages().empty());
}

}  // namespace
}  // namespace tarnlow
