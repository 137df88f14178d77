// What each member of the public classes is for, one line each, for the
// class reference. A stored column property says which column it holds; the
// members many classes share (the connection, the prepare and copy
// operations, the collection members) have one line for all; the rest are
// kept here by class. A class added to the registry without its lines shows
// up in the reference test, which names every member that lacks one.
#include "component/member_meanings.h"

#include <string>
#include <string_view>
#include <unordered_map>

#include "tarnlow/connection.h"
#include "tarnlow/name_index.h"
#include "tarnlow/registry.h"

namespace tarnlow {
namespace {

struct Meaning {
  std::string_view key;  // "class.member", or "*.member" for every class that has it
  std::string_view text;
};

// clang-format off
constexpr Meaning kMeanings[] = {
    // Members that every class of a kind shares.
    {"*.SageConnection", "The connection object the object's statements run on; set it before any operation."},
    {"*.ReadIt", "Reads one row, found by the key properties set beforehand, into the properties."},
    {"*.InsertRow", "Inserts one row from the properties."},
    {"*.UpdateRow", "Writes the properties back into the row of their key."},
    {"*.CloseIt", "Closes the read row set when it is open."},
    {"*.CopyFrom", "Copies every property of another object of the class."},
    {"*.CopyFromRS", "Copies the current row of a row set into the properties."},
    {"*.CopyFromRst", "Copies the current row of a row set into the properties."},
    {"*.CopyFromRecordset", "Copies the current row of a row set into the properties."},
    {"*.DeleteForOrder", "Deletes the rows of the order in the order number property."},
    {"*.Reset", "Puts every property back to its creation default."},
    {"*.InitialiseValues", "Puts every property back to its creation default."},
    {"*.KeyString", "The key the object is listed under in a collection."},
    {"*.ReadFromList", "Reads the row of the key from the object's cached copy of the table."},
    {"*.ReadNextForOrder", "Reads the next row of the walk into the properties; False when there are no more."},
    {"*.Add", "Appends a copy of the object given, under its key, and returns the stored copy."},
    {"*.Item", "The member at a position (from 1) or under a key (letter case ignored); the default member."},
    {"*.Count", "The number of members."},
    {"*.Remove", "Removes the member at a position or under a key; later members move up."},
    {"*.ClearList", "Removes every member."},
    {"*.NewEnum", "An enumerator over the members in the order they were added."},

    // The receipt side and the stock movements.
    {"clsPORService.Service", "Code of the service item to read (the key)."},
    {"clsPORPohead.PLCurrency", "Currency of the order."},
    {"clsPORPohead.ReadIt", "Reads the header of order sOrderNo; it stays current until CloseIt."},
    {"clsPORPodet.QtyOutstanding", "Quantity ordered less quantity received, as last read."},
    {"clsPORPodet.line_no", "Line number as a number; order_line_no holds it right-aligned in 4 characters."},
    {"clsPORPodet.InitReadAllForOrder", "Sets up a walk over every line of the order in order_no."},
    {"clsPORPodet.ReadIt", "Reads the line given by order_no and line_no and keeps it current for UpdateForReceipt."},
    {"clsPORPodet.UpdateForReceipt", "Writes the received quantities, status and expected costs into the current line."},
    {"clsPORStock.AdjustYearToDateReceiptQty", "Added to the year-to-date receipt quantity by UpdateForReceipt."},
    {"clsPORStock.AdjustMonthToDateReceiptQty", "Added to the month-to-date receipt quantity by UpdateForReceipt."},
    {"clsPORStock.AdjustPhysicalQty", "Added to the physical quantity by UpdateForReceipt."},
    {"clsPORStock.AdjustOnOrderQty", "Added to the on-order quantity by UpdateForReceipt."},
    {"clsPORStock.physical_qty", "Not read from the item; always 0."},
    {"clsPORStock.on_order_qty", "Not read from the item; always 0."},
    {"clsPORStock.nl_category", "Nominal category of the item (column \"analysis_x_ref\")."},
    {"clsPORStock.BinNumber", "Bin of the item in its warehouse."},
    {"clsPORStock.UpdateForReceipt", "Adds the four adjustments and stores the costs and last supplier in one update."},
    {"clsPORStock.PrepareUpdateStatement", "Prepares the receipt update statement once per object."},
    {"clsSTHistory.PrepareNextNumber", "Prepares the query for the highest sequence number once per object."},
    {"clsSTHistory.InsertNewHistory", "Inserts the movement under the next free sequence number of its warehouse, product and day."},
    {"clsSTBatchD.PrepareNextNumber", "Prepares the query for the highest sequence number once per object."},
    {"clsSTBatchD.InsertNewBatch", "Inserts the batch under a fresh sequence number of its warehouse and product."},
    {"clsSTBatchD.Remainder", "Floating-point remainder of numerator divided by denominator, in [0, denominator)."},
    {"clsSTNLCat.MovementType", "Kind of movement whose account MovementAccount gives (0: purchase receipt)."},
    {"clsSTNLCat.nl_category", "Code of the category to read (the key)."},
    {"clsSTNLCat.MovementAccount", "Account of the category for the movement kind."},
    {"clsSTNLCat.BalanceSheetAccount", "Balance-sheet account of the category."},
    {"clsTarnlowSTDataVer.TarnlowSTDataVer", "The library file's base name, \": \" and its version."},

    // Product expense, stock extension and tolerances.
    {"clsStockXpgD.PrepareStkxpgmUpdateStatement", "Prepares the update of the extension row once per object."},
    {"clsStockXpgD.UpdateStock", "Writes the six values into the extension row of warehouse and product."},
    {"clsStkpgtxD.ResetCache", "Empties the cached copy of the product-group table; the next ReadIt loads it again."},
    {"clsStkpgtxD.product_group", "Product group to look up (the key); trailing blanks are removed."},
    {"clsStkpgtxD.delivery_qty_tol", "Delivery quantity tolerance of the group, filled by ReadIt."},
    {"clsStkpgtxD.call_off_qty_tol", "Call-off quantity tolerance of the group, filled by ReadIt."},
    {"clsStkpgtxD.ReadIt", "Finds product_group in the cached product-group table (loaded on first use) and fills the tolerances."},

    // Order header and its fax row.
    {"clsPOHeadD.order_no", "Order number (the key); the fax companion gets it too."},
    {"clsPOHeadD.pOcurrency", "Currency of the order (column \"currency\")."},
    {"clsPOHeadD.InsertRow", "Inserts the header row, then its fax, exchange-rate and VAT-state rows as the flags and options say."},
    {"clsPOHeadD.DeleteForOrder", "Deletes the header of order_no with its fax, exchange-rate and VAT-state rows."},
    {"clsPOHeadD.CheckIfExists", "True when a header row with order_no exists."},
    {"clsPOHeadD.ReadIt", "Reads the header of order_no, with its fax row and VAT state when the flags say so."},
    {"clsPOHeadD.POHeadX1D", "The fax companion (clsPOHeadx1D) that the header drives."},
    {"clsPOHeadD.UsePOHeadX1", "The order has a fax row: it is read, inserted and deleted with the header."},
    {"clsPOHeadD.operator1", "Operator written to the exchange-rate row; never read back."},
    {"clsPOHeadD.UseIntrastats", "The order has a VAT-state row: it is read, inserted and deleted with the header."},
    {"clsPOHeadD.rate_source", "Held for the caller; no operation reads or writes it."},
    {"clsPOHeadD.delivery_terms", "Held for the caller; no operation reads or writes it."},
    {"clsPOHeadD.contract_number", "Held for the caller; no operation reads or writes it."},
    {"clsPOHeadD.vatstate", "Stored in the VAT-state row."},

    // Order lines, their extension and variance history.
    {"clsPODetailD.order_line_no", "Line number; statements hold it right-aligned in 4 characters. The companions get it too."},
    {"clsPODetailD.order_no", "Order number (the key); the companions get it too."},
    {"clsPODetailD.InsertRow", "Inserts the line, its variance history and analysis rows (not for type C) and its weight row."},
    {"clsPODetailD.StartReadForOrder", "Reads every line of order_no, in line order, ready for ReadNextForOrder."},
    {"clsPODetailD.DeleteForOrder", "Deletes the lines of order_no, their weight rows and, as the flags say, their companion rows."},
    {"clsPODetailD.UpdateForInvoice", "Adds the invoiced quantity and value to the line in one update."},
    {"clsPODetailD.ReadIt", "Reads the line given by order_no and order_line_no."},
    {"clsPODetailD.UsePODetpgD", "The line has an analysis row: it is read, written, copied and deleted with the line."},
    {"clsPODetailD.PODetpgD", "The analysis companion (clsPODetpgD) of the line."},
    {"clsPODetailD.UsePOVHstD", "The line has a variance history row: it is written, copied and deleted with the line."},
    {"clsPODetailD.POVHstD", "The variance history companion (clsPOvhstD) of the line."},
    {"clsPODetailD.UseIntrastats", "Held for the caller; no operation reads it."},
    {"clsPODetpgD.order_line_no", "Line number; statements hold it right-aligned in 4 characters."},
    {"clsPOvhstD.order_line_no", "Line number; statements hold it right-aligned in 4 characters."},
    {"clsPOvhstD.sequence_no", "Sequence number of the history row; statements hold it in 4 characters."},
    {"clsPOvhstD.pOcurrency", "Currency of the row (column \"currency\")."},
    {"clsPOvhstD.InsertRow", "Inserts the history row, and its rate row when the dual-rate option is on."},
    {"clsPOvhstD.ReadFirstForOrder", "Reads the first history row of order orderNo; False when there is none."},

    // Nominal analysis of order lines.
    {"clsPONLCodeD.InsertPONLExtD", "When True, InsertRow also writes the project analysis row."},
    {"clsPONLCodeD.InsertPONLExtG", "When True, InsertRow also writes the retention analysis row."},
    {"clsPONLCodeD.LineNo", "Order line number; part of record_key."},
    {"clsPONLCodeD.orderNo", "Order number; part of record_key."},
    {"clsPONLCodeD.supplier", "Supplier account; part of record_key for record types other than O."},
    {"clsPONLCodeD.code_value", "Amount of the entry."},
    {"clsPONLCodeD.sp_code_value", "Second amount of the entry."},
    {"clsPONLCodeD.page_number", "Number of the analysis row within the line."},
    {"clsPONLCodeD.FormattedPageNumber", "page_number as six digits with leading zeros, as the table holds it."},
    {"clsPONLCodeD.record_key", "The row's key: order and line, with the supplier in front for types other than O."},
    {"clsPONLCodeD.record_type", "Kind of key; O at creation."},
    {"clsPONLCodeD.exprev_code", "Held in the project analysis companion."},
    {"clsPONLCodeD.pr_period", "Held in the project analysis companion."},
    {"clsPONLCodeD.proj_code", "Held in the project analysis companion."},
    {"clsPONLCodeD.retention_code", "Held in the retention analysis companion."},
    {"clsPONLCodeD.non_recov_vat", "Held in the retention analysis companion."},
    {"clsPONLCodeD.retention_type", "Held in the retention analysis companion."},
    {"clsPONLCodeD.InsertRow", "Inserts the analysis row and, as the two flags say, the project and retention rows."},
    {"clsPONLCodeD.DeleteForOrder", "Deletes the analysis, project and retention rows of the order."},
    {"clsPONLCodeD.StartReadForOrderDetailLine", "Reads the analysis rows of the line given by orderNo and LineNo, ready for the walk."},
    {"clsPONLCodeD.ReadNextForOrderDetailLine", "Puts the next row of the walk into the properties; False when there are no more."},
    {"clsPONLCodeD.RestartReadForOrderDetailLine", "Starts the walk again from the first row read, without a new query."},
    {"clsPONLExtD.DeleteForOrder", "Deletes the project analysis rows of order sOrderNo."},
    {"clsPONLExtD.ReadForOrderLine", "Reads the project analysis row of record_key."},
    {"clsPONLAcc.Category", "Nominal category; the key the collection lists the entry under."},
    {"clsPONLAcc.NominalCode", "Nominal code."},
    {"colPONLAcc.Add", "Appends a new entry with NominalCode and Category, under the key Category, and returns it."},

    // On-order stock update.
    {"clsPOOStock.AdjustOnOrderQty", "Loaded with the on-order quantity by ReadIt; added to it by the updates."},
    {"clsPOOStock.physical_qty", "Never loaded; always 0."},
    {"clsPOOStock.last_supplier", "Held; never used."},
    {"clsPOOStock.Unit", "Stock unit of the item (column \"unit_code\")."},
    {"clsPOOStock.ReadIt", "Reads the item of warehouse and product."},
    {"clsPOOStock.UpdateForOrder", "Adds AdjustOnOrderQty to the item's on-order quantity."},
    {"clsPOOStock.PrepareUpdateStatementDeliveryDate", "Prepares the update with the delivery date once per object."},
    {"clsPOOStock.UpdateForOrderDeliveryDate", "Adds AdjustOnOrderQty to the on-order quantity and sets the delivery date."},

    // Pricing, discounts, supplier information and the VAT matrix.
    {"clsPOPPriceListD.Price", "Price (column \"price\")."},
    {"clsPOPPriceListD.CheckIfListExists", "True when the supplier has the price list; raises an error record otherwise."},
    {"clsPOPPriceListD.LoadListForSupplierProduct", "Loads the supplier's rows of the price list for the product; answers how many."},
    {"clsPOPPriceListD.MoveFirstForSupplierProductList", "Starts the walk over the loaded rows again; always False."},
    {"clsPOPPriceListD.MoveNextForSupplierProductList", "Puts the next loaded row into the properties; False when there are no more."},
    {"clsPOPDiscountD.pop_discount_cat", "Kept for clients only: reads as empty text, stores nothing."},
    {"clsPOPDiscountD.ReadIt", "Finds the discount of the three key codes in the object's cached copy of the table."},
    {"clsPOSuppInf.UseCache", "When True, a read with the keys of the last row read leaves the properties as they are."},
    {"clsPOSuppInf.ReadItByPartNo", "Reads the row of supplier and part_no."},
    {"clsPOSuppInf.ReadIt", "Reads the row of supplier, warehouse and product."},
    {"clsPOSuppInf.DeleteSupplier", "Deletes the row of supplier, warehouse and product."},
    {"clsPOSuppInf.CheckIfSupplierExist", "True when the supplier has a row for the warehouse and product."},
    {"clsPOSuppInf.PrepareReadByPartNoStatement", "Prepares the read by part number once per object."},
    {"clsCEVatMatD.UseList", "Stored for the client; no operation reads it."},
    {"clsCEVatMatD.FindClosestCode", "Finds the VAT code of the closest matrix entry for the two VAT types; False when none."},
    {"clsCEVatMatD.ResetCache", "Empties the cached copy of the matrix; the next FindClosestCode loads it again."},

    // Units of measure.
    {"clsSTUnitDD.unit_code", "Unit of measure (the key); trailing blanks are removed."},
    {"clsSTUnitDD.dec_places", "Decimal places of the unit."},
    {"clsSTUnitDD.KeyString", "unit_code: the key colSTUnitD lists a copy under."},
    {"clsSTUnitDD.ReadIt", "Reads the unit of unit_code from the database."},
    {"clsSTUnitCD.KeyString", "base_name in 7 characters, then converted_unit: the key of a cached row."},
    {"clsSTUnitCD.from_max_break", "Upper break of the conversion (column \"to_min_break\")."},
    {"clsSTUnitCD.base_name", "Base unit (key part); trailing blanks are removed."},
    {"clsSTUnitCD.converted_unit", "Unit converted to (key part); trailing blanks are removed."},
    {"clsSTUnitCD.ReadIt", "Reads the conversion of base_name and converted_unit from the database."},
    {"clsSTUnitPD.KeyString", "base_name, converted_unit and warehouse in fixed widths, then product: the key of a cached row."},
    {"clsSTUnitPD.ReadIt", "Reads the conversion of warehouse, product, base_name and converted_unit from the database."},
};
// clang-format on

const std::unordered_map<std::string, std::string_view>& Index() {
  static const std::unordered_map<std::string, std::string_view> index = [] {
    std::unordered_map<std::string, std::string_view> out;
    for (const Meaning& m : kMeanings) out.emplace(LowerCase(m.key), m.text);
    return out;
  }();
  return index;
}

std::string_view Find(std::string_view owner, std::string_view member) {
  const auto& index = Index();
  const auto it = index.find(LowerCase(owner) + "." + LowerCase(member));
  return it == index.end() ? std::string_view() : it->second;
}

std::string_view LayoutText(tables::Layout layout) {
  switch (layout) {
    case tables::Layout::Always: return "";
    case tables::Layout::Kind2: return "; databases of kind 2 only";
    case tables::Layout::NotKind2: return "; not on databases of kind 2";
    case tables::Layout::Extended: return "; extended layout from release 8 only";
    case tables::Layout::ReleaseBelow6: return "; releases below 6 only";
    case tables::Layout::Release6Up: return "; release 6 and later only";
  }
  return "";
}

std::string ColumnMeaning(const ColumnInfo& c) {
  const tables::Column& d = *c.declaration;
  std::string out =
      "Column \"" + std::string(d.name) + "\" of " + std::string(CatalogueTableProperty(d.table));
  if (d.kind == ValueKind::Text && d.size > 0)
    out += " (" + std::to_string(d.size) + (d.size == 1 ? " character)" : " characters)");
  out += LayoutText(d.layout);
  if (d.Has(tables::kDateKeyOnKind2)) out += "; date-key text on kind 2";
  if (d.Has(tables::kNullWhenZero)) out += "; a zero date is written as Null";
  out += ".";
  return out;
}

// "PrepareReadByPartNoStatement": "read by part no".
std::string StatementWords(std::string_view name) {
  std::string out;
  for (char c : name) {
    if (c >= 'A' && c <= 'Z') {
      if (!out.empty()) out += ' ';
      out += static_cast<char>(c - 'A' + 'a');
    } else {
      out += c;
    }
  }
  return out;
}

}  // namespace

std::vector<MeaningKey> MeaningKeys() {
  std::vector<MeaningKey> out;
  for (const Meaning& m : kMeanings) {
    const std::size_t dot = m.key.find('.');
    out.push_back(MeaningKey{m.key.substr(0, dot), m.key.substr(dot + 1)});
  }
  return out;
}

std::string MemberMeaning(const ClassInfo& info, const MemberInfo& member) {
  if (const std::string_view own = Find(info.Name(), member.name); !own.empty()) return std::string(own);
  if (member.column != nullptr && member.column->declaration != nullptr) return ColumnMeaning(*member.column);
  if (const std::string_view shared = Find("*", member.name); !shared.empty()) return std::string(shared);
  constexpr std::string_view kPrepare = "Prepare", kStatement = "Statement";
  const std::string_view name = member.name;
  if (member.is_method && name.size() > kPrepare.size() + kStatement.size() && name.starts_with(kPrepare) &&
      name.ends_with(kStatement)) {
    const std::string words =
        StatementWords(name.substr(kPrepare.size(), name.size() - kPrepare.size() - kStatement.size()));
    return "Prepares the " + words + " statement once per object.";
  }
  return {};
}

}  // namespace tarnlow
