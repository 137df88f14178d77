// Database and trace files that cannot be used as asked: each gives an error
// record naming the file, and a file the process may only read serves reads.
#include <gtest/gtest.h>
#include <pwd.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>

#include "tarnlow/tarnlow.h"
#include "test_support.h"

namespace tarnlow {
namespace {

namespace fs = std::filesystem;

// SQLite's result codes, as its header numbers them.
constexpr std::int32_t kSqliteCantOpen = 14;
constexpr std::int32_t kSqliteNotADb = 26;

// Runs body in a child process that cannot write what its user cannot:
// root writes to any file whatever its mode, so a child of root gives up
// root for the unprivileged user first. Returns what went wrong.
std::vector<std::string> AsReader(const std::function<void()>& body) {
  return test::RunProcesses(1, [&](int) {
    if (geteuid() == 0) {
      const passwd* nobody = getpwnam("nobody");
      test::Require(nobody != nullptr, "no unprivileged user to read as");
      test::Require(setgid(nobody->pw_gid) == 0 && setuid(nobody->pw_uid) == 0, "could not give up root");
    }
    body();
  });
}

// The folder's owner becomes the reader, who may then make files in it.
void GiveToReader(const std::string& folder) {
  if (geteuid() != 0) return;
  const passwd* nobody = getpwnam("nobody");
  ASSERT_NE(nobody, nullptr);
  ASSERT_EQ(chown(folder.c_str(), nobody->pw_uid, nobody->pw_gid), 0);
}

class SqliteFileTest : public ::testing::Test {
 protected:
  // A file of this library's making (write-ahead logged), with one service.
  void MakeDatabase() {
    auto c = db_.Open();
    c->Execute("insert into service_item (service, cost) values ('S1', 2.5)");
  }
  // A file another program made with a rollback journal, with one service.
  void MakeJournalledDatabase() {
    sqlite3* raw = nullptr;
    ASSERT_EQ(sqlite3_open(Path().c_str(), &raw), SQLITE_OK);
    const int rc = sqlite3_exec(raw,
                                "create table service_item (service varchar(20), cost real); insert into "
                                "service_item values ('S1', 2.5)",
                                nullptr, nullptr, nullptr);
    sqlite3_close(raw);
    ASSERT_EQ(rc, SQLITE_OK);
  }
  void MakeReadOnly() {
    fs::permissions(Path(), fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
  }
  std::string Path() const { return db_.Folder() + "/test.db"; }

  // Reads the service and fails to write one; run as the reader.
  static void ReadAndFailToWrite(const std::string& text, const std::string& path) {
    auto c = Connection::Open(text);
    const test::Rows rows = test::Select(*c, "select cost from service_item where service = 'S1'");
    test::Require(rows.size() == 1 && rows[0][0].ToDouble() == 2.5, "the service was not read");
    try {
      c->Execute("insert into service_item (service) values ('S2')");
    } catch (const Error& e) {
      const std::string expected = "attempt to write a readonly database \"" + path + "\"";
      test::Require(e.Number() == DbFailure && e.Description() == expected && e.ConnectionUsable(),
                    "the write failed with \"" + e.Description() + "\", not \"" + expected + "\"");
      // A refused write leaves reads working.
      test::Require(test::Select(*c, "select count(*) from service_item")[0][0].ToInt32() == 1,
                    "reads failed after the refused write");
      return;
    }
    throw std::runtime_error("the write was not refused");
  }

  test::ScratchDatabase db_;
};

TEST_F(SqliteFileTest, AReadOnlyJournalledFileServesReadsAndRefusesWrites) {
  MakeJournalledDatabase();
  MakeReadOnly();
  const auto problems = AsReader([&] { ReadAndFailToWrite(db_.Text(), Path()); });
  EXPECT_TRUE(problems.empty()) << ::testing::PrintToString(problems);
}

TEST_F(SqliteFileTest, AReadOnlyLoggedFileServesReadsWhereItsFolderIsWritable) {
  MakeDatabase();
  MakeReadOnly();
  GiveToReader(db_.Folder());
  const auto problems = AsReader([&] { ReadAndFailToWrite(db_.Text(), Path()); });
  EXPECT_TRUE(problems.empty()) << ::testing::PrintToString(problems);
}

TEST_F(SqliteFileTest, AReadOnlyLoggedFileInAFolderThatIsNotWritableFailsByName) {
  MakeDatabase();
  MakeReadOnly();
  if (geteuid() != 0) fs::permissions(db_.Folder(), fs::perms::owner_write, fs::perm_options::remove);
  const auto problems = AsReader([&] {
    try {
      Connection::Open(db_.Text());
    } catch (const Error& e) {
      const std::string expected = "unable to read database file \"" + Path() +
                                   "\": it is write-ahead logged and its folder is not writable";
      test::Require(e.Description() == expected && !e.ConnectionUsable(),
                    "opened with \"" + e.Description() + "\"");
      return;
    }
    throw std::runtime_error("the file opened");
  });
  fs::permissions(db_.Folder(), fs::perms::owner_write, fs::perm_options::add);
  EXPECT_TRUE(problems.empty()) << ::testing::PrintToString(problems);
}

TEST_F(SqliteFileTest, AFileThatCannotBeOpenedIsNamed) {
  const std::string missing = db_.Folder() + "/no/such/folder/x.db";
  const Error e = test::ExpectError([&] { Connection::Open("sqlite:" + missing); }, DbFailure, "SQLite",
                                    "unable to open database file \"" + missing + "\"");
  EXPECT_EQ(e.NativeError() & 0xFF, kSqliteCantOpen);
  EXPECT_FALSE(e.ConnectionUsable());

  std::ofstream(Path())
      << "these are not the pages of a database, but they are long enough to be read as a header";
  const Error garbage = test::CatchError([&] { Connection::Open(db_.Text()); });
  EXPECT_EQ(garbage.Description(), "file is not a database \"" + Path() + "\"");
  EXPECT_EQ(garbage.NativeError(), kSqliteNotADb);
  EXPECT_FALSE(garbage.ConnectionUsable());
}

TEST_F(SqliteFileTest, ATraceFileInAFolderThatDoesNotExistIsRefusedBeforeTheDatabaseIsOpened) {
  const std::string trace = db_.Folder() + "/missing/trace.sql";
  test::ExpectError([&] { db_.OpenBare("trace=" + trace); }, err::BadConnectionText, "TarnlowData.Connection",
                    "Cannot open the trace file \"" + trace + "\": No such file or directory");
  EXPECT_FALSE(fs::exists(Path()));
  // Standard error and a file in an existing folder are fine.
  EXPECT_NO_THROW(db_.OpenBare("trace=-"));
  EXPECT_NO_THROW(db_.OpenBare("trace=" + db_.Folder() + "/trace.sql"));
}

}  // namespace
}  // namespace tarnlow
