// A NUL character would silently cut a connection text, a trace path or a
// statement short where it is handed on as a C string, and a bound text
// would be stored whole yet read back cut. Each is refused with an error
// record naming what held it, before anything is opened, run or written.
// Text that is no UTF-8, which one engine stores and another refuses, is
// refused the same way on every engine.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "tarnlow/tarnlow.h"
#include "test_support.h"

namespace tarnlow {
namespace {

using namespace std::string_literals;

TEST(NulConnectionTest, AConnectionTextOrOptionHoldingANulIsRefusedAndNothingIsCreated) {
  test::ScratchDatabase db;
  const std::string a = db.Folder() + "/a.db";
  const Error text =
      test::ExpectError([&] { Connection::Open("sqlite:" + a + "\0b.db"s); }, err::BadConnectionText,
                        "TarnlowData.Connection", "Connection text holds a NUL character");

  // Options put together by a program rather than read from a text.
  ConnectionOptions options;
  options.target = a + "\0b.db"s;
  EXPECT_EQ(test::CatchError([&] { Connection c(options); }).Description(),
            "Database name holds a NUL character");
  options.target = a;
  options.trace = db.Folder() + "/trace\0.txt"s;
  EXPECT_EQ(test::CatchError([&] { Connection c(options); }).Description(),
            "Trace file name holds a NUL character");
  EXPECT_TRUE(std::filesystem::is_empty(db.Folder()));
}

class NulTest : public ::testing::TestWithParam<std::string> {
 protected:
  void SetUp() override {
    insert_.Connection(c_);
    insert_.SQL("insert into " + services_ + " (service, unit_code) values (?, ?)");
    insert_.AddTextParameter("service", 20);
    insert_.AddTextParameter("unit_code", 10);
    insert_.SetTextValue("service", "S1");
    info_.SageConnection(c_);
    info_.supplier = "ACME01";
    info_.warehouse = "01";
    info_.product = "P1";
  }
  std::int32_t Services() { return test::Select(*c_, "select count(*) from " + services_)[0][0].ToInt32(); }
  void ExpectRefused(const Error& e, const std::string& description) {
    EXPECT_EQ(e.Number(), err::NotAllowed);
    EXPECT_EQ(e.Source(), ConnectionSource);
    EXPECT_EQ(e.Description(), description);
  }

  test::ScratchDatabase db_{GetParam()};
  std::string trace_ = db_.Folder() + "/trace.sql";
  std::shared_ptr<Connection> c_ = db_.Open("trace=" + trace_);
  std::string services_ = c_->TableCatalogue()->ServiceTable();
  StatementHolder insert_;  // of a service and its unit
  clsPOSuppInf info_;       // its key set
};

TEST_P(NulTest, AStatementHoldingANulIsRefusedBeforeItRuns) {
  const std::string sql = "insert into " + services_ + " (service) values ('A')\0; drop table x"s;
  const Error e = test::CatchError([&] { c_->Execute(sql); });
  ExpectRefused(e, "The statement text holds a NUL character");
  EXPECT_EQ(e.Statement(), sql);
  ExpectRefused(test::CatchError(
                    [&] { test::OpenRecordset rs(*c_, "select * from " + services_ + "\0 where 1 = 0"s); }),
                "The statement text holds a NUL character");
  // A key holding one reaches no database either: the statement it is
  // spliced into is refused.
  c_->Execute("insert into " + c_->TableCatalogue()->OrderHeaderTable() + " (order_no) values ('PO1')");
  clsPORPohead head;
  head.SageConnection(c_);
  ExpectRefused(test::CatchError([&] { head.ReadIt("PO1\0X"s); }),
                "The statement text holds a NUL character");
  EXPECT_EQ(Services(), 0);
  std::ifstream in(trace_);
  std::stringstream traced;
  traced << in.rdbuf();
  EXPECT_EQ(traced.str().find('\0'), std::string::npos);
}

TEST_P(NulTest, ABoundTextHoldingANulIsRefusedAndNothingIsWritten) {
  insert_.SetTextValue("unit_code", "BOX\0ES"s);
  const Error e = test::CatchError([&] { insert_.Command().ExecuteNoRows(); });
  ExpectRefused(e, "The value of parameter \"unit_code\" holds a NUL character");
  EXPECT_EQ(e.Statement(), insert_.SQL());
  EXPECT_EQ(Services(), 0);

  insert_.SetTextValue("unit_code", "BOX");
  EXPECT_EQ(insert_.Command().ExecuteNoRows(), 1);
  test::OpenRecordset rs(*c_, "select * from " + services_, adOpenStatic, adLockOptimistic);
  rs.SetField("unit_code", Variant("EACH\0"s));
  ExpectRefused(test::CatchError([&] { rs.Update(); }),
                "The value of field \"unit_code\" holds a NUL character");
  rs.Close();
  EXPECT_EQ(test::Select(*c_, "select unit_code from " + services_)[0][0].ToText(), "BOX");

  // A class binding a key property refuses the same way.
  clsPORService service;
  service.SageConnection(c_);
  service.Service = "S1\0"s;
  ExpectRefused(test::CatchError([&] { service.ReadIt(); }),
                "The value of parameter \"service\" holds a NUL character");
}

// Class writes set some values straight from the properties and bind them
// as they go once the statement is prepared; a NUL is refused all the same,
// by the run (line 30), on the first write and on those after it.
TEST_P(NulTest, AClassWriteHoldingANulIsRefusedFirstAndLater) {
  const auto expect_refused = [](const Error& e, const std::string& op, const std::string& parameter) {
    EXPECT_EQ(e.Number(), err::NotAllowed);
    EXPECT_EQ(e.Source(), "Line No.: 30 TarnlowData\r\n" + op + " of Class Module clsPOSuppInf Line#:30");
    EXPECT_EQ(e.Description(), "The value of parameter \"" + parameter + "\" holds a NUL character");
  };
  info_.description = "Bolt\0 M8"s;
  expect_refused(test::CatchError([&] { info_.InsertRow(); }), "InsertRow", "description");
  info_.description = "Bolt";
  info_.InsertRow();
  for (int i = 0; i < 2; ++i) {
    info_.long_description = "Bolt, zinc\0 plated"s;
    expect_refused(test::CatchError([&] { info_.UpdateRow(); }), "UpdateRow", "long_description");
  }
  info_.long_description = "Bolt, zinc plated";
  info_.UpdateRow();
  EXPECT_EQ(test::Select(*c_, "select description, long_description from " +
                                  c_->TableCatalogue()->SupplierInfoTable()),
            (test::Rows{{"Bolt", "Bolt, zinc plated"}}));
}

TEST_P(NulTest, TextThatIsNoUtf8IsRefusedOnEveryEngineAndUtf8IsKept) {
  const std::string latin1 = "Gr\xF6\xDF\x65";   // ISO 8859-1 ("\x65" is the e), not UTF-8
  const std::string overlong = "\xC0\xAF";       // "/" in two bytes
  const std::string surrogate = "\xED\xA0\x80";  // U+D800
  const std::string cut = "caf\xC3";             // a sequence cut short
  const std::string utf8 =
      "Gr\xC3\xB6\xC3\x9F"
      "e \xE2\x82\xAC \xF0\x9F\x93\xA6";  // "Größe € 📦"
  for (const std::string& bad : {latin1, overlong, surrogate, cut}) {
    insert_.SetTextValue("unit_code", bad);
    ExpectRefused(test::CatchError([&] { insert_.Command().ExecuteNoRows(); }),
                  "The value of parameter \"unit_code\" is not valid UTF-8");
  }
  ExpectRefused(test::CatchError([&] {
                  c_->Execute("insert into " + services_ + " (service) values ('" + latin1 + "')");
                }),
                "The statement text is not valid UTF-8");
  EXPECT_EQ(Services(), 0);

  insert_.SetTextValue("service", utf8);
  insert_.SetTextValue("unit_code", "EACH");
  EXPECT_EQ(insert_.Command().ExecuteNoRows(), 1);
  EXPECT_EQ(test::Select(*c_, "select service from " + services_)[0][0].ToText(), utf8);
  test::OpenRecordset rs(*c_, "select * from " + services_, adOpenStatic, adLockOptimistic);
  rs.SetField("unit_code", Variant(latin1));
  ExpectRefused(test::CatchError([&] { rs.Update(); }),
                "The value of field \"unit_code\" is not valid UTF-8");
  rs.Close();

  // A class write binding straight from its properties refuses alike, on
  // its first run and on those after it.
  info_.description = utf8;
  info_.InsertRow();
  for (int i = 0; i < 2; ++i) {
    info_.description = latin1;
    test::ExpectError([&] { info_.UpdateRow(); }, err::NotAllowed, {},
                      "The value of parameter \"description\" is not valid UTF-8");
  }
  EXPECT_EQ(test::Select(*c_, "select description from " + c_->TableCatalogue()->SupplierInfoTable())[0][0]
                .ToText(),
            utf8);
}

TARNLOW_ON_EVERY_BACKEND(NulTest);

}  // namespace
}  // namespace tarnlow
