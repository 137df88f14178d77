// tarnlowst: the library's command-line program.
//   tarnlowst demo [CONNECTION]   a worked example (on a fresh embedded database by default)
//   tarnlowst demo order [CONNECTION]  the purchase-order example
//   tarnlowst init CONNECTION     creates the tables that are missing
//   tarnlowst check CONNECTION    compares the database's tables with the library's layouts
//   tarnlowst run FILE            runs a script of late-bound calls (FILE - : standard input)
//   tarnlowst classes [NAME]      lists the registered classes, or one class's members
//   tarnlowst classes --markdown  the class reference (docs/classes.md)
//   tarnlowst help [COMMAND]      the usage, or one command's description
// Help and the version go to standard output with status 0; a wrong command
// or option gives the usage on standard error and status 2. Standard output
// that cannot be written fails any command, with a message on standard error.
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <optional>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "demo.h"
#include "script/script.h"
#include "tarnlow/tarnlow.h"

namespace {

constexpr std::int32_t kPathFileAccess = 75;

// The commands, in the order the usage lists them.
struct CommandHelp {
  std::string_view name;
  std::string_view synopsis;  // after "tarnlowst "
  std::string_view text;      // what `help NAME` adds, each line indented
};

constexpr CommandHelp kCommands[] = {
    {"demo", "demo [CONNECTION]",
     "  Runs a whole goods receipt against a sample purchase order on CONNECTION\n"
     "  (default sqlite::memory:), creating the tables it needs, and reports\n"
     "  the rows and figures before and after.\n"},
    {"demo", "demo order [CONNECTION]",
     "  Writes a whole purchase order on CONNECTION (default sqlite::memory:):\n"
     "  header with fax and VAT-state rows, three lines, their analysis and\n"
     "  variance rows, nominal analysis with project and retention rows, and\n"
     "  the stock items' quantities on order; reads it back, logs an invoice\n"
     "  against a line, copies the order to a new number and deletes the copy,\n"
     "  summarising each step.\n"},
    {"init", "init CONNECTION",
     "  Creates the tables that are missing; tables already there and their\n"
     "  rows are left alone.\n"},
    {"check", "check CONNECTION",
     "  Compares every table the library uses, in the layout the connection\n"
     "  text's options choose, with the database, and prints one line for each\n"
     "  missing table, column or unique key, text column narrower than the\n"
     "  library writes, decimal column with too few digits before or after the\n"
     "  point, or column whose type cannot hold the values. Exit status 0, with\n"
     "  no output, only when everything fits; a database that is not there is\n"
     "  an error (status 1), never created.\n"},
    {"run", "run FILE",
     "  Runs a script of late-bound calls, one statement a line (FILE - reads\n"
     "  standard input). Exit status 1 when the script fails.\n"},
    {"classes", "classes [NAME | --markdown]",
     "  Without NAME: the type library and every registered class with its\n"
     "  identities. With NAME (a class name or class identity): that class's\n"
     "  members in interface order. --markdown: the class reference\n"
     "  (docs/classes.md).\n"},
    {"help", "help [COMMAND]", "  The usage, or what one command does.\n"},
};

constexpr std::string_view kConnectionHelp =
    "CONNECTION is sqlite:PATH, sqlite::memory:, postgresql://..., odbc:DSN=NAME;... or\n"
    "odbc:DRIVER={NAME};... (an ODBC connection string), optionally\n"
    "followed by ?kind=N&release=N&extended=0|1&version=TEXT&dualrate=0|1&trace=PATH\n";

std::string UsageText() {
  std::string out;
  for (const CommandHelp& c : kCommands) {
    out += out.empty() ? "usage: tarnlowst " : "       tarnlowst ";
    out += c.synopsis;
    out += '\n';
  }
  out += "       tarnlowst --help | --version\n";
  out += kConnectionHelp;
  return out;
}

int Usage() {
  std::cerr << UsageText();
  return 2;
}

int Help(const char* command) {
  if (command == nullptr) {
    std::cout << UsageText();
    return 0;
  }
  // A command with several forms (demo) describes each.
  bool found = false;
  for (const CommandHelp& c : kCommands) {
    if (c.name != command) continue;
    std::cout << (found ? "\n" : "") << "usage: tarnlowst " << c.synopsis << "\n" << c.text;
    found = true;
  }
  if (found) {
    for (const CommandHelp& c : kCommands)
      if (c.name == command && c.synopsis.find("CONNECTION") != std::string_view::npos) {
        std::cout << kConnectionHelp;
        break;
      }
    return 0;
  }
  std::cerr << "tarnlowst: no command " << command << "\n";
  return Usage();
}

int Version() {
  const tarnlow::TypeLibraryInfo& lib = tarnlow::TypeLibrary();
  std::cout << "tarnlowst " << TARNLOWST_VERSION << "\n"
            << tarnlow::clsTarnlowSTDataVer().TarnlowSTDataVer() << " (type library " << lib.name << " "
            << lib.major_version << "." << lib.minor_version << ")\n";
  return 0;
}

void PrintError(const tarnlow::Error& e) {
  std::cerr << "Error " << e.Number() << ": " << e.Source() << ": " << e.Description() << "\n";
}

int Init(std::string_view text) {
  auto connection = tarnlow::Connection::Open(text);
  const tarnlow::SchemaReport report = tarnlow::CreateMissingTables(*connection);
  for (const std::string& t : report.created) std::cout << "created " << t << "\n";
  for (const std::string& t : report.existing) std::cout << "kept    " << t << " (already there)\n";
  std::cout << report.created.size() << " tables created, " << report.existing.size()
            << " left as they were\n";
  return 0;
}

// Prints every way in which the database's tables do not fit the layouts
// the library reads and writes; nothing at all when they fit.
int Check(std::string_view text) {
  // A check looks: it never leaves a new empty database behind.
  auto connection = tarnlow::OpenExistingDatabase(text);
  const std::vector<std::string> problems = tarnlow::CheckTables(*connection);
  for (const std::string& p : problems) std::cout << p << "\n";
  return problems.empty() ? 0 : 1;
}

// The whole text of a script file, or nothing when the file cannot be
// opened. A folder, or a file that fails part way, is an error record.
std::optional<std::string> ReadScript(const std::string& file) {
  std::error_code ec;
  if (std::filesystem::is_directory(file, ec))
    throw tarnlow::Error(kPathFileAccess, tarnlow::RuntimeSource,
                         "Path/File access error: " + file + " is a folder, not a script file");
  std::ifstream in{file, std::ios::binary};
  if (!in) return std::nullopt;
  std::string text;
  if (const auto size = std::filesystem::file_size(file, ec); !ec) text.reserve(size);
  char buffer[64 * 1024];
  while (in.read(buffer, sizeof buffer) || in.gcount() > 0)
    text.append(buffer, static_cast<std::size_t>(in.gcount()));
  if (in.bad())
    throw tarnlow::Error(kPathFileAccess, tarnlow::RuntimeSource,
                         "Path/File access error: cannot read " + file);
  return text;
}

// Runs a script; what it prints, its message boxes and an error that ends it
// all go to standard output, in order. Exit status 0, or 1 when the script
// failed (syntax error or uncaught error).
int Run(std::string_view file) {
  std::string source;
  if (file == "-") {
    std::ostringstream in;
    in << std::cin.rdbuf();
    source = std::move(in).str();
  } else {
    std::optional<std::string> text = ReadScript(std::string(file));
    if (!text) {
      std::cerr << "tarnlowst: cannot read " << file << "\n";
      return 2;
    }
    source = std::move(*text);
  }
  return tarnlow::script::RunSource(source, std::cout);
}

int Classes(const char* name) {
  if (name == nullptr) {
    std::cout << tarnlow::DescribeTypeLibrary() << tarnlow::DescribeClasses();
    return 0;
  }
  if (std::string_view(name) == "--markdown") {
    std::cout << tarnlow::DescribeClassesMarkdown();
    return 0;
  }
  if (name[0] == '-') {
    std::cerr << "tarnlowst: unknown option " << name << "\n";
    return Usage();
  }
  const tarnlow::ClassInfo* info = tarnlow::Registry::Find(name);
  if (info == nullptr)
    throw tarnlow::Error(tarnlow::err::CannotCreateObject, tarnlow::RuntimeSource,
                         std::string("No class is registered as ") + name);
  std::cout << tarnlow::DescribeMembers(*info);
  return 0;
}

// The run's status once its output is out: output that could not be written
// (a full disk, a closed pipe) fails the run, so that nobody takes a cut
// listing for a whole one.
// (Why is not told: a write that failed before the end, a script's own
// flush say, leaves no reason behind.)
int Finish(int status) {
  std::cout.flush();
  const bool flushed = std::fflush(stdout) == 0;
  if (flushed && std::cout && std::ferror(stdout) == 0) return status;
  std::cerr << "tarnlowst: cannot write standard output\n";
  return status != 0 ? status : 1;
}

int Dispatch(int argc, char** argv) {
  if (argc < 2) return Usage();
  const std::string_view command = argv[1];
  if (command == "--help" || command == "-h") return argc == 2 ? Help(nullptr) : Usage();
  if (command == "--version") return argc == 2 ? Version() : Usage();
  if (command == "help" && argc <= 3) return Help(argc == 3 ? argv[2] : nullptr);
  if (command.starts_with("-")) {
    std::cerr << "tarnlowst: unknown option " << command << "\n";
    return Usage();
  }
  if (argc == 3 && (std::string_view(argv[2]) == "--help" || std::string_view(argv[2]) == "-h")) {
    for (const CommandHelp& c : kCommands)
      if (c.name == command) return Help(argv[1]);
  }
  try {
    if (command == "demo" && argc >= 3 && std::string_view(argv[2]) == "order" && argc <= 4)
      return RunOrderDemo(argc == 4 ? argv[3] : "sqlite::memory:");
    if (command == "demo" && argc <= 3) return RunDemo(argc == 3 ? argv[2] : "sqlite::memory:");
    if (command == "init" && argc == 3) return Init(argv[2]);
    if (command == "check" && argc == 3) return Check(argv[2]);
    if (command == "run" && argc == 3) return Run(argv[2]);
    if (command == "classes" && argc <= 3) return Classes(argc == 3 ? argv[2] : nullptr);
  } catch (const tarnlow::Error& e) {
    PrintError(e);
    return 1;
  } catch (...) {
    // Memory running out (error 7), say while a huge script is read, or any
    // other failure still ends with an error record.
    PrintError(tarnlow::CurrentException());
    return 1;
  }
  return Usage();
}

}  // namespace

int main(int argc, char** argv) {
  return Finish(Dispatch(argc, argv));
}
