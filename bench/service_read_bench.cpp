// clsPORService.ReadIt in a loop against the raw SQLite C API running the
// same prepared select on the same database file, in the same process.
#include <benchmark/benchmark.h>
#include <sqlite3.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "tarnlow/tarnlow.h"

namespace {

constexpr int kItems = 1000;

// Both connections stay open for the whole run, so that the library and the
// raw API meet the same file-locking conditions.
struct Fixture {
  std::string path;
  std::shared_ptr<tarnlow::Connection> connection;
  sqlite3* raw = nullptr;
  Fixture() {
    path = (std::filesystem::temp_directory_path() / ("tarnlow_bench_" + std::to_string(::getpid()) + ".db"))
               .string();
    std::filesystem::remove(path);
    connection = tarnlow::Connection::Open("sqlite:" + path);
    tarnlow::CreateMissingTables(*connection);
    connection->Execute("begin");
    for (int i = 0; i < kItems; ++i)
      connection->Execute("insert into service_item (service, unit_code, cost) values ('SRV" +
                          std::to_string(i) + "', 'HOUR', " + std::to_string(i) + ".5)");
    connection->Execute("commit");
    sqlite3_open_v2(path.c_str(), &raw, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX, nullptr);
    sqlite3_busy_timeout(raw, 30000);
  }
  ~Fixture() {
    sqlite3_close(raw);
    connection.reset();
    for (const char* suffix : {"", "-wal", "-shm"}) std::filesystem::remove(path + suffix);
  }
};

Fixture& Shared() {
  static Fixture f;
  return f;
}

std::string Code(int i) {
  return "SRV" + std::to_string(i % kItems);
}

void BM_ServiceReadIt_Library(benchmark::State& state) {
  tarnlow::clsPORService service;
  service.SageConnection(Shared().connection);
  std::string codes[16];
  for (int i = 0; i < 16; ++i) codes[i] = Code(i * 37);
  int i = 0;
  for (auto _ : state) {
    service.Service = codes[i++ & 15];
    service.ReadIt();
    benchmark::DoNotOptimize(service.cost());
  }
}
BENCHMARK(BM_ServiceReadIt_Library);

void BM_ServiceReadIt_RawSqlite(benchmark::State& state) {
  sqlite3* db = Shared().raw;
  sqlite3_stmt* stmt = nullptr;
  sqlite3_prepare_v3(db, "select service,unit_code, cost  from service_item where service = ?", -1,
                     SQLITE_PREPARE_PERSISTENT, &stmt, nullptr);
  std::string codes[16];
  for (int i = 0; i < 16; ++i) codes[i] = Code(i * 37);
  int i = 0;
  for (auto _ : state) {
    const std::string& code = codes[i++ & 15];
    sqlite3_reset(stmt);
    sqlite3_bind_text(stmt, 1, code.data(), static_cast<int>(code.size()), SQLITE_TRANSIENT);
    if (sqlite3_step(stmt) != SQLITE_ROW) state.SkipWithError("no row");
    std::string service(reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0)));
    std::string unit(reinterpret_cast<const char*>(sqlite3_column_text(stmt, 1)));
    double cost = sqlite3_column_double(stmt, 2);
    benchmark::DoNotOptimize(service);
    benchmark::DoNotOptimize(unit);
    benchmark::DoNotOptimize(cost);
    sqlite3_reset(stmt);
  }
  sqlite3_finalize(stmt);
}
BENCHMARK(BM_ServiceReadIt_RawSqlite);

}  // namespace
