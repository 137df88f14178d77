#include "tarnlow/order/clsPOHeadx1D.h"

#include "connection/database_connection.h"
#include "framework/class_builder.h"
#include "tarnlow/modules.h"

namespace tarnlow {

TARNLOW_DEFINE_CLASS(clsPOHeadx1D, TARNLOW_clsPOHeadx1D_PROPERTIES, "{A7A4E241-F868-4E94-94E0-6B3AFC500C39}",
                     "{95D7B0A9-10C4-43CA-BCC3-141AC6F8B1EC}") {
  b.Creatable()
      .Connection(Access::SetGet)
      .Properties() TARNLOW_METHODS(InsertRow, Reset)
      .Method<&Self::CopyFromRecordsetLateBound>("CopyFromRecordset", {"rst"})
      .Method<&Self::CopyFrom>("CopyFrom", {"oPOHeadx1D"}) TARNLOW_METHODS(DeleteForOrder);
}

namespace {

// The labels name the module as it was first called, without the D.
constexpr std::string_view kPrepareLabel = "PrepareInsertStatement of Class Module clsPOHeadx1";
constexpr std::string_view kAddParametersLabel = "AddParameters of Class Module clsPOHeadx1";
constexpr std::string_view kInsertLabel = "InsertRow of Class Module clsPOHeadx1";
constexpr std::string_view kCopyRecordsetLabel = "CopyFromRecordset of Class Module clsPOHeadx1";
constexpr std::string_view kCopyLabel = "CopyFrom of Class Module clsPOHeadx1";
constexpr std::string_view kDeleteLabel = "DeleteForOrder of Class Module clsPOHeadx1";

}  // namespace

clsPOHeadx1D::clsPOHeadx1D() {
  UseHolders({&insert_});
  Reset();
}

void clsPOHeadx1D::PrepareInsertStatement() {
  WithErrorExit(kPrepareLabel, [&](Line& line) {
    line = 10;
    // Marked before it is built, so a statement that failed to build is not
    // built again on the same connection.
    insert_.Prepared(true);
    line = 20;
    insert_.SQL("INSERT INTO " + TableName(CatalogueTable::OrderFaxTable) + " ( fax,order_no)" +
                " VALUES (?,?)");
    line = 30;
    AddParameters();
  });
}

void clsPOHeadx1D::AddParameters() {
  WithErrorExit(kAddParametersLabel, [&](Line& line) {
    line = 10;
    DeclareParameters(insert_, fax, order_no);
  });
}

void clsPOHeadx1D::InsertRow() {
  WithErrorExit(kInsertLabel, [&](Line& line) {
    line = 10;
    if (!insert_.Prepared()) PrepareInsertStatement();
    line = 20;
    insert_.SetTextValue(tables::OrderFaxTable::fax.name, fax());
    insert_.SetTextValue(tables::OrderFaxTable::order_no.name, order_no());
    line = 30;
    insert_.Command().ExecuteNoCount();
  });
}

void clsPOHeadx1D::Reset() {
  fax = std::string();
}

void clsPOHeadx1D::CopyFromRecordset(const Recordset& rst) {
  WithErrorExit(kCopyRecordsetLabel, [&](Line& line) {
    line = 10;
    fax = NullToText(rst.Fields(tables::OrderFaxTable::fax.name));
    line = 20;
    order_no = NullToText(rst.Fields(tables::OrderFaxTable::order_no.name));
  });
}

void clsPOHeadx1D::CopyFromRecordsetLateBound(const ObjectPtr&) {
  RaiseRuntime(err::TypeMismatch);
}

void clsPOHeadx1D::CopyFrom(const clsPOHeadx1D& oPOHeadx1D) {
  WithErrorExit(kCopyLabel, [&](Line& line) {
    line = 10;
    fax = oPOHeadx1D.fax();
    order_no = oPOHeadx1D.order_no();
  });
}

Variant clsPOHeadx1D::DeleteForOrder() {
  WithErrorExit(kDeleteLabel, [&](Line& line) {
    line = 10;
    const std::string sql = "delete from " + TableName(CatalogueTable::OrderFaxTable) +
                            " where order_no = " + Conn().QuoteLiteral(order_no());
    line = 20;
    Conn().DatabaseConnection().Execute(sql);
  });
  return {};
}

}  // namespace tarnlow
