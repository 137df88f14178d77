// The header of a purchase order as it is written, read back, tested and
// removed as a whole, together with the rows that hang off the same order
// number: the fax row (through the owned clsPOHeadx1D), the exchange-rate
// row of the dual-rate option and the VAT-state row.
#pragma once

#include <memory>
#include <string>

#include "tarnlow/order/clsPOHeadx1D.h"
#include "tarnlow/table_object.h"

namespace tarnlow {

// Column properties in the order the insert names them, then the
// properties that follow the operations on the interface. order_no is not
// in the list: assigning it also renumbers the fax companion.
#define TARNLOW_clsPOHeadD_PROPERTIES(X)                                                                     \
  X(Columns, OrderHeaderTable, LetGet, address1, address2, address3, address4, address5, alpha,              \
    amend_req_no, buyer_id, committed_flag, committed_year)                                                  \
  X(Column, pOcurrency, OrderHeaderTable::currency, LetGet)                                                  \
  X(Columns, OrderHeaderTable, LetGet, date_completed, date_entered, date_required, delivery_address1,       \
    delivery_address2, delivery_address3, delivery_address4, delivery_address5, delivery_address6,           \
    discount_category, exchange_rate, firm_planned, hold_indicator, last_grn_date, last_inv_log_date, memo1, \
    memo2, mrp_included, nl_company)                                                                         \
  X(Columns, OrderHeaderTable, LetGet, orig_paper_req_no, orig_req_id, orig_req_no, parent_order,            \
    pl_company, price_list, spare, status, supplier, supplier_ref, tran_code1, tran_code2, tran_code3,       \
    vat_type)                                                                                                \
  X(Value, UsePOHeadX1, Bool, LetGet)                                                                        \
  X(Value, operator1, Text, LetGet)                                                                          \
  X(Value, UseIntrastats, Bool, LetGet)                                                                      \
  X(Value, rate_source, Text, LetGet)                                                                        \
  X(Value, delivery_terms, Text, LetGet)                                                                     \
  X(Value, contract_number, Text, LetGet)                                                                    \
  X(Value, vatstate, Text, LetGet)                                                                           \
  X(Columns, OrderHeaderTable, LetGet, address6, town_city, county, state_region)                            \
  X(Column, iso_country_Code, OrderHeaderTable::iso_country_code, LetGet)                                    \
  X(Columns, OrderHeaderTable, LetGet, country, del_town_city, del_county, del_state_region)                 \
  X(Column, del_iso_country_code, OrderHeaderTable::del_iso_country_co, LetGet)                              \
  X(Columns, OrderHeaderTable, LetGet, del_country)

class TARNLOW_API clsPOHeadD final : public TableClass<clsPOHeadD> {
  TARNLOW_TABLE_CLASS(clsPOHeadD, TARNLOW_clsPOHeadD_PROPERTIES)
  static constexpr std::string_view kLabelEnding = " Line#:";

  clsPOHeadD();

  const std::string& order_no() const { return order_no_; }
  // Also gives the fax companion the same number.
  void order_no(const std::string& value);

  void PrepareInsertStatement();
  // Writes the header row, then the fax row (UsePOHeadX1), the exchange-rate
  // row (dual-rate option) and the VAT-state row (UseIntrastats), in that
  // order and without a transaction. A duplicate order number is reported as
  // "Purchase Order: ... already exists"; failures of the last two rows
  // reach the caller as the database gave them.
  void InsertRow();
  // Deletes the header row and the companion rows the flags and options
  // name; stops at the first failure. The result is always Empty.
  Variant DeleteForOrder();
  bool CheckIfExists();
  // Reads the header (joined with its fax row when UsePOHeadX1), then the
  // exchange rate and the VAT state as the option and flag say; raises
  // "Purchase order :... not found" and keeps the properties when there is
  // no header.
  void ReadIt();

  // The fax companion, created on first use.
  std::shared_ptr<clsPOHeadx1D> POHeadX1D();

 private:
  TARNLOW_LOCAL void ConnectionChanged() override;
  TARNLOW_LOCAL void AddParameters();
  TARNLOW_LOCAL void SetInsertParameters();
  TARNLOW_LOCAL void PrepareRateInsertStatement();
  TARNLOW_LOCAL void SetRateParameters();
  TARNLOW_LOCAL void PrepareVatStateInsertStatement();
  TARNLOW_LOCAL void SetVatStateParameters();
  TARNLOW_LOCAL void CopyFromRst(const Recordset& rs);
  // Release 8 and up with the extended flag: wider addresses and eleven
  // more columns. Asked afresh each time, as the system information says.
  TARNLOW_LOCAL bool ExtendedAddressLayout();
  TARNLOW_LOCAL bool DualRate();

  std::string order_no_;
  std::shared_ptr<clsPOHeadx1D> fax_;
  StatementHolder insert_, rate_insert_, vat_state_insert_;
};

}  // namespace tarnlow
