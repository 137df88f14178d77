// tarnlow_bench_table: one table of ratios, each measured side by side in
// this run (see paired.h for the loop). Rows:
//   - per statement, a class operation against the same statement text and
//     values through the raw client API (sqlite3; libpq when TARNLOW_PG_URI
//     names a server), and the peers' point read and insert against the same
//     raw rows;
//   - a cached lookup against the raw select and against a bare hash find;
//   - numbering (next free number, then insert) with a million rows in the
//     table against an empty table;
//   - late-bound and C interface calls against the typed ones;
//   - the whole goods receipt and 50-line order: the registered Google
//     Benchmark cases ..._Paired and BM_Order50_* run with repetitions.
// Options: --rounds N (15), --batch-ms M (4), --quick (a short smoke run).
#include <benchmark/benchmark.h>
#include <sched.h>
#include <sqlite3.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <stdexcept>
#include <unordered_map>

#include "../pg_schema.h"
#include "../receipt_bench_support.h"
#include "paired.h"
#include "peers.h"
#include "tarnlow/tarnlow.h"
#include "tarnlow/tarnlow_c.h"

namespace bench_table {
namespace {

constexpr int kServices = 1000;
constexpr int kSuppliers = 1000;
constexpr int kUnits = 10000;
constexpr int kHistoryRows = 1000000;

std::string TempPath(const std::string& name) {
  return (std::filesystem::temp_directory_path() / (name + "_" + std::to_string(::getpid()))).string();
}

using bench_pg::WithOption;

std::string Code(const char* prefix, int i) {
  return prefix + std::to_string(i);
}

// Runs `op` on a connection traced to a file and gives the texts it sent.
std::vector<std::string> Traced(const std::string& text,
                                const std::function<void(std::shared_ptr<tarnlow::Connection>)>& op) {
  const std::string file = TempPath("tarnlow_table_trace") + ".sql";
  std::filesystem::remove(file);
  op(tarnlow::Connection::Open(WithOption(text, "trace=" + file)));
  std::vector<std::string> lines;
  std::ifstream in(file);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  std::filesystem::remove(file);
  return lines;
}

std::string FirstStarting(const std::vector<std::string>& texts, std::string_view prefix) {
  for (const auto& t : texts)
    if (t.compare(0, prefix.size(), prefix) == 0) return t;
  throw std::runtime_error("no statement starting \"" + std::string(prefix) + "\" was traced");
}

std::string Describe(std::exception_ptr e) {
  try {
    std::rethrow_exception(e);
  } catch (const tarnlow::Error& error) {
    return error.Source() + ": " + error.Description();
  } catch (const std::exception& error) {
    return error.what();
  } catch (...) {
    return "an unknown exception";
  }
}

Result Row(std::string name, std::string against, const Side& first, const Side& second, const Settings& s) {
  return Guarded(std::move(name), std::move(against), first, second, s, Describe);
}

// ---- the class sides, shared by both databases -------------------------------------

struct ClassSides {
  std::shared_ptr<tarnlow::Connection> connection;
  tarnlow::clsPORService service;
  tarnlow::clsSTNLMov movement;
  tarnlow::clsPOSuppInf supplier;
  std::vector<std::string> service_keys, supplier_keys;
  std::string read_sql, insert_sql, update_sql;

  explicit ClassSides(const std::string& text) {
    connection = tarnlow::Connection::Open(text);
    for (int i = 0; i < 16; ++i) service_keys.push_back(Code("SRV", i * 37 % kServices));
    for (int i = 0; i < 64; ++i) supplier_keys.push_back(Code("P", i * 13 % kSuppliers));
    service.SageConnection(connection);
    movement.SageConnection(connection);
    supplier.SageConnection(connection);
    movement.account = "4000-STOCK";
    movement.amount_posted = 12.5;
    movement.comments = "Goods received PO1001 line 3";
    movement.movement_date = tarnlow::Date::FromCalendar(2026, 1, 5, 10, 30);
    movement.post_flag = "N";
    movement.tranaction_ref = "GRN000001";
    supplier.supplier = "ACME01";
    supplier.warehouse = "01";
    supplier.description = "Hex bolt M8";
    supplier.long_description = "Hex bolt M8 x 40, zinc plated";
    supplier.part_no = "HB-M8-40";
    supplier.reorder_days = 7;
    supplier.unit_code = "EACH";
    supplier.unit_qty_cost = 1;
    // The texts the raw sides send are the ones the classes sent.
    const auto texts = Traced(text, [](std::shared_ptr<tarnlow::Connection> c) {
      tarnlow::clsPORService s;
      s.SageConnection(c);
      s.Service = "SRV1";
      s.ReadIt();
      tarnlow::clsSTNLMov m;
      m.SageConnection(c);
      m.InsertRow();
      tarnlow::clsPOSuppInf p;
      p.SageConnection(c);
      p.supplier = "NOBODY";
      p.UpdateRow();
    });
    read_sql = FirstStarting(texts, "select service");
    insert_sql = FirstStarting(texts, "INSERT INTO");
    update_sql = FirstStarting(texts, "Update");
  }

  Side Read() {
    return [this](long n) {
      for (long i = 0; i < n; ++i) {
        service.Service = service_keys[static_cast<std::size_t>(i) & 15];
        service.ReadIt();
        benchmark::DoNotOptimize(service.cost());
      }
    };
  }
  Side Insert() {
    return [this](long n) {
      for (long i = 0; i < n; ++i) movement.InsertRow();
    };
  }
  Side Update() {
    return [this](long n) {
      for (long i = 0; i < n; ++i) {
        supplier.product = supplier_keys[static_cast<std::size_t>(i) & 63];
        supplier.cost = static_cast<double>(i);
        supplier.UpdateRow();
      }
    };
  }
};

void SeedRows(tarnlow::Connection& c) {
  tarnlow::CreateMissingTables(c);
  const auto t = c.TableCatalogue();
  const std::string numbers = "with recursive n(i) as (select 0 union all select i + 1 from n where i < ";
  c.Execute("insert into " + t->ServiceTable() + " (service, unit_code, cost) " + numbers +
            std::to_string(kServices - 1) + ") select 'SRV' || i, 'HOUR', i + 0.5 from n");
  c.Execute("insert into " + t->SupplierInfoTable() +
            " (supplier, warehouse, product, cost, description, long_description, part_no, reorder_days, "
            "unit_code, unit_qty_cost) " +
            numbers + std::to_string(kSuppliers - 1) +
            ") select 'ACME01', '01', 'P' || i, 1, 'd', 'ld', 'pn', 1, 'EACH', 1 from n");
}

// ---- SQLite -----------------------------------------------------------------------------

struct SqliteRows {
  std::string path = TempPath("tarnlow_table") + ".db";
  std::string numbering_path = TempPath("tarnlow_table_numbering") + ".db";
  std::string empty_path = TempPath("tarnlow_table_empty") + ".db";
  std::unique_ptr<ClassSides> lib;
  std::unique_ptr<receipt_bench::SqliteRaw> raw;

  ~SqliteRows() {
    lib.reset();
    raw.reset();
    for (const auto* p : {&path, &numbering_path, &empty_path})
      for (const char* suffix : {"", "-wal", "-shm"}) std::filesystem::remove(*p + suffix);
  }

  void Run(const Settings& settings, std::vector<Result>& out) {
    {
      auto c = tarnlow::Connection::Open("sqlite:" + path);
      SeedRows(*c);
      const auto t = c->TableCatalogue();
      c->Execute("insert into " + t->UnitDescriptionTable() +
                 " (unit_code, dec_places) with recursive n(i) as (select 0 union all select i + 1 from n "
                 "where i < " +
                 std::to_string(kUnits - 1) + ") select 'U' || i, i % 5 from n");
    }
    lib = std::make_unique<ClassSides>("sqlite:" + path);
    raw = std::make_unique<receipt_bench::SqliteRaw>(path);
    using Stmt = receipt_bench::SqliteRaw::Stmt;

    // A WAL checkpoint copies the log into the database file; left to
    // itself it lands in whichever batch commits the page that crosses the
    // limit, and one side pays for the other's writes. Every connection
    // writing here leaves it off, and the log is checkpointed between
    // batches instead, untimed.
    lib->connection->Execute("PRAGMA wal_autocheckpoint=0");
    sqlite3* checkpointer = nullptr;
    if (sqlite3_open_v2(path.c_str(), &checkpointer, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK)
      throw std::runtime_error("cannot open " + path);
    const std::unique_ptr<sqlite3, int (*)(sqlite3*)> closer(checkpointer, &sqlite3_close_v2);
    sqlite3_busy_timeout(checkpointer, 30000);
    Stmt no_checkpoints = raw->Literal("PRAGMA wal_autocheckpoint=0");
    raw->Query(no_checkpoints);
    raw->Release(no_checkpoints);
    Settings s = settings;
    s.before_batch = [checkpointer] {
      sqlite3_exec(checkpointer, "PRAGMA wal_checkpoint(TRUNCATE)", nullptr, nullptr, nullptr);
    };

    // Point read.
    Stmt read = raw->Prepare(lib->read_sql);
    std::string a, b;
    double cost = 0;
    Side raw_read = [&](long n) {
      for (long i = 0; i < n; ++i) {
        raw->Text(read, 1, lib->service_keys[static_cast<std::size_t>(i) & 15]);
        if (!raw->Query(read)) throw std::runtime_error("raw read: no row");
        a.assign(raw->TextAt(read, 0));
        b.assign(raw->TextAt(read, 1));
        cost = raw->NumberAt(read, 2);
        benchmark::DoNotOptimize(cost);
        raw->Close(read);
      }
    };
    out.push_back(Row("SQLite read: clsPORService.ReadIt", "raw sqlite3", lib->Read(), raw_read, s));

    // Insert.
    Stmt insert = raw->Prepare(lib->insert_sql);
    const std::string date_text = lib->movement.movement_date().ToIso();
    // The raw insert with its text bound by `text(index, value)`.
    auto inserting = [&](auto text) -> Side {
      return [&, text](long n) {
        for (long i = 0; i < n; ++i) {
          text(1, lib->movement.account());
          raw->Number(insert, 2, lib->movement.amount_posted());
          text(3, lib->movement.comments());
          text(4, date_text);
          text(5, lib->movement.post_flag());
          text(6, lib->movement.tranaction_ref());
          raw->Write(insert);
        }
      };
    };
    Side raw_insert = inserting([&](int index, std::string_view v) { raw->Text(insert, index, v); });
    out.push_back(Row("SQLite insert: clsSTNLMov.InsertRow", "raw sqlite3", lib->Insert(), raw_insert, s));
    // The library lets sqlite read bound text where it lies; the same done
    // by hand, so that the row above is read knowing what that is worth.
    out.push_back(Row("SQLite insert: clsSTNLMov.InsertRow", "raw sqlite3, text in place", lib->Insert(),
                      inserting([&](int index, std::string_view v) { raw->TextInPlace(insert, index, v); }),
                      s));

    // Update.
    Stmt update = raw->Prepare(lib->update_sql);
    tarnlow::clsPOSuppInf& sup = lib->supplier;
    Side raw_update = [&](long n) {
      for (long i = 0; i < n; ++i) {
        raw->Number(update, 1, static_cast<double>(i));
        raw->Text(update, 2, sup.description());
        raw->Text(update, 3, sup.long_description());
        raw->Text(update, 4, sup.part_no());
        raw->Number(update, 5, sup.reorder_days());
        raw->Text(update, 6, sup.unit_code());
        raw->Number(update, 7, sup.unit_qty_cost());
        raw->Text(update, 8, sup.supplier());
        raw->Text(update, 9, sup.warehouse());
        raw->Text(update, 10, lib->supplier_keys[static_cast<std::size_t>(i) & 63]);
        raw->Write(update);
      }
    };
    out.push_back(Row("SQLite update: clsPOSuppInf.UpdateRow", "raw sqlite3", lib->Update(), raw_update, s));
    // The same side on both: how far from 1.000 the loop itself reads here.
    out.push_back(Row("SQLite control: raw sqlite3 read", "the same side again", raw_read, raw_read, s));

    // Peers, each against the raw side of the same statement.
    PeerWork work{lib->read_sql,
                  lib->service_keys,
                  lib->insert_sql,
                  lib->movement.account(),
                  lib->movement.comments(),
                  date_text,
                  lib->movement.post_flag(),
                  lib->movement.tranaction_ref(),
                  lib->movement.amount_posted()};
    for (Peer& p : SqlitePeers(path, work)) {
      if (!p.skipped.empty()) {
        out.push_back(Skipped("SQLite read: " + p.name, "raw sqlite3", p.skipped));
        out.push_back(Skipped("SQLite insert: " + p.name, "raw sqlite3", p.skipped));
        continue;
      }
      out.push_back(Row("SQLite read: " + p.name, "raw sqlite3", p.read, raw_read, s));
      out.push_back(Row("SQLite insert: " + p.name, "raw sqlite3", p.insert, raw_insert, s));
    }

    // Cached lookup: the class's table copy, the raw select, a bare hash find.
    tarnlow::clsSTUnitDD unit;
    unit.SageConnection(lib->connection);
    unit.unit_code = "U0";
    unit.ReadFromList();
    std::vector<std::string> unit_keys;
    for (int i = 0; i < 1024; ++i) unit_keys.push_back(Code("U", i * 7919 % kUnits));
    Side cached = [&](long n) {
      for (long i = 0; i < n; ++i) {
        unit.unit_code = unit_keys[static_cast<std::size_t>(i) & 1023];
        unit.ReadFromList();
        benchmark::DoNotOptimize(unit.dec_places());
      }
    };
    Stmt unit_read =
        raw->Prepare("select unit_code, dec_places from " +
                     lib->connection->TableCatalogue()->UnitDescriptionTable() + " where unit_code = ?");
    std::int16_t places = 0;
    Side raw_unit = [&](long n) {
      for (long i = 0; i < n; ++i) {
        raw->Text(unit_read, 1, unit_keys[static_cast<std::size_t>(i) & 1023]);
        if (!raw->Query(unit_read)) throw std::runtime_error("raw unit read: no row");
        places = static_cast<std::int16_t>(raw->NumberAt(unit_read, 1));
        benchmark::DoNotOptimize(places);
        raw->Close(unit_read);
      }
    };
    std::unordered_map<std::string, std::int16_t> map;
    for (int i = 0; i < kUnits; ++i) map.emplace(Code("U", i), static_cast<std::int16_t>(i % 5));
    Side hash = [&](long n) {
      for (long i = 0; i < n; ++i) {
        auto it = map.find(unit_keys[static_cast<std::size_t>(i) & 1023]);
        benchmark::DoNotOptimize(it->second);
      }
    };
    out.push_back(Row("cached lookup: clsSTUnitDD.ReadFromList", "raw sqlite3 select", cached, raw_unit, s));
    out.push_back(Row("cached lookup: clsSTUnitDD.ReadFromList", "bare unordered_map find", cached, hash, s));

    Numbering(s, out);
    LateBinding(s, out);
  }

  // Next free number and insert, 10^6 rows of other products in the table
  // against none.
  void Numbering(const Settings& s, std::vector<Result>& out) {
    auto full = tarnlow::Connection::Open("sqlite:" + numbering_path);
    tarnlow::CreateMissingTables(*full);
    full->Execute(
        "insert into " + full->TableCatalogue()->StockHistoryTable() +
        " (warehouse, product, dated, sequence_no, movement_quantity) with recursive n(i) as (select 0 "
        "union all select i + 1 from n where i < " +
        std::to_string(kHistoryRows - 1) +
        ") select '01', 'Q' || (i / 100), '2026-01-05 00:00:00', printf('%06d', i % 100), 1 from n");
    auto empty = tarnlow::Connection::Open("sqlite:" + empty_path);
    tarnlow::CreateMissingTables(*empty);
    auto side = [](std::shared_ptr<tarnlow::Connection> c) {
      auto h = std::make_shared<tarnlow::clsSTHistory>();
      h->SageConnection(c);
      h->warehouse = "01";
      h->product = "Q5000";
      h->dated = tarnlow::Date::FromCalendar(2026, 1, 6);
      h->movement_quantity = 1;
      return Side([h, c](long n) {
        for (long i = 0; i < n; ++i) h->InsertNewHistory();
      });
    };
    out.push_back(
        Row("numbering: clsSTHistory, 10^6 rows", "the same, empty table", side(full), side(empty), s));
  }

  void LateBinding(const Settings& s, std::vector<Result>& out) {
    using namespace tarnlow;
    clsPORService typed;
    typed.SageConnection(lib->connection);
    const ObjectPtr late = CreateObject("clsPORService");
    late::Set(*late, "SageConnection", lib->connection);
    std::vector<Variant> keys;
    for (const auto& k : lib->service_keys) keys.emplace_back(k);
    Side typed_read = [&](long n) {
      for (long i = 0; i < n; ++i) {
        typed.Service = lib->service_keys[static_cast<std::size_t>(i) & 15];
        typed.ReadIt();
        benchmark::DoNotOptimize(typed.cost());
      }
    };
    Side late_read = [&](long n) {
      for (long i = 0; i < n; ++i) {
        late::Let(*late, "Service", keys[static_cast<std::size_t>(i) & 15]);
        late::Call(*late, "ReadIt");
        benchmark::DoNotOptimize(late::Get(*late, "cost"));
      }
    };
    Side typed_get = [&](long n) {
      for (long i = 0; i < n; ++i) {
        benchmark::DoNotOptimize(&typed);
        benchmark::DoNotOptimize(typed.cost());
      }
    };
    Side late_get = [&](long n) {
      for (long i = 0; i < n; ++i) benchmark::DoNotOptimize(late::Get(*late, "cost"));
    };
    out.push_back(Row("late-bound: ReadIt", "typed ReadIt", late_read, typed_read, s));
    out.push_back(Row("late-bound: number property read", "typed read", late_get, typed_get, s));

    tarnlow_object *connection = nullptr, *service = nullptr;
    if (tarnlow_open_connection(("sqlite:" + path).c_str(), &connection) != TARNLOW_OK ||
        tarnlow_create_object("clsPORService", &service) != TARNLOW_OK ||
        tarnlow_set(service, "SageConnection", connection) != TARNLOW_OK)
      throw std::runtime_error(tarnlow_last_error()->description);
    Side c_read = [&](long n) {
      for (long i = 0; i < n; ++i) {
        const tarnlow_value code =
            tarnlow_text_value(lib->service_keys[static_cast<std::size_t>(i) & 15].c_str());
        tarnlow_value value;
        if (tarnlow_let(service, "Service", &code) != TARNLOW_OK ||
            tarnlow_call(service, "ReadIt", nullptr, 0, nullptr) != TARNLOW_OK ||
            tarnlow_get(service, "cost", nullptr, 0, &value) != TARNLOW_OK)
          throw std::runtime_error(tarnlow_last_error()->description);
        benchmark::DoNotOptimize(value.as.number);
      }
    };
    Side c_get = [&](long n) {
      for (long i = 0; i < n; ++i) {
        tarnlow_value value;
        tarnlow_get(service, "cost", nullptr, 0, &value);
        benchmark::DoNotOptimize(value.as.number);
      }
    };
    out.push_back(Row("C interface: ReadIt", "typed ReadIt", c_read, typed_read, s));
    out.push_back(Row("C interface: number property read", "typed read", c_get, typed_get, s));
    tarnlow_object_release(service);
    tarnlow_object_release(connection);
  }
};

// ---- PostgreSQL ---------------------------------------------------------------------------

// On a small machine the ratio of client CPU times swings by whole factors
// with where the server process of each session happens to run (a wake-up
// across CPUs costs the client some 25 us of system time, one on its own CPU
// next to nothing). While the table is measured, this program and the
// server (its postmaster, whose new sessions inherit the setting) are kept
// on one CPU, so that both sides of every row meet the same conditions and
// the client's own work is what the ratios show. The server must run on
// this machine for that; otherwise the rows carry a note.
class CpuPinning {
 public:
  explicit CpuPinning(const std::string& uri) {
    sched_getaffinity(0, sizeof own_, &own_);
    try {
      std::unique_ptr<PGconn, void (*)(PGconn*)> conn(PQconnectdb(uri.c_str()), &PQfinish);
      if (PQstatus(conn.get()) != CONNECTION_OK) return;
      std::ifstream stat("/proc/" + std::to_string(PQbackendPID(conn.get())) + "/stat");
      std::string pid, name, state;
      stat >> pid >> name >> state >> postmaster_;
    } catch (const std::exception&) {
      return;
    }
    if (postmaster_ <= 0 || sched_getaffinity(postmaster_, sizeof server_, &server_) != 0) return;
    cpu_set_t one;
    CPU_ZERO(&one);
    CPU_SET(0, &one);
    pinned_ =
        sched_setaffinity(postmaster_, sizeof one, &one) == 0 && sched_setaffinity(0, sizeof one, &one) == 0;
  }
  ~CpuPinning() {
    if (postmaster_ > 0) sched_setaffinity(postmaster_, sizeof server_, &server_);
    sched_setaffinity(0, sizeof own_, &own_);
  }
  bool Pinned() const { return pinned_; }

 private:
  int postmaster_ = 0;
  cpu_set_t own_{}, server_{};
  bool pinned_ = false;
};

void PostgresRows(const std::string& uri, const Settings& s, std::vector<Result>& out) {
  const bench_pg::Schema schema(uri, "bench_table");
  const std::string text = schema.Text();
  {
    auto c = tarnlow::Connection::Open(text);
    SeedRows(*c);
  }
  ClassSides lib(text);
  receipt_bench::PgRaw raw(text);
  using Stmt = receipt_bench::PgRaw::Stmt;

  Stmt read = raw.Prepare(lib.read_sql);
  std::string a, b;
  double cost = 0;
  Side raw_read = [&](long n) {
    for (long i = 0; i < n; ++i) {
      raw.Text(read, 1, lib.service_keys[static_cast<std::size_t>(i) & 15]);
      if (!raw.Query(read)) throw std::runtime_error("raw read: no row");
      a.assign(raw.TextAt(read, 0));
      b.assign(raw.TextAt(read, 1));
      cost = raw.NumberAt(read, 2);
      benchmark::DoNotOptimize(cost);
      raw.Close(read);
    }
  };
  out.push_back(Row("PostgreSQL read: clsPORService.ReadIt", "raw libpq", lib.Read(), raw_read, s));

  Stmt insert = raw.Prepare(lib.insert_sql);
  const std::string date_text = lib.movement.movement_date().ToIso();
  Side raw_insert = [&](long n) {
    for (long i = 0; i < n; ++i) {
      raw.Text(insert, 1, lib.movement.account());
      raw.Number(insert, 2, lib.movement.amount_posted());
      raw.Text(insert, 3, lib.movement.comments());
      raw.Text(insert, 4, date_text);
      raw.Text(insert, 5, lib.movement.post_flag());
      raw.Text(insert, 6, lib.movement.tranaction_ref());
      raw.Write(insert);
      raw.Close(insert);
    }
  };
  out.push_back(Row("PostgreSQL insert: clsSTNLMov.InsertRow", "raw libpq", lib.Insert(), raw_insert, s));

  Stmt update = raw.Prepare(lib.update_sql);
  tarnlow::clsPOSuppInf& sup = lib.supplier;
  Side raw_update = [&](long n) {
    for (long i = 0; i < n; ++i) {
      raw.Number(update, 1, static_cast<double>(i));
      raw.Text(update, 2, sup.description());
      raw.Text(update, 3, sup.long_description());
      raw.Text(update, 4, sup.part_no());
      raw.Number(update, 5, sup.reorder_days());
      raw.Text(update, 6, sup.unit_code());
      raw.Number(update, 7, sup.unit_qty_cost());
      raw.Text(update, 8, sup.supplier());
      raw.Text(update, 9, sup.warehouse());
      raw.Text(update, 10, lib.supplier_keys[static_cast<std::size_t>(i) & 63]);
      raw.Write(update);
      raw.Close(update);
    }
  };
  out.push_back(Row("PostgreSQL update: clsPOSuppInf.UpdateRow", "raw libpq", lib.Update(), raw_update, s));
  // The same side on both: how far from 1.000 the loop itself reads here.
  out.push_back(
      Row("PostgreSQL control: raw libpq update", "the same side again", raw_update, raw_update, s));

  PeerWork work{lib.read_sql,
                lib.service_keys,
                lib.insert_sql,
                lib.movement.account(),
                lib.movement.comments(),
                date_text,
                lib.movement.post_flag(),
                lib.movement.tranaction_ref(),
                lib.movement.amount_posted()};
  std::vector<Peer> peers;
  try {
    peers = PostgresPeers(text, work);
  } catch (const std::exception& e) {
    out.push_back(Skipped("PostgreSQL peers", "raw libpq", e.what()));
  }
  for (Peer& p : peers) {
    if (!p.skipped.empty()) {
      out.push_back(Skipped("PostgreSQL read: " + p.name, "raw libpq", p.skipped));
      out.push_back(Skipped("PostgreSQL insert: " + p.name, "raw libpq", p.skipped));
      continue;
    }
    out.push_back(Row("PostgreSQL read: " + p.name, "raw libpq", p.read, raw_read, s));
    out.push_back(Row("PostgreSQL insert: " + p.name, "raw libpq", p.insert, raw_insert, s));
  }
}

// ---- the registered whole-operation cases ----------------------------------------------------

// Collects the repetitions of the registered cases: a case reporting a
// cpu_ratio counter (a paired loop) gives a row of its own; cases named
// <group>_Library beside <group>_<other> give a row per other side from the
// medians of their separate runs.
class Collector : public benchmark::BenchmarkReporter {
 public:
  bool ReportContext(const Context&) override { return true; }
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) {
      if (run.run_type != Run::RT_Iteration) continue;
      std::string name = run.benchmark_name();
      name = name.substr(0, name.find('/'));
      Case& c = cases_[name];
      if (run.error_occurred) {
        c.error = run.error_message;
        continue;
      }
      auto counter = [&](const char* key) {
        auto it = run.counters.find(key);
        return it == run.counters.end() ? -1.0 : static_cast<double>(it->second.value);
      };
      c.cpu_ratio.push_back(counter("cpu_ratio"));
      c.wall_ratio.push_back(counter("wall_ratio"));
      // Adjusted times are in the case's own unit; the table shows nanoseconds.
      const double to_ns = 1e9 / benchmark::GetTimeUnitMultiplier(run.time_unit);
      c.cpu.push_back(run.GetAdjustedCPUTime() * to_ns);
      c.wall.push_back(run.GetAdjustedRealTime() * to_ns);
      c.lib_cpu.push_back(counter("lib_cpu_us") * 1e3);
      c.raw_cpu.push_back(counter("raw_cpu_us") * 1e3);
    }
  }

  void Rows(std::vector<Result>& out) const {
    for (const auto& [name, c] : cases_) {
      if (!c.error.empty()) {
        out.push_back(Skipped(name, "", c.error));
        continue;
      }
      if (!c.cpu_ratio.empty() && c.cpu_ratio.front() >= 0) {
        Result r{name, "raw API, same loop"};
        r.measured = true;
        r.ratio = Quantile(c.cpu_ratio, 0.5);
        r.ratio_low = Quantile(c.cpu_ratio, 0.25);
        r.ratio_high = Quantile(c.cpu_ratio, 0.75);
        r.wall_ratio = Quantile(c.wall_ratio, 0.5);
        r.first_ns = Quantile(c.lib_cpu, 0.5);
        r.second_ns = Quantile(c.raw_cpu, 0.5);
        r.note = "(" + std::to_string(c.cpu_ratio.size()) + " repetitions)";
        out.push_back(r);
        continue;
      }
      const std::size_t cut = name.rfind('_');
      if (cut == std::string::npos || name.substr(cut + 1) != "Library") continue;
      const std::string group = name.substr(0, cut + 1);
      for (const auto& [other, o] : cases_) {
        if (other == name || other.compare(0, group.size(), group) != 0 || !o.error.empty() || o.cpu.empty())
          continue;
        if (!o.cpu_ratio.empty() && o.cpu_ratio.front() >= 0) continue;  // a paired case: its own row
        Result r{name, other};
        r.measured = true;
        r.first_ns = Quantile(c.cpu, 0.5);
        r.second_ns = Quantile(o.cpu, 0.5);
        r.ratio = r.first_ns / r.second_ns;
        r.ratio_low = Quantile(c.cpu, 0.25) / Quantile(o.cpu, 0.75);
        r.ratio_high = Quantile(c.cpu, 0.75) / Quantile(o.cpu, 0.25);
        r.wall_ratio = Quantile(c.wall, 0.5) / Quantile(o.wall, 0.5);
        r.note = "(separate runs: spread is the quartiles crossed)";
        out.push_back(r);
      }
    }
  }

  bool Saw(const std::string& prefix) const {
    for (const auto& [name, c] : cases_)
      if (name.compare(0, prefix.size(), prefix) == 0) return true;
    return false;
  }

 private:
  struct Case {
    std::vector<double> cpu_ratio, wall_ratio, cpu, wall, lib_cpu, raw_cpu;
    std::string error;
  };
  std::map<std::string, Case> cases_;
};

void WholeOperations(bool quick, std::vector<Result>& out) {
  std::vector<std::string> args{"tarnlow_bench_table", "--benchmark_filter=(Receipt_.*_Paired|BM_Order50_)",
                                quick ? "--benchmark_repetitions=3" : "--benchmark_repetitions=9",
                                quick ? "--benchmark_min_time=0.05" : "--benchmark_min_time=0.3"};
  std::vector<char*> argv;
  for (auto& a : args) argv.push_back(a.data());
  int argc = static_cast<int>(argv.size());
  benchmark::Initialize(&argc, argv.data());
  Collector collector;
  benchmark::RunSpecifiedBenchmarks(&collector);
  collector.Rows(out);
  if (!collector.Saw("BM_Order50_"))
    out.push_back(
        Skipped("whole 50-line order", "raw API", "no BM_Order50_* case is built into the benchmarks"));
}

}  // namespace
}  // namespace bench_table

int main(int argc, char** argv) {
  using namespace bench_table;
  Settings s;
  bool quick = false;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--rounds") == 0 && i + 1 < argc)
      s.rounds = std::max(3, std::atoi(argv[++i]));
    else if (std::strcmp(argv[i], "--batch-ms") == 0 && i + 1 < argc)
      s.batch_seconds = std::max(0.1, std::atof(argv[++i])) / 1e3;
    else if (std::strcmp(argv[i], "--quick") == 0) {
      quick = true;
      s.rounds = 5;
      s.batch_seconds = 0.001;
    } else {
      std::fprintf(stderr, "usage: %s [--rounds N] [--batch-ms M] [--quick]\n", argv[0]);
      return 2;
    }
  }
  const char* uri = std::getenv("TARNLOW_PG_URI");
  const bool server = uri != nullptr && *uri != '\0';
  std::optional<CpuPinning> pinning;
  if (server) pinning.emplace(uri);
  std::vector<Result> rows;
  if (server && !pinning->Pinned())
    rows.push_back(
        Skipped("(PostgreSQL rows)", "", "client and server could not be kept on one CPU: figures swing"));
  try {
    SqliteRows sqlite;
    sqlite.Run(s, rows);
  } catch (const tarnlow::Error& e) {
    rows.push_back(Skipped("SQLite rows", "", e.Source() + ": " + e.Description()));
  } catch (const std::exception& e) {
    rows.push_back(Skipped("SQLite rows", "", e.what()));
  }
  if (!server) {
    rows.push_back(Skipped("PostgreSQL rows", "raw libpq", "TARNLOW_PG_URI is not set"));
  } else {
    try {
      PostgresRows(uri, s, rows);
    } catch (const tarnlow::Error& e) {
      rows.push_back(Skipped("PostgreSQL rows", "", e.Source() + ": " + e.Description()));
    } catch (const std::exception& e) {
      rows.push_back(Skipped("PostgreSQL rows", "", e.what()));
    }
  }
  WholeOperations(quick, rows);
  std::printf(
      "\nCPU time of the first side over the second, per operation: median of %d paired rounds and\n"
      "the middle half of the rounds; wall x is the median wall-time ratio; first/second are CPU per\n"
      "operation. Below 1.00 the first side is cheaper.\n\n",
      s.rounds);
  Print(rows, stdout);
  return 0;
}
