// tarnlowst: the library's command-line program.
//   tarnlowst demo [CONNECTION]   a worked example on a fresh embedded database
//   tarnlowst init CONNECTION     creates the tables that are missing
//   tarnlowst check CONNECTION    compares the database's tables with the library's layouts
//   tarnlowst run FILE            runs a script of late-bound calls (FILE - : standard input)
//   tarnlowst classes [NAME]      lists the registered classes, or one class's members
#include <cstdio>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "component/script/script.h"
#include "demo.h"
#include "tarnlow/tarnlow.h"

namespace {

int Usage() {
  std::cerr << "usage: tarnlowst demo [CONNECTION]\n"
               "       tarnlowst init CONNECTION\n"
               "       tarnlowst check CONNECTION  (prints what does not fit; exit status 0 when all fits)\n"
               "       tarnlowst run FILE          (FILE - reads the script from standard input)\n"
               "       tarnlowst classes [NAME]    (NAME: a class name or class identity)\n"
               "CONNECTION is sqlite:PATH, sqlite::memory:, postgresql://..., odbc:DSN=NAME;... or\n"
               "odbc:DRIVER={NAME};... (an ODBC connection string), optionally\n"
               "followed by ?kind=N&release=N&extended=0|1&version=TEXT&dualrate=0|1&trace=PATH\n";
  return 2;
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
  auto connection = tarnlow::Connection::Open(text);
  const std::vector<std::string> problems = tarnlow::CheckTables(*connection);
  for (const std::string& p : problems) std::cout << p << "\n";
  return problems.empty() ? 0 : 1;
}

// Runs a script; what it prints, its message boxes and an error that ends it
// all go to standard output, in order. Exit status 0, or 1 when the script
// failed (syntax error or uncaught error).
int Run(std::string_view file) {
  std::ostringstream source;
  if (file == "-") {
    source << std::cin.rdbuf();
  } else {
    std::ifstream in{std::string(file), std::ios::binary};
    if (!in) {
      std::cerr << "tarnlowst: cannot read " << file << "\n";
      return 2;
    }
    source << in.rdbuf();
  }
  return tarnlow::script::RunSource(source.str(), std::cout);
}

int Classes(const char* name) {
  if (name == nullptr) {
    std::cout << tarnlow::DescribeClasses();
    return 0;
  }
  const tarnlow::ClassInfo* info = tarnlow::Registry::Find(name);
  if (info == nullptr)
    throw tarnlow::Error(tarnlow::err::CannotCreateObject, tarnlow::RuntimeSource,
                         std::string("No class is registered as ") + name);
  std::cout << tarnlow::DescribeMembers(*info);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return Usage();
  const std::string_view command = argv[1];
  try {
    if (command == "demo") return RunDemo(argc > 2 ? argv[2] : "sqlite::memory:");
    if (command == "init" && argc == 3) return Init(argv[2]);
    if (command == "check" && argc == 3) return Check(argv[2]);
    if (command == "run" && argc == 3) return Run(argv[2]);
    if (command == "classes" && argc <= 3) return Classes(argc == 3 ? argv[2] : nullptr);
  } catch (const tarnlow::Error& e) {
    PrintError(e);
    return 1;
  }
  return Usage();
}
