// Keys spliced into literal statements are quoted by the rules of the
// connection they run on, whatever its session has been told: a key can find
// only the row whose key it is, and no key changes what a statement means.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tarnlow/tarnlow.h"
#include "test_support.h"

namespace tarnlow {
namespace {

// Keys written to end the literal early on a server that reads backslashes
// as escapes, and to read every order after that.
const std::vector<std::string> kHostileKeys{
    "Z\\' OR 1=1 --",
    "Z\\' OR '1'='1",
    "\\'; delete from purchase_order_header; --",
    "Z\\\\' OR 1=1 --",
    "Z\\",
};

class QuotingTest : public ::testing::TestWithParam<std::string> {
 protected:
  void SetUp() override {
    c_->Execute("insert into " + headers_ + " (order_no, supplier) values ('PO1', 'SUP1'), ('Z', 'SUPZ')");
    // An order number that really holds a backslash.
    c_->Execute("insert into " + headers_ + " (order_no, supplier) values (" + c_->QuoteLiteral("A\\B") +
                ", 'SUPB')");
    c_->Execute("insert into " + lines_ + " (order_no, order_line_no) values ('PO1', '   1'), ('Z', '   1')");
  }
  bool Postgres() const { return test::Engine(GetParam()) == "postgresql"; }

  // Every hostile key finds no order and walks no line; nothing is deleted.
  void ExpectHostileKeysFindNothing() {
    for (const std::string& key : kHostileKeys) {
      SCOPED_TRACE(key);
      clsPORPohead head;
      head.SageConnection(c_);
      const Error e = test::CatchError([&] { head.ReadIt(key); });
      EXPECT_EQ(e.Description(), "Cannot find order " + key);
      EXPECT_EQ(head.supplier(), "");

      clsPORPodet line;
      line.SageConnection(c_);
      line.order_no = key;
      line.InitReadAllForOrder();
      EXPECT_FALSE(line.ReadNextForOrder());
      line.CloseIt();
      line.line_no = 1;
      EXPECT_EQ(test::CatchError([&] { line.ReadIt(); }).Description(),
                "Cannot find order line " + key + ",1");
      line.CloseIt();
    }
    EXPECT_EQ(test::Select(*c_, "select count(*) from " + headers_)[0][0].ToInt32(), 3);
  }
  void ExpectTheBackslashOrderIsFound() {
    clsPORPohead head;
    head.SageConnection(c_);
    head.ReadIt("A\\B");
    EXPECT_EQ(head.supplier(), "SUPB");
    head.CloseIt();
  }

  test::ScratchDatabase db_{GetParam()};
  std::string trace_ = db_.Folder() + "/trace.sql";
  std::shared_ptr<Connection> c_ = db_.Open("trace=" + trace_);
  std::string headers_ = c_->TableCatalogue()->OrderHeaderTable();
  std::string lines_ = c_->TableCatalogue()->OrderLineTable();
};

TEST_P(QuotingTest, ALiteralIsQuotedByTheDatabasesOwnRules) {
  EXPECT_EQ(c_->QuoteLiteral("PO1"), "'PO1'");
  EXPECT_EQ(c_->QuoteLiteral("O'NEIL"), "'O''NEIL'");
  EXPECT_EQ(c_->QuoteLiteral(""), "''");
  // A backslash means itself in either database; the server is told so
  // in a way that holds whatever its session says about backslashes.
  EXPECT_EQ(c_->QuoteLiteral("A\\B'"), Postgres() ? "E'A\\\\B'''" : "'A\\B'''");
}

TEST_P(QuotingTest, HostileKeysFindNothing) {
  ExpectHostileKeysFindNothing();
  ExpectTheBackslashOrderIsFound();
  // Ordinary keys keep their statement text, byte for byte.
  clsPORPohead head;
  head.SageConnection(c_);
  head.ReadIt("PO1");
  head.CloseIt();
  EXPECT_EQ(
      test::Traced(trace_, "select order_no").back(),
      "select order_no, supplier, status, pl_company, currency from " + headers_ + " where order_no = 'PO1'");
}

TEST_P(QuotingTest, HostileKeysFindNothingWhenTheSessionReadsBackslashesAsEscapes) {
  if (!Postgres()) GTEST_SKIP() << "only a server has the setting";
  c_->Execute("set standard_conforming_strings = off");
  ASSERT_EQ(test::Select(*c_, "show standard_conforming_strings")[0][0].ToText(), "off");
  // Quoting that only doubles apostrophes would now let the first key read
  // every order: the setting does what the keys count on.
  EXPECT_EQ(
      test::Select(*c_, "select count(*) from " + headers_ + " where order_no = 'Z\\'' OR 1=1 --'")[0][0]
          .ToInt32(),
      3);
  ExpectHostileKeysFindNothing();
  ExpectTheBackslashOrderIsFound();
  c_->Execute("set standard_conforming_strings = on");
  ExpectHostileKeysFindNothing();
  ExpectTheBackslashOrderIsFound();
}

INSTANTIATE_TEST_SUITE_P(Backends, QuotingTest, ::testing::ValuesIn(test::Backends()), test::BackendName());

}  // namespace
}  // namespace tarnlow
