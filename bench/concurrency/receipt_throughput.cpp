// tarnlow_bench_concurrency: whole goods receipts per second from 8 and 32
// client processes working at once on the PostgreSQL server of
// TARNLOW_PG_URI, through the library (LibraryReceipt) and through raw libpq
// (RawReceipt): the receipt of receipt_work.h, the same one the paired case
// times in one process.
//
// Every child process opens its own connection, runs one receipt to warm up
// (the library and the raw side both prepare on first use), then all are
// released together and receive for a fixed time. Each product is received
// by several processes at once, so that its history and batch numbers (the
// highest plus one, taken again when another process got there first) are
// contended, while every process has order lines of its own, as two clerks
// receiving the same product against different orders do. Rounds alternate
// between the library and raw libpq and start from the same seeded tables.
//
// After every round the tables are checked: no process failed; the history
// and batch numbers of each product run on from the first free one (000000
// for history, 000001 after the opening batch) with no gap and no repeat,
// one number per receipt the children reported for it; every order line, stock
// item, ledger and audit total agrees with those reports. A failed check is
// printed and makes the exit status 1.
//
// Options: --quick (shorter rounds); the table's --rounds N and --batch-ms M
// are accepted and ignored, so that one command line serves both programs.
// Without TARNLOW_PG_URI the rows are skipped with a note.
#include <libpq-fe.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
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
constexpr double kRoundSeconds = 3.0;
constexpr double kQuickRoundSeconds = 1.0;
// A child still running by then is taken to hang (a deadlock the server did
// not break, say) and is ended by its alarm.
constexpr unsigned kHangSeconds = 120;

enum class Side { Library, Raw };

const char* SideName(Side side) {
  return side == Side::Library ? "library" : "raw libpq";
}

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
  std::int32_t failed = 0;
  std::int64_t timed = 0;  // receipts within the timed window
  double seconds = 0;      // length of that window
  double cpu_seconds = 0;  // the process's CPU time within it
  // Every receipt of each product, the warm-up included.
  std::int64_t per_product[kMaxProducts] = {};
  char error[1024] = {};
};
static_assert(sizeof(ChildReport) <= PIPE_BUF);

// ---- libpq for set-up and the check ------------------------------------------------------

class Admin {
 public:
  explicit Admin(const std::string& conninfo) : conn_(PQconnectdb(conninfo.c_str()), &PQfinish) {
    if (PQstatus(conn_.get()) != CONNECTION_OK) throw std::runtime_error(PQerrorMessage(conn_.get()));
    PQsetNoticeProcessor(
        conn_.get(), [](void*, const char*) {}, nullptr);
  }
  void Run(const std::string& sql) { Query(sql); }
  // Every row of the result, each cell as text ("" for null).
  std::vector<std::vector<std::string>> Query(const std::string& sql) {
    std::unique_ptr<PGresult, void (*)(PGresult*)> r(PQexec(conn_.get(), sql.c_str()), &PQclear);
    const ExecStatusType status = PQresultStatus(r.get());
    if (status != PGRES_COMMAND_OK && status != PGRES_TUPLES_OK)
      throw std::runtime_error(sql + ": " + PQresultErrorMessage(r.get()));
    std::vector<std::vector<std::string>> rows(static_cast<std::size_t>(PQntuples(r.get())));
    for (int i = 0; i < PQntuples(r.get()); ++i)
      for (int c = 0; c < PQnfields(r.get()); ++c)
        rows[static_cast<std::size_t>(i)].push_back(PQgetvalue(r.get(), i, c));
    return rows;
  }

 private:
  std::unique_ptr<PGconn, void (*)(PGconn*)> conn_;
};

// ---- the children ----------------------------------------------------------------------

void CopyError(ChildReport& report, const std::string& what) {
  report.failed = 1;
  std::snprintf(report.error, sizeof report.error, "client %d: %s", report.client, what.c_str());
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
ChildReport RunClient(Side side, const std::string& text, const Layout& layout, int client, double seconds,
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
    if (side == Side::Library) {
      connection = tarnlow::Connection::Open(text);
      library = std::make_unique<LibraryReceipt>(connection);
    } else {
      raw_db = std::make_unique<PgRaw>(text);
      raw = std::make_unique<RawReceipt<PgRaw>>(*raw_db);
    }
    std::int64_t receipts = 0;
    auto receive = [&] {
      const auto p = static_cast<std::size_t>((client + receipts++) % layout.products);
      if (library)
        library->Run(items[p]);
      else
        raw->Run(items[p]);
      ++report.per_product[p];
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
      receive();
      ++report.timed;
      now = std::chrono::steady_clock::now();
    }
    report.seconds = std::chrono::duration<double>(now - start).count();
    report.cpu_seconds = CpuSeconds() - cpu_start;
  } catch (const tarnlow::Error& e) {
    CopyError(report, e.Source() + ": " + std::to_string(e.Number()) + ": " + e.Description());
  } catch (const std::exception& e) {
    CopyError(report, e.what());
  }
  if (!signalled) SignalReady(ready);
  return report;
}

struct RoundResult {
  double receipts_per_second = 0;
  double client_cpu_us = 0;  // the clients' CPU time per timed receipt
  std::int64_t receipts = 0;
  std::vector<std::string> problems;
};

// Forks the clients, releases them together, collects their reports.
std::vector<ChildReport> RunClients(Side side, const std::string& text, const Layout& layout, double seconds,
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
      const ChildReport report = RunClient(side, text, layout, c, seconds, ready[1], go[0]);
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
void CheckNumbers(Admin& admin, const std::string& what, const std::string& sql, std::int32_t first,
                  const std::vector<std::int64_t>& per_product, std::vector<std::string>& problems) {
  std::map<std::string, std::vector<std::string>> seen;
  for (auto& row : admin.Query(sql)) {
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
void CheckTables(Admin& admin, const Layout& layout, const std::vector<ChildReport>& reports,
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

  CheckNumbers(admin, "history numbers",
               "select product, count(*), count(distinct sequence_no), min(sequence_no), max(sequence_no)"
               " from stock_movement_history group by warehouse, product, dated",
               0, per_product, problems);
  CheckNumbers(admin, "batch numbers",
               "select product, count(*), count(distinct sequence_number), min(sequence_number),"
               " max(sequence_number) from stock_batch where sequence_number <> '000000'"
               " group by warehouse, product",
               1, per_product, problems);

  for (const auto& row : admin.Query("select product, physical_qty, on_order_qty, month_to_date03,"
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

  const auto lines = admin.Query(
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
      admin.Query("select count(*), coalesce(sum(amount_posted), 0) from stock_nominal_movement");
  Expect(problems, "ledger movements", Number(ledger[0][0]), 2.0 * static_cast<double>(total));
  Expect(problems, "ledger balance", Number(ledger[0][1]), 0);
  const auto audit = admin.Query("select count(*), coalesce(sum(qty_received), 0) from goods_receipt_audit");
  Expect(problems, "receipt audit rows", Number(audit[0][0]), static_cast<double>(total));
  Expect(problems, "receipt audit quantity", Number(audit[0][1]), static_cast<double>(total) * kReceived);
}

// ---- rounds ----------------------------------------------------------------------------------

// Empties the receipt's tables and seeds the round's lines and stock items.
void Reset(const std::string& text, const Layout& layout) {
  {
    Admin admin(text);
    admin.Run(
        "truncate purchase_order_line, stock_item, stock_movement_history, stock_batch,"
        " stock_nominal_movement, goods_receipt_audit");
  }
  auto c = tarnlow::Connection::Open(text);
  c->Execute("begin");
  for (int p = 0; p < layout.products; ++p) {
    SeedStock(*c, Layout::Product(p));
    for (int client = 0; client < layout.clients; ++client) SeedLine(*c, layout.ItemOf(client, p));
  }
  c->Execute("commit");
}

RoundResult Round(Side side, const std::string& text, const Layout& layout, double seconds) {
  RoundResult result;
  Reset(text, layout);
  const std::vector<ChildReport> reports = RunClients(side, text, layout, seconds, result.problems);
  double cpu = 0;
  std::int64_t timed = 0;
  for (const ChildReport& r : reports) {
    if (r.seconds > 0) result.receipts_per_second += static_cast<double>(r.timed) / r.seconds;
    cpu += r.cpu_seconds;
    timed += r.timed;
    for (int p = 0; p < layout.products; ++p) result.receipts += r.per_product[p];
  }
  if (timed > 0) result.client_cpu_us = cpu / static_cast<double>(timed) * 1e6;
  Admin admin(text);
  CheckTables(admin, layout, reports, result.problems);
  return result;
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  const std::size_t n = v.size();
  return n == 0 ? 0 : n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

std::string Spread(const std::vector<double>& v, const char* format) {
  char text[128];
  const auto [lo, hi] = std::minmax_element(v.begin(), v.end());
  char median[32], low[32], high[32];
  std::snprintf(median, sizeof median, format, Median(v));
  std::snprintf(low, sizeof low, format, *lo);
  std::snprintf(high, sizeof high, format, *hi);
  std::snprintf(text, sizeof text, "%s (%s-%s)", median, low, high);
  return text;
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
  std::printf("\nGoods receipts per second from client processes at once on one PostgreSQL server\n");
  const char* uri = std::getenv("TARNLOW_PG_URI");
  if (uri == nullptr || *uri == '\0') {
    std::printf("  skipped: TARNLOW_PG_URI is not set\n");
    return 0;
  }

  std::vector<std::string> problems;
  struct Figures {
    std::vector<double> rate, cpu;
  };
  struct Row {
    int clients;
    Figures library, raw;
  };
  std::vector<Row> rows;
  try {
    const bench_pg::Schema schema(uri, "receipt_concurrency");
    const std::string text = schema.Text();
    {
      auto c = tarnlow::Connection::Open(text);
      tarnlow::CreateMissingTables(*c);
      SeedOrder(*c);
    }
    for (const int clients : {8, 32}) {
      const Layout layout{clients, std::min(kMaxProducts, std::max(2, clients / kClientsPerProduct))};
      Row& row = rows.emplace_back(Row{clients, {}, {}});
      // Library, raw, raw, library, ...: each side goes first as often.
      for (int r = 0; r < kRounds; ++r) {
        for (const Side side :
             r % 2 == 0 ? std::array{Side::Library, Side::Raw} : std::array{Side::Raw, Side::Library}) {
          RoundResult result = Round(side, text, layout, seconds);
          for (auto& p : result.problems)
            problems.push_back(std::to_string(clients) + " clients, " + SideName(side) + ": " + p);
          Figures& figures = side == Side::Library ? row.library : row.raw;
          figures.rate.push_back(result.receipts_per_second);
          figures.cpu.push_back(result.client_cpu_us);
        }
      }
    }
  } catch (const tarnlow::Error& e) {
    problems.push_back(e.Source() + ": " + e.Description());
  } catch (const std::exception& e) {
    problems.push_back(e.what());
  }

  std::printf(
      "(%.1f s per round, %d rounds per side alternating, each product received by %d processes at once;\n"
      "median over the rounds, lowest-highest in brackets; client CPU is the client processes' CPU time\n"
      "per receipt; library/raw is the ratio of receipts/s per pair of rounds)\n\n",
      seconds, kRounds, kClientsPerProduct);
  std::printf("  %-8s %-10s %-22s %-16s %s\n", "clients", "side", "receipts/s", "client CPU", "library/raw");
  for (const Row& row : rows) {
    if (row.library.rate.size() != row.raw.rate.size() || row.library.rate.empty()) continue;
    std::vector<double> ratio;
    for (std::size_t i = 0; i < row.library.rate.size(); ++i)
      if (row.raw.rate[i] > 0) ratio.push_back(row.library.rate[i] / row.raw.rate[i]);
    for (const Side side : {Side::Library, Side::Raw}) {
      const Figures& f = side == Side::Library ? row.library : row.raw;
      char cpu[32];
      std::snprintf(cpu, sizeof cpu, "%.0f us", Median(f.cpu));
      const std::string ratio_text = side == Side::Raw ? "" : ratio.empty() ? "-" : Spread(ratio, "%.2f");
      std::printf("  %-8d %-10s %-22s %-16s %s\n", row.clients, SideName(side),
                  Spread(f.rate, "%.0f").c_str(), cpu, ratio_text.c_str());
    }
  }
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
