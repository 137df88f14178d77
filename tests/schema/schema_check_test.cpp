// Comparing a database's tables with the library's layouts, as `tarnlowst
// check` does before a site points the library at a database of its own.
#include <gtest/gtest.h>
#include <stdio.h>
#include <sys/wait.h>

#include <array>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "tarnlow/tarnlow.h"
#include "test_support.h"

namespace tarnlow {
namespace {

struct ProgramResult {
  int status = -1;
  std::string out;
};

ProgramResult RunProgram(const std::string& arguments) {
  ProgramResult result;
  const std::string command = std::string(TARNLOWST_PROGRAM) + " " + arguments + " 2>&1";
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return result;
  std::array<char, 512> buffer{};
  while (fgets(buffer.data(), buffer.size(), pipe) != nullptr) result.out += buffer.data();
  const int status = pclose(pipe);
  result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return result;
}

// The text quoted for the shell.
std::string Quoted(const std::string& text) {
  std::string out = "'";
  for (char c : text) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return out + "'";
}

class SchemaCheckTest : public ::testing::TestWithParam<std::string> {
 protected:
  test::ScratchDatabase db_{GetParam()};
};

TEST_P(SchemaCheckTest, ADatabaseMadeByInitFitsInEveryLayout) {
  for (const char* options : {"", "kind=2&release=5&extended=0"}) {
    test::ScratchDatabase fresh(GetParam());
    auto c = fresh.Open(options);
    EXPECT_EQ(CheckTables(*c), std::vector<std::string>()) << options;
  }
  // The program's own init, then its check of what init made.
  const ProgramResult init = RunProgram("init " + Quoted(db_.Text()));
  EXPECT_EQ(init.status, 0) << init.out;
  EXPECT_TRUE(init.out.ends_with("29 tables created, 0 left as they were\n")) << init.out;
  const ProgramResult run = RunProgram("check " + Quoted(db_.Text()));
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.out, "");
}

TEST_P(SchemaCheckTest, WhatDoesNotFitIsNamedOneLineEach) {
  auto c = db_.Open();
  c->Execute("drop table unit_description");
  c->Execute("drop table vat_matrix");
  // Too narrow, a number where text goes, text where a number goes, and no vat_code.
  c->Execute(
      "create table vat_matrix (account_vat_type varchar(5), item_vat_type integer, description "
      "varchar(30))");
  c->Execute("drop table service_item");
  c->Execute("create table service_item (service varchar(20), unit_code varchar(10), cost varchar(10))");

  const std::vector<std::string> problems = CheckTables(*c);
  ASSERT_EQ(problems.size(), 7u) << ::testing::PrintToString(problems);
  const auto has = [&](const std::string& start, const std::string& end) {
    for (const std::string& p : problems)
      if (p.starts_with(start) && p.ends_with(end)) return true;
    ADD_FAILURE() << "no line \"" << start << "..." << end << "\" in " << ::testing::PrintToString(problems);
    return false;
  };
  has("vat_matrix.account_vat_type: ", " holds 5 characters, the library writes up to 10");
  has("vat_matrix.item_vat_type: ", " cannot hold text");
  has("vat_matrix.vat_code: missing column", "");
  has("unit_description: missing table (UnitDescriptionTable)", "");
  has("service_item.cost: ", " cannot hold numbers with fractions");
  // Made again without their unique indexes.
  has("vat_matrix: missing unique key (account_vat_type, item_vat_type)", "");
  has("service_item: missing unique key (service)", "");

  const ProgramResult run = RunProgram("check " + Quoted(db_.Text()));
  EXPECT_EQ(run.status, 1);
  std::string expected;
  for (const std::string& p : problems) expected += p + "\n";
  EXPECT_EQ(run.out, expected);
}

TEST_P(SchemaCheckTest, TheLayoutOfTheConnectionTextIsTheOneChecked) {
  // Made for the standard layout of kind 1; checked as kind 2, which keeps
  // unique numbers and some dates as date-key text.
  auto c = db_.Open();
  auto kind2 = db_.OpenBare("kind=2");
  const std::vector<std::string> problems = CheckTables(*kind2);
  ASSERT_FALSE(problems.empty());
  bool unique_no = false, date_key = false;
  for (const std::string& p : problems) {
    unique_no = unique_no || p.ends_with(".unique_no: missing column");
    date_key = date_key || p.ends_with("cannot hold text");
  }
  EXPECT_TRUE(unique_no) << ::testing::PrintToString(problems);
  EXPECT_TRUE(date_key) << ::testing::PrintToString(problems);
}

// The numbering of history and batch rows relies on the database refusing
// a second row with the same key; a decimal column rounds what it cannot
// hold. Both are named, and the check fails.
TEST_P(SchemaCheckTest, AMissingUniqueKeyAndATooNarrowDecimalAreNamed) {
  auto c = db_.Open();
  c->Execute("drop index stock_movement_history_key1");
  c->Execute("drop table service_item");
  c->Execute("create table service_item (service varchar(20), unit_code varchar(10), cost numeric(4,2))");
  c->Execute("create unique index service_item_key1 on service_item (service)");
  // A unique key on fewer columns keeps the wider key unique too.
  c->Execute("drop index stock_batch_key1");
  c->Execute("create unique index stock_batch_narrower on stock_batch (product, sequence_number, warehouse)");

  const std::vector<std::string> problems = CheckTables(*c);
  ASSERT_EQ(problems.size(), 2u) << ::testing::PrintToString(problems);
  EXPECT_EQ(problems[1],
            "stock_movement_history: missing unique key (warehouse, product, dated, sequence_no)");
  EXPECT_TRUE(problems[0].starts_with("service_item.cost: ")) << problems[0];
  EXPECT_TRUE(
      problems[0].ends_with(" holds 2 digits before the point and 2 after, the library writes up to 10 "
                            "before and 5 after"))
      << problems[0];

  const ProgramResult run = RunProgram("check " + Quoted(db_.Text()));
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.out, problems[0] + "\n" + problems[1] + "\n");

  // Wide enough, and the key back: everything fits again.
  c->Execute("drop table service_item");
  c->Execute("create table service_item (service varchar(20), unit_code varchar(10), cost numeric(15,5))");
  c->Execute("create unique index service_item_key1 on service_item (service)");
  c->Execute(
      "create unique index stock_movement_history_key1 on stock_movement_history (warehouse, product, "
      "dated, sequence_no)");
  EXPECT_EQ(CheckTables(*c), std::vector<std::string>());
}

// SQLite gives a column the affinity of its declared type: one of no type
// (or a view's column computed by an expression) takes any value as it is,
// and a declared width is read without overflowing.
TEST_P(SchemaCheckTest, SqliteColumnsAreReadByTheirAffinity) {
  if (test::Engine(GetParam()) != "sqlite") GTEST_SKIP() << "SQLite's own type rules";
  auto c = db_.Open();
  c->Execute("drop table service_item");
  c->Execute("create table service_item (service, unit_code varchar(99999999999999999999), cost money)");
  c->Execute("create unique index service_item_key1 on service_item (service)");
  c->Execute("drop table unit_description");
  c->Execute("create table units_kept (unit_code varchar(6) primary key, dec_places integer)");
  c->Execute(
      "create view unit_description as select unit_code || '' as unit_code, dec_places from units_kept");

  // Everything fits but the view's key: a view keeps no key unique.
  EXPECT_EQ(CheckTables(*c), std::vector<std::string>{"unit_description: missing unique key (unit_code)"});
}

// Four sites' installers make the tables of one new database at once:
// every one succeeds, and what they made together fits.
TEST_P(SchemaCheckTest, ConcurrentInitsOfANewDatabaseAllSucceed) {
  const std::string text = db_.Text();
  const auto problems = test::RunProcesses(4, [&](int) {
    const ProgramResult init = RunProgram("init " + Quoted(text));
    if (init.status != 0) throw Error(init.status, "init", init.out);
  });
  EXPECT_TRUE(problems.empty()) << ::testing::PrintToString(problems);
  const ProgramResult run = RunProgram("check " + Quoted(text));
  EXPECT_EQ(run.status, 0) << run.out;
  EXPECT_EQ(run.out, "");
}

TARNLOW_ON_EVERY_BACKEND(SchemaCheckTest);

// Looking at a database never makes one: a missing file is an error.
TEST(SchemaCheckProgramTest, ACheckOfAMissingDatabaseFileIsAnErrorAndCreatesNothing) {
  const test::ScratchDatabase scratch;
  const std::string path = scratch.Folder() + "/never_made.db";
  const ProgramResult run = RunProgram("check " + Quoted("sqlite:" + path));
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.out.find("unable to open database file \"" + path + "\""), std::string::npos) << run.out;
  EXPECT_FALSE(std::filesystem::exists(path));
}

// A trace that cannot be written fails the program, not just the trace.
TEST(SchemaCheckProgramTest, ATraceThatCannotBeWrittenFailsTheProgram) {
  const test::ScratchDatabase scratch;
  const ProgramResult run = RunProgram("demo " + Quoted(scratch.Text("trace=/dev/full")));
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.out.find("cannot write the trace to \"/dev/full\""), std::string::npos) << run.out;
}

}  // namespace
}  // namespace tarnlow
