#include "tarnlow/order/clsPOvhstD.h"

#include <algorithm>

#include "framework/class_builder.h"
#include "order/order_support.h"

namespace tarnlow {

TARNLOW_DEFINE_CLASS(clsPOvhstD, TARNLOW_clsPOvhstD_PROPERTIES, "{8C84EA2F-6317-4053-9B89-1D6AD4E201BD}",
                     "{E5EB0C45-829B-404D-8A4B-64393AA50436}") {
  b.Creatable()
      .Connection(Access::SetGet)
      .Properties<&Self::accruals_reversed, &Self::warehouse>() TARNLOW_METHODS(InsertRow, Reset)
      .Method<&Self::CopyFromRecordsetLate>("CopyFromRecordset", {"rst"})
      .Method<&Self::CopyFrom>("CopyFrom", {"oPOVHstD"}) TARNLOW_METHODS(DeleteForOrder)
      .Properties<&Self::receipt_rate2, &Self::plan_rate1>()
      .Method<&Self::ReadFirstForOrder>("ReadFirstForOrder", {"orderNo"});
}

namespace {

// The labels of the copy, delete and read carry their line after " line no:".
template <class Body>
decltype(auto) WithLineNoExit(std::string_view label, Body&& body) {
  Line line = 0;
  try {
    return detail::RunClearingOnReturn(body, line);
  } catch (...) {
    detail::LeaveBySavedExit(std::string(label) + std::to_string(line), line);
  }
}

// The currency column's parameter is named apart from its column.
constexpr std::string_view kCurrencyParameter = "POCurrency";

}  // namespace

clsPOvhstD::clsPOvhstD() {
  UseHolders({&insert_, &insert_e_});
  Reset();
}

std::span<const ColumnInfo> clsPOvhstD::BaseColumns() {
  // The base columns come first in the list, the rate row's after them.
  static const auto count =
      static_cast<std::size_t>(std::ranges::count_if(Columns(), [](const ColumnInfo& c) {
        return c.declaration->table == CatalogueTable::VarianceHistoryTable;
      }));
  return Columns().first(count);
}

void clsPOvhstD::ConnectionChanged() {
  insert_.Prepared(false);
  insert_e_.Prepared(false);
}

bool clsPOvhstD::DualRate() {
  return Conn().SystemInfo()->DualRateOption();
}

void clsPOvhstD::PrepareInsertStatement() {
  WithErrorExit("PrepareInsertStatement of Class Module clsPOPvhst", [&](Line& line) {
    line = 10;
    // Marked prepared before it is built: a failure on the way leaves it
    // marked until the next connection.
    insert_.Prepared(true);
    line = 20;
    // The placeholders are written as the ERP database's own programs write
    // them: a blank after the forty-first.
    insert_.SQL("INSERT INTO " + TableName(CatalogueTable::VarianceHistoryTable) + " ( " +
                ColumnList(BaseColumns()) + ")" + " VALUES ( " + Placeholders(41) + " " + ",?)");
    line = 30;
    AddParameters();
  });
}

void clsPOvhstD::AddParameters() {
  WithErrorExit(Label<"AddParameters">(), [&](Line& line) {
    line = 10;
    insert_.ClearParameters();
    for (const ColumnInfo& c : BaseColumns()) {
      line = 20;
      if (c.declaration == &tables::VarianceHistoryTable::currency)
        insert_.AddTextParameter(kCurrencyParameter, c.size);
      else
        DeclareParameter(insert_, *c.declaration);
    }
  });
}

void clsPOvhstD::PrepareInsertEStatement() {
  WithErrorExit("PrepareInsertEStatement of Class Module clsPOPvhst", [&](Line& line) {
    line = 10;
    insert_e_.Prepared(true);
    line = 20;
    insert_e_.SQL("INSERT INTO " + TableName(CatalogueTable::VarianceHistoryRateTable) +
                  " (order_no, order_line_no, sequence_no, plan_rate1, plan_rate2," +
                  "plan_op1, plan_op2, order_rate1, order_rate2, order_op1, order_op2, receipt_rate1, "
                  "receipt_rate2, receipt_op1, receipt_op2," +
                  "invoice_rate1, invoice_rate2, invoice_op1, invoice_op2) " +
                  " VALUES ( ?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?)");
    line = 30;
    AddParametersE();
  });
}

void clsPOvhstD::AddParametersE() {
  WithErrorExit(Label<"AddParametersE">(), [&](Line& line) {
    line = 10;
    insert_e_.ClearParameters();
    DeclareParameter(insert_e_, tables::VarianceHistoryRateTable::order_no);
    DeclareParameter(insert_e_, tables::VarianceHistoryRateTable::order_line_no);
    DeclareParameter(insert_e_, tables::VarianceHistoryRateTable::sequence_no);
    line = 20;
    DeclareParameters(insert_e_, plan_rate1, plan_rate2, plan_op1, plan_op2, order_rate1, order_rate2,
                      order_op1, order_op2, receipt_rate1, receipt_rate2, receipt_op1, receipt_op2,
                      invoice_rate1, invoice_rate2, invoice_op1, invoice_op2);
  });
}

namespace {

// The parameter declared k-th. Both statements declare their parameters from
// the list they are set from, in its order; a preparation that failed part
// way leaves the first of them only, and a parameter missing there is
// reported as a lookup by its name reports it.
Parameter& Declared(std::span<Parameter> parameters, std::size_t k) {
  if (k >= parameters.size()) RaiseRuntime(err::ItemNotFound);
  return parameters[k];
}

}  // namespace

void clsPOvhstD::SetParametersE() {
  WithErrorExit(Label<"SetParametersE">(), [&](Line& line) {
    line = 10;
    const std::span<Parameter> parameters = insert_e_.Command().Parameters();
    StatementHolder::SetTextValue(Declared(parameters, 0), order_no());
    std::string key = order::LineKey(order_line_no());
    StatementHolder::SetTextValue(Declared(parameters, 1), key);
    key = order::LineKey(sequence_no());
    StatementHolder::SetTextValue(Declared(parameters, 2), key);
    line = 20;
    std::size_t k = 3;
    auto set = [&](const auto& property) {
      Variant value(property());
      Declared(parameters, k++).value = std::move(value);
    };
    set(plan_rate1), set(plan_rate2), set(plan_op1), set(plan_op2);
    set(order_rate1), set(order_rate2), set(order_op1), set(order_op2);
    set(receipt_rate1), set(receipt_rate2), set(receipt_op1), set(receipt_op2);
    set(invoice_rate1), set(invoice_rate2), set(invoice_op1), set(invoice_op2);
  });
}

void clsPOvhstD::InsertRow() {
  WithErrorExit(Label<"InsertRow">(), [&](Line& line) {
    line = 10;
    if (!insert_.Prepared()) PrepareInsertStatement();
    line = 20;
    const std::span<Parameter> parameters = insert_.Command().Parameters();
    const std::span<const ColumnInfo> columns = BaseColumns();
    for (std::size_t k = 0; k < columns.size(); ++k) {
      const ColumnInfo& c = columns[k];
      const Variant value = c.get(*this);
      switch (c.kind) {
        case ValueKind::Text: StatementHolder::SetTextValue(Declared(parameters, k), *value.AsText()); break;
        case ValueKind::Int16: {
          const std::string key = order::LineKey(value.ToInt16());
          StatementHolder::SetTextValue(Declared(parameters, k), key);
          break;
        }
        case ValueKind::Date: {
          const Date date = value.ToDate();
          insert_.SetDateValue(Declared(parameters, k), date);
          break;
        }
        default: {
          const double number = value.ToDouble();
          StatementHolder::SetNumberValue(Declared(parameters, k), number);
          break;
        }
      }
    }
    line = 30;
    insert_.Command().ExecuteNoCount();
    line = 40;
    if (!DualRate()) return;
    line = 50;
    if (!insert_e_.Prepared()) PrepareInsertEStatement();
    line = 60;
    SetParametersE();
    line = 70;
    insert_e_.Command().ExecuteNoCount();
  });
}

void clsPOvhstD::Reset() {
  const Variant zero(0.0);
  for (const ColumnInfo& c : BaseColumns()) {
    if (c.declaration == &tables::VarianceHistoryTable::order_no ||
        c.declaration == &tables::VarianceHistoryTable::order_line_no)
      continue;
    AssignEmpty(c, zero);
  }
}

void clsPOvhstD::CopyFromRecordset(const Recordset& rst) {
  WithLineNoExit("CopyFromRecordset of Class Module clsPOVHstD line no:", [&](Line& line) {
    for (const ColumnInfo& c : BaseColumns()) {
      line = 10;
      switch (c.kind) {
        case ValueKind::Text:
          // The currency is read back from the field "Currency".
          Assign(c, Variant(NullToText(rst.Fields(
                        c.declaration == &tables::VarianceHistoryTable::currency ? "Currency" : c.column))));
          break;
        case ValueKind::Date:
          line = 20;
          Assign(c, Variant(ValueConverter::Shared().FieldDate(FieldOf(rst, c))));
          break;
        default:
          // Numbers and the two numbers held as text: a Null fails the copy.
          line = 30;
          Assign(c, FieldOf(rst, c));
          break;
      }
    }
  });
}

void clsPOvhstD::CopyFrom(const clsPOvhstD& o) {
  Field(accruals_reversed) = o.accruals_reversed();
  Field(analysis_a) = o.analysis_a();
  Field(analysis_b) = o.analysis_b();
  Field(analysis_c) = o.analysis_c();
  Field(analysis_d) = o.analysis_d();
  Field(analysis_e) = o.analysis_e();
  Field(analysis_f) = o.analysis_f();
  Field(auth_method) = o.auth_method();
  Field(pOcurrency) = o.pOcurrency();
  Field(dp_currency) = o.dp_currency();
  Field(dp_unit) = o.dp_unit();
  Field(history_type) = o.history_type();
  Field(invoice) = o.invoice();
  Field(invoice_seq_no) = o.invoice_seq_no();
  Field(operator_) = o.operator_();
  Field(order_line_no) = o.order_line_no();
  Field(order_no) = o.order_no();
  Field(product) = o.product();
  Field(receipt_no) = o.receipt_no();
  Field(receipt_seq_no) = o.receipt_seq_no();
  Field(sequence_no) = o.sequence_no();
  Field(supplier) = o.supplier();
  Field(unit_code) = o.unit_code();
  Field(warehouse) = o.warehouse();
}

Variant clsPOvhstD::DeleteForOrder() {
  WithLineNoExit("DeleteForOrder of Class Module clsPOvhstD line no:", [&](Line& line) {
    line = 10;
    const std::string where = order::WhereOrder(Conn(), order_no());
    Conn().Execute("delete from " + TableName(CatalogueTable::VarianceHistoryTable) + where);
    line = 20;
    if (!DualRate()) return;
    line = 30;
    Conn().Execute("delete from " + TableName(CatalogueTable::VarianceHistoryRateTable) + where);
  });
  return {};
}

bool clsPOvhstD::ReadFirstForOrder(const std::string& orderNo) {
  return WithLineNoExit("ReadFirstForOrder of Class Module clsPOvhstD line no:", [&](Line& line) {
    line = 10;
    Recordset rs;
    rs.Open("select * from " + TableName(CatalogueTable::VarianceHistoryTable) +
                order::WhereOrder(Conn(), orderNo),
            Conn().DatabaseConnection(), adOpenForwardOnly, adLockReadOnly);
    line = 20;
    if (rs.AtEOF()) {
      rs.Close();
      return false;
    }
    line = 30;
    CopyFromRecordset(rs);
    rs.Close();
    return true;
  });
}

void clsPOvhstD::CopyFromRecordsetLate(const Variant&) {
  order::RaiseNotARowSet();
}

}  // namespace tarnlow
