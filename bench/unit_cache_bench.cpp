// Lookups from the whole-table caches of 100,000 rows (unit descriptions,
// unit conversions, product unit conversions, product-group tolerances)
// against a bare std::unordered_map find over the same keys, in the same run.
// Each ..._Cache benchmark is meant to be read beside its ..._HashFind twin;
// the caches are loaded before timing starts, and ..._Load times one load.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "tarnlow/tarnlow.h"

namespace {

constexpr int kRows = 100000;
// Conversions: 10,000 base units with ten converted units each.
constexpr int kConvertedPerBase = 10;
// Lookups walk the keys in a scattered order that visits every row.
constexpr int kStride = 7919;

std::string Code(const char* prefix, int i, int digits) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%s%0*d", prefix, digits, i);
  return buf;
}
std::string UnitCode(int i) {
  return Code("U", i, 5);
}
std::string BaseUnit(int i) {
  return Code("B", i / kConvertedPerBase, 4);
}
std::string ConvertedUnit(int i) {
  return Code("C", i % kConvertedPerBase, 1);
}
std::string Group(int i) {
  return Code("G", i, 6);
}
std::string Product(int i) {
  return Code("P", i, 6);
}

struct Database {
  std::string path;
  std::shared_ptr<tarnlow::Connection> connection;
  Database() {
    path = (std::filesystem::temp_directory_path() /
            ("tarnlow_unit_bench_" + std::to_string(::getpid()) + ".db"))
               .string();
    std::filesystem::remove(path);
    connection = tarnlow::Connection::Open("sqlite:" + path);
    tarnlow::CreateMissingTables(*connection);
    const auto t = connection->TableCatalogue();
    const std::string numbers = "with recursive n(i) as (select 0 union all select i + 1 from n where i < " +
                                std::to_string(kRows - 1) + ") ";
    connection->Execute("insert into " + t->UnitDescriptionTable() + " (unit_code, dec_places) " + numbers +
                        "select printf('U%05d', i), i % 5 from n");
    connection->Execute(
        "insert into " + t->UnitConversionTable() +
        " (base_name, converted_unit, conv_factor, conv_method, from_min_break, to_min_break) " + numbers +
        "select printf('B%04d', i / 10), printf('C%d', i % 10), i + 0.5, 'M', 0, i from n");
    connection->Execute(
        "insert into " + t->ProductUnitTable() +
        " (warehouse, product, base_name, converted_unit, conv_factor, conv_method, alt_unit) " + numbers +
        "select '01', printf('P%06d', i), 'BOX', 'EACH', i, 'M', 'N' from n");
    connection->Execute("insert into " + t->ProductGroupToleranceTable() +
                        " (product_group, delivery_qty_tol, call_off_qty_tol) " + numbers +
                        "select printf('G%06d', i), (i % 20) || '%', '5%' from n");
  }
  ~Database() {
    connection.reset();
    for (const char* suffix : {"", "-wal", "-shm"}) std::filesystem::remove(path + suffix);
  }
};

Database& Shared() {
  static Database db;
  return db;
}

// The keys of every row, in lookup order.
template <class MakeKey>
std::vector<std::string> Keys(MakeKey make) {
  std::vector<std::string> keys;
  keys.reserve(kRows);
  for (int n = 0; n < kRows; ++n)
    keys.push_back(make(static_cast<int>((static_cast<long long>(n) * kStride) % kRows)));
  return keys;
}

// ---- unit descriptions -------------------------------------------------------------

void BM_UnitDescription_Cache(benchmark::State& state) {
  tarnlow::clsSTUnitDD unit;
  unit.SageConnection(Shared().connection);
  unit.unit_code = UnitCode(0);
  unit.ReadFromList();  // loads the copy
  const auto keys = Keys(UnitCode);
  std::size_t i = 0;
  for (auto _ : state) {
    unit.unit_code = keys[i++ % kRows];
    unit.ReadFromList();
    benchmark::DoNotOptimize(unit.dec_places());
  }
}
BENCHMARK(BM_UnitDescription_Cache);

void BM_UnitDescription_HashFind(benchmark::State& state) {
  std::unordered_map<std::string, std::int16_t> map;
  for (int n = 0; n < kRows; ++n) map.emplace(UnitCode(n), static_cast<std::int16_t>(n % 5));
  const auto keys = Keys(UnitCode);
  std::size_t i = 0;
  for (auto _ : state) {
    auto it = map.find(keys[i++ % kRows]);
    benchmark::DoNotOptimize(it->second);
  }
}
BENCHMARK(BM_UnitDescription_HashFind);

void BM_UnitDescription_Load(benchmark::State& state) {
  for (auto _ : state) {
    tarnlow::clsSTUnitDD unit;
    unit.SageConnection(Shared().connection);
    unit.unit_code = UnitCode(1);
    unit.ReadFromList();
    benchmark::DoNotOptimize(unit.dec_places());
  }
}
BENCHMARK(BM_UnitDescription_Load)->Unit(benchmark::kMillisecond)->Iterations(3);

// ---- unit conversions ----------------------------------------------------------------

// The lookup finds the first row of the base unit and walks forward to the
// converted unit: with range 0 any of the ten (five rows on average), with
// range 1 always the first.
void BM_UnitConversion_Cache(benchmark::State& state) {
  tarnlow::clsSTUnitCD conversion;
  conversion.SageConnection(Shared().connection);
  conversion.base_name = BaseUnit(0);
  conversion.converted_unit = ConvertedUnit(0);
  conversion.ReadFromList();
  std::vector<std::pair<std::string, std::string>> keys;
  for (int n = 0; n < kRows; ++n) {
    int r = static_cast<int>((static_cast<long long>(n) * kStride) % kRows);
    if (state.range(0) == 1) r -= r % kConvertedPerBase;
    keys.emplace_back(BaseUnit(r), ConvertedUnit(r));
  }
  std::size_t i = 0;
  for (auto _ : state) {
    const auto& [base, converted] = keys[i++ % kRows];
    conversion.base_name = base;
    conversion.converted_unit = converted;
    conversion.ReadFromList();
    benchmark::DoNotOptimize(conversion.conv_factor());
  }
}
BENCHMARK(BM_UnitConversion_Cache)->Arg(0)->Arg(1);

void BM_UnitConversion_HashFind(benchmark::State& state) {
  struct Rule {
    double factor;
    std::string method;
    double from_min, to_min;
  };
  std::unordered_map<std::string, Rule> map;
  for (int n = 0; n < kRows; ++n)
    map.emplace(BaseUnit(n) + "/" + ConvertedUnit(n), Rule{n + 0.5, "M", 0, 1.0 * n});
  const auto keys = Keys([](int r) { return BaseUnit(r) + "/" + ConvertedUnit(r); });
  std::size_t i = 0;
  for (auto _ : state) {
    auto it = map.find(keys[i++ % kRows]);
    benchmark::DoNotOptimize(it->second.factor);
  }
}
BENCHMARK(BM_UnitConversion_HashFind);

// ---- product unit conversions ------------------------------------------------------------

void BM_ProductUnit_Cache(benchmark::State& state) {
  tarnlow::clsSTUnitPD unit;
  unit.SageConnection(Shared().connection);
  unit.warehouse = "01";
  unit.base_name = "BOX";
  unit.converted_unit = "EACH";
  unit.product = Product(0);
  unit.ReadFromList();
  const auto keys = Keys(Product);
  std::size_t i = 0;
  for (auto _ : state) {
    // A cached row is copied in whole, so the key parts are set each time.
    unit.warehouse = "01";
    unit.base_name = "BOX";
    unit.converted_unit = "EACH";
    unit.product = keys[i++ % kRows];
    unit.ReadFromList();
    benchmark::DoNotOptimize(unit.conv_factor());
  }
}
BENCHMARK(BM_ProductUnit_Cache);

void BM_ProductUnit_HashFind(benchmark::State& state) {
  std::unordered_map<std::string, double> map;
  for (int n = 0; n < kRows; ++n) map.emplace("BOX   EACH  01" + Product(n), n);
  const auto keys = Keys([](int r) { return "BOX   EACH  01" + Product(r); });
  std::size_t i = 0;
  for (auto _ : state) {
    auto it = map.find(keys[i++ % kRows]);
    benchmark::DoNotOptimize(it->second);
  }
}
BENCHMARK(BM_ProductUnit_HashFind);

// ---- product-group tolerances ----------------------------------------------------------------

void BM_GroupTolerance_Cache(benchmark::State& state) {
  tarnlow::clsStkpgtxD tolerance;
  tolerance.SageConnection(Shared().connection);
  tolerance.product_group = Group(0);
  tolerance.ReadIt();
  const auto keys = Keys(Group);
  std::size_t i = 0;
  for (auto _ : state) {
    tolerance.product_group = keys[i++ % kRows];
    tolerance.ReadIt();
    benchmark::DoNotOptimize(tolerance.delivery_qty_tol());
  }
}
BENCHMARK(BM_GroupTolerance_Cache);

void BM_GroupTolerance_HashFind(benchmark::State& state) {
  std::unordered_map<std::string, std::pair<std::string, std::string>> map;
  for (int n = 0; n < kRows; ++n) map.emplace(Group(n), std::make_pair(std::to_string(n % 20) + "%", "5%"));
  const auto keys = Keys(Group);
  std::size_t i = 0;
  for (auto _ : state) {
    auto it = map.find(keys[i++ % kRows]);
    benchmark::DoNotOptimize(it->second.first);
  }
}
BENCHMARK(BM_GroupTolerance_HashFind);

}  // namespace
