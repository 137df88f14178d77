// The server goes away in the middle of a run of inserts: every call that
// fails reports an error record, nothing committed is lost, and work goes on
// through a fresh connection once the server is back.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "tarnlow/tarnlow.h"
#include "test_support.h"

namespace tarnlow {
namespace {

std::string Run(const std::string& command) {
  std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen(command.c_str(), "r"), &pclose);
  if (!pipe) return {};
  std::string out;
  std::array<char, 512> buf{};
  while (fgets(buf.data(), buf.size(), pipe.get())) out += buf.data();
  while (!out.empty() && (out.back() == '\n' || out.back() == '\r')) out.pop_back();
  return out;
}

class PrivateServer {
 public:
  PrivateServer() {
    char templ[] = "/tmp/tarnlow-fault-XXXXXX";
    dir_ = mkdtemp(templ);
    uri_ = Start();
  }
  ~PrivateServer() {
    Stop();
    std::error_code ec;
    std::filesystem::remove_all(dir_, ec);
  }
  std::string Start() { return Run(script_ + " start " + dir_ + " 2>/dev/null"); }
  void Stop() { Run(script_ + " stop " + dir_ + " >/dev/null 2>&1"); }
  const std::string& Uri() const { return uri_; }

 private:
  std::string script_ = std::string("bash ") + TARNLOW_SOURCE_DIR + "/scripts/postgres.sh";
  std::string dir_, uri_;
};

std::int32_t CountRows(Connection& c) {
  test::OpenRecordset rs(c, "select count(*) from " + c.TableCatalogue()->StockHistoryTable());
  return rs.Fields(std::size_t{0}).ToInt32();
}

void Fill(clsSTHistory& h) {
  h.warehouse = "01";
  h.product = "FAULT";
  h.dated = Date::FromCalendar(2026, 12, 5);
  h.movement_quantity = 1.0;
}

// The server's own library, and the server through its ODBC driver.
std::vector<std::string> Routes() {
  std::vector<std::string> out{"postgresql"};
  if (!test::OdbcDriver("postgresql").empty()) out.push_back("odbc-postgresql");
  return out;
}

class PostgresFaultTest : public ::testing::TestWithParam<std::string> {
 protected:
  std::string Text(const std::string& uri) const {
    return GetParam() == "postgresql" ? uri : test::OdbcPostgresText(uri);
  }
};

TEST_P(PostgresFaultTest, AServerStoppedMidRunLosesNothingAndAFreshConnectionWorks) {
  if (!test::PostgresSkipReason().empty()) GTEST_SKIP() << test::PostgresSkipReason();
  PrivateServer server;
  ASSERT_FALSE(server.Uri().empty()) << "could not start a private server";
  auto connection = Connection::Open(Text(server.Uri()));
  CreateMissingTables(*connection);
  clsSTHistory history;
  history.SageConnection(connection);
  Fill(history);

  int committed = 0, failed = 0;
  for (int i = 0; i < 20; ++i) {
    if (i == 10) server.Stop();
    try {
      history.InsertNewHistory();
      ++committed;
    } catch (const Error& e) {
      ++failed;
      EXPECT_NE(e.Number(), 0);
      EXPECT_NE(e.Description(), "");
      EXPECT_NE(e.Source().find("InsertNewHistory of Class Module clsSTHistory"), std::string::npos)
          << e.Source();
      // The caller can tell that this connection is finished with.
      EXPECT_FALSE(e.ConnectionUsable());
      EXPECT_NE(e.Statement(), "");
      // Through a driver the lost connection is named as such.
      if (GetParam() != "postgresql") {
        EXPECT_NE(e.Description().find("The connection to the database was lost: "), std::string::npos)
            << e.Description();
      }
    }
  }
  EXPECT_EQ(committed, 10);
  EXPECT_EQ(failed, 10);

  ASSERT_FALSE(server.Start().empty()) << "could not restart the server";
  auto fresh = Connection::Open(Text(server.Uri()));
  EXPECT_EQ(CountRows(*fresh), 10);
  clsSTHistory again;
  again.SageConnection(fresh);
  Fill(again);
  again.InsertNewHistory();
  EXPECT_EQ(again.sequence_no(), "000010");
  EXPECT_EQ(CountRows(*fresh), 11);
}

INSTANTIATE_TEST_SUITE_P(Routes, PostgresFaultTest, ::testing::ValuesIn(Routes()), test::BackendName());

}  // namespace
}  // namespace tarnlow
