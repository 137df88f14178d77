#include "peers.h"

#include <stdexcept>

#if TARNLOW_BENCH_SQLITECPP
#include <SQLiteCpp/SQLiteCpp.h>
#endif
#if TARNLOW_BENCH_SOCI
// Debian's build turns on SOCI's conversions for Boost types, whose headers
// the benchmarks neither need nor require.
#include <soci/soci-config.h>
#undef SOCI_HAVE_BOOST
#include <soci/postgresql/soci-postgresql.h>
#include <soci/soci.h>
#include <soci/sqlite3/soci-sqlite3.h>
#endif
#if TARNLOW_BENCH_PQXX
#include <pqxx/pqxx>
#endif

namespace bench_table {
namespace {

#if TARNLOW_BENCH_SQLITECPP
Peer SqliteCppPeer(const std::string& path, const PeerWork& work) {
  struct State {
    SQLite::Database db;
    SQLite::Statement read, insert;
    std::string a, b;
    double c = 0;
    State(const std::string& path, const PeerWork& w)
        : db(path, SQLite::OPEN_READWRITE, 30000), read(db, w.read_sql), insert(db, w.insert_sql) {
      db.exec("PRAGMA journal_mode=WAL; PRAGMA synchronous=NORMAL; PRAGMA wal_autocheckpoint=0;");
    }
  };
  auto s = std::make_shared<State>(path, work);
  Peer p{"SQLiteCpp", ""};
  p.read = [s, &work](long n) {
    for (long i = 0; i < n; ++i) {
      s->read.reset();
      s->read.bind(1, work.keys[static_cast<std::size_t>(i) % work.keys.size()]);
      if (!s->read.executeStep()) throw std::runtime_error("SQLiteCpp: no row");
      s->a = s->read.getColumn(0).getString();
      s->b = s->read.getColumn(1).getString();
      s->c = s->read.getColumn(2).getDouble();
      benchmark::DoNotOptimize(s->c);
    }
    s->read.reset();
  };
  p.insert = [s, &work](long n) {
    for (long i = 0; i < n; ++i) {
      SQLite::Statement& q = s->insert;
      q.reset();
      q.bind(1, work.account);
      q.bind(2, work.amount);
      q.bind(3, work.comments);
      q.bind(4, work.date_text);
      q.bind(5, work.post_flag);
      q.bind(6, work.reference);
      q.exec();
    }
  };
  p.keep = s;
  return p;
}
#endif

#if TARNLOW_BENCH_SOCI
Peer SociPeer(const std::string& name, const soci::backend_factory& backend, const std::string& connect,
              const std::string& read_sql, const std::string& insert_sql, const PeerWork& work, bool sqlite) {
  struct State {
    soci::session sql;
    std::string key, a, b, account, comments, date_text, post_flag, reference;
    double c = 0, amount = 0;
    std::unique_ptr<soci::statement> read, insert;
    State(const soci::backend_factory& backend, const std::string& connect) : sql(backend, connect) {}
  };
  auto s = std::make_shared<State>(backend, connect);
  // One statement per call: the rest of a text would be dropped unseen.
  if (sqlite) {
    s->sql << "PRAGMA journal_mode=WAL";
    s->sql << "PRAGMA synchronous=NORMAL";
    s->sql << "PRAGMA wal_autocheckpoint=0";
  }
  s->read = std::make_unique<soci::statement>(
      (s->sql.prepare << read_sql, soci::use(s->key), soci::into(s->a), soci::into(s->b), soci::into(s->c)));
  s->account = work.account;
  s->comments = work.comments;
  s->date_text = work.date_text;
  s->post_flag = work.post_flag;
  s->reference = work.reference;
  s->amount = work.amount;
  s->insert = std::make_unique<soci::statement>(
      (s->sql.prepare << insert_sql, soci::use(s->account), soci::use(s->amount), soci::use(s->comments),
       soci::use(s->date_text), soci::use(s->post_flag), soci::use(s->reference)));
  Peer p{name, ""};
  p.read = [s, &work](long n) {
    for (long i = 0; i < n; ++i) {
      s->key = work.keys[static_cast<std::size_t>(i) % work.keys.size()];
      if (!s->read->execute(true)) throw std::runtime_error("SOCI: no row");
      // Stepping past the one row ends the statement (and, on SQLite, its
      // read transaction), as the raw side's reset does.
      s->read->fetch();
      benchmark::DoNotOptimize(s->c);
    }
  };
  p.insert = [s](long n) {
    for (long i = 0; i < n; ++i) s->insert->execute(true);
  };
  p.keep = s;
  return p;
}
#endif

#if TARNLOW_BENCH_PQXX
Peer PqxxPeer(const std::string& conninfo, const std::string& read_sql, const std::string& insert_sql,
              const PeerWork& work) {
  struct State {
    pqxx::connection c;
    std::string a, b;
    double v = 0;
    explicit State(const std::string& conninfo) : c(conninfo) {}
  };
  auto s = std::make_shared<State>(conninfo);
  s->c.prepare("peer_read", read_sql);
  s->c.prepare("peer_insert", insert_sql);
  Peer p{"libpqxx", ""};
  p.read = [s, &work](long n) {
    for (long i = 0; i < n; ++i) {
      pqxx::nontransaction tx(s->c);
      const pqxx::result r =
          tx.exec_prepared("peer_read", work.keys[static_cast<std::size_t>(i) % work.keys.size()]);
      if (r.empty()) throw std::runtime_error("libpqxx: no row");
      s->a = r[0][0].c_str();
      s->b = r[0][1].c_str();
      s->v = r[0][2].as<double>();
      benchmark::DoNotOptimize(s->v);
    }
  };
  p.insert = [s, &work](long n) {
    for (long i = 0; i < n; ++i) {
      pqxx::nontransaction tx(s->c);
      tx.exec_prepared("peer_insert", work.account, work.amount, work.comments, work.date_text,
                       work.post_flag, work.reference);
    }
  };
  p.keep = s;
  return p;
}
#endif

[[maybe_unused]] Peer Missing(const std::string& name, const std::string& package) {
  return Peer{name, package + " was not found when the benchmarks were configured"};
}

// "?" placeholders as "<prefix>1", "<prefix>2", ...
std::string Numbered(const std::string& sql, const char* prefix = "$") {
  std::string out;
  int n = 0;
  for (char c : sql) {
    if (c == '?')
      out += prefix + std::to_string(++n);
    else
      out += c;
  }
  return out;
}

}  // namespace

std::vector<Peer> SqlitePeers([[maybe_unused]] const std::string& path,
                              [[maybe_unused]] const PeerWork& work) {
  std::vector<Peer> peers;
#if TARNLOW_BENCH_SQLITECPP
  peers.push_back(SqliteCppPeer(path, work));
#else
  peers.push_back(Missing("SQLiteCpp", "libsqlitecpp-dev"));
#endif
#if TARNLOW_BENCH_SOCI
  peers.push_back(SociPeer("SOCI sqlite3", *soci::factory_sqlite3(), "db=" + path + " timeout=30",
                           work.read_sql, work.insert_sql, work, true));
#else
  peers.push_back(Missing("SOCI sqlite3", "libsoci-dev"));
#endif
  return peers;
}

std::vector<Peer> PostgresPeers([[maybe_unused]] const std::string& conninfo,
                                [[maybe_unused]] const PeerWork& work) {
  std::vector<Peer> peers;
  [[maybe_unused]] const std::string read_sql = Numbered(work.read_sql);
  [[maybe_unused]] const std::string insert_sql = Numbered(work.insert_sql);
#if TARNLOW_BENCH_PQXX
  peers.push_back(PqxxPeer(conninfo, read_sql, insert_sql, work));
#else
  peers.push_back(Missing("libpqxx", "libpqxx-dev"));
#endif
#if TARNLOW_BENCH_SOCI
  // SOCI binds with its own ":name" placeholders and numbers them itself.
  peers.push_back(SociPeer("SOCI postgresql", *soci::factory_postgresql(), conninfo,
                           Numbered(work.read_sql, ":p"), Numbered(work.insert_sql, ":p"), work, false));
#else
  peers.push_back(Missing("SOCI postgresql", "libsoci-dev"));
#endif
  return peers;
}

}  // namespace bench_table
