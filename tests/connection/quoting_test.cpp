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
      EXPECT_EQ(test::CatchError([&] { head.ReadIt(key); }).Description(), "Cannot find order " + key);
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

TARNLOW_ON_EVERY_BACKEND(QuotingTest);

// A site's connection text can give the server's session settings that
// change how it reads a literal: backslashes as escapes, or a client
// encoding (Shift-JIS) in which a multibyte character may end in the byte of
// a backslash, with backslash_quote allowing \' for an apostrophe. Every
// literal statement must still touch only the rows of its own key.
struct SessionSettings {
  const char* name;
  // The same settings as libpq connection keywords (options and
  // client_encoding, percent-encoded), as ConnSettings statements of the
  // ODBC driver, and as they then show.
  const char* options;
  const char* client_encoding;
  const char* conn_settings;
  const char* standard_conforming_strings;
  const char* encoding_shown;
};
const SessionSettings kSessions[] = {
    {"backslashes as escapes", "-cstandard_conforming_strings%3Doff%20", "",
     "set standard_conforming_strings to off;", "off", "UTF8"},
    {"Shift-JIS with backslash_quote", "-cbackslash_quote%3Don%20", "SJIS",
     "set client_encoding to 'SJIS';set backslash_quote to on;", "on", "SJIS"},
};

// Keys that end the literal early under one of the settings: a backslash
// before the apostrophe, and (in Shift-JIS) a lead byte that takes that
// backslash into its character, leaving the apostrophe free.
const std::vector<std::string> kSessionHostileKeys{
    "nobody\\' or 1=1 --", "\x95\\' or 1=1 --",
    "\xC3\x81\\' or 1=1 --",  // valid UTF-8: A with acute accent, then 81 leads in Shift-JIS
};

class HostileSessionTest : public ::testing::TestWithParam<std::string> {
 protected:
  void SetUp() override {
    if (test::Engine(GetParam()) != "postgresql") GTEST_SKIP() << "only a server has the settings";
    auto c = db_.Open();
    c->Execute(
        "insert into supplier_product_info (supplier, warehouse, product) values "
        "('ACME', '01', 'P1'), ('ACME', '02', 'P1'), ('OTHER', '01', 'P1')");
    c->Execute(
        "insert into purchase_price_list (customer_code, price_list, product_code, sequence_number) "
        "values ('ACME', 'L1', 'P1', '01'), ('OTHER', 'L1', 'P1', '01')");
    for (int i = 1; i <= 6; ++i)
      c->Execute("insert into purchase_order_header (order_no, supplier) values ('PO" + std::to_string(i) +
                 "', 'ACME')");
  }
  // A connection whose session holds the settings, given in its text.
  std::shared_ptr<Connection> Open(const SessionSettings& s) {
    std::string text = db_.Text();
    if (GetParam().starts_with("odbc-")) {
      const std::string anchor = "set search_path to ";
      text.insert(text.find(anchor), s.conn_settings);
    } else {
      const std::string anchor = "options=-csearch_path";
      text.insert(text.find(anchor) + 8, s.options);
      if (*s.client_encoding) text += std::string("&client_encoding=") + s.client_encoding;
    }
    auto c = Connection::Open(text);
    // The library starts its own sessions with standard_conforming_strings
    // on, and the ODBC driver puts its client encoding back after
    // ConnSettings; a statement can still set either.
    c->Execute(std::string("set standard_conforming_strings = ") + s.standard_conforming_strings);
    c->Execute(std::string("set client_encoding = '") + s.encoding_shown + "'");
    EXPECT_EQ(test::Select(*c, "show standard_conforming_strings")[0][0].ToText(),
              s.standard_conforming_strings);
    EXPECT_EQ(test::Select(*c, "show client_encoding")[0][0].ToText(), s.encoding_shown);
    return c;
  }
  static std::int32_t Count(Connection& c, const std::string& table) {
    return test::Select(c, "select count(*) from " + table)[0][0].ToInt32();
  }
  void ExpectEveryRowKept(Connection& c) {
    EXPECT_EQ(Count(c, "supplier_product_info"), 3);
    EXPECT_EQ(Count(c, "purchase_price_list"), 2);
    EXPECT_EQ(Count(c, "purchase_order_header"), 6);
  }

  test::ScratchDatabase db_{GetParam()};
};

TEST_P(HostileSessionTest, LiteralStatementsTouchOnlyTheirOwnKey) {
  for (const SessionSettings& s : kSessions) {
    SCOPED_TRACE(s.name);
    auto c = Open(s);
    for (const std::string& key : kSessionHostileKeys) {
      SCOPED_TRACE(::testing::PrintToString(key));
      // Each either runs and finds nothing or is refused; none reaches a row
      // of another key.
      const auto run = [](auto&& call) {
        try {
          call();
        } catch (const Error&) {
        }
      };
      clsPOSuppInf info;
      info.SageConnection(c);
      info.supplier = key;
      run([&] { info.DeleteSupplier(); });

      clsPOPPriceListD prices;
      prices.SageConnection(c);
      prices.customer_code = key;
      prices.price_list = key;
      prices.product_code = key;
      run([&] { EXPECT_FALSE(prices.CheckIfListExists()); });
      run([&] {
        prices.LoadListForSupplierProduct();
        EXPECT_FALSE(prices.MoveNextForSupplierProductList());
      });

      clsPOHeadD head;
      head.SageConnection(c);
      head.order_no(key);
      run([&] { head.DeleteForOrder(); });
      ExpectEveryRowKept(*c);

      // Where the encoding could take the backslash into a character, the
      // key is refused before anything is sent.
      const bool beyond_ascii = key.find_first_of("\x81\x95") != std::string::npos;
      if (std::string(s.encoding_shown) == "SJIS" && beyond_ascii) {
        const Error e = test::CatchError([&] { head.DeleteForOrder(); });
        EXPECT_NE(
            e.Description().find("cannot be written into a statement safely in the client encoding SJIS"),
            std::string::npos)
            << e.Description();
      }
    }
    // Ordinary keys still find their rows.
    clsPOPPriceListD prices;
    prices.SageConnection(c);
    prices.customer_code = "ACME";
    prices.price_list = "L1";
    prices.product_code = "P1";
    EXPECT_TRUE(prices.CheckIfListExists());
  }
  // And delete them.
  auto c = db_.Open();
  clsPOSuppInf info;
  info.SageConnection(c);
  info.supplier = "ACME";
  info.DeleteSupplier();
  EXPECT_EQ(Count(*c, "supplier_product_info"), 1);
}

TARNLOW_ON_EVERY_BACKEND(HostileSessionTest);

}  // namespace
}  // namespace tarnlow
