#include "tarnlow/stock/clsSTPrExD.h"

#include "framework/class_builder.h"
#include "tarnlow/modules.h"

namespace tarnlow {

TARNLOW_DEFINE_CLASS(clsSTPrExD, TARNLOW_clsSTPrExD_PROPERTIES, "{15732644-4E48-471A-97B1-D004BFDA58B2}",
                     "{EBE9CFC6-D374-4316-8FBA-B558287EC001}") {
  b.Creatable().Connection().Properties() TARNLOW_METHODS(
      PrepareInsertStatement, InsertRow, PrepareReadStatement, ReadIt, PrepareUpdateStatement, UpdateRow);
}

namespace {
namespace expense_table = tables::ProductExpenseTable;

// The update's label names another class; it is quoted as callers know it.
constexpr std::string_view kUpdateRowLabel = "UpdateRow of Class Module clsStockXpgm Line#:";
}  // namespace

clsSTPrExD::clsSTPrExD() {
  UseHolders({&insert_.holder, &read_.holder, &update_.holder});
}

std::string clsSTPrExD::MakeWhProduct() const {
  std::string key = warehouse();
  if (key.size() > 2)
    key.resize(2);
  else
    key.insert(0, 2 - key.size(), ' ');
  return key + product();
}

bool clsSTPrExD::CombinedKeyLayout() {
  return Conn().SystemInfo()->ReleaseNumber() < 6;
}

void clsSTPrExD::DeclareKey(Statement& statement) {
  if (statement.combined_key)
    DeclareParameter(statement.holder, expense_table::whproduct);
  else
    DeclareParameters(statement.holder, warehouse, product);
}

void clsSTPrExD::SetKey(Statement& statement) {
  Command& command = statement.holder.Command();
  if (statement.combined_key) {
    command[expense_table::whproduct.name].value = Conn().TextValue(MakeWhProduct());
  } else {
    SetParameter(command, warehouse);
    SetParameter(command, product);
  }
}

void clsSTPrExD::PrepareInsertStatement() {
  WithErrorExit(Label<"PrepareInsertStatement">(), [&](Line& line) {
    line = 10;
    PrepareOnce(insert_.holder, [&] {
      line = 20;
      insert_.combined_key = CombinedKeyLayout();
      const std::string table = TableName(CatalogueTable::ProductExpenseTable);
      line = 30;
      if (insert_.combined_key)
        insert_.holder.SQL("INSERT INTO " + table + " ( expense,whproduct)" + " VALUES ( ?,?)");
      else
        insert_.holder.SQL("INSERT INTO " + table + " ( expense,warehouse,product)" + " VALUES ( ?,?,?)");
      line = 40;
      AddParameters();
      line = 50;
    });
  });
}

void clsSTPrExD::AddParameters() {
  WithErrorExit(Label<"AddParameters">(), [&](Line& line) {
    line = 10;
    DeclareParameters(insert_.holder, expense);
    line = 20;
    DeclareKey(insert_);
  });
}

void clsSTPrExD::InsertRow() {
  WithErrorExit(Label<"InsertRow">(), [&](Line& line) {
    line = 10;
    PrepareInsertStatement();
    line = 20;
    SetParameter(insert_.holder.Command(), expense);
    SetKey(insert_);
    line = 30;
    insert_.holder.Command().ExecuteNoCount();
  });
}

void clsSTPrExD::PrepareReadStatement() {
  WithErrorExit(Label<"PrepareReadStatement">(), [&](Line& line) {
    line = 10;
    PrepareOnce(read_.holder, [&] {
      line = 20;
      read_.combined_key = CombinedKeyLayout();
      const std::string table = TableName(CatalogueTable::ProductExpenseTable);
      line = 30;
      if (read_.combined_key)
        read_.holder.SQL("select * from " + table + " where whproduct=?");
      else
        read_.holder.SQL("select * from " + table + " where warehouse=? and product=?");
      line = 40;
      DeclareKey(read_);
      line = 50;
    });
  });
}

void clsSTPrExD::ReadIt() {
  WithErrorExit(Label<"ReadIt">(), [&](Line& line) {
    line = 10;
    PrepareReadStatement();
    line = 20;
    SetKey(read_);
    line = 30;
    const bool found =
        ReadOneRow(read_.holder.Command(), [&](const Recordset& rs) { CopyFields(rs, expense); });
    line = 40;
    if (!found) throw Error(vbObjectError, "STPREx.ReadIt", "Cannot find stprex for " + MakeWhProduct());
  });
}

void clsSTPrExD::PrepareUpdateStatement() {
  WithErrorExit(Label<"PrepareUpdateStatement">(), [&](Line& line) {
    line = 10;
    PrepareOnce(update_.holder, [&] {
      line = 20;
      update_.combined_key = CombinedKeyLayout();
      const std::string table = TableName(CatalogueTable::ProductExpenseTable);
      line = 30;
      if (update_.combined_key)
        update_.holder.SQL(" update " + table + " set expense = ? " + " where whproduct = ?");
      else
        update_.holder.SQL(" update " + table + " set expense = ? " + " where warehouse = ? and product = ?");
      line = 40;
      DeclareParameters(update_.holder, expense);
      DeclareKey(update_);
      line = 50;
    });
  });
}

void clsSTPrExD::UpdateRow() {
  WithErrorExit(kUpdateRowLabel, [&](Line& line) {
    line = 10;
    PrepareUpdateStatement();
    line = 20;
    SetParameter(update_.holder.Command(), expense);
    SetKey(update_);
    line = 30;
    update_.holder.Command().ExecuteNoCount();
  });
}

}  // namespace tarnlow
