// The PostgreSQL backend against a real server. The server tests need
// TARNLOW_PG_URI (scripts/postgres.sh start DIR prints one) and skip without
// it; each works in a schema of its own that is dropped afterwards.
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "connection/backend.h"
#include "connection/cells.h"
#include "tarnlow/error.h"
#include "tarnlow/value.h"
#include "test_support.h"

namespace tarnlow {
namespace {

using backend::Database;
using backend::OpenPostgres;

using test::CatchError;
using Rows = backend::Statement::Rows;

// The current row's cell as the library reads it.
Variant Value(const backend::Statement& st, int index) {
  return cells::ValueOf(st.Cell(index));
}

// The current row's first `count` cells as the library reads them.
std::vector<Variant> Values(const backend::Statement& st, int count) {
  std::vector<Variant> out;
  for (int i = 0; i < count; ++i) out.push_back(Value(st, i));
  return out;
}

// The single value of a one-row query.
Variant Scalar(Database& db, std::string_view sql) {
  auto st = db.Prepare(sql, false);
  EXPECT_TRUE(st->Execute(Rows::All)) << sql;
  return Value(*st, 0);
}

class PostgresBackendTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (uri_.empty()) GTEST_SKIP() << test::PostgresSkipReason();
    // The schema is chosen by a startup option in the text, which the
    // backend's own startup options must merge with.
    scratch_ = std::make_unique<test::ScratchDatabase>("postgresql");
    db_ = Open();
  }
  std::unique_ptr<Database> Open() { return OpenPostgres(scratch_->Text()); }

  const std::string uri_ = std::getenv("TARNLOW_PG_URI") ? std::getenv("TARNLOW_PG_URI") : "";
  // Dropped (from a fresh session) after the connection below.
  std::unique_ptr<test::ScratchDatabase> scratch_;
  std::unique_ptr<Database> db_;
};

TEST_F(PostgresBackendTest, RepeatedStatementIsPreparedOnceAndRerunWithNewValues) {
  db_->ExecuteScript("create table item (k integer primary key, name varchar(20))");
  auto insert = db_->Prepare("insert into item (k, name) values (?, ?)");
  ASSERT_EQ(insert->ParameterCount(), 2);
  for (std::int32_t k = 1; k <= 3; ++k) {
    const std::string name = "name" + std::to_string(k);
    insert->Bind(1, EngineValue::Integer(k));
    insert->Bind(2, EngineValue::Text(name));
    EXPECT_FALSE(insert->Execute(Rows::All));
    EXPECT_EQ(insert->RowsAffected(), 1);
  }
  // One server-side statement, run three times: never prepared again.
  auto listed = db_->Prepare(
      "select count(*), sum(generic_plans + custom_plans) from pg_prepared_statements"
      " where statement like 'insert into item%'",
      false);
  ASSERT_TRUE(listed->Execute(Rows::All));
  EXPECT_EQ(Value(*listed, 0), Variant(std::int32_t{1}));
  EXPECT_EQ(Value(*listed, 1).ToInt32(), 3);

  auto select = db_->Prepare("select k, name from item where k = ?");
  // A prepared statement knows its columns before it first runs.
  ASSERT_EQ(select->ColumnCount(), 2);
  EXPECT_EQ(select->ColumnName(1), "name");
  for (std::int32_t k : {3, 1}) {
    select->Bind(1, EngineValue::Integer(k));
    ASSERT_TRUE(select->Execute(k == 3 ? Rows::First : Rows::FirstInPlace));
    EXPECT_EQ(Value(*select, 1), Variant("name" + std::to_string(k)));
    EXPECT_FALSE(select->Next());
  }

  auto update = db_->Prepare("update item set name = ? where k >= ?");
  update->Bind(1, EngineValue::Text("x"));
  update->Bind(2, EngineValue::Integer(2));
  update->Execute(Rows::First);
  EXPECT_EQ(update->RowsAffected(), 2);

  // Dropping the statement releases it on the server.
  insert.reset();
  listed->Execute(Rows::All);
  EXPECT_EQ(Value(*listed, 0), Variant(std::int32_t{0}));
}

// Whole numbers held as doubles go as whole numbers: the shortest text of
// 100000.0 is "1e+05", which the server takes for a float column but
// refuses for an integer one.
TEST_F(PostgresBackendTest, WholeDoublesReachIntegerColumnsOfEveryWidth) {
  db_->ExecuteScript("create table w (i4 integer, i8 bigint, n numeric(20,3), f float8)");
  auto insert = db_->Prepare("insert into w values (?, ?, ?, ?)");
  const auto row = [&](double i4, double i8, double n, double f) {
    insert->Bind(1, EngineValue::Real(i4));
    insert->Bind(2, EngineValue::Real(i8));
    insert->Bind(3, EngineValue::Real(n));
    insert->Bind(4, EngineValue::Real(f));
    insert->Execute(Rows::All);
  };
  row(100000.0, 1e16, 2500000.0, 1e300);
  row(-3000000.0, -9007199254740993.0, 0.5, -0.0);
  auto st = db_->Prepare("select i4, i8, n, f from w order by i4 desc", false);
  ASSERT_TRUE(st->Execute(Rows::All));
  EXPECT_EQ(Values(*st, 4), (std::vector<Variant>{std::int32_t{100000}, 1e16, 2500000.0, 1e300}));
  ASSERT_TRUE(st->Next());
  EXPECT_EQ(Values(*st, 4), (std::vector<Variant>{std::int32_t{-3000000}, -9007199254740993.0, 0.5, 0.0}));
}

// The count comes from the last word of the command's tag, whatever the
// command: several rows inserted, none deleted, and a command that has no
// count at all.
TEST_F(PostgresBackendTest, RowsAffectedIsTheCountOfEachKindOfCommand) {
  db_->ExecuteScript("create table tally (k integer primary key)");
  const auto counted = [&](const std::string& sql) {
    auto statement = db_->Prepare(sql, false);
    statement->Execute(Rows::All);
    return statement->RowsAffected();
  };
  EXPECT_EQ(counted("insert into tally select generate_series(1, 12)"), 12);
  EXPECT_EQ(counted("delete from tally where k > 100"), 0);
  EXPECT_EQ(counted("update tally set k = k + 100 where k > 10"), 2);
  EXPECT_EQ(counted("create table tally2 (k integer)"), 0);
  EXPECT_EQ(counted("delete from tally"), 12);
}

TEST_F(PostgresBackendTest, QuestionMarkInsideLiteralIsNotAPlaceholder) {
  for (bool repeated : {true, false}) {
    auto st = db_->Prepare("select '?' as a, 'it''s ?' as b, ? as c", repeated);
    ASSERT_EQ(st->ParameterCount(), 1);
    st->Bind(1, EngineValue::Text("bound"));
    ASSERT_TRUE(st->Execute(Rows::All));
    EXPECT_EQ(Values(*st, 3), (std::vector<Variant>{"?", "it's ?", "bound"}));
  }
}

TEST_F(PostgresBackendTest, DuplicateKeyRaisesIntegrityViolation) {
  db_->ExecuteScript("create table item (k varchar(10) primary key, qty integer not null)");
  auto insert = db_->Prepare("insert into item (k, qty) values (?, ?)");
  insert->Bind(1, EngineValue::Text("A"));
  insert->Bind(2, EngineValue::Integer(1));
  insert->Execute(Rows::All);
  Error dup = CatchError([&] { insert->Execute(Rows::All); });
  EXPECT_EQ(dup.Number(), DbIntegrityViolation);
  EXPECT_EQ(dup.Source(), "PostgreSQL");
  EXPECT_NE(dup.Description().find("duplicate key"), std::string::npos) << dup.Description();

  // Other integrity failures are not a duplicate key: callers retry only those.
  insert->Bind(1, EngineValue::Text("B"));
  insert->Bind(2, EngineValue());
  EXPECT_EQ(CatchError([&] { insert->Execute(Rows::All); }).Number(), DbFailure);

  // The statement stays usable after a failure.
  insert->Bind(2, EngineValue::Integer(2));
  insert->Execute(Rows::All);
  EXPECT_EQ(Scalar(*db_, "select count(*) from item"), Variant(std::int32_t{2}));
}

TEST_F(PostgresBackendTest, OtherFailuresCarryTheServerMessage) {
  Error missing = CatchError([&] { db_->Prepare("select * from no_such_table")->Execute(Rows::All); });
  EXPECT_EQ(missing.Number(), DbFailure);
  EXPECT_EQ(missing.Source(), "PostgreSQL");
  EXPECT_EQ(missing.Description(), "relation \"no_such_table\" does not exist");

  Error literal = CatchError([&] { db_->Prepare("selec 1", false)->Execute(Rows::All); });
  EXPECT_EQ(literal.Number(), DbFailure);
  EXPECT_EQ(literal.Description(), "syntax error at or near \"selec\"");

  Error script = CatchError([&] { db_->ExecuteScript("create table a (x int); create tabl b"); });
  EXPECT_EQ(script.Number(), DbFailure);
  EXPECT_FALSE(db_->TableExists("a"));  // the failed script ran as one unit
}

TEST_F(PostgresBackendTest, LeftSubstrAndFnEscapeWork) {
  db_->ExecuteScript("create table item (code varchar(10)); insert into item values ('ABCDEF')");
  for (bool repeated : {true, false}) {
    auto st = db_->Prepare(
        "select left(code, 2), substr(code, 3, 2), {fn left(code,2)} from item"
        " where {fn left(code, 1)} = ?",
        repeated);
    st->Bind(1, EngineValue::Text("A"));
    ASSERT_TRUE(st->Execute(Rows::All));
    EXPECT_EQ(Values(*st, 3), (std::vector<Variant>{"AB", "CD", "AB"}));
  }
}

TEST_F(PostgresBackendTest, DatesRoundTripIncludingTheZeroDate) {
  db_->ExecuteScript(
      "create table dated (k integer, ts timestamp, d date, tz timestamptz);"
      "set time zone 'Asia/Kolkata'");
  const std::vector<Date> dates = {
      Date(0.0),
      Date::FromCalendar(2024, 2, 29, 13, 45, 30.25),
      Date::FromCalendar(1899, 12, 29, 6),
      Date::FromCalendar(1753, 1, 1),
  };
  auto insert = db_->Prepare("insert into dated (k, ts, d, tz) values (?, ?, ?, ?)");
  for (std::size_t i = 0; i < dates.size(); ++i) {
    insert->Bind(1, EngineValue::Integer(static_cast<std::int64_t>(i)));
    insert->Bind(2, EngineValue::OfDate(dates[i]));
    insert->Bind(3, EngineValue::OfDate(Date(static_cast<double>(dates[i].DayNumber()))));
    insert->Bind(4, EngineValue::OfDate(dates[i]));
    insert->Execute(Rows::All);
  }
  auto select = db_->Prepare("select ts, d, tz from dated where k = ?");
  for (std::size_t i = 0; i < dates.size(); ++i) {
    SCOPED_TRACE(dates[i].ToIso());
    select->Bind(1, EngineValue::Integer(static_cast<std::int64_t>(i)));
    ASSERT_TRUE(select->Execute(Rows::All));
    ASSERT_EQ(Value(*select, 0).Type(), VarType::Date);
    EXPECT_EQ(Value(*select, 0).ToDate().value, dates[i].value);
    EXPECT_EQ(Value(*select, 1), Variant(Date(static_cast<double>(dates[i].DayNumber()))));
    EXPECT_EQ(Value(*select, 2), Variant(dates[i]));  // offset "+05:30" dropped, wall time kept
  }
  // The zero date is stored as itself, not as a missing value.
  EXPECT_EQ(Scalar(*db_, "select ts::text from dated where k = 0"), Variant("1899-12-30 00:00:00"));
}

TEST_F(PostgresBackendTest, SessionSettingsSurviveCallerOptionsAndReset) {
  // Date parsing and exact doubles rely on the session's settings, whatever
  // the connection text or a script says.
  auto db = OpenPostgres(uri_ + (uri_.find('?') == std::string::npos ? "?" : "&") +
                         "options=-cDateStyle%3DGerman%20-cextra_float_digits%3D-3");
  db->ExecuteScript("set extra_float_digits = -3; reset all");
  EXPECT_EQ(Scalar(*db, "select timestamp '2024-03-01 10:20:30'"),
            Variant(Date::FromCalendar(2024, 3, 1, 10, 20, 30)));
  EXPECT_EQ(Scalar(*db, "select 0.1::float8 + 0.2::float8"), Variant(0.1 + 0.2));
}

TEST_F(PostgresBackendTest, ValuesKeepTheirTypes) {
  db_->ExecuteScript("create table v (i2 smallint, f float8, n numeric(12,3), flag smallint, t text)");
  auto insert = db_->Prepare("insert into v values (?, ?, ?, ?, ?)");
  insert->Bind(1, cells::Binding(Variant(std::int16_t{-7})));
  insert->Bind(2, cells::Binding(Variant(0.1 + 0.2)));
  insert->Bind(3, cells::Binding(Variant(12.345)));
  insert->Bind(4, cells::Binding(Variant(true)));
  insert->Bind(5, cells::Binding(Variant()));  // Empty goes as null
  insert->Execute(Rows::All);

  auto st = db_->Prepare(
      "select i2, f, n, flag, t, 2147483647::int8, 2147483648::int8, true, 'x'::char(3), ''::text, false "
      "from v",
      false);
  ASSERT_TRUE(st->Execute(Rows::All));
  // The double exact, not 0.3; a flag as its stored form, True as -1.
  EXPECT_EQ(Values(*st, 11), (std::vector<Variant>{std::int32_t{-7}, 0.1 + 0.2, 12.345, std::int32_t{-1},
                                                   Null, std::int32_t{2147483647}, 2147483648.0,
                                                   std::int32_t{-1}, "x  ", "", std::int32_t{0}}));
  // Null and empty text both come as an empty cell; only one is null.
  EXPECT_EQ(st->Cell(4).kind, EngineValue::Kind::Null);
  EXPECT_EQ(st->Cell(9).kind, EngineValue::Kind::Text);
  EXPECT_EQ(st->Cell(9).text, "");
  // A number is a number, not the text the server wrote.
  EXPECT_EQ(st->Cell(2).kind, EngineValue::Kind::Real);
  EXPECT_EQ(CatchError([&] { st->Cell(11); }).Number(), err::SubscriptOutOfRange);
  EXPECT_EQ(CatchError([&] { st->Cell(-1); }).Number(), err::SubscriptOutOfRange);
  EXPECT_FALSE(st->Next());
  EXPECT_EQ(CatchError([&] { st->Cell(0); }).Number(), err::NoCurrentRecord);
  EXPECT_EQ(CatchError([&] { st->Cell(11); }).Number(), err::SubscriptOutOfRange);
}

// Values a number or date column can hold that no number or date stands
// for, and types read as the text the server sends.
TEST_F(PostgresBackendTest, CellsBeyondNumbersAndDatesKeepWhatTheServerSent) {
  auto st = db_->Prepare(
      "select 'Infinity'::float8, '-Infinity'::float4, 'NaN'::numeric, 'infinity'::timestamp,"
      " '-infinity'::date, '0044-03-15 BC'::date, (-9223372036854775807 - 1)::int8, 'ab'::bytea,"
      " '10:20'::time, null::int4, 1.5::float4",
      false);
  ASSERT_TRUE(st->Execute(Rows::FirstInPlace));
  using Kind = EngineValue::Kind;
  const EngineValue inf = st->Cell(0), minus_inf = st->Cell(1), nan = st->Cell(2);
  ASSERT_EQ(inf.kind, Kind::Real);
  EXPECT_EQ(inf.real, std::numeric_limits<double>::infinity());
  ASSERT_EQ(minus_inf.kind, Kind::Real);
  EXPECT_EQ(minus_inf.real, -std::numeric_limits<double>::infinity());
  ASSERT_EQ(nan.kind, Kind::Real);
  EXPECT_TRUE(std::isnan(nan.real));
  const EngineValue never = st->Cell(3), always = st->Cell(4), ancient = st->Cell(5);
  EXPECT_EQ(never.kind, Kind::Text);
  EXPECT_EQ(never.text, "infinity");
  EXPECT_EQ(always.text, "-infinity");
  EXPECT_EQ(ancient.kind, Kind::Text);
  EXPECT_EQ(ancient.text, "0044-03-15 BC");
  const EngineValue least = st->Cell(6);
  ASSERT_EQ(least.kind, Kind::Integer);
  EXPECT_EQ(least.integer, std::numeric_limits<std::int64_t>::min());
  EXPECT_EQ(Value(*st, 6), Variant(-9223372036854775808.0));
  EXPECT_EQ(Value(*st, 7), Variant("\\x6162"));
  EXPECT_EQ(Value(*st, 8), Variant("10:20:00"));
  EXPECT_EQ(st->Cell(9).kind, Kind::Null);
  EXPECT_EQ(Value(*st, 10), Variant(1.5));
  // Each cell's text stays while the others are read.
  EXPECT_EQ(never.text, "infinity");
  st->Reset();
  EXPECT_EQ(CatchError([&] { st->Cell(0); }).Number(), err::NoCurrentRecord);
}

TEST_F(PostgresBackendTest, CatalogueQueriesFollowTheSearchPath) {
  db_->ExecuteScript(
      "create table keyed (a int, b int, c int, primary key (b, a));"
      "create unique index keyed_c on keyed (c);"
      "create table indexed (x int, y int, z int);"
      "create unique index indexed_part on indexed (z) where z > 0;"
      "create unique index indexed_first on indexed (y, x) include (z);"
      "create unique index indexed_second on indexed (z);"
      "create table plain (x int)");
  EXPECT_EQ(db_->UniqueKeyColumns("keyed"), (std::vector<std::string>{"b", "a"}));
  EXPECT_EQ(db_->UniqueKeyColumns("INDEXED"), (std::vector<std::string>{"y", "x"}));
  EXPECT_TRUE(db_->UniqueKeyColumns("plain").empty());
  EXPECT_TRUE(db_->UniqueKeyColumns("absent").empty());
  EXPECT_TRUE(db_->TableExists("Plain"));
  EXPECT_FALSE(db_->TableExists("absent"));
  EXPECT_FALSE(db_->TableExists("keyed_c"));  // an index is not a table
  EXPECT_TRUE(db_->TableExists(scratch_->Schema() + ".\"keyed\""));
  for (const char* not_a_name : {"", "a b", "w.x.y.z", "\"open", "\"\"", "a..b"}) {
    EXPECT_FALSE(db_->TableExists(not_a_name)) << not_a_name;
    EXPECT_TRUE(db_->UniqueKeyColumns(not_a_name).empty()) << not_a_name;
  }
  EXPECT_EQ(db_->Dialect(), "postgresql");
  // Outside the schema the same name is unknown.
  EXPECT_FALSE(OpenPostgres(uri_)->TableExists("plain"));
}

TEST_F(PostgresBackendTest, EightConcurrentWritersAllSucceed) {
  db_->ExecuteScript(
      "create table line (writer int, n int, primary key (writer, n));"
      "create table total (n int); insert into total values (0)");
  constexpr int kWriters = 8;
  constexpr int kRows = 50;
  std::vector<std::string> failures(kWriters);
  std::vector<std::thread> threads;
  for (int w = 0; w < kWriters; ++w) {
    threads.emplace_back([&, w] {
      try {
        auto db = Open();
        auto insert = db->Prepare("insert into line (writer, n) values (?, ?)");
        auto add = db->Prepare("update total set n = n + ?");
        for (std::int32_t n = 0; n < kRows; ++n) {
          insert->Bind(1, EngineValue::Integer(w));
          insert->Bind(2, EngineValue::Integer(n));
          insert->Execute(Rows::All);
          add->Bind(1, EngineValue::Integer(1));
          add->Execute(Rows::All);
        }
      } catch (const Error& e) {
        failures[static_cast<std::size_t>(w)] = e.Description();
      }
    });
  }
  for (auto& t : threads) t.join();
  for (const auto& f : failures) EXPECT_EQ(f, "");
  EXPECT_EQ(Scalar(*db_, "select count(*) from line"), Variant(std::int32_t{kWriters * kRows}));
  EXPECT_EQ(Scalar(*db_, "select n from total"), Variant(std::int32_t{kWriters * kRows}));
}

TEST_F(PostgresBackendTest, TerminatedSessionRaisesAndANewOneWorks) {
  auto victim = Open();
  auto st = victim->Prepare("select ?");
  const Variant pid = Scalar(*victim, "select pg_backend_pid()");
  auto kill = db_->Prepare("select pg_terminate_backend(?, 5000)", false);
  kill->Bind(1, cells::Binding(pid));
  ASSERT_TRUE(kill->Execute(Rows::All));
  ASSERT_EQ(Value(*kill, 0), Variant(std::int32_t{-1}));

  const auto started = std::chrono::steady_clock::now();
  st->Bind(1, EngineValue::Text("x"));
  Error lost = CatchError([&] { st->Execute(Rows::All); });
  EXPECT_EQ(lost.Number(), DbFailure);
  EXPECT_EQ(lost.Source(), "PostgreSQL");
  EXPECT_FALSE(lost.Description().empty());
  EXPECT_EQ(lost.Description().find('\n'), std::string::npos);
  // Every later call on the dead session fails the same way, quickly.
  EXPECT_EQ(CatchError([&] { st->Execute(Rows::All); }).Number(), DbFailure);
  EXPECT_EQ(CatchError([&] { victim->Prepare("select 1"); }).Number(), DbFailure);
  EXPECT_EQ(CatchError([&] { victim->ExecuteScript("select 1"); }).Number(), DbFailure);
  EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(5));
  st.reset();
  victim.reset();

  EXPECT_EQ(Scalar(*Open(), "select 1"), Variant(std::int32_t{1}));
}

TEST(PostgresOpen, UnreachableServerOrBadTextRaisesErrorRecord) {
  Error no_server =
      CatchError([] { OpenPostgres("postgresql:///tarnlow?host=/nonexistent/tarnlow-sock&user=postgres"); });
  EXPECT_EQ(no_server.Number(), DbFailure);
  EXPECT_EQ(no_server.Source(), "PostgreSQL");
  EXPECT_NE(no_server.Description().find("/nonexistent/tarnlow-sock"), std::string::npos)
      << no_server.Description();
  EXPECT_EQ(no_server.Description().find('\n'), std::string::npos);

  Error bad = CatchError([] { OpenPostgres("postgresql:///tarnlow?no_such_option=1"); });
  EXPECT_EQ(bad.Number(), DbFailure);
  EXPECT_NE(bad.Description().find("no_such_option"), std::string::npos) << bad.Description();
}

}  // namespace
}  // namespace tarnlow
