// `tarnlowst run` and `tarnlowst classes` end to end: the built program on a
// real SQLite file.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <fstream>
#include <regex>
#include <sstream>

#include "tarnlow/tarnlow.h"
#include "test_support.h"

namespace tarnlow {
namespace {

struct Outcome {
  int status;
  std::string out;
  std::string err;
};

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

void WriteFile(const std::string& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
}

// Runs the program with the arguments (each already quoted as needed),
// feeding `input` to its standard input; its files go to `folder`. `limits`
// are shell commands run first, in the program's own shell.
Outcome RunProgram(const std::string& folder, const std::string& arguments, const std::string& input = "",
                   const std::string& limits = "") {
  const std::string in = folder + "/stdin", out = folder + "/stdout", err = folder + "/stderr";
  WriteFile(in, input);
  const std::string command = limits + std::string("'") + TARNLOWST_PROGRAM + "' " + arguments + " <'" + in +
                              "' >'" + out + "' 2>'" + err + "'";
  const int status = std::system(command.c_str());
  return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, ReadFile(out), ReadFile(err)};
}

class ProgramTest : public ::testing::Test {
 protected:
  void SetUp() override {
    auto c = db_.Open();
    c->Execute("insert into " + c->TableCatalogue()->ServiceTable() +
               " (service, unit_code, cost) values ('INSTALL', 'HOUR', 42.5), ('FREIGHT', 'EACH', 120)");
  }

  Outcome Program(const std::string& arguments, const std::string& input = "") {
    return RunProgram(db_.Folder(), arguments, input);
  }

  Outcome Script(const std::string& script) {
    const std::string file = db_.Folder() + "/script.txt";
    WriteFile(file, script);
    return Program("run '" + file + "'");
  }

  // The script's opening lines: a connection to the test database and a
  // service object on it.
  std::string Prelude() const {
    return "Set c = OpenConnection(\"" + db_.Text("kind=2") +
           "\")\n"
           "Set o = CreateObject(\"clsPORService\")\n"
           "Set o.SageConnection = c\n";
  }

  test::ScratchDatabase db_;
};

// The script comes from standard input here.
TEST_F(ProgramTest, TheVersionComesFromTheSharedLibraryTheProgramLoads) {
  const Outcome r =
      Program("run -", "Set v = CreateObject(\"clsTarnlowSTDataVer\")\nPrint v.TarnlowSTDataVer\n");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "\"libtarnlowstdata: 1.0.71\"\n");
}

TEST_F(ProgramTest, ExecutesStatementsAndPrintsRows) {
  const Outcome r =
      Script(Prelude() +
             "Set t = c.TableCatalogue\n"
             "c.Execute \"insert into \" & t.ServiceTable & \" (service, unit_code, cost) "
             "values ('O''BRIEN', 'DAY', 7.25)\"\n"
             "PrintRows c, \"select service, cost, unit_code from \" & t.ServiceTable & \" order by "
             "service\"\n"
             "PrintRows c, \"select service from \" & t.ServiceTable & \" where 1 = 0\"\n"
             "o.Service = \"O'BRIEN\"\n"
             "o.ReadIt\n"
             "Print o.cost\n");
  EXPECT_EQ(r.status, 0) << r.out;
  EXPECT_EQ(r.out,
            "\"FREIGHT\" 120 \"EACH\"\n"
            "\"INSTALL\" 42.5 \"HOUR\"\n"
            "\"O'BRIEN\" 7.25 \"DAY\"\n"
            "7.25\n");
}

TEST_F(ProgramTest, MessageBoxesPrintTheirStyleAndTextAndAnswerOK) {
  const Outcome r = Script(
      "MsgBox \"Stock \"\"low\"\"\" & vbCrLf & \"reorder\", vbExclamation\n"
      "answer = MsgBox(\"Go on?\", vbOKCancel, \"Title\")\n"
      "Print answer = vbOK\n"
      "MsgBox (\"plain\")\n");
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out,
            "MsgBox 48 \"Stock \"\"low\"\"\\r\\nreorder\"\n"
            "MsgBox 1 \"Go on?\"\n"
            "True\n"
            "MsgBox 0 \"plain\"\n");
}

TEST_F(ProgramTest, AnUnreadableScriptIsAUsageFailure) {
  const Outcome r = Program("run '" + db_.Folder() + "/missing.txt'");
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err, "tarnlowst: cannot read " + db_.Folder() + "/missing.txt\n");
}

TEST_F(ProgramTest, ListsOneClassByNameOrIdentityAndNamesAnUnknownOne) {
  // "classes --markdown" is held to docs/classes.md by the boundary test.
  const Outcome by_name = Program("classes clsporservice");
  EXPECT_EQ(by_name.status, 0);
  EXPECT_TRUE(by_name.out.starts_with("clsPORService  {E5A77673-5F20-4317-8289-426B2EDABAF5}"))
      << by_name.out;
  EXPECT_EQ(Program("classes '{E5A77673-5F20-4317-8289-426B2EDABAF5}'").out, by_name.out);
  const Outcome unknown = Program("classes clsNope");
  EXPECT_EQ(unknown.status, 1);
  EXPECT_EQ(unknown.err, "Error 429: TarnlowSTData: No class is registered as clsNope\n");
}

TEST_F(ProgramTest, HelpAndVersionGoToStandardOutput) {
  const Outcome help = Program("--help");
  EXPECT_EQ(help.status, 0);
  EXPECT_EQ(help.err, "");
  EXPECT_TRUE(help.out.starts_with("usage: tarnlowst demo [CONNECTION]\n")) << help.out;
  for (const char* command : {"demo", "init", "run", "classes", "help"})
    EXPECT_NE(help.out.find(std::string("tarnlowst ") + command), std::string::npos) << command;
  EXPECT_EQ(Program("help").out, help.out);
  EXPECT_EQ(Program("-h").out, help.out);

  const Outcome one = Program("help classes");
  EXPECT_EQ(one.status, 0);
  EXPECT_TRUE(one.out.starts_with("usage: tarnlowst classes [NAME | --markdown]\n")) << one.out;
  EXPECT_NE(one.out.find("--markdown"), std::string::npos);
  EXPECT_EQ(Program("classes --help").out, one.out);
  EXPECT_NE(Program("help init").out.find("CONNECTION is sqlite:PATH"), std::string::npos);

  const Outcome version = Program("--version");
  EXPECT_EQ(version.status, 0);
  EXPECT_EQ(version.out, "tarnlowst 1.0.71\nlibtarnlowstdata: 1.0.71 (type library TarnlowSTData 2.15)\n");
}

TEST_F(ProgramTest, AWrongCommandOrOptionGivesTheUsageOnStandardErrorAndStatus2) {
  const std::string usage = Program("--help").out;
  for (const std::string arguments : {"", "bogus", "--bogus", "-x", "help bogus", "classes --bogus",
                                      "--version x", "init", "run", "classes a b"}) {
    SCOPED_TRACE(arguments);
    const Outcome r = Program(arguments);
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.out, "");
    EXPECT_TRUE(r.err.ends_with(usage)) << r.err;
  }
  EXPECT_EQ(Program("--bogus").err, "tarnlowst: unknown option --bogus\n" + usage);
  EXPECT_EQ(Program("help bogus").err, "tarnlowst: no command bogus\n" + usage);
}

// `init` is run by the schema check tests, the demos on a given database below.
// The demos themselves run on every engine below.
TEST_F(ProgramTest, TheDemoCommandTakesOneConnectionAtMost) {
  EXPECT_EQ(Program("demo order a b").status, 2);
  EXPECT_NE(Program("help demo").out.find("usage: tarnlowst demo order [CONNECTION]\n"), std::string::npos);
}

// ---- refusals ----------------------------------------------------------------

TEST_F(ProgramTest, ARunGivenAFolderFailsWithAnErrorRecord) {
  const Outcome r = Program("run '" + db_.Folder() + "'");
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err, "Error 75: TarnlowSTData: Path/File access error: " + db_.Folder() +
                       " is a folder, not a script file\n");
}

TEST_F(ProgramTest, OutputThatCannotBeWrittenFailsEveryCommandWithAMessage) {
  const std::string script = db_.Folder() + "/print.txt";
  WriteFile(script, "Print 1\n");
  const std::string err = db_.Folder() + "/stderr";
  const std::string commands[] = {"--version", "classes",    "classes clsPORService",
                                  "demo",      "demo order", "run '" + script + "'"};
  for (const std::string& arguments : commands) {
    const std::string command =
        std::string("'") + TARNLOWST_PROGRAM + "' " + arguments + " </dev/null >/dev/full 2>'" + err + "'";
    const int status = std::system(command.c_str());
    ASSERT_TRUE(WIFEXITED(status)) << arguments;
    EXPECT_EQ(WEXITSTATUS(status), 1) << arguments;
    EXPECT_EQ(ReadFile(err), "tarnlowst: cannot write standard output\n") << arguments;
  }
  // A wrong command writes only to standard error: it keeps its status 2.
  const std::string command = std::string("'") + TARNLOWST_PROGRAM + "' bogus >/dev/full 2>'" + err + "'";
  const int status = std::system(command.c_str());
  EXPECT_EQ(WIFEXITED(status) ? WEXITSTATUS(status) : -1, 2);
  EXPECT_EQ(ReadFile(err).find("cannot write"), std::string::npos);
}

TEST_F(ProgramTest, AScriptTooLargeForTheMemoryLeftEndsWithError7) {
#if defined(__SANITIZE_ADDRESS__)
  GTEST_SKIP() << "the address sanitizer reserves more address space than any memory limit leaves";
#else
  // 18 MB of ordinary statements, parsed under a 128 MB address-space limit:
  // the parser runs out of memory part way and nothing of the script runs.
  std::string script;
  const std::string lines =
      "x = x + 1\nPrint \"abc\", y * 2.5, #2000-01-01#\nIf x > 3 Then y = Left(\"abcdef\", 2) Else y = 0\n";
  while (script.size() < 18u << 20) script += lines;
  const std::string file = db_.Folder() + "/big.txt";
  WriteFile(file, script);
  script.clear();
  script.shrink_to_fit();
  const Outcome r = RunProgram(db_.Folder(), "run '" + file + "'", "", "ulimit -v 131072; ");
  EXPECT_EQ(r.status, 1) << r.err;
  EXPECT_TRUE(std::regex_match(
      r.out, std::regex("Error 7 at line [1-9][0-9]*: \"TarnlowSTData\": \"Out of memory\"\n")))
      << r.out.substr(0, 300);
  EXPECT_EQ(r.err, "");
#endif
}

// The demo on a database that already holds an earlier run's sample: a fresh
// order, the stock items kept with the new order added to what they have on order.
class DemoTest : public ::testing::TestWithParam<std::string> {
 protected:
  test::ScratchDatabase db_{GetParam()};
};

TEST_P(DemoTest, RunsAgainOnTheSameDatabaseWithAFreshOrder) {
  const std::string demo = "demo '" + db_.Text() + "'";
  const Outcome first = RunProgram(db_.Folder(), demo);
  ASSERT_EQ(first.status, 0) << first.out << first.err;
  EXPECT_NE(
      first.out.find("  sample purchase order PO1001 from ACME01 with two stock lines, their stock items "
                     "and category RAW\n"),
      std::string::npos)
      << first.out;
  EXPECT_NE(first.out.find("on order 400 -> 250"), std::string::npos) << first.out;
  const Outcome second = RunProgram(db_.Folder(), demo);
  ASSERT_EQ(second.status, 0) << second.out << second.err;
  EXPECT_EQ(second.err, "");
  for (const char* expected :
       {"  sample purchase order PO1002 from ACME01 with two stock lines\n  stock items and category RAW "
        "kept from an earlier run",
        "Order PO1002: supplier ACME01", "physical 1150 -> 1300, on order 650 -> 500",
        "Receipt audit row R01002 written",
        "Rows now: 2 movement history, 2 batch, 4 ledger movements, 2 receipt audit\n"})
    EXPECT_NE(second.out.find(expected), std::string::npos) << expected << "\n" << second.out;

  const auto c = db_.OpenBare();
  const auto t = c->TableCatalogue();
  EXPECT_EQ(test::Select(*c, "select order_no from " + t->OrderHeaderTable() + " order by order_no"),
            (test::Rows{{"PO1001"}, {"PO1002"}}));
  const test::Rows stock = test::Select(
      *c, "select physical_qty, on_order_qty from " + t->StockTable() + " where product = 'BOLT-M8'");
  ASSERT_EQ(stock.size(), 1u);
  EXPECT_EQ(stock[0][0].ToDouble(), 1300);
  EXPECT_EQ(stock[0][1].ToDouble(), 500);
}

TARNLOW_ON_EVERY_BACKEND(DemoTest);

// The purchase-order demo: what its summary reports is what the database holds.
class OrderDemoTest : public ::testing::TestWithParam<std::string> {
 protected:
  // The figures of the summary line that starts with `prefix`, in order.
  static std::vector<double> Figures(const std::string& out, const std::string& prefix) {
    const std::size_t at = out.rfind(prefix);
    EXPECT_NE(at, std::string::npos) << prefix << "\n" << out;
    if (at == std::string::npos) return {};
    const std::string line = out.substr(at + prefix.size(), out.find('\n', at) - at - prefix.size());
    std::vector<double> figures;
    const std::regex number("-?[0-9]+(\\.[0-9]+)?");
    for (auto it = std::sregex_iterator(line.begin(), line.end(), number); it != std::sregex_iterator(); ++it)
      figures.push_back(std::stod(it->str()));
    return figures;
  }
  double One(const std::string& sql) {
    const test::Rows rows = test::Select(*c_, sql);
    EXPECT_EQ(rows.size(), 1u) << sql;
    return rows.empty() ? -1 : rows[0][0].ToDouble();
  }
  // The rows of an order in the tables the summary counts, in its order.
  std::vector<double> Counted(const std::string& order) {
    const auto t = c_->TableCatalogue();
    const std::string by_order = " where order_no = '" + order + "'";
    const std::string by_key = " where substr(record_key, 1, 10) = '    " + order + "'";
    std::vector<double> out;
    for (const std::string& table :
         {t->OrderHeaderTable(), t->OrderFaxTable(), t->OrderVatStateTable(), t->OrderLineTable(),
          t->OrderLineAnalysisTable(), t->VarianceHistoryTable(), t->OrderLineWeightTable()})
      out.push_back(One("select count(*) from " + table + by_order));
    for (const std::string& table :
         {t->NominalAnalysisTable(), t->ProjectAnalysisTable(), t->RetentionAnalysisTable()})
      out.push_back(One("select count(*) from " + table + by_key));
    return out;
  }

  test::ScratchDatabase db_{GetParam()};
  std::shared_ptr<Connection> c_;
};

TEST_P(OrderDemoTest, TheSummaryFiguresAreWhatTheDatabaseHolds) {
  const std::string demo = "demo order '" + db_.Text() + "'";
  const Outcome first = RunProgram(db_.Folder(), demo);
  ASSERT_EQ(first.status, 0) << first.out << first.err;
  EXPECT_EQ(first.err, "");
  c_ = db_.OpenBare();

  // After the copy was deleted: the order whole, the copy gone.
  const std::vector<double> order_rows = Figures(first.out, "  rows of PO5001: ");
  EXPECT_EQ(order_rows, (std::vector<double>{1, 1, 1, 3, 2, 2, 3, 2, 2, 2})) << first.out;
  EXPECT_EQ(order_rows, Counted("PO5001"));
  EXPECT_EQ(Figures(first.out, "  rows of PO5002: "), Counted("PO5002"));
  EXPECT_EQ(Counted("PO5002"), std::vector<double>(10, 0));
  // While it existed the copy had the lines, analysis and project rows.
  const std::size_t copied = first.out.find("  rows of PO5002: ");
  ASSERT_NE(copied, std::string::npos);
  EXPECT_EQ(Figures(first.out.substr(0, first.out.find('\n', copied)), "  rows of PO5002: "),
            (std::vector<double>{1, 1, 1, 3, 2, 0, 3, 2, 2, 0}));

  const auto t = c_->TableCatalogue();
  EXPECT_EQ(Figures(first.out, "lines walked, order value ").at(0),
            One("select sum(local_expect_cost) from " + t->OrderLineTable() + " where order_no = 'PO5001'"));
  const std::vector<double> invoice = Figures(first.out, "the line now shows ");
  ASSERT_EQ(invoice.size(), 2u);
  EXPECT_EQ(invoice[0], One("select inv_qty_to_date from " + t->OrderLineTable() +
                            " where order_no = 'PO5001' and order_line_no = '   3'"));
  EXPECT_EQ(invoice[1], One("select inv_value_logged from " + t->OrderLineTable() +
                            " where order_no = 'PO5001' and order_line_no = '   3'"));
  EXPECT_EQ(invoice, (std::vector<double>{12, 87}));
  // The copy's quantities went on order and came off again.
  const std::string on_order = "select on_order_qty from " + t->StockTable() + " where product = ";
  EXPECT_EQ(Figures(first.out, "  on order now: "),
            (std::vector<double>{One(on_order + "'CPUMP-L'"), One(on_order + "'SEAL-KIT'")}));
  EXPECT_EQ(One(on_order + "'CPUMP-L'"), 4);

  // A second run writes the next free number and adds to the items' quantities.
  const Outcome second = RunProgram(db_.Folder(), demo);
  ASSERT_EQ(second.status, 0) << second.out << second.err;
  EXPECT_EQ(Figures(second.out, "  rows of PO5002: "), Counted("PO5002"));
  EXPECT_EQ(Counted("PO5002")[3], 3);
  EXPECT_EQ(Counted("PO5003"), std::vector<double>(10, 0));
  EXPECT_EQ(One(on_order + "'SEAL-KIT'"), 40);
}

TARNLOW_ON_EVERY_BACKEND(OrderDemoTest);

}  // namespace
}  // namespace tarnlow
