// Many clerks receive the same products at once, each receipt in a
// transaction of its own: every receipt lands whole, and the history and
// batch numbers, taken as the highest plus one inside those transactions,
// run on without a gap or a repeat.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <tuple>
#include <vector>

#include "tarnlow/tarnlow.h"
#include "test_support.h"

namespace tarnlow {
namespace receipt_transactions {

constexpr int kProducts = 2;
constexpr int kReceiptsPerClient = 5;

std::string Product(int p) {
  return "TRANS" + std::to_string(p);
}

class ReceiptTransactionTest : public ::testing::TestWithParam<std::tuple<std::string, int>> {
 protected:
  ReceiptTransactionTest() {
    auto c = db_.Open();
    for (int p = 0; p < kProducts; ++p) {
      c->Execute(
          "insert into stock_item (warehouse, product, physical_qty, on_order_qty, month_to_date03,"
          " year_to_date03, current_cost, analysis_x_ref, batch_traceability, serial_numbers,"
          " bin_number) values ('01', '" +
          Product(p) + "', 0, 1000, 0, 0, 2, 'RAW', 'Y', 'N', 'B-07  ')");
      // An old-scheme batch keeps the product on decimal batch numbers.
      c->Execute(
          "insert into stock_batch (warehouse, product, sequence_number, batch_number, prod_code,"
          " quantity) values ('01', '" +
          Product(p) + "', '000000', 'OPENING', '" + Product(p) + "', 0)");
    }
  }
  int Clients() const { return std::get<1>(GetParam()); }

  test::ScratchDatabase db_{std::get<0>(GetParam())};
};

TEST_P(ReceiptTransactionTest, EveryReceiptLandsWholeAndNumbersRunOnWithoutGapOrRepeat) {
  const std::string text = db_.Text();
  const auto problems = test::RunProcesses(Clients(), [&](int client) {
    auto c = Connection::Open(text);
    clsPORStock stock;
    clsSTHistory history;
    clsSTBatchD batch;
    stock.SageConnection(c);
    history.SageConnection(c);
    batch.SageConnection(c);
    for (int r = 0; r < kReceiptsPerClient; ++r) {
      const std::string product = Product((client + r) % kProducts);
      const std::string label = std::to_string(client) + "-" + std::to_string(r);
      c->BeginTrans();
      // The numbers first: a rival's number not yet committed is not seen,
      // and the insert that clashes with it is undone alone and retried.
      history.warehouse = "01";
      history.product = product;
      history.dated = Date::FromCalendar(2026, 1, 5);
      history.movement_quantity = 1.0;
      history.comments = label;
      history.InsertNewHistory();
      batch.warehouse = "01";
      batch.product = product;
      batch.prod_code = product;
      batch.batch_number = label;
      batch.quantity = 1.0;
      batch.InsertNewBatch();
      stock.warehouse = "01";
      stock.product = product;
      stock.ReadIt();
      stock.AdjustPhysicalQty = 1.0;
      stock.AdjustOnOrderQty = -1.0;
      stock.UpdateForReceipt();
      c->CommitTrans();
    }
  });
  ASSERT_TRUE(problems.empty()) << ::testing::PrintToString(problems);

  auto c = db_.OpenBare();
  const auto column = [&](const std::string& sql) {
    std::vector<std::string> out;
    for (const auto& row : test::Select(*c, sql)) out.push_back(row[0].ToText());
    std::sort(out.begin(), out.end());
    return out;
  };
  for (int p = 0; p < kProducts; ++p) {
    SCOPED_TRACE(Product(p));
    const std::string where = " where product = '" + Product(p) + "'";
    std::vector<std::string> labels;
    for (int client = 0; client < Clients(); ++client)
      for (int r = 0; r < kReceiptsPerClient; ++r)
        if ((client + r) % kProducts == p) labels.push_back(std::to_string(client) + "-" + std::to_string(r));
    std::sort(labels.begin(), labels.end());
    const int n = static_cast<int>(labels.size());

    EXPECT_EQ(column("select physical_qty from stock_item" + where),
              (std::vector<std::string>{std::to_string(n)}));
    EXPECT_EQ(column("select comments from stock_movement_history" + where), labels);
    std::vector<std::string> history_numbers, batch_numbers{test::SixDigits(0)};
    for (int i = 0; i < n; ++i) {
      history_numbers.push_back(test::SixDigits(i));
      batch_numbers.push_back(test::SixDigits(i + 1));
    }
    EXPECT_EQ(column("select sequence_no from stock_movement_history" + where), history_numbers);
    labels.push_back("OPENING");
    std::sort(labels.begin(), labels.end());
    EXPECT_EQ(column("select batch_number from stock_batch" + where), labels);
    EXPECT_EQ(column("select sequence_number from stock_batch" + where), batch_numbers);
  }
}

INSTANTIATE_TEST_SUITE_P(Backends, ReceiptTransactionTest,
                         ::testing::Combine(::testing::ValuesIn(test::Backends()), ::testing::Values(8, 32)),
                         [](const ::testing::TestParamInfo<std::tuple<std::string, int>>& info) {
                           return test::BackendName()(::testing::TestParamInfo<std::string>(
                                      std::get<0>(info.param), info.index)) +
                                  "_" + std::to_string(std::get<1>(info.param)) + "_clients";
                         });

}  // namespace receipt_transactions
}  // namespace tarnlow
