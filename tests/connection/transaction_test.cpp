// The client's own transactions around a document: a receipt lands whole or
// not at all, inner levels undo only themselves, and inside a transaction a
// failing statement undoes only itself on every engine, so that the
// library's retries and "already exists" reports work there as outside.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <future>
#include <string>
#include <thread>
#include <vector>

#include "fault_database.h"
#include "tarnlow/tarnlow.h"
#include "test_support.h"

namespace tarnlow {
namespace {

class TransactionTest : public test::DatabaseTest {
 protected:
  TransactionTest() {
    c_->Execute(
        "insert into stock_item (warehouse, product, physical_qty, on_order_qty, month_to_date03,"
        " year_to_date03, current_cost, analysis_x_ref, batch_traceability, serial_numbers,"
        " bin_number) values ('01', 'P1', 5, 10, 0, 0, 2, 'RAW', 'Y', 'N', 'B-07  ')");
  }
  bool OnServer() const { return test::Engine(GetParam()) == "postgresql"; }

  // A receipt of one unit of P1: the item's adjustment, a numbered movement
  // and a numbered batch, the ledger movement and the audit row.
  static void Receive(const std::shared_ptr<Connection>& c, const std::string& label) {
    clsPORStock stock;
    stock.SageConnection(c);
    stock.warehouse = "01";
    stock.product = "P1";
    stock.ReadIt();
    stock.AdjustPhysicalQty = 1.0;
    stock.AdjustOnOrderQty = -1.0;
    stock.UpdateForReceipt();
    clsSTHistory history;
    history.SageConnection(c);
    history.warehouse = "01";
    history.product = "P1";
    history.dated = Date::FromCalendar(2026, 1, 5);
    history.movement_quantity = 1.0;
    history.comments = label;
    history.InsertNewHistory();
    clsSTBatchD batch;
    batch.SageConnection(c);
    batch.warehouse = "01";
    batch.product = "P1";
    batch.prod_code = "P1";
    batch.batch_number = label;
    batch.quantity = 1.0;
    batch.InsertNewBatch();
    clsSTNLMov ledger;
    ledger.SageConnection(c);
    ledger.account = "1200";
    ledger.amount_posted = 2.0;
    ledger.comments = label;
    ledger.InsertRow();
    clsPorecp audit;
    audit.SageConnection(c);
    audit.product = "P1";
    audit.qty_received = 1.0;
    audit.commnt = label;
    audit.InsertRow();
  }
  // What the receipts left, as another client sees it: the item's physical
  // quantity and the labels of the movements and batches; the ledger and
  // audit rows must carry the same labels.
  std::tuple<double, std::vector<std::string>, std::vector<std::string>> Received() {
    auto other = db_.OpenBare();
    const auto item = test::Select(*other, "select physical_qty from stock_item where product = 'P1'");
    const auto labels = [&](const std::string& sql) {
      std::vector<std::string> out;
      for (const auto& row : test::Select(*other, sql)) out.push_back(row[0].ToText());
      return out;
    };
    const auto movements =
        labels("select comments from stock_movement_history where product = 'P1' order by sequence_no");
    auto sorted = movements;
    std::sort(sorted.begin(), sorted.end());
    EXPECT_EQ(labels("select comments from stock_nominal_movement order by comments"), sorted);
    EXPECT_EQ(labels("select commnt from goods_receipt_audit order by commnt"), sorted);
    return {item.at(0).at(0).ToDouble(), movements,
            labels("select batch_number from stock_batch where product = 'P1' order by sequence_number")};
  }
  using Labels = std::vector<std::string>;
};

TEST_P(TransactionTest, ARolledBackReceiptLeavesNothingAndACommittedOneIsWhole) {
  EXPECT_EQ(c_->BeginTrans(), 1);
  Receive(c_, "R1");
  c_->RollbackTrans();
  EXPECT_EQ(Received(), std::make_tuple(5.0, Labels{}, Labels{}));

  EXPECT_EQ(c_->BeginTrans(), 1);
  Receive(c_, "R2");
  EXPECT_EQ(Received(), std::make_tuple(5.0, Labels{}, Labels{})) << "seen before the commit";
  c_->CommitTrans();
  EXPECT_EQ(Received(), std::make_tuple(6.0, Labels{"R2"}, Labels{"R2"}));
}

TEST_P(TransactionTest, AnInnerLevelUndoesOnlyItself) {
  EXPECT_EQ(c_->BeginTrans(), 1);
  Receive(c_, "OUTER");
  EXPECT_EQ(c_->BeginTrans(), 2);
  Receive(c_, "UNDONE");
  c_->RollbackTrans();
  EXPECT_EQ(c_->BeginTrans(), 2);
  Receive(c_, "KEPT");
  EXPECT_EQ(c_->BeginTrans(), 3);
  c_->CommitTrans();
  c_->CommitTrans();
  c_->CommitTrans();
  EXPECT_EQ(Received(), std::make_tuple(7.0, Labels{"OUTER", "KEPT"}, Labels{"OUTER", "KEPT"}));
}

TEST_P(TransactionTest, AnEndWithNoTransactionOpenIsRefused) {
  const std::string none = "No transaction is active.";
  test::ExpectError([&] { c_->CommitTrans(); }, err::NoTransaction, RuntimeSource, none);
  test::ExpectError([&] { c_->RollbackTrans(); }, err::NoTransaction, RuntimeSource, none);
  // Late-bound, as scripts and the C interface reach it: the level comes
  // back, and one end too many is refused.
  EXPECT_EQ(late::Call(*c_, "BeginTrans").ToInt32(), 1);
  EXPECT_EQ(late::Call(*c_, "BeginTrans").ToInt32(), 2);
  late::Call(*c_, "RollbackTrans");
  late::Call(*c_, "CommitTrans");
  test::ExpectError([&] { late::Call(*c_, "CommitTrans"); }, err::NoTransaction, RuntimeSource, none);
  test::ExpectError([] { Connection().BeginTrans(); }, err::ObjectClosed, RuntimeSource);
}

// On a server a failed statement dooms its transaction unless it ran under
// a savepoint of its own.
TEST_P(TransactionTest, AnAlreadyExistingOrderLeavesTheTransactionUsable) {
  const auto header = [&](const std::string& order) {
    auto h = std::make_shared<clsPOHeadD>();
    h->SageConnection(c_);
    h->order_no(order);
    return h;
  };
  c_->BeginTrans();
  header("PO1")->InsertRow();
  const Error e = test::CatchError([&] { header("PO1")->InsertRow(); });
  EXPECT_EQ(e.Number(), DbIntegrityViolation);
  EXPECT_TRUE(e.Description().starts_with("Purchase Order: PO1 already exists \r\n")) << e.Description();
  header("PO2")->InsertRow();
  Receive(c_, "AFTER");
  c_->CommitTrans();
  auto other = db_.OpenBare();
  EXPECT_EQ(test::Select(*other, "select order_no from purchase_order_header order by order_no"),
            (test::Rows{{Variant("PO1")}, {Variant("PO2")}}));
  EXPECT_EQ(Received(), std::make_tuple(6.0, Labels{"AFTER"}, Labels{"AFTER"}));
}

// The next movement number is the highest plus one; the number taken by a
// writer that has not committed yet is not seen, and the insert clashes once
// that writer commits. On SQLite no other writer runs inside a transaction
// (it holds the write lock), so the clash is made to happen.
TEST_P(TransactionTest, AClashingMovementNumberIsTakenByTheNextOneInsideATransaction) {
  std::shared_ptr<Connection> c = c_;
  std::shared_ptr<test::FaultPlan> faults;
  std::shared_ptr<Connection> rival;
  if (OnServer()) {
    rival = db_.Open();
    rival->BeginTrans();
    rival->Execute(
        "insert into stock_movement_history (warehouse, product, dated, sequence_no, comments)"
        " values ('01', 'P1', '2026-01-05', '000000', 'RIVAL')");
  } else {
    auto faulty = test::OpenWithFaults(db_);
    c = faulty.connection;
    faults = faulty.faults;
    faults->Add({.prefix = "INSERT INTO " + c->TableCatalogue()->StockHistoryTable(),
                 .first = 1,
                 .times = 1,
                 .number = DbIntegrityViolation});
  }
  c->BeginTrans();
  // The rival commits while the insert waits on its row.
  auto commit = std::async(std::launch::async, [&] {
    if (!rival) return;
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    rival->CommitTrans();
  });
  clsSTHistory history;
  history.SageConnection(c);
  history.warehouse = "01";
  history.product = "P1";
  history.dated = Date::FromCalendar(2026, 1, 5);
  history.comments = "MINE";
  history.InsertNewHistory();
  commit.get();
  EXPECT_EQ(history.sequence_no(), "000001");
  c->CommitTrans();
  auto other = db_.OpenBare();
  test::Rows expected{{Variant("000001"), Variant("MINE")}};
  if (OnServer()) expected.insert(expected.begin(), {Variant("000000"), Variant("RIVAL")});
  EXPECT_EQ(
      test::Select(*other, "select sequence_no, comments from stock_movement_history order by sequence_no"),
      expected);
}

TEST_P(TransactionTest, LettingGoOfTheConnectionRollsBack) {
  auto c = db_.Open();
  c->BeginTrans();
  c->BeginTrans();
  Receive(c, "LOST");
  c.reset();
  EXPECT_EQ(Received(), std::make_tuple(5.0, Labels{}, Labels{}));
  // Nothing of it holds the database: another client writes at once.
  c_->BeginTrans();
  Receive(c_, "NEXT");
  c_->CommitTrans();
  EXPECT_EQ(Received(), std::make_tuple(6.0, Labels{"NEXT"}, Labels{"NEXT"}));
}

// SQLite rolls the whole transaction back when the database is full. What
// the client sends after that must not run on its own, outside any
// transaction: it is refused until the client has ended every level.
TEST_P(TransactionTest, ATransactionTheDatabaseEndedRefusesEverythingButItsEnd) {
  if (GetParam() != "sqlite") GTEST_SKIP() << "only SQLite ends a transaction on a statement and tells";
  c_->Execute("create table filler (a text)");
  const auto pages = test::Select(*c_, "pragma page_count").at(0).at(0).ToInt32();
  c_->Execute("pragma max_page_count = " + std::to_string(pages + 4));
  c_->BeginTrans();
  c_->BeginTrans();
  Receive(c_, "LOST");
  const std::string page(4000, 'x');
  const Error full = test::CatchError([&] {
    for (int i = 0; i < 100; ++i) c_->Execute("insert into filler values ('" + page + "')");
  });
  EXPECT_NE(full.Description().find("full"), std::string::npos) << full.Description();

  const std::string ended =
      "The database has rolled the transaction back after a failed statement; end it with RollbackTrans to "
      "go on.";
  test::ExpectError([&] { Receive(c_, "ALONE"); }, err::TransactionEnded, RuntimeSource, ended);
  test::ExpectError([&] { c_->BeginTrans(); }, err::TransactionEnded, RuntimeSource, ended);
  c_->RollbackTrans();
  test::ExpectError([&] { c_->CommitTrans(); }, err::TransactionEnded, RuntimeSource, ended);
  test::ExpectError([&] { c_->RollbackTrans(); }, err::NoTransaction, RuntimeSource);
  EXPECT_EQ(Received(), std::make_tuple(5.0, Labels{}, Labels{}));

  c_->Execute("pragma max_page_count = 1000000");
  EXPECT_EQ(c_->BeginTrans(), 1);
  Receive(c_, "NEXT");
  c_->CommitTrans();
  EXPECT_EQ(Received(), std::make_tuple(6.0, Labels{"NEXT"}, Labels{"NEXT"}));
}

// A client killed outright, with its transaction open or just after its
// commit: the database keeps only what was committed.
TEST_P(TransactionTest, AKilledClientLeavesOnlyWhatItCommitted) {
  const std::string text = db_.Text();
  for (const bool commit : {false, true}) {
    const auto problems = test::RunProcesses(1, [&](int) {
      auto c = Connection::Open(text);
      c->BeginTrans();
      Receive(c, commit ? "COMMITTED" : "KILLED");
      if (commit) c->CommitTrans();
      std::raise(SIGKILL);
    });
    ASSERT_EQ(problems.size(), 1u);
    EXPECT_TRUE(problems[0].ends_with(" ended with status " + std::to_string(SIGKILL))) << problems[0];
  }
  EXPECT_EQ(Received(), std::make_tuple(6.0, Labels{"COMMITTED"}, Labels{"COMMITTED"}));
}

// A receipt that had to wait for the write lock halfway through would fail
// there, under concurrent writers; so the transaction waits for it at its
// start.
TEST_P(TransactionTest, OnSQLiteTheTransactionTakesTheWriteLockWhenItBegins) {
  if (OnServer()) GTEST_SKIP() << "a server locks rows, not the database";
  c_->BeginTrans();
  auto other = db_.OpenBare();
  auto begun = std::async(std::launch::async, [&] { return other->BeginTrans(); });
  EXPECT_EQ(begun.wait_for(std::chrono::milliseconds(300)), std::future_status::timeout);
  c_->CommitTrans();
  EXPECT_EQ(begun.get(), 1);
  other->RollbackTrans();
}

TARNLOW_ON_EVERY_BACKEND(TransactionTest);

}  // namespace
}  // namespace tarnlow
