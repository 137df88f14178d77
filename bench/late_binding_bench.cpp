// clsPORService.ReadIt reached late-bound (created through the registry,
// key assigned, operation called and result read by member name) against the
// typed C++ calls on the same database, in the same run. The rows named
// ..._Typed, ..._LateBound and ..._CInterface are meant to be compared with
// each other; the C interface rows are what a C, Python or other foreign
// caller pays on top of late binding (handles, tagged values, the error
// record).
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "tarnlow/tarnlow.h"
#include "tarnlow/tarnlow_c.h"

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

void BM_ReadIt_CInterface(benchmark::State& state) {
  tarnlow_object *connection = nullptr, *service = nullptr;
  const std::string text = "sqlite:" + Shared().path;
  if (tarnlow_open_connection(text.c_str(), &connection) != TARNLOW_OK ||
      tarnlow_create_object("clsPORService", &service) != TARNLOW_OK ||
      tarnlow_set(service, "SageConnection", connection) != TARNLOW_OK) {
    state.SkipWithError(tarnlow_last_error()->description);
    return;
  }
  const Codes codes;
  int i = 0;
  for (auto _ : state) {
    const tarnlow_value code = tarnlow_text_value(codes.text[i++ & 15].c_str());
    tarnlow_value cost;
    if (tarnlow_let(service, "Service", &code) != TARNLOW_OK ||
        tarnlow_call(service, "ReadIt", nullptr, 0, nullptr) != TARNLOW_OK ||
        tarnlow_get(service, "cost", nullptr, 0, &cost) != TARNLOW_OK) {
      state.SkipWithError(tarnlow_last_error()->description);
      break;
    }
    benchmark::DoNotOptimize(cost.as.number);
  }
  tarnlow_object_release(service);
  tarnlow_object_release(connection);
}
BENCHMARK(BM_ReadIt_CInterface);

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

// A number property (no text to copy out) read each way.
void BM_NumberPropertyRead_Typed(benchmark::State& state) {
  tarnlow::clsPORService service;
  for (auto _ : state) {
    benchmark::DoNotOptimize(&service);
    benchmark::DoNotOptimize(service.cost());
  }
}
BENCHMARK(BM_NumberPropertyRead_Typed);

void BM_NumberPropertyRead_CInterface(benchmark::State& state) {
  tarnlow_object* service = nullptr;
  if (tarnlow_create_object("clsPORService", &service) != TARNLOW_OK) {
    state.SkipWithError(tarnlow_last_error()->description);
    return;
  }
  for (auto _ : state) {
    tarnlow_value cost;
    tarnlow_get(service, "cost", nullptr, 0, &cost);
    benchmark::DoNotOptimize(cost.as.number);
  }
  tarnlow_object_release(service);
}
BENCHMARK(BM_NumberPropertyRead_CInterface);

void BM_PropertyRead_CInterface(benchmark::State& state) {
  tarnlow_object* service = nullptr;
  const tarnlow_value code = tarnlow_text_value("SRV1");
  if (tarnlow_create_object("clsPORService", &service) != TARNLOW_OK ||
      tarnlow_let(service, "Service", &code) != TARNLOW_OK) {
    state.SkipWithError(tarnlow_last_error()->description);
    return;
  }
  for (auto _ : state) {
    tarnlow_value text;
    tarnlow_get(service, "service", nullptr, 0, &text);
    benchmark::DoNotOptimize(text.as.text.length);
    tarnlow_value_free(&text);
  }
  tarnlow_object_release(service);
}
BENCHMARK(BM_PropertyRead_CInterface);

}  // namespace
