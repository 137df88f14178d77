// tarnlow_bench_concurrency: whole goods receipts per second from 1, 8 and 32
// client processes working at once on one database, on SQLite (a file in a
// temporary folder) and on the PostgreSQL server of TARNLOW_PG_URI. The
// receipt is the one of receipt_work.h that the paired case times in one
// process, run three ways:
//   statements   the library (LibraryReceipt), each write its own statement,
//                as the classes' clients write;
//   transaction  the library with one client transaction per receipt:
//                BeginTrans before its first statement, CommitTrans after its
//                last; a receipt that fails is rolled back (RollbackTrans),
//                counted as failed and the client goes on with the next;
//   raw libpq    the same statements through libpq (RawReceipt), on
//                PostgreSQL only: the raw receipt writes the order line back
//                while its read is still open, and on SQLite an open read
//                cannot wait for the write lock (sqlite answers "locked" at
//                once rather than risk a deadlock), so from several
//                processes it would fail, not measure.
//
// Every child process opens its own connection, runs one receipt to warm up
// (both sides prepare on first use), then all are released together and
// receive for a fixed time. Each product is received by several processes at
// once, so that its history and batch numbers (the highest plus one, taken
// again when another process got there first) are contended, while every
// process has order lines of its own, as two clerks receiving the same product
// against different orders do. Rounds go statements, transaction, raw, then
// the other way round, and each starts from the same seeded tables; the
// transaction/statements ratio is taken per pair of rounds.
//
// After every round the tables are checked: no process failed; the history
// and batch numbers of each product run on from the first free one (000000
// for history, 000001 after the opening batch) with no gap and no repeat, one
// number per receipt the children reported as received; every order line,
// stock item, ledger and audit total agrees with those reports, so that a
// rolled-back receipt must have left nothing behind. A failed check is printed
// and makes the exit status 1. Receipts that failed inside a transaction are
// counted and their first error shown.
//
// Options: --quick (shorter rounds); the table's --rounds N and --batch-ms M
// are accepted and ignored, so that one command line serves both programs.
// Without TARNLOW_PG_URI the PostgreSQL rows are skipped with a note.
#include <libpq-fe.h>
#include <signal.h>
#include <sqlite3.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "../pg_schema.h"
#include "../receipt_work.h"

namespace receipt_bench {
namespace {

// Processes receiving each product at the same time.
constexpr int kClientsPerProduct = 4;
constexpr int kMaxProducts = 16;
constexpr int kRounds = 3;  // per side
constexpr double kRoundSeconds = 4.0;
constexpr double kQuickRoundSeconds = 1.0;
// A child still running by then is taken to hang (a deadlock the database
// did not break, say) and is ended by its alarm.
constexpr unsigned kHangSeconds = 120;

enum class Engine { SQLite, PostgreSQL };
enum class Side { Statements, Transaction, Raw };

const char* EngineName(Engine engine) {
  return engine == Engine::SQLite ? "SQLite" : "PostgreSQL";
}

const char* SideName(Side side) {
  switch (side) {
    case Side::Statements: return "statements";
    case Side::Transaction: return "transaction";
    case Side::Raw: return "raw libpq";
  }
  return "";
}

// Where one engine's rounds run.
struct Target {
  Engine engine;
  std::string text;  // the library's connection text
  std::string raw;   // the check's and the raw side's: a libpq connection text or the SQLite file
};

// Who receives what in one round: client c has an order line of its own for
// every product, and its r-th receipt is of product (c + r) mod products, so
// that at any moment about kClientsPerProduct processes share a product.
struct Layout {
  int clients = 0;
  int products = 0;

  static std::string Product(int p) {
    char text[16];
    std::snprintf(text, sizeof text, "CONC%02d", p);
    return text;
  }
  Item ItemOf(int client, int p) const { return MakeItem(1 + client * products + p, Product(p)); }
};

// What a child hands back, written whole into a pipe in one write: fixed
// size and below PIPE_BUF, so that reports of several children never mix.
struct ChildReport {
  std::int32_t client = -1;
  std::int32_t failed = 0;           // the client stopped on an error
  std::int32_t failed_receipts = 0;  // receipts rolled back, the warm-up included
  std::int64_t timed = 0;            // receipts received within the timed window
  double seconds = 0;                // length of that window
  double cpu_seconds = 0;            // the process's CPU time within it
  // Every receipt received of each product, the warm-up included.
  std::int64_t per_product[kMaxProducts] = {};
  char error[1024] = {};
  char first_failed_receipt[512] = {};
};
static_assert(sizeof(ChildReport) <= PIPE_BUF);

// ---- reading the tables for the check ------------------------------------------------------

using Rows = std::vector<std::vector<std::string>>;

// Every row of a query's result, each cell as text ("" for null).
class Reader {
 public:
  virtual ~Reader() = default;
  virtual Rows Query(const std::string& sql) = 0;
};

class PgReader final : public Reader {
 public:
  explicit PgReader(const std::string& conninfo) : conn_(PQconnectdb(conninfo.c_str()), &PQfinish) {
    if (PQstatus(conn_.get()) != CONNECTION_OK) throw std::runtime_error(PQerrorMessage(conn_.get()));
  }
  Rows Query(const std::string& sql) override {
    std::unique_ptr<PGresult, void (*)(PGresult*)> r(PQexec(conn_.get(), sql.c_str()), &PQclear);
    if (PQresultStatus(r.get()) != PGRES_TUPLES_OK)
      throw std::runtime_error(sql + ": " + PQresultErrorMessage(r.get()));
    Rows rows(static_cast<std::size_t>(PQntuples(r.get())));
    for (int i = 0; i < PQntuples(r.get()); ++i)
      for (int c = 0; c < PQnfields(r.get()); ++c)
        rows[static_cast<std::size_t>(i)].push_back(PQgetvalue(r.get(), i, c));
    return rows;
  }

 private:
  std::unique_ptr<PGconn, void (*)(PGconn*)> conn_;
};

class SqliteReader final : public Reader {
 public:
  explicit SqliteReader(const std::string& path) : db_(Open(path), &sqlite3_close_v2) {}
  Rows Query(const std::string& sql) override {
    sqlite3_stmt* raw = nullptr;
    if (sqlite3_prepare_v2(db_.get(), sql.c_str(), -1, &raw, nullptr) != SQLITE_OK)
      throw std::runtime_error(sql + ": " + sqlite3_errmsg(db_.get()));
    const std::unique_ptr<sqlite3_stmt, int (*)(sqlite3_stmt*)> s(raw, &sqlite3_finalize);
    Rows rows;
    int rc;
    while ((rc = sqlite3_step(s.get())) == SQLITE_ROW) {
      auto& row = rows.emplace_back();
      for (int c = 0; c < sqlite3_column_count(s.get()); ++c) {
        const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(s.get(), c));
        row.emplace_back(text ? text : "");
      }
    }
    if (rc != SQLITE_DONE) throw std::runtime_error(sql + ": " + sqlite3_errmsg(db_.get()));
    return rows;
  }

 private:
  static sqlite3* Open(const std::string& path) {
    sqlite3* db = nullptr;
    const int rc = sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr);
    if (rc != SQLITE_OK) {
      const std::string message = db ? sqlite3_errmsg(db) : sqlite3_errstr(rc);
      sqlite3_close_v2(db);
      throw std::runtime_error(path + ": " + message);
    }
    return db;
  }
  std::unique_ptr<sqlite3, int (*)(sqlite3*)> db_;
};

// A folder of its own in the temporary folder, removed with what it holds.
class TempFolder {
 public:
  TempFolder() {
    std::string name = (std::filesystem::temp_directory_path() / "tarnlow-concurrency-XXXXXX").string();
    if (mkdtemp(name.data()) == nullptr) throw std::runtime_error("cannot make a temporary folder");
    path_ = name;
  }
  ~TempFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;
  std::string File(const std::string& name) const { return (path_ / name).string(); }

 private:
  std::filesystem::path path_;
};

// ---- the children ----------------------------------------------------------------------

std::string Describe(const tarnlow::Error& e) {
  return e.Source() + ": " + std::to_string(e.Number()) + ": " + e.Description();
}

void CopyError(ChildReport& report, const std::string& what) {
  report.failed = 1;
  std::snprintf(report.error, sizeof report.error, "client %d: %s", report.client, what.c_str());
}

void CountFailedReceipt(ChildReport& report, const tarnlow::Error& e) {
  if (report.failed_receipts++ == 0)
    std::snprintf(report.first_failed_receipt, sizeof report.first_failed_receipt, "client %d: %s",
                  report.client, Describe(e).c_str());
}

// One receipt in a client transaction of its own. False when it failed and
// nothing of it stays: a failed BeginTrans opened nothing, a failed
// CommitTrans leaves no transaction open, anything else is rolled back. A
// rollback that fails ends the client, its receipts being in doubt.
bool ReceiveInTransaction(tarnlow::Connection& connection, LibraryReceipt& receipt, const Item& item,
                          ChildReport& report) {
  try {
    connection.BeginTrans();
  } catch (const tarnlow::Error& e) {
    CountFailedReceipt(report, e);
    return false;
  }
  try {
    receipt.Run(item);
  } catch (const tarnlow::Error& e) {
    CountFailedReceipt(report, e);
    connection.RollbackTrans();
    return false;
  }
  try {
    connection.CommitTrans();
  } catch (const tarnlow::Error& e) {
    CountFailedReceipt(report, e);
    return false;
  }
  return true;
}

// Blocks until the parent closes its end of `go`.
void AwaitStart(int go) {
  char c;
  while (read(go, &c, 1) < 0 && errno == EINTR) {
  }
}

void SignalReady(int ready) {
  const char c = 1;
  while (write(ready, &c, 1) < 0 && errno == EINTR) {
  }
}

double CpuSeconds() {
  timespec t{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

// One child's receipts: connect, warm up, tell the parent, wait for the
// start, receive until the time is up. Every connection and object is gone
// again when this returns.
ChildReport RunClient(Side side, const Target& target, const Layout& layout, int client, double seconds,
                      int ready, int go) {
  ChildReport report;
  report.client = client;
  bool signalled = false;
  try {
    std::vector<Item> items;
    for (int p = 0; p < layout.products; ++p) items.push_back(layout.ItemOf(client, p));
    std::shared_ptr<tarnlow::Connection> connection;
    std::unique_ptr<LibraryReceipt> library;
    std::unique_ptr<PgRaw> raw_db;
    std::unique_ptr<RawReceipt<PgRaw>> raw;
    if (side == Side::Raw) {
      raw_db = std::make_unique<PgRaw>(target.raw);
      raw = std::make_unique<RawReceipt<PgRaw>>(*raw_db);
    } else {
      connection = tarnlow::Connection::Open(target.text);
      library = std::make_unique<LibraryReceipt>(connection);
    }
    std::int64_t attempts = 0;
    // True when the receipt was received (and, in a transaction, committed).
    auto receive = [&] {
      const auto p = static_cast<std::size_t>((client + attempts++) % layout.products);
      switch (side) {
        case Side::Statements: library->Run(items[p]); break;
        case Side::Transaction:
          if (!ReceiveInTransaction(*connection, *library, items[p], report)) return false;
          break;
        case Side::Raw: raw->Run(items[p]); break;
      }
      ++report.per_product[p];
      return true;
    };
    receive();
    SignalReady(ready);
    signalled = true;
    AwaitStart(go);
    const double cpu_start = CpuSeconds();
    const auto start = std::chrono::steady_clock::now();
    const auto end = start + std::chrono::duration<double>(seconds);
    auto now = start;
    while (now < end) {
      if (receive()) ++report.timed;
      now = std::chrono::steady_clock::now();
    }
    report.seconds = std::chrono::duration<double>(now - start).count();
    report.cpu_seconds = CpuSeconds() - cpu_start;
  } catch (const tarnlow::Error& e) {
    CopyError(report, Describe(e));
  } catch (const std::exception& e) {
    CopyError(report, e.what());
  }
  if (!signalled) SignalReady(ready);
  return report;
}

// Forks the clients, releases them together, collects their reports. The
// parent holds no database connection across the fork.
std::vector<ChildReport> RunClients(Side side, const Target& target, const Layout& layout, double seconds,
                                    std::vector<std::string>& problems) {
  int ready[2], go[2], results[2];
  if (pipe(ready) != 0 || pipe(go) != 0 || pipe(results) != 0) throw std::runtime_error("pipe failed");
  std::fflush(nullptr);
  std::vector<pid_t> children;
  for (int c = 0; c < layout.clients; ++c) {
    const pid_t pid = fork();
    if (pid < 0) {
      problems.push_back("fork failed for client " + std::to_string(c));
      break;
    }
    if (pid == 0) {
      close(ready[0]);
      close(go[1]);
      close(results[0]);
      alarm(kHangSeconds);
      const ChildReport report = RunClient(side, target, layout, c, seconds, ready[1], go[0]);
      const bool written = write(results[1], &report, sizeof report) == static_cast<ssize_t>(sizeof report);
      std::_Exit(written ? 0 : 1);
    }
    children.push_back(pid);
  }
  close(ready[1]);
  close(go[0]);
  close(results[1]);
  // Everyone connected and warmed up (or failed, or died) before the start.
  char c;
  for (std::size_t n = 0; n < children.size();) {
    const ssize_t got = read(ready[0], &c, 1);
    if (got == 0) break;
    if (got > 0) ++n;
  }
  close(go[1]);
  std::vector<ChildReport> reports;
  for (;;) {
    ChildReport report;
    std::size_t have = 0;
    auto* bytes = reinterpret_cast<char*>(&report);
    while (have < sizeof report) {
      const ssize_t got = read(results[0], bytes + have, sizeof report - have);
      if (got == 0) break;
      if (got > 0) have += static_cast<std::size_t>(got);
    }
    if (have != sizeof report) break;
    reports.push_back(report);
  }
  close(ready[0]);
  close(results[0]);
  for (const pid_t pid : children) {
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    if (WIFSIGNALED(status))
      problems.push_back("a client process ended by signal " + std::to_string(WTERMSIG(status)) +
                         (WTERMSIG(status) == SIGALRM ? " (still running after its time limit)" : ""));
    else if (WEXITSTATUS(status) != 0)
      problems.push_back("a client process could not hand back its report");
  }
  for (const ChildReport& r : reports)
    if (r.failed) problems.emplace_back(r.error);
  if (static_cast<int>(reports.size()) != layout.clients && problems.empty())
    problems.push_back(std::to_string(reports.size()) + " reports from " + std::to_string(layout.clients) +
                       " clients");
  return reports;
}

// ---- the check -----------------------------------------------------------------------------

double Number(const std::string& text) {
  return std::strtod(text.c_str(), nullptr);
}

// The numbers of each product in `sql`'s rows (product, count, distinct
// count, lowest, highest) must run from `first` on without a gap or a
// repeat, one for each of the product's receipts.
void CheckNumbers(Reader& reader, const std::string& what, const std::string& sql, std::int32_t first,
                  const std::vector<std::int64_t>& per_product, std::vector<std::string>& problems) {
  std::map<std::string, std::vector<std::string>> seen;
  for (auto& row : reader.Query(sql)) {
    if (seen.count(row[0])) problems.push_back(what + ": product " + row[0] + " numbered under two keys");
    seen[row[0]] = row;
  }
  for (std::size_t p = 0; p < per_product.size(); ++p) {
    const std::string product = Layout::Product(static_cast<int>(p));
    const std::int64_t n = per_product[p];
    const auto it = seen.find(product);
    if (it == seen.end()) {
      if (n != 0) problems.push_back(what + " of " + product + ": none, " + std::to_string(n) + " receipts");
      continue;
    }
    const auto& row = it->second;
    const std::string expected = "count " + std::to_string(n) + ", distinct " + std::to_string(n) +
                                 ", numbers " + SixDigits(first) + ".." +
                                 SixDigits(first + static_cast<std::int32_t>(n) - 1);
    const std::string found =
        "count " + row[1] + ", distinct " + row[2] + ", numbers " + row[3] + ".." + row[4];
    if (found != expected)
      problems.push_back(what + " of " + product + ": " + found + "; expected " + expected);
  }
}

void Expect(std::vector<std::string>& problems, const std::string& what, double found, double expected) {
  if (found != expected)
    problems.push_back(what + ": " + tarnlow::ShortestText(found) + ", expected " +
                       tarnlow::ShortestText(expected));
}

// What the reports say was received against what the tables hold.
void CheckTables(Reader& reader, const Layout& layout, const std::vector<ChildReport>& reports,
                 std::vector<std::string>& problems) {
  std::vector<std::int64_t> per_product(static_cast<std::size_t>(layout.products), 0);
  std::map<std::string, std::int64_t> per_line;  // order_line_no -> receipts
  std::int64_t total = 0;
  for (const ChildReport& r : reports) {
    for (int p = 0; p < layout.products; ++p) {
      const std::int64_t n = r.per_product[p];
      per_product[static_cast<std::size_t>(p)] += n;
      per_line[layout.ItemOf(r.client, p).line_text] += n;
      total += n;
    }
  }

  CheckNumbers(reader, "history numbers",
               "select product, count(*), count(distinct sequence_no), min(sequence_no), max(sequence_no)"
               " from stock_movement_history group by warehouse, product, dated",
               0, per_product, problems);
  CheckNumbers(reader, "batch numbers",
               "select product, count(*), count(distinct sequence_number), min(sequence_number),"
               " max(sequence_number) from stock_batch where sequence_number <> '000000'"
               " group by warehouse, product",
               1, per_product, problems);

  for (const auto& row : reader.Query("select product, physical_qty, on_order_qty, month_to_date03,"
                                      " year_to_date03 from stock_item")) {
    std::int64_t n = -1;
    for (int p = 0; p < layout.products; ++p)
      if (row[0] == Layout::Product(p)) n = per_product[static_cast<std::size_t>(p)];
    if (n < 0) {
      problems.push_back("unexpected stock item " + row[0]);
      continue;
    }
    const auto received = static_cast<double>(n) * kReceived;
    Expect(problems, "physical quantity of " + row[0], Number(row[1]), received);
    Expect(problems, "on-order quantity of " + row[0], Number(row[2]), kOrdered - received);
    Expect(problems, "month's receipts of " + row[0], Number(row[3]), received);
    Expect(problems, "year's receipts of " + row[0], Number(row[4]), received);
  }

  const auto lines = reader.Query(
      "select order_line_no, qty_received, tran_recd_qty, local_expect_cost, status from "
      "purchase_order_line");
  Expect(problems, "order lines", static_cast<double>(lines.size()),
         static_cast<double>(layout.clients * layout.products));
  for (const auto& row : lines) {
    const auto it = per_line.find(row[0]);
    const double n = it == per_line.end() ? 0.0 : static_cast<double>(it->second);
    Expect(problems, "received quantity of line " + row[0], Number(row[1]), n * kReceived);
    Expect(problems, "received stock quantity of line " + row[0], Number(row[2]), n * kReceived);
    Expect(problems, "expected cost of line " + row[0], Number(row[3]), n * kReceived * kUnitCost);
  }

  const auto ledger =
      reader.Query("select count(*), coalesce(sum(amount_posted), 0) from stock_nominal_movement");
  Expect(problems, "ledger movements", Number(ledger[0][0]), 2.0 * static_cast<double>(total));
  Expect(problems, "ledger balance", Number(ledger[0][1]), 0);
  const auto audit = reader.Query("select count(*), coalesce(sum(qty_received), 0) from goods_receipt_audit");
  Expect(problems, "receipt audit rows", Number(audit[0][0]), static_cast<double>(total));
  Expect(problems, "receipt audit quantity", Number(audit[0][1]), static_cast<double>(total) * kReceived);
}

// ---- rounds ----------------------------------------------------------------------------------

// Empties the receipt's tables and seeds the round's lines and stock items.
void Reset(const Target& target, const Layout& layout) {
  auto c = tarnlow::Connection::Open(target.text);
  const char* tables[] = {"purchase_order_line",    "stock_item",
                          "stock_movement_history", "stock_batch",
                          "stock_nominal_movement", "goods_receipt_audit"};
  c->BeginTrans();
  if (target.engine == Engine::PostgreSQL) {
    // Deleted rows would stay behind on the server until vacuumed and slow
    // the next round's highest-number reads.
    std::string truncate = "truncate ";
    for (const char* table : tables) truncate += std::string(table) + (table == tables[5] ? "" : ", ");
    c->Execute(truncate);
  } else {
    for (const char* table : tables) c->Execute(std::string("delete from ") + table);
  }
  for (int p = 0; p < layout.products; ++p) {
    SeedStock(*c, Layout::Product(p));
    for (int client = 0; client < layout.clients; ++client) SeedLine(*c, layout.ItemOf(client, p));
  }
  c->CommitTrans();
}

std::unique_ptr<Reader> OpenReader(const Target& target) {
  if (target.engine == Engine::PostgreSQL) return std::make_unique<PgReader>(target.raw);
  return std::make_unique<SqliteReader>(target.raw);
}

struct RoundResult {
  double receipts_per_second = 0;
  double client_cpu_us = 0;  // the clients' CPU time per receipt received in the timed window
  std::int64_t failed_receipts = 0;
  std::string first_failed_receipt;
  std::vector<std::string> problems;
};

RoundResult Round(Side side, const Target& target, const Layout& layout, double seconds) {
  RoundResult result;
  Reset(target, layout);
  const std::vector<ChildReport> reports = RunClients(side, target, layout, seconds, result.problems);
  double cpu = 0;
  std::int64_t timed = 0;
  for (const ChildReport& r : reports) {
    if (r.seconds > 0) result.receipts_per_second += static_cast<double>(r.timed) / r.seconds;
    cpu += r.cpu_seconds;
    timed += r.timed;
    result.failed_receipts += r.failed_receipts;
    if (r.failed_receipts > 0 && result.first_failed_receipt.empty())
      result.first_failed_receipt = r.first_failed_receipt;
  }
  if (timed > 0) result.client_cpu_us = cpu / static_cast<double>(timed) * 1e6;
  CheckTables(*OpenReader(target), layout, reports, result.problems);
  return result;
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  const std::size_t n = v.size();
  return n == 0 ? 0 : n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

std::string Spread(const std::vector<double>& v, const char* format) {
  if (v.empty()) return "-";
  char text[128];
  const auto [lo, hi] = std::minmax_element(v.begin(), v.end());
  char median[32], low[32], high[32];
  std::snprintf(median, sizeof median, format, Median(v));
  std::snprintf(low, sizeof low, format, *lo);
  std::snprintf(high, sizeof high, format, *hi);
  std::snprintf(text, sizeof text, "%s (%s-%s)", median, low, high);
  return text;
}

struct Figures {
  std::vector<double> rate, cpu;
  std::int64_t failed_receipts = 0;
  std::string first_failed_receipt;
};

struct Row {
  int clients = 0;
  std::map<Side, Figures> sides;
};

std::string Where(Engine engine, int clients, Side side) {
  return std::string(EngineName(engine)) + ", " + std::to_string(clients) +
         (clients == 1 ? " client, " : " clients, ") + SideName(side) + ": ";
}

// One engine's rounds at 1, 8 and 32 clients. Problems are prefixed with
// where they arose.
std::vector<Row> RunEngine(const Target& target, double seconds, std::vector<std::string>& problems) {
  std::vector<Side> sides{Side::Statements, Side::Transaction};
  if (target.engine == Engine::PostgreSQL) sides.push_back(Side::Raw);
  {
    auto c = tarnlow::Connection::Open(target.text);
    tarnlow::CreateMissingTables(*c);
    SeedOrder(*c);
  }
  std::vector<Row> rows;
  for (const int clients : {1, 8, 32}) {
    const Layout layout{clients, std::min(kMaxProducts, std::max(2, clients / kClientsPerProduct))};
    Row& row = rows.emplace_back();
    row.clients = clients;
    for (int r = 0; r < kRounds; ++r) {
      // Forwards, then backwards: each side takes each place as often.
      std::vector<Side> order = sides;
      if (r % 2 == 1) std::reverse(order.begin(), order.end());
      for (const Side side : order) {
        RoundResult result = Round(side, target, layout, seconds);
        for (auto& p : result.problems) problems.push_back(Where(target.engine, clients, side) + p);
        Figures& figures = row.sides[side];
        figures.rate.push_back(result.receipts_per_second);
        figures.cpu.push_back(result.client_cpu_us);
        figures.failed_receipts += result.failed_receipts;
        if (figures.first_failed_receipt.empty()) figures.first_failed_receipt = result.first_failed_receipt;
      }
    }
  }
  return rows;
}

// a/b per pair of rounds.
std::vector<double> Ratios(const Figures& a, const Figures& b) {
  std::vector<double> ratio;
  for (std::size_t i = 0; i < a.rate.size() && i < b.rate.size(); ++i)
    if (b.rate[i] > 0) ratio.push_back(a.rate[i] / b.rate[i]);
  return ratio;
}

void Print(Engine engine, const std::vector<Row>& rows, std::vector<std::string>& notes) {
  for (const Row& row : rows) {
    const auto statements = row.sides.find(Side::Statements);
    const auto raw = row.sides.find(Side::Raw);
    for (const auto& [side, f] : row.sides) {
      char cpu[32];
      std::snprintf(cpu, sizeof cpu, "%.0f us", Median(f.cpu));
      std::string ratio;
      if (side == Side::Transaction && statements != row.sides.end())
        ratio = "trans/stmt " + Spread(Ratios(f, statements->second), "%.2f");
      else if (side == Side::Statements && raw != row.sides.end())
        ratio = "lib/raw    " + Spread(Ratios(f, raw->second), "%.2f");
      std::printf("  %-11s %-8d %-12s %-20s %-10s %-7lld %s\n", EngineName(engine), row.clients,
                  SideName(side), Spread(f.rate, "%.0f").c_str(), cpu,
                  static_cast<long long>(f.failed_receipts), ratio.c_str());
      if (f.failed_receipts > 0)
        notes.push_back(Where(engine, row.clients, side) + std::to_string(f.failed_receipts) +
                        " receipts failed and were rolled back; the first: " + f.first_failed_receipt);
    }
  }
}

int Main(int argc, char** argv) {
  double seconds = kRoundSeconds;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--quick") == 0) {
      seconds = kQuickRoundSeconds;
    } else if ((std::strcmp(argv[i], "--rounds") == 0 || std::strcmp(argv[i], "--batch-ms") == 0) &&
               i + 1 < argc) {
      ++i;
    } else {
      std::fprintf(stderr, "usage: %s [--quick] [--rounds N] [--batch-ms M]\n", argv[0]);
      return 2;
    }
  }
  std::printf("\nGoods receipts per second from client processes at once on one database\n");
  std::printf(
      "(%.1f s per round, %d rounds per side in alternating order; each product received by up to %d\n"
      "processes at once; median over the rounds, lowest-highest in brackets; client CPU is the client\n"
      "processes' CPU time per receipt received (on SQLite the database's own work is in it); failed counts\n"
      "receipts rolled back; trans/stmt is the ratio of receipts/s of the transaction and the statements\n"
      "rounds, lib/raw that of the statements and the raw rounds, per pair of rounds)\n\n",
      seconds, kRounds, kClientsPerProduct);
  std::printf("  %-11s %-8s %-12s %-20s %-10s %-7s %s\n", "engine", "clients", "side", "receipts/s",
              "client CPU", "failed", "ratio");
  std::fflush(stdout);

  std::vector<std::string> problems, notes;
  for (const Engine engine : {Engine::SQLite, Engine::PostgreSQL}) {
    const std::size_t before = problems.size();
    try {
      std::vector<Row> rows;
      if (engine == Engine::SQLite) {
        const TempFolder folder;
        const std::string path = folder.File("receipts.db");
        rows = RunEngine(Target{engine, "sqlite:" + path, path}, seconds, problems);
      } else {
        const char* uri = std::getenv("TARNLOW_PG_URI");
        if (uri == nullptr || *uri == '\0') {
          std::printf("  %-11s skipped: TARNLOW_PG_URI is not set\n", EngineName(engine));
          continue;
        }
        const bench_pg::Schema schema(uri, "receipt_concurrency");
        rows = RunEngine(Target{engine, schema.Text(), schema.Text()}, seconds, problems);
      }
      Print(engine, rows, notes);
    } catch (const tarnlow::Error& e) {
      problems.push_back(std::string(EngineName(engine)) + ": " + Describe(e));
    } catch (const std::exception& e) {
      problems.push_back(std::string(EngineName(engine)) + ": " + e.what());
    }
    if (problems.size() > before)
      std::printf("  %-11s %zu problems, listed below\n", EngineName(engine), problems.size() - before);
    std::fflush(stdout);
  }

  for (const std::string& note : notes) std::printf("\n  %s", note.c_str());
  if (!notes.empty()) std::printf("\n");
  if (problems.empty()) {
    std::printf(
        "\n  checked after every round: no client failed; history and batch numbers of each product run on "
        "without a gap or a repeat;\n"
        "  order lines, stock items, ledger and audit rows agree with the receipts the clients reported\n");
    return 0;
  }
  std::printf("\n  FAILED (%zu problems):\n", problems.size());
  for (std::size_t i = 0; i < problems.size() && i < 20; ++i) std::printf("    %s\n", problems[i].c_str());
  return 1;
}

}  // namespace
}  // namespace receipt_bench

int main(int argc, char** argv) {
  return receipt_bench::Main(argc, argv);
}
