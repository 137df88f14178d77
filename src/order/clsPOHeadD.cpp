#include "tarnlow/order/clsPOHeadD.h"

#include <vector>

#include "connection/database_connection.h"
#include "framework/class_builder.h"
#include "tarnlow/modules.h"

namespace tarnlow {

TARNLOW_DEFINE_CLASS(clsPOHeadD, TARNLOW_clsPOHeadD_PROPERTIES, "{2AFF014F-F474-4708-AEDA-8B6202E44B96}",
                     "{D6B2B827-A63F-4612-B972-8DE4EA0BE913}") {
  b.Creatable()
      .Connection()
      .Properties<&Self::address1, &Self::nl_company>()
      .GetLet<static_cast<const std::string& (Self::*)() const>(&Self::order_no),
              static_cast<void (Self::*)(const std::string&)>(&Self::order_no)>("order_no", Access::LetGet)
      .Properties<&Self::orig_paper_req_no, &Self::vat_type>()
          TARNLOW_METHODS(PrepareInsertStatement, InsertRow, DeleteForOrder, CheckIfExists, ReadIt)
      .Get<&Self::POHeadX1D>("POHeadX1D")
      .Properties<&Self::UsePOHeadX1, &Self::del_country>();
}

namespace {

namespace H = tables::OrderHeaderTable;

// The header's columns in the order the insert names them.
// clang-format off
constexpr const tables::Column* kInsertColumns[] = {
    &H::address1,          &H::address2,          &H::address3,          &H::address4,
    &H::address5,          &H::alpha,             &H::amend_req_no,      &H::buyer_id,
    &H::committed_flag,    &H::committed_year,    &H::currency,          &H::date_completed,
    &H::date_entered,      &H::date_required,     &H::delivery_address1, &H::delivery_address2,
    &H::delivery_address3, &H::delivery_address4, &H::delivery_address5, &H::delivery_address6,
    &H::discount_category, &H::exchange_rate,     &H::firm_planned,      &H::hold_indicator,
    &H::last_grn_date,     &H::last_inv_log_date, &H::memo1,             &H::memo2,
    &H::mrp_included,      &H::nl_company,        &H::order_no,          &H::orig_paper_req_no,
    &H::orig_req_id,       &H::orig_req_no,       &H::parent_order,      &H::pl_company,
    &H::price_list,        &H::spare,             &H::status,            &H::supplier,
    &H::supplier_ref,      &H::tran_code1,        &H::tran_code2,        &H::tran_code3,
    &H::vat_type};
// clang-format on
// The eleven columns of the extended address layout, in insert order.
constexpr const tables::Column* kExtendedColumns[] = {
    &H::address6,   &H::town_city,     &H::county,     &H::state_region,     &H::iso_country_code,
    &H::country,    &H::del_town_city, &H::del_county, &H::del_state_region, &H::del_iso_country_co,
    &H::del_country};

// The address lines are as wide as the layout allows.
bool IsAddressLine(const tables::Column* c) {
  for (const tables::Column* a : {&H::address1, &H::address2, &H::address3, &H::address4, &H::address5,
                                  &H::delivery_address1, &H::delivery_address2, &H::delivery_address3,
                                  &H::delivery_address4, &H::delivery_address5, &H::delivery_address6})
    if (c == a) return true;
  return false;
}

// A column with the property that holds it; none for order_no, which the
// class keeps itself.
struct Slot {
  const tables::Column* column;
  const ColumnInfo* property;
};

template <std::size_t N>
std::vector<Slot> SlotsOf(const tables::Column* const (&columns)[N]) {
  std::vector<Slot> out;
  for (const tables::Column* c : columns) {
    const ColumnInfo* property = nullptr;
    for (const ColumnInfo& info : clsPOHeadD::Columns())
      if (info.declaration == c) property = &info;
    out.push_back(Slot{c, property});
  }
  return out;
}

const std::vector<Slot>& InsertSlots() {
  static const std::vector<Slot> slots = SlotsOf(kInsertColumns);
  return slots;
}
const std::vector<Slot>& ExtendedSlots() {
  static const std::vector<Slot> slots = SlotsOf(kExtendedColumns);
  return slots;
}

// Parameter names of the companion inserts that are not column names.
constexpr const char* kRateOperator1 = "operator1";
constexpr const char* kRateOperator2 = "operator2";
constexpr const char* kVatStateSpare = "spare";

// A date field: Null is "no date", the zero date.
Date DateOf(const Variant& field) {
  return field.IsNull() ? Date() : field.ToDate();
}

std::string OrderCondition(Connection& conn, const std::string& order_no) {
  return " where order_no = " + conn.QuoteLiteral(order_no);
}

// Runs an insert whose duplicate key can only mean that the order number is
// taken, and says so.
template <class Insert>
void InsertUnlessExisting(const std::string& order_no, Insert&& insert) {
  try {
    insert();
  } catch (const Error& e) {
    if (e.Number() != DbIntegrityViolation) throw;
    throw Error(e.Number(), e.Source(),
                "Purchase Order: " + order_no + " already exists \r\n" + e.Description());
  }
}

}  // namespace

clsPOHeadD::clsPOHeadD() {
  UseHolders({&insert_, &rate_insert_, &vat_state_insert_});
}

std::shared_ptr<clsPOHeadx1D> clsPOHeadD::POHeadX1D() {
  if (!fax_) fax_ = std::make_shared<clsPOHeadx1D>();
  return fax_;
}

void clsPOHeadD::order_no(const std::string& value) {
  order_no_ = value;
  POHeadX1D()->order_no = value;
}

void clsPOHeadD::ConnectionChanged() {
  for (StatementHolder* holder : {&insert_, &rate_insert_, &vat_state_insert_}) holder->Prepared(false);
  POHeadX1D()->SageConnection(StoredConnection());
}

bool clsPOHeadD::ExtendedAddressLayout() {
  const auto info = Conn().SystemInfo();
  return info->ReleaseNumber() >= 8 && info->ExtendedLayout();
}

bool clsPOHeadD::DualRate() {
  return Conn().SystemInfo()->DualRateOption();
}

void clsPOHeadD::PrepareInsertStatement() {
  WithErrorExit(Label<"PrepareInsertStatement">(), [&](Line& line) {
    line = 10;
    PrepareOnce(insert_, [&] {
      line = 20;
      const bool extended = ExtendedAddressLayout();
      line = 30;
      insert_.SQL(
          "INSERT INTO " + TableName(CatalogueTable::OrderHeaderTable) +
          "( address1,address2,address3,address4,address5,alpha,amend_req_no,buyer_id,committed_flag,"
          "committed_year,currency" +
          ",date_completed,date_entered,date_required,delivery_address1,delivery_address2,delivery_address3,"
          "delivery_address4,delivery_address5,delivery_address6,discount_category" +
          ",exchange_rate,firm_planned,hold_indicator,last_grn_date,last_inv_log_date,memo1,memo2,"
          "mrp_included,nl_company,order_no" +
          ",orig_paper_req_no,orig_req_id,orig_req_no,parent_order,pl_company,price_list,spare,status,"
          "supplier,supplier_ref" +
          ",tran_code1,tran_code2,tran_code3,vat_type" +
          (extended
               ? ",address6,town_city,county,state_region,iso_country_code,country,del_town_city,del_county,"
                 "del_state_region,del_iso_country_co,del_country)"
               : ")") +
          " VALUES ( ?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,? " +
          ",?,?,?,?" + (extended ? ",?,?,?,?,?,?,?,?,?,?,?)" : ")"));
      line = 40;
      // Prepared again after a new connection: the parameters start afresh.
      insert_.ClearParameters();
      AddParameters();
      line = 50;
    });
  });
}

void clsPOHeadD::AddParameters() {
  WithErrorExit(Label<"AddParameters">(), [&](Line& line) {
    line = 10;
    const bool extended = ExtendedAddressLayout();
    const std::int32_t address_width = extended ? 64 : 32;
    auto declare = [&](const tables::Column* c) {
      switch (c->kind) {
        case ValueKind::Text:
          insert_.AddTextParameter(c->name, IsAddressLine(c) ? address_width : c->size);
          break;
        case ValueKind::Date: insert_.AddDateParameter(c->name); break;
        default: insert_.AddNumberParameter(c->name); break;
      }
    };
    line = 20;
    for (const tables::Column* c : kInsertColumns) declare(c);
    line = 30;
    if (extended)
      for (const tables::Column* c : kExtendedColumns) declare(c);
  });
}

void clsPOHeadD::SetInsertParameters() {
  Connection& conn = Conn();
  const bool dual_rate = DualRate();
  Command& command = insert_.Command();
  auto assign = [&](const Slot& slot) {
    Parameter& p = command[slot.column->name];
    switch (slot.column->kind) {
      case ValueKind::Text: {
        std::string text = slot.property ? slot.property->get(*this).ToText() : order_no_;
        // The supplier account goes in exactly as the caller gave it.
        p.value = slot.column == &H::supplier ? Variant(std::move(text)) : conn.TextValue(text);
        break;
      }
      case ValueKind::Date: p.value = conn.DateValue(slot.property->get(*this).ToDate()); break;
      default:
        // Under the dual-rate option the rate lives in the exchange-rate row.
        p.value = Variant(dual_rate ? 0.0 : exchange_rate());
        break;
    }
  };
  for (const Slot& slot : InsertSlots()) assign(slot);
  if (ExtendedAddressLayout())
    for (const Slot& slot : ExtendedSlots()) assign(slot);
}

void clsPOHeadD::PrepareRateInsertStatement() {
  PrepareOnce(rate_insert_, [&] {
    rate_insert_.SQL("INSERT INTO " + TableName(CatalogueTable::OrderRateTable) +
                     " (order_no, exchange_rate1, " +
                     " exchange_rate2, operator_1, operator_2) VALUES (?,?,?,?,?)");
    rate_insert_.ClearParameters();
    rate_insert_.AddTextParameter(tables::OrderRateTable::order_no.name, 10);
    rate_insert_.AddNumberParameter(tables::OrderRateTable::exchange_rate1.name);
    rate_insert_.AddNumberParameter(tables::OrderRateTable::exchange_rate2.name);
    rate_insert_.AddTextParameter(kRateOperator1, 1);
    rate_insert_.AddTextParameter(kRateOperator2, 1);
  });
}

void clsPOHeadD::SetRateParameters() {
  rate_insert_.SetTextValue(tables::OrderRateTable::order_no.name, order_no_);
  rate_insert_.SetNumberValue(tables::OrderRateTable::exchange_rate1.name, exchange_rate());
  rate_insert_.SetNumberValue(tables::OrderRateTable::exchange_rate2.name, 0.0);
  rate_insert_.SetTextValue(kRateOperator1, operator1());
  rate_insert_.SetTextValue(kRateOperator2, std::string());
}

void clsPOHeadD::PrepareVatStateInsertStatement() {
  PrepareOnce(vat_state_insert_, [&] {
    vat_state_insert_.SQL("INSERT INTO " + TableName(CatalogueTable::OrderVatStateTable) +
                          " (order_no, vatstate, " + SpareColumnName(SageConnection()) + " ) VALUES (?,?,?)");
    vat_state_insert_.ClearParameters();
    vat_state_insert_.AddTextParameter(tables::OrderVatStateTable::order_no.name, 10);
    vat_state_insert_.AddTextParameter(tables::OrderVatStateTable::vatstate.name, 3);
    // The parameter keeps its name whichever spare column it fills.
    vat_state_insert_.AddTextParameter(kVatStateSpare, 5);
  });
}

void clsPOHeadD::SetVatStateParameters() {
  vat_state_insert_.SetTextValue(tables::OrderVatStateTable::order_no.name, order_no_);
  vat_state_insert_.SetTextValue(tables::OrderVatStateTable::vatstate.name, vatstate());
  vat_state_insert_.SetTextValue(kVatStateSpare, std::string());
}

void clsPOHeadD::InsertRow() {
  WithErrorExit(Label<"InsertRow">(), [&](Line& line) {
    line = 10;
    PrepareInsertStatement();
    line = 20;
    SetInsertParameters();
    line = 30;
    InsertUnlessExisting(order_no_, [&] { insert_.Command().ExecuteNoCount(); });
    line = 40;
    if (UsePOHeadX1()) InsertUnlessExisting(order_no_, [&] { POHeadX1D()->InsertRow(); });
  });
  // The rate and VAT-state rows report their failures as they come, with
  // the header (and fax) row already written.
  if (DualRate()) {
    PrepareRateInsertStatement();
    SetRateParameters();
    rate_insert_.Command().ExecuteNoCount();
  }
  if (UseIntrastats()) {
    PrepareVatStateInsertStatement();
    SetVatStateParameters();
    vat_state_insert_.Command().ExecuteNoCount();
  }
}

Variant clsPOHeadD::DeleteForOrder() {
  WithDirectErrorExit(Label<"DeleteForOrder">(), [&](Line& line) {
    line = 10;
    DatabaseConnection& db = Conn().DatabaseConnection();
    line = 20;
    db.Execute("delete from " + TableName(CatalogueTable::OrderHeaderTable) +
               OrderCondition(Conn(), order_no_));
    line = 30;
    if (UsePOHeadX1()) POHeadX1D()->DeleteForOrder();
    line = 40;
    if (DualRate())
      db.Execute("delete from " + TableName(CatalogueTable::OrderRateTable) +
                 OrderCondition(Conn(), order_no_));
    line = 50;
    if (UseIntrastats())
      db.Execute("delete from " + TableName(CatalogueTable::OrderVatStateTable) +
                 OrderCondition(Conn(), order_no_));
  });
  return {};
}

bool clsPOHeadD::CheckIfExists() {
  return WithErrorExit(Label<"CheckIfExists">(), [&](Line& line) {
    line = 10;
    Recordset rs;
    rs.Open("select order_no from " + TableName(CatalogueTable::OrderHeaderTable) +
                OrderCondition(Conn(), order_no_),
            Conn().DatabaseConnection(), adOpenForwardOnly, adLockReadOnly);
    line = 20;
    const bool exists = !rs.AtEOF();
    rs.Close();
    return exists;
  });
}

void clsPOHeadD::ReadIt() {
  WithErrorExit(Label<"ReadIt">(), [&](Line& line) {
    line = 10;
    DatabaseConnection& db = Conn().DatabaseConnection();
    const std::string header = TableName(CatalogueTable::OrderHeaderTable);
    std::string sql;
    if (UsePOHeadX1())
      sql = "select T1.*, T2.fax from " + header + " T1 left outer join " +
            TableName(CatalogueTable::OrderFaxTable) + " T2 " + " on T1.order_no =T2.order_no" +
            " where T1.order_no = " + Conn().QuoteLiteral(order_no_);
    else
      sql = "select * from " + header + OrderCondition(Conn(), order_no_);
    line = 20;
    {
      Recordset rs;
      rs.Open(sql, db, adOpenForwardOnly, adLockReadOnly);
      line = 30;
      if (rs.AtEOF()) {
        rs.Close();
        throw Error(vbObjectError, RuntimeSource, "Purchase order :" + order_no_ + " not found");
      }
      line = 40;
      CopyFromRst(rs);
      rs.Close();
    }
    line = 50;
    if (DualRate()) {
      Recordset rs;
      rs.Open("select exchange_rate1 from " + TableName(CatalogueTable::OrderRateTable) +
                  OrderCondition(Conn(), order_no_),
              db, adOpenForwardOnly, adLockReadOnly);
      line = 60;
      if (!rs.AtEOF()) exchange_rate = rs.Fields(tables::OrderRateTable::exchange_rate1.name).ToDouble();
      rs.Close();
    }
    line = 70;
    if (UseIntrastats()) {
      Recordset rs;
      rs.Open("select vatstate from " + TableName(CatalogueTable::OrderVatStateTable) +
                  OrderCondition(Conn(), order_no_),
              db, adOpenForwardOnly, adLockReadOnly);
      line = 80;
      if (!rs.AtEOF()) vatstate = NullToText(rs.Fields(tables::OrderVatStateTable::vatstate.name));
      rs.Close();
    }
  });
}

void clsPOHeadD::CopyFromRst(const Recordset& rs) {
  WithErrorExit(Label<"CopyFromRst">(), [&](Line& line) {
    const ValueConverter& converter = ValueConverter::Shared();
    auto copy = [&](const Slot& slot) {
      const Variant field = rs.Fields(slot.column->name);
      switch (slot.column->kind) {
        case ValueKind::Text:
          if (slot.property)
            Assign(*slot.property, Variant(converter.FieldText(field)));
          else
            order_no(converter.FieldText(field));
          break;
        case ValueKind::Date:
          if (slot.column == &H::date_completed) {
            // A completion date that is no date reads as none.
            Date date;
            try {
              date = DateOf(field);
            } catch (const Error&) {
            }
            date_completed = date;
          } else {
            Assign(*slot.property, Variant(DateOf(field)));
          }
          break;
        default: Assign(*slot.property, field); break;
      }
    };
    line = 10;
    for (const Slot& slot : InsertSlots()) copy(slot);
    line = 20;
    if (ExtendedAddressLayout())
      for (const Slot& slot : ExtendedSlots()) copy(slot);
    line = 30;
    // Without the join, or without a fax row, the fax is empty.
    if (UsePOHeadX1() && !rs.Fields(tables::OrderFaxTable::fax.name).IsNull())
      POHeadX1D()->CopyFromRecordset(rs);
    else
      POHeadX1D()->Reset();
  });
}

}  // namespace tarnlow
