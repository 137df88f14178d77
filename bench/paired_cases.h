// What the paired whole-operation cases (a goods receipt, a 50-line order)
// share: the clocks of each side, the alternating turn, the counters they
// report, and the small file and connection-text helpers of their set-up.
#pragma once

#include <benchmark/benchmark.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <fstream>
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

}  // namespace paired_cases
