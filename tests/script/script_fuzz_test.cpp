// Random scripts from a seeded generator, run for a few seconds: values at and
// past the ends of the date and number ranges pushed through arithmetic,
// conversions, late-bound properties and inserts on SQLite. Every run must end
// normally or with an error record (the sanitizer build turns undefined
// behaviour into a failure here), nothing may print an infinity or a date
// outside the range, and nothing of the kind may be stored.
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <random>
#include <regex>
#include <sstream>

#include "script/script.h"
#include "tarnlow/tarnlow.h"
#include "test_support.h"

namespace tarnlow::script {
namespace {

const char* const kNumbers[] = {"0",          "1",
                                "-1",         "32767",
                                "32768",      "2147483647",
                                "2147483648", "1e308",
                                "-1e308",     "1.7976931348623157e308",
                                "4.9e-324",   "1e-300",
                                "0.5",        "2958465",
                                "2958466",    "-657434",
                                "-657435",    "2958465.99999999",
                                "86400",      "1e15"};
const char* const kDates[] = {"#9999-12-31#", "#9999-12-31 23:59:59#", "#0100-01-01#", "#1899-12-30#",
                              "#2000-02-29 12:00:00#"};
const char* const kTexts[] = {
    "\"1e400\"",      "\"-1e400\"",     "\"inf\"",  "\"nan\"", "\"9999-12-31 23:59:59.9999\"",
    "\"0099-12-31\"", "\"2000-01-01\"", "\"12.5\"", "\"abc\"", "\"\"",
    "\"1e-400\""};
const char* const kOthers[] = {
    "x", "y", "z", "True", "False", "Null", "Empty", "h.dated", "h.movement_quantity"};
const char* const kBinary[] = {" + ", " - ", " * ", " / ",   " \\ ", " Mod ",
                               " & ", " = ", " < ", " And ", " Or "};
const char* const kFunctions[] = {"CDate", "CDbl", "CInt",     "CLng",  "CStr",
                                  "CBool", "Len",  "TypeName", "IsNull"};
const char* const kTargets[] = {
    "x", "y", "z", "h.dated", "h.movement_date", "h.movement_quantity", "h.movement_cost"};

class Generator {
 public:
  explicit Generator(std::uint32_t seed) : random_(seed) {}

  std::string Script() {
    std::string s =
        "Set h = CreateObject(\"clsSTHistory\")\n"
        "Set h.SageConnection = c\n"
        "h.warehouse = \"01\"\n"
        "h.product = \"FUZZ\"\n"
        "h.dated = #2000-01-01#\n";
    if (Pick(2) == 0) s += "On Error Resume Next\n";
    for (std::size_t n = 1 + Pick(8); n > 0; --n) {
      std::string line = Statement(2);
      if (Pick(25) == 0) line = line.substr(0, Pick(line.size() + 1));  // a broken line now and then
      s += line + "\n";
    }
    return s;
  }

 private:
  std::size_t Pick(std::size_t n) { return std::uniform_int_distribution<std::size_t>(0, n - 1)(random_); }
  template <std::size_t N>
  const char* Any(const char* const (&list)[N]) {
    return list[Pick(N)];
  }

  std::string Atom() {
    switch (Pick(4)) {
      case 0: return Any(kNumbers);
      case 1: return Any(kDates);
      case 2: return Any(kTexts);
      default: return Any(kOthers);
    }
  }

  std::string Expr(int depth) {
    if (depth == 0) return Atom();
    switch (Pick(6)) {
      case 0: return Expr(depth - 1) + Any(kBinary) + Expr(depth - 1);
      case 1: return std::string(Pick(2) == 0 ? "-" : "Not ") + Expr(depth - 1);
      case 2: return std::string(Any(kFunctions)) + "(" + Expr(depth - 1) + ")";
      case 3: return "(" + Expr(depth - 1) + ")";
      default: return Atom();
    }
  }

  std::string Statement(int depth) {
    switch (Pick(depth > 0 ? 10 : 8)) {
      case 0:
      case 1: return std::string(Any(kTargets)) + " = " + Expr(3);
      case 2: return "Print " + Expr(3) + ", " + Expr(2);
      case 3: return "h.InsertNewHistory";
      case 4: return "Print h.dated, h.movement_date, h.movement_quantity, h.sequence_no";
      case 5: return Pick(2) == 0 ? "On Error Resume Next" : "On Error GoTo 0";
      case 6: return "Print Err.Number, Err.Description";
      case 7: return "Err.Clear";
      case 8:
        return "If " + Expr(2) + " Then\n" + Statement(depth - 1) + "\nElse\n" + Statement(depth - 1) +
               "\nEnd If";
      default: return "Do While " + Expr(2) + "\n" + Statement(depth - 1) + "\nExit Do\nLoop";
    }
  }

  std::mt19937 random_;
};

// The last line of the output, without its line break.
std::string LastLine(std::string text) {
  if (!text.empty() && text.back() == '\n') text.pop_back();
  const std::size_t start = text.rfind('\n');
  return start == std::string::npos ? text : text.substr(start + 1);
}

TEST(ScriptRangeFuzzTest, OutOfRangeValuesEndInAnErrorRecordAndNeverReachTheDatabase) {
  const test::ScratchDatabase plain, keys;
  const std::shared_ptr<Connection> connections[] = {plain.Open(), keys.Open("kind=2")};
  const std::uint32_t seed = 20260107;
  Generator generate(seed);
  const std::regex error_record(R"(Error -?\d+ at line \d+: ".*": ".*")");
  const std::regex syntax_error(R"(Syntax error at line \d+: expected .+, found .+\n)");
  const std::regex not_finite(R"((^| )-?(inf|nan|INF|NAN)( |$))");
  const std::regex printed_year(R"(#(-?\d+)-\d\d-\d\d \d\d:\d\d:\d\d#)");

  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(2500);
  int cases = 0, overflows = 0, syntax_errors = 0;
  while (std::chrono::steady_clock::now() < deadline) {
    const std::string script = generate.Script();
    const std::shared_ptr<Connection>& c = connections[cases % 2];
    RunOptions options;
    options.step_limit = 200;
    options.variables.emplace_back("c", Variant(c));
    std::ostringstream out;
    int status = -1;
    ASSERT_NO_THROW(status = RunSource(script, out, options))
        << "case " << cases << " of seed " << seed << ":\n"
        << script;
    const std::string text = out.str();
    const auto context = [&] {
      return "case " + std::to_string(cases) + ":\n" + script + "-- output:\n" + text;
    };
    ++cases;
    if (std::regex_match(text, syntax_error)) {
      ++syntax_errors;
      EXPECT_EQ(status, kExitFailed) << context();
      continue;
    }
    ASSERT_TRUE(status == kExitOk || status == kExitFailed) << context();
    if (status == kExitFailed) {
      EXPECT_TRUE(std::regex_match(LastLine(text), error_record)) << context();
    }
    if (text.find("Error 6 at line") != std::string::npos ||
        text.find("\n6 \"Overflow\"") != std::string::npos || text.starts_with("6 \"Overflow\""))
      ++overflows;
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) {
      EXPECT_FALSE(std::regex_search(line, not_finite)) << context();
      for (std::sregex_iterator m(line.begin(), line.end(), printed_year), end; m != end; ++m) {
        const std::string year = (*m)[1];
        EXPECT_TRUE(year.size() == 4 && std::stoi(year) >= 100) << year << "\n" << context();
      }
    }
  }

  // Whatever was stored is in range: dates (or kind 2's date keys) and finite numbers.
  std::size_t stored = 0;
  for (const auto& c : connections) {
    const test::Rows rows =
        test::Select(*c, "select dated, movement_date, movement_quantity, movement_cost from " +
                             c->TableCatalogue()->StockHistoryTable());
    stored += rows.size();
    for (const auto& row : rows) {
      if (c->DatabaseKind() == 2)
        EXPECT_TRUE(std::regex_match(row[0].ToText(), std::regex(R"(\d{6,7}|-\d{5,6})"))) << row[0].ToText();
      else
        EXPECT_EQ(row[0].Type(), VarType::Date) << row[0].ToText();
      EXPECT_EQ(row[1].Type(), VarType::Date) << row[1].ToText();
      EXPECT_TRUE(Date::InRange(row[1].ToDate().value));
      EXPECT_TRUE(std::isfinite(row[2].ToDouble()));
      EXPECT_TRUE(std::isfinite(row[3].ToDouble()));
    }
  }
  // The generator reached what it is for: runs, refusals, broken lines and stored rows.
  EXPECT_GE(cases, 100) << "too few cases ran in the time given";
  EXPECT_GT(overflows, 0);
  EXPECT_GT(syntax_errors, 0);
  EXPECT_GT(stored, 0u);
}

// ---- long and deep expressions ---------------------------------------------------------

std::string RunToText(const std::string& script, int* status = nullptr) {
  std::ostringstream out;
  const int s = RunSource(script, out);
  if (status) *status = s;
  return out.str();
}

// Operators chained on one level are a loop in the parser and in the
// evaluator: their number is bounded by memory alone, and the sanitizer
// build's larger frames make no difference to what runs.
TEST(ScriptDepthFuzzTest, LongFlatChainsParseAndEvaluateToTheRightValue) {
  // Terms of one or two factors joined by + and -, started on a 32-bit
  // value so that the sum never leaves its type; the value is worked out
  // here with the same precedence.
  std::mt19937 random(20261207);
  std::string chain = "40000 - 40000";
  std::int64_t expected = 0;
  for (int i = 0; i < 100000; ++i) {
    const int a = static_cast<int>(random() % 10), b = static_cast<int>(random() % 10);
    const bool product = random() % 3 == 0;
    const bool minus = random() % 2 == 0;
    const std::int64_t term = product ? a * b : a;
    expected += minus ? -term : term;
    chain += minus ? " - " : " + ";
    chain += std::to_string(a);
    if (product) chain += " * " + std::to_string(b);
  }
  EXPECT_EQ(RunToText("x = " + chain + "\nPrint x\n"), std::to_string(expected) + "\n");
  std::string ands = "True", ors = "False", equal = "1", concat = "\"a\"";
  for (int i = 0; i < 100000; ++i) ands += " And True";
  for (int i = 0; i < 20000; ++i) {
    ors += " Or False";
    equal += " = 1";  // (1 = 1) is True (-1), then -1 = 1 is False (0), ...
  }
  for (int i = 0; i < 5000; ++i) concat += " & \"a\"";
  EXPECT_EQ(RunToText("Print " + ands + ", " + ors + "\n"), "True False\n");
  EXPECT_EQ(RunToText("Print Len(" + concat + ")\n"), "5001\n");
  EXPECT_EQ(RunToText("Print " + equal + "\n"), "False\n");
  // The same chain nested in parentheses a few levels down, and as an
  // argument, is still one loop per level.
  EXPECT_EQ(RunToText("Print ((((" + ands + "))))\nPrint CStr(" + ands + ")\n"), "True\n\"True\"\n");
}

// Nesting is recursion: it goes as deep as the stack budget allows, far past
// what any written script needs, and deeper input is refused with a
// message, never an overflow of the native stack.
TEST(ScriptDepthFuzzTest, DeepNestingEndsInAnErrorNotACrash) {
  const std::regex too_deep(
      R"(Syntax error at line (\d+): expected constructs nested at most (\d+) deep, found .+\n)");
  struct Case {
    std::string what, script;
  };
  std::string ifs, calls;
  for (int i = 0; i < 100000; ++i) ifs += "If True Then\n";
  for (int i = 0; i < 100000; ++i) calls += "Len(";
  const Case cases[] = {
      {"parentheses", "x = " + std::string(100000, '(') + "1\n"},
      {"signs", "x = " + std::string(100000, '-') + "1\n"},
      {"Not", "x = " +
                  [] {
                    std::string nots;
                    for (int i = 0; i < 100000; ++i) nots += "Not ";
                    return nots;
                  }() +
                  "True\n"},
      {"calls", "x = " + calls + "1\n"},
      {"blocks", ifs},
      {"parentheses around chains",
       [] {
         std::string s = "x = ";
         for (int i = 0; i < 100000; ++i) s += "1 + (";
         return s + "1\n";
       }()},
  };
  for (const Case& c : cases) {
    int status = 0;
    const std::string out = RunToText(c.script, &status);
    std::smatch m;
    ASSERT_TRUE(std::regex_match(out, m, too_deep)) << c.what << ": " << out.substr(0, 300);
    EXPECT_EQ(status, kExitFailed);
    EXPECT_GE(std::stoi(m[2]), 100) << c.what << ": the guard allows at least what it always did";
  }
  // Nesting well inside the budget runs.
  std::string deep = "1";
  for (int i = 0; i < 90; ++i) deep = "(1 + " + deep + ")";
  EXPECT_EQ(RunToText("Print -(" + deep + ")\n"), "-91\n");
  // A member chain is read in a loop but walked recursively when it runs:
  // the run stops with error 28 once the walk has used its stack budget.
  std::string members = "Set o = Nothing\nOn Error Resume Next\nx = o";
  for (int i = 0; i < 50000; ++i) members += ".Next";
  EXPECT_EQ(RunToText(members + "\nPrint Err.Number, Err.Description\nx = o.Next.Next\nPrint Err.Number\n"),
            "28 \"Out of stack space\"\n91\n");
}

}  // namespace
}  // namespace tarnlow::script
