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

class ProgramTest : public ::testing::Test {
 protected:
  void SetUp() override {
    auto c = db_.Open();
    c->Execute("insert into " + c->TableCatalogue()->ServiceTable() +
               " (service, unit_code, cost) values ('INSTALL', 'HOUR', 42.5), ('FREIGHT', 'EACH', 120)");
  }

  // Runs the program with the arguments (each already quoted as needed),
  // feeding `input` to its standard input.
  Outcome Program(const std::string& arguments, const std::string& input = "") {
    const std::string in = db_.Folder() + "/stdin", out = db_.Folder() + "/stdout",
                      err = db_.Folder() + "/stderr";
    WriteFile(in, input);
    const std::string command = std::string("'") + TARNLOWST_PROGRAM + "' " + arguments + " <'" + in +
                                "' >'" + out + "' 2>'" + err + "'";
    const int status = std::system(command.c_str());
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, ReadFile(out), ReadFile(err)};
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

TEST_F(ProgramTest, ReadsATableObjectLateBound) {
  const Outcome r = Script(Prelude() +
                           "o.Service = \"FREIGHT\"\n"
                           "o.ReadIt\n"
                           "Print o.cost, o.unit_code, o.Service, TypeName(o)\n"
                           "Set s = CreateObject(\"{e5a77673-5f20-4317-8289-426b2edabaf5}\")\n"
                           "Set s.SageConnection = c\n"
                           "s.SERVICE = \"INSTALL\"\n"
                           "s.readit\n"
                           "Print s.Cost, s Is o, s.SageConnection Is o.SageConnection\n"
                           "Set t = c.TableCatalogue\n"
                           "Print t.ServiceTable, t.OrderHeaderTable, c.DatabaseKind\n");
  EXPECT_EQ(r.status, 0) << r.out << r.err;
  EXPECT_EQ(r.out,
            "120 \"EACH\" \"FREIGHT\" \"clsPORService\"\n"
            "42.5 False True\n"
            "\"service_item\" \"purchase_order_header\" 2\n");
  EXPECT_EQ(r.err, "");
}

TEST_F(ProgramTest, TheVersionComesFromTheSharedLibraryTheProgramLoads) {
  const Outcome r = Script("Print CreateObject(\"clsTarnlowSTDataVer\").TarnlowSTDataVer\n");
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

TEST_F(ProgramTest, LetConvertsAndRefusesAsLateBoundClientsExpect) {
  const Outcome r = Script(Prelude() +
                           "o.Service = 10.5\n"
                           "Print o.Service\n"
                           "On Error Resume Next\n"
                           "o.cost = 5\n"
                           "Print Err.Number, Err.Description\n"
                           "Err.Clear\n"
                           "o.NoSuchMember\n"
                           "Print Err.Number, Err.Source, Err.Description\n"
                           "Err.Clear\n"
                           "o.Service = CreateObject(\"clsPORService\")\n"
                           "Print Err.Number, Err.Description, o.Service\n");
  EXPECT_EQ(r.status, 0) << r.out;
  EXPECT_EQ(r.out,
            "\"10.5\"\n"
            "438 \"Object doesn't support this property or method\"\n"
            "438 \"TarnlowSTData\" \"Object doesn't support this property or method\"\n"
            "13 \"Type mismatch\" \"10.5\"\n");
}

TEST_F(ProgramTest, ACaughtNotFoundKeepsItsRecordAndTheRunGoesOn) {
  const Outcome r = Script(Prelude() +
                           "On Error Resume Next\n"
                           "o.Service = \"NOPE\"\n"
                           "o.ReadIt\n"
                           "Print Err.Number, Err.Source, Err.Description\n"
                           "Err.Clear\n"
                           "Print Err.Number\n");
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, "-2147221504 \"PORService.ReadIt\" \"Cannot find service item NOPE\"\n0\n");
}

TEST_F(ProgramTest, AnUncaughtErrorEndsTheRunWithItsRecordAndLine) {
  const Outcome r = Script(Prelude() +
                           "Print \"before\"\n"
                           "o.Service = \"NO\"\"PE\"\n"
                           "o.ReadIt\n"
                           "Print \"after\"\n");
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out,
            "\"before\"\nError -2147221504 at line 6: \"PORService.ReadIt\": \"Cannot find service item "
            "NO\"\"PE\"\n");
}

// clsPorecp.InsertRow runs its statement preparation under the saved error
// exit, so a missing connection reaches the script with a two-level trail:
// the connection check's own source, then the operation's label. The check
// shows its message box first.
TEST_F(ProgramTest, ATwoLevelSourceTrailCaughtAndUncaught) {
  const std::string trail = "\"Line No.: N TarnlowSTData\\r\\nInsertRow of Class Module clsPorecp\"";
  const std::string not_set = "\"Object variable or With block variable not set\"";
  const Outcome caught = Script(
      "Set r = CreateObject(\"clsPorecp\")\n"
      "On Error Resume Next\n"
      "r.InsertRow\n"
      "Print Err.Number, Err.Source, Err.Description\n");
  const std::regex line_number("Line No\\.: \\d+ ");
  EXPECT_EQ(caught.status, 0);
  EXPECT_EQ(std::regex_replace(caught.out, line_number, "Line No.: N "),
            "MsgBox 16 \"Uninitialised connection\"\n91 " + trail + " " + not_set + "\n");
  const Outcome uncaught = Script("Set r = CreateObject(\"clsPorecp\")\nr.InsertRow\nPrint \"after\"\n");
  EXPECT_EQ(uncaught.status, 1);
  EXPECT_EQ(std::regex_replace(uncaught.out, line_number, "Line No.: N "),
            "MsgBox 16 \"Uninitialised connection\"\nError 91 at line 2: " + trail + ": " + not_set + "\n");
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

TEST_F(ProgramTest, ASyntaxErrorRunsNothing) {
  const Outcome r = Script("Print \"first\"\nIf True Then\n  Print 1\n");
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, "Syntax error at line 3: expected 'End If' for the If of line 2, found end of script\n");
}

TEST_F(ProgramTest, ReadsTheScriptFromStandardInput) {
  const Outcome r =
      Program("run -", "Set v = CreateObject(\"clsTarnlowSTDataVer\")\nPrint v.TarnlowSTDataVer\n");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "\"libtarnlowstdata: 1.0.71\"\n");
}

TEST_F(ProgramTest, AnUnreadableScriptIsAUsageFailure) {
  const Outcome r = Program("run '" + db_.Folder() + "/missing.txt'");
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err, "tarnlowst: cannot read " + db_.Folder() + "/missing.txt\n");
}

TEST_F(ProgramTest, ListsTheClassesAndOneClassMembers) {
  const Outcome all = Program("classes");
  EXPECT_EQ(all.status, 0);
  EXPECT_EQ(all.out, DescribeTypeLibrary() + DescribeClasses());
  const Outcome markdown = Program("classes --markdown");
  EXPECT_EQ(markdown.status, 0);
  EXPECT_EQ(markdown.out, DescribeClassesMarkdown());
  for (const std::string key : {"clsporservice", "{E5A77673-5F20-4317-8289-426B2EDABAF5}"}) {
    const Outcome one = Program("classes '" + key + "'");
    EXPECT_EQ(one.status, 0);
    EXPECT_EQ(one.out, DescribeMembers(clsPORService::Info()));
  }
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

TEST_F(ProgramTest, TheDemoAndInitCommandsStillWork) {
  EXPECT_EQ(Program("init '" + db_.Text() + "'").status, 0);
  EXPECT_EQ(Program("demo").status, 0);
  EXPECT_EQ(Program("bogus").status, 2);
}

}  // namespace
}  // namespace tarnlow
