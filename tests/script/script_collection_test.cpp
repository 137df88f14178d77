// Collections in scripts: For Each ... Next over the library's collections,
// Exit For, nested loops, and name(args) reaching a collection's Item.
#include <gtest/gtest.h>

#include <sstream>

#include "run_script.h"
#include "script/script.h"
#include "tarnlow/tarnlow.h"

namespace tarnlow::script {
namespace {

// Three order lines keyed " 1", " 2" and " 5", handed to the script as LINES.
std::shared_ptr<colPODetailD> ThreeLines() {
  auto lines = std::make_shared<colPODetailD>();
  clsPODetailD line;
  for (const std::int16_t no : {1, 2, 5}) {
    line.order_line_no = no;
    line.product = "P" + std::to_string(no);
    lines->Add(line);
  }
  return lines;
}

// The lines handed to a script as LINES.
RunOptions WithLines() {
  RunOptions options;
  options.variables.emplace_back("lines", Variant(ThreeLines()));
  return options;
}

constexpr const char* kPairs =
    "Set acc = CreateObject(\"colPONLAcc\")\n"
    "acc.Add \"4000\", \"A\"\n"
    "acc.Add \"5000\", \"B\"\n";

TEST(ForEachTest, VisitsTheMembersInTheOrderTheyWereAdded) {
  EXPECT_EQ(
      runs::Output("For Each m In lines\n  Print m.order_line_no, m.product\nNext\nPrint m\n", WithLines()),
      "1 \"P1\"\n2 \"P2\"\n5 \"P5\"\nNothing\n");
  // An empty collection runs the body never and still leaves Nothing.
  EXPECT_EQ(
      runs::Output("Set e = CreateObject(\"colPONLAcc\")\np = 1\nFor Each p In e\n  Print \"never\"\nNext\n"
                   "Print TypeName(p), p Is Nothing\n",
                   WithLines()),
      "\"Nothing\" True\n");
}

TEST(ForEachTest, TheMembersAreTheCollectionsOwnObjects) {
  // What the body changes through the loop variable is what Item gives after.
  EXPECT_EQ(
      runs::Output("For Each m In lines\n  m.product = m.product & \"x\"\nNext\nPrint lines(3).product\n",
                   WithLines()),
      "\"P5x\"\n");
}

TEST(ForEachTest, TheLoopWalksASnapshotTakenWhenItStarts) {
  EXPECT_EQ(
      runs::Output("For Each m In lines\n  lines.Remove 1\n  Print m.order_line_no, lines.Count\nNext\n",
                   WithLines()),
      "1 2\n2 1\n5 0\n");
}

TEST(ForEachTest, NestedLoopsAndExitForLeaveOnlyTheirOwnLoop) {
  const std::string script = std::string(kPairs) +
                             "For Each m In lines\n"
                             "  For Each p In acc\n"
                             "    If m.order_line_no = 2 Then Exit For\n"
                             "    Print m.order_line_no, p.Category\n"
                             "  Next p\n"
                             "Next m\n"
                             "Print m\n";
  EXPECT_EQ(runs::Output(script, WithLines()), "1 \"A\"\n1 \"B\"\n5 \"A\"\n5 \"B\"\nNothing\n");
  // Exit For keeps the member of its pass.
  EXPECT_EQ(
      runs::Output("For Each m In lines\n  If m.order_line_no = 2 Then Exit For\nNext\nPrint m.product\n",
                   WithLines()),
      "\"P2\"\n");
  // Exit Do inside a For Each leaves the Do around it; Exit For inside a Do
  // leaves the For Each around that.
  EXPECT_EQ(
      runs::Output("n = 0\nDo\n  For Each m In lines\n    n = n + 1\n    If n = 2 Then Exit Do\n  Next\n"
                   "  Print \"not reached\"\nLoop\nPrint n\n",
                   WithLines()),
      "2\n");
  EXPECT_EQ(runs::Output("For Each m In lines\n  Do\n    Exit For\n  Loop\n  Print \"not reached\"\nNext\n"
                         "Print m.order_line_no\n",
                         WithLines()),
            "1\n");
  EXPECT_EQ(
      runs::Output("For Each m In lines\n  If m.order_line_no = 2 Then End\n  Print m.order_line_no\nNext\n"
                   "Print \"not reached\"\n",
                   WithLines()),
      "1\n");
}

TEST(ForEachTest, WhatIsNoCollectionIsRefusedAtTheForLine) {
  EXPECT_EQ(runs::RunText("Print 1\nFor Each m In 5\n  Print m\nNext\n", WithLines()).out,
            "1\nError 451 at line 2: \"TarnlowSTData\": \"Object not a collection\"\n");
  EXPECT_EQ(runs::RunText("Set o = CreateObject(\"clsPODetailD\")\nFor Each m In o\nNext\n", WithLines()).out,
            "Error 451 at line 2: \"TarnlowSTData\": \"Object not a collection\"\n");
  EXPECT_EQ(runs::RunText("Set o = Nothing\nFor Each m In o\nNext\n", WithLines()).out,
            "Error 91 at line 2: \"TarnlowSTData\": \"Object variable or With block variable not set\"\n");
  EXPECT_EQ(runs::RunText("For Each m In missing.Lines\nNext\n", WithLines()).out,
            "Error 424 at line 1: \"TarnlowSTData\": \"Object required\"\n");
  // An error inside the body is reported at its own line.
  EXPECT_EQ(
      runs::RunText("For Each m In lines\n  Print m.order_line_no\n  x = 1 / (m.order_line_no - 2)\nNext\n",
                    WithLines())
          .out,
      "1\n2\nError 11 at line 3: \"TarnlowSTData\": \"Division by zero\"\n");
  // Under Resume Next a For line that fails skips its whole loop.
  EXPECT_EQ(runs::Output("On Error Resume Next\nFor Each m In 5\n  Print \"in\"\nNext\nPrint Err.Number\n",
                         WithLines()),
            "451\n");
}

TEST(ForEachTest, PassesCountAsStepsOfTheLimit) {
  std::ostringstream out;
  RunOptions options;
  options.step_limit = 4;
  options.variables.emplace_back("lines", Variant(ThreeLines()));
  EXPECT_EQ(RunSource("For Each m In lines\n  x = 1\nNext\n", out, options), kExitFailed);
  EXPECT_EQ(out.str(), "Error 17 at line 2: \"TarnlowSTData\": \"Script stopped after 4 steps\"\n");
}

TEST(DefaultMemberTest, NameWithArgumentsReachesItem) {
  EXPECT_EQ(
      runs::Output("Print lines(1).order_line_no, lines(\" 5\").product, lines(3).product, lines.Count\n",
                   WithLines()),
      "1 \"P5\" \"P5\" 3\n");
  EXPECT_EQ(runs::Output("lines(2).product = \"Q\"\nPrint lines.Item(2).product\n", WithLines()), "\"Q\"\n");
}

// Item's own refusals are the collection's checks; here, what has no Item.
TEST(DefaultMemberTest, ClassesWithoutItemKeepTheirRecords) {
  EXPECT_EQ(runs::RunText("Set o = CreateObject(\"clsPODetailD\")\nPrint o(1)\n", WithLines()).out,
            "Error 438 at line 2: \"TarnlowSTData\": \"Object doesn't support this property or method\"\n");
  EXPECT_EQ(runs::RunText("Set o = Nothing\nPrint o(1)\n", WithLines()).out,
            "Error 91 at line 2: \"TarnlowSTData\": \"Object variable or With block variable not set\"\n");
  EXPECT_EQ(runs::RunText("x = 3\nPrint x(1)\n", WithLines()).out,
            "Error 13 at line 2: \"TarnlowSTData\": \"Type mismatch\"\n");
  // A member without Set is the object's value, which no collection member has.
  EXPECT_EQ(runs::RunText("x = lines(1)\n", WithLines()).out,
            "Error 438 at line 1: \"TarnlowSTData\": \"Object doesn't support this property or method\"\n");
}

TEST(ForEachSyntaxTest, NamesTheLineAndWhatWasExpected) {
  const std::pair<const char*, const char*> cases[] = {
      {"For Each m In lines\nPrint 1\n",
       "Syntax error at line 2: expected 'Next' for the For of line 1, found end of script"},
      {"Next\n", "Syntax error at line 1: expected a statement, found 'Next' without a For"},
      {"Exit For\n",
       "Syntax error at line 1: expected a statement, found 'Exit For' outside a For Each loop"},
      {"Do\nExit For\nLoop\n",
       "Syntax error at line 2: expected a statement, found 'Exit For' outside a For Each loop"},
      {"Exit Sub\n", "Syntax error at line 1: expected 'Do' or 'For' after 'Exit', found 'Sub'"},
      {"For m In lines\nNext\n", "Syntax error at line 1: expected 'Each', found 'm'"},
      {"For Each m lines\nNext\n", "Syntax error at line 1: expected 'In', found 'lines'"},
      {"For Each Print In lines\nNext\n",
       "Syntax error at line 1: expected a variable name after 'For Each', found 'Print'"},
      {"For Each m In lines\nNext n\n",
       "Syntax error at line 2: expected end of line or 'm' after 'Next', found 'n'"},
      {"If True Then For Each m In lines\n", "Syntax error at line 1: expected a statement, found 'For'"},
      {"For Each m In lines\nIf True Then\nNext\nEnd If\n",
       "Syntax error at line 3: expected a statement, found 'Next' without a For"},
  };
  for (const auto& [source, message] : cases) {
    const runs::ScriptResult r = runs::RunText(source, WithLines());
    EXPECT_EQ(r.status, kExitFailed) << source;
    EXPECT_EQ(r.out, std::string(message) + "\n") << source;
  }
  // "Each" and "In" stay usable as names outside the For line.
  EXPECT_EQ(runs::Output("each = 1\nin = 2\nFor Each each In lines\nNext\nPrint in\n", WithLines()), "2\n");
}

}  // namespace
}  // namespace tarnlow::script
