// The script language run in-process: print forms, expressions, flow,
// error handling and syntax errors, and a fuzz run of the parser.
#include <gtest/gtest.h>
#include <malloc.h>

#include <chrono>
#include <filesystem>
#include <new>
#include <random>
#include <sstream>

#include "framework/class_builder.h"
#include "run_script.h"
#include "script/parser.h"
#include "script/script.h"
#include "tarnlow/tarnlow.h"
#include "test_support.h"

#if defined(__SANITIZE_ADDRESS__)
// The sanitizer's allocator keeps its own count (not every compiler installs its header).
extern "C" std::size_t __sanitizer_get_current_allocated_bytes();
#endif

namespace tarnlow::script {
namespace {

using runs::Output;
using runs::RunText;
using Result = runs::ScriptResult;

TEST(PrintFormTest, WritesEachTypeInItsExactForm) {
  EXPECT_EQ(Output("Print \"say \"\"hi\"\"\", 7, 70000, 2.5, 0.1, 1E+21, True, False, Empty, Null\n"),
            "\"say \"\"hi\"\"\" 7 70000 2.5 0.1 1e+21 True False Empty Null\n");
  EXPECT_EQ(Output("Print #2000-01-01#, #1999-12-31 23:59:59#, #1899-12-30#\n"),
            "#2000-01-01 00:00:00# #1999-12-31 23:59:59# #1899-12-30 00:00:00#\n");
  EXPECT_EQ(Output("Print CreateObject(\"clsPORService\"), Nothing\nPrint\n"),
            "Object(clsPORService) Nothing\n\n");
}

TEST(PrintFormTest, EscapesControlCharactersInText) {
  EXPECT_EQ(QuotedText(std::string("a\\b\r\n\t\x01\x1F\x7F\"z\xC3\xA9", 13)),
            "\"a\\\\b\\r\\n\\t\\x01\\x1F\\x7F\"\"z\xC3\xA9\"");
  EXPECT_EQ(Output("Print \"x\" & vbCrLf & vbTab & Chr(0) & Chr(27)\n"), "\"x\\r\\n\\t\\x00\\x1B\"\n");
}

TEST(PrintFormTest, DatesRoundToTheSecond) {
  EXPECT_EQ(PrintForm(Variant(Date::FromCalendar(2001, 2, 3, 23, 59, 59.6))), "#2001-02-04 00:00:00#");
  EXPECT_EQ(PrintForm(Variant(Date::FromCalendar(1899, 12, 29, 6, 0, 0.4))), "#1899-12-29 06:00:00#");
}

TEST(ExpressionTest, ArithmeticKeepsWholeNumbersWholeAndWidens) {
  EXPECT_EQ(Output("Print 1 + 2, 30000 + 30000, 7 \\ 2, 7 Mod 3, -7 Mod 3, 7 / 2, 2 * 2.5, -5, 3 - 10\n"),
            "3 60000 3 1 -1 3.5 5 -5 -7\n");
  EXPECT_EQ(Output("Print TypeName(1), TypeName(40000), TypeName(2147483647 + 1), TypeName(1 / 1)\n"),
            "\"Integer\" \"Long\" \"Double\" \"Double\"\n");
  EXPECT_EQ(Output("Print \"5\" + 3, \"ab\" + \"cd\", \"a\" & 1 & True & Null, #2000-01-01# + 1\n"),
            "8 \"abcd\" \"a1True\" #2000-01-02 00:00:00#\n");
  EXPECT_EQ(Output("Print 1 + 2 * 3, (1 + 2) * 3, 2 + 3 & \"x\", 10 - 2 - 3, 8 / 2 / 2\n"),
            "7 9 \"5x\" 5 2\n");
}

TEST(ExpressionTest, ComparisonsAndLogic) {
  EXPECT_EQ(
      Output(
          "Print 1 < 2, 2 <= 1, \"abc\" = \"abc\", \"a\" <> \"b\", \"10\" = 10, \"B\" > \"A\", 1 = Null\n"),
      "True False True True True True Null\n");
  EXPECT_EQ(Output("Print Not True, True And False, True Or False, True Xor True, 6 And 3, 6 Or 3, Not 0\n"),
            "False False True False 2 7 -1\n");
  EXPECT_EQ(Output("Print Null And False, Null Or True, Null And True, Not 1 = 2 And 2 = 2\n"),
            "False True Null True\n");
  EXPECT_EQ(Output("Set a = CreateObject(\"clsPORService\")\nSet b = a\n"
                   "Print a Is b, a Is CreateObject(\"clsPORService\"), Nothing Is Nothing\n"),
            "True False True\n");
}

TEST(ExpressionTest, TextFunctions) {
  EXPECT_EQ(
      Output("Print Len(\"h\xC3\xA9llo\"), Left(\"h\xC3\xA9llo\", 2), Right(\"abc\", 2), Right(\"abc\", 9), "
             "Mid(\"abcdef\", 2, 3), Mid(\"abcdef\", 5)\n"),
      "5 \"h\xC3\xA9\" \"bc\" \"abc\" \"bcd\" \"ef\"\n");
  EXPECT_EQ(Output("Print InStr(\"abcabc\", \"ca\"), InStr(4, \"abcabc\", \"a\"), InStr(\"abc\", \"z\"), "
                   "InStr(\"abc\", \"\"), InStr(\"\", \"a\")\n"),
            "3 4 0 1 0\n");
  EXPECT_EQ(Output("Print Trim(\"  x  \"), LTrim(\"  x \"), RTrim(\" x  \"), UCase(\"ab1\"), LCase(\"AB\"), "
                   "Chr(65), Asc(\"a\"), Chr(233)\n"),
            "\"x\" \"x \" \" x\" \"AB1\" \"ab\" \"A\" 97 \"\xC3\xA9\"\n");
  EXPECT_EQ(Output("Print Len(Null), UCase(Null), Left(Null, 1), Len(12.5)\n"), "Null Null Null 4\n");
}

TEST(ExpressionTest, ConversionFunctions) {
  EXPECT_EQ(Output("Print CInt(\"7\"), CInt(2.5), CInt(3.5), CLng(\"70000\"), CDbl(\"2.5\"), CStr(10.5), "
                   "CBool(\"true\"), CBool(0), CDate(\"2000-02-29\")\n"),
            "7 2 4 70000 2.5 \"10.5\" True False #2000-02-29 00:00:00#\n");
  EXPECT_EQ(Output("Print IsNull(Null), IsEmpty(x), IsObject(Nothing), TypeName(\"a\"), TypeName(Null)\n"),
            "True True True \"String\" \"Null\"\n");
}

TEST(ExpressionTest, BadValuesRaiseTheRuntimeErrors) {
  const std::pair<const char*, const char*> cases[] = {
      {"x = CInt(\"seven\")\n", "Error 13 at line 1: \"TarnlowSTData\": \"Type mismatch\"\n"},
      {"x = 1 / 0\n", "Error 11 at line 1: \"TarnlowSTData\": \"Division by zero\"\n"},
      {"x = CInt(40000)\n", "Error 6 at line 1: \"TarnlowSTData\": \"Overflow\"\n"},
      {"x = CStr(Null)\n", "Error 94 at line 1: \"TarnlowSTData\": \"Invalid use of Null\"\n"},
      {"x = Mid(\"a\", 0)\n",
       "Error 5 at line 1: \"TarnlowSTData\": \"Invalid procedure call or argument\"\n"},
      {"x = y.Name\n", "Error 424 at line 1: \"TarnlowSTData\": \"Object required\"\n"},
      {"Set y = Nothing\nx = y.Name\n",
       "Error 91 at line 2: \"TarnlowSTData\": \"Object variable or With block variable not set\"\n"},
      {"Set o = CreateObject(\"clsPORService\")\nx = o\n",
       "Error 438 at line 2: \"TarnlowSTData\": \"Object doesn't support this property or method\"\n"},
      {"Set o = 5\n", "Error 424 at line 1: \"TarnlowSTData\": \"Object required\"\n"},
  };
  for (const auto& [script, out] : cases) EXPECT_EQ(RunText(script).out, out) << script;
}

TEST(FlowTest, IfElseIfElseAndOneLineIf) {
  const std::string script =
      "n = 0\n"
      "Do While n < 4\n"
      "  n = n + 1\n"
      "  If n = 1 Then\n"
      "    Print \"one\"\n"
      "  ElseIf n = 2 Then\n"
      "    Print \"two\"\n"
      "  Else\n"
      "    If n = 3 Then Print \"three\" Else Print \"more\", n\n"
      "  End If\n"
      "Loop\n";
  EXPECT_EQ(Output(script), "\"one\"\n\"two\"\n\"three\"\n\"more\" 4\n");
}

TEST(FlowTest, LoopFormsAndExitDo) {
  EXPECT_EQ(Output("i = 0\nDo Until i >= 3\n  i = i + 1\nLoop\nPrint i\n"), "3\n");
  EXPECT_EQ(Output("i = 10\nDo\n  i = i + 1\nLoop While i < 5\nPrint i\n"), "11\n");
  EXPECT_EQ(Output("i = 0\nDo\n  i = i + 1\n  If i = 4 Then Exit Do\nLoop\nPrint i\n"), "4\n");
  EXPECT_EQ(Output("Print 1\nEnd\nPrint 2\n"), "1\n");
  EXPECT_EQ(Output("Rem a comment line\nx = \"it's\" ' and a comment\nPrint x ' more\n"), "\"it's\"\n");
}

TEST(FlowTest, ResumeNextSkipsTheFailingStatementAndKeepsItsRecord) {
  EXPECT_EQ(
      Output("On Error Resume Next\n"
             "x = 1 / 0\n"
             "Print Err.Number, Err.Source, Err.Description, x\n"
             "Err.Clear\n"
             "Print Err.Number, Err.Source, Err\n"
             "Err.Raise vbObjectError + 9, \"Inner.Op\" & vbCrLf & \"Outer of Class Module clsX\", \"boom\"\n"
             "Print Err.Number, Err.Source, Err.Description\n"
             "Err.Raise 13\n"
             "Print Err.Number, Err.Source, Err.Description\n"
             "On Error GoTo 0\n"
             "Print Err.Number\n"),
      "11 \"TarnlowSTData\" \"Division by zero\" Empty\n"
      "0 \"\" 0\n"
      "-2147221495 \"Inner.Op\\r\\nOuter of Class Module clsX\" \"boom\"\n"
      "13 \"TarnlowSTData\" \"Type mismatch\"\n"
      "0\n");
  EXPECT_EQ(
      RunText("Err.Raise vbObjectError + 9, \"Inner.Op\" & vbCrLf & \"Outer\", \"boom\"\nPrint 1\n").out,
      "Error -2147221495 at line 1: \"Inner.Op\\r\\nOuter\": \"boom\"\n");
}

TEST(FlowTest, AFailingConditionUnderResumeNextEntersItsBlock) {
  EXPECT_EQ(Output("On Error Resume Next\nIf 1 / 0 Then\n  Print \"in\", Err.Number\nElse\n  Print "
                   "\"else\"\nEnd If\n"),
            "\"in\" 11\n");
}

TEST(FlowTest, AnUncaughtErrorEndsTheRunAtItsLine) {
  const Result r = RunText("Print \"before\"\nIf True Then\n  x = CLng(\"x\")\nEnd If\nPrint \"after\"\n");
  EXPECT_EQ(r.status, kExitFailed);
  EXPECT_EQ(r.out, "\"before\"\nError 13 at line 3: \"TarnlowSTData\": \"Type mismatch\"\n");
  EXPECT_EQ(RunText("Do While 1 / 0\nLoop\n").out,
            "Error 11 at line 1: \"TarnlowSTData\": \"Division by zero\"\n");
}

// A host object with an operation taking its argument by reference.
class Tally final : public Object {
 public:
  static const ClassInfo& Info() {
    static const ClassInfo info =
        detail::ClassBuilder<Tally>("Tally", "", "{12345678-1234-1234-1234-123456789ABC}")
            .Method<&Tally::Bump>("Bump", {"n"})
            .Method<&Tally::Echo>("Echo", {"text"})
            .Build();
    return info;
  }
  const ClassInfo& Class() const override { return Info(); }
  void Bump(std::int32_t& n) { n += 1; }
  std::string Echo(const std::string& text) { return text + text; }
};

TEST(FlowTest, ArgumentsByReferenceUpdateVariablesButNotCopies) {
  std::ostringstream out;
  RunOptions options;
  options.variables.emplace_back("TALLY", Variant(std::make_shared<Tally>()));
  const int status = RunSource(
      "n = 1\n"
      "tally.Bump n\n"        // by reference: 2
      "tally.Bump (n)\n"      // a copy in parentheses
      "tally.Bump(n)\n"       // the same without the blank
      "tally.Bump n + 0\n"    // an expression is a copy
      "Call tally.Bump(n)\n"  // by reference: 3
      "x = tally.Bump(n)\n"   // a call inside an expression: 4
      "m = \"x\"\n"
      "Print n, TypeName(n), tally.Echo(m), m, x\n"
      "tally.Bump m\n",
      out, options);
  EXPECT_EQ(status, kExitFailed);
  EXPECT_EQ(out.str(),
            "4 \"Long\" \"xx\" \"x\" Empty\n"
            "Error 13 at line 10: \"TarnlowSTData\": \"Type mismatch\"\n");
}

TEST(FlowTest, TheStepLimitStopsARunawayLoop) {
  RunOptions limited;
  limited.step_limit = 1000;
  const Result r = RunText("On Error Resume Next\nDo\nLoop\n", limited);
  EXPECT_EQ(r.status, kExitFailed);
  EXPECT_EQ(r.out, "Error 17 at line 2: \"TarnlowSTData\": \"Script stopped after 1000 steps\"\n");
}

// ---- ranges and refusals ----------------------------------------------------------

TEST(ScriptRangeTest, OutOfRangeDatesAndNumbersRaiseOverflowWhereTheyAreMade) {
  const std::string overflow = "Error 6 at line 1: \"TarnlowSTData\": \"Overflow\"\n";
  for (const char* line :
       {"x = CDate(1e300)", "x = CDate(-1e300)", "x = CDate(\"0099-12-31\")", "x = CDate(\"1e400\")",
        "x = #9999-12-31# + 1e300", "x = #9999-12-31# + 1", "x = #0100-01-01# - 1", "x = -#9999-12-31#",
        "x = 1e308 * 10", "x = 1e308 + 1e308", "x = -1e308 - 1e308", "x = 1e308 / 1e-308",
        "x = CDbl(\"1e400\")", "x = \"1e400\" + 1", "x = CLng(1e300)", "x = #2000-01-01# * 1e308 * 10"})
    EXPECT_EQ(RunText(std::string(line) + "\n").out, overflow) << line;
  EXPECT_EQ(Output("On Error Resume Next\nx = 1e308 * 10\nPrint Err.Number, IsEmpty(x)\n"), "6 True\n");
  EXPECT_EQ(
      RunText("x = #0099-12-31#\n").out,
      "Syntax error at line 1: expected a date from #0100-01-01# to #9999-12-31#, found #0099-12-31#\n");
}

TEST(ScriptRangeTest, TheEndsOfTheRangesPrintAsTheyAre) {
  EXPECT_EQ(Output("Print #9999-12-31 23:59:59#, #0100-01-01#, #9999-12-31# - #0100-01-01#\n"),
            "#9999-12-31 23:59:59# #0100-01-01 00:00:00# 3615899\n");
  // The last second of the range is cut, not rounded into a day past it.
  EXPECT_EQ(Output("Print CDate(2958465.999995), 1.7976931348623157E+308, CDbl(\"1e-400\")\n"),
            "#9999-12-31 23:59:59# 1.7976931348623157e+308 0\n");
}

// A host object whose operation finds no memory left.
class Hungry final : public Object {
 public:
  static const ClassInfo& Info() {
    static const ClassInfo info =
        detail::ClassBuilder<Hungry>("Hungry", "", "{12345678-1234-1234-1234-123456789ABD}")
            .Method<&Hungry::Eat>("Eat")
            .Build();
    return info;
  }
  const ClassInfo& Class() const override { return Info(); }
  void Eat() { throw std::bad_alloc(); }
};

TEST(ScriptMemoryTest, MemoryRunningOutInAStatementIsError7) {
  RunOptions options;
  options.variables.emplace_back("hungry", Variant(std::make_shared<Hungry>()));
  std::ostringstream out;
  EXPECT_EQ(RunSource("Print 1\nhungry.Eat\nPrint 2\n", out, options), kExitFailed);
  EXPECT_EQ(out.str(), "1\nError 7 at line 2: \"TarnlowSTData\": \"Out of memory\"\n");
  std::ostringstream caught;
  EXPECT_EQ(
      RunSource("On Error Resume Next\nhungry.Eat\nPrint Err.Number, Err.Description\n", caught, options),
      kExitOk);
  EXPECT_EQ(caught.str(), "7 \"Out of memory\"\n");
}

// Heap in use, as the allocator of this build counts it.
std::size_t HeapInUse() {
#if defined(__SANITIZE_ADDRESS__)
  return __sanitizer_get_current_allocated_bytes();
#else
  const struct mallinfo2 m = mallinfo2();
  return m.uordblks + m.hblkhd;
#endif
}

TEST(ScriptMemoryTest, AParsedLineTakesAFewHundredBytesAtMost) {
  // A tree of separately allocated nodes took about 1.2 KB a line of this mix.
  std::string source;
  for (int i = 0; i < 4000; ++i)
    source +=
        "x = x + 1\n"
        "Print \"abc\", y * 2.5, #2000-01-01#\n"
        "If x > 3 Then y = Left(\"abcdef\", 2) Else y = 0\n"
        "o.Service = \"SRV\" & CStr(x)\n";
  const std::size_t before = HeapInUse();
  const std::unique_ptr<Program> program = Parse(source);
  const std::size_t kept = HeapInUse() - before;
  EXPECT_EQ(program->stmts.size(), 24000u);  // a one-line If holds two more
  EXPECT_LT(kept / 16000, 256u) << kept << " bytes for 16000 lines";
}

// ---- syntax errors -------------------------------------------------------------

std::string SyntaxMessage(const std::string& source) {
  try {
    Parse(source);
  } catch (const SyntaxError& e) {
    return e.what();
  }
  return "no syntax error";
}

TEST(TypeLibraryScriptTest, TypeLibInfoGivesTheFactsReadOnly) {
  EXPECT_EQ(Output("Set t = TypeLibInfo()\n"
                   "Print t.Name, t.identity, t.MajorVersion, t.MinorVersion, t.Locale, TypeName(t)\n"
                   "Print TypeLibInfo().Description = t.Description\n"),
            "\"TarnlowSTData\" \"{0D270230-F1FC-4FE3-A265-331D0D4EDB9E}\" 2 15 1033 \"TypeLibInfo\"\nTrue\n");
  const Result assigned = RunText("Set t = TypeLibInfo()\nt.Name = \"x\"\n");
  EXPECT_EQ(assigned.status, kExitFailed);
  EXPECT_EQ(assigned.out.substr(0, 30), "Error 438 at line 2: \"TarnlowS");
  EXPECT_EQ(RunText("Print TypeLibInfo(1)\n").status, kExitFailed) << "it takes no argument";
}

TEST(SyntaxErrorTest, NamesTheLineAndWhatWasExpected) {
  const std::pair<const char*, const char*> cases[] = {
      {"Print (1\n", "Syntax error at line 1: expected ')', found end of line"},
      {"Print 1\nIf x Then\n",
       "Syntax error at line 2: expected 'End If' for the If of line 2, found end of script"},
      {"Do\nPrint 1\n", "Syntax error at line 2: expected 'Loop' for the Do of line 1, found end of script"},
      {"x =\n", "Syntax error at line 1: expected an expression, found end of line"},
      {"Print \"abc\n", "Syntax error at line 1: expected a closing quote '\"', found end of line"},
      {"Loop\n", "Syntax error at line 1: expected a statement, found 'Loop' without a Do"},
      {"End If\n", "Syntax error at line 1: expected a statement, found 'End If' without an If"},
      {"Exit Do\n", "Syntax error at line 1: expected a statement, found 'Exit Do' outside a Do loop"},
      {"x = Left(\"a\")\n", "Syntax error at line 1: expected 2 arguments for Left, found 1"},
      {"x = #2000-13-01#\n",
       "Syntax error at line 1: expected a date written #YYYY-MM-DD# or #YYYY-MM-DD HH:MM:SS#, found "
       "#2000-13-01#"},
      {"On Error GoTo 10\n",
       "Syntax error at line 1: expected '0' after 'On Error GoTo', found the number 10"},
      {"x = 1 2\n", "Syntax error at line 1: expected end of line, found the number 2"},
      {"x = 1 $ 2\n",
       "Syntax error at line 1: expected a name, number, string, date or operator, found the character '$'"},
      {"foo\n", "Syntax error at line 1: expected '=' after 'foo', found end of line"},
      {"If a Then\nElse\nElseIf b Then\nEnd If\n",
       "Syntax error at line 3: expected a statement, found 'ElseIf' without an If"},
      {"x = Len\n", "Syntax error at line 1: expected '(' after 'Len', found end of line"},
      {"Set x = \n", "Syntax error at line 1: expected an expression, found end of line"},
      {"Print Then\n", "Syntax error at line 1: expected an expression, found 'Then'"},
      {"x(1) = 2\n", "Syntax error at line 1: expected a variable or member before '=', found 'x(...)'"},
      {"Dim a, Print\n", "Syntax error at line 1: expected a variable name, found 'Print'"},
      {"o.\n", "Syntax error at line 1: expected a member name after '.', found end of line"},
  };
  for (const auto& [source, message] : cases) EXPECT_EQ(SyntaxMessage(source), message) << source;
}

TEST(SyntaxErrorTest, NothingRunsWhenALaterLineIsWrong) {
  const Result r = RunText("Print \"first\"\nx = 1\nPrint (\n");
  EXPECT_EQ(r.status, kExitFailed);
  EXPECT_EQ(r.out, "Syntax error at line 3: expected an expression, found end of line\n");
}

// ---- fuzzing -------------------------------------------------------------------

// Lines that exercise every construct; the fuzzer cuts, splices and garbles them.
const char* const kCorpus[] = {
    "Set c = OpenConnection(\"sqlite::memory:?kind=2\")",
    "Set t = c.TableCatalogue",
    "Print t.OrderHeaderTable, c.DatabaseKind",
    "Set o = CreateObject(\"clsPORService\")",
    "Set v = CreateObject(\"{498C305D-3C19-4EDE-AE98-50B1B74E73B1}\")",
    "Set o.SageConnection = c",
    "o.Service = \"SRV1\"",
    "n = o.cost",
    "o.ReadIt",
    "ok = o.ReadNextForOrder()",
    "o.UpdateForInvoice 2, 10.5",
    "Print \"a\"\"b\", 1, 2.5, True, False, Empty, Null, #2000-01-01#, #2000-01-01 12:00:00#",
    "x = Len(\"abc\") + Left(\"abc\", 2) & Right(\"x\", 1) & Mid(\"abc\", 2, 1)",
    "y = InStr(1, \"abc\", \"b\") * 3 - 2 / 4",
    "z = Trim(\" a \") & RTrim(\"b \") & UCase(\"c\") & Chr(65) & CStr(1) & vbCrLf",
    "w = CInt(\"7\") + CLng(8) + CDbl(\"1.5\")",
    "If x = 1 And Not y < 2 Or z <> \"\" Then",
    "ElseIf x >= 2 Then",
    "Else",
    "End If",
    "Do While i < 3",
    "i = i + 1",
    "Loop",
    "On Error Resume Next",
    "On Error GoTo 0",
    "Err.Clear",
    "Print Err.Number, Err.Source, Err.Description",
    "c.Execute \"select 1\"",
    "PrintRows c, \"select 1, 'x'\"",
    "MsgBox \"hello\", 48",
    "' a comment",
    "If a Then Print 1 Else Print 2",
    "Set acc = CreateObject(\"colPONLAcc\")",
    "acc.Add \"4000\", \"A\"",
    "For Each p In acc",
    "Print p.NominalCode, acc(1).Category, acc(\"a\").NominalCode",
    "Exit For",
    "Next p",
    "Next",
};

TEST(ScriptFuzzTest, RandomAndTruncatedLinesGiveAnErrorRecordOrASyntaxError) {
  // Garbled connection texts may name files: keep them in a private folder.
  const test::ScratchDatabase folder;
  const std::filesystem::path previous = std::filesystem::current_path();
  std::filesystem::current_path(folder.Folder());
  struct Back {
    std::filesystem::path to;
    ~Back() { std::filesystem::current_path(to); }
  } back{previous};
  std::mt19937 random(20240611);
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  const std::string alphabet =
      "abcxyzIfThenElseDoLoopPrintSet =<>()+-*/\\&.,\"'#_ 0123456789\t\r\n\x01\xC3\xA9";
  auto pick = [&](std::size_t n) { return std::uniform_int_distribution<std::size_t>(0, n - 1)(random); };
  int cases = 0, syntax_errors = 0, runs = 0;
  for (int round = 0; round < 4000; ++round) {
    std::string script;
    const std::size_t lines = 1 + pick(6);
    for (std::size_t l = 0; l < lines; ++l) {
      std::string line = kCorpus[pick(std::size(kCorpus))];
      switch (pick(9)) {
        case 0: line = line.substr(0, pick(line.size() + 1)); break;  // truncated
        case 1: line.insert(pick(line.size() + 1), 1, alphabet[pick(alphabet.size())]); break;
        case 2:
          if (!line.empty()) line[pick(line.size())] = alphabet[pick(alphabet.size())];
          break;
        case 3: {  // random characters
          line.clear();
          for (std::size_t k = pick(30); k > 0; --k) line += alphabet[pick(alphabet.size())];
          break;
        }
        default: break;  // intact
      }
      script += line + "\n";
    }
    ++cases;
    std::ostringstream out;
    RunOptions options;
    options.step_limit = 2000;
    int status = -1;
    ASSERT_NO_THROW(status = RunSource(script, out, options)) << script;
    const std::string text = out.str();
    if (text.starts_with("Syntax error at line ")) {
      ++syntax_errors;
      EXPECT_EQ(status, kExitFailed);
      EXPECT_NE(text.find(": expected "), std::string::npos) << text;
      EXPECT_EQ(text.find('\n'), text.size() - 1) << "a syntax error is all a broken script prints";
    } else {
      ++runs;
      // A run ends normally, or with its error record as its last line.
      const std::size_t start = text.rfind('\n', text.size() >= 2 ? text.size() - 2 : 0);
      const std::string last = text.substr(start == std::string::npos ? 0 : start + 1);
      if (status == kExitFailed) {
        EXPECT_TRUE(last.starts_with("Error ") && last.find(" at line ") != std::string::npos)
            << script << "\n"
            << text;
      } else {
        EXPECT_EQ(status, kExitOk) << script;
      }
    }
    ASSERT_LT(std::chrono::steady_clock::now(), deadline) << "the fuzz run took too long";
  }
  // Both outcomes occurred, so the corpus really reached the runner.
  EXPECT_GT(syntax_errors, 400);
  EXPECT_GT(runs, 400);
  EXPECT_EQ(cases, 4000);
}

}  // namespace
}  // namespace tarnlow::script
