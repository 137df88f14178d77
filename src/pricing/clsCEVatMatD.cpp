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
namespace vat_matrix_table = tables::VatMatrixTable;
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
  cache_.Reset();
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
    cache_.LoadOnce([&](RowCache& rows) {
      line = 20;
      rows.Reshape(0, 0, 0, 2);
      line = 30;
      std::int32_t r = 0;
      const std::string sql = "select * from " + TableName(CatalogueTable::VatMatrixTable);
      cache_.ReadAll(sql, Conn().DatabaseConnection(), [&](Recordset& rs) {
        if (!rs.AtEOF()) {
          line = 35;
          const std::size_t item = pricing::FieldPosition(rs, vat_matrix_table::item_vat_type.name);
          const std::size_t account = pricing::FieldPosition(rs, vat_matrix_table::account_vat_type.name);
          const std::size_t code = pricing::FieldPosition(rs, vat_matrix_table::vat_code.name);
          const std::size_t width = rs.FieldCount();
          line = 40;
          // The row set hands its rows over whole, so that no row is
          // copied twice on its way into the cache; the cache gets an
          // array of its own size, key and code a row.
          std::vector<Variant> fetched = rs.GetCells();
          std::vector<Variant> cells;
          cells.reserve(fetched.size() / width * 2);
          std::string item_text, account_text;
          for (std::size_t at = 0; at < fetched.size(); at += width, ++r) {
            line = 50;
            cells.emplace_back(
                MakeKey(TextOf(fetched[at + item], item_text), TextOf(fetched[at + account], account_text)));
            line = 60;
            cells.push_back(std::move(fetched[at + code]));
          }
          fetched = {};
          rows.LoadCells(std::move(cells), 2);
        }
        line = 70;
      });
      rows.Sort(0, r - 1);
      line = 80;
    });
  });
}

bool clsCEVatMatD::FindClosestCode() {
  return WithErrorExit(Label<"FindClosestCode">(), [&](Line& line) {
    line = 10;
    LoadIntoList();
    line = 20;
    std::int32_t r = cache_.Find(kKey, Variant(MakeKey(item_vat_type(), account_vat_type())));
    line = 30;
    if (r < 0) r = cache_.Find(kKey, Variant(MakeKey("", account_vat_type())));
    line = 40;
    if (r < 0) r = cache_.Find(kKey, Variant(MakeKey(item_vat_type(), "")));
    line = 50;
    if (r < 0) return false;
    line = 60;
    vat_code = cache_.Cells().GetCell(r, kCode).ToText();
    return true;
  });
}

void clsCEVatMatD::PrepareReadStatement() {
  PrepareStatement(
      Label<"PrepareReadStatement">(), read_,
      [&] {
        return "select *  from " + TableName(CatalogueTable::VatMatrixTable) +
               " where account_vat_type = ? and item_vat_type = ?";
      },
      [&] { DeclareParameters(read_, account_vat_type, item_vat_type); });
}

void clsCEVatMatD::ReadIt() {
  WithErrorExit(Label<"ReadIt">(), [&](Line& line) {
    line = 10;
    PrepareReadStatement();
    line = 20;
    const bool found = ReadByKey(
        read_, {&line, 30},
        [&](const Recordset& rs) {
          line = 40;
          CopyFromRS(rs);
        },
        AsIs{vat_matrix_table::account_vat_type.name, Variant(RTrim(account_vat_type()))},
        AsIs{vat_matrix_table::item_vat_type.name, Variant(RTrim(item_vat_type()))});
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
  PrepareStatement(
      Label<"PrepareInsertStatement">(), insert_,
      [&] {
        return InsertText("INSERT INTO " + TableName(CatalogueTable::VatMatrixTable),
                          TableColumns(Columns()));
      },
      [&] { AddParameters(); });
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
    // UseList is no column: only the four columns are set.
    RunWithColumns(insert_, Columns(), {&line, 30});
  });
}

}  // namespace tarnlow
