// The stock item as purchase orders read it and change its quantity on
// order: the copy order and its Null rules, the increments
// done by the database, the delivery date and the labels of the error exits.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "fault_database.h"
#include "tarnlow/tarnlow.h"
#include "test_support.h"

namespace tarnlow {
namespace {

class OnOrderStockTest : public test::DatabaseTest {
 protected:
  void SetUp() override {
    // Every column the read copies holds a value of its own.
    c_->Execute(
        "insert into stock_item (warehouse, product, alpha, current_cost, purchase_key, batch_traceability, "
        "serial_numbers, standard_cost, weight, expected_cost, on_order_qty, standard_labour, "
        "standard_material, "
        "standard_overhead, standard_subcontra, current_labour, current_material, current_overhead, "
        "current_subcontrac, unit_code, description, long_description, supplier, pricing_discount, "
        "qty_decimal_places, stock_vat_type, purchase_unit, drawing_number, analysis_a, analysis_b, "
        "analysis_c, "
        "buyer_id, delivery_date, physical_qty) values ('01', 'ABC', 'ALPHA', 1.5, 'PKEY', 'B', 'S', 2.5, "
        "3.5, "
        "4.5, 10, 5.5, 6.5, 7.5, 8.5, 9.5, 10.5, 11.5, 12.5, 'EA', 'Widget', 'A long widget', 'SUP1', "
        "'DISC', "
        "'2', 'STD', 'BOX', 'DRW-7', 'AA', 'AB', 'AC', 'BUY', " +
        c_->DateLiteral(Date::FromCalendar(2024, 6, 1)) + ", 99)");
    stock_.SageConnection(c_);
    stock_.warehouse = "01";
    stock_.product = "ABC";
  }
  double OnOrder(const std::string& product = "ABC", const std::string& table = "stock_item") {
    return test::Select(*c_, "select on_order_qty from " + table + " where product = '" + product + "'")[0][0]
        .ToDouble();
  }
  Date Delivery() {
    return test::Select(*c_, "select delivery_date from stock_item where product = 'ABC'")[0][0].ToDate();
  }

  clsPOOStock stock_;
};

TEST_P(OnOrderStockTest, ReadCopiesEveryColumnAndLoadsTheQuantityOnOrderToAdjust) {
  stock_.ReadIt();
  for (const ColumnInfo& c : clsPOOStock::Columns()) {
    if (c.column.empty() || c.column == "last_supplier") continue;  // held only, or written only
    const Variant stored = test::Select(*c_, "select " + std::string(c.column) + " from stock_item")[0][0];
    switch (c.kind) {
      case ValueKind::Text: EXPECT_EQ(c.get(stock_).ToText(), stored.ToText()) << c.column; break;
      case ValueKind::Double: EXPECT_EQ(c.get(stock_).ToDouble(), stored.ToDouble()) << c.column; break;
      default: EXPECT_EQ(c.get(stock_).ToDate(), stored.ToDate()) << c.column; break;
    }
  }
  EXPECT_EQ(stock_.AdjustOnOrderQty(), 10.0);
  EXPECT_EQ(stock_.physical_qty(), 0.0);  // never loaded
}

TEST_P(OnOrderStockTest, NullsGoThroughTheConverterOnlyForPurchaseKeyAndDeliveryDate) {
  c_->Execute("update stock_item set purchase_key = NULL, delivery_date = NULL");
  stock_.ReadIt();
  EXPECT_EQ(stock_.purchase_key(), "");
  EXPECT_EQ(stock_.delivery_date(), Date());
  // Any other Null stops the copy where it stands: what came before it is
  // copied, what comes after keeps its value.
  c_->Execute("update stock_item set description = NULL, current_cost = 20, weight = 30, unit_code = 'KG'");
  test::ExpectError(
      [&] { stock_.ReadIt(); }, err::InvalidUseOfNull,
      "Line No.: 40 Line No.: 30 TarnlowSTData\r\nCopyFromRS of Class Module clsPOOStock Line#:30\r\n"
      "ReadIt of Class Module clsPOOStock Line#:40");
  EXPECT_EQ(stock_.current_cost(), 20.0);
  EXPECT_EQ(stock_.weight(), 30.0);
  EXPECT_EQ(stock_.Unit(), "EA");
}

TEST_P(OnOrderStockTest, AMissingItemRaisesItsDescriptionAndKeepsTheProperties) {
  stock_.ReadIt();
  stock_.product = "XYZ";
  test::ExpectError([&] { stock_.ReadIt(); }, -2147221504,
                    "Line No.: 50 TarnlowSTData\r\nReadIt of Class Module clsPOOStock Line#:50",
                    "Cannot find stock item 01/XYZ");
  EXPECT_EQ(stock_.alpha(), "ALPHA");
}

TEST_P(OnOrderStockTest, UpdatesAddTheSignedQuantityInsideTheStatement) {
  stock_.AdjustOnOrderQty = 5;
  stock_.UpdateForOrder();
  EXPECT_EQ(OnOrder(), 15.0);
  stock_.AdjustOnOrderQty = -20;  // nothing keeps it from going below zero
  stock_.UpdateForOrder();
  EXPECT_EQ(OnOrder(), -5.0);
  stock_.AdjustOnOrderQty = 0;
  stock_.UpdateForOrder();
  EXPECT_EQ(OnOrder(), -5.0);
  // A read loads the quantity itself: updating straight after doubles it.
  stock_.ReadIt();
  stock_.UpdateForOrder();
  EXPECT_EQ(OnOrder(), -10.0);
  // Only the quantity changes.
  EXPECT_EQ(test::Select(*c_, "select physical_qty from stock_item")[0][0].ToDouble(), 99.0);
  EXPECT_EQ(Delivery(), Date::FromCalendar(2024, 6, 1));
  // An item that does not exist is left alone without complaint.
  stock_.product = "NONE";
  stock_.UpdateForOrder();
  stock_.UpdateForOrderDeliveryDate();
  EXPECT_TRUE(test::Select(*c_, "select product from stock_item where product = 'NONE'").empty());
}

TEST_P(OnOrderStockTest, TheDatedUpdateReplacesTheDeliveryDateEvenWithoutAQuantity) {
  stock_.AdjustOnOrderQty = 0;
  stock_.delivery_date = Date::FromCalendar(2024, 5, 2);  // earlier than the stored one
  stock_.UpdateForOrderDeliveryDate();
  EXPECT_EQ(Delivery(), Date::FromCalendar(2024, 5, 2));
  EXPECT_EQ(OnOrder(), 10.0);
  stock_.AdjustOnOrderQty = 2.5;
  stock_.delivery_date = Date::FromCalendar(2025, 1, 31);
  stock_.UpdateForOrderDeliveryDate();
  EXPECT_EQ(Delivery(), Date::FromCalendar(2025, 1, 31));
  EXPECT_EQ(OnOrder(), 12.5);
}

TEST_P(OnOrderStockTest, ANewConnectionRebuildsTheUpdatesButNotTheRead) {
  stock_.ReadIt();
  stock_.AdjustOnOrderQty = 1;
  stock_.UpdateForOrder();
  auto renamed = db_.Open("table.StockTable=stock_two");
  renamed->Execute("insert into stock_two (warehouse, product, on_order_qty) values ('01', 'ABC', 100)");
  stock_.SageConnection(renamed);
  stock_.ReadIt();  // the read keeps the text it was built with
  EXPECT_EQ(stock_.AdjustOnOrderQty(), 11.0);
  stock_.AdjustOnOrderQty = 1;
  stock_.UpdateForOrder();
  stock_.UpdateForOrderDeliveryDate();
  EXPECT_EQ(OnOrder("ABC", "stock_two"), 102.0);
  EXPECT_EQ(OnOrder(), 11.0);
}

TEST_P(OnOrderStockTest, FailuresCarryTheirOperationsLabels) {
  test::MessageCapture messages;
  clsPOOStock unconnected;
  unconnected.SageConnection(std::make_shared<Connection>());
  Error e = test::CatchError([&] { unconnected.UpdateForOrder(); });
  EXPECT_EQ(e.Number(), err::ObjectClosed);
  EXPECT_EQ(
      e.Source(),
      "Line No.: 10 Line No.: 20 TarnlowSTData\r\nPrepareUpdateStatementNoDate of Class Module clsPOOStock "
      "Line#:20\r\nUpdateForOrder of Class Module clsPOOStock Line#:10");
  e = test::CatchError([&] { unconnected.UpdateForOrderDeliveryDate(); });
  EXPECT_EQ(e.Source(),
            "Line No.: 10 Line No.: 20 TarnlowSTData\r\nPrepareUpdateStatement of Class Module clsPOOStock "
            "Line#:20\r\nUpdateForOrderDeliveryDate of Class Module clsPOOStock Line#:10");
  e = test::CatchError([&] { unconnected.ReadIt(); });
  EXPECT_EQ(e.Source(),
            "Line No.: 10 Line No.: 20 TarnlowSTData\r\nPrepareReadStatement of Class Module clsPOOStock "
            "Line#:20\r\nReadIt of Class Module clsPOOStock Line#:10");
  EXPECT_TRUE(messages.Messages().empty());

  auto faulty = test::OpenWithFaults(db_);
  faulty.faults->Add({.prefix = " update", .source = "Upd"});
  stock_.SageConnection(faulty.connection);
  e = test::CatchError([&] { stock_.UpdateForOrder(); });
  EXPECT_EQ(e.Source(), "Line No.: 30 Upd\r\nUpdateForOrder of Class Module clsPOOStock Line#:30");
  EXPECT_EQ(OnOrder(), 10.0);
}

TARNLOW_ON_EVERY_BACKEND(OnOrderStockTest);

}  // namespace
}  // namespace tarnlow
