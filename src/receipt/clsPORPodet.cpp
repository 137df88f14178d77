#include "tarnlow/receipt/clsPORPodet.h"

#include <string>

#include "framework/class_builder.h"
#include "tarnlow/modules.h"

namespace tarnlow {

TARNLOW_DEFINE_CLASS(clsPORPodet, TARNLOW_clsPORPodet_PROPERTIES, "{54A8EB61-334A-413C-8071-129E82CB0978}",
                     "{9442D958-F3E1-4D68-A514-522C5FB60576}") {
  b.Creatable()
      .Connection()
      .Get<&Self::QtyOutstanding>("QtyOutstanding")
      .Properties() TARNLOW_METHODS(InitReadAllForOrder, ReadNextForOrder, ReadIt, UpdateForReceipt, CloseIt);
}

namespace {

// A date column's value; Null is the ERP database's "no date" and reads as
// the zero date.
Variant DateOf(const Variant& value) {
  return Variant(value.IsNull() ? Date() : value.ToDate());
}

}  // namespace

void clsPORPodet::InitReadAllForOrder() {
  CloseIt();
  rs_.ActiveConnection(Conn().DatabaseConnection());
  rs_.LockType(adLockReadOnly);
  rs_.CursorType(adOpenForwardOnly);
  rs_.Source(
      "select * "
      " from " +
      TableName(CatalogueTable::OrderLineTable) + " where order_no = " + Conn().QuoteLiteral(order_no()));
}

bool clsPORPodet::ReadNextForOrder() {
  if (rs_.State() == adStateOpen)
    rs_.MoveNext();
  else
    rs_.Open();
  if (rs_.AtEOF()) return false;
  CopyFromRow();
  return true;
}

void clsPORPodet::ReadIt() {
  rs_.ActiveConnection(Conn().DatabaseConnection());
  rs_.LockType(adLockOptimistic);
  rs_.CursorType(adOpenStatic);
  // order_line_no holds the line number right-aligned in four characters.
  rs_.Source(
      "select * "
      " from " +
      TableName(CatalogueTable::OrderLineTable) + " where order_no = " + Conn().QuoteLiteral(order_no()) +
      " and order_line_no=" + Conn().QuoteLiteral(RightJustify(line_no(), 4)));
  rs_.Open();
  // The row set stays open on a miss as well: CloseIt comes before the next read.
  if (rs_.AtEOF())
    throw Error(vbObjectError, "PORPodet.ReadIt",
                "Cannot find order line " + order_no() + "," + std::to_string(line_no()));
  CopyFromRow();
}

void clsPORPodet::UpdateForReceipt() {
  // Only what a receipt changes goes back; the row set writes the changed
  // fields alone, so concurrent edits of other columns survive.
  auto put = [&](const auto& property) {
    rs_.SetField(*std::remove_cvref_t<decltype(property)>::column, Variant(property()));
  };
  put(tran_recd_qty);
  put(tran_order_qty);
  put(qty_received);
  put(qty_ordered);
  put(status);
  put(local_expect_cost);
  put(local_total_expect);
  put(foreign_exp_cost);
  rs_.Update();
}

void clsPORPodet::CloseIt() {
  if (rs_.State() == adStateOpen) rs_.Close();
}

void clsPORPodet::CopyFromRow() {
  CopyRow(rs_, Columns(), [](TableObject& self, const ColumnInfo& c, const Variant* field) {
    auto& line = static_cast<clsPORPodet&>(self);
    // Kind 2 passes over a ship date it cannot read or convert and keeps the
    // previous one; every other kind fails the read as for any other column.
    // Receipt writes neither the completion nor the required date, so one
    // that is no date keeps the previous value instead of failing the line.
    const bool ship_date = c.declaration == &tables::OrderLineTable::ship_date;
    const bool passed_over = !ship_date || line.KindTwo();
    if (field == nullptr) {
      if (ship_date && passed_over) return;
      RaiseRuntime(err::ItemNotFound);
    }
    try {
      line.Assign(c, DateOf(*field));
    } catch (const Error&) {
      if (!passed_over) throw;
    }
  });
  // A line number that is no number keeps the previous line_no.
  try {
    line_no = Variant(order_line_no()).ToInt16();
  } catch (const Error&) {
  }
}

}  // namespace tarnlow
