#include "tarnlow/stock/clsSTNLCat.h"

#include <span>
#include <string>

#include "framework/class_builder.h"
#include "tarnlow/registry.h"

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

TARNLOW_DEFINE_PROPERTIES(clsSTNLCat, TARNLOW_clsSTNLCat_PROPERTIES)

clsSTNLCat::clsSTNLCat() {
  UseHolders({&read_});
}

const ClassInfo& clsSTNLCat::Info() {
  static const ClassInfo info =
      detail::ClassBuilder<clsSTNLCat>("clsSTNLCat", "{BB09ECDC-28A9-4B64-9A0C-251003D6943D}",
                                       "{AD4A49DE-3350-4AC1-9694-428FCC466F67}")
          .Creatable()
          .Connection()
          .GetLet<&clsSTNLCat::MovementTypeNumber, &clsSTNLCat::LetMovementTypeNumber>("MovementType",
                                                                                       Access::LetGet)
          .Properties(Columns())
          .Method<&clsSTNLCat::PrepareReadStatement>("PrepareReadStatement")
          .Method<&clsSTNLCat::ReadIt>("ReadIt")
          .Build();
  return info;
}

void clsSTNLCat::MovementType(const eMovementType& type) {
  LetMovementTypeNumber(type);
}

void clsSTNLCat::LetMovementTypeNumber(std::int32_t type) {
  AccountColumn(type);
  movement_type_ = static_cast<eMovementType>(type);
}

void clsSTNLCat::PrepareReadStatement() {
  if (read_prepared_) return;
  read_.SQL(std::string("select st_balance_acc,") + AccountColumn(movement_type_) + " from " +
            TableName(CatalogueTable::StockCategoryTable) + " where nl_category = ?");
  read_.ClearParameters();
  DeclareParameters(read_, std::span(&FindColumn(Columns(), "nl_category"), 1));
  read_prepared_ = true;
}

void clsSTNLCat::ReadIt() {
  PrepareReadStatement();
  Command& command = read_.Command();
  SetParameter(command, FindColumn(Columns(), "nl_category"));
  rs_ = command.Execute();
  if (rs_->AtEOF()) {
    rs_->Close();
    throw Error(vbObjectError, "PORSTNLCat.ReadIt", "Cannot find stock category " + nl_category());
  }
  // Both are taken before either is stored, so that a failing conversion
  // (a Null account) leaves the pair as it was.
  std::string balance, movement;
  try {
    balance = rs_->Fields(std::size_t{0}).ToText();
    movement = rs_->Fields(std::size_t{1}).ToText();
  } catch (...) {
    rs_->Close();
    throw;
  }
  Field(BalanceSheetAccount) = std::move(balance);
  Field(MovementAccount) = std::move(movement);
  rs_->Close();
}

TARNLOW_REGISTER_CLASS(clsSTNLCat)

}  // namespace tarnlow
