// What the paired whole-operation cases (a goods receipt, a 50-line order)
// share: the clocks of each side, the alternating turn, the counters they
// report, and the small file and connection-text helpers of their set-up.
#pragma once

#include <benchmark/benchmark.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "pg_schema.h"
#include "table/paired.h"

namespace paired_cases {

// Wall and thread CPU time summed over the operations of one side, in seconds.
struct Clocks {
  double wall = 0, cpu = 0;
  std::int64_t operations = 0;

  template <class F>
  void Time(F&& operation) {
    const auto wall_start = std::chrono::steady_clock::now();
    const double cpu_start = bench_table::ThreadCpuSeconds();
    operation();
    cpu += bench_table::ThreadCpuSeconds() - cpu_start;
    wall += std::chrono::duration<double>(std::chrono::steady_clock::now() - wall_start).count();
    ++operations;
  }
  double WallPerOperation() const { return wall / static_cast<double>(operations) * 1e6; }
  double CpuPerOperation() const { return cpu / static_cast<double>(operations) * 1e6; }
};

// One turn of each side, the order swapped from one turn to the next, so that
// neither side always runs on a cache the other warmed.
template <class L, class R>
void AlternateTurn(bool& library_first, L&& library, R&& raw) {
  if (library_first) {
    library();
    raw();
  } else {
    raw();
    library();
  }
  library_first = !library_first;
}

inline void ReportPair(benchmark::State& state, const Clocks& library, const Clocks& raw) {
  if (library.operations == 0 || raw.operations == 0) return;
  state.counters["lib_wall_us"] = library.WallPerOperation();
  state.counters["raw_wall_us"] = raw.WallPerOperation();
  state.counters["wall_ratio"] = library.wall / raw.wall;
  state.counters["lib_cpu_us"] = library.CpuPerOperation();
  state.counters["raw_cpu_us"] = raw.CpuPerOperation();
  state.counters["cpu_ratio"] = library.cpu / raw.cpu;
}

inline std::vector<std::string> ReadLines(const std::string& path) {
  std::vector<std::string> lines;
  std::ifstream in(path);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

inline std::string TempPath(const std::string& name) {
  return (std::filesystem::temp_directory_path() / (name + "_" + std::to_string(::getpid()))).string();
}

using bench_pg::WithOption;

// A database file in the temporary folder, with its WAL and shared-memory
// files: removed when made (a leftover of an earlier run) and when dropped.
class TempDatabaseFile {
 public:
  explicit TempDatabaseFile(const std::string& name) : path_(TempPath(name) + ".db") { Remove(); }
  ~TempDatabaseFile() { Remove(); }
  TempDatabaseFile(const TempDatabaseFile&) = delete;
  TempDatabaseFile& operator=(const TempDatabaseFile&) = delete;
  const std::string& Path() const { return path_; }

 private:
  void Remove() {
    for (const char* suffix : {"", "-wal", "-shm"}) std::filesystem::remove(path_ + suffix);
  }
  std::string path_;
};

// The library's traced texts (numbered as the raw side numbers them) against
// the raw side's log, as sets: "" when they match, else the first text each
// side sent alone.
inline std::string CompareTexts(std::vector<std::string> library, std::vector<std::string> raw) {
  std::sort(library.begin(), library.end());
  std::sort(raw.begin(), raw.end());
  if (library == raw) return "";
  std::vector<std::string> only_library, only_raw;
  std::set_difference(library.begin(), library.end(), raw.begin(), raw.end(),
                      std::back_inserter(only_library));
  std::set_difference(raw.begin(), raw.end(), library.begin(), library.end(), std::back_inserter(only_raw));
  return "statement texts differ: library sent [" + (only_library.empty() ? "" : only_library.front()) +
         "], raw side sent [" + (only_raw.empty() ? "" : only_raw.front()) + "] (" +
         std::to_string(library.size()) + " texts against " + std::to_string(raw.size()) + ")";
}

}  // namespace paired_cases
