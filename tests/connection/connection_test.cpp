#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "connection/backend.h"
#include "connection/database_connection.h"
#include "tarnlow/tarnlow.h"
#include "test_support.h"

namespace tarnlow {
namespace {

class ConnectionLayerTest : public test::DatabaseTest {
 protected:
  std::string services_ = c_->TableCatalogue()->ServiceTable();
};

TEST_P(ConnectionLayerTest, RunningACommandAgainLeavesTheNewRowsToTheNewRowSet) {
  c_->Execute("insert into " + services_ + " (service, cost) values ('A', 1), ('B', 2)");
  test::Holder holder(c_, "select cost from " + services_ + " where service = ?");
  holder.AddTextParameter("service", 20);
  holder.SetTextValue("service", "A");
  auto first = holder.Command().Execute();
  holder.SetTextValue("service", "B");
  auto second = holder.Command().Execute();
  first.reset();  // the caller lets go of the earlier, still open row set
  ASSERT_FALSE(second->AtEOF());
  EXPECT_EQ(second->Fields("cost").ToDouble(), 2.0);
}

TEST_P(ConnectionLayerTest, GetCellsHandsOverTheRemainingRowsRowAfterRow) {
  c_->Execute("insert into " + services_ + " (service, cost) values ('A', 1), ('B', 2), ('C', 3.5)");
  test::OpenRecordset all(*c_, "select service, cost from " + services_ + " order by service");
  const std::vector<Variant> cells = all.GetCells();
  ASSERT_EQ(cells.size(), 6u);
  EXPECT_EQ((std::tuple{cells[0].ToText(), cells[1].ToDouble(), cells[4].ToText(), cells[5].ToDouble()}),
            (std::tuple{"A", 1.0, "C", 3.5}));
  EXPECT_TRUE(all.AtEOF());
  EXPECT_EQ(test::CatchError([&] { all.Fields("cost"); }).Number(), err::NoCurrentRecord);
  EXPECT_TRUE(all.GetCells().empty()) << "nothing is left";
  all.Close();

  // From the current row on; a prepared statement run again afterwards
  // reads its new rows, though its earlier ones were handed over.
  test::Holder holder(c_, "select service from " + services_ + " where cost > ? order by service");
  holder.AddNumberParameter("cost");
  holder.SetNumberValue("cost", 0);
  auto rs = holder.Command().Execute();
  rs->MoveNext();
  const std::vector<Variant> rest = rs->GetCells();
  ASSERT_EQ(rest.size(), 2u);
  EXPECT_EQ(rest[0].ToText(), "B");
  EXPECT_EQ(rest[1].ToText(), "C");
  rs->Close();
  holder.SetNumberValue("cost", 1.5);
  rs = holder.Command().Execute();
  EXPECT_EQ(rs->Fields("service").ToText(), "B");
  rs->MoveNext();
  EXPECT_EQ(rs->Fields("service").ToText(), "C");
  rs->MoveNext();
  EXPECT_TRUE(rs->AtEOF());
  EXPECT_TRUE(rs->GetCells().empty());

  Recordset closed;
  EXPECT_EQ(test::CatchError([&] { closed.GetCells(); }).Number(), err::ObjectClosed);
}

TEST_P(ConnectionLayerTest, ACommandThatIsNotPreparedIsCompiledForEachExecution) {
  c_->Execute("insert into " + services_ + " (service, cost) values ('A', 1), ('B', 2)");
  Command command;
  command.ActiveConnection(c_);
  command.CommandText("select cost from " + services_ + " where service = ?");
  command.Append(Parameter{"service", ParameterType::Text, 20, Variant("A")});
  ASSERT_TRUE(command.Prepared());
  auto runs = [&](const char* key) {
    command["service"].value = Variant(key);
    return command.Execute()->Fields("cost").ToDouble();
  };
  auto before = Statistics(*c_);
  EXPECT_EQ(runs("A"), 1.0);
  EXPECT_EQ(runs("B"), 2.0);
  EXPECT_EQ(Statistics(*c_).prepares - before.prepares, 1);
  command.Prepared(false);
  before = Statistics(*c_);
  EXPECT_EQ(runs("A"), 1.0);
  EXPECT_EQ(runs("B"), 2.0);
  EXPECT_EQ(Statistics(*c_).prepares - before.prepares, 2);
  EXPECT_EQ(Statistics(*c_).executions - before.executions, 2);
}

TEST_P(ConnectionLayerTest, ACommandOfTheTableTypeReadsTheTablesRows) {
  c_->Execute("insert into " + services_ + " (service, cost) values ('A', 1)");
  Command command;
  command.ActiveConnection(c_);
  command.CommandText(services_);
  EXPECT_EQ(test::CatchError([&] { command.CommandType(4); }).Number(), err::NotAllowed);
  EXPECT_EQ(command.CommandType(), adCmdText);
  command.CommandType(adCmdTable);
  auto rs = command.Execute();
  ASSERT_FALSE(rs->AtEOF());
  EXPECT_EQ(rs->Fields("service").ToText(), "A");
  EXPECT_EQ(rs->FieldCount(), 3u);
}

TEST_P(ConnectionLayerTest, TheCurrentRowOfAnUpdatableRowSetCanBeChanged) {
  c_->Execute("insert into " + services_ +
              " (service, unit_code, cost) values ('U1', 'EACH', 1), ('U2', 'EACH', 2)");
  Recordset rs;
  rs.ActiveConnection(c_->DatabaseConnection());
  rs.LockType(adLockOptimistic);
  rs.Source("select * from " + services_ + " where service = 'U1'");
  rs.CursorType(adOpenStatic);
  rs.Open();
  EXPECT_EQ(test::CatchError([&] { rs.Open(); }).Number(), err::ObjectOpen);
  rs.SetField("cost", Variant(9.25));
  rs.SetField("UNIT_CODE", Variant("BOX"));
  EXPECT_EQ(rs.Fields("cost").ToDouble(), 9.25);
  rs.Update();
  rs.Close();
  EXPECT_EQ(test::CatchError([&] { rs.Close(); }).Number(), err::ObjectClosed);

  test::OpenRecordset check(*c_, "select service, unit_code, cost from " + services_ + " order by service");
  const auto rows = check.GetRows();
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[0][1].ToText(), "BOX");
  EXPECT_EQ(rows[0][2].ToDouble(), 9.25);
  EXPECT_EQ(rows[1][1].ToText(), "EACH");  // the other row is untouched
  EXPECT_EQ(rows[1][2].ToDouble(), 2.0);
  EXPECT_TRUE(check.AtEOF());
  EXPECT_EQ(test::CatchError([&] { check.SetField("cost", Variant(1.0)); }).Number(), err::NoCurrentRecord);
}

// The row shows what Update wrote into it, and a later Update finds it by
// the key written, not the one it was read with; the next row is its own.
TEST_P(ConnectionLayerTest, AnUpdatedRowShowsWhatWasWrittenAndIsFoundByItsNewKey) {
  c_->Execute("insert into " + services_ +
              " (service, unit_code, cost) values ('U1', 'EACH', 1), ('U2', 'EACH', 2)");
  test::OpenRecordset rs(*c_, "select * from " + services_ + " order by service", adOpenStatic,
                         adLockOptimistic);
  rs.SetField("service", Variant("U1X"));
  rs.SetField("cost", Variant(5.0));
  rs.Update();
  EXPECT_EQ(rs.Fields("service"), Variant("U1X"));
  EXPECT_EQ(rs.Field("cost").ToDouble(), 5.0);
  EXPECT_EQ(rs.Fields("unit_code"), Variant("EACH"));  // as read
  rs.SetField("cost", Variant(6.0));
  rs.Update();
  EXPECT_EQ(rs.Fields("cost").ToDouble(), 6.0);
  rs.MoveNext();
  EXPECT_EQ(rs.Fields("service"), Variant("U2"));
  EXPECT_EQ(rs.Field("cost").ToDouble(), 2.0);
  rs.SetField("unit_code", Variant("BOX"));
  rs.Update();
  rs.Close();
  const test::Rows got =
      test::Select(*c_, "select service, unit_code, cost from " + services_ + " order by service");
  ASSERT_EQ(got.size(), 2u);
  EXPECT_EQ((std::tuple{got[0][0], got[0][2].ToDouble(), got[1][1], got[1][2].ToDouble()}),
            (std::tuple{Variant("U1X"), 6.0, Variant("BOX"), 2.0}));
}

// A row set writes its changes only while the row still holds, in the
// columns it writes, what it held when read (a Null compared as a Null);
// a change to any other column does not stand in the way.
TEST_P(ConnectionLayerTest, AnUpdateWritesOnlyWhileTheWrittenColumnsHoldWhatWasRead) {
  const std::string trace = db_.Folder() + "/updates.sql";
  auto c = db_.Open("trace=" + trace);
  c->Execute("insert into " + services_ + " (service, unit_code, cost) values ('N1', 'EACH', NULL)");
  test::OpenRecordset rs(*c, "select * from " + services_, adOpenStatic, adLockOptimistic);
  c_->Execute("update " + services_ + " set unit_code = 'BOX'");
  rs.SetField("cost", Variant(1.5));
  rs.Update();
  EXPECT_EQ(
      test::Traced(trace, "UPDATE"),
      std::vector<std::string>{"UPDATE " + services_ + " SET cost = ? WHERE service = ? AND cost IS NULL"});

  c_->Execute("update " + services_ + " set cost = 7");
  rs.SetField("cost", Variant(2.5));
  rs.SetField("unit_code", Variant("CASE"));
  const Error e = test::CatchError([&] { rs.Update(); });
  EXPECT_EQ(e.Number(), err::RowNotLocated);
  EXPECT_EQ(e.Statement(),
            "UPDATE " + services_ +
                " SET cost = ?, unit_code = ? WHERE service = ? AND cost = ? AND unit_code = ?");
  rs.Close();
  const test::Rows got = test::Select(*c_, "select unit_code, cost from " + services_);
  ASSERT_EQ(got.size(), 1u);
  EXPECT_EQ(got[0][0].ToText(), "BOX");
  EXPECT_EQ(got[0][1].ToDouble(), 7.0);
}

// The library's properties hold finite numbers only, as a late-bound client's
// do: an infinity stored by another program overflows the read, whether the
// row is the first the object reads or a later one.
TEST_P(ConnectionLayerTest, AStoredInfinityReadIntoAPropertyOverflows) {
  const std::string infinity = test::Engine(GetParam()) == "sqlite" ? "9e999" : "'Infinity'::float8";
  c_->Execute("insert into " + services_ + " (service, unit_code, cost) values ('FIN', 'EACH', 2.5)");
  c_->Execute("insert into " + services_ + " (service, unit_code, cost) values ('INF', 'EACH', " + infinity +
              ")");
  c_->Execute("insert into " + services_ + " (service, unit_code, cost) values ('NEG', 'EACH', -" + infinity +
              ")");
  clsPORService service;
  service.SageConnection(c_);
  for (const char* key : {"FIN", "INF", "FIN", "NEG"}) {
    service.Service = key;
    if (key[0] == 'F') {
      service.ReadIt();
      EXPECT_EQ(service.cost(), 2.5);
      continue;
    }
    const Error e = test::CatchError([&] { service.ReadIt(); });
    EXPECT_EQ(e.Number(), err::Overflow) << key;
    EXPECT_EQ(e.Description(), "Overflow") << key;
    EXPECT_EQ(service.cost(), 2.5) << key;
  }
}

TEST_P(ConnectionLayerTest, ARowSetUpdateIsCompiledOnceYetTracedEachTime) {
  const std::string trace = db_.Folder() + "/updates.sql";
  auto c = db_.Open("trace=" + trace);
  c->Execute("insert into " + services_ + " (service, cost) values ('U1', 1), ('U2', 2)");
  const auto before = Statistics(*c);
  for (const char* key : {"U1", "U2", "U1"}) {
    test::OpenRecordset rs(*c, "select * from " + services_ + " where service = '" + key + "'", adOpenStatic,
                           adLockOptimistic);
    rs.SetField("cost", Variant(rs.Fields("cost").ToDouble() + 10));
    rs.Update();
  }
  EXPECT_EQ(Statistics(*c).prepares - before.prepares, 4);  // three reads, one update
  EXPECT_EQ(test::Traced(trace, "UPDATE").size(), 3u);
  EXPECT_EQ(test::Select(*c, "select sum(cost) from " + services_)[0][0].ToDouble(), 33.0);
}

TEST_P(ConnectionLayerTest, InitCreatesWhatIsMissingAndKeepsTheRest) {
  c_->Execute("insert into " + services_ + " (service) values ('KEEP')");
  c_->Execute("drop table " + c_->TableCatalogue()->VatMatrixTable());
  const SchemaReport report = CreateMissingTables(*c_);
  ASSERT_EQ(report.created.size(), 1u);
  EXPECT_EQ(report.created[0], "vat_matrix");
  EXPECT_EQ(report.existing.size(), CatalogueTableCount - 1);
  test::OpenRecordset rs(*c_, "select count(*) from " + services_);
  EXPECT_EQ(rs.Fields(std::size_t{0}).ToInt32(), 1);
}

TARNLOW_ON_EVERY_BACKEND(ConnectionLayerTest);

// ---- connection texts ------------------------------------------------------------

TEST(ConnectionTextTest, OptionsAreReadAndChecked) {
  const auto o = ConnectionOptions::Parse(
      "sqlite:/tmp/x.db?kind=2&release=5&extended=0&version=2.2&dualrate=1&trace=-&table.ServiceTable=svc");
  EXPECT_EQ((std::tuple{o.target, o.kind, o.release}), (std::tuple{"/tmp/x.db", 2, 5}));
  EXPECT_FALSE(o.extended);
  EXPECT_EQ(o.version, "2.2");
  EXPECT_TRUE(o.dual_rate);
  EXPECT_EQ(o.TableName(CatalogueTable::ServiceTable), "svc");
  EXPECT_EQ(o.TableName(CatalogueTable::StockTable), "stock_item");

  const auto d = ConnectionOptions::Parse("sqlite::memory:");
  EXPECT_EQ((std::tuple{d.target, d.kind, d.release}), (std::tuple{":memory:", 1, 8}));
  EXPECT_TRUE(d.extended);
  EXPECT_EQ(d.version, "2.3");

  const auto pg = ConnectionOptions::Parse("postgresql:///db?host=/tmp/s&kind=2&user=me");
  EXPECT_EQ(pg.backend, ConnectionOptions::Backend::PostgreSQL);
  EXPECT_EQ(pg.target, "postgresql:///db?host=/tmp/s&user=me");
  EXPECT_EQ(pg.kind, 2);
}

TEST(ConnectionTextTest, BadTextsNameTheirFaultAndCreateNothing) {
  const std::string path = (std::filesystem::temp_directory_path() / "tarnlow_never_created.db").string();
  std::filesystem::remove(path);
  struct Case {
    std::string text, expected;
  } cases[] = {
      {"sqlite:" + path + "?colour=blue", "Unknown connection option \"colour\""},
      {"sqlite:" + path + "?kind=two", "Connection option \"kind\" needs a whole number, not \"two\""},
      {"sqlite:" + path + "?extended=yes", "Connection option \"extended\" needs 0 or 1, not \"yes\""},
      {"sqlite:" + path + "?table.NoSuchTable=x", "Unknown table catalogue property \"NoSuchTable\""},
      {"sqlite:" + path + "?table.ServiceTable=x;drop",
       "Connection option \"table.ServiceTable\" needs a table name, not \"x;drop\""},
      {"mysql://x",
       "Connection text must start with \"sqlite:\", \"postgresql://\" or \"odbc:\": \"mysql://x\""},
  };
  for (const Case& c : cases) {
    test::ExpectError([&] { Connection::Open(c.text); }, vbObjectError + 513, "TarnlowData.Connection",
                      c.expected);
  }
  EXPECT_FALSE(std::filesystem::exists(path));
}

TEST(ConnectionTextTest, TraceWritesEveryStatementTextOnItsOwnLine) {
  test::ScratchDatabase db;
  const std::string trace = db.Folder() + "/trace.txt";
  auto c = db.Open("trace=" + trace);
  std::filesystem::remove(trace);
  c->Execute("delete from service_item where service = 'T'");
  std::ifstream in(trace);
  std::stringstream all;
  all << in.rdbuf();
  EXPECT_EQ(all.str(), "delete from service_item where service = 'T'\n");
}

// A statement whose text cannot be traced is not run, and the failure is
// the operation's error record.
TEST(ConnectionTextTest, ATraceThatCannotBeWrittenFailsTheStatement) {
  test::ScratchDatabase db;
  auto c = db.Open("trace=/dev/full");
  const Error e = test::CatchError([&] { c->Execute("insert into service_item (service) values ('T')"); });
  EXPECT_EQ(e.Number(), 75);
  EXPECT_EQ(e.Description().rfind("Path/File access error: cannot write the trace to \"/dev/full\": ", 0), 0u)
      << e.Description();
  auto untraced = db.Open();
  EXPECT_EQ(test::Select(*untraced, "select count(*) from service_item")[0][0].ToInt32(), 0);
}

TEST(ValueConverterTest, FieldsBecomeTextAndDates) {
  const ValueConverter& v = ValueConverter::Shared();
  EXPECT_EQ((std::tuple{v.FieldText(Variant(Null)), v.FieldText(Variant(1.5)), v.FieldDate(Variant(Null)),
                        v.FieldDate(Variant("2000-01-01"))}),
            (std::tuple{"", "1.5", Date(), Date(36526)}));
  // CheckText is the blank test.
  EXPECT_FALSE(v.CheckText(" a "));
  EXPECT_FALSE(v.CheckText("x"));
  EXPECT_TRUE(v.CheckText("   "));
  EXPECT_TRUE(v.CheckText(" \t\r\n"));
  EXPECT_TRUE(v.CheckText(""));
}

}  // namespace
}  // namespace tarnlow
