// Nominal analysis of order lines: the record key, the three inserts and
// when the companions write, the walk over one line's entries in each
// dialect, the key-prefix deletes, the copy rules and the error exits.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <tuple>
#include <vector>

#include "fault_database.h"
#include "order/clsPONLCodeG.h"
#include "order/colPONLCodeD.h"
#include "tarnlow/tarnlow.h"
#include "test_support.h"

namespace tarnlow {
namespace {

// The key of order PO1234, line 3, as every "O" entry of that line has it.
const std::string kLineKey = "    PO1234   3";

// ---- keys, without a database ------------------------------------------------

TEST(AnalysisKeyTest, TheRecordKeyRightAlignsOrderAndLineBehindTheSupplier) {
  clsPONLCodeD e;
  e.orderNo = "PO1234";
  e.LineNo = 3;
  EXPECT_EQ(e.record_type(), "O");
  EXPECT_EQ(e.record_key(), kLineKey);
  e.record_type = "S";
  e.supplier = "SUP01";
  EXPECT_EQ(e.record_key(), "   SUP01" + kLineKey);
  EXPECT_EQ(e.record_key().size(), 22u);
  e.record_type = "O";
  e.supplier = "MUCH TOO LONG";  // the supplier is no part of an "O" key
  e.LineNo = -5;
  EXPECT_EQ(e.record_key(), "    PO1234  -5");
  e.LineNo = 0;
  EXPECT_EQ(e.record_key(), "    PO1234   0");
  e.LineNo = 12345;  // " 12345" keeps its leftmost four characters
  EXPECT_EQ(e.record_key(), "    PO1234 123");
  e.orderNo = "0123456789";
  e.LineNo = 999;
  EXPECT_EQ(e.record_key(), "0123456789 999");
}

TEST(AnalysisKeyTest, APartThatDoesNotFitFailsTheKeyThroughItsDirectExit) {
  clsPONLCodeD e;
  e.orderNo = "PO12345678X";  // eleven characters
  Error error = test::ExpectError([&] { e.record_key(); }, err::InvalidProcedureCall,
                                  "TarnlowSTData\r\nrecord_key of Class Module clsPONLCodeD Line#:20");
  e.orderNo = "PO1";
  e.record_type = "S";
  e.supplier = "SUPPLIER9";
  error = test::CatchError([&] { e.record_key(); });
  EXPECT_EQ(error.Source(), "TarnlowSTData\r\nrecord_key of Class Module clsPONLCodeD Line#:40");
}

TEST(AnalysisKeyTest, PageNumbersAreSixDigitsWithLeadingZeros) {
  clsPONLCodeD e;
  EXPECT_EQ(e.FormattedPageNumber(), "000000");
  e.page_number = 32767;
  EXPECT_EQ(e.FormattedPageNumber(), "032767");
  e.page_number = -7;
  EXPECT_EQ(e.FormattedPageNumber(), "-000007");
}

// ---- on the databases ------------------------------------------------------------

class NominalAnalysisTest : public ::testing::TestWithParam<std::string> {
 protected:
  std::shared_ptr<Connection> Open(const std::string& options = "") {
    std::string all = "trace=" + trace_;
    if (!options.empty()) all += "&" + options;
    return db_.Open(all);
  }
  std::shared_ptr<clsPONLCodeD> Entry(const std::string& order, std::int16_t line, std::int16_t page,
                                      const std::shared_ptr<Connection>& c = nullptr) {
    auto e = std::make_shared<clsPONLCodeD>();
    e->SageConnection(c ? c : c_);
    e->orderNo = order;
    e->LineNo = line;
    e->page_number = page;
    e->nominal_code = "N" + std::to_string(line) + "-" + std::to_string(page);
    e->code_value = line * 100 + page + 0.5;
    e->sp_code_value = page + 0.25;
    e->exp_code = "E" + std::to_string(page);
    e->jc_code = "J" + std::to_string(page);
    return e;
  }
  // An entry that writes both companions, with a project code.
  std::shared_ptr<clsPONLCodeD> FullEntry(const std::string& order, std::int16_t line,
                                          const std::shared_ptr<Connection>& c = nullptr) {
    auto e = Entry(order, line, 1, c);
    e->InsertPONLExtD = true;
    e->InsertPONLExtG = true;
    e->proj_code("P");
    return e;
  }
  // A reader of one line's entries that holds nothing else.
  std::shared_ptr<clsPONLCodeD> Reader(const std::string& order, std::int16_t line) {
    auto r = std::make_shared<clsPONLCodeD>();
    r->SageConnection(c_);
    r->orderNo = order;
    r->LineNo = line;
    return r;
  }
  test::Rows Rows(const std::string& sql) { return test::Select(*c_, sql); }
  std::size_t RowCount(const std::string& table) { return Rows("select record_key from " + table).size(); }
  // The page numbers a walk over one line yields, in page order.
  std::vector<std::int16_t> Walk(clsPONLCodeD& reader) {
    std::vector<std::int16_t> pages;
    while (reader.ReadNextForOrderDetailLine()) pages.push_back(reader.page_number());
    std::sort(pages.begin(), pages.end());
    return pages;
  }
  std::string Inner() const { return test::EngineSource(GetParam()); }

  test::ScratchDatabase db_{GetParam()};
  std::string trace_ = db_.Folder() + "/trace.sql";
  std::shared_ptr<Connection> c_ = Open();
};

TEST_P(NominalAnalysisTest, AnEntryIsWrittenWithItsCompanionsAsTheFlagsSay) {
  auto e = Entry("PO1234", 3, 12);
  e->InsertPONLExtD = true;
  e->InsertPONLExtG = true;
  e->proj_code("PRJ");
  e->exprev_code("REV");
  e->pr_period("0324");
  e->retention_code("RET");
  e->non_recov_vat("NRV");
  e->retention_type("RT");
  e->InsertRow();

  const std::string key = "select record_key, page_number, record_type, ";
  EXPECT_EQ(Rows(key + "exp_code, jc_code, nominal_code, code_value, sp_code_value from "
                       "order_line_nominal_analysis"),
            (test::Rows{{kLineKey, "000012", "O", "E12", "J12", "N3-12", 312.5, 12.25}}));
  EXPECT_EQ(Rows(key + "proj_code, exprev_code, pr_period from order_line_project_analysis"),
            (test::Rows{{kLineKey, "000012", "O", "PRJ", "REV", "0324"}}));
  EXPECT_EQ(Rows(key + "retention_code, non_recov_vat, retention_type from order_line_retention_analysis"),
            (test::Rows{{kLineKey, "000012", "O", "RET", "NRV", "RT"}}));
}

TEST_P(NominalAnalysisTest, TheProjectRowNeedsACodeTheRetentionRowNeedsOnlyItsFlag) {
  auto e = Entry("PO1234", 3, 1);
  e->InsertPONLExtD = true;
  e->proj_code("   ");  // blank is no code
  e->InsertRow();
  EXPECT_EQ(RowCount("order_line_nominal_analysis"), 1u);
  EXPECT_EQ(RowCount("order_line_project_analysis"), 0u);
  EXPECT_EQ(RowCount("order_line_retention_analysis"), 0u);

  e->page_number = 2;
  e->exprev_code("REV");  // one code is enough
  e->InsertRow();
  EXPECT_EQ(RowCount("order_line_project_analysis"), 1u);

  auto g = Entry("PO1234", 3, 3);
  g->proj_code("PRJ");       // a code, but no flag
  g->InsertPONLExtG = true;  // empty retention fields still make a row
  g->InsertRow();
  EXPECT_EQ(RowCount("order_line_project_analysis"), 1u);
  EXPECT_EQ(Rows("select retention_code, page_number from order_line_retention_analysis"),
            (test::Rows{{"", "000003"}}));
}

TEST_P(NominalAnalysisTest, AWalkYieldsTheEntriesOfOneLineAsWritten) {
  for (std::int16_t page : {2, 1, 3}) Entry("PO1234", 3, page)->InsertRow();
  Entry("PO1234", 4, 9)->InsertRow();   // another line
  Entry("PO12345", 3, 8)->InsertRow();  // another order
  auto other = Entry("PO1234", 3, 7);
  other->record_type = "S";  // another kind of key
  other->supplier = "SUP";
  other->InsertRow();

  auto reader = Reader("PO1234", 3);
  reader->proj_code("stale");
  reader->StartReadForOrderDetailLine();
  std::vector<std::int16_t> pages;
  while (reader->ReadNextForOrderDetailLine()) {
    pages.push_back(reader->page_number());
    // Each entry comes back as written, its key split into order and line.
    EXPECT_EQ((std::tuple{reader->orderNo(), reader->LineNo(), reader->record_type(), reader->nominal_code(),
                          reader->code_value(), reader->sp_code_value(), reader->exp_code()}),
              (std::tuple{"    PO1234", 3, "O", "N3-" + std::to_string(reader->page_number()),
                          300 + reader->page_number() + 0.5, reader->page_number() + 0.25,
                          "E" + std::to_string(reader->page_number())}));
    EXPECT_EQ(reader->jc_code(), "") << "jc_code is not read";
    EXPECT_EQ(reader->proj_code(), "") << "no project row: empty project fields";
  }
  std::sort(pages.begin(), pages.end());
  EXPECT_EQ(pages, (std::vector<std::int16_t>{1, 2, 3}));
  EXPECT_FALSE(reader->ReadNextForOrderDetailLine());
  // Restart walks the same entries again without a query.
  const auto selects = test::Traced(trace_, "select t1.*").size();
  reader->RestartReadForOrderDetailLine();
  EXPECT_EQ(Walk(*reader), (std::vector<std::int16_t>{1, 2, 3}));
  EXPECT_EQ(test::Traced(trace_, "select t1.*").size(), selects);

  // A line without entries ends at once, and a new walk forgets the old one.
  reader->LineNo = 5;
  reader->StartReadForOrderDetailLine();
  EXPECT_FALSE(reader->ReadNextForOrderDetailLine());

  // Null codes read as empty text; the amounts have no such rule.
  c_->Execute(
      "insert into order_line_nominal_analysis (record_key, page_number, record_type, code_value, "
      "sp_code_value, nominal_code, exp_code) values ('    PO1234   6', '000001', 'O', 1, 2, NULL, NULL)");
  reader->LineNo = 6;
  reader->nominal_code = "old";
  reader->StartReadForOrderDetailLine();
  ASSERT_TRUE(reader->ReadNextForOrderDetailLine());
  EXPECT_EQ(reader->nominal_code(), "");
  EXPECT_EQ(reader->exp_code(), "");
  c_->Execute(
      "update order_line_nominal_analysis set sp_code_value = NULL where record_key = '    PO1234   6'");
  EXPECT_EQ(test::CatchError([&] { reader->StartReadForOrderDetailLine(); }).Number(), err::InvalidUseOfNull);
}

TEST_P(NominalAnalysisTest, ProjectRowsJoinEveryEntryOfTheirLineByRecordKey) {
  // The join names the record key alone, which every entry of a line
  // shares: a line's project row reaches each of its entries, and two
  // project rows give each entry twice.
  for (std::int16_t page : {1, 2}) Entry("PO1234", 3, page)->InsertRow();
  auto with_project = Entry("PO1234", 3, 3);
  with_project->InsertPONLExtD = true;
  with_project->proj_code("PRJ");
  with_project->pr_period("0624");
  with_project->InsertRow();

  auto reader = Reader("PO1234", 3);
  reader->StartReadForOrderDetailLine();
  std::vector<std::string> seen;
  while (reader->ReadNextForOrderDetailLine())
    seen.push_back(std::to_string(reader->page_number()) + ":" + reader->proj_code() + "/" +
                   reader->pr_period());
  std::sort(seen.begin(), seen.end());
  EXPECT_EQ(seen, (std::vector<std::string>{"1:PRJ/0624", "2:PRJ/0624", "3:PRJ/0624"}));

  with_project->page_number = 4;
  with_project->proj_code("PRJ2");
  with_project->InsertRow();
  reader->StartReadForOrderDetailLine();
  EXPECT_EQ(Walk(*reader), (std::vector<std::int16_t>{1, 1, 2, 2, 3, 3, 4, 4}));
}

TEST_P(NominalAnalysisTest, DeletesTakeEveryRowWhoseKeyStartsWithTheBlankFilledOrder) {
  for (const char* kind : {"1", "3"}) {
    SCOPED_TRACE(kind);
    auto c = Open(std::string("kind=") + kind);
    for (std::int16_t line : {1, 2}) FullEntry("PO1234", line, c)->InsertRow();
    FullEntry("PO123", 1, c)->InsertRow();

    auto remover = Entry("PO1234", 0, 0, c);  // the order as the caller knows it matches no key
    remover->DeleteForOrder();
    EXPECT_EQ(RowCount("order_line_nominal_analysis"), 3u);
    remover->orderNo = "    PO1234";
    remover->DeleteForOrder();
    const char* const tables[] = {"order_line_nominal_analysis", "order_line_project_analysis",
                                  "order_line_retention_analysis"};
    for (const char* table : tables)
      EXPECT_EQ(Rows(std::string("select record_key from ") + table), (test::Rows{{"     PO123   1"}}))
          << table;
    Entry("     PO123", 0, 0, c)->DeleteForOrder();
    for (const char* table : tables) EXPECT_EQ(RowCount(table), 0u) << table;
  }
}

TEST_P(NominalAnalysisTest, FailuresReportThroughTheDirectOrTheSavedExit) {
  // The key fails inside InsertRow: nothing is written.
  auto e = Entry("PO12345678X", 1, 1);
  Error error = test::ExpectError([&] { e->InsertRow(); }, err::InvalidProcedureCall,
                                  "TarnlowSTData\r\nrecord_key of Class Module clsPONLCodeD Line#:20\r\n"
                                  "InsertRow of Class Module clsPONLCodeD Line#:30");
  EXPECT_EQ(RowCount("order_line_nominal_analysis"), 0u);
  // ... and inside the walk, whose label has no line.
  error = test::CatchError([&] { e->StartReadForOrderDetailLine(); });
  EXPECT_EQ(error.Source(),
            "Line No.: 30 TarnlowSTData\r\nrecord_key of Class Module clsPONLCodeD Line#:20\r\n"
            "StartReadForOrderDetailLine of Class Module clsPONLCodeD");

  // A failing retention row leaves the entry (and its project row) written.
  auto faulty = test::OpenWithFaults(db_);
  faulty.faults->Add({.prefix = "INSERT INTO order_line_retention", .source = "Ret"});
  auto f = FullEntry("PO1", 1, faulty.connection);
  error = test::ExpectError([&] { f->InsertRow(); }, DbFailure,
                            "Ret\r\nInsertRow of Class Module clsPONLCodeG Line#:30\r\n"
                            "InsertRow of Class Module clsPONLCodeD Line#:100");
  EXPECT_EQ(RowCount("order_line_nominal_analysis"), 1u);
  EXPECT_EQ(RowCount("order_line_project_analysis"), 1u);
  EXPECT_EQ(RowCount("order_line_retention_analysis"), 0u);

  // The delete of the project rows fails: the analysis rows are gone, the
  // retention rows stay.
  faulty.faults->Add({.prefix = "delete from order_line_project", .source = "Del"});
  f->orderNo = "       PO1";
  error = test::CatchError([&] { f->DeleteForOrder(); });
  EXPECT_EQ(error.Source(),
            "Del\r\nDeleteForOrder of Class Module clsPONLExtD Line#:20\r\n"
            "DeleteForOrder of Class Module clsPONLCodeD Line#:30");
  EXPECT_EQ(RowCount("order_line_nominal_analysis"), 0u);
  EXPECT_EQ(RowCount("order_line_project_analysis"), 1u);

  // A row that cannot be copied fails the walk with both labels.
  c_->Execute(
      "insert into order_line_nominal_analysis (record_key, page_number, record_type, code_value) "
      "values ('       PO2   1', '000001', NULL, 1)");
  auto reader = Entry("PO2", 1, 0);
  error =
      test::ExpectError([&] { reader->StartReadForOrderDetailLine(); }, err::InvalidUseOfNull,
                        "Line No.: 60 Line No.: 10 TarnlowSTData\r\nCopyFromRS of Class Module clsPONLCodeD "
                        "Line#:10\r\nStartReadForOrderDetailLine of Class Module clsPONLCodeD");
  // A page number that is no number fails there too.
  c_->Execute("update order_line_nominal_analysis set record_type = 'O', page_number = 'PAGE'");
  error = test::CatchError([&] { reader->StartReadForOrderDetailLine(); });
  EXPECT_EQ(error.Number(), err::TypeMismatch);
  EXPECT_NE(error.Source().find("CopyFromRS of Class Module clsPONLCodeD Line#:50"), std::string::npos);
}

TEST_P(NominalAnalysisTest, TheProjectCompanionReadsCopiesAndDeletesOnItsOwn) {
  clsPONLExtD ext;
  ext.SageConnection(c_);
  ext.record_key = kLineKey;
  ext.page_number = "000004";
  ext.record_type = "O";
  ext.proj_code = "PRJ";
  ext.exprev_code = "REV";
  ext.pr_period = "0124";
  ext.InsertRow();
  c_->Execute("update order_line_project_analysis set pr_period = NULL");

  clsPONLExtD read;
  read.SageConnection(c_);
  read.record_key = kLineKey;
  read.pr_period = "old";
  read.ReadForOrderLine();
  EXPECT_EQ(read.proj_code(), "PRJ");
  EXPECT_EQ(read.exprev_code(), "REV");
  EXPECT_EQ(read.page_number(), "000004");
  EXPECT_EQ(read.pr_period(), "");  // Null reads as empty text

  read.record_key = "    PO1234   9";
  test::ExpectError([&] { read.ReadForOrderLine(); }, vbObjectError,
                    "Line No.: 20 TarnlowSTData\r\nReadForOrderLine of Class Module clsPONLExtD Line#:20");
  EXPECT_EQ(read.proj_code(), "PRJ");

  std::string order = "    PO1234";
  EXPECT_TRUE(ext.DeleteForOrder(order).IsEmpty());
  EXPECT_EQ(order, "    PO1234");
  EXPECT_EQ(RowCount("order_line_project_analysis"), 0u);
}

TARNLOW_ON_EVERY_BACKEND(NominalAnalysisTest);

// ---- copies and the private collection ---------------------------------------------

TEST(NominalAnalysisCopyTest, CopyFromTakesTheEntryAndProjectFieldsButNotRetentionOrFlags) {
  clsPONLCodeD from;
  from.orderNo = "PO1";
  from.LineNo = 4;
  from.supplier = "SUP";
  from.record_type = "S";
  from.page_number = 9;
  from.nominal_code = "4000";
  from.exp_code = "EXP";
  from.jc_code = "JC";
  from.code_value = 1.5;
  from.sp_code_value = 2.5;
  from.proj_code("PRJ");
  from.exprev_code("REV");
  from.pr_period("0101");
  from.retention_code("RET");
  from.non_recov_vat("NRV");
  from.retention_type("RT");
  from.InsertPONLExtD = true;
  from.InsertPONLExtG = true;

  clsPONLCodeD to;
  to.CopyFrom(from);
  EXPECT_EQ(
      (std::tuple{to.record_key(), to.page_number(), to.nominal_code(), to.exp_code(), to.jc_code(),
                  to.code_value(), to.sp_code_value(), to.proj_code(), to.exprev_code(), to.pr_period(),
                  to.retention_code(), to.non_recov_vat(), to.retention_type()}),
      (std::tuple{from.record_key(), 9, "4000", "EXP", "JC", 1.5, 2.5, "PRJ", "REV", "0101", "", "", ""}));
  EXPECT_FALSE(to.InsertPONLExtD());
  EXPECT_FALSE(to.InsertPONLExtG());
  // The project fields are the copy's own.
  from.proj_code("OTHER");
  EXPECT_EQ(to.proj_code(), "PRJ");
}

TEST(NominalAnalysisClassTest, WithoutAnOpenConnectionEachOperationNamesWhereItFailed) {
  test::MessageCapture messages;
  clsPONLCodeD e;
  e.SageConnection(std::make_shared<Connection>());
  e.orderNo = "PO1";
  EXPECT_EQ(test::CatchError([&] { e.InsertRow(); }).Source(),
            "TarnlowSTData\r\nPrepareInsertStatement of Class Module clsPONLCodeD Line#:20\r\n"
            "InsertRow of Class Module clsPONLCodeD Line#:10");
  EXPECT_EQ(test::CatchError([&] { e.DeleteForOrder(); }).Source(),
            "TarnlowSTData\r\nDeleteForOrder of Class Module clsPONLCodeD Line#:10");
  EXPECT_EQ(test::CatchError([&] { e.StartReadForOrderDetailLine(); }).Source(),
            "Line No.: 30 TarnlowSTData\r\nStartReadForOrderDetailLine of Class Module clsPONLCodeD");
  clsPONLExtD ext;
  ext.SageConnection(std::make_shared<Connection>());
  EXPECT_EQ(test::CatchError([&] { ext.ReadForOrderLine(); }).Source(),
            "Line No.: 10 TarnlowSTData\r\nReadForOrderLine of Class Module clsPONLExtD Line#:10");
  EXPECT_TRUE(messages.Messages().empty());
}

}  // namespace
}  // namespace tarnlow
