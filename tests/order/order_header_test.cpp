// The purchase order header with its fax, exchange-rate and VAT-state rows:
// the statements as the layout and options shape them, write-read round
// trips, the copy rules, the error exits and their labels, and order
// numbers that try to leave their quotes.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <tuple>
#include <vector>

#include "fault_database.h"
#include "tarnlow/tarnlow.h"
#include "test_support.h"

namespace tarnlow {
namespace {

const std::string kInsertLabel = "InsertRow of Class Module clsPOHeadD Line#:";
const std::string kReadLabel = "ReadIt of Class Module clsPOHeadD Line#:";

bool IsExtendedColumn(const ColumnInfo& c) {
  return c.declaration && c.declaration->layout == tables::Layout::Extended;
}

class OrderHeaderTest : public ::testing::TestWithParam<std::string> {
 protected:
  // A connection to the test database; the tables are created by the first
  // one, with every column of the extended layout, so that connections with
  // other options can share them.
  std::shared_ptr<Connection> Open(const std::string& options = "") { return db_.Open(options); }
  // With `companions`, the fax and VAT-state rows are written and read too.
  std::shared_ptr<clsPOHeadD> Header(const std::shared_ptr<Connection>& c, const std::string& order,
                                     bool companions = false) {
    auto h = std::make_shared<clsPOHeadD>();
    h->SageConnection(c);
    h->order_no(order);
    h->UsePOHeadX1 = companions;
    h->UseIntrastats = companions;
    return h;
  }
  test::Rows Rows(const std::string& sql) { return test::Select(*c_, sql); }
  std::size_t Count(const std::string& table, const std::string& order) {
    return Rows("select order_no from " + table + " where order_no = '" + order + "'").size();
  }
  std::string Inner() const { return test::EngineSource(GetParam()); }

  // A value of its own in every column property: text as wide as the
  // standard layout allows (and no wider than three characters), numbers
  // and dates from the column's position.
  static void FillDistinct(clsPOHeadD& h) {
    int i = 0;
    for (const ColumnInfo& c : clsPOHeadD::Columns()) {
      ++i;
      if (!c.declaration) continue;
      switch (c.kind) {
        case ValueKind::Text: {
          const std::string code = std::string(1, static_cast<char>('a' + i % 26)) + std::to_string(i);
          late::Let(h, c.property, Variant(code.substr(0, static_cast<std::size_t>(c.size))));
          break;
        }
        case ValueKind::Double: late::Let(h, c.property, Variant(i + 0.125)); break;
        case ValueKind::Date:
          late::Let(h, c.property, Variant(Date::FromCalendar(2020, 3, i % 28 + 1, 9, i % 60)));
          break;
        default: FAIL() << c.property;
      }
    }
  }
  // Every column property of b equals a's, the extended ones only when asked.
  static void ExpectSameColumns(const clsPOHeadD& a, const clsPOHeadD& b, bool extended) {
    for (const ColumnInfo& c : clsPOHeadD::Columns()) {
      if (!c.declaration || (IsExtendedColumn(c) && !extended)) continue;
      EXPECT_EQ(c.get(a), c.get(b)) << c.property;
    }
    EXPECT_EQ(a.order_no(), b.order_no());
  }

  test::ScratchDatabase db_{GetParam()};
  std::shared_ptr<Connection> c_ = Open();
};

// ---- connections -------------------------------------------------------------

TEST_P(OrderHeaderTest, ANewConnectionPreparesEveryInsertAgainOnItsOwnTables) {
  auto h = Header(Open("dualrate=1"), "PO1");
  h->UseIntrastats = true;
  h->InsertRow();
  auto renamed = Open(
      "dualrate=1&table.OrderHeaderTable=hdr_two&table.OrderRateTable=rate_two&table.OrderVatStateTable=vat_"
      "two");
  h->SageConnection(renamed);
  EXPECT_EQ(h->POHeadX1D()->SageConnection(), renamed);
  h->order_no("PO2");
  h->InsertRow();
  EXPECT_EQ((std::tuple{Count("hdr_two", "PO2"), Count("rate_two", "PO2"), Count("vat_two", "PO2"),
                        Count("purchase_order_header", "PO2"), Count("purchase_order_header", "PO1")}),
            (std::tuple{1u, 1u, 1u, 0u, 1u}));
}

// ---- round trips ------------------------------------------------------------

TEST_P(OrderHeaderTest, EveryColumnComesBackAsWrittenInEachLayoutAndRateOption) {
  int n = 0;
  for (const char* options :
       {"extended=0", "extended=1", "release=7&extended=1", "extended=0&dualrate=1",
        "extended=1&dualrate=1&release=9", "kind=2&extended=1", "kind=2&extended=0&dualrate=1"}) {
    SCOPED_TRACE(options);
    const bool extended = std::string(options).find("extended=1") != std::string::npos &&
                          std::string(options).find("release=7") == std::string::npos;
    auto c = Open(options);
    auto written = Header(c, "RT" + std::to_string(++n), true);
    FillDistinct(*written);
    written->POHeadX1D()->fax = "+44 1632 960" + std::to_string(n);
    written->vatstate = "EU";
    written->operator1 = "*";
    written->InsertRow();

    auto read = Header(c, written->order_no(), true);
    read->ReadIt();
    ExpectSameColumns(*written, *read, extended);
    EXPECT_EQ((std::tuple{read->POHeadX1D()->fax(), read->POHeadX1D()->order_no(), read->vatstate()}),
              (std::tuple{written->POHeadX1D()->fax(), written->order_no(), "EU"}));
    if (!extended) {
      // The extended columns were neither written nor read.
      EXPECT_EQ(read->town_city(), "");
      EXPECT_EQ(read->del_iso_country_code(), "");
    }
  }
}

TEST_P(OrderHeaderTest, UnderTheDualRateOptionTheRateLivesInItsOwnRow) {
  auto c = Open("dualrate=1");
  auto h = Header(c, "PO1");
  h->exchange_rate = 1.375;
  h->operator1 = "/";
  h->InsertRow();
  EXPECT_EQ(Rows("select exchange_rate from purchase_order_header")[0][0].ToDouble(), 0.0);
  EXPECT_EQ(
      Rows(
          "select order_no, exchange_rate1, exchange_rate2, operator_1, operator_2 from purchase_order_rate"),
      (test::Rows{{"PO1", 1.375, 0.0, "/", ""}}));

  auto read = Header(c, "PO1");
  read->ReadIt();
  EXPECT_EQ(read->exchange_rate(), 1.375);
  EXPECT_EQ(read->operator1(), "");  // never read back
  // Without its rate row the header keeps the 0 it was stored with.
  c->Execute("delete from purchase_order_rate");
  read->exchange_rate = 9.0;
  read->ReadIt();
  EXPECT_EQ(read->exchange_rate(), 0.0);
}

TEST_P(OrderHeaderTest, VatStateRowHoldsTheStateAndAnEmptySpareInTheChosenColumn) {
  auto h = Header(Open("release=8&extended=1&version=2.4"), "PO1");
  h->UseIntrastats = true;
  h->vatstate = "GB";
  h->InsertRow();
  EXPECT_EQ(Rows("select order_no, vatstate, spare2 from purchase_order_vat_state"),
            (test::Rows{{"PO1", "GB", ""}}));
  auto read = Header(c_, "PO1");
  read->UseIntrastats = true;
  read->ReadIt();
  EXPECT_EQ(read->vatstate(), "GB");
  // A Null state reads as empty text; without the flag the row is not read.
  c_->Execute("update purchase_order_vat_state set vatstate = NULL");
  read->ReadIt();
  EXPECT_EQ(read->vatstate(), "");
  read->vatstate = "XX";
  read->UseIntrastats = false;
  read->ReadIt();
  EXPECT_EQ(read->vatstate(), "XX");
}

TEST_P(OrderHeaderTest, TheFaxIsReadOnlyThroughTheJoinAndIsEmptyWithoutAFaxRow) {
  auto h = Header(c_, "PO1");
  h->UsePOHeadX1 = true;
  h->POHeadX1D()->fax = "555-0100";
  h->InsertRow();
  Header(c_, "PO2")->InsertRow();

  auto read = Header(c_, "PO1");
  read->POHeadX1D()->fax = "stale";
  read->ReadIt();  // no join: the fax is emptied, not read
  EXPECT_EQ(read->POHeadX1D()->fax(), "");
  read->UsePOHeadX1 = true;
  read->ReadIt();
  EXPECT_EQ(read->POHeadX1D()->fax(), "555-0100");
  read->order_no("PO2");  // joined, but PO2 has no fax row
  read->ReadIt();
  EXPECT_EQ(read->POHeadX1D()->fax(), "");
  EXPECT_EQ(read->POHeadX1D()->order_no(), "PO2");
}

TEST_P(OrderHeaderTest, NullsAndUnreadableDatesFollowTheCopyRules) {
  c_->Execute("insert into purchase_order_header (order_no) values ('PN')");
  c_->Execute(
      "update purchase_order_header set alpha = NULL, address1 = NULL, currency = NULL, town_city = NULL");
  auto h = Header(c_, "PN");
  h->alpha = "old";
  h->date_entered = Date::FromCalendar(2020, 1, 1);
  h->ReadIt();
  EXPECT_EQ((std::tuple{h->alpha(), h->address1(), h->pOcurrency(), h->town_city()}),
            (std::tuple{"", "", "", ""}));
  EXPECT_EQ(h->date_entered(), Date());  // a Null date is the zero date
  EXPECT_EQ(h->date_completed(), Date());

  // exchange_rate is taken as a number without a Null test.
  c_->Execute("update purchase_order_header set exchange_rate = NULL");
  Error e = test::CatchError([&] { h->ReadIt(); });
  const std::string copy_failed =
      "Line No.: 40 Line No.: 10 TarnlowSTData\r\nCopyFromRst of Class Module clsPOHeadD Line#:10\r\n" +
      kReadLabel + "40";
  EXPECT_EQ(e.Number(), err::InvalidUseOfNull);
  EXPECT_EQ(e.Source(), copy_failed);
  c_->Execute("update purchase_order_header set exchange_rate = 0");

  if (GetParam() != "sqlite") return;  // only SQLite keeps text that is no date in a date column
  c_->Execute("update purchase_order_header set date_completed = 'not a date'");
  h->date_completed = Date::FromCalendar(2021, 5, 5);
  h->ReadIt();
  EXPECT_EQ(h->date_completed(), Date());
  c_->Execute("update purchase_order_header set date_required = 'not a date'");
  test::ExpectError([&] { h->ReadIt(); }, err::TypeMismatch, copy_failed);
}

// ---- failures -------------------------------------------------------------------

TEST_P(OrderHeaderTest, AMissingOrderRaisesNotFoundAndKeepsTheProperties) {
  auto h = Header(c_, "PO9");
  h->supplier = "SUP1";
  test::ExpectError([&] { h->ReadIt(); }, -2147221504, "Line No.: 30 TarnlowSTData\r\n" + kReadLabel + "30",
                    "Purchase order :PO9 not found");
  EXPECT_EQ(h->supplier(), "SUP1");
  EXPECT_FALSE(h->CheckIfExists());
}

TEST_P(OrderHeaderTest, ADuplicateOrderNumberIsReportedAsAlreadyExisting) {
  auto h = Header(c_, "PO1");
  h->InsertRow();
  Error e = test::CatchError([&] { h->InsertRow(); });
  const std::string prefix = "Purchase Order: PO1 already exists \r\n";
  EXPECT_EQ(e.Number(), DbIntegrityViolation);
  EXPECT_TRUE(e.Description().starts_with(prefix)) << e.Description();
  EXPECT_GT(e.Description().size(), prefix.size()) << "the database's own description follows";
  EXPECT_EQ(e.Source(), "Line No.: 30 " + Inner() + "\r\n" + kInsertLabel + "30");

  // A fax row left behind by another order with the number: the header is
  // written, the fax insert is the duplicate.
  c_->Execute("insert into purchase_order_fax (order_no, fax) values ('PO2', 'old')");
  auto f = Header(c_, "PO2");
  f->UsePOHeadX1 = true;
  e = test::CatchError([&] { f->InsertRow(); });
  EXPECT_EQ(e.Number(), DbIntegrityViolation);
  EXPECT_TRUE(e.Description().starts_with("Purchase Order: PO2 already exists \r\n")) << e.Description();
  EXPECT_EQ(e.Source(), "Line No.: 40 Line No.: 30 " + Inner() +
                            "\r\nInsertRow of Class Module clsPOHeadx1\r\n" + kInsertLabel + "40");
  EXPECT_EQ(Count("purchase_order_header", "PO2"), 1u);
}

TEST_P(OrderHeaderTest, AnyOtherInsertFailureKeepsItsOwnDescriptionAndWritesNothing) {
  auto h = Header(Open("dualrate=1"), "PO1", true);
  h->supplier = "NINECHARS";  // bound unchanged: the database refuses it
  const Error e = test::CatchError([&] { h->InsertRow(); });
  EXPECT_EQ(
      (std::tuple{e.Number(), e.Description().find("already exists"), e.Source()}),
      (std::tuple{DbFailure, std::string::npos, "Line No.: 30 " + Inner() + "\r\n" + kInsertLabel + "30"}));
  for (const char* table :
       {"purchase_order_header", "purchase_order_fax", "purchase_order_rate", "purchase_order_vat_state"})
    EXPECT_EQ(Count(table, "PO1"), 0u) << table;
}

TEST_P(OrderHeaderTest, RateAndVatStateFailuresReachTheCallerAsTheDatabaseLayerGaveThem) {
  auto faulty = test::OpenWithFaults(db_, "dualrate=1");
  faulty.faults->Add(
      {.prefix = "INSERT INTO purchase_order_rate", .source = "RateLayer", .description = "no"});
  auto h = Header(faulty.connection, "PO1", true);
  Error e = test::ExpectError([&] { h->InsertRow(); }, DbFailure, "RateLayer", "no");
  // Header and fax stay written; the VAT-state row was never reached.
  EXPECT_EQ((std::tuple{Count("purchase_order_header", "PO1"), Count("purchase_order_fax", "PO1"),
                        Count("purchase_order_vat_state", "PO1")}),
            (std::tuple{1u, 1u, 0u}));

  faulty.faults->Add({.prefix = "INSERT INTO purchase_order_vat_state", .source = "VatLayer"});
  h->order_no("PO2");
  e = test::CatchError([&] { h->InsertRow(); });
  EXPECT_EQ(e.Source(), "VatLayer");
  EXPECT_EQ(Count("purchase_order_rate", "PO2"), 1u);
  EXPECT_EQ(Count("purchase_order_vat_state", "PO2"), 0u);
}

TEST_P(OrderHeaderTest, DeleteRemovesWhatTheFlagsAndOptionNameAndStopsAtTheFirstFailure) {
  auto c = Open("dualrate=1");
  for (const char* order : {"PO1", "PO2"}) Header(c, order, true)->InsertRow();
  // Flags off, option on: header and rate row go, fax and VAT state stay.
  Header(c, "PO1")->DeleteForOrder();
  EXPECT_EQ((std::tuple{Count("purchase_order_header", "PO1"), Count("purchase_order_rate", "PO1"),
                        Count("purchase_order_fax", "PO1"), Count("purchase_order_vat_state", "PO1"),
                        Count("purchase_order_header", "PO2")}),
            (std::tuple{0u, 0u, 1u, 1u, 1u}));

  auto faulty = test::OpenWithFaults(db_, "dualrate=1");
  faulty.faults->Add({.prefix = "delete from purchase_order_rate", .source = "Del"});
  auto h = Header(faulty.connection, "PO2", true);
  const Error e = test::ExpectError([&] { h->DeleteForOrder(); }, DbFailure, {}, "Injected failure");
  // The direct exit: no "Line No.: " in front, the line after the label.
  EXPECT_EQ(e.Source(), "Del\r\nDeleteForOrder of Class Module clsPOHeadD Line#:40");
  EXPECT_EQ((std::tuple{Count("purchase_order_header", "PO2"), Count("purchase_order_fax", "PO2"),
                        Count("purchase_order_rate", "PO2"), Count("purchase_order_vat_state", "PO2")}),
            (std::tuple{0u, 0u, 1u, 1u}));
  EXPECT_TRUE(h->DeleteForOrder().IsEmpty()) << "the result is never assigned";
}

TARNLOW_ON_EVERY_BACKEND(OrderHeaderTest);

// ---- the fax companion ---------------------------------------------------------

class FaxCompanionTest : public test::DatabaseTest {
 protected:
  void SetUp() override {
    fax_.SageConnection(c_);
    fax_.order_no = "PO1";
  }
  clsPOHeadx1D fax_;
};

TEST_P(FaxCompanionTest, WritesCopiesResetsAndDeletesItsRow) {
  fax_.fax = "0123";
  fax_.InsertRow();
  fax_.order_no = "PO2";
  fax_.InsertRow();

  clsPOHeadx1D copy;
  copy.CopyFrom(fax_);
  EXPECT_EQ(copy.fax(), "0123");
  EXPECT_EQ(copy.order_no(), "PO2");
  copy.Reset();
  EXPECT_EQ(copy.fax(), "");
  EXPECT_EQ(copy.order_no(), "PO2");

  c_->Execute("update purchase_order_fax set fax = NULL where order_no = 'PO1'");
  test::OpenRecordset rs(*c_, "select * from purchase_order_fax where order_no = 'PO1'");
  copy.fax = "x";
  copy.CopyFromRecordset(rs);
  rs.Close();
  EXPECT_EQ(copy.fax(), "");
  EXPECT_EQ(copy.order_no(), "PO1");

  EXPECT_TRUE(fax_.DeleteForOrder().IsEmpty());
  EXPECT_EQ(test::Select(*c_, "select order_no from purchase_order_fax").size(), 1u);
}

TEST_P(FaxCompanionTest, FailuresCarryTheShortModuleLabelWithoutALineInIt) {
  fax_.fax = std::string(31, '9');  // one more than the column takes
  test::ExpectError(
      [&] { fax_.InsertRow(); }, DbFailure,
      "Line No.: 30 " + test::EngineSource(GetParam()) + "\r\nInsertRow of Class Module clsPOHeadx1");
  test::OpenRecordset rs(*c_, "select order_no from purchase_order_fax");
  const Error missing = test::CatchError([&] { fax_.CopyFromRecordset(rs); });  // no row to copy
  EXPECT_EQ(missing.Source().substr(missing.Source().rfind("\r\n") + 2),
            "CopyFromRecordset of Class Module clsPOHeadx1");
  rs.Close();
}

TARNLOW_ON_EVERY_BACKEND(FaxCompanionTest);

// ---- the classes as clients see them ----------------------------------------

TEST(OrderHeaderClassTest, WithoutAnOpenConnectionEachOperationNamesWhereItFailed) {
  test::MessageCapture messages;
  clsPOHeadD h;
  h.SageConnection(std::make_shared<Connection>());
  h.order_no("PO1");
  EXPECT_EQ(test::CatchError([&] { h.InsertRow(); }).Source(),
            "Line No.: 10 Line No.: 20 TarnlowSTData\r\nPrepareInsertStatement of Class Module clsPOHeadD "
            "Line#:20\r\n" +
                kInsertLabel + "10");
  EXPECT_EQ(test::CatchError([&] { h.CheckIfExists(); }).Source(),
            "Line No.: 10 TarnlowSTData\r\nCheckIfExists of Class Module clsPOHeadD Line#:10");
  EXPECT_EQ(test::CatchError([&] { h.ReadIt(); }).Source(),
            "Line No.: 10 TarnlowSTData\r\n" + kReadLabel + "10");
  test::ExpectError([&] { h.DeleteForOrder(); }, err::ObjectClosed,
                    "TarnlowSTData\r\nDeleteForOrder of Class Module clsPOHeadD Line#:10");
  EXPECT_TRUE(messages.Messages().empty());
}

TEST(OrderHeaderClassTest, LateBoundOrderNumberReachesTheCompanionItHandsOut) {
  ObjectPtr head = CreateObject("clsPOHeadD");
  const ObjectPtr fax = late::Get(*head, "POHeadX1D").ToObject();
  ASSERT_NE(std::dynamic_pointer_cast<clsPOHeadx1D>(fax), nullptr);
  late::Let(*head, "order_no", Variant("PO7"));
  EXPECT_EQ(late::Get(*fax, "order_no"), Variant("PO7"));
  EXPECT_EQ(late::Get(*head, "order_no"), Variant("PO7"));
  // The same companion for the life of the header.
  EXPECT_EQ(late::Get(*head, "POHeadX1D").ToObject(), fax);
}

}  // namespace
}  // namespace tarnlow
