// clsPORService.ReadIt reached late-bound (created through the registry,
// key assigned, operation called and result read by member name) against the
// typed C++ calls on the same database, in the same run. The pairs named
// ..._Typed and ..._LateBound are meant to be compared with each other.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "tarnlow/tarnlow.h"

namespace {

constexpr int kItems = 1000;

struct Database {
  std::string path;
  std::shared_ptr<tarnlow::Connection> connection;
  Database() {
    path = (std::filesystem::temp_directory_path() /
            ("tarnlow_late_bench_" + std::to_string(::getpid()) + ".db"))
               .string();
    std::filesystem::remove(path);
    connection = tarnlow::Connection::Open("sqlite:" + path);
    tarnlow::CreateMissingTables(*connection);
    const std::string table = connection->TableCatalogue()->ServiceTable();
    connection->Execute("begin");
    for (int i = 0; i < kItems; ++i)
      connection->Execute("insert into " + table + " (service, unit_code, cost) values ('SRV" +
                          std::to_string(i) + "', 'HOUR', " + std::to_string(i) + ".5)");
    connection->Execute("commit");
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

struct Codes {
  std::string text[16];
  tarnlow::Variant value[16];
  Codes() {
    for (int i = 0; i < 16; ++i) {
      text[i] = "SRV" + std::to_string(i * 37 % kItems);
      value[i] = tarnlow::Variant(text[i]);
    }
  }
};

void BM_ReadIt_Typed(benchmark::State& state) {
  tarnlow::clsPORService service;
  service.SageConnection(Shared().connection);
  const Codes codes;
  int i = 0;
  for (auto _ : state) {
    service.Service = codes.text[i++ & 15];
    service.ReadIt();
    benchmark::DoNotOptimize(service.cost());
  }
}
BENCHMARK(BM_ReadIt_Typed);

void BM_ReadIt_LateBound(benchmark::State& state) {
  using namespace tarnlow;
  const ObjectPtr service = CreateObject("clsPORService");
  late::Set(*service, "SageConnection", Shared().connection);
  const Codes codes;
  int i = 0;
  for (auto _ : state) {
    late::Let(*service, "Service", codes.value[i++ & 15]);
    late::Call(*service, "ReadIt");
    benchmark::DoNotOptimize(late::Get(*service, "cost"));
  }
}
BENCHMARK(BM_ReadIt_LateBound);

// The dispatch alone, without the database: one property read.
void BM_PropertyRead_Typed(benchmark::State& state) {
  tarnlow::clsPORService service;
  service.Service = "SRV1";
  for (auto _ : state) benchmark::DoNotOptimize(service.Service().size());
}
BENCHMARK(BM_PropertyRead_Typed);

void BM_PropertyRead_LateBound(benchmark::State& state) {
  const tarnlow::ObjectPtr service = tarnlow::CreateObject("clsPORService");
  tarnlow::late::Let(*service, "Service", tarnlow::Variant("SRV1"));
  for (auto _ : state) benchmark::DoNotOptimize(tarnlow::late::Get(*service, "service"));
}
BENCHMARK(BM_PropertyRead_LateBound);

}  // namespace
