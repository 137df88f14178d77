// Whatever order a client lets go of a connection and of what it made on it
// (statement holders with their commands, row sets, table objects), what it
// still holds keeps working. Under the sanitizer build a use of anything
// already freed fails the run; the checks below fail any build when a row set
// loses its rows or a write goes nowhere.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <numeric>
#include <string>
#include <vector>

#include "connection/database_connection.h"
#include "tarnlow/tarnlow.h"
#include "test_support.h"

namespace tarnlow {
namespace {

// Every order in which `count` things can be let go of.
std::vector<std::vector<int>> ReleaseOrders(int count) {
  std::vector<int> order(static_cast<std::size_t>(count));
  std::iota(order.begin(), order.end(), 0);
  std::vector<std::vector<int>> out;
  do out.push_back(order);
  while (std::next_permutation(order.begin(), order.end()));
  return out;
}

std::string Describe(const std::vector<int>& order, const std::vector<std::string>& names) {
  std::string out = "released in the order";
  for (int i : order) out += " " + names[static_cast<std::size_t>(i)];
  return out;
}

class OwnershipTest : public ::testing::TestWithParam<std::string> {
 protected:
  void SetUp() override {
    auto c = db_.Open();
    c->Execute("insert into " + Services() + " (service, unit_code, cost) values ('S1', 'EACH', 1)");
    c->Execute("insert into " + Lines() +
               " (order_no, order_line_no, qty_ordered) values ('PO1', '   1', 50)");
  }
  std::string Services() const { return std::string(DefaultTableName(CatalogueTable::ServiceTable)); }
  std::string Lines() const { return std::string(DefaultTableName(CatalogueTable::OrderLineTable)); }
  // A value as a fresh connection reads it, after everything else is gone.
  Variant Stored(const std::string& sql) {
    auto c = db_.OpenBare();
    const test::Rows rows = test::Select(*c, sql);
    return rows.empty() ? Variant() : rows[0][0];
  }

  test::ScratchDatabase db_{GetParam()};
};

TEST_P(OwnershipTest, AHolderAndItsRowSetOutliveTheConnectionInEveryOrder) {
  const std::vector<std::string> names{"connection", "holder", "row set"};
  for (const auto& order : ReleaseOrders(3)) {
    SCOPED_TRACE(Describe(order, names));
    auto connection = db_.OpenBare();
    auto holder = std::make_unique<StatementHolder>();
    holder->Connection(connection);
    holder->SQL("select cost, unit_code from " + Services() + " where service = ?");
    holder->AddTextParameter("service", 20);
    holder->SetTextValue("service", "S1");
    std::shared_ptr<Recordset> rows = holder->Command().Execute();

    for (int item : order) {
      if (item == 0) connection.reset();
      if (item == 1) holder.reset();
      if (item == 2) rows.reset();
      // Whatever is still held is used again.
      if (holder) {
        auto again = holder->Command().Execute();
        ASSERT_FALSE(again->AtEOF());
        EXPECT_EQ(again->Fields("cost").ToDouble(), 1.0);
      }
      if (rows) {
        ASSERT_EQ(rows->State(), adStateOpen);
        ASSERT_FALSE(rows->AtEOF());
        EXPECT_EQ(rows->Fields("unit_code").ToText(), "EACH");
      }
      if (connection) {
        EXPECT_EQ(test::Select(*connection, "select count(*) from " + Services())[0][0].ToInt32(), 1);
      }
    }
  }
}

TEST_P(OwnershipTest, AHolderGivenAnotherConnectionRunsThereWhileTheOldRowSetKeepsItsRows) {
  auto first = db_.OpenBare();
  auto second = db_.OpenBare();
  test::Holder holder(first, "select cost from " + Services() + " where service = ?");
  holder.AddTextParameter("service", 20);
  holder.SetTextValue("service", "S1");
  std::shared_ptr<Recordset> old_rows = holder.Command().Execute();
  holder.Connection(second);
  first.reset();
  EXPECT_EQ(old_rows->Fields("cost").ToDouble(), 1.0);
  const auto before = Statistics(*second);
  auto rows = holder.Command().Execute();
  EXPECT_EQ(rows->Fields("cost").ToDouble(), 1.0);
  EXPECT_EQ(Statistics(*second).prepares - before.prepares, 1);  // compiled anew on the new connection
  EXPECT_EQ(Statistics(*second).executions - before.executions, 1);
}

TEST_P(OwnershipTest, AnUpdatableRowSetWritesThroughAConnectionTheClientLetGoOf) {
  const std::vector<std::string> names{"connection", "row set"};
  double cost = 1.0;
  for (const auto& order : ReleaseOrders(2)) {
    SCOPED_TRACE(Describe(order, names));
    auto connection = db_.OpenBare();
    auto rows = std::make_unique<Recordset>();
    rows->ActiveConnection(connection->DatabaseConnection());
    rows->LockType(adLockOptimistic);
    rows->CursorType(adOpenStatic);
    rows->Source("select * from " + Services() + " where service = 'S1'");
    rows->Open();
    for (int item : order) {
      if (item == 0) connection.reset();
      if (item == 1) rows.reset();
      if (rows) {
        rows->SetField("cost", Variant(cost += 1.0));
        rows->Update();
        EXPECT_EQ(rows->Fields("cost").ToDouble(), cost);
      }
    }
    EXPECT_EQ(Stored("select cost from " + Services()).ToDouble(), cost);
  }
  EXPECT_EQ(cost, 2.0);  // one order wrote after the connection was gone
}

TEST_P(OwnershipTest, ARowSetOfAnExecutedCommandOutlivesCommandAndConnection) {
  const std::vector<std::string> names{"connection", "command", "row set"};
  for (const auto& order : ReleaseOrders(3)) {
    SCOPED_TRACE(Describe(order, names));
    auto connection = db_.OpenBare();
    auto command = std::make_unique<Command>();
    command->ActiveConnection(connection);
    command->CommandText("select service, cost from " + Services());
    std::shared_ptr<Recordset> rows = command->Execute();
    for (int item : order) {
      if (item == 0) connection.reset();
      if (item == 1) command.reset();
      if (item == 2) rows.reset();
      if (rows) {
        ASSERT_FALSE(rows->AtEOF());
        EXPECT_EQ(rows->Fields("service").ToText(), "S1");
        EXPECT_EQ(test::CatchError([&] { rows->SetField("cost", Variant(3.0)); }).Number(),
                  err::UpdateNotSupported);
      }
    }
  }
}

// The reported fault: a line read on one connection, the object handed a
// second one, the first let go of, then the receipt written.
TEST_P(OwnershipTest, AReceiptLineReadOnAConnectionTheClientLetGoOfIsStillWritten) {
  const std::vector<std::string> names{"first connection", "second connection", "line object"};
  double received = 0;
  for (const auto& order : ReleaseOrders(3)) {
    SCOPED_TRACE(Describe(order, names));
    auto first = db_.OpenBare();
    auto second = db_.OpenBare();
    auto line = std::make_unique<clsPORPodet>();
    line->SageConnection(first);
    line->order_no = "PO1";
    line->line_no = 1;
    line->ReadIt();
    line->SageConnection(second);
    for (int item : order) {
      if (item == 0) first.reset();
      if (item == 1) second.reset();
      if (item == 2) line.reset();
      if (line) {
        line->qty_received = received += 1;
        line->UpdateForReceipt();
      }
    }
    EXPECT_EQ(Stored("select qty_received from " + Lines()).ToDouble(), received);
  }
  EXPECT_EQ(received, 6.0);  // every order but the two that let go of the line first wrote
}

TARNLOW_ON_EVERY_BACKEND(OwnershipTest);

}  // namespace
}  // namespace tarnlow
