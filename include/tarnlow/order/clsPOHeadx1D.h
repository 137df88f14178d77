// The fax row of a purchase order: one order number and its fax number. An
// order header object owns one of these and drives it; clients reach it
// through the header's POHeadX1D.
#pragma once

#include <memory>

#include "tarnlow/table_object.h"

namespace tarnlow {

#define TARNLOW_clsPOHeadx1D_PROPERTIES(X) X(Columns, OrderFaxTable, LetGet, fax, order_no)

class TARNLOW_API clsPOHeadx1D final : public TableClass<clsPOHeadx1D> {
  TARNLOW_TABLE_CLASS(clsPOHeadx1D, TARNLOW_clsPOHeadx1D_PROPERTIES)

  clsPOHeadx1D();

  // The connection lives in the insert statement's holder alone: this is
  // what the holder holds, with no check and no message when there is none.
  std::shared_ptr<Connection> SageConnection() { return insert_.Connection(); }
  using TableObject::SageConnection;

  // Inserts fax and order_no.
  void InsertRow();
  // Empties fax; order_no stays.
  void Reset();
  // fax and order_no from the current row, a Null giving empty text.
  void CopyFromRecordset(const Recordset& rst);
  void CopyFrom(const clsPOHeadx1D& oPOHeadx1D);
  // Deletes the fax row of order_no; the result is always Empty.
  Variant DeleteForOrder();

 private:
  TARNLOW_LOCAL void PrepareInsertStatement();
  TARNLOW_LOCAL void AddParameters();
  // Late-bound clients hold no row set object to pass.
  TARNLOW_LOCAL void CopyFromRecordsetLateBound(const ObjectPtr& rst);

  StatementHolder insert_;
};

}  // namespace tarnlow
