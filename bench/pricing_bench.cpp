// The pricing caches against what they replace, in one run.
//
// Lookups (per call): FindClosestCode over a loaded 100,000-row VAT matrix
// (a hit, and a pair that misses all three keys), discount ReadIt over a
// loaded 100,000-row discount table, and a repeated supplier-information
// read; beside a bare std::unordered_map find over the same keys, and beside
// the point SELECT each lookup replaces, through the library (ReadIt without
// a cache) and through the raw client API, on SQLite and on PostgreSQL when
// TARNLOW_PG_URI names a server.
//
// Loads (per load): the VAT matrix and the discount cache, beside reading
// the same rows into plain structs through the raw client API. The load
// cases report the heap bytes the loaded cache holds ("cache_bytes", from
// the allocator's own count), as does the bare map ("map_bytes").
#include <benchmark/benchmark.h>
#include <libpq-fe.h>
#include <malloc.h>
#include <sqlite3.h>
#include <unistd.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <random>
#include <stdexcept>
#include <string>
#include <unordered_map>
#include <vector>

#include "connection/statistics.h"
#include "paired_cases.h"
#include "tarnlow/tarnlow.h"

namespace pricing_bench {
namespace {

// 100 x 1,000 keys in each table.
constexpr int kOuter = 100;
constexpr int kInner = 1000;
constexpr int kRows = kOuter * kInner;
constexpr int kPicks = 1 << 17;  // a power of two, more than the rows: every lookup likely a new row

std::string Number(const char* prefix, int n, int width) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%s%0*d", prefix, width, n);
  return buf;
}
// VAT matrix: item types of ten characters, account types of seven.
std::string ItemType(int i) {
  return Number("ITEM", i, 6);
}
std::string AccountType(int a) {
  return Number("ACCT", a, 3);
}
std::string VatCode(int i, int a) {
  return std::to_string((i + a) % 10);
}
// Discounts: the codes fill their key widths (4, 8, 3).
std::string CustCode(int c) {
  return Number("C", c, 3);
}
std::string ProdCode(int p) {
  return Number("P", p, 7);
}
const std::string kList = "L01";
// Supplier information.
std::string Supplier(int s) {
  return Number("SUP", s, 5);
}
std::string Product(int p) {
  return Number("PROD", p, 6);
}

// The same pseudo-random rows for every case: (outer, inner) pairs.
const std::vector<std::pair<int, int>>& Picks() {
  static const std::vector<std::pair<int, int>> picks = [] {
    std::mt19937 rng(20240601);
    std::vector<std::pair<int, int>> out(kPicks);
    for (auto& p : out) p = {static_cast<int>(rng() % kOuter), static_cast<int>(rng() % kInner)};
    return out;
  }();
  return picks;
}

std::size_t HeapInUse() {
  return mallinfo2().uordblks;
}

// Inserts kRows rows, `row(outer, inner)` giving the values of each, a
// thousand rows a statement.
void Fill(tarnlow::Connection& c, const std::string& head, const std::function<std::string(int, int)>& row) {
  c.Execute("begin");
  for (int o = 0; o < kOuter; ++o) {
    std::string sql = head + " values ";
    for (int i = 0; i < kInner; ++i) sql += (i ? ",(" : "(") + row(o, i) + ")";
    c.Execute(sql);
  }
  c.Execute("commit");
}

void FillTables(tarnlow::Connection& c) {
  Fill(c, "insert into vat_matrix (account_vat_type, item_vat_type, description, vat_code)",
       [](int a, int i) {
         return "'" + AccountType(a) + "','" + ItemType(i) + "','matrix row','" + VatCode(i, a) + "'";
       });
  std::string discount_head =
      "insert into purchase_discount (cust_disc_code, prod_disc_code, price_list, "
      "description, discount_type, unit_code, unit_group, vat_inclusive_flag, slash1, "
      "slash2";
  for (int k = 1; k <= 7; ++k)
    discount_head += ", quantity_break" + std::to_string(k) + ", discount" + std::to_string(k);
  Fill(c, discount_head + ")", [](int cust, int prod) {
    std::string v = "'" + CustCode(cust) + "','" + ProdCode(prod) + "','" + kList +
                    "','quantity breaks','Q','EACH','U','N','/','/'";
    for (int k = 1; k <= 7; ++k) v += "," + std::to_string(k * 10) + "," + std::to_string(k) + ".5";
    return v;
  });
  Fill(c,
       "insert into supplier_product_info (supplier, warehouse, product, part_no, description, "
       "long_description, "
       "cost, unit_code, unit_qty_cost, reorder_days)",
       [](int s, int p) {
         return "'" + Supplier(s) + "','01','" + Product(p) + "','PT" + std::to_string(s * kInner + p) +
                "','supplied item','the supplied item in full',12.5,'BOX',6,14";
       });
}

// ---- the raw client APIs --------------------------------------------------------------

// Prepared statements walked row by row, fields as text: the least a
// client of each API does.
class RawDatabase {
 public:
  virtual ~RawDatabase() = default;
  // Prepares a statement with "?" placeholders under a name.
  virtual void Prepare(const std::string& name, const std::string& sql) = 0;
  // Runs it with these values; Next steps to each row in turn.
  virtual void Start(const std::string& name, const std::vector<std::string>& values) = 0;
  virtual bool Next() = 0;
  virtual const char* Field(int column) const = 0;
};

class RawSqlite final : public RawDatabase {
 public:
  explicit RawSqlite(const std::string& path) {
    if (sqlite3_open_v2(path.c_str(), &db_, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX, nullptr) !=
        SQLITE_OK)
      throw std::runtime_error("raw sqlite open");
    sqlite3_busy_timeout(db_, 30000);
  }
  ~RawSqlite() override {
    for (auto& [name, s] : statements_) sqlite3_finalize(s);
    sqlite3_close_v2(db_);
  }
  void Prepare(const std::string& name, const std::string& sql) override {
    sqlite3_stmt* s = nullptr;
    if (sqlite3_prepare_v3(db_, sql.c_str(), -1, SQLITE_PREPARE_PERSISTENT, &s, nullptr) != SQLITE_OK)
      throw std::runtime_error(sqlite3_errmsg(db_));
    statements_[name] = s;
  }
  void Start(const std::string& name, const std::vector<std::string>& values) override {
    current_ = statements_.at(name);
    sqlite3_reset(current_);
    for (std::size_t i = 0; i < values.size(); ++i)
      sqlite3_bind_text(current_, static_cast<int>(i + 1), values[i].data(),
                        static_cast<int>(values[i].size()), SQLITE_STATIC);
  }
  bool Next() override {
    const int rc = sqlite3_step(current_);
    if (rc == SQLITE_ROW) return true;
    sqlite3_reset(current_);
    if (rc != SQLITE_DONE) throw std::runtime_error(sqlite3_errmsg(db_));
    return false;
  }
  const char* Field(int column) const override {
    return reinterpret_cast<const char*>(sqlite3_column_text(current_, column));
  }

 private:
  sqlite3* db_ = nullptr;
  sqlite3_stmt* current_ = nullptr;
  std::unordered_map<std::string, sqlite3_stmt*> statements_;
};

class RawPostgres final : public RawDatabase {
 public:
  explicit RawPostgres(const std::string& conninfo) : conn_(PQconnectdb(conninfo.c_str())) {
    if (PQstatus(conn_) != CONNECTION_OK) throw std::runtime_error(PQerrorMessage(conn_));
  }
  ~RawPostgres() override {
    PQclear(result_);
    PQfinish(conn_);
  }
  void Prepare(const std::string& name, const std::string& sql) override {
    std::string numbered;
    int n = 0;
    for (char ch : sql) numbered += ch == '?' ? "$" + std::to_string(++n) : std::string(1, ch);
    PGresult* r = PQprepare(conn_, name.c_str(), numbered.c_str(), n, nullptr);
    const bool ok = PQresultStatus(r) == PGRES_COMMAND_OK;
    PQclear(r);
    if (!ok) throw std::runtime_error(PQerrorMessage(conn_));
  }
  void Start(const std::string& name, const std::vector<std::string>& values) override {
    pointers_.clear();
    for (const std::string& v : values) pointers_.push_back(v.c_str());
    PQclear(result_);
    result_ = PQexecPrepared(conn_, name.c_str(), static_cast<int>(pointers_.size()), pointers_.data(),
                             nullptr, nullptr, 0);
    if (PQresultStatus(result_) != PGRES_TUPLES_OK) throw std::runtime_error(PQerrorMessage(conn_));
    row_ = -1;
  }
  bool Next() override { return ++row_ < PQntuples(result_); }
  const char* Field(int column) const override { return PQgetvalue(result_, row_, column); }

 private:
  PGconn* conn_;
  PGresult* result_ = nullptr;
  int row_ = -1;
  std::vector<const char*> pointers_;
};

// ---- one database with the three tables filled --------------------------------------

class Database {
 public:
  std::shared_ptr<tarnlow::Connection> connection;
  std::unique_ptr<RawDatabase> raw;
  std::string problem;  // why this database's cases cannot run

  void Setup(const std::string& text, const std::function<std::unique_ptr<RawDatabase>()>& open_raw) {
    try {
      connection = tarnlow::Connection::Open(text);
      tarnlow::CreateMissingTables(*connection);
      FillTables(*connection);
      raw = open_raw();
      raw->Prepare("vat", "select vat_code from vat_matrix where account_vat_type = ? and item_vat_type = ?");
      raw->Prepare("discount",
                   "select * from purchase_discount where cust_disc_code = ? and prod_disc_code = ? and "
                   "price_list = ?");
      raw->Prepare(
          "supplier",
          "select supplier, warehouse, product, part_no, description, long_description, cost, unit_code, "
          "unit_qty_cost, reorder_days from supplier_product_info where supplier = ? and warehouse = ? "
          "and product = ?");
      raw->Prepare("vat_all", "select * from vat_matrix");
      raw->Prepare("discount_all", "select * from purchase_discount");
    } catch (const std::exception& e) {
      problem = std::string("setup: ") + e.what();
    }
  }
};

class SqliteDatabase : public Database {
 public:
  SqliteDatabase() {
    Setup("sqlite:" + file_.Path(), [this] { return std::make_unique<RawSqlite>(file_.Path()); });
  }
  // The connections close before their files go.
  ~SqliteDatabase() {
    raw.reset();
    connection.reset();
  }

 private:
  paired_cases::TempDatabaseFile file_{"tarnlow_pricing_bench"};
};

const char* PgUri() {
  const char* uri = std::getenv("TARNLOW_PG_URI");
  return uri && *uri ? uri : nullptr;
}

class PostgresDatabase : public Database {
 public:
  PostgresDatabase() {
    try {
      schema_.emplace(PgUri(), "pricing_bench");
    } catch (const std::exception& e) {
      problem = std::string("setup: ") + e.what();
      return;
    }
    const std::string text = schema_->Text();
    Setup(text, [text] { return std::make_unique<RawPostgres>(text); });
  }
  // The connections go before the schema they work in.
  ~PostgresDatabase() {
    raw.reset();
    connection.reset();
  }

 private:
  std::optional<bench_pg::Schema> schema_;
};

Database& Sqlite() {
  static SqliteDatabase db;
  return db;
}
Database& Postgres() {
  static PostgresDatabase db;
  return db;
}

// The pick of iteration i, and the pick's texts prepared once.
struct PickTexts {
  std::vector<std::string> outer, inner;
  PickTexts(std::string (*o)(int), std::string (*in)(int)) {
    for (const auto& [a, b] : Picks()) {
      outer.push_back(o(a));
      inner.push_back(in(b));
    }
  }
};

bool Ready(benchmark::State& state, Database& db) {
  if (!db.problem.empty()) state.SkipWithError(db.problem.c_str());
  return db.problem.empty();
}

// ---- cached lookups ------------------------------------------------------------------------

void VatFindClosestCode(benchmark::State& state, Database& db, bool miss) {
  if (!Ready(state, db)) return;
  tarnlow::clsCEVatMatD matrix;
  matrix.SageConnection(db.connection);
  matrix.FindClosestCode();  // loads the matrix before the clock starts
  const PickTexts picks(&AccountType, &ItemType);
  const std::string absent = "NOSUCHITEM";
  std::size_t i = 0, found = 0;
  for (auto _ : state) {
    const std::size_t p = i++ & (kPicks - 1);
    matrix.item_vat_type = miss ? absent : picks.inner[p];
    matrix.account_vat_type = picks.outer[p];
    found += matrix.FindClosestCode();
  }
  if (found != (miss ? 0 : i)) state.SkipWithError("wrong answers");
}

void DiscountReadIt(benchmark::State& state, Database& db) {
  if (!Ready(state, db)) return;
  tarnlow::clsPOPDiscountD discount;
  discount.SageConnection(db.connection);
  discount.cust_disc_code = CustCode(0);
  discount.prod_disc_code = ProdCode(0);
  discount.price_list = kList;
  discount.ReadIt();  // loads the cache
  const PickTexts picks(&CustCode, &ProdCode);
  std::size_t i = 0;
  double sum = 0;
  for (auto _ : state) {
    const std::size_t p = i++ & (kPicks - 1);
    discount.cust_disc_code = picks.outer[p];
    discount.prod_disc_code = picks.inner[p];
    discount.price_list = kList;
    discount.ReadIt();
    sum += discount.discount7();
  }
  if (sum != 7.5 * static_cast<double>(i)) state.SkipWithError("wrong answers");
}

void SupplierInfoRepeatRead(benchmark::State& state, Database& db) {
  if (!Ready(state, db)) return;
  tarnlow::clsPOSuppInf info;
  info.SageConnection(db.connection);
  const std::string supplier = Supplier(7), warehouse = "01", product = Product(123);
  info.supplier = supplier;
  info.warehouse = warehouse;
  info.product = product;
  info.ReadIt();
  const std::int64_t before = Statistics(*db.connection).executions;
  for (auto _ : state) {
    info.supplier = supplier;
    info.warehouse = warehouse;
    info.product = product;
    info.ReadIt();
    benchmark::DoNotOptimize(info.cost());
  }
  if (Statistics(*db.connection).executions != before) state.SkipWithError("the repeat read queried");
}

// The strictest baseline: a prebuilt key looked up in a map of the same size.
void BareMapFind(benchmark::State& state, bool vat) {
  const std::size_t heap_before = HeapInUse();
  std::unordered_map<std::string, std::string> map;
  for (int o = 0; o < kOuter; ++o)
    for (int i = 0; i < kInner; ++i)
      map.emplace(vat ? ItemType(i) + AccountType(o) : CustCode(o) + ProdCode(i) + kList, VatCode(i, o));
  const double bytes = static_cast<double>(HeapInUse() - heap_before);
  std::vector<std::string> keys;
  for (const auto& [o, i] : Picks())
    keys.push_back(vat ? ItemType(i) + AccountType(o) : CustCode(o) + ProdCode(i) + kList);
  std::size_t n = 0, found = 0;
  for (auto _ : state) {
    const auto it = map.find(keys[n++ & (kPicks - 1)]);
    found += it != map.end();
    benchmark::DoNotOptimize(it);
  }
  if (found != n) state.SkipWithError("wrong answers");
  state.counters["map_bytes"] = bytes;
}

// ---- the point selects the caches replace -------------------------------------------------

void VatReadIt(benchmark::State& state, Database& db) {
  if (!Ready(state, db)) return;
  tarnlow::clsCEVatMatD matrix;
  matrix.SageConnection(db.connection);
  const PickTexts picks(&AccountType, &ItemType);
  std::size_t i = 0;
  for (auto _ : state) {
    const std::size_t p = i++ & (kPicks - 1);
    matrix.item_vat_type = picks.inner[p];
    matrix.account_vat_type = picks.outer[p];
    matrix.ReadIt();
    benchmark::DoNotOptimize(matrix.vat_code());
  }
}

void SupplierInfoReadIt(benchmark::State& state, Database& db) {
  if (!Ready(state, db)) return;
  tarnlow::clsPOSuppInf info;
  info.SageConnection(db.connection);
  info.UseCache = false;
  info.warehouse = "01";
  const PickTexts picks(&Supplier, &Product);
  std::size_t i = 0;
  for (auto _ : state) {
    const std::size_t p = i++ & (kPicks - 1);
    info.supplier = picks.outer[p];
    info.product = picks.inner[p];
    info.ReadIt();
    benchmark::DoNotOptimize(info.cost());
  }
}

// The raw API's point select, every field of its row copied out as text.
void RawPointSelect(benchmark::State& state, Database& db, const std::string& name, std::string (*outer)(int),
                    std::string (*inner)(int), int fields) {
  if (!Ready(state, db)) return;
  const PickTexts picks(outer, inner);
  std::vector<std::string> values(name == "vat" ? 2 : 3);
  std::size_t i = 0, rows = 0;
  std::vector<std::string> out(static_cast<std::size_t>(fields));
  for (auto _ : state) {
    const std::size_t p = i++ & (kPicks - 1);
    if (name == "vat") {
      values[0] = picks.outer[p];
      values[1] = picks.inner[p];
    } else {
      values[0] = picks.outer[p];
      values[1] = name == "discount" ? picks.inner[p] : "01";
      values[2] = name == "discount" ? kList : picks.inner[p];
    }
    db.raw->Start(name, values);
    while (db.raw->Next()) {
      for (int f = 0; f < fields; ++f) out[static_cast<std::size_t>(f)] = db.raw->Field(f);
      ++rows;
    }
  }
  if (rows != i) state.SkipWithError("wrong answers");
}

// ---- cache loads ------------------------------------------------------------------------------

void VatLoad(benchmark::State& state, Database& db) {
  if (!Ready(state, db)) return;
  double bytes = 0;
  for (auto _ : state) {
    state.PauseTiming();
    auto matrix = std::make_unique<tarnlow::clsCEVatMatD>();
    matrix->SageConnection(db.connection);
    matrix->item_vat_type = ItemType(1);
    matrix->account_vat_type = AccountType(1);
    const std::size_t before = HeapInUse();
    state.ResumeTiming();
    const bool found = matrix->FindClosestCode();
    state.PauseTiming();
    bytes = static_cast<double>(HeapInUse() - before);
    if (!found) state.SkipWithError("wrong answer");
    matrix.reset();
    state.ResumeTiming();
  }
  state.counters["cache_bytes"] = bytes;
}

void DiscountLoad(benchmark::State& state, Database& db) {
  if (!Ready(state, db)) return;
  double bytes = 0;
  for (auto _ : state) {
    state.PauseTiming();
    auto discount = std::make_unique<tarnlow::clsPOPDiscountD>();
    discount->SageConnection(db.connection);
    discount->cust_disc_code = CustCode(1);
    discount->prod_disc_code = ProdCode(1);
    discount->price_list = kList;
    const std::size_t before = HeapInUse();
    state.ResumeTiming();
    discount->ReadIt();
    state.PauseTiming();
    bytes = static_cast<double>(HeapInUse() - before);
    discount.reset();
    state.ResumeTiming();
  }
  state.counters["cache_bytes"] = bytes;
}

struct VatRow {
  std::string account, item, description, code;
};
struct DiscountRow {
  std::array<std::string, 10> texts;
  std::array<double, 14> numbers;
};

// The same rows read whole through the raw API into plain structs.
void RawLoad(benchmark::State& state, Database& db, bool vat) {
  if (!Ready(state, db)) return;
  std::size_t rows = 0;
  for (auto _ : state) {
    RawDatabase& raw = *db.raw;
    if (vat) {
      std::vector<VatRow> out;
      raw.Start("vat_all", {});
      while (raw.Next()) out.push_back({raw.Field(0), raw.Field(1), raw.Field(2), raw.Field(3)});
      rows = out.size();
    } else {
      // Text columns of the table: 0, 1, 9 to 11 and 19 to 23; numbers between.
      static constexpr int kTexts[] = {0, 1, 9, 10, 11, 19, 20, 21, 22, 23};
      static constexpr int kNumbers[] = {2, 3, 4, 5, 6, 7, 8, 12, 13, 14, 15, 16, 17, 18};
      std::vector<DiscountRow> out;
      raw.Start("discount_all", {});
      while (raw.Next()) {
        DiscountRow r;
        for (std::size_t k = 0; k < 10; ++k) r.texts[k] = raw.Field(kTexts[k]);
        for (std::size_t k = 0; k < 14; ++k) r.numbers[k] = std::strtod(raw.Field(kNumbers[k]), nullptr);
        out.push_back(std::move(r));
      }
      rows = out.size();
    }
  }
  if (rows != kRows) state.SkipWithError("wrong row count");
}

// ---- registration ---------------------------------------------------------------------------

void Register(const std::string& db_name, Database& (*db)()) {
  const std::string p = "BM_Pricing_" + db_name + "_";
  benchmark::RegisterBenchmark((p + "VatReadIt_Library").c_str(),
                               [db](benchmark::State& s) { VatReadIt(s, db()); });
  benchmark::RegisterBenchmark((p + "VatPointSelect_RawAPI").c_str(), [db](benchmark::State& s) {
    RawPointSelect(s, db(), "vat", &AccountType, &ItemType, 1);
  });
  benchmark::RegisterBenchmark((p + "DiscountPointSelect_RawAPI").c_str(), [db](benchmark::State& s) {
    RawPointSelect(s, db(), "discount", &CustCode, &ProdCode, 24);
  });
  benchmark::RegisterBenchmark((p + "SupplierInfoReadIt_NoCache_Library").c_str(),
                               [db](benchmark::State& s) { SupplierInfoReadIt(s, db()); });
  benchmark::RegisterBenchmark((p + "SupplierInfoPointSelect_RawAPI").c_str(), [db](benchmark::State& s) {
    RawPointSelect(s, db(), "supplier", &Supplier, &Product, 10);
  });
  benchmark::RegisterBenchmark((p + "VatLoad_Library").c_str(),
                               [db](benchmark::State& s) { VatLoad(s, db()); })
      ->Unit(benchmark::kMillisecond)
      ->Iterations(5);
  benchmark::RegisterBenchmark((p + "VatLoad_RawAPI").c_str(),
                               [db](benchmark::State& s) { RawLoad(s, db(), true); })
      ->Unit(benchmark::kMillisecond)
      ->Iterations(5);
  benchmark::RegisterBenchmark((p + "DiscountLoad_Library").c_str(),
                               [db](benchmark::State& s) { DiscountLoad(s, db()); })
      ->Unit(benchmark::kMillisecond)
      ->Iterations(5);
  benchmark::RegisterBenchmark((p + "DiscountLoad_RawAPI").c_str(),
                               [db](benchmark::State& s) { RawLoad(s, db(), false); })
      ->Unit(benchmark::kMillisecond)
      ->Iterations(5);
}

const bool kRegistered = [] {
  // A loaded cache answers without the database, so its lookups run once,
  // on the SQLite copy of the tables.
  benchmark::RegisterBenchmark("BM_Pricing_VatFindClosestCode_Cached",
                               [](benchmark::State& s) { VatFindClosestCode(s, Sqlite(), false); });
  benchmark::RegisterBenchmark("BM_Pricing_VatFindClosestCode_CachedMiss",
                               [](benchmark::State& s) { VatFindClosestCode(s, Sqlite(), true); });
  benchmark::RegisterBenchmark("BM_Pricing_DiscountReadIt_Cached",
                               [](benchmark::State& s) { DiscountReadIt(s, Sqlite()); });
  benchmark::RegisterBenchmark("BM_Pricing_SupplierInfoReadIt_Repeat",
                               [](benchmark::State& s) { SupplierInfoRepeatRead(s, Sqlite()); });
  benchmark::RegisterBenchmark("BM_Pricing_BareUnorderedMapFind_VatKeys",
                               [](benchmark::State& s) { BareMapFind(s, true); });
  benchmark::RegisterBenchmark("BM_Pricing_BareUnorderedMapFind_DiscountKeys",
                               [](benchmark::State& s) { BareMapFind(s, false); });
  Register("SQLite", &Sqlite);
  if (PgUri())
    Register("PostgreSQL", &Postgres);
  else
    benchmark::AddCustomContext("postgresql_pricing", "skipped: TARNLOW_PG_URI is not set");
  return true;
}();

}  // namespace
}  // namespace pricing_bench
