#include "test_support.h"

#include <libpq-fe.h>
#include <sql.h>
#include <sqlext.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>

namespace tarnlow::test {
namespace {

std::string PgUri() {
  const char* uri = std::getenv("TARNLOW_PG_URI");
  return uri ? uri : "";
}

void PgRun(const std::string& uri, const std::string& sql) {
  std::unique_ptr<PGconn, void (*)(PGconn*)> conn(PQconnectdb(uri.c_str()), &PQfinish);
  if (PQstatus(conn.get()) != CONNECTION_OK) throw std::runtime_error(PQerrorMessage(conn.get()));
  std::unique_ptr<PGresult, void (*)(PGresult*)> r(PQexec(conn.get(), sql.c_str()), &PQclear);
  const auto status = PQresultStatus(r.get());
  if (status != PGRES_COMMAND_OK && status != PGRES_TUPLES_OK)
    throw std::runtime_error(PQresultErrorMessage(r.get()));
}

// The registered driver whose library file name contains `library`.
std::string RegisteredDriver(const std::string& library) {
  SQLHENV env = SQL_NULL_HENV;
  if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &env))) return "";
  std::unique_ptr<void, void (*)(void*)> guard(env, [](void* h) { SQLFreeHandle(SQL_HANDLE_ENV, h); });
  SQLSetEnvAttr(env, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
  SQLCHAR name[256];
  SQLCHAR attributes[2048];
  SQLSMALLINT name_length = 0, attributes_length = 0;
  SQLUSMALLINT direction = SQL_FETCH_FIRST;
  while (SQL_SUCCEEDED(SQLDriversA(env, direction, name, sizeof name, &name_length, attributes,
                                   sizeof attributes, &attributes_length))) {
    direction = SQL_FETCH_NEXT;
    // Attributes come as "key=value" texts, each ended by a NUL.
    for (const char* a = reinterpret_cast<const char*>(attributes); *a != '\0'; a += std::strlen(a) + 1) {
      const std::string attribute = a;
      if (attribute.starts_with("Driver=") && attribute.find(library) != std::string::npos)
        return reinterpret_cast<const char*>(name);
    }
  }
  return "";
}

// An ODBC connection-string value, braced when it holds anything special.
std::string OdbcValue(const std::string& value) {
  if (value.find_first_of(";{}=?& ") == std::string::npos) return value;
  std::string out = "{";
  for (char c : value) {
    out += c;
    if (c == '}') out += '}';
  }
  return out + "}";
}

std::string UniqueSuffix() {
  static std::atomic<int> n{0};
  std::random_device rd;
  return std::to_string(::getpid()) + "_" + std::to_string(n++) + "_" + std::to_string(rd() % 100000);
}

}  // namespace

std::vector<std::string> Backends() {
  std::vector<std::string> out{"sqlite"};
  if (!PgUri().empty()) out.push_back("postgresql");
  if (!PgUri().empty() && !OdbcDriver("postgresql").empty()) out.push_back("odbc-postgresql");
  if (!OdbcDriver("sqlite").empty()) out.push_back("odbc-sqlite");
  return out;
}

std::string OdbcDriver(const std::string& engine) {
  static const std::string postgresql = [] {
    const char* named = std::getenv("TARNLOW_ODBC_POSTGRESQL_DRIVER");
    return named ? std::string(named) : RegisteredDriver("psqlodbcw");
  }();
  static const std::string sqlite = [] {
    const char* named = std::getenv("TARNLOW_ODBC_SQLITE_DRIVER");
    return named ? std::string(named) : RegisteredDriver("sqlite3odbc");
  }();
  return engine == "postgresql" ? postgresql : engine == "sqlite" ? sqlite : "";
}

std::string OdbcPostgresText(const std::string& uri, const std::string& schema) {
  char* raw_error = nullptr;
  std::unique_ptr<PQconninfoOption, void (*)(PQconninfoOption*)> parsed(
      PQconninfoParse(uri.c_str(), &raw_error), &PQconninfoFree);
  if (raw_error) PQfreemem(raw_error);
  if (!parsed) throw std::runtime_error("cannot read the server's URI " + uri);
  std::string text = "odbc:DRIVER=" + OdbcValue(OdbcDriver("postgresql"));
  static const std::pair<const char*, const char*> kKeys[] = {{"host", "Servername"},
                                                              {"port", "Port"},
                                                              {"dbname", "Database"},
                                                              {"user", "Username"},
                                                              {"password", "Password"}};
  for (const PQconninfoOption* o = parsed.get(); o->keyword != nullptr; ++o) {
    if (o->val == nullptr || *o->val == '\0') continue;
    for (const auto& [libpq, odbc] : kKeys)
      if (std::strcmp(o->keyword, libpq) == 0) text += std::string(";") + odbc + "=" + OdbcValue(o->val);
  }
  if (!schema.empty()) text += ";ConnSettings=" + OdbcValue("set search_path to " + schema);
  return text;
}

std::string EngineSource(const std::string& backend) {
  if (backend.starts_with("odbc-")) return "ODBC";
  return backend == "sqlite" ? "SQLite" : "PostgreSQL";
}

std::string Engine(const std::string& backend) {
  return backend.ends_with("sqlite") ? "sqlite" : "postgresql";
}

std::string SixDigits(int n) {
  char text[16];
  std::snprintf(text, sizeof text, "%06d", n);
  return text;
}

std::string PostgresSkipReason() {
  return PgUri().empty() ? "TARNLOW_PG_URI is not set: the PostgreSQL half of the suite did not run" : "";
}

ScratchDatabase::ScratchDatabase(const std::string& backend) : backend_(backend) {
  folder_ = (std::filesystem::temp_directory_path() / ("tarnlow_test_" + UniqueSuffix())).string();
  std::filesystem::create_directories(folder_);
  if (backend == "sqlite") {
    base_ = "sqlite:" + folder_ + "/test.db";
  } else if (backend == "odbc-sqlite") {
    // Write-ahead logging and a busy timeout, as the native backend opens files.
    base_ = "odbc:DRIVER=" + OdbcValue(OdbcDriver("sqlite")) +
            ";Database=" + OdbcValue(folder_ + "/test.db") +
            ";Timeout=30000;JournalMode=WAL;SyncPragma=NORMAL";
  } else {
    schema_ = "t_" + UniqueSuffix();
    PgRun(PgUri(), "CREATE SCHEMA " + schema_);
    const std::string uri = PgUri();
    if (backend == "odbc-postgresql")
      base_ = OdbcPostgresText(uri, schema_);
    else
      base_ = uri + (uri.find('?') == std::string::npos ? "?" : "&") + "options=-csearch_path%3D" + schema_;
  }
}

ScratchDatabase::~ScratchDatabase() {
  if (!schema_.empty()) {
    try {
      PgRun(PgUri(), "DROP SCHEMA " + schema_ + " CASCADE");
    } catch (...) {
    }
  }
  std::error_code ec;
  std::filesystem::remove_all(folder_, ec);
}

std::string ScratchDatabase::Text(const std::string& options) const {
  if (options.empty()) return base_;
  return base_ + (base_.find('?') == std::string::npos ? "?" : "&") + options;
}

std::shared_ptr<Connection> ScratchDatabase::Open(const std::string& options) const {
  auto c = Connection::Open(Text(options));
  CreateMissingTables(*c);
  return c;
}

std::shared_ptr<Connection> ScratchDatabase::OpenBare(const std::string& options) const {
  return Connection::Open(Text(options));
}

void FillDistinct(Object& object, std::span<const ColumnInfo> columns, int seed) {
  int n = seed;
  for (const ColumnInfo& c : columns) {
    ++n;
    switch (c.kind) {
      case ValueKind::Text:
        late::Let(object, c.property, Variant(std::string(1, static_cast<char>('A' + n % 26))));
        break;
      case ValueKind::Double: late::Let(object, c.property, Variant(n + 0.25)); break;
      case ValueKind::Date:
        late::Let(object, c.property, Variant(Date::FromCalendar(2024, 1, n % 28 + 1, 8, 30)));
        break;
      default: break;
    }
  }
}

Rows Select(Connection& c, const std::string& sql) {
  OpenRecordset rs(c, sql);
  Rows rows = rs.GetRows();
  rs.Close();
  return rows;
}

std::vector<std::string> Traced(const std::string& path, const std::string& prefix) {
  std::vector<std::string> out;
  std::ifstream in(path);
  for (std::string line; std::getline(in, line);)
    if (line.starts_with(prefix)) out.push_back(line);
  return out;
}

std::vector<std::string> RunProcesses(int count, const std::function<void(int)>& body, unsigned seconds) {
  int gate[2];
  int report[2];
  if (pipe(gate) != 0) return {"pipe failed"};
  if (pipe(report) != 0) {
    close(gate[0]);
    close(gate[1]);
    return {"pipe failed"};
  }
  std::fflush(nullptr);
  std::vector<std::string> problems;
  std::vector<pid_t> children;
  for (int i = 0; i < count; ++i) {
    const pid_t pid = fork();
    if (pid < 0) {
      problems.emplace_back("fork failed");
      break;
    }
    if (pid == 0) {
      close(gate[1]);
      close(report[0]);
      alarm(seconds);
      char go = 0;
      const bool released = read(gate[0], &go, 1) == 0;  // the parent closes the gate
      std::string failure;
      try {
        if (released) body(i);
      } catch (const Error& e) {
        failure = "process " + std::to_string(i) + ": " + std::to_string(e.Number()) + " " + e.Source() +
                  ": " + e.Description() + "\n";
      } catch (const std::exception& e) {
        failure = "process " + std::to_string(i) + ": " + e.what() + "\n";
      }
      if (!failure.empty()) {
        [[maybe_unused]] const auto n = write(report[1], failure.data(), failure.size());
      }
      _exit(failure.empty() && released ? 0 : 1);
    }
    children.push_back(pid);
  }
  close(gate[0]);
  close(report[1]);
  close(gate[1]);  // all children start now

  std::string reported;
  char buffer[512];
  for (ssize_t n; (n = read(report[0], buffer, sizeof buffer)) > 0;)
    reported.append(buffer, static_cast<std::size_t>(n));
  close(report[0]);
  if (!reported.empty()) problems.push_back(reported);
  for (const pid_t pid : children) {
    int status = 0;
    if (waitpid(pid, &status, 0) != pid) {
      problems.emplace_back("waitpid failed");
    } else if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
      problems.push_back("process " + std::to_string(pid) + " ended with status " + std::to_string(status));
    }
  }
  return problems;
}

MessageCapture::MessageCapture(int answer) : messages_(std::make_shared<std::vector<Message>>()) {
  auto sink = messages_;
  previous_ = SetMessageHandler([sink, answer](std::string_view text, int style, std::string_view) {
    sink->push_back({std::string(text), style});
    return answer;
  });
}

MessageCapture::~MessageCapture() {
  SetMessageHandler(std::move(previous_));
}

}  // namespace tarnlow::test
