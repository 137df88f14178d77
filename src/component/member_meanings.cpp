// What each member of the public classes is for, one line each, for the
// class reference. A stored column property says which column it holds; the
// members many classes share (the connection, the prepare and copy
// operations, the collection members) have one line for all; the rest are
// kept here by class. A class added to the registry without its lines shows
// up in the reference test, which names every member that lacks one.
#include <string>
#include <string_view>
#include <unordered_map>

#include "framework/text.h"
#include "tarnlow/connection.h"
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
  std::string out = "Column \"" + std::string(d.name) + "\" of " + std::string(CatalogueTableProperty(d.table));
  if (d.kind == ValueKind::Text && d.size > 0) out += " (" + std::to_string(d.size) + " characters)";
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
