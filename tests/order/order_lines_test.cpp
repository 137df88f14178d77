// Order lines as orders are written, walked, copied, invoiced and deleted
// (clsPODetailD), with the walk's buffer (colPODetailD).

#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "connection/database_connection.h"
#include "script/script.h"
#include "tarnlow/tarnlow.h"
#include "test_support.h"

namespace tarnlow {
namespace {

// A line whose every column holds a value of its own.
void FillLine(clsPODetailD& line, const std::string& order, std::int16_t number, int seed) {
  test::FillDistinct(line, clsPODetailD::LineColumns(), seed);
  line.order_no = order;
  line.order_line_no = number;
  line.line_type = "S";
}

void FillAnalysis(clsPODetpgD& a, const std::string& tag) {
  int n = 0;
  for (const ColumnInfo& c : clsPODetpgD::Columns())
    if (c.kind == ValueKind::Text && c.column != "order_no")
      late::Let(a, c.property, Variant(tag + std::to_string(++n)));
}

void ExpectSameLine(const clsPODetailD& got, const clsPODetailD& want) {
  for (const ColumnInfo& c : clsPODetailD::LineColumns()) EXPECT_EQ(c.get(got), c.get(want)) << c.property;
}

void ExpectSameAnalysis(const clsPODetpgD& got, const clsPODetpgD& want) {
  for (const ColumnInfo& c : clsPODetpgD::Columns()) EXPECT_EQ(c.get(got), c.get(want)) << c.property;
}

void ExpectResetAnalysis(const clsPODetpgD& a) {
  for (const ColumnInfo& c : clsPODetpgD::Columns())
    if (c.kind == ValueKind::Text && c.column != "order_no") {
      EXPECT_EQ(c.get(a), Variant("")) << c.property;
    }
}

class OrderLineTest : public ::testing::TestWithParam<std::string> {
 protected:
  std::shared_ptr<Connection> Open(const std::string& options = "") {
    c_ = db_.Open("trace=" + trace_ + (options.empty() ? "" : "&" + options));
    return c_;
  }
  std::shared_ptr<clsPODetailD> NewLine(bool analysis = false, bool history = false) {
    auto l = std::make_shared<clsPODetailD>();
    l->SageConnection(c_);
    l->UsePODetpgD = analysis;
    l->UsePOVHstD = history;
    return l;
  }
  // Writes the line with its companions filled; returns it.
  std::shared_ptr<clsPODetailD> Write(const std::string& order, std::int16_t number, const std::string& type,
                                      bool analysis, bool history) {
    auto l = NewLine(analysis, history);
    FillLine(*l, order, number, number * 3);
    l->line_type = type;
    FillAnalysis(*l->PODetpgD(), "L" + std::to_string(number) + "-");
    l->POVHstD()->supplier = "S" + std::to_string(number);
    l->InsertRow();
    return l;
  }
  // The stored line, read by a line object without companions.
  std::shared_ptr<clsPODetailD> Stored(const std::string& order, std::int16_t number) {
    auto l = NewLine();
    l->order_no = order;
    l->order_line_no = number;
    l->ReadIt();
    return l;
  }
  std::vector<std::int16_t> Walk(clsPODetailD& l, const std::string& order) {
    l.order_no = order;
    l.StartReadForOrder();
    std::vector<std::int16_t> out;
    while (l.ReadNextForOrder()) out.push_back(l.order_line_no());
    return out;
  }
  test::Rows Rows(const std::string& sql) { return test::Select(*c_, sql); }
  std::size_t Count(const std::string& table) { return Rows("select * from " + table).size(); }
  std::string Inner() const { return test::EngineSource(GetParam()); }

  test::ScratchDatabase db_{GetParam()};
  std::string trace_ = db_.Folder() + "/trace.sql";
  std::shared_ptr<Connection> c_;
};

// ---- writing ---------------------------------------------------------------------------

TEST_P(OrderLineTest, TheWeightRowFollowsReleaseAndSpareColumn) {
  struct Case {
    std::string options;
    test::Rows key;  // the stored key columns of line 7
  };
  const std::vector<Case> cases{
      {"release=5",
       {{"P1        "
         "   7"}}},
      {"release=6", {{"P1", "   7"}}},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.options);
    test::ScratchDatabase db(GetParam());
    c_ = db.Open(k.options);
    auto l = NewLine();
    FillLine(*l, "P1", 7, 0);
    l->weight = 12.5;
    l->InsertRow();
    const bool combined = k.options == "release=5";
    EXPECT_EQ(Rows(combined ? "select order_det_key from purchase_order_line_weight"
                            : "select order_no, order_line_no from purchase_order_line_weight"),
              k.key);
    EXPECT_EQ(Rows("select spare, spare2, weightkg, suppunitqty from purchase_order_line_weight"),
              (test::Rows{{"", "", 12.5, 0.0}}));
  }
}

TEST_P(OrderLineTest, CompanionRowsAreWrittenForLinesThatAreNoComment) {
  Open("dualrate=1");
  Write("P1", 1, "S", true, true);
  Write("P1", 2, "C", true, true);
  Write("P1", 3, "S", false, true);
  Write("P1", 4, "S", true, false);
  // The companions were told the order and line by the line's setters.
  EXPECT_EQ(Rows("select order_no, order_line_no, analysis_a from purchase_order_line_analysis"
                 " order by order_line_no"),
            (test::Rows{{"P1", "   1", "L1-1"}, {"P1", "   4", "L4-1"}}));
  EXPECT_EQ(Rows("select order_no, order_line_no, supplier from purchase_order_variance_history"
                 " order by order_line_no"),
            (test::Rows{{"P1", "   1", "S1"}, {"P1", "   3", "S3"}}));
  EXPECT_EQ((std::tuple{Count("purchase_order_variance_rate"), Count("purchase_order_line_weight"),
                        Count("purchase_order_line")}),
            (std::tuple{2u, 4u, 4u}));
}

TEST_P(OrderLineTest, AFailingStepLeavesTheEarlierRowsAndNamesItsLine) {
  Open();
  auto l = NewLine(true, true);
  FillLine(*l, "P1", 1, 0);
  l->POVHstD()->supplier = "NINECHARS";  // too long for its column
  Error e = test::CatchError([&] { l->InsertRow(); });
  EXPECT_EQ(e.Source(), "Line No.: 50 Line No.: 30 " + Inner() +
                            "\r\nInsertRow of Class Module clsPOvhstD Line#:30"
                            "\r\nInsertRow of Class Module clsPODetailD Line#:50");
  EXPECT_EQ((std::tuple{Count("purchase_order_line"), Count("purchase_order_line_analysis"),
                        Count("purchase_order_line_weight")}),
            (std::tuple{1u, 0u, 0u}));

  // A text too long for the line itself is the database's error; nothing is written.
  l->order_line_no = 2;
  l->POVHstD()->supplier = "S";
  l->description = std::string(21, 'D');
  e = test::CatchError([&] { l->InsertRow(); });
  EXPECT_EQ(e.Source(), "Line No.: 30 " + Inner() + "\r\nInsertRow of Class Module clsPODetailD Line#:30");
  EXPECT_EQ(Count("purchase_order_line"), 1u);

  // The weight row comes last.
  l->description = "D";
  c_->Execute("drop table purchase_order_line_weight");
  e = test::CatchError([&] { l->InsertRow(); });
  EXPECT_EQ(e.Source(), "Line No.: 70 " + Inner() + "\r\nInsertRow of Class Module clsPODetailD Line#:70");
  EXPECT_EQ(Count("purchase_order_line"), 2u);
  EXPECT_EQ(Count("purchase_order_line_analysis"), 1u);
}

// ---- reading and walking -------------------------------------------------------------------

TEST_P(OrderLineTest, AnOrderComesBackColumnForColumnAcrossLayouts) {
  // Kinds, releases on both sides of the weight-row change, the extended
  // layout on and off, the dual-rate option on and off.
  const std::vector<std::string> layouts{
      "kind=1&release=8&extended=1&dualrate=1", "kind=2&release=5&extended=0&dualrate=0",
      "kind=1&release=5&extended=1&dualrate=1", "kind=2&release=7&extended=1&version=2.2&dualrate=0"};
  for (const std::string& layout : layouts) {
    SCOPED_TRACE(layout);
    test::ScratchDatabase db(GetParam());
    c_ = db.Open(layout);
    // A ten-character order number is its own blank-filled form.
    const std::string order = "PO00000042";
    auto first = Write(order, 1, "S", true, true);
    auto comment = Write(order, 2, "C", true, true);
    auto plain = Write(order, 10, "S", false, true);
    Write("PO00000043", 1, "S", true, true);

    auto reader = NewLine(true, true);
    EXPECT_EQ(Walk(*reader, order), (std::vector<std::int16_t>{1, 2, 10}));
    reader->StartReadForOrder();
    ASSERT_TRUE(reader->ReadNextForOrder());
    ExpectSameLine(*reader, *first);
    ExpectSameAnalysis(*reader->PODetpgD(), *first->PODetpgD());
    // The line's row holds nothing for the history: it comes back reset.
    EXPECT_EQ(reader->POVHstD()->supplier(), "");
    ASSERT_TRUE(reader->ReadNextForOrder());
    ExpectSameLine(*reader, *comment);
    // A comment line's copy passes over the companions: the reader's keep
    // the previous line's.
    ExpectSameAnalysis(*reader->PODetpgD(), *first->PODetpgD());
    ASSERT_TRUE(reader->ReadNextForOrder());
    ExpectSameLine(*reader, *plain);
    ExpectResetAnalysis(*reader->PODetpgD());  // no analysis row
    EXPECT_FALSE(reader->ReadNextForOrder());
    EXPECT_FALSE(reader->ReadNextForOrder());
    ExpectSameLine(*reader, *plain);

    ExpectSameLine(*Stored(order, 10), *plain);
  }
}

TEST_P(OrderLineTest, KindZeroSendsItsJoinAndAFailureComesBackLabelled) {
  // Neither database here speaks "(+)": the statement is sent as it is and
  // the database's refusal reaches the caller through the walk's exit.
  Open("kind=0");
  auto reader = NewLine(true, false);
  reader->order_no = "P1";
  EXPECT_EQ(test::CatchError([&] { reader->StartReadForOrder(); }).Source(),
            "Line No.: 40 " + Inner() + "\r\nStartReadForOrder of Class Module clsPODetailD Line#:40");
  // Without the analysis row there is no join, and kind 0 walks as any other.
  Write("P1", 1, "S", false, false);
  reader->UsePODetpgD = false;
  EXPECT_EQ(Walk(*reader, "P1"), std::vector<std::int16_t>{1});
}

TEST_P(OrderLineTest, EachWalkStartsAfreshAndAnUnstartedWalkIsOver) {
  Open();
  for (std::int16_t n : {3, 1, 2}) Write("P1", n, "S", false, false);
  Write("P2", 5, "S", false, false);
  auto reader = NewLine();
  reader->description = "before";
  EXPECT_FALSE(reader->ReadNextForOrder());
  EXPECT_EQ(reader->description(), "before");
  reader->order_no = "P1";
  reader->StartReadForOrder();
  ASSERT_TRUE(reader->ReadNextForOrder());
  EXPECT_EQ(reader->order_line_no(), 1);
  EXPECT_EQ(Walk(*reader, "P2"), std::vector<std::int16_t>{5});
  EXPECT_EQ(Walk(*reader, "P1"), (std::vector<std::int16_t>{1, 2, 3}));
  EXPECT_TRUE(Walk(*reader, "P9").empty());
  EXPECT_EQ(reader->order_line_no(), 3);  // the last line read stays
}

TEST_P(OrderLineTest, AMissingLineAndAJoinlessReadFailWithTheirRecords) {
  Open();
  auto l = NewLine();
  l->order_no = "P1";
  l->order_line_no = 7;
  l->description = "kept";
  Error e = test::ExpectError([&] { l->ReadIt(); }, vbObjectError,
                              "Line No.: 20 TarnlowSTData\r\nReadIt of Class Module clsPODetailD Line#:20",
                              "Purchase order line:P1/7 not found");
  EXPECT_EQ(l->description(), "kept");

  // ReadIt never joins: with the analysis flag a line that is no comment
  // finds no "detpglineno" in its row.
  Write("P1", 7, "S", true, false);
  l->UsePODetpgD = true;
  e = test::CatchError([&] { l->ReadIt(); });
  EXPECT_EQ(e.Number(), err::ItemNotFound);
  EXPECT_NE(e.Source().find("\r\nCopyFromRst of Class Module clsPODetailD Line#:60\r\n"
                            "ReadIt of Class Module clsPODetailD Line#:30"),
            std::string::npos)
      << e.Source();
  // A comment line has no companions to look for.
  Write("P1", 8, "C", true, false);
  l->order_line_no = 8;
  l->ReadIt();
  EXPECT_EQ(l->line_type(), "C");
}

TEST_P(OrderLineTest, NullsInTheRowFollowTheCopyRules) {
  Open();
  c_->Execute(
      "insert into purchase_order_line (order_no, order_line_no, description, line_type, date_required,"
      " qty_ordered) values ('P1', '   4', null, 'S', null, 6)");
  auto l = NewLine(true, true);
  l->description = "old";
  l->date_required = Date::FromCalendar(2020, 1, 1);
  l->order_no = "P1";
  l->order_line_no = 4;
  l->UsePODetpgD = false;
  l->ReadIt();
  EXPECT_EQ((std::tuple{l->description(), l->date_required(), l->qty_ordered()}),
            (std::tuple{"", Date(), 6.0}));
  EXPECT_TRUE(l->UsePOVHstD());  // its copy failed on the line's row and was passed over

  c_->Execute("update purchase_order_line set qty_ordered = null");
  test::ExpectError(
      [&] { l->ReadIt(); }, err::InvalidUseOfNull,
      "Line No.: 30 Line No.: 40 TarnlowSTData\r\nCopyFromRst of Class Module clsPODetailD Line#:40\r\n"
      "ReadIt of Class Module clsPODetailD Line#:30");
  c_->Execute("update purchase_order_line set qty_ordered = 1, order_line_no = 'x'");
  auto reader = NewLine();
  reader->order_no = "P1";
  EXPECT_EQ(test::CatchError([&] { reader->StartReadForOrder(); }).Number(), err::TypeMismatch);
}

// The history companion cannot copy from a line's row; that failure is
// passed over, and a script testing Err after each call must see success.
TEST_P(OrderLineTest, ReadsWhoseCompanionCopyFailsLeaveNoErrorForTheCaller) {
  Open();
  const auto first = Write("P1", 1, "S", false, false);
  const auto second = Write("P1", 2, "S", false, false);
  std::ostringstream out;
  script::RunOptions options;
  options.variables.emplace_back("conn", Variant(ObjectPtr(c_)));
  const int status = script::RunSource(
      "Set l = CreateObject(\"clsPODetailD\")\n"
      "Set l.SageConnection = conn\n"
      "l.UsePOVHstD = True\n"
      "l.order_no = \"P1\"\n"
      "On Error Resume Next\n"
      "l.StartReadForOrder\n"
      "Print Err.Number\n"
      "Do While l.ReadNextForOrder\n"
      "  Print Err.Number, l.order_line_no, l.product\n"
      "Loop\n"
      "Print Err.Number\n"
      "l.order_line_no = 2\n"
      "l.ReadIt\n"
      "Print Err.Number, l.order_line_no, l.product\n",
      out, options);
  EXPECT_EQ(status, script::kExitOk);
  EXPECT_EQ(out.str(), "0\n0 1 \"" + first->product() + "\"\n0 2 \"" + second->product() + "\"\n0\n0 2 \"" +
                           second->product() + "\"\n");
  // The same holds for a C++ caller that looks at the current error.
  auto l = NewLine(false, true);
  l->order_no = "P1";
  l->order_line_no = 1;
  l->ReadIt();
  EXPECT_EQ(Err().Number, 0);
  EXPECT_EQ(Err().Description, "");
}

// ---- companions, copies and the setters ----------------------------------------------------

TEST_P(OrderLineTest, TheSettersHandOrderLineAndConnectionToTheCompanions) {
  Open();
  auto l = std::make_shared<clsPODetailD>();
  l->order_no = "P1";
  l->order_line_no = 9;
  EXPECT_EQ(l->PODetpgD()->order_no(), "P1");
  EXPECT_EQ(l->POVHstD()->order_line_no(), 9);
  late::Let(*l, "order_no", Variant("P2"));
  late::Let(*l, "ORDER_LINE_NO", Variant("11"));
  EXPECT_EQ((std::tuple{l->PODetpgD()->order_no(), l->PODetpgD()->order_line_no(), l->POVHstD()->order_no()}),
            (std::tuple{"P2", 11, "P2"}));
  l->SageConnection(c_);
  EXPECT_EQ(l->PODetpgD()->SageConnection(), c_);
  EXPECT_EQ(l->POVHstD()->SageConnection(), c_);
  // Late-bound callers reach the very same companions.
  EXPECT_EQ(late::Get(*l, "PODetpgD").ToObject(), l->PODetpgD());
  EXPECT_EQ(late::Get(*l, "POVHstD").ToObject(), l->POVHstD());

  // A copy stores the numbers directly: the companions keep theirs.
  clsPODetailD other;
  FillLine(other, "P7", 70, 0);
  l->CopyFrom(other);
  EXPECT_EQ((std::tuple{l->order_no(), l->PODetpgD()->order_no(), l->POVHstD()->order_line_no()}),
            (std::tuple{"P7", "P2", 11}));
  // InitialiseValues stores directly too, and keeps the flags.
  l->UsePODetpgD = true;
  l->InitialiseValues();
  EXPECT_EQ(l->order_no(), "");
  EXPECT_EQ(l->weight(), 0.0);
  EXPECT_TRUE(l->UsePODetpgD());
  EXPECT_EQ(l->PODetpgD()->order_no(), "P2");
}

// A program built against the shared library assigns through its own copy
// of a column constant, at an address of its own: the line must still know
// which number it is handed. Copies stand in for the program's constants.
constexpr tables::Column kProgramsOrderNo = tables::OrderLineTable::order_no;
constexpr tables::Column kProgramsLineNo = tables::OrderLineTable::order_line_no;

TEST(OrderLineCompanions, NumbersAssignedThroughAnotherCopyOfTheColumnReachTheCompanions) {
  clsPODetailD line;
  line.order_no = "P1";
  line.order_line_no = 4;
  // A copy stores the line's numbers without handing them on.
  clsPODetailD other;
  other.order_no = "P2";
  other.order_line_no = 7;
  line.CopyFrom(other);
  ASSERT_EQ(line.PODetpgD()->order_no(), "P1");

  PassedProp<&kProgramsOrderNo, ValueKind::Text, Access::GetLet, clsPODetailD> order_no(line);
  order_no = "ignored";  // the program's property; the line hands on its own number
  EXPECT_EQ(line.PODetpgD()->order_no(), "P2");
  EXPECT_EQ(line.POVHstD()->order_no(), "P2");
  EXPECT_EQ(line.PODetpgD()->order_line_no(), 4);  // not what was handed on
  PassedProp<&kProgramsLineNo, ValueKind::Int16, Access::GetLet, clsPODetailD> order_line_no(line);
  order_line_no = 1;
  EXPECT_EQ(line.PODetpgD()->order_line_no(), 7);
  EXPECT_EQ(line.POVHstD()->order_line_no(), 7);
}

TEST_P(OrderLineTest, CopyFromTakesTheFlagsAndTheOtherCompanionsUnlessThisLineIsAComment) {
  clsPODetailD from;
  FillLine(from, "P1", 3, 0);
  from.UsePODetpgD = true;
  from.UsePOVHstD = true;
  from.UseIntrastats = true;
  FillAnalysis(*from.PODetpgD(), "X");
  from.POVHstD()->supplier = "SUP";
  from.POVHstD()->invoice_price = 5.0;

  clsPODetailD to;
  to.POVHstD()->invoice_price = 1.0;
  to.CopyFrom(from);
  ExpectSameLine(to, from);
  EXPECT_TRUE(to.UsePODetpgD());
  EXPECT_TRUE(to.UsePOVHstD());
  EXPECT_FALSE(to.UseIntrastats());
  ExpectSameAnalysis(*to.PODetpgD(), *from.PODetpgD());
  EXPECT_EQ(to.POVHstD()->supplier(), "SUP");
  EXPECT_EQ(to.POVHstD()->invoice_price(), 1.0);  // the history copy leaves amounts alone

  from.line_type = "C";
  clsPODetailD comment;
  comment.CopyFrom(from);
  EXPECT_EQ(comment.line_type(), "C");
  EXPECT_TRUE(comment.UsePODetpgD());
  ExpectResetAnalysis(*comment.PODetpgD());
  EXPECT_EQ(comment.POVHstD()->supplier(), "");

  // Without the other's flags its companions are not copied.
  from.line_type = "S";
  from.UsePODetpgD = false;
  clsPODetailD partial;
  partial.CopyFrom(from);
  ExpectResetAnalysis(*partial.PODetpgD());
  EXPECT_EQ(partial.POVHstD()->supplier(), "SUP");
}

// ---- invoicing and deleting ----------------------------------------------------------------

TEST_P(OrderLineTest, InvoicingAddsToTheStoredLineOnly) {
  Open();
  auto l = Write("P1", 1, "S", false, false);
  auto other = Write("P1", 2, "S", false, false);
  const double qty = l->inv_qty_to_date();
  const double value = l->inv_value_logged();
  l->UpdateForInvoice(2.5, 10.0);
  l->UpdateForInvoice(0.5, 1.25);
  const auto before = Statistics(*c_).executions;
  l->UpdateForInvoice(0, 0);
  EXPECT_EQ(Statistics(*c_).executions, before + 1);  // amounts of 0 still go to the database
  EXPECT_EQ(l->inv_qty_to_date(), qty);
  EXPECT_EQ(l->inv_value_logged(), value);
  EXPECT_EQ((std::tuple{Stored("P1", 1)->inv_qty_to_date(), Stored("P1", 1)->inv_value_logged(),
                        Stored("P1", 2)->inv_qty_to_date(), Stored("P1", 2)->inv_value_logged()}),
            (std::tuple{qty + 3.0, value + 11.25, other->inv_qty_to_date(), other->inv_value_logged()}));

  c_->Execute("drop table purchase_order_line");
  EXPECT_EQ(test::CatchError([&] { l->UpdateForInvoice(1, 1); }).Source(),
            "Line No.: 30 " + Inner() + "\r\nUpdateForInvoice of Class Module clsPODetailD");
}

TEST_P(OrderLineTest, DeletingAnOrderTakesItsRowsTableByTableAsTheFlagsSay) {
  Open("dualrate=1");
  for (const char* order : {"P1", "P2", "O'NEIL"}) {
    Write(order, 1, "S", true, true);
    Write(order, 2, "S", true, true);
  }
  auto d = NewLine();
  EXPECT_TRUE(d->DeleteForOrder().IsEmpty());
  // Without the flags the companions' rows stay.
  d->order_no = "P1";
  d->DeleteForOrder();
  EXPECT_EQ((std::tuple{Count("purchase_order_line"), Count("purchase_order_line_weight"),
                        Count("purchase_order_line_analysis"), Count("purchase_order_variance_history")}),
            (std::tuple{4u, 4u, 6u, 6u}));
  // With them, the companions delete the order their setters were given.
  d->UsePODetpgD = true;
  d->UsePOVHstD = true;
  d->order_no = "O'NEIL";
  d->DeleteForOrder();
  EXPECT_EQ((std::tuple{Count("purchase_order_line_analysis"), Count("purchase_order_variance_history"),
                        Count("purchase_order_variance_rate")}),
            (std::tuple{4u, 4u, 4u}));
  EXPECT_EQ(Rows("select distinct order_no from purchase_order_line"), (test::Rows{{"P2"}}));
}

TEST_P(OrderLineTest, BeforeRelease6WeightRowsAreFoundByTheBlankFilledOrderNumber) {
  Open("release=5");
  // The combined key cannot tell "P1" from its blank-filled form.
  Write("P1", 6, "S", false, false);
  Write("P1        ", 7, "S", false, false);
  Write("P10", 7, "S", false, false);
  EXPECT_EQ(Rows("select order_det_key from purchase_order_line_weight order by order_det_key"),
            (test::Rows{{"P1        "
                         "   6"},
                        {"P1        "
                         "   7"},
                        {"P10       "
                         "   7"}}));
  auto d = NewLine();
  d->order_no = "P1        ";
  d->DeleteForOrder();
  EXPECT_EQ(Rows("select order_det_key from purchase_order_line_weight"), (test::Rows{{"P10       "
                                                                                       "   7"}}));
  EXPECT_EQ(Rows("select order_no from purchase_order_line order by order_no"),
            (test::Rows{{"P1"}, {"P10"}}));
}

TEST(OrderLineLabels, WithoutAnOpenConnectionEachOperationFailsUnderItsLabels) {
  clsPODetailD l;
  test::MessageCapture messages;
  l.SageConnection(std::make_shared<Connection>());
  EXPECT_TRUE(messages.Messages().empty()) << "handing the connection on shows nothing";
  const auto source = [&](auto&& operation) { return test::CatchError(operation).Source(); };
  EXPECT_EQ(source([&] { l.InsertRow(); }),
            "Line No.: 10 Line No.: 10 TarnlowSTData\r\nPrepareInsertStatement of Class Module clsPODetailD "
            "Line#:10\r\nInsertRow of Class Module clsPODetailD Line#:10");
  EXPECT_EQ(source([&] { l.UpdateForInvoice(1, 1); }),
            "Line No.: 10 Line No.: 10 TarnlowSTData\r\nPrepareUpdateForInvoiceStatement of Class Module "
            "clsPODetailD\r\nUpdateForInvoice of Class Module clsPODetailD");
  EXPECT_EQ(source([&] { l.DeleteForOrder(); }),
            "Line No.: 10 TarnlowSTData\r\nDeleteForOrder of Class Module clsPODetailD Line#:10");
  EXPECT_EQ(source([&] { l.StartReadForOrder(); }),
            "Line No.: 30 TarnlowSTData\r\nStartReadForOrder of Class Module clsPODetailD Line#:30");
  EXPECT_EQ(source([&] { l.ReadIt(); }),
            "Line No.: 10 TarnlowSTData\r\nReadIt of Class Module clsPODetailD Line#:10");
  EXPECT_EQ(source([&] { l.PODetpgD()->DeleteForOrder(); }),
            "Line No.: 10 TarnlowSTData\r\nDeleteForOrder of Class Module clsPODetpgD");
  EXPECT_TRUE(messages.Messages().empty());
  // The walk's buffer was emptied before the failure: nothing to read.
  EXPECT_FALSE(l.ReadNextForOrder());
}

TARNLOW_ON_EVERY_BACKEND(OrderLineTest);

// ---- the class and its buffer --------------------------------------------------------------

TEST(OrderLineBuffer, KeysAreTheLineNumberWithASignPosition) {
  EXPECT_EQ((std::tuple{colPODetailD::LineKey(7), colPODetailD::LineKey(0), colPODetailD::LineKey(-3),
                        colPODetailD::LineKey(32767)}),
            (std::tuple{" 7", " 0", "-3", " 32767"}));

  colPODetailD lines;
  clsPODetailD l;
  for (std::int16_t n : {12, -1}) {
    l.order_line_no = n;
    l.description = "line " + std::to_string(n);
    lines.Add(l);
  }
  EXPECT_EQ(lines.Item(Variant(" 12"))->description(), "line 12");
  EXPECT_EQ(lines.Item(Variant("-1"))->description(), "line -1");
  EXPECT_EQ(test::CatchError([&] { lines.Item(Variant("12")); }).Number(), err::InvalidProcedureCall);
  l.order_line_no = 12;
  EXPECT_EQ(test::CatchError([&] { lines.Add(l); }).Number(), err::DuplicateKey);
}

}  // namespace
}  // namespace tarnlow
