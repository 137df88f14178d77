// Both databases keep a text to its column's width the same way, whichever
// way it arrives (a bound parameter, a literal statement, a row set's update):
// blanks past the width are cut, as a server does with fixed-width text, and
// anything else past it is refused with an error record.
#include <gtest/gtest.h>

#include <string>

#include "tarnlow/tarnlow.h"
#include "test_support.h"

namespace tarnlow {
namespace {

class TextWidthTest : public test::DatabaseTest {
 protected:
  void SetUp() override {
    insert_.Connection(c_);
    insert_.SQL("insert into " + headers_ + " (order_no, currency) values (?, ?)");
    insert_.AddTextParameter("order_no", 10);
    insert_.AddTextParameter("currency", 3);
  }
  void Insert(const std::string& order, const std::string& currency) {
    insert_.SetTextValue("order_no", order);
    insert_.SetTextValue("currency", currency);
    insert_.Command().ExecuteNoRows();
  }
  // The stored currency of an order, between brackets so blanks show.
  std::string Currency(const std::string& order) {
    const test::Rows rows =
        test::Select(*c_, "select currency from " + headers_ + " where order_no = '" + order + "'");
    return rows.empty() ? "(none)" : "[" + rows[0][0].ToText() + "]";
  }
  std::int32_t Orders() { return test::Select(*c_, "select count(*) from " + headers_)[0][0].ToInt32(); }

  std::string headers_ = c_->TableCatalogue()->OrderHeaderTable();
  StatementHolder insert_;
};

TEST_P(TextWidthTest, BlanksPastTheWidthAreCutWhicheverWayTheTextArrives) {
  Insert("BOUND", "GBP ");
  c_->Execute("insert into " + headers_ + " (order_no, currency) values ('LITERAL', 'EUR      ')");
  Insert("SHORT", "G      ");
  Insert("KEPT", "US ");
  Insert("ROWSET", "X");
  Insert("UPDATED", "X");
  {
    test::OpenRecordset rs(*c_, "select * from " + headers_ + " where order_no = 'ROWSET'", adOpenStatic,
                           adLockOptimistic);
    rs.SetField("currency", Variant("USD    "));
    rs.Update();
  }
  c_->Execute("update " + headers_ + " set currency = 'CHF  ' where order_no = 'UPDATED'");

  EXPECT_EQ(Currency("BOUND"), "[GBP]");
  EXPECT_EQ(Currency("LITERAL"), "[EUR]");
  EXPECT_EQ(Currency("SHORT"), "[G  ]");  // cut to the width, not trimmed
  EXPECT_EQ(Currency("KEPT"), "[US ]");   // blanks within the width stay
  EXPECT_EQ(Currency("ROWSET"), "[USD]");
  EXPECT_EQ(Currency("UPDATED"), "[CHF]");
  // A key column follows the same rule: the order is found by its cut number.
  Insert("LONGNUMBER  ", "GBP");
  EXPECT_EQ(Currency("LONGNUMBER"), "[GBP]");
}

TEST_P(TextWidthTest, AnythingButBlanksPastTheWidthIsRefusedAndNothingChanges) {
  Insert("PO1", "GBP");
  const Error bound = test::CatchError([&] { Insert("PO2", "GBPX"); });
  EXPECT_EQ(bound.Number(), DbFailure);
  EXPECT_EQ(bound.Statement(), insert_.SQL());
  for (const char* value : {"GB P", "GBP\t", "GBP \x01", "EURO "}) {
    SCOPED_TRACE(value);
    const Error literal = test::CatchError([&] {
      c_->Execute("insert into " + headers_ + " (order_no, currency) values ('PO3', '" + value + "')");
    });
    EXPECT_EQ(literal.Number(), DbFailure);
  }
  test::OpenRecordset rs(*c_, "select * from " + headers_ + " where order_no = 'PO1'", adOpenStatic,
                         adLockOptimistic);
  rs.SetField("currency", Variant("EURO"));
  EXPECT_EQ(test::CatchError([&] { rs.Update(); }).Number(), DbFailure);
  rs.Close();
  EXPECT_EQ(test::CatchError([&] {
              c_->Execute("update " + headers_ + " set currency = 'STERLING' where order_no = 'PO1'");
            }).Number(),
            DbFailure);
  EXPECT_EQ(Orders(), 1);
  EXPECT_EQ(Currency("PO1"), "[GBP]");
}

TEST_P(TextWidthTest, AKeyThatIsCutToAnExistingKeyIsADuplicate) {
  Insert("PO1       ", "GBP");  // the whole width
  EXPECT_EQ(test::CatchError([&] { Insert("PO1         ", "EUR"); }).Number(), DbIntegrityViolation);
  EXPECT_EQ(Orders(), 1);
  EXPECT_EQ(Currency("PO1       "), "[GBP]");
}

TARNLOW_ON_EVERY_BACKEND(TextWidthTest);

}  // namespace
}  // namespace tarnlow
