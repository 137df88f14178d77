// Parsing a long generated script: time per line, and the heap the parsed
// form keeps a statement (counter bytes_per_statement) and a line
// (bytes_per_line), as the allocator counts them.
#include <benchmark/benchmark.h>
#include <malloc.h>

#include <string>

#include "script/parser.h"

namespace {

// Lines of the kinds a receiving script is made of.
std::string Script(int repeats) {
  std::string s;
  for (int i = 0; i < repeats; ++i)
    s += "x = x + 1\n"
         "Print \"abc\", y * 2.5, #2000-01-01#\n"
         "If x > 3 Then y = Left(\"abcdef\", 2) Else y = 0\n"
         "o.Service = \"SRV\" & CStr(x)\n"
         "Set o.SageConnection = c\n";
  return s;
}

std::size_t HeapInUse() {
  const struct mallinfo2 m = mallinfo2();
  return m.uordblks + m.hblkhd;
}

void BM_ParseScript(benchmark::State& state) {
  const int repeats = static_cast<int>(state.range(0));
  const std::string source = Script(repeats);
  const double lines = 5.0 * repeats;
  std::size_t kept = 0, statements = 0;
  for (auto _ : state) {
    const std::size_t before = HeapInUse();
    auto program = tarnlow::script::Parse(source);
    kept = HeapInUse() - before;
    statements = program->stmts.size();
    benchmark::DoNotOptimize(program);
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * lines));
  state.counters["bytes_per_statement"] = static_cast<double>(kept) / static_cast<double>(statements);
  state.counters["bytes_per_line"] = static_cast<double>(kept) / lines;
}
BENCHMARK(BM_ParseScript)->Arg(1000)->Arg(40000)->Unit(benchmark::kMillisecond);

}  // namespace
