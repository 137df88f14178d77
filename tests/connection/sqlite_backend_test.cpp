#include "connection/sqlite/sqlite_backend.h"

#include <gtest/gtest.h>

#include <deque>
#include <string>
#include <tuple>
#include <vector>

#include "connection/backend.h"
#include "connection/cells.h"
#include "tarnlow/object.h"
#include "test_support.h"

namespace tarnlow::backend {
namespace {

using Rows = Statement::Rows;
using test::CatchError;

// The current row's cell as the library reads it.
Variant Value(const Statement& st, int index) {
  return cells::ValueOf(st.Cell(index));
}

// Each test gets its own database file in a fresh directory.
class SqliteBackendTest : public ::testing::Test {
 protected:
  std::string Path() const { return scratch_.Folder() + "/test.db"; }

  // Binds a value as the connection layer binds a parameter's, kept alive
  // until the test ends.
  void Bind(Statement& st, int index, Variant value) {
    st.Bind(index, cells::Binding(kept_.emplace_back(std::move(value))));
  }

  // The first column of the first row of a one-off query.
  Variant Scalar(std::string_view sql) {
    auto stmt = db_->Prepare(sql, false);
    if (!stmt->Execute(Rows::All)) {
      ADD_FAILURE() << "no row from " << sql;
      return Variant();
    }
    return Value(*stmt, 0);
  }

  test::ScratchDatabase scratch_;
  std::unique_ptr<Database> db_ = OpenSqlite(Path());
  std::deque<Variant> kept_;
};

TEST_F(SqliteBackendTest, DuplicateKeysAreIntegrityViolations) {
  db_->ExecuteScript(
      "create table pk_t(code text primary key, n int);"
      "create table uq_t(a int, b text); create unique index uq_t_b on uq_t(b);");
  auto insert = db_->Prepare("insert into pk_t values (?, ?)");
  Bind(*insert, 1, "A1");
  Bind(*insert, 2, 1);
  insert->Execute(Rows::All);
  const Error dup = CatchError([&] { insert->Execute(Rows::All); });
  EXPECT_EQ((std::tuple{dup.Number(), dup.Source(), dup.Description()}),
            (std::tuple{DbIntegrityViolation, "SQLite", "UNIQUE constraint failed: pk_t.code"}));

  // The statement stays usable after the failure.
  Bind(*insert, 1, "A2");
  insert->Execute(Rows::All);
  EXPECT_EQ(insert->RowsAffected(), 1);

  db_->ExecuteScript("insert into uq_t values (1, 'x')");
  EXPECT_EQ(CatchError([&] { db_->ExecuteScript("insert into uq_t values (2, 'x')"); }).Number(),
            DbIntegrityViolation);
}

TEST_F(SqliteBackendTest, OtherFailuresCarryTheDatabaseMessage) {
  db_->ExecuteScript("create table c(x text check(length(x) <= 6), y int not null)");
  auto insert = db_->Prepare("insert into c values (?, ?)");
  Bind(*insert, 1, "toolong");
  Bind(*insert, 2, 1);
  const Error check = CatchError([&] { insert->Execute(Rows::All); });
  EXPECT_EQ(check.Number(), DbFailure);
  EXPECT_EQ(check.Source(), "SQLite");
  EXPECT_NE(check.Description().find("CHECK constraint failed"), std::string::npos) << check.Description();

  Bind(*insert, 1, "short");
  Bind(*insert, 2, Null);
  EXPECT_EQ(CatchError([&] { insert->Execute(Rows::All); }).Description(), "NOT NULL constraint failed: c.y");

  const Error syntax = CatchError([&] { db_->Prepare("selec 1"); });
  EXPECT_EQ(syntax.Number(), DbFailure);
  EXPECT_EQ(syntax.Description(), "near \"selec\": syntax error");
  EXPECT_EQ(CatchError([&] { db_->Prepare("select * from missing"); }).Description(),
            "no such table: missing");
  // A second statement would otherwise be dropped without a word.
  EXPECT_EQ(CatchError([&] { db_->Prepare("delete from c; delete from c"); }).Number(), DbFailure);
  EXPECT_NO_THROW(db_->Prepare("delete from c; -- done"));
}

TEST_F(SqliteBackendTest, LeftFunctionAndEscapes) {
  EXPECT_EQ((std::tuple{Scalar("select left('ABCDEF', 2)"), Scalar("select {fn left('ABCDEF', 2)}"),
                        Scalar("select left('Z\xC3\xBCrich', 2)"),
                        Scalar("select left('AB', 5) || left('AB', 0)")}),
            (std::tuple{Variant("AB"), Variant("AB"), Variant("Z\xC3\xBC"), Variant("AB")}));
  EXPECT_TRUE(Scalar("select left(null, 2)").IsNull());

  db_->ExecuteScript("create table k(code text); insert into k values ('AB1'), ('AB2'), ('AC1')");
  auto del = db_->Prepare("delete from k where {fn left(code, 2)} = ?");
  Bind(*del, 1, "AB");
  del->Execute(Rows::All);
  EXPECT_EQ(del->RowsAffected(), 2);
  // Any spelling of the call next to a left join; quoted text stays as it is.
  EXPECT_EQ(Scalar("select LEFT ('left(x)', 6) from k a left join k b on a.code = b.code"),
            Variant("left(x"));
}

TEST_F(SqliteBackendTest, DatesRoundTripAsIsoText) {
  db_->ExecuteScript("create table d(id int, stamp datetime)");
  const Date when = Date::FromCalendar(2024, 2, 29, 13, 45, 10);
  auto insert = db_->Prepare("insert into d values (?, ?)");
  const std::vector<Variant> values{Date(), when, "not a date", Null};
  for (std::int32_t i = 0; i < static_cast<std::int32_t>(values.size()); ++i) {
    Bind(*insert, 1, i);
    Bind(*insert, 2, values[static_cast<std::size_t>(i)]);
    insert->Execute(Rows::All);
  }

  auto select = db_->Prepare("select stamp, typeof(stamp), stamp || '' from d order by id");
  ASSERT_TRUE(select->Execute(Rows::All));
  EXPECT_EQ((std::tuple{Value(*select, 0).Type(), Value(*select, 0), Value(*select, 1), Value(*select, 2)}),
            (std::tuple{VarType::Date, Variant(Date()), Variant("text"), Variant("1899-12-30 00:00:00")}));
  ASSERT_TRUE(select->Next());
  EXPECT_EQ(Value(*select, 0), Variant(when));
  EXPECT_EQ(Value(*select, 2), Variant("2024-02-29 13:45:10"));
  ASSERT_TRUE(select->Next());
  EXPECT_EQ(Value(*select, 0), Variant("not a date"));
  ASSERT_TRUE(select->Next());
  EXPECT_TRUE(Value(*select, 0).IsNull());
  EXPECT_FALSE(select->Next());
  EXPECT_FALSE(select->Next());  // must not start the query over

  // Read where the database holds the row, a date column's text is a date
  // as well.
  ASSERT_TRUE(select->Execute(Rows::FirstInPlace));
  EXPECT_EQ(Value(*select, 0), Variant(Date()));
  EXPECT_EQ(Value(*select, 2), Variant("1899-12-30 00:00:00"));
  select->Reset();
}

TEST_F(SqliteBackendTest, PreparedStatementRunsAgainWithNewValues) {
  db_->ExecuteScript(
      "create table item(code text primary key, qty double);"
      "insert into item values ('A', 1.5), ('B', 2.5), ('C', 3.5)");
  auto select = db_->Prepare("select code, qty from item where code >= ? order by code");
  ASSERT_EQ(select->ParameterCount(), 1);
  Bind(*select, 1, "A");
  ASSERT_TRUE(select->Execute(Rows::All));
  EXPECT_EQ(Value(*select, 0), Variant("A"));
  // New values while the first run is still on a row.
  Bind(*select, 1, "C");
  ASSERT_TRUE(select->Execute(Rows::All));
  EXPECT_EQ(Value(*select, 0), Variant("C"));
  EXPECT_EQ(Value(*select, 1), Variant(3.5));
  EXPECT_FALSE(select->Next());

  auto update = db_->Prepare("update item set qty = qty + ? where code <> ?");
  Bind(*update, 1, 1.0);
  Bind(*update, 2, "B");
  update->Execute(Rows::All);
  EXPECT_EQ(update->RowsAffected(), 2);
  // A read run after that update changed nothing itself.
  select->Execute(Rows::All);
  EXPECT_EQ(select->RowsAffected(), 0);
  EXPECT_EQ(Scalar("select sum(qty) from item"), Variant(9.5));
}

class Opaque final : public Object {
 public:
  const ClassInfo& Class() const override {
    static const ClassInfo info("Opaque", "", "", {}, nullptr);
    return info;
  }
};

TEST_F(SqliteBackendTest, ValueKindsBindAndReadBack) {
  db_->ExecuteScript("create table v(x)");
  auto insert = db_->Prepare("insert into v values (?)");
  auto select = db_->Prepare("select x from v");
  auto round_trip = [&](const Variant& in) {
    db_->ExecuteScript("delete from v");
    Bind(*insert, 1, in);
    insert->Execute(Rows::All);
    EXPECT_TRUE(select->Execute(Rows::All));
    return Value(*select, 0);
  };
  EXPECT_EQ((std::tuple{round_trip(true), round_trip(false), round_trip(std::int16_t{-7})}),
            (std::tuple{Variant(-1), Variant(0), Variant(-7)}));
  EXPECT_TRUE(round_trip(Variant()).IsNull());
  EXPECT_EQ(round_trip(0.25), Variant(0.25));
  EXPECT_EQ((std::tuple{Scalar("select 5000000000"), Scalar("select -2147483648").Type(),
                        Scalar("select x'414200'")}),
            (std::tuple{Variant(5000000000.0), VarType::Long, Variant(std::string("AB\0", 3))}));

  EXPECT_EQ(CatchError([&] { Bind(*insert, 1, std::make_shared<Opaque>()); }).Number(), err::TypeMismatch);
  EXPECT_EQ(CatchError([&] { Value(*select, 5); }).Number(), err::SubscriptOutOfRange);
  select->Reset();
  EXPECT_EQ(CatchError([&] { Value(*select, 0); }).Number(), err::NoCurrentRecord);
}

TEST_F(SqliteBackendTest, KeysAndTablesFromTheSchema) {
  db_->ExecuteScript(
      "create table pk2(a int, b text, c int, primary key (b, a));"
      "create table uq(a int, b int, c int);"
      "create unique index uq_first on uq(c, a); create unique index uq_second on uq(b);"
      "create table plain(a int)");
  EXPECT_EQ(db_->UniqueKeyColumns("PK2"), (std::vector<std::string>{"b", "a"}));
  EXPECT_EQ(db_->UniqueKeyColumns("uq"), (std::vector<std::string>{"c", "a"}));
  EXPECT_TRUE(db_->UniqueKeyColumns("plain").empty());
  EXPECT_TRUE(db_->TableExists("PLAIN"));
  EXPECT_FALSE(db_->TableExists("pla"));
  EXPECT_EQ(db_->Dialect(), "sqlite");
}

TEST_F(SqliteBackendTest, ARowSetHoldsAllItsRowsAndLeavesNoReadOpen) {
  db_->ExecuteScript("create table t(a int); insert into t values (1), (2), (3)");
  auto select = db_->Prepare("select a from t order by a");
  ASSERT_TRUE(select->Execute(Rows::All));
  // Another connection can checkpoint the whole log: nobody reads it.
  auto other = OpenSqlite(Path());
  other->ExecuteScript("insert into t values (4)");
  auto checkpoint = other->Prepare("pragma wal_checkpoint(truncate)");
  ASSERT_TRUE(checkpoint->Execute(Rows::All));
  EXPECT_EQ(Value(*checkpoint, 0), Variant(0));  // not blocked by a reader
  // The rows are those of the moment the statement ran.
  std::vector<std::int32_t> seen;
  do seen.push_back(Value(*select, 0).ToInt32());
  while (select->Next());
  EXPECT_EQ(seen, (std::vector<std::int32_t>{1, 2, 3}));
}

// Counts the runs of statements whose text begins with "update".
int CountUpdates(unsigned, void* count, void*, void* sql) {
  if (std::string_view(static_cast<const char*>(sql)).starts_with("update")) ++*static_cast<int*>(count);
  return 0;
}

TEST_F(SqliteBackendTest, AStaleSnapshotOutsideATransactionIsRunAgainOnceThenReported) {
  db_->ExecuteScript("create table t(a int); insert into t values (1), (2)");
  // A connection of our own under the backend, so that a statement of
  // another program can keep a read open on it.
  sqlite3* raw = nullptr;
  ASSERT_EQ(sqlite3_open_v2(Path().c_str(), &raw, SQLITE_OPEN_READWRITE | SQLITE_OPEN_EXRESCODE, nullptr),
            SQLITE_OK);
  sqlite::SqliteDatabase mine{sqlite::ConnectionHandle(raw)};
  int runs = 0;
  sqlite3_trace_v2(raw, SQLITE_TRACE_STMT, &CountUpdates, &runs);
  sqlite3_stmt* reader = nullptr;
  ASSERT_EQ(sqlite3_prepare_v2(raw, "select a from t", -1, &reader, nullptr), SQLITE_OK);
  const sqlite::StatementHandle pinned(reader);
  ASSERT_EQ(sqlite3_step(reader), SQLITE_ROW);
  db_->ExecuteScript("insert into t values (3)");  // commits past the open read

  auto update = mine.Prepare("update t set a = a + 1");
  const Error e = CatchError([&] { update->Execute(Rows::All); });
  EXPECT_EQ(e.NativeError(), SQLITE_BUSY_SNAPSHOT);
  EXPECT_EQ(e.Statement(), "update t set a = a + 1");
  EXPECT_TRUE(e.ConnectionUsable());
  EXPECT_EQ(runs, 2);
  // Once the read is over the same statement goes through.
  sqlite3_reset(reader);
  update->Execute(Rows::All);
  EXPECT_EQ(update->RowsAffected(), 3);
  EXPECT_EQ(runs, 3);
}

TEST_F(SqliteBackendTest, SeveralProcessesWriteOneFile) {
  constexpr std::int32_t kProcesses = 2;
  constexpr std::int32_t kRows = 300;
  db_->ExecuteScript("create table log(proc int, n int)");
  // A connection must not be carried across fork.
  db_.reset();
  const auto insert_rows = [&](int process) {
    auto db = OpenSqlite(Path());
    auto insert = db->Prepare("insert into log values (?, ?)");
    for (std::int32_t i = 0; i < kRows; ++i) {
      insert->Bind(1, EngineValue::Integer(process));
      insert->Bind(2, EngineValue::Integer(i));
      insert->Execute(Rows::All);
    }
  };
  EXPECT_EQ(test::RunProcesses(kProcesses, insert_rows), std::vector<std::string>{});

  db_ = OpenSqlite(Path());
  EXPECT_EQ(Scalar("pragma journal_mode"), Variant("wal"));
  EXPECT_EQ(Scalar("select count(distinct proc * 1000 + n) from log"), Variant(kProcesses * kRows));
}

}  // namespace
}  // namespace tarnlow::backend
