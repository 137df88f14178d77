#include "tarnlow/stock/clsStockXpgD.h"

#include "framework/class_builder.h"
#include "tarnlow/modules.h"

namespace tarnlow {

TARNLOW_DEFINE_CLASS(clsStockXpgD, TARNLOW_clsStockXpgD_PROPERTIES, "{C6BD9EB3-3771-4F42-B8D9-B21295B8B10B}",
                     "{195AA644-D7D0-479B-9C8B-35072E54E971}") {
  b.Creatable()
      .Properties<&Self::call_off_qty_tol, &Self::consumer_unit>()
      .Connection()
      .Properties<&Self::warehouse, &Self::analysis_f>()
      .LetByRef({"warehouse"}) TARNLOW_METHODS(PrepareReadStatement, PrepareStkxpgmUpdateStatement,
                                               UpdateStock, ReadIt, InsertRow, PrepareInsertStatement);
}

namespace {
namespace extension_table = tables::StockExtensionTable;

// The labels callers know: most name the class by an older name, one starts
// with a small letter, one names the class itself.
constexpr std::string_view kPrepareReadLabel = "PrepareReadStatement of Class Module clsStockXpgm";
constexpr std::string_view kPrepareUpdateLabel = "PrepareStkxpgmUpdateStatement of Class Module clsStockXpgm";
constexpr std::string_view kUpdateStockLabel = "updateStock of Class Module clsStockXpgm";
constexpr std::string_view kReadItLabel = "ReadIt of Class Module clsStockXpgm";
constexpr std::string_view kCopyLabel = "CopyFromRecordset of Class Module clsStockXpgm";
constexpr std::string_view kInsertRowLabel = "InsertRow of Class Module clsStockXpgm";
constexpr std::string_view kSetParametersLabel = "SetParameters of Class Module clsStockXpgD";
constexpr std::string_view kPrepareInsertLabel = "PrepareInsertStatement of Class Module clsStockXpgm";
constexpr std::string_view kAddParametersLabel = "AddParameters of Class Module clsStockXpgm";
}  // namespace

clsStockXpgD::clsStockXpgD() {
  UseHolders({&read_, &update_, &insert_});
}

void clsStockXpgD::PrepareReadStatement() {
  PrepareStatement(
      kPrepareReadLabel, read_,
      [&] {
        return "select * from " + TableName(CatalogueTable::StockExtensionTable) +
               " where warehouse = ? and product = ?";
      },
      [&] { DeclareParameters(read_, warehouse, product); });
}

void clsStockXpgD::PrepareStkxpgmUpdateStatement() {
  PrepareStatement(
      kPrepareUpdateLabel, update_,
      [&] {
        return " update " + TableName(CatalogueTable::StockExtensionTable) +
               " set analysis_d = ?,analysis_e = ? " +
               " ,analysis_f =?,delivery_qty_tol=?,call_off_qty_tol=?,consumer_unit=?" +
               " where warehouse = ? and product = ?";
      },
      [&] { AddParameters(update_); });
}

void clsStockXpgD::PrepareInsertStatement() {
  PrepareStatement(
      kPrepareInsertLabel, insert_,
      [&] {
        return "INSERT INTO " + TableName(CatalogueTable::StockExtensionTable) +
               " (analysis_d,analysis_e,analysis_f,delivery_qty_tol,call_off_qty_tol,consumer_unit,warehouse,"
               "product)" +
               " VALUES ( ?,?,?,?,?,?,?,?)";
      },
      [&] { AddParameters(insert_); });
}

// The update and the insert name the same eight values in the same order.
void clsStockXpgD::AddParameters(StatementHolder& holder) {
  WithErrorExit(kAddParametersLabel, [&](Line& line) {
    line = 10;
    DeclareParameters(holder, analysis_d, analysis_e, analysis_f, delivery_qty_tol, call_off_qty_tol,
                      consumer_unit, warehouse, product);
  });
}

void clsStockXpgD::SetParameters(StatementHolder& holder) {
  WithErrorExit(kSetParametersLabel, [&](Line& line) {
    line = 10;
    Command& command = holder.Command();
    line = 20;
    SetParameter(command, analysis_d);
    SetParameter(command, analysis_e);
    SetParameter(command, analysis_f);
    SetParameter(command, delivery_qty_tol);
    SetParameter(command, call_off_qty_tol);
    SetParameter(command, consumer_unit);
    SetParameter(command, warehouse);
    SetParameter(command, product);
  });
}

void clsStockXpgD::UpdateStock() {
  WithErrorExit(kUpdateStockLabel, [&](Line& line) {
    line = 10;
    PrepareStkxpgmUpdateStatement();
    line = 20;
    SetParameters(update_);
    line = 30;
    update_.Command().ExecuteNoCount();
  });
}

void clsStockXpgD::InsertRow() {
  WithErrorExit(kInsertRowLabel, [&](Line& line) {
    line = 10;
    PrepareInsertStatement();
    line = 20;
    SetParameters(insert_);
    line = 30;
    insert_.Command().ExecuteNoCount();
  });
}

void clsStockXpgD::ReadIt() {
  WithErrorExit(kReadItLabel, [&](Line& line) {
    line = 10;
    PrepareReadStatement();
    line = 20;
    // The key goes in as it stands, without the connection's text conversion.
    const bool found = ReadByKey(
        read_, {&line, 30}, [&](const Recordset& rs) { CopyFromRecordset(rs); },
        AsIs{extension_table::warehouse.name, Variant(warehouse())},
        AsIs{extension_table::product.name, Variant(product())});
    line = 40;
    if (!found) throw Error(vbObjectError, "", "Cannot find Product " + product());
  });
}

// A Null in any of the columns cannot become text and fails the copy.
void clsStockXpgD::CopyFromRecordset(const Recordset& rs) {
  WithErrorExit(kCopyLabel, [&](Line& line) {
    line = 10;
    CopyFields(rs, warehouse, product, analysis_d, analysis_e, analysis_f, delivery_qty_tol, call_off_qty_tol,
               consumer_unit);
  });
}

}  // namespace tarnlow
