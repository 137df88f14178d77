#include "tarnlow/receipt/clsPORPohead.h"

#include <array>
#include <string_view>

#include "framework/class_builder.h"
#include "tarnlow/modules.h"
#include "tarnlow/registry.h"

namespace tarnlow {

TARNLOW_DEFINE_PROPERTIES(clsPORPohead, TARNLOW_clsPORPohead_PROPERTIES)

const ClassInfo& clsPORPohead::Info() {
  static const ClassInfo info =
      detail::ClassBuilder<clsPORPohead>("clsPORPohead", "{822DAB47-ED6B-4727-B1F9-92B5A458F332}",
                                         "{E88E3DC0-05C4-413C-A179-97430E38CCA1}")
          .Creatable()
          .Connection()
          .Properties(Columns())
          .Method<&clsPORPohead::ReadIt>("ReadIt", {"sOrderNo"})
          .Method<&clsPORPohead::CloseIt>("CloseIt")
          .Build();
  return info;
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
  static constexpr std::array<std::string_view, 5> kCopyOrder{"supplier", "order_no", "status", "pl_company",
                                                              "PLCurrency"};
  for (std::string_view property : kCopyOrder) {
    const ColumnInfo& c = FindColumn(Columns(), property);
    c.set(*this, Variant(RTrim(rs_.Fields(c.column).ToText())));
  }
}

void clsPORPohead::CloseIt() {
  if (rs_.State() == adStateOpen) rs_.Close();
}

TARNLOW_REGISTER_CLASS(clsPORPohead)

}  // namespace tarnlow
