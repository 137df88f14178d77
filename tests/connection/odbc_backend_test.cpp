// The ODBC backend through the drivers a site would use: what each driver
// leaves to us (typed values, block reads, telling a duplicate key from
// other refusals) and what the connection text hands to the driver.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "connection/backend.h"
#include "connection/cells.h"
#include "connection/database_connection.h"
#include "tarnlow/tarnlow.h"
#include "test_support.h"

namespace tarnlow {
namespace {

std::vector<std::string> OdbcBackends() {
  std::vector<std::string> out;
  for (const std::string& b : test::Backends())
    if (b.starts_with("odbc-")) out.push_back(b);
  return out;
}

// ---- connection texts (no driver needed) ------------------------------------------

TEST(OdbcConnectionTextTest, OurOptionsAreTakenOffBeforeTheDriverSeesTheText) {
  const auto dsn =
      ConnectionOptions::Parse("odbc:DSN=site;UID=me;PWD={a?b;c}}d}?kind=2&release=5&table.ServiceTable=svc");
  EXPECT_EQ(dsn.backend, ConnectionOptions::Backend::ODBC);
  EXPECT_EQ(dsn.target, "DSN=site;UID=me;PWD={a?b;c}}d}");
  EXPECT_EQ(dsn.kind, 2);

  const auto driver = ConnectionOptions::Parse("odbc:DRIVER={Some Driver};Server=h;Database=d");
  EXPECT_EQ(driver.target, "DRIVER={Some Driver};Server=h;Database=d");
  EXPECT_EQ(driver.kind, 1);

  struct Case {
    const char* text;
    const char* expected;
  } cases[] = {
      {"odbc:DSN=site?Port=5432", "Unknown connection option \"Port\""},
      {"odbc:DSN=site?kind", "Connection option \"kind\" has no value"},
      {"odbc:", "Connection text names no ODBC data source or driver"},
      {"odbc:?kind=2", "Connection text names no ODBC data source or driver"},
  };
  for (const Case& c : cases) {
    const Error e = test::CatchError([&] { ConnectionOptions::Parse(c.text); });
    EXPECT_EQ(e.Description(), c.expected) << c.text;
    EXPECT_EQ(e.Number(), vbObjectError + 513);
  }
}

TEST(OdbcConnectionTextTest, AnUnknownDataSourceIsAnErrorRecordWithTheDriverManagersWord) {
  const Error e =
      test::ExpectError([] { Connection::Open("odbc:DSN=tarnlow_no_such_source"); }, DbFailure, "ODBC");
  EXPECT_TRUE(e.Description().starts_with("Could not connect to the database: ")) << e.Description();
  EXPECT_NE(e.Description().find("not found"), std::string::npos) << e.Description();
}

// ---- through each driver ------------------------------------------------------------

class OdbcBackendTest : public test::DatabaseTest {
 protected:
  std::string Engine() const { return GetParam().substr(5); }
  backend::Database& Db() { return c_->DatabaseConnection().Database(); }
  Variant Scalar(const std::string& sql) {
    const test::Rows rows = test::Select(*c_, sql);
    if (rows.empty() || rows[0].empty()) {
      ADD_FAILURE() << "no value from " << sql;
      return Variant();
    }
    return rows[0][0];
  }
};

TEST_P(OdbcBackendTest, TheDialectComesFromTheDatabaseBehindTheDriver) {
  EXPECT_EQ(Db().Dialect(), Engine());
  EXPECT_TRUE(Db().TableExists("stock_item"));
  EXPECT_FALSE(Db().TableExists("no_such_table"));
  EXPECT_FALSE(Db().TableExists("stock_item; drop table stock_item"));
  EXPECT_EQ(c_->DatabaseConnection().RowKey("stock_batch"),
            (std::vector<std::string>{"warehouse", "product", "sequence_number"}));
}

TEST_P(OdbcBackendTest, DatesRoundTripExactlyAndMatchTheOtherBackendsLiterals) {
  test::Holder insert(
      c_,
      "insert into stock_batch (warehouse, product, sequence_number, date_received) values ('01', 'P', ?, "
      "?)");
  insert.AddTextParameter("sequence_number", 6);
  insert.AddDateParameter("date_received");
  const Date dates[] = {Date(), Date(-1.25), Date::FromCalendar(2024, 1, 2, 3, 4, 5.678),
                        Date::FromCalendar(9999, 12, 31, 23, 59, 59)};
  for (int i = 0; i < 4; ++i) {
    insert.SetTextValue("sequence_number", "00000" + std::to_string(i));
    insert.SetDateValue("date_received", dates[i]);
    insert.Command().ExecuteNoRows();
  }
  test::Holder read(c_, "select sequence_number from stock_batch where date_received = ?");
  read.AddDateParameter("date_received");
  for (int i = 0; i < 4; ++i) {
    read.SetDateValue("date_received", dates[i]);
    auto rs = read.Command().Execute();
    ASSERT_FALSE(rs->AtEOF()) << dates[i].ToIso();
    EXPECT_EQ(rs->Fields(std::size_t{0}).ToText(), "00000" + std::to_string(i));
    rs->Close();
    const Variant stored = Scalar("select date_received from stock_batch where sequence_number = '00000" +
                                  std::to_string(i) + "'");
    ASSERT_EQ(stored.Type(), VarType::Date) << dates[i].ToIso();
    EXPECT_EQ(stored.ToDate().ToIso(), dates[i].ToIso());
  }
  EXPECT_EQ(Scalar("select date_received from stock_batch where sequence_number = '000000'"),
            Variant(Date()));
  // A literal date as the connection splices it finds what a bound one wrote.
  EXPECT_EQ(
      Scalar("select sequence_number from stock_batch where date_received = " + c_->DateLiteral(dates[2])),
      Variant("000002"));
}

TEST_P(OdbcBackendTest, ManyRowsComeBackInOrderWhateverTheBlockSize) {
  // More rows than two blocks, read by a prepared and by a literal statement.
  c_->Execute("create table odbc_rows (n integer, label varchar(12), amount double precision)");
  test::Holder insert(c_, "insert into odbc_rows (n, label, amount) values (?, ?, ?)");
  insert.AddNumberParameter("n");
  insert.AddTextParameter("label", 12);
  insert.AddNumberParameter("amount");
  constexpr int kRows = 150;
  for (int n = 0; n < kRows; ++n) {
    insert("n", Variant(std::int32_t{n}));
    insert("label", n % 7 == 0 ? Variant(Null) : Variant("row " + std::to_string(n)));
    insert("amount", Variant(n + 0.25));
    insert.Command().ExecuteNoRows();
  }
  test::Holder select(c_, "select n, label, amount from odbc_rows where n >= ? order by n");
  select.AddNumberParameter("n");
  for (int from : {0, 100}) {
    select("n", Variant(std::int32_t{from}));
    auto rs = select.Command().Execute();
    int n = from;
    for (; !rs->AtEOF(); rs->MoveNext(), ++n) {
      EXPECT_EQ(rs->Fields("n"), Variant(std::int32_t{n}));
      if (n % 7 == 0) {
        EXPECT_TRUE(rs->Fields("label").IsNull()) << n;
      } else {
        EXPECT_EQ(rs->Fields("label"), Variant("row " + std::to_string(n)));
      }
      EXPECT_EQ(rs->Fields("amount").ToDouble(), n + 0.25);
    }
    EXPECT_EQ(n, kRows);
  }
  const test::Rows all = test::Select(*c_, "select n, label from odbc_rows order by n");
  ASSERT_EQ(all.size(), static_cast<std::size_t>(kRows));
  EXPECT_EQ(all[149][0], Variant(std::int32_t{149}));
  EXPECT_EQ(all[148][1], Variant("row 148"));
}

// Straight from the driver's statement: a cell's text stays while the
// row's other cells are read, whether the row came in a block of bound
// columns or cell by cell (a column of no bounded width), and whole numbers
// keep their width.
TEST_P(OdbcBackendTest, EachCellsTextStaysWhileTheRowsOtherCellsAreRead) {
  c_->Execute("create table odbc_cells (a varchar(8), b varchar(8), n bigint, r double precision, w text)");
  c_->Execute(
      "insert into odbc_cells values ('first', 'second', 5000000000, 0.5, 'wide'), ('third', null, -2, 2, "
      "null)");
  using Kind = EngineValue::Kind;
  for (const char* sql :
       {"select a, b, n, r from odbc_cells order by a", "select a, b, n, r, w from odbc_cells order by a"}) {
    SCOPED_TRACE(sql);
    for (bool repeated : {true, false}) {
      auto st = Db().Prepare(sql, repeated);
      ASSERT_TRUE(st->Execute(backend::Statement::Rows::All));
      const EngineValue a = st->Cell(0), b = st->Cell(1), n = st->Cell(2);
      EXPECT_EQ(st->Cell(3).kind, Kind::Real);
      EXPECT_EQ(a.text, "first");
      EXPECT_EQ(b.text, "second");
      ASSERT_EQ(n.kind, Kind::Integer);
      EXPECT_EQ(cells::ValueOf(n), Variant(5000000000.0));
      ASSERT_TRUE(st->Next());
      EXPECT_EQ(st->Cell(1).kind, Kind::Null);
      EXPECT_EQ(cells::ValueOf(st->Cell(2)), Variant(std::int32_t{-2}));
      EXPECT_EQ(cells::ValueOf(st->Cell(0)), Variant("third"));
      EXPECT_FALSE(st->Next());
      EXPECT_EQ(test::CatchError([&] { st->Cell(0); }).Number(), err::NoCurrentRecord);
    }
  }
}

TEST_P(OdbcBackendTest, LongTextOfNoDeclaredSizeIsReadWhole) {
  const std::string sql = Engine() == "postgresql"
                              ? "select repeat('ab', 6000) as t, 1 as n"
                              : "select replace(hex(zeroblob(6000)), '00', 'ab') as t, 1 as n";
  const test::Rows rows = test::Select(*c_, sql);
  ASSERT_EQ(rows.size(), 1u);
  std::string expected;
  for (int i = 0; i < 6000; ++i) expected += "ab";
  EXPECT_EQ(rows[0][0], Variant(expected));
  EXPECT_EQ(rows[0][1].ToInt32(), 1);
  if (Engine() == "postgresql") {
    // Text of no declared length is announced as 255 characters wide, and
    // such columns are read in blocks: longer cells are read again whole.
    const test::Rows cast = test::Select(*c_, "select cast(repeat('ab', 6000) as varchar) as t, 2 as n");
    EXPECT_EQ(cast[0][0], Variant(expected));
    EXPECT_EQ(cast[0][1].ToInt32(), 2);
  }
}

TEST_P(OdbcBackendTest, OnlyADuplicateKeyCarriesTheIntegrityViolationNumber) {
  c_->Execute("create table odbc_keyed (k varchar(4), v integer not null check (v > 0))");
  c_->Execute("create unique index odbc_keyed_key on odbc_keyed (k)");
  c_->Execute("insert into odbc_keyed (k, v) values ('A', 1)");
  struct Case {
    const char* sql;
    std::int32_t number;
  } cases[] = {
      {"insert into odbc_keyed (k, v) values ('A', 2)", DbIntegrityViolation},
      {"insert into odbc_keyed (k, v) values ('B', null)", DbFailure},
      {"insert into odbc_keyed (k, v) values ('C', 0)", DbFailure},
      {"update odbc_keyed set v = v +", DbFailure},
  };
  for (const Case& c : cases) {
    const Error e = test::CatchError([&] { c_->Execute(c.sql); });
    EXPECT_EQ(e.Number(), c.number) << c.sql << ": " << e.Description();
    EXPECT_EQ(e.Source(), "ODBC");
    EXPECT_FALSE(e.Description().empty());
    EXPECT_EQ(e.Description().find("connection to the database was lost"), std::string::npos);
  }
  // The connection goes on after every refusal.
  EXPECT_EQ(Scalar("select count(*) from odbc_keyed").ToInt32(), 1);
}

TEST_P(OdbcBackendTest, LeftCallsAndEscapesWorkOnEitherDatabase) {
  c_->Execute("insert into service_item (service, unit_code) values ('AB,CD', 'x(y'), ('ABXY', 'EA')");
  // Nested calls, a comma and a parenthesis inside literals, an escape, and
  // a column named like the function are all left as they mean.
  EXPECT_EQ(test::Select(*c_,
                         "select left(service, 3), {fn left(left(service, 4), length(left(unit_code, 2)))}, "
                         "left (  'a,b(', 3) from service_item where left(unit_code, 2) = 'x(' or "
                         "left(service,2)='zz'"),
            (test::Rows{{"AB,", "AB", "a,b"}}));
  // The record names the statement as it was written, not as it was sent.
  const std::string bad = "select left(service, 2) from no_such_table";
  EXPECT_EQ(test::CatchError([&] { c_->Execute(bad); }).Statement(), bad);
}

TEST_P(OdbcBackendTest, ATriggerBodyIsOneStatementOfAScript) {
  if (Engine() != "sqlite") GTEST_SKIP() << "the PostgreSQL driver is given no trigger bodies";
  Db().ExecuteScript(
      "create table odbc_log (n integer); create table odbc_src (n integer);\n"
      "create trigger odbc_src_log after insert on odbc_src begin insert into odbc_log values (new.n); "
      "insert into odbc_log values (case when new.n > 1 then 2 else 1 end); end;\n"
      "insert into odbc_src values (5)");
  EXPECT_EQ(Scalar("select count(*) from odbc_log").ToInt32(), 2);
  EXPECT_EQ(Scalar("select sum(n) from odbc_log").ToInt32(), 7);
}

TEST_P(OdbcBackendTest, AnUpdateThatMatchesNothingCountsNoRows) {
  EXPECT_EQ(c_->Execute("update service_item set cost = 1 where service = 'none'"), 0);
  c_->Execute("insert into service_item (service) values ('S1'), ('S2')");
  EXPECT_EQ(c_->Execute("update service_item set cost = 1"), 2);
}

TEST_P(OdbcBackendTest, InitOnAnotherKindOfDatabaseRefusesToGuessItsTypes) {
  // The same database, but answering as a kind we have no column types for.
  class Foreign final : public backend::Database {
   public:
    explicit Foreign(std::unique_ptr<backend::Database> inner) : inner_(std::move(inner)) {}
    std::unique_ptr<backend::Statement> Prepare(std::string_view sql, bool repeated) override {
      return inner_->Prepare(sql, repeated);
    }
    void ExecuteScript(std::string_view sql) override { inner_->ExecuteScript(sql); }
    bool TableExists(std::string_view t) override { return inner_->TableExists(t); }
    std::vector<std::vector<std::string>> UniqueKeys(std::string_view t) override {
      return inner_->UniqueKeys(t);
    }
    std::vector<backend::ColumnDescription> Columns(std::string_view t) override {
      return inner_->Columns(t);
    }
    std::string_view Dialect() const override { return "ExampleSQL"; }

   private:
    std::unique_ptr<backend::Database> inner_;
  };
  ConnectionOptions options = ConnectionOptions::Parse(db_.Text());
  const std::string target = options.target;
  Connection foreign(std::move(options),
                     DatabaseConnection::Create(std::make_unique<Foreign>(backend::OpenOdbc(target)), ""));
  // Everything there: nothing to create, nothing refused.
  EXPECT_EQ(CreateMissingTables(foreign).existing.size(), CatalogueTableCount);

  c_->Execute("drop table vat_matrix");
  EXPECT_EQ(
      test::CatchError([&] { CreateMissingTables(foreign); }).Description(),
      "No table definitions for a database of type \"ExampleSQL\" (only SQLite and PostgreSQL): create the "
      "missing tables (vat_matrix) with the database's own tools");
  EXPECT_FALSE(Db().TableExists("vat_matrix"));
  EXPECT_EQ(test::CatchError([&] {
              CreateTableStatements(foreign.Options(), CatalogueTable::VatMatrixTable, "ExampleSQL");
            }).Number(),
            DbFailure);
}

INSTANTIATE_TEST_SUITE_P(Drivers, OdbcBackendTest, ::testing::ValuesIn(OdbcBackends()), test::BackendName());
GTEST_ALLOW_UNINSTANTIATED_PARAMETERIZED_TEST(OdbcBackendTest);

// ---- only the PostgreSQL driver -----------------------------------------------------

class OdbcPostgresTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!test::PostgresSkipReason().empty()) GTEST_SKIP() << test::PostgresSkipReason();
    if (test::OdbcDriver("postgresql").empty()) GTEST_SKIP() << "no PostgreSQL ODBC driver is registered";
    db_ = std::make_unique<test::ScratchDatabase>("odbc-postgresql");
    c_ = db_->Open();
  }
  std::unique_ptr<test::ScratchDatabase> db_;
  std::shared_ptr<Connection> c_;
};

TEST_F(OdbcPostgresTest, AHolderPreparesOnTheServerOnceForAllItsExecutions) {
  c_->Execute("insert into service_item (service, cost) values ('A', 1), ('B', 2)");
  test::Holder holder(c_, "select cost from service_item where service = ? /* once */");
  holder.AddTextParameter("service", 20);
  for (const char* key : {"A", "B", "A", "B"}) {
    holder.SetTextValue("service", key);
    auto rs = holder.Command().Execute();
    EXPECT_EQ(rs->Fields(std::size_t{0}).ToDouble(), key[0] == 'A' ? 1.0 : 2.0);
    rs->Close();
  }
  // The server's own list of this session's prepared statements.
  const test::Rows prepared =
      test::Select(*c_, "select count(*) from pg_prepared_statements where statement like '%/* once */%'");
  EXPECT_EQ(prepared[0][0].ToInt32(), 1);
}

TEST_F(OdbcPostgresTest, TheKeyOfATableIsLookedUpInTheSessionsOwnSchema) {
  // Another schema on the same database holds a table of the same name
  // with another key; the session's search path decides which one is meant.
  test::ScratchDatabase other("postgresql");
  auto o = other.OpenBare();
  o->Execute("create table keyed_twice (a varchar(2), b varchar(2))");
  o->Execute("create unique index keyed_twice_b on keyed_twice (b)");
  c_->Execute("create table keyed_twice (a varchar(2), b varchar(2))");
  c_->Execute("create unique index keyed_twice_a on keyed_twice (a)");
  EXPECT_EQ(c_->DatabaseConnection().RowKey("keyed_twice"), std::vector<std::string>{"a"});
}

}  // namespace
}  // namespace tarnlow
