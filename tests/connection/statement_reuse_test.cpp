// The paths that refill what a statement already holds instead of making it
// anew: parameter lookup by name from where the last one was found, values
// and cells written into their old storage, the first-row execution of point
// reads, and column names read only when asked for. Each must give the same
// answers as the plain paths, whatever was held before.
#include <gtest/gtest.h>

#include "connection/backend.h"
#include "connection/database_connection.h"
#include "tarnlow/tarnlow.h"
#include "test_support.h"

namespace tarnlow {
namespace {

class StatementReuseTest : public test::DatabaseTest {
 protected:
  std::string services_ = c_->TableCatalogue()->ServiceTable();
};

TEST_P(StatementReuseTest, ParametersAreFoundByNameInAnyOrder) {
  c_->Execute("insert into " + services_ +
              " (service, unit_code, cost) values ('S1', 'HOUR', 1), ('S2', 'DAY', 2), ('S3', 'HOUR', 3)");
  test::Holder holder(c_, "select service from " + services_ +
                              " where unit_code = ? and cost >= ? and service <> ? order by service");
  holder.AddTextParameter("unit_code", 6);
  holder.AddNumberParameter("cost");
  holder.AddTextParameter("service", 20);
  // Declared order, reversed, and mixed, in different letter cases.
  auto run = [&](std::vector<std::pair<const char*, Variant>> values) {
    for (auto& [name, value] : values) holder(name, value);
    auto rs = holder.Command().Execute();
    std::vector<std::string> got;
    for (; !rs->AtEOF(); rs->MoveNext()) got.push_back(rs->Fields(std::size_t{0}).ToText());
    rs->Close();
    return got;
  };
  EXPECT_EQ(run({{"unit_code", Variant("HOUR")}, {"cost", Variant(0.0)}, {"service", Variant("S1")}}),
            std::vector<std::string>{"S3"});
  EXPECT_EQ(run({{"SERVICE", Variant("S3")}, {"Cost", Variant(2.0)}, {"UNIT_CODE", Variant("DAY")}}),
            std::vector<std::string>{"S2"});
  EXPECT_EQ(run({{"cost", Variant(0.0)}, {"service", Variant("none")}, {"unit_code", Variant("HOUR")}}),
            (std::vector<std::string>{"S1", "S3"}));
  EXPECT_EQ(test::CatchError([&] { holder.Command()["costs"]; }).Number(), err::ItemNotFound);
  // A miss leaves the next lookup working from wherever it starts.
  EXPECT_EQ(holder.Command()["cost"].name, "cost");
}

TEST(CommandParameterTest, OfTwoParametersWithOneNameTheFirstIsMeant) {
  Command command;
  command.Append(Parameter{"a", ParameterType::Number, 0, Variant()});
  command.Append(Parameter{"b", ParameterType::Number, 0, Variant()});
  command.Append(Parameter{"A", ParameterType::Number, 0, Variant()});
  command["a"].value = Variant(1.0);
  command["b"].value = Variant(2.0);
  command["a"].value = Variant(3.0);  // the search would otherwise reach the third one first
  EXPECT_EQ(command.Parameters()[0].value, Variant(3.0));
  EXPECT_TRUE(command.Parameters()[2].value.IsEmpty());
  command.ClearParameters();
  command.Append(Parameter{"x", ParameterType::Text, 4, Variant()});
  command["X"].value = Variant("v");
  EXPECT_EQ(command.Parameters()[0].value, Variant("v"));
}

TEST_P(StatementReuseTest, ValuesOfEveryKindFollowOneAnotherInOneParameter) {
  test::Holder holder(c_, "insert into " + services_ + " (service, unit_code, cost) values (?, ?, ?)");
  holder.AddTextParameter("service", 20);
  holder.AddTextParameter("unit_code", 6);
  holder.AddNumberParameter("cost");
  // Long text, null, short text, a number in a text column, long text again.
  const std::vector<std::tuple<std::string, Variant, Variant>> rows{
      {"K1", Variant("HOURLY"), Variant(1.5)},        {"K2", Variant(Null), Variant(Null)},
      {"K3", Variant("D"), Variant(std::int32_t{7})}, {"K4", Variant(Null), Variant(2.25)},
      {"K5", Variant("WEEKLY"), Variant(Null)},
  };
  for (const auto& [key, unit, cost] : rows) {
    holder("service", Variant(key));
    holder("unit_code", unit);
    holder("cost", cost);
    holder.Command().ExecuteNoRows();
  }
  EXPECT_EQ(test::Select(*c_, "select service, unit_code, cost from " + services_ + " order by service"),
            (test::Rows{{"K1", "HOURLY", 1.5},
                        {"K2", Null, Null},
                        {"K3", "D", 7.0},
                        {"K4", Null, 2.25},
                        {"K5", "WEEKLY", Null}}));
}

// Parameters are read where they lie during the run; a placeholder that
// has lost its parameter since the last run is null, not the value that
// parameter held.
TEST_P(StatementReuseTest, APlaceholderWithoutAParameterIsNull) {
  test::Holder holder(c_, "insert into " + services_ + " (service, unit_code) values (?, ?)");
  holder.AddTextParameter("service", 20);
  holder.AddTextParameter("unit_code", 6);
  holder("service", Variant("BOTH"));
  holder("unit_code", Variant(std::string("WEEKLY")));
  holder.Command().ExecuteNoRows();
  holder.ClearParameters();
  holder.AddTextParameter("service", 20);
  holder("service", Variant(std::string("ONE")));
  holder.Command().ExecuteNoRows();
  EXPECT_EQ(test::Select(*c_, "select service, unit_code from " + services_ + " order by service"),
            (test::Rows{{"BOTH", "WEEKLY"}, {"ONE", Null}}));
}

// A date's text is kept for its placeholder while the same date is bound
// again: another date must replace it, and the first come back.
TEST_P(StatementReuseTest, DatesFollowOneAnotherInOneParameter) {
  const std::string table = c_->TableCatalogue()->NominalMovementTable();
  test::Holder holder(c_, "insert into " + table + " (comments, movement_date) values (?, ?)");
  holder.AddTextParameter("comments", 60);
  holder.AddDateParameter("movement_date");
  const Date first = Date::FromCalendar(2026, 1, 5, 10, 30);
  const Date second = Date::FromCalendar(2025, 12, 31);
  const std::vector<Date> dates{first, first, second, first, second};
  for (std::size_t i = 0; i < dates.size(); ++i) {
    holder("comments", Variant(std::to_string(i)));
    holder("movement_date", Variant(dates[i]));
    holder.Command().ExecuteNoRows();
  }
  const test::Rows got = test::Select(*c_, "select movement_date from " + table + " order by comments");
  ASSERT_EQ(got.size(), dates.size());
  for (std::size_t i = 0; i < dates.size(); ++i) EXPECT_EQ(got[i][0].ToDate().value, dates[i].value) << i;
}

// Texts bound to one placeholder one after another: each must replace the
// last whole, whether it is shorter or longer.
TEST_P(StatementReuseTest, TextsOfAnyLengthFollowOneAnotherInOneParameter) {
  auto statement = c_->DatabaseConnection().Prepare("select ?, ?");
  const std::vector<std::string> texts{"SHORT", std::string(40, 'x') + "'end", "",    std::string(5000, 'L'),
                                       "S",     std::string(4096, 'k'),        "tail"};
  for (std::size_t i = 0; i < texts.size(); ++i) {
    SCOPED_TRACE(i);
    statement->Bind(1, EngineValue::Text(texts[i]));
    statement->Bind(2, EngineValue::Text(texts[texts.size() - 1 - i]));
    ASSERT_TRUE(statement->Execute(CompiledStatement::Rows::First));
    EXPECT_EQ(statement->Cell(0).text, texts[i]);
    EXPECT_EQ(statement->Cell(1).text, texts[texts.size() - 1 - i]);
    statement->Reset();
  }
}

TEST_P(StatementReuseTest, CellsRefilledByLaterRowsShowOnlyTheirOwnValues) {
  c_->Execute("insert into " + services_ +
              " (service, unit_code, cost) values "
              "('LONG', 'HOURS', 1.5), ('NULL', null, null), ('SHORT', 'D', 2)");
  test::Holder holder(c_, "select unit_code, cost from " + services_ + " where service = ?");
  holder.AddTextParameter("service", 20);
  auto read = [&](const char* key) {
    holder.SetTextValue("service", key);
    auto rs = holder.Command().Execute();
    std::pair<Variant, Variant> row{rs->Field("unit_code"), rs->Field("COST")};
    EXPECT_EQ(row.first, rs->Fields("unit_code"));
    EXPECT_EQ(row.second, rs->Fields(std::size_t{1}));
    rs->Close();
    return row;
  };
  for (int round = 0; round < 2; ++round) {
    auto l = read("LONG");
    EXPECT_EQ(l.first, Variant("HOURS"));
    EXPECT_DOUBLE_EQ(l.second.ToDouble(), 1.5);
    auto n = read("NULL");
    EXPECT_TRUE(n.first.IsNull());
    EXPECT_TRUE(n.second.IsNull());
    auto s = read("SHORT");
    EXPECT_EQ(s.first, Variant("D"));
    EXPECT_DOUBLE_EQ(s.second.ToDouble(), 2);
  }
}

// Field lookups try the column after the last one found, under the spelling
// last asked for there, before searching: every order and spelling must
// still find its column, and of two columns with one name the first.
TEST_P(StatementReuseTest, FieldsAreFoundByNameInAnyOrderAndSpelling) {
  c_->Execute("insert into " + services_ + " (service, unit_code, cost) values ('S1', 'HOUR', 1.5)");
  Command command;
  command.ActiveConnection(c_);
  command.CommandText("select service, unit_code, cost from " + services_);
  auto texts = [&](std::vector<const char*> names) {
    auto rs = command.Execute();
    std::vector<std::string> got;
    for (const char* name : names) got.push_back(rs->Field(name).ToText());
    rs->Close();
    return got;
  };
  using V = std::vector<std::string>;
  for (int run = 0; run < 2; ++run) {
    EXPECT_EQ(texts({"service", "unit_code", "cost"}), (V{"S1", "HOUR", "1.5"}));
    EXPECT_EQ(texts({"Service", "UNIT_CODE", "Cost"}), (V{"S1", "HOUR", "1.5"}));
    EXPECT_EQ(texts({"cost", "unit_code", "service", "service", "SERVICE"}),
              (V{"1.5", "HOUR", "S1", "S1", "S1"}));
    EXPECT_EQ(texts({"unit_code", "cost", "cost", "unit_code"}), (V{"HOUR", "1.5", "1.5", "HOUR"}));
  }
  EXPECT_EQ(test::CatchError([&] { texts({"service", "unit_cod"}); }).Number(), err::ItemNotFound);
  EXPECT_EQ(test::CatchError([&] { texts({"service", "unit_codes"}); }).Number(), err::ItemNotFound);
  // A new text gives the row set another statement with other columns.
  command.CommandText("select cost, service, unit_code as Service from " + services_);
  EXPECT_EQ(texts({"cost", "service"}), (V{"1.5", "S1"}));
  EXPECT_EQ(texts({"SERVICE", "service", "cost", "Service"}), (V{"S1", "S1", "1.5", "S1"}));

  // A row set opened again on literal text: the same columns keep their
  // index, the same count of other columns must not.
  Recordset rs;
  auto open = [&](const std::string& columns, std::vector<const char*> names) {
    rs.Open("select " + columns + " from " + services_, c_->DatabaseConnection(), adOpenForwardOnly,
            adLockReadOnly);
    std::vector<std::string> got;
    for (const char* name : names) got.push_back(rs.Field(name).ToText());
    rs.Close();
    return got;
  };
  EXPECT_EQ(open("service, unit_code, cost", {"service", "cost"}), (V{"S1", "1.5"}));
  EXPECT_EQ(open("SERVICE, Unit_Code, cost", {"service", "unit_code"}), (V{"S1", "HOUR"}));
  EXPECT_EQ(open("cost, service, unit_code", {"service", "unit_code", "cost"}), (V{"S1", "HOUR", "1.5"}));
  // Columns of the same types as before, under other names.
  EXPECT_EQ(open("unit_code, service, cost", {"service", "unit_code"}), (V{"S1", "HOUR"}));
  EXPECT_EQ(open("service, unit_code, cost", {"service", "unit_code"}), (V{"S1", "HOUR"}));
  EXPECT_EQ(open("cost, unit_code, service as cost", {"cost", "unit_code"}), (V{"1.5", "HOUR"}));
}

// Lookups by declaration remember where each was found on the row before:
// a later row asked in another order, or for fewer columns, or set by
// declaration, must still get each column's own cell.
TEST_P(StatementReuseTest, ColumnsAskedForByDeclarationInAnotherOrderOnEachRow) {
  namespace T = tables::ServiceTable;
  c_->Execute("insert into " + services_ +
              " (service, unit_code, cost) values ('A', 'HOUR', 1), ('B', 'DAY', 2), ('C', 'WEEK', 3)");
  test::OpenRecordset rs(*c_, "select unit_code, cost, service from " + services_ + " order by service",
                         adOpenStatic, adLockOptimistic);
  auto text = [&](const tables::Column& column) { return rs.Field(column).ToText(); };
  EXPECT_EQ(text(T::service) + text(T::unit_code) + text(T::cost), "AHOUR1");
  rs.MoveNext();
  EXPECT_EQ(text(T::cost) + text(T::service), "2B");
  rs.SetField(T::unit_code, Variant("MONTH"));
  EXPECT_EQ(text(T::unit_code), "MONTH");
  rs.Update();
  rs.MoveNext();
  // A fourth lookup, where the row before asked for another column fourth.
  EXPECT_EQ(text(T::unit_code) + text(T::service) + text(T::cost) + text(T::service), "WEEKC3C");
  rs.Close();
  EXPECT_EQ(test::Select(*c_, "select unit_code from " + services_ + " where service = 'B'")[0][0],
            Variant("MONTH"));
}

TEST_P(StatementReuseTest, AFirstRowReadGivesTheFirstRowAndHoldsNothing) {
  c_->Execute("insert into " + services_ + " (service, cost) values ('A', 1), ('B', 2), ('C', 3)");
  test::Holder holder(c_, "select service, cost from " + services_ + " where cost >= ? order by cost");
  holder.AddNumberParameter("cost");
  holder("cost", Variant(2.0));
  auto rs = holder.Command().ExecuteForFirstRow();
  ASSERT_FALSE(rs->AtEOF());
  EXPECT_EQ(rs->Field("service"), Variant("B"));
  rs->Close();
  // Nothing of the read is left open: another connection writes at once,
  // and this one reads what it wrote.
  auto other = db_.OpenBare();
  other->Execute("update " + services_ + " set cost = 0.5 where service = 'C'");
  holder("cost", Variant(0.0));
  rs = holder.Command().ExecuteForFirstRow();
  EXPECT_EQ(rs->Field("service"), Variant("C"));
  rs->Close();
  holder("cost", Variant(9.0));
  EXPECT_TRUE(holder.Command().ExecuteForFirstRow()->AtEOF());
}

TEST_P(StatementReuseTest, AFirstRowRunOfAWriteStillDoesAllOfIt) {
  c_->Execute("insert into " + services_ + " (service, cost) values ('A', 1), ('B', 2), ('C', 3)");
  test::Holder holder(c_, "update " + services_ + " set cost = cost + ?");
  holder.AddNumberParameter("cost");
  holder("cost", Variant(10.0));
  holder.Command().ExecuteForFirstRow()->Close();
  const test::Rows got = test::Select(*c_, "select sum(cost) from " + services_);
  EXPECT_DOUBLE_EQ(got.at(0).at(0).ToDouble(), 36);
}

TEST_P(StatementReuseTest, ColumnsAreKnownWhenAskedForBeforeOrAfterARun) {
  c_->Execute("insert into " + services_ + " (service, unit_code, cost) values ('A', 'HOUR', 1)");
  const std::string sql = "select service, cost as price from " + services_;
  auto prepared = c_->DatabaseConnection().Prepare(sql);
  ASSERT_EQ(prepared->ColumnCount(), 2);
  EXPECT_EQ(prepared->ColumnName(1), "price");
  auto literal = c_->DatabaseConnection().PrepareLiteral(sql);
  ASSERT_TRUE(literal->Execute(CompiledStatement::Rows::All));
  EXPECT_EQ(literal->Cell(0).text, "A");
  ASSERT_EQ(literal->ColumnCount(), 2);
  EXPECT_EQ(literal->ColumnName(0), "service");
  // A write that is never asked for its columns has none.
  auto write =
      c_->DatabaseConnection().PrepareLiteral("delete from " + services_ + " where service = 'none'");
  EXPECT_FALSE(write->Execute(CompiledStatement::Rows::All));
  EXPECT_EQ(write->ColumnCount(), 0);
}

// A pooling proxy between clients and server sends DISCARD ALL or
// DEALLOCATE ALL when it hands the session to another client: the server
// forgets every prepared statement while the objects still hold theirs.
TEST_P(StatementReuseTest, StatementsTheSessionForgotArePreparedAgain) {
  if (test::Engine(GetParam()) != "postgresql") GTEST_SKIP() << "only a server discards statements";
  c_->Execute("insert into " + services_ + " (service, unit_code, cost) values ('S1', 'HOUR', 1)");
  clsPORService service;
  service.SageConnection(c_);
  clsSTNLMov movement;
  movement.SageConnection(c_);
  movement.account = "4000";
  service.Service = "S1";
  service.ReadIt();
  movement.InsertRow();
  // DISCARD ALL also undoes what ConnSettings set through the driver, this
  // test's search path among it.
  std::vector<std::string> forgets{"DEALLOCATE ALL"};
  if (GetParam() == "postgresql") forgets.emplace_back("DISCARD ALL");
  for (const std::string& forget : forgets) {
    SCOPED_TRACE(forget);
    c_->Execute(forget);
    service.ReadIt();
    EXPECT_EQ(service.unit_code(), "HOUR");
    movement.InsertRow();
    // Once prepared again the statements run as before.
    service.ReadIt();
    movement.InsertRow();
  }
  EXPECT_EQ(test::Select(*c_, "select count(*) from stock_nominal_movement")[0][0].ToInt32(),
            static_cast<std::int32_t>(1 + 2 * forgets.size()));
}

TARNLOW_ON_EVERY_BACKEND(StatementReuseTest);

TEST(VariantTextTest, AssignedTextReplacesWhateverWasHeld) {
  Variant v(2.5);
  v.AssignText("first value, longer than a short string");
  EXPECT_EQ(v, Variant("first value, longer than a short string"));
  v.AssignText("short");
  EXPECT_EQ(v, Variant("short"));
  v = Variant(Null);
  v.AssignText("");
  EXPECT_EQ(v.Type(), VarType::String);
  EXPECT_EQ(v, Variant(""));

  std::string field = "old";
  AssignConverted(field, Variant(std::int32_t{42}));
  EXPECT_EQ(field, "42");
  AssignConverted(field, Variant("a text that needs more room than before"));
  EXPECT_EQ(field, "a text that needs more room than before");
  Variant any(std::int16_t{3});
  AssignConverted(any, Variant("text"));
  EXPECT_EQ(any, Variant("text"));
  AssignConverted(any, Variant(1.5));
  EXPECT_EQ(any, Variant(1.5));
  double number = 0;
  EXPECT_EQ(test::CatchError([&] { AssignConverted(number, Variant("x")); }).Number(), err::TypeMismatch);
}

// Text is moved over the text held, which may be where the new text lies.
TEST(VariantTextTest, TextReplacedByPartOfItselfOrByALiteral) {
  std::string s = "order PO1001 line 3";
  ReplaceText(s, std::string_view(s).substr(6, 6));
  EXPECT_EQ(s, "PO1001");
  ReplaceText(s, std::string_view(s));
  EXPECT_EQ(s, "PO1001");
  ReplaceText(s, "PO1001 and more than was held");
  EXPECT_EQ(s, "PO1001 and more than was held");

  Prop<std::string, Access::GetLet> p;
  p = "Hex bolt M8";
  EXPECT_EQ(p(), "Hex bolt M8");
  p = std::string_view("Nut M8 and washer").substr(0, 6);
  EXPECT_EQ(p(), "Nut M8");
  p = static_cast<const char*>(nullptr);
  EXPECT_EQ(p(), "");
  const std::string longer = "a value longer than any held before";
  p = longer;
  EXPECT_EQ(p(), longer);
}

}  // namespace
}  // namespace tarnlow
