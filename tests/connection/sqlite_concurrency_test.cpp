// A client that reads and then writes on one connection while other clients
// commit: no read may leave a snapshot behind that a later write cannot get
// past. A write-ahead-logged SQLite file would otherwise refuse that write at
// once ("database is locked") whenever another process had committed since
// the read began.
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <set>
#include <stdexcept>
#include <string>
#include <thread>

#include "tarnlow/tarnlow.h"
#include "test_support.h"

namespace tarnlow {
namespace {

constexpr int kLines = 10;
constexpr int kReceipts = 300;
// SQLite's extended result code for a write whose read snapshot is stale.
constexpr std::int32_t kSqliteBusySnapshot = 517;

void InsertLines(Connection& c) {
  for (int l = 1; l <= kLines; ++l)
    c.Execute("insert into " + c.TableCatalogue()->OrderLineTable() +
              " (order_no, order_line_no, qty_ordered, qty_received) values ('PO1', '" + RightJustify(l, 4) +
              "', 1000, 0)");
}

// One receipt: a walk over the order is left open on its first line while
// another line is read and its received quantity written back.
void Receive(const std::shared_ptr<Connection>& c, std::int16_t line_no) {
  clsPORPodet walk;
  walk.SageConnection(c);
  walk.order_no = "PO1";
  walk.InitReadAllForOrder();
  test::Require(walk.ReadNextForOrder(), "the walk found no line");
  clsPORPodet line;
  line.SageConnection(c);
  line.order_no = "PO1";
  line.line_no = line_no;
  line.ReadIt();
  line.qty_received = line.qty_received() + 1;
  line.status = "P";
  line.UpdateForReceipt();
  line.CloseIt();
  walk.CloseIt();
}

void WriteHistory(clsSTHistory& h, int n) {
  h.comments = std::to_string(n);
  h.InsertNewHistory();
}

class ReadThenWriteTest : public ::testing::TestWithParam<std::string> {
 protected:
  test::ScratchDatabase db_{GetParam()};
};

TEST_P(ReadThenWriteTest, AWriteAfterAReadSucceedsThoughAnotherConnectionCommittedBetween) {
  auto receiving = db_.Open();
  auto other = db_.Open();
  InsertLines(*receiving);
  clsSTHistory history;
  history.SageConnection(other);
  history.warehouse = "01";
  history.product = "OTHER";

  clsPORPodet walk;
  walk.SageConnection(receiving);
  walk.order_no = "PO1";
  walk.InitReadAllForOrder();
  ASSERT_TRUE(walk.ReadNextForOrder());
  clsPORPodet line;
  line.SageConnection(receiving);
  line.order_no = "PO1";
  line.line_no = 2;
  line.ReadIt();
  WriteHistory(history, 0);  // commits while both reads are open
  line.qty_received = 5;
  line.UpdateForReceipt();
  line.CloseIt();
  ASSERT_TRUE(walk.ReadNextForOrder());  // the walk goes on over the rows it read
  walk.CloseIt();
  EXPECT_EQ(test::Select(*other, "select qty_received from " + other->TableCatalogue()->OrderLineTable() +
                                     " where order_line_no = '   2'")[0][0]
                .ToDouble(),
            5.0);
}

TARNLOW_ON_EVERY_BACKEND(ReadThenWriteTest);

TEST(SqliteConcurrencyTest, InsideTheCallersOwnTransactionAStaleReadFailsTheWriteAtOnce) {
  test::ScratchDatabase db;
  auto mine = db.Open();
  auto other = db.Open();
  const std::string services = mine->TableCatalogue()->ServiceTable();
  mine->Execute("begin");
  EXPECT_EQ(test::Select(*mine, "select count(*) from " + services)[0][0].ToInt32(), 0);
  other->Execute("insert into " + services + " (service) values ('OTHER')");
  // Only the caller can begin its transaction again: the write is not
  // retried, and the error record says why it failed.
  const auto started = std::chrono::steady_clock::now();
  const Error e =
      test::CatchError([&] { mine->Execute("insert into " + services + " (service) values ('MINE')"); });
  EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(5));  // no busy wait
  EXPECT_EQ(e.Number(), DbFailure);
  EXPECT_EQ(e.NativeError(), kSqliteBusySnapshot);
  EXPECT_TRUE(e.ConnectionUsable());
  mine->Execute("rollback");
  mine->Execute("insert into " + services + " (service) values ('MINE')");
  EXPECT_EQ(test::Select(*other, "select count(*) from " + services)[0][0].ToInt32(), 2);
}

// One process keeps writing movement history while another runs receipts,
// each reading lines and writing one back on the same connection.
TEST(SqliteConcurrencyTest, ReceiptsSucceedWhileAnotherProcessKeepsWriting) {
  test::ScratchDatabase db;
  InsertLines(*db.Open());
  const std::string text = db.Text();
  const std::string stop = db.Folder() + "/stop";
  const auto started = std::chrono::steady_clock::now();

  const auto problems = test::RunProcesses(2, [&](int process) {
    auto c = Connection::Open(text);
    if (process == 0) {
      clsSTHistory history;
      history.SageConnection(c);
      history.warehouse = "01";
      history.product = "WRITER";
      const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
      for (int n = 0; !std::filesystem::exists(stop); ++n) {
        test::Require(std::chrono::steady_clock::now() < deadline, "the receipts never finished");
        WriteHistory(history, n);
      }
      return;
    }
    // Receipts begin once the writer is under way and end by stopping it.
    struct StopWriter {
      std::string path;
      ~StopWriter() { std::ofstream{path}; }
    } stopper{stop};
    const std::string count = "select count(*) from " + c->TableCatalogue()->StockHistoryTable();
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (test::Select(*c, count)[0][0].ToInt32() == 0) {
      test::Require(std::chrono::steady_clock::now() < deadline, "the writer never wrote");
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    const std::int32_t before = test::Select(*c, count)[0][0].ToInt32();
    for (int i = 0; i < kReceipts; ++i) Receive(c, static_cast<std::int16_t>(i % kLines + 1));
    test::Require(test::Select(*c, count)[0][0].ToInt32() > before,
                  "the writer wrote nothing during the receipts");
  });
  ASSERT_TRUE(problems.empty()) << ::testing::PrintToString(problems);
  std::cout << "receipts and writer took "
            << std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() -
                                                                     started)
                   .count()
            << " ms\n";

  auto c = db.Open();
  const test::Rows lines =
      test::Select(*c, "select qty_received from " + c->TableCatalogue()->OrderLineTable());
  ASSERT_EQ(lines.size(), static_cast<std::size_t>(kLines));
  for (const auto& row : lines) EXPECT_EQ(row[0].ToDouble(), kReceipts / kLines);
  // Every movement the writer made is there once, numbered without a gap.
  const test::Rows history =
      test::Select(*c, "select comments, sequence_no from " + c->TableCatalogue()->StockHistoryTable() +
                           " order by sequence_no");
  ASSERT_FALSE(history.empty());
  std::set<int> labels;
  for (std::size_t i = 0; i < history.size(); ++i) {
    labels.insert(std::stoi(history[i][0].ToText()));
    EXPECT_EQ(history[i][1].ToText(), SixDigitText(static_cast<std::int32_t>(i)));
  }
  EXPECT_EQ(labels.size(), history.size());
  EXPECT_EQ(*labels.rbegin(), static_cast<int>(history.size()) - 1);
}

}  // namespace
}  // namespace tarnlow
