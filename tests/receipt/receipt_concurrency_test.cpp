// Several client processes receive the same products at once, each through
// its own connection and its own objects, as clerks at separate terminals
// do. Each receipt adjusts the stock item and numbers a movement history row
// and a batch (the highest number plus one): the adjustments must lose no
// receipt, and neither numbering may leave a gap or a repeat while the other
// table's numbering and the stock item's update run in between, whether
// each write is its own statement or each receipt one transaction.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "tarnlow/tarnlow.h"
#include "test_support.h"

namespace tarnlow {
namespace {

constexpr int kProducts = 2;
constexpr int kReceiptsPerClient = 60;
// Through a driver each receipt costs more; fewer still collide often.
constexpr int kReceiptsPerClientOdbc = 25;
// Each in a transaction, from up to 32 processes.
constexpr int kReceiptsPerTransactionalClient = 5;

std::string Product(int p) {
  return "SHARED" + std::to_string(p);
}

class ReceiptConcurrencyTest : public ::testing::TestWithParam<std::string> {
 protected:
  ReceiptConcurrencyTest() {
    auto c = db_.Open();
    for (int p = 0; p < kProducts; ++p) {
      c->Execute(
          "insert into stock_item (warehouse, product, physical_qty, on_order_qty, month_to_date03,"
          " year_to_date03, current_cost, analysis_x_ref, batch_traceability, serial_numbers,"
          " bin_number) values ('01', '" +
          Product(p) + "', 5, 1000, 0, 0, 2, 'RAW', 'Y', 'N', 'B-07  ')");
      // An old-scheme batch keeps the product on decimal batch numbers.
      c->Execute(
          "insert into stock_batch (warehouse, product, sequence_number, batch_number, prod_code,"
          " quantity) values ('01', '" +
          Product(p) + "', '000000', 'OPENING', '" + Product(p) + "', 0)");
    }
  }
  // A server takes more clients than a file database.
  int Clients() const { return GetParam().ends_with("sqlite") ? 4 : 8; }
  int Receipts() const {
    return GetParam().starts_with("odbc-") ? kReceiptsPerClientOdbc : kReceiptsPerClient;
  }
  // Client c's r-th receipt is of this product, so that every product has
  // several clients at any moment.
  static int ProductOf(int client, int receipt) { return (client + receipt) % kProducts; }

  // `clients` processes make `receipts` receipts each, labelled
  // "tag:client-receipt"; with `transactions`, each receipt is one.
  void Receive(const std::string& tag, int clients, int receipts, bool transactions) {
    const std::string text = db_.Text();
    const auto problems = test::RunProcesses(clients, [&](int client) {
      auto c = Connection::Open(text);
      clsPORStock stock;
      clsSTHistory history;
      clsSTBatchD batch;
      stock.SageConnection(c);
      history.SageConnection(c);
      batch.SageConnection(c);
      for (int r = 0; r < receipts; ++r) {
        const std::string product = Product(ProductOf(client, r));
        const std::string label = Label(tag, client, r);
        const auto adjust = [&] {
          stock.warehouse = "01";
          stock.product = product;
          stock.ReadIt();
          stock.AdjustPhysicalQty = 1.0;
          stock.AdjustOnOrderQty = -1.0;
          stock.AdjustMonthToDateReceiptQty = 1.0;
          stock.AdjustYearToDateReceiptQty = 1.0;
          stock.last_supplier = "SUP" + std::to_string(client);
          stock.current_cost = 2.0;
          stock.current_material = 2.0;
          stock.UpdateForReceipt();
        };
        const auto number = [&] {
          history.warehouse = "01";
          history.product = product;
          history.dated = Date::FromCalendar(2026, 1, 5);
          history.movement_quantity = 1.0;
          history.transaction_type = "GRN";
          history.comments = label;
          history.InsertNewHistory();
          batch.warehouse = "01";
          batch.product = product;
          batch.prod_code = product;
          batch.batch_number = label;
          batch.quantity = 1.0;
          batch.InsertNewBatch();
        };
        if (!transactions) {
          adjust();
          number();
          continue;
        }
        // The numbers first: a rival's number not yet committed is not
        // seen, and the insert that clashes with it is undone alone and
        // tried again with the next number, all inside the transaction.
        c->BeginTrans();
        number();
        adjust();
        c->CommitTrans();
      }
    });
    ASSERT_TRUE(problems.empty()) << ::testing::PrintToString(problems);
    for (int client = 0; client < clients; ++client)
      for (int r = 0; r < receipts; ++r) labels_[ProductOf(client, r)].push_back(Label(tag, client, r));
  }
  static std::string Label(const std::string& tag, int client, int receipt) {
    return tag + ":" + std::to_string(client) + "-" + std::to_string(receipt);
  }

  // Column `column` of every row of `table` for product p, sorted.
  std::vector<std::string> Values(const std::string& table, const std::string& column, int p) {
    std::vector<std::string> out;
    auto c = db_.Open();
    for (const auto& row : test::Select(*c, "select " + column + " from " + table +
                                                " where warehouse = '01' and product = '" + Product(p) + "'"))
      out.push_back(row[0].ToText());
    std::sort(out.begin(), out.end());
    return out;
  }

  // Every receipt made so far is there whole: the stock item's figures, one
  // movement and one batch each, numbered from the first free number on
  // without a gap or a repeat.
  void ExpectEveryReceiptWhole() {
    auto c = db_.Open();
    for (int p = 0; p < kProducts; ++p) {
      SCOPED_TRACE(Product(p));
      std::vector<std::string> labels = labels_[p];
      std::sort(labels.begin(), labels.end());
      const int n = static_cast<int>(labels.size());

      const auto item = test::Select(*c,
                                     "select physical_qty, on_order_qty, month_to_date03, year_to_date03 from"
                                     " stock_item where warehouse = '01' and product = '" +
                                         Product(p) + "'");
      ASSERT_EQ(item.size(), 1u);
      EXPECT_EQ(item[0][0].ToDouble(), 5.0 + n);
      EXPECT_EQ(item[0][1].ToDouble(), 1000.0 - n);
      EXPECT_EQ(item[0][2].ToDouble(), static_cast<double>(n));
      EXPECT_EQ(item[0][3].ToDouble(), static_cast<double>(n));

      EXPECT_EQ(Values("stock_movement_history", "comments", p), labels);
      std::vector<std::string> history_numbers;
      for (int i = 0; i < n; ++i) history_numbers.push_back(test::SixDigits(i));
      EXPECT_EQ(Values("stock_movement_history", "sequence_no", p), history_numbers);

      labels.push_back("OPENING");
      std::sort(labels.begin(), labels.end());
      EXPECT_EQ(Values("stock_batch", "batch_number", p), labels);
      std::vector<std::string> batch_numbers;
      for (int i = 0; i <= n; ++i) batch_numbers.push_back(test::SixDigits(i));
      EXPECT_EQ(Values("stock_batch", "sequence_number", p), batch_numbers);
    }
  }

  test::ScratchDatabase db_{GetParam()};
  std::vector<std::string> labels_[kProducts];  // of the receipts made, by product
};

TEST_P(ReceiptConcurrencyTest, ContendedReceiptsLoseNothingAndNumberWithoutGapOrRepeat) {
  Receive("plain", Clients(), Receipts(), false);
  ExpectEveryReceiptWhole();
}

// Each receipt in a transaction of its own, from 8 and then 32 processes:
// on SQLite they take turns at the write lock, on a server they meet on the
// stock item's row and on the numbers.
TEST_P(ReceiptConcurrencyTest, ReceiptsInTransactionsLandWholeAndNumberWithoutGapOrRepeat) {
  for (const int clients : {8, 32}) {
    SCOPED_TRACE(std::to_string(clients) + " clients");
    Receive(std::to_string(clients), clients, kReceiptsPerTransactionalClient, true);
    ExpectEveryReceiptWhole();
  }
}

// Two clerks receive against the same order line over and over, each
// reading the line, adding to what it holds and writing it back; a write
// that finds the line changed since it was read is read again and retried.
TEST_P(ReceiptConcurrencyTest, ReadAddUpdateOfOneLineLosesNoReceipt) {
#if defined(__SANITIZE_ADDRESS__)
  const int receipts = 200;
#else
  const int receipts = 1000;
#endif
  const std::string text = db_.Text();
  {
    auto c = db_.Open();
    c->Execute(
        "insert into " + c->TableCatalogue()->OrderLineTable() +
        " (order_no, order_line_no, qty_ordered, qty_received, status) values ('PO1', '   1', 5000, 0, 'O')");
  }
  const auto problems = test::RunProcesses(2, [&](int) {
    auto c = Connection::Open(text);
    clsPORPodet line;
    line.SageConnection(c);
    line.order_no = "PO1";
    line.line_no = 1;
    for (int r = 0; r < receipts;) {
      line.ReadIt();
      line.qty_received = line.qty_received() + 1;
      try {
        line.UpdateForReceipt();
        ++r;
      } catch (const Error& e) {
        if (e.Number() != err::RowNotLocated) throw;
      }
      line.CloseIt();
    }
  });
  ASSERT_TRUE(problems.empty()) << ::testing::PrintToString(problems);
  auto c = db_.Open();
  const auto rows = test::Select(*c, "select qty_received from " + c->TableCatalogue()->OrderLineTable());
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0][0].ToDouble(), 2.0 * receipts);
}

TARNLOW_ON_EVERY_BACKEND(ReceiptConcurrencyTest);

}  // namespace
}  // namespace tarnlow
