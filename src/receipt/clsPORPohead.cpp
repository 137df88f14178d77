#include "tarnlow/receipt/clsPORPohead.h"

#include "framework/class_builder.h"
#include "tarnlow/modules.h"

namespace tarnlow {

TARNLOW_DEFINE_CLASS(clsPORPohead, TARNLOW_clsPORPohead_PROPERTIES, "{822DAB47-ED6B-4727-B1F9-92B5A458F332}",
                     "{E88E3DC0-05C4-413C-A179-97430E38CCA1}") {
  b.Creatable().Connection().Properties().Method<&Self::ReadIt>("ReadIt", {"sOrderNo"})
      TARNLOW_METHODS(CloseIt);
}

void clsPORPohead::ReadIt(const std::string& sOrderNo) {
  // The active connection cannot change under an open row, so a read while
  // the previous one is still open fails here, before anything is run.
  rs_.ActiveConnection(Conn().DatabaseConnection());
  rs_.LockType(adLockPessimistic);
  rs_.Source("select order_no, supplier, status, pl_company, currency from " +
             TableName(CatalogueTable::OrderHeaderTable) +
             " where order_no = " + Conn().QuoteLiteral(sOrderNo));
  rs_.CursorType(adOpenKeyset);
  rs_.Open();
  if (rs_.AtEOF()) {
    rs_.Close();
    throw Error(vbObjectError, "PORPohead.ReadIt", "Cannot find order " + sOrderNo);
  }
  // Header columns are fixed-width in the ERP database; callers compare them
  // as codes, so the padding goes.
  auto trimmed = [&](auto& property) {
    Field(property) = RTrim(rs_.Field(*std::remove_reference_t<decltype(property)>::column).ToText());
  };
  trimmed(supplier);
  trimmed(order_no);
  trimmed(status);
  trimmed(pl_company);
  trimmed(PLCurrency);
}

void clsPORPohead::CloseIt() {
  if (rs_.State() == adStateOpen) rs_.Close();
}

}  // namespace tarnlow
