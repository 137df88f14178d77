#include "tarnlow/receipt/clsPORPodet.h"

#include <string>

#include "framework/class_builder.h"
#include "tarnlow/modules.h"
#include "tarnlow/registry.h"

namespace tarnlow {

TARNLOW_DEFINE_PROPERTIES(clsPORPodet, TARNLOW_clsPORPodet_PROPERTIES)

namespace {

// The entries of the list that are columns of the table: all but the
// computed QtyOutstanding in front and line_no at the end.
std::span<const ColumnInfo> TableColumns() {
  const std::span<const ColumnInfo> all = clsPORPodet::Columns();
  return all.subspan(1, all.size() - 2);
}

// A date column's value; Null is the ERP database's "no date" and reads as
// the zero date.
Date DateOf(const Variant& value) {
  return value.IsNull() ? Date() : value.ToDate();
}

}  // namespace

const ClassInfo& clsPORPodet::Info() {
  static const ClassInfo info =
      detail::ClassBuilder<clsPORPodet>("clsPORPodet", "{54A8EB61-334A-413C-8071-129E82CB0978}",
                                        "{9442D958-F3E1-4D68-A514-522C5FB60576}")
          .Creatable()
          .Connection()
          .Properties(Columns())
          .Method<&clsPORPodet::InitReadAllForOrder>("InitReadAllForOrder")
          .Method<&clsPORPodet::ReadNextForOrder>("ReadNextForOrder")
          .Method<&clsPORPodet::ReadIt>("ReadIt")
          .Method<&clsPORPodet::UpdateForReceipt>("UpdateForReceipt")
          .Method<&clsPORPodet::CloseIt>("CloseIt")
          .Build();
  return info;
}

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
  rs_.SetField("tran_recd_qty", tran_recd_qty());
  rs_.SetField("tran_order_qty", tran_order_qty());
  rs_.SetField("qty_received", qty_received());
  rs_.SetField("qty_ordered", qty_ordered());
  rs_.SetField("status", status());
  rs_.SetField("local_expect_cost", local_expect_cost());
  rs_.SetField("local_total_expect", local_total_expect());
  rs_.SetField("foreign_exp_cost", foreign_exp_cost());
  rs_.Update();
}

void clsPORPodet::CloseIt() {
  if (rs_.State() == adStateOpen) rs_.Close();
}

void clsPORPodet::CopyFromRow() {
  const bool kind2 = Conn().DatabaseKind() == 2;
  const std::span<const ColumnInfo> columns = TableColumns();
  // Plain columns go through the generic copy; the three dates have rules
  // of their own and are copied in their place in the column order.
  std::size_t plain_from = 0;
  for (std::size_t i = 0; i < columns.size(); ++i) {
    const ColumnInfo& c = columns[i];
    if (c.kind != ValueKind::Date) continue;
    CopyRow(rs_, columns.subspan(plain_from, i - plain_from));
    plain_from = i + 1;
    if (c.property == "ship_date") {
      // Kind 2 passes over a ship date it cannot read and keeps the previous
      // one; every other kind fails the read as for any other column.
      if (!kind2) {
        c.set(*this, Variant(DateOf(rs_.Fields(c.column))));
        continue;
      }
      try {
        c.set(*this, Variant(DateOf(rs_.Fields(c.column))));
      } catch (const Error&) {
      }
      continue;
    }
    // Receipt writes neither the completion nor the required date, so one
    // that is no date keeps the previous value instead of failing the line.
    const Variant value = rs_.Fields(c.column);
    try {
      c.set(*this, Variant(DateOf(value)));
    } catch (const Error&) {
    }
  }
  CopyRow(rs_, columns.subspan(plain_from));
  // A line number that is no number keeps the previous line_no.
  try {
    line_no = Variant(order_line_no()).ToInt16();
  } catch (const Error&) {
  }
  Field(QtyOutstanding) = qty_ordered() - qty_received();
}

TARNLOW_REGISTER_CLASS(clsPORPodet)

}  // namespace tarnlow
