#include "tarnlow/receipt/clsPORStock.h"

#include <array>
#include <string_view>
#include <vector>

#include "framework/class_builder.h"
#include "tarnlow/modules.h"
#include "tarnlow/registry.h"

namespace tarnlow {

TARNLOW_DEFINE_PROPERTIES(clsPORStock, TARNLOW_clsPORStock_PROPERTIES)

namespace {

// Entries of the property list picked by property name, in the given order.
template <std::size_t N>
std::vector<ColumnInfo> Pick(const std::array<std::string_view, N>& properties) {
  std::vector<ColumnInfo> out;
  for (std::string_view p : properties) out.push_back(FindColumn(clsPORStock::Columns(), p));
  return out;
}

// The read's parameters: the item's key.
std::span<const ColumnInfo> ReadParameters() {
  static const std::vector<ColumnInfo> k = Pick(std::array<std::string_view, 2>{"warehouse", "product"});
  return k;
}

// What the read copies, in the order it copies it; bin_number is copied on
// its own since it may be Null.
std::span<const ColumnInfo> ReadCopyColumns() {
  static const std::vector<ColumnInfo> k = Pick(std::array<std::string_view, 13>{
      "current_cost", "current_labour", "current_material", "current_overhead", "current_subcontra",
      "nl_category", "batch_traceability", "serial_numbers", "standard_cost", "standard_labour",
      "standard_material", "standard_overhead", "standard_subcontra"});
  return k;
}

// The update's parameters in placeholder order, each with the property that
// gives its value. The increments are named after what they adjust, not
// after a column.
std::span<const ColumnInfo> UpdateParameters() {
  static const std::vector<ColumnInfo> k = [] {
    std::vector<ColumnInfo> out = Pick(std::array<std::string_view, 9>{
        "AdjustOnOrderQty", "AdjustPhysicalQty", "last_supplier", "AdjustMonthToDateReceiptQty",
        "AdjustYearToDateReceiptQty", "current_cost", "current_material", "warehouse", "product"});
    out[0].column = "adj_on_order_qty";
    out[1].column = "adj_physical_qty";
    out[3].column = "adj_mtd";
    out[4].column = "adj_ytd";
    return out;
  }();
  return k;
}

}  // namespace

clsPORStock::clsPORStock() {
  UseHolders({&read_, &update_});
}

const ClassInfo& clsPORStock::Info() {
  static const ClassInfo info =
      detail::ClassBuilder<clsPORStock>("clsPORStock", "{147E7B81-7B07-4474-A8CD-7ABB57EC168E}",
                                        "{214FD98B-42F1-4D35-8A60-5A7462F51E6C}")
          .Creatable()
          .Connection()
          .Properties(Columns(), "serial_numbers", "product")
          .Method<&clsPORStock::PrepareReadStatement>("PrepareReadStatement")
          .Method<&clsPORStock::ReadIt>("ReadIt")
          .Method<&clsPORStock::PrepareUpdateStatement>("PrepareUpdateStatement")
          .Method<&clsPORStock::UpdateForReceipt>("UpdateForReceipt")
          .Property(Columns(), "BinNumber")
          .Build();
  return info;
}

void clsPORStock::PrepareReadStatement() {
  if (read_prepared_) return;
  Command& command = read_.Command();
  command.Prepared(true);
  read_.SQL(
      "select warehouse, product, current_cost, analysis_x_ref, "
      " batch_traceability, serial_numbers, standard_cost      "
      ", standard_labour, standard_material, standard_overhead, standard_subcontra "
      ", current_labour, current_material, current_overhead, current_subcontrac, bin_number "
      " from " +
      TableName(CatalogueTable::StockTable) + " where warehouse = ? and product = ?");
  command.CommandType(adCmdText);
  DeclareParameters(read_, ReadParameters());
  read_prepared_ = true;
}

void clsPORStock::ReadIt() {
  PrepareReadStatement();
  Command& command = read_.Command();
  SetParameters(command, ReadParameters());
  rs_ = command.Execute();
  if (rs_->AtEOF()) {
    rs_->Close();
    throw Error(vbObjectError, "PORStock.ReadIt", "Cannot find stock item " + warehouse() + "/" + product());
  }
  // A row that fails to copy is let go as well: an open read would hold the
  // statement, and the database's read lock, until the next call.
  try {
    CopyRow(*rs_, ReadCopyColumns());
    // Items that were never given a bin hold Null there.
    Field(BinNumber) = RTrim(NullToText(rs_->Fields("bin_number")));
  } catch (...) {
    rs_->Close();
    throw;
  }
  rs_->Close();
}

void clsPORStock::PrepareUpdateStatement() {
  if (update_prepared_) return;
  Command& command = update_.Command();
  command.Prepared(true);
  // The quantities are added by the database inside this one statement, so
  // receipts booked at the same time by other clients are not lost.
  update_.SQL(" update " + TableName(CatalogueTable::StockTable) +
              " set on_order_qty = on_order_qty + ?"
              " , physical_qty = physical_qty + ?"
              " , last_supplier = ? "
              " , month_to_date03 = month_to_date03 + ?"
              " , year_to_date03 = year_to_date03 + ? "
              " , current_cost = ? "
              " , current_material = ? "
              " where warehouse = ? and product = ?");
  command.CommandType(adCmdText);
  DeclareParameters(update_, UpdateParameters());
  update_prepared_ = true;
}

void clsPORStock::UpdateForReceipt() {
  PrepareUpdateStatement();
  Command& command = update_.Command();
  SetParameters(command, UpdateParameters());
  command.ExecuteNoRows();
}

TARNLOW_REGISTER_CLASS(clsPORStock)

}  // namespace tarnlow
