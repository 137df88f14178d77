// Comparing a database's tables with the library's layouts, as `tarnlowst
// check` does before a site points the library at a database of its own.
#include <gtest/gtest.h>
#include <stdio.h>
#include <sys/wait.h>

#include <array>
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
  ASSERT_EQ(problems.size(), 5u) << ::testing::PrintToString(problems);
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

INSTANTIATE_TEST_SUITE_P(Backends, SchemaCheckTest, ::testing::ValuesIn(test::Backends()),
                         test::BackendName());

TEST(SchemaCheckProgramTest, ABadConnectionTextIsAnErrorNotAFit) {
  const ProgramResult run = RunProgram("check nowhere:x");
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.out.find("Connection text must start with"), std::string::npos) << run.out;
}

}  // namespace
}  // namespace tarnlow
