// The two rows that hang off an order line: its analysis and tolerance row
// (clsPODetpgD) and its variance history with the dual-rate row
// (clsPOvhstD).

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <tuple>
#include <vector>

#include "tarnlow/tarnlow.h"
#include "test_support.h"

namespace tarnlow {
namespace {

// Rows in a fixed order whatever the database's collation.
test::Rows Sorted(test::Rows rows) {
  auto text = [](const std::vector<Variant>& row) {
    std::string out;
    for (const Variant& v : row) out += (v.IsNull() ? std::string("<null>") : v.ToText()) + '|';
    return out;
  };
  std::sort(rows.begin(), rows.end(), [&](const auto& a, const auto& b) { return text(a) < text(b); });
  return rows;
}

class CompanionTest : public ::testing::TestWithParam<std::string> {
 protected:
  void Open(const std::string& options = "") {
    c_ = db_.Open("trace=" + trace_ + (options.empty() ? "" : "&" + options));
    detpg_.SageConnection(c_);
    vhst_.SageConnection(c_);
  }
  test::Rows Rows(const std::string& sql) { return test::Select(*c_, sql); }
  std::string Inner() const { return test::EngineSource(GetParam()); }
  // A history row whose every base column holds a value of its own.
  void FillHistory(clsPOvhstD& h, const std::string& order, std::int16_t line, std::int16_t sequence) {
    test::FillDistinct(h, clsPOvhstD::BaseColumns());
    h.order_no = order;
    h.order_line_no = line;
    h.sequence_no = sequence;
  }
  void FillRates(clsPOvhstD& h) {
    int n = 0;
    for (const ColumnInfo& c : clsPOvhstD::Columns()) {
      if (c.declaration->table != CatalogueTable::VarianceHistoryRateTable) continue;
      ++n;
      if (c.kind == ValueKind::Text)
        late::Let(h, c.property, Variant(std::string(1, static_cast<char>('a' + n))));
      else
        late::Let(h, c.property, Variant(n * 1.125));
    }
  }

  test::ScratchDatabase db_{GetParam()};
  std::string trace_ = db_.Folder() + "/trace.sql";
  std::shared_ptr<Connection> c_;
  clsPODetpgD detpg_;
  clsPOvhstD vhst_;
};

// ---- analysis and tolerance row -----------------------------------------------------

TEST_P(CompanionTest, AnalysisRowIsWrittenWithARightAlignedLine) {
  Open();
  detpg_.order_no = "P1";
  detpg_.order_line_no = 7;
  detpg_.analysis_a = "A1";
  detpg_.analysis_f = "F6";
  detpg_.delivery_qty_tol = "10%";
  detpg_.invoice_value_tol = "2.5";
  detpg_.InsertRow();
  detpg_.order_line_no = -12;
  detpg_.InsertRow();
  EXPECT_EQ(
      Sorted(Rows("select order_no, order_line_no, analysis_a, analysis_b, analysis_f, delivery_qty_tol,"
                  " invoice_value_tol from purchase_order_line_analysis")),
      (test::Rows{{"P1", "   7", "A1", "", "F6", "10%", "2.5"},
                  {"P1", " -12", "A1", "", "F6", "10%", "2.5"}}));
}

TEST_P(CompanionTest, ResetKeepsTheLineSoTheNextInsertWritesEmptyTexts) {
  Open();
  detpg_.order_no = "P1";
  detpg_.order_line_no = 3;
  for (const ColumnInfo& c : clsPODetpgD::Columns())
    if (c.kind == ValueKind::Text && c.column != "order_no") late::Let(detpg_, c.property, Variant("X"));
  detpg_.InsertRow();
  detpg_.DeleteForOrder();
  detpg_.Reset();
  EXPECT_EQ(
      (std::tuple{detpg_.order_no(), detpg_.order_line_no(), detpg_.analysis_c(), detpg_.invoice_qty_tol()}),
      (std::tuple{"P1", 3, "", ""}));
  detpg_.InsertRow();
  EXPECT_EQ(Rows("select order_no, order_line_no, analysis_a, analysis_d, delivery_qty_tol, invoice_price_tol"
                 " from purchase_order_line_analysis"),
            (test::Rows{{"P1", "   3", "", "", "", ""}}));
}

TEST_P(CompanionTest, AnalysisCopiesTakeNullAsEmptyAndNeedANumericLine) {
  Open();
  c_->Execute(
      "insert into purchase_order_line_analysis (order_no, order_line_no, analysis_a, analysis_b,"
      " delivery_qty_tol) values ('P1', '  12', 'AA', null, null), ('P2', 'x', 'BB', '', ''),"
      " ('P3', null, 'CC', '', '')");
  test::OpenRecordset rs(*c_, "select * from purchase_order_line_analysis order by order_no");
  detpg_.analysis_b = "stale";
  detpg_.delivery_qty_tol = "stale";
  detpg_.CopyFromRecordset(rs);
  EXPECT_EQ((std::tuple{detpg_.order_no(), detpg_.order_line_no(), detpg_.analysis_a(), detpg_.analysis_b(),
                        detpg_.delivery_qty_tol()}),
            (std::tuple{"P1", 12, "AA", "", ""}));

  // A line number that is no number, or Null, fails the copy with its label;
  // the fields before it are copied already.
  for (const char* order : {"P2", "P3"}) {
    rs.MoveNext();
    test::ExpectError([&] { detpg_.CopyFromRecordset(rs); }, err::TypeMismatch,
                      "Line No.: 10 TarnlowSTData\r\nCopyFromRecordset of Class Module clsPODetpgD");
    EXPECT_NE(detpg_.order_no(), order);
    EXPECT_EQ(detpg_.order_line_no(), 12);
  }
  EXPECT_EQ(detpg_.analysis_a(), "CC");
  rs.Close();
}

TEST_P(CompanionTest, AnalysisInsertLetsTheDatabaseErrorThroughUnlabelled) {
  Open();
  detpg_.order_no = "P1";
  detpg_.analysis_a = "ELEVEN-CHAR";
  EXPECT_EQ(test::CatchError([&] { detpg_.InsertRow(); }).Source(), Inner());
  EXPECT_TRUE(Rows("select * from purchase_order_line_analysis").empty());
  // A failing delete does carry its label.
  c_->Execute("drop table purchase_order_line_analysis");
  EXPECT_EQ(test::CatchError([&] { detpg_.DeleteForOrder(); }).Source(),
            "Line No.: 10 " + Inner() + "\r\nDeleteForOrder of Class Module clsPODetpgD");
}

// ---- variance history ----------------------------------------------------------------

TEST_P(CompanionTest, HistoryRoundTripsEveryBaseColumn) {
  Open();
  FillHistory(vhst_, "P1", 7, 3);
  vhst_.InsertRow();
  EXPECT_TRUE(Rows("select * from purchase_order_variance_rate").empty());
  EXPECT_EQ(Rows("select order_line_no, sequence_no, currency from purchase_order_variance_history"),
            (test::Rows{{"   7", "   3", vhst_.pOcurrency()}}));

  clsPOvhstD read;
  read.SageConnection(c_);
  ASSERT_TRUE(read.ReadFirstForOrder("P1"));
  for (const ColumnInfo& c : clsPOvhstD::BaseColumns()) EXPECT_EQ(c.get(read), c.get(vhst_)) << c.property;
}

TEST_P(CompanionTest, DualRateWritesAndDeletesASecondRowWithEveryRateInItsOwnColumn) {
  Open("dualrate=1");
  FillHistory(vhst_, "P1", 2, 5);
  FillRates(vhst_);
  vhst_.invoice_rate1 = 1.5;
  vhst_.invoice_rate2 = 7.25;
  vhst_.InsertRow();
  const test::Rows rows = Rows("select * from purchase_order_variance_rate");
  ASSERT_EQ(rows.size(), 1u);
  test::OpenRecordset rs(*c_, "select * from purchase_order_variance_rate");
  EXPECT_EQ(rs.Fields("order_no"), Variant("P1"));
  EXPECT_EQ(rs.Fields("order_line_no"), Variant("   2"));
  EXPECT_EQ(rs.Fields("sequence_no"), Variant("   5"));
  for (const ColumnInfo& c : clsPOvhstD::Columns()) {
    if (c.declaration->table != CatalogueTable::VarianceHistoryRateTable) continue;
    EXPECT_EQ(rs.Fields(c.column), c.get(vhst_)) << c.column;
  }
  rs.Close();

  // Another order's rows stay.
  FillHistory(vhst_, "P2", 1, 1);
  vhst_.InsertRow();
  vhst_.order_no = "P1";
  EXPECT_TRUE(vhst_.DeleteForOrder().IsEmpty());
  EXPECT_EQ(Rows("select order_no from purchase_order_variance_history"), (test::Rows{{"P2"}}));
  EXPECT_EQ(Rows("select order_no from purchase_order_variance_rate"), (test::Rows{{"P2"}}));
}

TEST_P(CompanionTest, HistoryCopyTakesTextsAndNumbersOfTheKeyOnly) {
  Open();
  FillHistory(vhst_, "P1", 4, 9);
  FillRates(vhst_);
  clsPOvhstD target;
  target.pOcurrency = "ZZZ";
  target.grni_accrued = -2.0;
  target.invoice_price = -1.0;
  target.history_date = Date::FromCalendar(1999, 1, 1);
  target.plan_rate1 = 99.0;
  target.CopyFrom(vhst_);
  // The texts and the three key numbers come across.
  for (const ColumnInfo& c : clsPOvhstD::BaseColumns()) {
    if (c.kind == ValueKind::Text || c.kind == ValueKind::Int16) {
      EXPECT_EQ(c.get(target), c.get(vhst_)) << c.property;
    }
  }
  EXPECT_EQ(
      (std::tuple{target.grni_accrued(), target.invoice_price(), target.history_date(), target.plan_rate1()}),
      (std::tuple{-2.0, -1.0, Date::FromCalendar(1999, 1, 1), 99.0}));
}

TEST_P(CompanionTest, HistoryResetKeepsOrderLineAndRates) {
  Open();
  FillHistory(vhst_, "P1", 4, 9);
  FillRates(vhst_);
  const double rate = vhst_.receipt_rate2();
  vhst_.Reset();
  EXPECT_EQ((std::tuple{vhst_.order_no(), vhst_.order_line_no(), vhst_.sequence_no(), vhst_.receipt_rate2(),
                        vhst_.pOcurrency(), vhst_.operator_(), vhst_.ppv_realised(), vhst_.history_date()}),
            (std::tuple{"P1", 4, 0, rate, "", "", 0.0, Date()}));
}

TEST_P(CompanionTest, ReadFirstForOrderUsesItsArgumentAndKeepsThePropertiesWithoutARow) {
  Open();
  FillHistory(vhst_, "P1", 1, 1);
  vhst_.InsertRow();
  clsPOvhstD read;
  read.SageConnection(c_);
  read.order_no = "P1";  // not what is read
  read.supplier = "KEEP";
  EXPECT_FALSE(read.ReadFirstForOrder("P9"));
  EXPECT_FALSE(read.ReadFirstForOrder("X' OR '1'='1"));
  EXPECT_EQ(read.supplier(), "KEEP");
  // Nulls: texts become empty, the date the zero date; a Null amount fails.
  c_->Execute(
      "insert into purchase_order_variance_history (order_no, order_line_no, sequence_no, supplier,"
      " currency, history_date, grni_accrued) values ('P5', '   1', '   2', null, null, null, 4)");
  ASSERT_TRUE(read.ReadFirstForOrder("P5"));
  EXPECT_EQ((std::tuple{read.supplier(), read.pOcurrency(), read.history_date(), read.grni_accrued(),
                        read.sequence_no()}),
            (std::tuple{"", "", Date(), 4.0, 2}));
  c_->Execute("update purchase_order_variance_history set grni_accrued = null where order_no = 'P5'");
  test::ExpectError([&] { read.ReadFirstForOrder("P5"); }, err::InvalidUseOfNull,
                    "Line No.: 30 Line No.: 30 TarnlowSTData\r\n"
                    "CopyFromRecordset of Class Module clsPOVHstD line no:30\r\n"
                    "ReadFirstForOrder of Class Module clsPOvhstD line no:30");
}

TEST_P(CompanionTest, HistoryFailuresCarryTheirLabels) {
  Open("dualrate=1");
  FillHistory(vhst_, "P1", 1, 1);
  vhst_.supplier = "NINECHARS";
  Error e = test::CatchError([&] { vhst_.InsertRow(); });
  EXPECT_EQ(e.Source(), "Line No.: 30 " + Inner() + "\r\nInsertRow of Class Module clsPOvhstD Line#:30");
  EXPECT_TRUE(Rows("select * from purchase_order_variance_history").empty());

  // The rate row fails after the history row is written: it stays.
  vhst_.supplier = "S1";
  vhst_.plan_op1 = "TOO LONG";
  e = test::CatchError([&] { vhst_.InsertRow(); });
  EXPECT_EQ(e.Source(), "Line No.: 70 " + Inner() + "\r\nInsertRow of Class Module clsPOvhstD Line#:70");
  EXPECT_EQ(Rows("select supplier from purchase_order_variance_history"), (test::Rows{{"S1"}}));
  EXPECT_TRUE(Rows("select * from purchase_order_variance_rate").empty());

  // Without an open connection the preparation fails under its own label
  // (which names the module as "clsPOPvhst").
  clsPOvhstD unconnected;
  unconnected.SageConnection(std::make_shared<Connection>());
  test::MessageCapture messages;
  e = test::ExpectError(
      [&] { unconnected.InsertRow(); }, err::ObjectClosed,
      "Line No.: 10 Line No.: 20 TarnlowSTData\r\nPrepareInsertStatement of Class Module clsPOPvhst\r\n"
      "InsertRow of Class Module clsPOvhstD Line#:10");
  e = test::CatchError([&] { unconnected.DeleteForOrder(); });
  EXPECT_EQ(e.Source(), "Line No.: 10 TarnlowSTData\r\nDeleteForOrder of Class Module clsPOvhstD line no:10");
}

TARNLOW_ON_EVERY_BACKEND(CompanionTest);

// ---- the late-bound faces ------------------------------------------------------------

// The companions keep their connection in their statement holders alone:
// unset, it reads as no object and shows no message; set, as what was given.
TEST(CompanionClasses, TheConnectionIsWhatTheHoldersHold) {
  test::MessageCapture messages;
  auto c = Connection::Open("sqlite::memory:");
  for (const char* name : {"clsPODetpgD", "clsPOvhstD", "clsPOHeadx1D"}) {
    ObjectPtr o = CreateObject(name);
    EXPECT_EQ(late::Get(*o, "SageConnection").ToObject(), nullptr) << name;
    late::Set(*o, "SageConnection", c);
    EXPECT_EQ(late::Get(*o, "SageConnection").ToObject(), c) << name;
  }
  EXPECT_TRUE(messages.Messages().empty());
}

TEST(CompanionClasses, LateBoundCopiesRefuseWhatIsNoObjectOfTheirClass) {
  ObjectPtr a = CreateObject("clsPOvhstD");
  ObjectPtr b = CreateObject("clsPOvhstD");
  // No row set can reach a late-bound call, and Nothing is no object to copy.
  EXPECT_EQ(test::CatchError([&] { late::Call(*b, "CopyFromRecordset", {Variant("rows")}); }).Number(),
            err::TypeMismatch);
  EXPECT_EQ(test::CatchError([&] { late::Call(*b, "CopyFrom", {Variant()}); }).Number(), err::ObjectNotSet);
  ObjectPtr d = CreateObject("clsPODetpgD");
  EXPECT_EQ(test::CatchError([&] { late::Call(*d, "CopyFrom", {Variant(a)}); }).Number(), err::TypeMismatch);
}

}  // namespace
}  // namespace tarnlow
