// Besides number, source and description, an error record from a database
// tells a C++ caller the statement that failed, the database's own code
// (SQLite's extended result code, PostgreSQL's SQLSTATE, a driver's SQLSTATE
// and native code) and whether the connection can still be used; the
// context survives the source trail.
#include <gtest/gtest.h>

#include <string>

#include "tarnlow/tarnlow.h"
#include "test_support.h"

namespace tarnlow {
namespace {

// SQLite's extended result codes, as its header numbers them.
constexpr std::int32_t kSqliteError = 1;
constexpr std::int32_t kSqliteConstraintUnique = 2067;

class ErrorContextTest : public test::DatabaseTest {
 protected:
  bool Sqlite() const { return GetParam() == "sqlite"; }
  // The database's code for a failure: one per backend. The SQLite driver
  // gives the general state with SQLite's primary result code; the
  // PostgreSQL driver passes the server's state on.
  void ExpectCode(const Error& e, std::int32_t sqlite_code, const char* sql_state) {
    if (Sqlite()) {
      EXPECT_EQ(e.NativeError(), sqlite_code);
      EXPECT_EQ(e.SqlState(), "");
    } else if (GetParam() == "odbc-sqlite") {
      EXPECT_EQ(e.NativeError(), sqlite_code & 0xFF);
      EXPECT_EQ(e.SqlState(), "HY000");
    } else if (GetParam() == "odbc-postgresql") {
      EXPECT_EQ(e.SqlState(), sql_state);
    } else {
      EXPECT_EQ(e.NativeError(), 0);
      EXPECT_EQ(e.SqlState(), sql_state);
    }
  }

  std::string services_ = c_->TableCatalogue()->ServiceTable();
};

TEST_P(ErrorContextTest, ADuplicateKeyNamesItsStatementAndCode) {
  const std::string insert = "insert into " + services_ + " (service) values ('DUP')";
  c_->Execute(insert);
  const Error e =
      test::ExpectError([&] { c_->Execute(insert); }, DbIntegrityViolation, test::EngineSource(GetParam()));
  EXPECT_EQ(e.Statement(), insert);
  ExpectCode(e, kSqliteConstraintUnique, "23505");
  EXPECT_TRUE(e.ConnectionUsable());
  EXPECT_EQ(c_->Execute("delete from " + services_), 1);  // and it is usable
}

TEST_P(ErrorContextTest, AStatementThatDoesNotCompileIsNamedAsTheCallerWroteIt) {
  StatementHolder holder;
  holder.Connection(c_);
  // The escape and the placeholder are rewritten for the database; the
  // record keeps the caller's text.
  holder.SQL("select {fn left(service, 2)} from no_such_table where service = ?");
  holder.AddTextParameter("service", 20);
  holder.SetTextValue("service", "S1");
  const Error e = test::CatchError([&] { holder.Command().Execute(); });
  EXPECT_EQ(e.Number(), DbFailure);
  EXPECT_EQ(e.Statement(), holder.SQL());
  ExpectCode(e, kSqliteError, "42P01");
  EXPECT_TRUE(e.ConnectionUsable());
}

TEST_P(ErrorContextTest, TheContextSurvivesTheSourceTrailOfAnOperation) {
  c_->Execute("drop table " + c_->TableCatalogue()->StockHistoryTable());
  clsSTHistory history;
  history.SageConnection(c_);
  history.warehouse = "01";
  history.product = "P";
  const Error e = test::CatchError([&] { history.InsertNewHistory(); });
  EXPECT_NE(e.Source().find("InsertNewHistory of Class Module clsSTHistory"), std::string::npos)
      << e.Source();
  EXPECT_NE(e.Statement().find(" from stock_movement_history"), std::string::npos) << e.Statement();
  ExpectCode(e, kSqliteError, "42P01");
  EXPECT_TRUE(e.ConnectionUsable());
  // The current error of the thread carries it too, until cleared.
  EXPECT_EQ(Err().Context.statement, e.Statement());
  Err().Clear();
  EXPECT_EQ(Err().Context.statement, "");
}

TEST_P(ErrorContextTest, ARowThatIsGoneNamesTheUpdateThatFoundNothing) {
  c_->Execute("insert into " + services_ + " (service, cost) values ('S1', 1)");
  test::OpenRecordset rs(*c_, "select * from " + services_, adOpenStatic, adLockOptimistic);
  c_->Execute("delete from " + services_);
  rs.SetField("cost", Variant(2.0));
  const Error e =
      test::ExpectError([&] { rs.Update(); }, err::RowNotLocated, {}, RuntimeErrorText(err::RowNotLocated));
  EXPECT_EQ(e.Statement(), "UPDATE " + services_ + " SET cost = ? WHERE service = ? AND cost = ?");
  EXPECT_TRUE(e.ConnectionUsable());
}

TARNLOW_ON_EVERY_BACKEND(ErrorContextTest);

}  // namespace
}  // namespace tarnlow
