#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <set>
#include <vector>

#include "tarnlow/tarnlow.h"
#include "test_support.h"

namespace tarnlow {
namespace {

TEST(DateKeyTest, CountsDaysFromThirtyFirstDecember1899) {
  EXPECT_EQ(DateKey(Date::FromCalendar(1900, 1, 1)), 1);
  EXPECT_EQ(DateKey(Date::FromCalendar(1900, 2, 28)), 59);
  EXPECT_EQ(DateKey(Date::FromCalendar(1900, 3, 1)), 60);
  EXPECT_EQ(DateKey(Date::FromCalendar(1899, 12, 31, 23, 59)), 0);
  EXPECT_EQ(DateKey(Date::FromCalendar(1899, 12, 29, 6)), -2);
  EXPECT_EQ(DateKeyText(Date::FromCalendar(2000, 1, 1, 18)), "036525");
}

TEST(RightJustifyTest, AlignsAndCuts) {
  EXPECT_EQ(RightJustify(42, 5), "   42");
  EXPECT_EQ(RightJustify(-7, 3), " -7");
  EXPECT_EQ(RightJustify(12345, 3), "123");
  EXPECT_EQ(RightJustify(7, 4), "   7");
}

TEST(SpareColumnNameTest, NeedsExtendedLayoutReleaseSevenAndANewerVersion) {
  struct Case {
    const char* options;
    const char* expected;
  } cases[] = {
      {"extended=1&release=7&version=2.3", "spare2"}, {"extended=1&release=7&version=2.1", "spare"},
      {"extended=1&release=7&version=2.2", "spare"},  {"extended=1&release=6&version=2.3", "spare"},
      {"extended=0&release=8&version=2.3", "spare"},
  };
  for (const Case& c : cases) {
    auto connection = Connection::Open(std::string("sqlite::memory:?") + c.options);
    EXPECT_EQ(SpareColumnName(connection), c.expected) << c.options;
  }
}

TEST(UniqueNumberTest, NeverHoldsAnApostropheAndItsFirstEightCharactersDifferAcrossProcesses) {
  int fds[2];
  ASSERT_EQ(pipe(fds), 0);
  constexpr int kChildren = 3, kEach = 2000;
  for (int c = 0; c < kChildren; ++c) {
    if (fork() == 0) {
      close(fds[0]);
      std::string out;
      for (int i = 0; i < kEach; ++i) out += UniqueNumber().substr(0, 8) + "\n";
      const ssize_t n = write(fds[1], out.data(), out.size());
      _exit(n == static_cast<ssize_t>(out.size()) ? 0 : 1);
    }
  }
  close(fds[1]);
  std::set<std::string> seen;
  // The symbols met at each of the eight positions kept.
  std::vector<std::set<char>> symbols(8);
  for (int i = 0; i < kEach; ++i) {
    const std::string id = UniqueNumber();
    EXPECT_EQ(id.find('\''), std::string::npos);
    ASSERT_GE(id.size(), 8u);
    seen.insert(id.substr(0, 8));
    for (std::size_t p = 0; p < 8; ++p) symbols[p].insert(id[p]);
  }
  // Clients on other machines share nothing with this one, so every kept
  // character must be random: each position takes nearly all 93 symbols
  // within 2,000 identifiers (a given one stays out with a chance of 4 in
  // 10^10), where
  // a clock or counter would leave its leading positions all but fixed.
  for (std::size_t p = 0; p < 8; ++p) EXPECT_GE(symbols[p].size(), 90u) << "position " << p;
  std::string all;
  char buf[4096];
  for (ssize_t n; (n = read(fds[0], buf, sizeof buf)) > 0;) all.append(buf, static_cast<std::size_t>(n));
  close(fds[0]);
  for (int c = 0; c < kChildren; ++c) {
    int status = 0;
    wait(&status);
    EXPECT_EQ(status, 0);
  }
  std::size_t lines = 0;
  for (std::size_t pos = 0, nl; (nl = all.find('\n', pos)) != std::string::npos; pos = nl + 1, ++lines) {
    const std::string id = all.substr(pos, nl - pos);
    EXPECT_EQ(id.find('\''), std::string::npos);
    seen.insert(id);
  }
  EXPECT_EQ(lines, static_cast<std::size_t>(kChildren * kEach));
  EXPECT_EQ(seen.size(), static_cast<std::size_t>((kChildren + 1) * kEach));
}

// ---- error trails ------------------------------------------------------------

Error Fail(std::int32_t number, const std::string& source, const std::string& description) {
  return Error(number, source, description);
}

TEST(ErrorExitTest, SavedFormPutsTheLineInFrontAndTheLabelAtTheEnd) {
  test::ExpectError(
      [] {
        WithErrorExit("InsertRow of Class Module clsX", [](Line& line) {
          line = 30;
          throw Fail(vbObjectError, "X", "boom");
        });
      },
      vbObjectError, "Line No.: 30 X\r\nInsertRow of Class Module clsX", "boom");
}

TEST(ErrorExitTest, BlankSourceAtLineZeroGivesTheLabelAlone) {
  test::ExpectError(
      [] {
        WithErrorExit("ReadIt of Class Module clsX", [](Line&) { throw Fail(13, "   ", "Type mismatch"); });
      },
      13, "ReadIt of Class Module clsX");
}

TEST(ErrorExitTest, LabelsEndingInLineMarkerCarryTheLine) {
  EXPECT_EQ(test::CatchError([] {
              WithErrorExit("InsertNewBatch of Class Module clsSTBatchD Line#:", [](Line& line) {
                line = 50;
                throw Fail(-1, "db", "bad");
              });
            }).Source(),
            "Line No.: 50 db\r\nInsertNewBatch of Class Module clsSTBatchD Line#:50");

  test::ExpectError(
      [] {
        WithDirectErrorExit("CheckIfListExists of Class Module clsPOPPriceListD Line#:", [](Line& line) {
          line = 12;
          throw Fail(-2, "inner", "why");
        });
      },
      -2, "inner\r\nCheckIfListExists of Class Module clsPOPPriceListD Line#:12", "why");
}

TEST(ErrorExitTest, TrailsGrowThroughNestedOperations) {
  auto inner = [] {
    WithErrorExit("SetInsertColumns of Class Module clsY", [](Line& line) {
      line = 20;
      throw Fail(vbObjectError + 1, "Provider", "no");
    });
  };
  const Error e = test::ExpectError(
      [&] {
        WithErrorExit("InsertRow of Class Module clsY", [&](Line& line) {
          line = 10;
          inner();
        });
      },
      vbObjectError + 1,
      "Line No.: 10 Line No.: 20 Provider\r\nSetInsertColumns of Class Module clsY\r\nInsertRow of "
      "Class Module clsY");
  // The saved error and the current error both hold the outermost record.
  EXPECT_EQ(Err().Source, e.Source());
}

TEST(CheckConnectionTest, OnlyAMissingConnectionObjectShowsTheMessage) {
  test::MessageCapture messages;
  EXPECT_EQ(CheckConnection(nullptr), nullptr);
  ASSERT_EQ(messages.Messages().size(), 1u);
  EXPECT_EQ(messages.Messages()[0].text, "Uninitialised connection");
  EXPECT_EQ(messages.Messages()[0].style, 16);
  // Present but never opened: handed back as it is, to fail as closed when used.
  auto unopened = std::make_shared<Connection>();
  EXPECT_EQ(CheckConnection(unopened), unopened);
  EXPECT_EQ(test::CatchError([&] { unopened->Execute("select 1"); }).Number(), err::ObjectClosed);
  auto open = Connection::Open("sqlite::memory:");
  EXPECT_EQ(CheckConnection(open), open);
  EXPECT_EQ(messages.Messages().size(), 1u);
}

}  // namespace
}  // namespace tarnlow
