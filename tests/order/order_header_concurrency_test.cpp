// Several client processes write the same purchase order numbers at once,
// each with its fax, exchange-rate and VAT-state rows. For every number
// exactly one header with one set of companion rows must exist afterwards,
// all of them the winner's, and every other writer must have been told that
// the order already exists.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <functional>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "tarnlow/order/clsPOHeadD.h"
#include "test_support.h"

namespace tarnlow {
namespace {

constexpr int kOrders = 40;
// A writer that has not finished by then is taken to hang.
constexpr unsigned kWriterSeconds = 120;

std::string OrderNo(int i) {
  return "RACE" + std::to_string(i);
}

struct Outcome {
  std::vector<std::string> lines;     // "<order> <writer> won|lost", one per order and writer
  std::vector<std::string> problems;  // anything else that went wrong
};

// Runs body(writer, report) in child processes released together; each
// child writes its lines to the shared pipe (short writes to a pipe are
// atomic) and leaves by _exit so that nothing of the test framework runs
// twice.
Outcome RunWriters(int writers,
                   const std::function<void(int, const std::function<void(const std::string&)>&)>& body) {
  Outcome out;
  int gate[2];
  int report[2];
  if (pipe(gate) != 0 || pipe(report) != 0) return {{}, {"pipe failed"}};
  std::fflush(nullptr);
  std::vector<pid_t> children;
  for (int w = 0; w < writers; ++w) {
    const pid_t pid = fork();
    if (pid < 0) return {{}, {"fork failed"}};
    if (pid == 0) {
      close(gate[1]);
      close(report[0]);
      alarm(kWriterSeconds);
      char go = 0;
      const bool released = read(gate[0], &go, 1) == 0;
      auto say = [&](const std::string& line) {
        const std::string text = line + "\n";
        [[maybe_unused]] const auto n = write(report[1], text.data(), text.size());
      };
      bool ok = released;
      try {
        if (released) body(w, say);
      } catch (const Error& e) {
        say("problem writer " + std::to_string(w) + ": " + std::to_string(e.Number()) + " " +
            e.Description());
        ok = false;
      }
      _exit(ok ? 0 : 1);
    }
    children.push_back(pid);
  }
  close(gate[0]);
  close(report[1]);
  close(gate[1]);  // all children start now

  std::string reported;
  char buffer[512];
  for (ssize_t n; (n = read(report[0], buffer, sizeof buffer)) > 0;)
    reported.append(buffer, static_cast<std::size_t>(n));
  close(report[0]);
  std::istringstream lines(reported);
  for (std::string line; std::getline(lines, line);)
    (line.starts_with("problem") ? out.problems : out.lines).push_back(line);
  for (const pid_t pid : children) {
    int status = 0;
    if (waitpid(pid, &status, 0) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
      out.problems.push_back("writer process " + std::to_string(pid) + " ended with status " +
                             std::to_string(status));
  }
  return out;
}

class OrderHeaderConcurrencyTest : public ::testing::TestWithParam<std::string> {
 protected:
  OrderHeaderConcurrencyTest() { db_.Open(); }  // tables exist before any writer starts
  int Writers() const { return GetParam().ends_with("sqlite") ? 3 : 6; }

  test::ScratchDatabase db_{GetParam()};
};

TEST_P(OrderHeaderConcurrencyTest, OneWriterWinsEachOrderNumberWithAllItsCompanionRows) {
  const std::string text = db_.Text("dualrate=1");
  const Outcome outcome = RunWriters(Writers(), [&](int writer, const auto& say) {
    auto c = Connection::Open(text);
    clsPOHeadD h;
    h.SageConnection(c);
    h.UsePOHeadX1 = true;
    h.UseIntrastats = true;
    h.supplier = "W" + std::to_string(writer);
    h.exchange_rate = 1.0 + writer;
    h.vatstate = "W" + std::to_string(writer);
    h.POHeadX1D()->fax = "fax of " + std::to_string(writer);
    for (int i = 0; i < kOrders; ++i) {
      h.order_no(OrderNo(i));
      const std::string who = OrderNo(i) + " " + std::to_string(writer);
      try {
        h.InsertRow();
        say(who + " won");
      } catch (const Error& e) {
        if (e.Number() != DbIntegrityViolation ||
            !e.Description().starts_with("Purchase Order: " + OrderNo(i) + " already exists \r\n"))
          throw;
        say(who + " lost");
      }
    }
  });
  ASSERT_TRUE(outcome.problems.empty()) << ::testing::PrintToString(outcome.problems);
  ASSERT_EQ(outcome.lines.size(), static_cast<std::size_t>(kOrders * Writers()));

  std::map<std::string, std::vector<std::string>> winners;  // order -> writers that won it
  for (const std::string& line : outcome.lines) {
    std::istringstream in(line);
    std::string order, writer, result;
    in >> order >> writer >> result;
    if (result == "won") winners[order].push_back(writer);
  }
  auto c = db_.Open();
  for (int i = 0; i < kOrders; ++i) {
    SCOPED_TRACE(OrderNo(i));
    ASSERT_EQ(winners[OrderNo(i)].size(), 1u);
    const std::string w = winners[OrderNo(i)][0];
    const std::string where = " where order_no = '" + OrderNo(i) + "'";
    EXPECT_EQ(test::Select(*c, "select supplier from purchase_order_header" + where),
              (test::Rows{{Variant("W" + w)}}));
    EXPECT_EQ(test::Select(*c, "select fax from purchase_order_fax" + where),
              (test::Rows{{Variant("fax of " + w)}}));
    EXPECT_EQ(test::Select(*c, "select exchange_rate1 from purchase_order_rate" + where),
              (test::Rows{{Variant(1.0 + std::stoi(w))}}));
    EXPECT_EQ(test::Select(*c, "select vatstate from purchase_order_vat_state" + where),
              (test::Rows{{Variant("W" + w)}}));
  }
}

TARNLOW_ON_EVERY_BACKEND(OrderHeaderConcurrencyTest);

}  // namespace
}  // namespace tarnlow
