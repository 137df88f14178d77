// One whole goods receipt through the library's classes against the same
// statements, with the same values, written directly with the database's
// client API (sqlite3, and libpq when TARNLOW_PG_URI names a server), on one
// database in one process. With TARNLOW_ODBC_POSTGRESQL_DRIVER naming a
// registered ODBC driver, the library also runs on that server through the
// driver, beside raw libpq (..._ODBC_PostgreSQL_...). The pairs ..._Library and ..._RawAPI of a database
// are meant to be compared with each other; ..._Paired alternates the two
// within one loop and reports both sides' times per receipt and their ratio.
//
// The receipt itself, on both sides, is in receipt_work.h.
//
// Before anything is timed each database is checked once: one library
// receipt and one raw receipt on the same order line must send the same
// statement texts (the library's trace against the raw side's log) and must
// leave the tables differing only by the receipt's increments and the next
// sequence numbers. A failed check stops that database's cases with an error.
#include <benchmark/benchmark.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <charconv>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "paired_cases.h"
#include "receipt_work.h"
#include "tarnlow/tarnlow.h"

namespace receipt_bench {
namespace {

using paired_cases::Clocks;
using paired_cases::ReadLines;
using paired_cases::TempPath;
using paired_cases::WithOption;

// Every receipt adds a movement history row for (warehouse, product, day) and
// a batch for (warehouse, product), each numbered as the highest number plus
// one in six decimal digits. To keep the numbers far from 999999 however long
// a run is, each side moves on to a fresh item (an order line of its own with
// its own stock item) after kReceiptsPerItem receipts. kItemsPerSide items
// give each side 1.6 million receipts, far more than any sensible
// --benchmark_min_time asks for; past that a case stops with an error rather
// than run out of numbers.
constexpr std::int64_t kReceiptsPerItem = 100000;
constexpr int kItemsPerSide = 16;

// The items one side works through, kReceiptsPerItem receipts each.
class ItemStream {
 public:
  ItemStream() = default;
  ItemStream(int first_line, const std::string& prefix) {
    for (int i = 0; i < kItemsPerSide; ++i) {
      char product[16];
      std::snprintf(product, sizeof product, "%s%03d", prefix.c_str(), i);
      items_.push_back(MakeItem(first_line + i, product));
    }
  }
  const std::vector<Item>& Items() const { return items_; }
  // The item of the next receipt, or null when all are used up.
  const Item* Next() {
    const auto index = static_cast<std::size_t>(receipts_++ / kReceiptsPerItem);
    return index < items_.size() ? &items_[index] : nullptr;
  }

 private:
  std::vector<Item> items_;
  std::int64_t receipts_ = 0;
};

// ---- the check -----------------------------------------------------------------------

// A table's rows as comparable texts: "N:" numbers, "T:" texts, "D:" dates.
struct Rows {
  std::vector<std::string> columns;
  std::vector<std::vector<std::string>> rows;
  int Column(std::string_view name) const {
    for (std::size_t i = 0; i < columns.size(); ++i)
      if (columns[i] == name) return static_cast<int>(i);
    return -1;
  }
};

std::string CellText(const tarnlow::Variant& v) {
  switch (v.Type()) {
    case tarnlow::VarType::Null:
    case tarnlow::VarType::Empty: return "NULL";
    case tarnlow::VarType::String: return "T:" + *v.AsText();
    case tarnlow::VarType::Date: return "D:" + v.ToDate().ToIso();
    default: return "N:" + tarnlow::ShortestText(v.ToDouble());
  }
}

Rows Snapshot(tarnlow::Connection& c, const std::string& table) {
  tarnlow::Recordset rs;
  rs.Open("select * from " + table, c.DatabaseConnection(), tarnlow::adOpenForwardOnly,
          tarnlow::adLockReadOnly);
  Rows out;
  for (std::size_t i = 0; i < rs.FieldCount(); ++i) out.columns.push_back(rs.FieldName(i));
  for (const auto& row : rs.GetRows()) {
    std::vector<std::string>& cells = out.rows.emplace_back();
    for (const auto& v : row) cells.push_back(CellText(v));
  }
  rs.Close();
  return out;
}

std::string RowText(const std::vector<std::string>& row) {
  std::string out;
  for (const auto& cell : row) out += (out.empty() ? "" : " | ") + cell;
  return out;
}

// The rows of `after` that `before` does not have; "" in `problem` when
// `after` kept every row of `before`.
std::vector<std::vector<std::string>> Added(std::vector<std::vector<std::string>> before,
                                            std::vector<std::vector<std::string>> after,
                                            std::string& problem) {
  std::sort(before.begin(), before.end());
  std::sort(after.begin(), after.end());
  std::vector<std::vector<std::string>> lost, added;
  std::set_difference(before.begin(), before.end(), after.begin(), after.end(), std::back_inserter(lost));
  std::set_difference(after.begin(), after.end(), before.begin(), before.end(), std::back_inserter(added));
  if (!lost.empty()) problem = "a row went missing: " + RowText(lost.front());
  return added;
}

// An appended-to table: the raw receipt must have added exactly the rows the
// library receipt added, with the sequence column one higher.
std::string CheckAppended(const std::string& table, const Rows& s0, const Rows& s1, const Rows& s2,
                          std::size_t expected, std::string_view sequence_column) {
  std::string problem;
  auto library = Added(s0.rows, s1.rows, problem);
  auto raw = Added(s1.rows, s2.rows, problem);
  if (!problem.empty()) return table + ": " + problem;
  if (library.size() != expected || raw.size() != expected)
    return table + ": the library added " + std::to_string(library.size()) + " rows and the raw side " +
           std::to_string(raw.size()) + ", expected " + std::to_string(expected) + " each";
  if (!sequence_column.empty()) {
    const int c = s0.Column(sequence_column);
    if (c < 0) return table + ": no column " + std::string(sequence_column);
    for (auto& row : library) {
      std::string& cell = row[static_cast<std::size_t>(c)];
      cell = "T:" + SixDigits(std::atoi(cell.c_str() + 2) + 1);
    }
  }
  std::sort(library.begin(), library.end());
  std::sort(raw.begin(), raw.end());
  for (std::size_t i = 0; i < library.size(); ++i)
    if (library[i] != raw[i])
      return table + ": the library wrote " + RowText(library[i]) + " but the raw side " + RowText(raw[i]);
  return "";
}

// An updated row: every number must move by the same amount in both
// receipts, the named ones by the given amount; nothing else may change.
std::string CheckUpdated(const std::string& table, const Rows& s0, const Rows& s1, const Rows& s2,
                         std::string_view key_column, const std::string& key,
                         const std::vector<std::pair<std::string, double>>& moves) {
  const int k = s0.Column(key_column);
  if (k < 0) return table + ": no column " + std::string(key_column);
  auto find = [&](const Rows& s) -> const std::vector<std::string>* {
    for (const auto& row : s.rows)
      if (row[static_cast<std::size_t>(k)] == "T:" + key) return &row;
    return nullptr;
  };
  const auto *r0 = find(s0), *r1 = find(s1), *r2 = find(s2);
  if (!r0 || !r1 || !r2) return table + ": row " + key + " not found";
  for (std::size_t c = 0; c < s0.columns.size(); ++c) {
    const std::string &a = (*r0)[c], &b = (*r1)[c], &d = (*r2)[c];
    const std::string& name = s0.columns[c];
    if (a.starts_with("N:") && b.starts_with("N:") && d.starts_with("N:")) {
      const double first = std::stod(b.substr(2)) - std::stod(a.substr(2));
      const double second = std::stod(d.substr(2)) - std::stod(b.substr(2));
      if (first != second)
        return table + "." + name + ": the library moved it by " + std::to_string(first) +
               ", the raw side by " + std::to_string(second);
      for (const auto& [moved, by] : moves)
        if (moved == name && first != by)
          return table + "." + name + " moved by " + std::to_string(first) + ", expected " +
                 std::to_string(by);
    } else if (a != b || b != d) {
      return table + "." + name + " changed: " + a + " -> " + b + " -> " + d;
    }
  }
  return "";
}

// ---- one database's pair of cases -----------------------------------------------------

template <class Db>
class Bench {
 public:
  // `text`: the library's connection text for a database without tables;
  // `open_raw` opens the raw connection to the same database.
  void Setup(const std::string& text, const std::function<std::unique_ptr<Db>()>& open_raw) {
    try {
      connection_ = tarnlow::Connection::Open(text);
      tarnlow::CreateMissingTables(*connection_);
      const Item check = MakeItem(1, "CHK000");
      library_items_ = ItemStream(2, "LIB");
      raw_items_ = ItemStream(2 + kItemsPerSide, "RAW");
      std::vector<Item> all{check};
      for (const auto* stream : {&library_items_, &raw_items_})
        all.insert(all.end(), stream->Items().begin(), stream->Items().end());
      Seed(*connection_, all);
      raw_db_ = open_raw();
      problem_ = Check(text, check);
      if (!problem_.empty()) return;
      // One receipt each before timing: prepares, the row key lookup.
      library_ = std::make_unique<LibraryReceipt>(connection_);
      library_->Run(*library_items_.Next());
      raw_->Run(*raw_items_.Next());
    } catch (const tarnlow::Error& e) {
      problem_ = "setup: " + e.Source() + ": " + e.Description();
    } catch (const std::exception& e) {
      problem_ = std::string("setup: ") + e.what();
    }
  }

  void Teardown() {
    library_.reset();
    raw_.reset();
    raw_db_.reset();
    connection_.reset();
  }

  void RunLibrary(benchmark::State& state) {
    Run(state, library_items_, [this](const Item& item) { library_->Run(item); });
  }
  void RunRaw(benchmark::State& state) {
    Run(state, raw_items_, [this](const Item& item) { raw_->Run(item); });
  }

  // A library receipt and a raw receipt per iteration, in alternating order,
  // each timed on its own. On a machine shared with other work the two sides
  // then meet the same conditions, and the ratio stays meaningful when the
  // separate cases drift apart from one run to the next.
  void RunPaired(benchmark::State& state) {
    Clocks library, raw;
    bool library_first = true;
    Run(state, library_items_, [&](const Item& item) {
      const Item* other = raw_items_.Next();
      if (!other) throw std::runtime_error("every raw item has had its receipts");
      auto lib = [&] { library.Time([&] { library_->Run(item); }); };
      auto direct = [&] { raw.Time([&] { raw_->Run(*other); }); };
      paired_cases::AlternateTurn(library_first, lib, direct);
    });
    paired_cases::ReportPair(state, library, raw);
  }

 protected:
  std::string problem_;  // why the cases cannot run; "" when they can

 private:
  template <class F>
  void Run(benchmark::State& state, ItemStream& items, F receipt) {
    if (!problem_.empty()) {
      state.SkipWithError(problem_.c_str());
      return;
    }
    try {
      for (auto _ : state) {
        const Item* item = items.Next();
        if (!item) {
          problem_ = "every item has had its receipts: raise kItemsPerSide or shorten the run";
          state.SkipWithError(problem_.c_str());
          break;
        }
        receipt(*item);
      }
    } catch (const tarnlow::Error& e) {
      problem_ = e.Source() + ": " + e.Description();
      state.SkipWithError(problem_.c_str());
    } catch (const std::exception& e) {
      problem_ = e.what();
      state.SkipWithError(problem_.c_str());
    }
  }

  // One library receipt (traced) and one raw receipt (logged) on the check
  // item; "" when both sent the same texts and wrote the same changes.
  std::string Check(const std::string& text, const Item& check) {
    static const std::vector<std::string> kTables{"purchase_order_line",    "stock_item",
                                                  "stock_movement_history", "stock_batch",
                                                  "stock_nominal_movement", "goods_receipt_audit"};
    auto snapshot = [&] {
      std::vector<Rows> out;
      for (const auto& t : kTables) out.push_back(Snapshot(*connection_, t));
      return out;
    };
    const std::vector<Rows> s0 = snapshot();

    const std::string trace = TempPath("tarnlow_receipt_trace") + ".sql";
    std::filesystem::remove(trace);
    {
      auto traced = tarnlow::Connection::Open(WithOption(text, "trace=" + trace));
      LibraryReceipt receipt(traced);
      receipt.Run(check);
    }
    std::vector<std::string> library_texts = ReadLines(trace);
    std::filesystem::remove(trace);
    const std::vector<Rows> s1 = snapshot();

    std::vector<std::string> raw_texts;
    raw_db_->Log(&raw_texts);
    raw_ = std::make_unique<RawReceipt<Db>>(*raw_db_);
    raw_->Run(check);
    raw_db_->Log(nullptr);
    const std::vector<Rows> s2 = snapshot();

    // The library traces texts as written; a server gets them numbered.
    for (auto& t : library_texts) t = Db::Numbered(t);
    if (std::string differ = paired_cases::CompareTexts(library_texts, raw_texts); !differ.empty())
      return differ;

    std::string problem = CheckUpdated(kTables[0], s0[0], s1[0], s2[0], "order_line_no", check.line_text,
                                       {{"qty_received", kReceived},
                                        {"tran_recd_qty", kReceived},
                                        {"local_expect_cost", kReceived * kUnitCost}});
    if (problem.empty())
      problem = CheckUpdated(kTables[1], s0[1], s1[1], s2[1], "product", check.product,
                             {{"physical_qty", kReceived},
                              {"on_order_qty", -kReceived},
                              {"month_to_date03", kReceived},
                              {"year_to_date03", kReceived}});
    if (problem.empty()) problem = CheckAppended(kTables[2], s0[2], s1[2], s2[2], 1, "sequence_no");
    if (problem.empty()) problem = CheckAppended(kTables[3], s0[3], s1[3], s2[3], 1, "sequence_number");
    if (problem.empty()) problem = CheckAppended(kTables[4], s0[4], s1[4], s2[4], 2, "");
    if (problem.empty()) problem = CheckAppended(kTables[5], s0[5], s1[5], s2[5], 1, "");
    return problem.empty() ? "" : "check: " + problem;
  }

  std::shared_ptr<tarnlow::Connection> connection_;
  std::unique_ptr<Db> raw_db_;
  std::unique_ptr<LibraryReceipt> library_;
  std::unique_ptr<RawReceipt<Db>> raw_;
  ItemStream library_items_, raw_items_;
};

// ---- SQLite: a temporary file, both connections open throughout -----------------------

class SqliteCases : public Bench<SqliteRaw> {
 public:
  SqliteCases() {
    Setup("sqlite:" + file_.Path(), [this] { return std::make_unique<SqliteRaw>(file_.Path()); });
  }
  // The connections close before their files go.
  ~SqliteCases() { Teardown(); }

 private:
  paired_cases::TempDatabaseFile file_{"tarnlow_receipt_bench"};
};

SqliteCases& Sqlite() {
  static SqliteCases cases;
  return cases;
}

void BM_Receipt_SQLite_Library(benchmark::State& state) {
  Sqlite().RunLibrary(state);
}
void BM_Receipt_SQLite_RawAPI(benchmark::State& state) {
  Sqlite().RunRaw(state);
}
void BM_Receipt_SQLite_Paired(benchmark::State& state) {
  Sqlite().RunPaired(state);
}
BENCHMARK(BM_Receipt_SQLite_Library)->UseRealTime();
BENCHMARK(BM_Receipt_SQLite_RawAPI)->UseRealTime();
BENCHMARK(BM_Receipt_SQLite_Paired)->UseRealTime();

// ---- PostgreSQL: a private schema on the server of TARNLOW_PG_URI -------------------------

// An ODBC connection string for the server of a libpq URI, through the
// named driver, with the session's search path set to the schema.
std::string OdbcText(const std::string& uri, const std::string& driver, const std::string& schema) {
  char* raw_error = nullptr;
  std::unique_ptr<PQconninfoOption, void (*)(PQconninfoOption*)> parsed(
      PQconninfoParse(uri.c_str(), &raw_error), &PQconninfoFree);
  if (raw_error) PQfreemem(raw_error);
  if (!parsed) throw std::runtime_error("cannot read the server's URI");
  // Braces only where a value needs them: some drivers keep them as part
  // of a value that does not.
  auto braced = [](const std::string& v) {
    if (v.find_first_of(";{}= ") == std::string::npos) return v;
    std::string out = "{";
    for (char c : v) out += c == '}' ? std::string("}}") : std::string(1, c);
    return out + "}";
  };
  std::string text = "odbc:DRIVER=" + braced(driver);
  static const std::pair<const char*, const char*> kKeys[] = {{"host", "Servername"},
                                                              {"port", "Port"},
                                                              {"dbname", "Database"},
                                                              {"user", "Username"},
                                                              {"password", "Password"}};
  for (const PQconninfoOption* o = parsed.get(); o->keyword != nullptr; ++o) {
    if (o->val == nullptr || *o->val == '\0') continue;
    for (const auto& [libpq, odbc] : kKeys)
      if (std::string_view(o->keyword) == libpq) text += std::string(";") + odbc + "=" + braced(o->val);
  }
  return text + ";ConnSettings=" + braced("set search_path to " + schema);
}

class PostgresCases : public Bench<PgRaw> {
 public:
  // With an ODBC driver named, the library goes through it; the raw side
  // always uses libpq.
  explicit PostgresCases(const std::string& uri, const std::string& odbc_driver = "") {
    std::string library_text;
    try {
      schema_.emplace(uri, odbc_driver.empty() ? "receipt_bench" : "receipt_bench_odbc");
      if (!odbc_driver.empty()) library_text = OdbcText(uri, odbc_driver, schema_->Name());
    } catch (const std::exception& e) {
      problem_ = std::string("setup: ") + e.what();
      return;
    }
    const std::string text = schema_->Text();
    Setup(library_text.empty() ? text : library_text, [text] { return std::make_unique<PgRaw>(text); });
  }
  // The connections go before the schema they work in.
  ~PostgresCases() { Teardown(); }

 private:
  std::optional<bench_pg::Schema> schema_;
};

const char* PgUri() {
  return std::getenv("TARNLOW_PG_URI");
}

PostgresCases& Postgres() {
  static PostgresCases cases(PgUri());
  return cases;
}

void BM_Receipt_PostgreSQL_Library(benchmark::State& state) {
  Postgres().RunLibrary(state);
}
void BM_Receipt_PostgreSQL_RawAPI(benchmark::State& state) {
  Postgres().RunRaw(state);
}
void BM_Receipt_PostgreSQL_Paired(benchmark::State& state) {
  Postgres().RunPaired(state);
}

// Without a server the PostgreSQL pair is not registered; the run's context
// says so.
const bool kPostgresRegistered = [] {
  if (PgUri() == nullptr || *PgUri() == '\0') {
    benchmark::AddCustomContext("postgresql_receipt", "skipped: TARNLOW_PG_URI is not set");
    return false;
  }
  benchmark::RegisterBenchmark("BM_Receipt_PostgreSQL_Library", BM_Receipt_PostgreSQL_Library)->UseRealTime();
  benchmark::RegisterBenchmark("BM_Receipt_PostgreSQL_RawAPI", BM_Receipt_PostgreSQL_RawAPI)->UseRealTime();
  benchmark::RegisterBenchmark("BM_Receipt_PostgreSQL_Paired", BM_Receipt_PostgreSQL_Paired)->UseRealTime();
  return true;
}();

// ---- PostgreSQL through its ODBC driver, the raw side on libpq ------------------------------

const char* OdbcDriver() {
  return std::getenv("TARNLOW_ODBC_POSTGRESQL_DRIVER");
}

PostgresCases& OdbcPostgres() {
  static PostgresCases cases(PgUri(), OdbcDriver());
  return cases;
}

void BM_Receipt_ODBC_PostgreSQL_Library(benchmark::State& state) {
  OdbcPostgres().RunLibrary(state);
}
void BM_Receipt_ODBC_PostgreSQL_RawAPI(benchmark::State& state) {
  OdbcPostgres().RunRaw(state);
}
void BM_Receipt_ODBC_PostgreSQL_Paired(benchmark::State& state) {
  OdbcPostgres().RunPaired(state);
}

const bool kOdbcPostgresRegistered = [] {
  if (PgUri() == nullptr || *PgUri() == '\0' || OdbcDriver() == nullptr || *OdbcDriver() == '\0') {
    benchmark::AddCustomContext("odbc_postgresql_receipt",
                                "skipped: needs TARNLOW_PG_URI and TARNLOW_ODBC_POSTGRESQL_DRIVER");
    return false;
  }
  benchmark::RegisterBenchmark("BM_Receipt_ODBC_PostgreSQL_Library", BM_Receipt_ODBC_PostgreSQL_Library)
      ->UseRealTime();
  benchmark::RegisterBenchmark("BM_Receipt_ODBC_PostgreSQL_RawAPI", BM_Receipt_ODBC_PostgreSQL_RawAPI)
      ->UseRealTime();
  benchmark::RegisterBenchmark("BM_Receipt_ODBC_PostgreSQL_Paired", BM_Receipt_ODBC_PostgreSQL_Paired)
      ->UseRealTime();
  return true;
}();

}  // namespace
}  // namespace receipt_bench
