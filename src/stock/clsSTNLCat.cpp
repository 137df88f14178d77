#include "tarnlow/stock/clsSTNLCat.h"

#include <string>

#include "framework/class_builder.h"

namespace tarnlow {

namespace {

// The category column holding the account a kind of movement posts to.
// Every kind the enumeration does not name is refused here, before it can
// reach a statement with no account column in it.
const char* AccountColumn(std::int32_t type) {
  switch (type) {
    case ePurchaseReceipt: return "po_recp_acc";
    default:
      throw Error(vbObjectError, "PORSTNLCat.MovementType",
                  "Invalid movement type " + std::to_string(type) +
                      ": only ePurchaseReceipt (0) has a stock category account");
  }
}

}  // namespace

TARNLOW_DEFINE_CLASS(clsSTNLCat, TARNLOW_clsSTNLCat_PROPERTIES, "{BB09ECDC-28A9-4B64-9A0C-251003D6943D}",
                     "{AD4A49DE-3350-4AC1-9694-428FCC466F67}") {
  b.Creatable()
      .Connection()
      .GetLet<&Self::MovementTypeNumber, &Self::LetMovementTypeNumber>("MovementType", Access::LetGet)
      .Properties()
      .LetByRef({"MovementType", "nl_category"}) TARNLOW_METHODS(PrepareReadStatement, ReadIt);
}

clsSTNLCat::clsSTNLCat() {
  UseHolders({&read_});
}

void clsSTNLCat::MovementType(const eMovementType& type) {
  LetMovementTypeNumber(type);
}

void clsSTNLCat::LetMovementTypeNumber(std::int32_t type) {
  AccountColumn(type);
  movement_type_ = static_cast<eMovementType>(type);
}

void clsSTNLCat::PrepareReadStatement() {
  PrepareOnce(read_, [&] {
    read_.SQL(std::string("select st_balance_acc,") + AccountColumn(movement_type_) + " from " +
              TableName(CatalogueTable::StockCategoryTable) + " where nl_category = ?");
    read_.ClearParameters();
    DeclareParameters(read_, nl_category);
  });
}

void clsSTNLCat::ReadIt() {
  PrepareReadStatement();
  // The balance-sheet account is stored first: a Null movement account
  // fails the read with the balance-sheet account already changed.
  const bool found = ReadByKey(
      read_, {},
      [&](const Recordset& rs) {
        Field(BalanceSheetAccount) = rs.Fields(std::size_t{0}).ToText();
        Field(MovementAccount) = rs.Fields(std::size_t{1}).ToText();
      },
      nl_category);
  if (!found) throw Error(vbObjectError, "PORSTNLCat.ReadIt", "Cannot find stock category " + nl_category());
}

}  // namespace tarnlow
