#include "tarnlow/pricing/clsCEVatMatD.h"

#include "framework/class_builder.h"
#include "pricing/pricing_support.h"
#include "tarnlow/modules.h"

namespace tarnlow {

TARNLOW_DEFINE_CLASS(clsCEVatMatD, TARNLOW_clsCEVatMatD_PROPERTIES, "{C2D8801D-B6E3-464F-B4B3-82D0A6445F4C}",
                     "{1710B5BC-49E9-48C3-B089-3456E7BF0539}") {
  b.Creatable().Connection().Properties() TARNLOW_METHODS(
      FindClosestCode, PrepareInsertStatement, PrepareReadStatement, ReadIt, InsertRow, ResetCache);
}

namespace {
namespace T = tables::VatMatrixTable;
constexpr std::int32_t kKey = 0;
constexpr std::int32_t kCode = 1;

// A cell's text as the load reads it: text as it is, anything else
// converted (Null raises), into `scratch`.
const std::string& TextOf(const Variant& cell, std::string& scratch) {
  if (const std::string* text = cell.AsText()) return *text;
  scratch = cell.ToText();
  return scratch;
}
}  // namespace

clsCEVatMatD::clsCEVatMatD() {
  UseHolders({&read_, &insert_});
}

void clsCEVatMatD::ResetCache() {
  cache_.Clear();
  cache_.Reshape(0, 0, 0, 2);
  loaded_ = false;
}

// Built in one string of its final size: the load makes one key per
// matrix row.
std::string clsCEVatMatD::MakeKey(const std::string& item_vat_type, const std::string& account_vat_type) {
  std::string_view account(account_vat_type);
  account = account.substr(0, account.find_last_not_of(' ') + 1);
  std::string key;
  key.reserve(10 + account.size());
  pricing::AppendFixed(key, item_vat_type, 10);
  key.append(account);
  return key;
}

void clsCEVatMatD::LoadIntoList() {
  WithErrorExit(Label<"LoadIntoList">(), [&](Line& line) {
    line = 10;
    if (loaded_) return;
    line = 20;
    cache_.Reshape(0, 0, 0, 2);
    line = 30;
    Recordset rs;
    rs.Open("select * from " + TableName(CatalogueTable::VatMatrixTable), Conn().DatabaseConnection(),
            adOpenForwardOnly, adLockReadOnly);
    std::int32_t r = 0;
    if (!rs.AtEOF()) {
      line = 35;
      const std::size_t item = pricing::FieldPosition(rs, T::item_vat_type.name);
      const std::size_t account = pricing::FieldPosition(rs, T::account_vat_type.name);
      const std::size_t code = pricing::FieldPosition(rs, T::vat_code.name);
      const std::size_t width = rs.FieldCount();
      line = 40;
      // The row set hands its rows over whole, so that no row is copied
      // twice on its way into the cache; the cache gets an array of its
      // own size, key and code a row.
      std::vector<Variant> rows = rs.GetCells();
      std::vector<Variant> cells;
      cells.reserve(rows.size() / width * 2);
      std::string item_text, account_text;
      for (std::size_t at = 0; at < rows.size(); at += width, ++r) {
        line = 50;
        cells.emplace_back(
            MakeKey(TextOf(rows[at + item], item_text), TextOf(rows[at + account], account_text)));
        line = 60;
        cells.push_back(std::move(rows[at + code]));
      }
      rows = {};
      cache_.LoadCells(std::move(cells), 2);
    }
    line = 70;
    rs.Close();
    cache_.Sort(0, r - 1);
    line = 80;
    loaded_ = true;
  });
}

bool clsCEVatMatD::FindClosestCode() {
  return WithErrorExit(Label<"FindClosestCode">(), [&](Line& line) {
    line = 10;
    LoadIntoList();
    line = 20;
    std::int32_t r = cache_.Find(0, kKey, Variant(MakeKey(item_vat_type(), account_vat_type())));
    line = 30;
    if (r < 0) r = cache_.Find(0, kKey, Variant(MakeKey("", account_vat_type())));
    line = 40;
    if (r < 0) r = cache_.Find(0, kKey, Variant(MakeKey(item_vat_type(), "")));
    line = 50;
    if (r < 0) return false;
    line = 60;
    vat_code = cache_.GetCell(r, kCode).ToText();
    return true;
  });
}

void clsCEVatMatD::PrepareReadStatement() {
  WithErrorExit(Label<"PrepareReadStatement">(), [&](Line& line) {
    line = 10;
    if (read_.Prepared()) return;
    line = 20;
    read_.SQL("select *  from " + TableName(CatalogueTable::VatMatrixTable) +
              " where account_vat_type = ? and item_vat_type = ?");
    line = 30;
    DeclareParameters(read_, account_vat_type, item_vat_type);
    line = 40;
    read_.Prepared(true);
  });
}

void clsCEVatMatD::ReadIt() {
  WithErrorExit(Label<"ReadIt">(), [&](Line& line) {
    line = 10;
    PrepareReadStatement();
    line = 20;
    read_(T::account_vat_type.name, Variant(RTrim(account_vat_type())));
    read_(T::item_vat_type.name, Variant(RTrim(item_vat_type())));
    line = 30;
    const bool found = ReadOneRow(read_.Command(), [&](const Recordset& rs) {
      line = 40;
      CopyFromRS(rs);
    });
    line = 50;
    if (!found)
      throw Error(vbObjectError, "",
                  "Cannot find vat matrix for stock and customer/supplier " + item_vat_type() + "/" +
                      account_vat_type());
  });
}

void clsCEVatMatD::CopyFromRS(const Recordset& rs) {
  WithErrorExit(Label<"CopyFromRS">(), [&](Line& line) {
    line = 10;
    CopyFields(rs, account_vat_type, item_vat_type, description, vat_code);
  });
}

void clsCEVatMatD::PrepareInsertStatement() {
  WithErrorExit(Label<"PrepareInsertStatement">(), [&](Line& line) {
    line = 10;
    if (insert_.Prepared()) return;
    line = 20;
    const std::vector<ColumnInfo> columns = TableColumns(Columns());
    insert_.SQL("INSERT INTO " + TableName(CatalogueTable::VatMatrixTable) + " ( " + ColumnList(columns) +
                ")" + " VALUES ( " + Placeholders(columns.size()) + ")");
    line = 30;
    AddParameters();
    line = 40;
    insert_.Prepared(true);
  });
}

void clsCEVatMatD::AddParameters() {
  WithErrorExit(Label<"AddParameters">(), [&](Line& line) {
    line = 10;
    DeclareParameters(insert_, TableColumns(Columns()));
  });
}

void clsCEVatMatD::InsertRow() {
  WithErrorExit(Label<"InsertRow">(), [&](Line& line) {
    line = 10;
    PrepareInsertStatement();
    line = 20;
    Command& command = insert_.Command();
    SetParameter(command, account_vat_type);
    SetParameter(command, description);
    SetParameter(command, item_vat_type);
    SetParameter(command, vat_code);
    line = 30;
    command.ExecuteNoCount();
  });
}

}  // namespace tarnlow
