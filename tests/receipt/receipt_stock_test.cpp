// The stock item as goods receipt reads it and applies a receipt to it.

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "connection/database_connection.h"
#include "tarnlow/tarnlow.h"
#include "test_support.h"

namespace tarnlow {
namespace {

using Row = std::map<std::string, Variant>;

// Every column of every row of the select, keyed by column name.
std::vector<Row> SelectRows(Connection& c, const std::string& sql) {
  test::OpenRecordset rs(c, sql);
  std::vector<Row> rows;
  for (; !rs.AtEOF(); rs.MoveNext()) {
    Row& row = rows.emplace_back();
    for (std::size_t i = 0; i < rs.FieldCount(); ++i) row[rs.FieldName(i)] = rs.Fields(i);
  }
  rs.Close();
  return rows;
}

class ReceiptStockTest : public test::DatabaseTest {
 protected:
  void SetUp() override {
    c_->Execute("insert into " + Table() +
                " (warehouse, product, current_cost, current_labour, current_material, current_overhead,"
                " current_subcontrac, analysis_x_ref, batch_traceability, serial_numbers, standard_cost,"
                " standard_labour, standard_material, standard_overhead, standard_subcontra, bin_number,"
                " physical_qty, on_order_qty, month_to_date03, year_to_date03, last_supplier, description)"
                " values ('01', 'BOLT', 1.5, 0.25, 1.0, 0.125, 0.0625, 'CAT  ', 'Y', 'N', 2.5, 0.5, 1.75,"
                " 0.2, 0.05, 'B12   ', 40, 100, 3, 30, 'OLDSUP', 'Bolt M8')");
    c_->Execute("insert into " + Table() + " (warehouse, product, bin_number) values ('01', 'NUT', NULL)");
    stock_.SageConnection(c_);
  }
  std::string Table() { return c_->TableCatalogue()->StockTable(); }
  Row Item(const std::string& warehouse, const std::string& product) {
    auto rows = SelectRows(*c_, "select * from " + Table() + " where warehouse = '" + warehouse +
                                    "' and product = '" + product + "'");
    if (rows.size() != 1) {
      ADD_FAILURE() << "no single item " << warehouse << "/" << product;
      return {};
    }
    return rows[0];
  }
  double Number(const std::string& product, const std::string& column) {
    return Item("01", product)[column].ToDouble();
  }
  void Receive(clsPORStock& stock, double qty, double cost) {
    stock.warehouse = "01";
    stock.product = "BOLT";
    stock.AdjustOnOrderQty = -qty;
    stock.AdjustPhysicalQty = qty;
    stock.AdjustMonthToDateReceiptQty = qty;
    stock.AdjustYearToDateReceiptQty = qty;
    stock.last_supplier = "SUP9";
    stock.current_cost = cost;
    stock.current_material = cost / 2;
    stock.UpdateForReceipt();
  }

  clsPORStock stock_;
};

TEST_P(ReceiptStockTest, ReadsCostsFlagsCategoryAndBin) {
  stock_.warehouse = "01";
  stock_.product = "BOLT";
  stock_.ReadIt();
  const Row stored = Item("01", "BOLT");
  for (const ColumnInfo& c : clsPORStock::Columns()) {
    // Adjustments are held only, the supplier is only written, and the bin
    // loses its trailing blanks.
    if (c.column.empty() || c.column == "last_supplier" || c.column == "bin_number") continue;
    if (c.kind == ValueKind::Text)
      EXPECT_EQ(c.get(stock_).ToText(), stored.at(std::string(c.column)).ToText()) << c.column;
    else
      EXPECT_EQ(c.get(stock_).ToDouble(), stored.at(std::string(c.column)).ToDouble()) << c.column;
  }
  EXPECT_EQ(stock_.nl_category(), "CAT  ");
  EXPECT_EQ(stock_.BinNumber(), "B12");
  // The stored quantities are not read.
  EXPECT_EQ(stock_.physical_qty(), 0.0);
  EXPECT_EQ(stock_.on_order_qty(), 0.0);
}

TEST_P(ReceiptStockTest, AMissingItemRaisesItsRecordAndKeepsTheProperties) {
  stock_.warehouse = "01";
  stock_.product = "BOLT";
  stock_.ReadIt();
  stock_.product = "NOPE";
  test::ExpectError([&] { stock_.ReadIt(); }, -2147221504, "PORStock.ReadIt",
                    "Cannot find stock item 01/NOPE");
  EXPECT_EQ(stock_.current_cost(), 1.5);
  EXPECT_EQ(stock_.nl_category(), "CAT  ");
  EXPECT_EQ(stock_.BinNumber(), "B12");
}

TEST_P(ReceiptStockTest, ANullBinIsEmptyButANullInAnotherSelectedColumnFailsTheRead) {
  stock_.warehouse = "01";
  stock_.product = "BOLT";
  stock_.ReadIt();
  stock_.product = "NUT";
  stock_.ReadIt();
  EXPECT_EQ(stock_.BinNumber(), "");
  for (const char* column : {"analysis_x_ref", "current_subcontrac", "standard_overhead"}) {
    c_->Execute("update " + Table() + " set " + column + " = NULL where product = 'NUT'");
    EXPECT_EQ(test::CatchError([&] { stock_.ReadIt(); }).Number(), err::InvalidUseOfNull) << column;
    c_->Execute("update " + Table() + " set " + column + " = " + (column[0] == 'a' ? "''" : "0") +
                " where product = 'NUT'");
  }
  stock_.ReadIt();
  EXPECT_EQ(stock_.nl_category(), "");
}

TEST_P(ReceiptStockTest, TheReceiptIsAddedByTheDatabaseToWhatIsStored) {
  clsPORStock first, second;
  first.SageConnection(c_);
  second.SageConnection(c_);
  Receive(first, 5, 2.0);
  Receive(second, 3, 4.0);
  EXPECT_EQ(Number("BOLT", "physical_qty"), 48.0);
  EXPECT_EQ(Number("BOLT", "on_order_qty"), 92.0);
  EXPECT_EQ(Number("BOLT", "month_to_date03"), 11.0);
  EXPECT_EQ(Number("BOLT", "year_to_date03"), 38.0);
  // Costs and supplier are overwritten with the last receipt's values.
  EXPECT_EQ(Number("BOLT", "current_cost"), 4.0);
  EXPECT_EQ(Number("BOLT", "current_material"), 2.0);
  EXPECT_EQ(Item("01", "BOLT")["last_supplier"].ToText(), "SUP9");
  // The Adjust values stay set: a second call adds them again.
  EXPECT_EQ(second.AdjustPhysicalQty(), 3.0);
  second.UpdateForReceipt();
  EXPECT_EQ(Number("BOLT", "physical_qty"), 51.0);
  EXPECT_EQ(Number("BOLT", "on_order_qty"), 89.0);
  // A negative adjustment subtracts.
  second.AdjustPhysicalQty = -50.0;
  second.UpdateForReceipt();
  EXPECT_EQ(Number("BOLT", "physical_qty"), 1.0);
  // The other item is untouched.
  EXPECT_EQ(Number("NUT", "physical_qty"), 0.0);
}

TEST_P(ReceiptStockTest, AnItemThatDoesNotExistIsUpdatedInNoRowWithoutComplaint) {
  const auto before = SelectRows(*c_, "select * from " + Table() + " order by product");
  stock_.warehouse = "02";
  stock_.product = "BOLT";
  stock_.AdjustPhysicalQty = 5;
  stock_.UpdateForReceipt();
  EXPECT_EQ(SelectRows(*c_, "select * from " + Table() + " order by product"), before);
}

TARNLOW_ON_EVERY_BACKEND(ReceiptStockTest);

}  // namespace
}  // namespace tarnlow
