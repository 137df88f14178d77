// The measuring loop of the ratio table. Each row runs two sides doing the
// same work: batches of one side and then the other, the order swapped every
// round, each batch timed on the thread's CPU clock and on the wall clock.
// A round gives one ratio (first side over second side); the row reports the
// median of its rounds and the middle half of them as the spread, so that a
// burst of other work on a shared machine moves a round, not the answer.
#pragma once

#include <benchmark/benchmark.h>
#include <time.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

namespace bench_table {

// Runs `n` operations of one side.
using Side = std::function<void(long n)>;

struct Settings {
  int rounds = 15;
  double batch_seconds = 0.004;  // CPU time one side's batch should take
  // Run untimed before every batch of either side, e.g. to take a database
  // file's upkeep out of the batches.
  std::function<void()> before_batch;
};

struct Sample {
  double cpu_ns = 0;  // per operation
  double wall_ns = 0;
};

struct Result {
  Result(std::string n, std::string a) : name(std::move(n)), against(std::move(a)) {}
  std::string name;
  std::string against;
  std::string note;  // why a row has no figures, or what to keep in mind
  bool measured = false;
  double ratio = 0, ratio_low = 0, ratio_high = 0;  // CPU: median, middle half
  double wall_ratio = 0;                            // median
  double first_ns = 0, second_ns = 0;               // CPU per operation, medians
};

inline double ThreadCpuSeconds() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

inline Sample Time(const Side& side, long n, const Settings* s = nullptr) {
  if (s != nullptr && s->before_batch) s->before_batch();
  const auto wall_start = std::chrono::steady_clock::now();
  const double cpu_start = ThreadCpuSeconds();
  side(n);
  const double cpu = ThreadCpuSeconds() - cpu_start;
  const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - wall_start).count();
  return {cpu * 1e9 / static_cast<double>(n), wall * 1e9 / static_cast<double>(n)};
}

// The value at fraction q of sorted values, interpolated.
inline double Quantile(std::vector<double> v, double q) {
  std::sort(v.begin(), v.end());
  if (v.empty()) return 0;
  const double pos = q * static_cast<double>(v.size() - 1);
  const auto i = static_cast<std::size_t>(pos);
  const double f = pos - static_cast<double>(i);
  return i + 1 < v.size() ? v[i] * (1 - f) + v[i + 1] * f : v[i];
}

// Batch size: enough operations of the slower side to fill the batch time,
// found from a short trial run of each side (which also warms both).
inline long BatchSize(const Side& first, const Side& second, const Settings& s) {
  long n = 1;
  for (;;) {
    const double per_op = std::max(Time(first, n).cpu_ns, Time(second, n).cpu_ns);
    const double batch_ns = per_op * static_cast<double>(n);
    if (batch_ns >= s.batch_seconds * 1e9 / 4 || n >= (1L << 24))
      return std::max(1L, static_cast<long>(s.batch_seconds * 1e9 / std::max(per_op, 1.0)));
    n *= 4;
  }
}

inline Result Measure(std::string name, std::string against, const Side& first, const Side& second,
                      const Settings& s) {
  Result r{std::move(name), std::move(against)};
  const long n = BatchSize(first, second, s);
  std::vector<double> ratios, wall_ratios, a, b;
  for (int round = 0; round < s.rounds; ++round) {
    Sample x, y;
    if (round % 2 == 0) {
      x = Time(first, n, &s);
      y = Time(second, n, &s);
    } else {
      y = Time(second, n, &s);
      x = Time(first, n, &s);
    }
    ratios.push_back(x.cpu_ns / y.cpu_ns);
    wall_ratios.push_back(x.wall_ns / y.wall_ns);
    a.push_back(x.cpu_ns);
    b.push_back(y.cpu_ns);
  }
  r.measured = true;
  r.ratio = Quantile(ratios, 0.5);
  r.ratio_low = Quantile(ratios, 0.25);
  r.ratio_high = Quantile(ratios, 0.75);
  r.wall_ratio = Quantile(wall_ratios, 0.5);
  r.first_ns = Quantile(a, 0.5);
  r.second_ns = Quantile(b, 0.5);
  return r;
}

inline Result Skipped(std::string name, std::string against, std::string why);

// Measure, with a failure of either side reported on the row instead.
template <class Describe>
Result Guarded(std::string name, std::string against, const Side& first, const Side& second,
               const Settings& s, Describe&& describe) {
  try {
    return Measure(name, against, first, second, s);
  } catch (...) {
    return Skipped(std::move(name), std::move(against), "failed: " + describe(std::current_exception()));
  }
}

inline Result Skipped(std::string name, std::string against, std::string why) {
  Result r{std::move(name), std::move(against)};
  r.note = std::move(why);
  return r;
}

inline std::string Nanoseconds(double ns) {
  char buf[32];
  if (ns >= 1e6)
    std::snprintf(buf, sizeof buf, "%.2f ms", ns / 1e6);
  else if (ns >= 1e4)
    std::snprintf(buf, sizeof buf, "%.1f us", ns / 1e3);
  else if (ns >= 1e3)
    std::snprintf(buf, sizeof buf, "%.2f us", ns / 1e3);
  else
    std::snprintf(buf, sizeof buf, "%.1f ns", ns);
  return buf;
}

inline void Print(const std::vector<Result>& rows, std::FILE* out) {
  std::fprintf(out, "%-44s %-28s %7s %15s %7s %10s %10s\n", "row (first side)", "against (second side)",
               "cpu x", "middle half", "wall x", "first", "second");
  std::fprintf(out, "%s\n", std::string(127, '-').c_str());
  for (const Result& r : rows) {
    if (!r.measured) {
      std::fprintf(out, "%-44s %-28s skipped: %s\n", r.name.c_str(), r.against.c_str(), r.note.c_str());
      continue;
    }
    char spread[40];
    std::snprintf(spread, sizeof spread, "%.3f-%.3f", r.ratio_low, r.ratio_high);
    std::fprintf(out, "%-44s %-28s %7.3f %15s %7.3f %10s %10s%s%s\n", r.name.c_str(), r.against.c_str(),
                 r.ratio, spread, r.wall_ratio, Nanoseconds(r.first_ns).c_str(),
                 Nanoseconds(r.second_ns).c_str(), r.note.empty() ? "" : "  ", r.note.c_str());
  }
}

}  // namespace bench_table
