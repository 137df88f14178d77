#include "tarnlow/receipt/clsPORStock.h"

#include "framework/class_builder.h"
#include "tarnlow/modules.h"

namespace tarnlow {

TARNLOW_DEFINE_CLASS(clsPORStock, TARNLOW_clsPORStock_PROPERTIES, "{147E7B81-7B07-4474-A8CD-7ABB57EC168E}",
                     "{214FD98B-42F1-4D35-8A60-5A7462F51E6C}") {
  b.Creatable()
      .Connection()
      .Properties<&Self::serial_numbers, &Self::product>()
      .LetByRef({"AdjustOnOrderQty", "AdjustPhysicalQty", "AdjustMonthToDateReceiptQty",
                 "AdjustYearToDateReceiptQty", "last_supplier", "warehouse", "product", "current_cost",
                 "current_material"})
          TARNLOW_METHODS(PrepareReadStatement, ReadIt, PrepareUpdateStatement, UpdateForReceipt)
      .Property<&Self::BinNumber>();
}

namespace {

// The update's increments are named after what they adjust, not after a
// column.
constexpr const char* kAdjustOnOrder = "adj_on_order_qty";
constexpr const char* kAdjustPhysical = "adj_physical_qty";
constexpr const char* kAdjustMonth = "adj_mtd";
constexpr const char* kAdjustYear = "adj_ytd";

}  // namespace

clsPORStock::clsPORStock() {
  UseHolders({&read_, &update_});
}

void clsPORStock::PrepareReadStatement() {
  PrepareOnce(read_, [&] {
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
    DeclareParameters(read_, warehouse, product);
  });
}

void clsPORStock::ReadIt() {
  PrepareReadStatement();
  const bool found = ReadByKey(
      read_, {},
      [&](const Recordset& rs) {
        CopyFields(rs, current_cost, current_labour, current_material, current_overhead, current_subcontra,
                   nl_category, batch_traceability, serial_numbers, standard_cost, standard_labour,
                   standard_material, standard_overhead, standard_subcontra);
        // Items that were never given a bin hold Null there.
        Field(BinNumber) = RTrim(NullToText(rs.Field(tables::StockTable::bin_number)));
      },
      warehouse, product);
  if (!found)
    throw Error(vbObjectError, "PORStock.ReadIt", "Cannot find stock item " + warehouse() + "/" + product());
}

void clsPORStock::PrepareUpdateStatement() {
  PrepareOnce(update_, [&] {
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
    update_.AddNumberParameter(kAdjustOnOrder);
    update_.AddNumberParameter(kAdjustPhysical);
    DeclareParameters(update_, last_supplier);
    update_.AddNumberParameter(kAdjustMonth);
    update_.AddNumberParameter(kAdjustYear);
    DeclareParameters(update_, current_cost, current_material, warehouse, product);
  });
}

void clsPORStock::UpdateForReceipt() {
  PrepareUpdateStatement();
  Command& command = update_.Command();
  command[kAdjustOnOrder].value = Variant(AdjustOnOrderQty());
  command[kAdjustPhysical].value = Variant(AdjustPhysicalQty());
  SetParameter(command, last_supplier);
  command[kAdjustMonth].value = Variant(AdjustMonthToDateReceiptQty());
  command[kAdjustYear].value = Variant(AdjustYearToDateReceiptQty());
  SetParameter(command, current_cost);
  SetParameter(command, current_material);
  SetParameter(command, warehouse);
  SetParameter(command, product);
  command.ExecuteNoCount();
}

}  // namespace tarnlow
