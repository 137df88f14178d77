#include "tarnlow/order/clsPODetailD.h"

#include <algorithm>

#include "framework/class_builder.h"
#include "order/order_support.h"
#include "tarnlow/order/colPODetailD.h"

namespace tarnlow {

TARNLOW_DEFINE_CLASS(clsPODetailD, TARNLOW_clsPODetailD_PROPERTIES, "{145CC5D0-9A0A-4E8D-BECC-B8266274F668}",
                     "{0FF2324F-B881-4730-9940-7C10C969B266}") {
  b.Creatable()
      .Connection()
      .Properties<&Self::alloc_expect_cost, &Self::weight>()
          TARNLOW_METHODS(PrepareInsertStatement, InsertRow, InitialiseValues)
      .Method<&Self::CopyFrom>("CopyFrom", {"oFromPODetailD"})
      .Method<&Self::CopyFromRstLate>("CopyFromRst", {"rst"})
          TARNLOW_METHODS(StartReadForOrder, ReadNextForOrder, DeleteForOrder)
      .Method<&Self::UpdateForInvoice>(
          "UpdateForInvoice", {ByRef("AddInvQtyToDate"), ByRef("AddInvValueLogged")}) TARNLOW_METHODS(ReadIt)
      .Property<&Self::UsePODetpgD>()
      .Get<&Self::PODetpgD>("PODetpgD")
      .Property<&Self::UsePOVHstD>()
      .Get<&Self::POVHstD>("POVHstD")
      .Property<&Self::UseIntrastats>();
}

namespace {

// Lines of this type are comments: they have no companion rows.
constexpr std::string_view kCommentLine = "C";

// Before this release the weight row is keyed by one combined text.
constexpr std::int16_t kWeightKeyRelease = 6;

// The weight row's combined key: the order number blank-filled (or cut) to
// ten characters, then the four-character line number.
std::string WeightKey(const std::string& order_no, std::int16_t line) {
  std::string key = order_no.substr(0, 10);
  key.resize(10, ' ');
  return key + order::LineKey(line);
}

}  // namespace

clsPODetailD::clsPODetailD() {
  UseHolders({&insert_, &insert_e_, &invoice_});
  InitialiseValues();
}

std::span<const ColumnInfo> clsPODetailD::LineColumns() {
  // The flags follow the columns in the list.
  static const auto count = static_cast<std::size_t>(
      std::ranges::count_if(Columns(), [](const ColumnInfo& c) { return c.declaration != nullptr; }));
  return Columns().first(count);
}

std::shared_ptr<clsPODetpgD> clsPODetailD::PODetpgD() const {
  if (!detpg_) detpg_ = std::make_shared<clsPODetpgD>();
  return detpg_;
}

std::shared_ptr<clsPOvhstD> clsPODetailD::POVHstD() const {
  if (!vhst_) vhst_ = std::make_shared<clsPOvhstD>();
  return vhst_;
}

void clsPODetailD::PassOn(const tables::Column& column) {
  // By name, not by address: a client of the shared library assigns through
  // its own copy of the column constant, which the library's hidden one is not.
  if (column.name == tables::OrderLineTable::order_no.name) {
    PODetpgD()->order_no = order_no();
    POVHstD()->order_no = order_no();
  } else {
    PODetpgD()->order_line_no = order_line_no();
    POVHstD()->order_line_no = order_line_no();
  }
}

void clsPODetailD::ConnectionChanged() {
  PODetpgD()->SageConnection(StoredConnection());
  POVHstD()->SageConnection(StoredConnection());
  insert_.Prepared(false);
  insert_e_.Prepared(false);
  invoice_.Prepared(false);
}

void clsPODetailD::PrepareInsertStatement() {
  WithErrorExit(Label<"PrepareInsertStatement">(), [&](Line& line) {
    line = 10;
    // The placeholders are written as the ERP database's own programs write
    // them: a blank after the forty-first.
    insert_.SQL("INSERT INTO " + TableName(CatalogueTable::OrderLineTable) + "( " +
                ColumnList(LineColumns()) + ")" + " VALUES ( " + Placeholders(41) + " " + "," +
                Placeholders(LineColumns().size() - 41) + ")");
    line = 20;
    AddParameters();
  });
}

void clsPODetailD::AddParameters() {
  WithErrorExit(Label<"AddParameters">(), [&](Line& line) {
    line = 10;
    // Built afresh on each new connection: the list starts empty each time.
    insert_.ClearParameters();
    line = 20;
    DeclareParameters(insert_, LineColumns());
  });
}

void clsPODetailD::InsertRow() {
  WithErrorExit(Label<"InsertRow">(), [&](Line& line) {
    line = 10;
    PrepareOnce(insert_, [&] { PrepareInsertStatement(); });
    line = 20;
    Command& command = insert_.Command();
    {
      // The line number goes as its key text, right-aligned in four.
      ParameterPass pass(*this, command);
      pass.PutAll(LineColumns());
      pass.Set(tables::OrderLineTable::order_line_no, Variant(order::LineKey(order_line_no())));
    }
    line = 30;
    command.ExecuteNoCount();
    line = 40;
    if (line_type() != kCommentLine) {
      line = 50;
      if (UsePOVHstD()) POVHstD()->InsertRow();
      line = 60;
      if (UsePODetpgD()) PODetpgD()->InsertRow();
    }
    line = 70;
    InsertWeightRow();
  });
}

void clsPODetailD::PrepareInsertStatementE() {
  WithErrorExit("PrepareInsertStatementE of Class Module clsPODetailD", [&](Line& line) {
    line = 10;
    insert_e_.ClearParameters();
    line = 20;
    const std::string table = TableName(CatalogueTable::OrderLineWeightTable);
    const std::string spare = SpareColumnName(StoredConnection());
    // Whichever column holds the spare text, its parameter is "spare".
    line = 30;
    if (Conn().SystemInfo()->ReleaseNumber() < kWeightKeyRelease) {
      insert_e_.SQL("INSERT INTO " + table + "( order_det_key, " + spare + ", weightkg, suppunitqty)" +
                    " VALUES ( ?,?,?,?) ");
      DeclareParameter(insert_e_, tables::OrderLineWeightTable::order_det_key);
    } else {
      insert_e_.SQL("INSERT INTO " + table + "( order_no, order_line_no, " + spare +
                    ", weightkg, suppunitqty)" + " VALUES ( ?,?,?,?,?) ");
      DeclareParameter(insert_e_, tables::OrderLineWeightTable::order_no);
      DeclareParameter(insert_e_, tables::OrderLineWeightTable::order_line_no);
    }
    line = 40;
    DeclareParameter(insert_e_, tables::OrderLineWeightTable::spare);
    insert_e_.AddNumberParameter(tables::OrderLineWeightTable::weightkg.name);
    insert_e_.AddNumberParameter(tables::OrderLineWeightTable::suppunitqty.name);
  });
}

void clsPODetailD::InsertWeightRow() {
  PrepareOnce(insert_e_, [&] { PrepareInsertStatementE(); });
  if (Conn().SystemInfo()->ReleaseNumber() < kWeightKeyRelease) {
    insert_e_.SetTextValue(tables::OrderLineWeightTable::order_det_key.name,
                           WeightKey(order_no(), order_line_no()));
  } else {
    insert_e_.SetTextValue(tables::OrderLineWeightTable::order_line_no.name, order::LineKey(order_line_no()));
    insert_e_.SetTextValue(tables::OrderLineWeightTable::order_no.name, order_no());
  }
  insert_e_.SetTextValue(tables::OrderLineWeightTable::spare.name, "");
  insert_e_.SetNumberValue(tables::OrderLineWeightTable::weightkg.name, weight());
  insert_e_.SetNumberValue(tables::OrderLineWeightTable::suppunitqty.name, 0.0);
  insert_e_.Command().ExecuteNoCount();
}

void clsPODetailD::StoreDirect(const ColumnInfo& c, const Variant& value) {
  if (c.declaration == &tables::OrderLineTable::order_no)
    Field(order_no) = value.ToText();
  else if (c.declaration == &tables::OrderLineTable::order_line_no)
    Field(order_line_no) = value.ToInt16();
  else
    Assign(c, value);
}

void clsPODetailD::InitialiseValues() {
  WithErrorExit(Label<"InitialiseValues">(), [&](Line& line) {
    line = 10;
    const Variant zero(std::int16_t{0});
    Field(order_no).clear();
    Field(order_line_no) = 0;
    for (const ColumnInfo& c : LineColumns())
      if (c.declaration != &tables::OrderLineTable::order_no &&
          c.declaration != &tables::OrderLineTable::order_line_no)
        AssignEmpty(c, zero);
  });
}

void clsPODetailD::CopyFrom(const clsPODetailD& oFromPODetailD) {
  WithErrorExit(Label<"CopyFrom">(), [&](Line& line) {
    line = 10;
    for (const ColumnInfo& c : LineColumns()) StoreDirect(c, c.get(oFromPODetailD));
    line = 20;
    UsePODetpgD = oFromPODetailD.UsePODetpgD();
    UsePOVHstD = oFromPODetailD.UsePOVHstD();
    line = 30;
    if (line_type() == kCommentLine) return;
    line = 40;
    if (oFromPODetailD.UsePODetpgD()) PODetpgD()->CopyFrom(*oFromPODetailD.PODetpgD());
    line = 50;
    if (oFromPODetailD.UsePOVHstD()) POVHstD()->CopyFrom(*oFromPODetailD.POVHstD());
  });
}

void clsPODetailD::CopyFromRst(const Recordset& rst) {
  WithErrorExit(Label<"CopyFromRst">(), [&](Line& line) {
    const ValueConverter& converter = ValueConverter::Shared();
    for (const ColumnInfo& c : LineColumns()) {
      line = 10;
      if (c.declaration == &tables::OrderLineTable::order_no) continue;
      if (c.declaration == &tables::OrderLineTable::order_line_no) {
        // Through the setters, so that the companions receive them.
        line = 20;
        order_no = converter.FieldText(rst.Fields(tables::OrderLineTable::order_no.name));
        line = 30;
        order_line_no = rst.Fields(c.column).ToInt16();
        continue;
      }
      const Variant& field = FieldOf(rst, c);
      switch (c.kind) {
        case ValueKind::Text: Assign(c, Variant(converter.FieldText(field))); break;
        case ValueKind::Date: Assign(c, field.IsNull() ? Variant(Date()) : Variant(field.ToDate())); break;
        default:
          // No null test: a Null amount fails the copy here.
          line = 40;
          Assign(c, Variant(field.ToDouble()));
          break;
      }
    }
    line = 50;
    PODetpgD()->Reset();
    POVHstD()->Reset();
    line = 60;
    if (line_type() == kCommentLine) return;
    // The companions take what the row holds for them; a row that does not
    // suit them leaves them reset and the line copied all the same.
    if (UsePODetpgD() && !rst.Fields("detpglineno").IsNull()) {
      line = 70;
      try {
        PODetpgD()->CopyFromRecordset(rst);
      } catch (const Error&) {
      }
    }
    if (UsePOVHstD()) {
      line = 80;
      try {
        POVHstD()->CopyFromRecordset(rst);
      } catch (const Error&) {
      }
    }
  });
}

void clsPODetailD::StartReadForOrder() {
  WithErrorExit(Label<"StartReadForOrder">(), [&](Line& line) {
    line = 10;
    if (!walk_) walk_ = std::make_shared<colPODetailD>();
    walk_->ClearList();
    line = 20;
    clsPODetailD work;
    work.SageConnection(StoredConnection());
    work.UsePODetpgD = UsePODetpgD();
    work.UsePOVHstD = UsePOVHstD();
    line = 30;
    Connection& connection = Conn();
    if (walk_rs_.State() == adStateOpen) walk_rs_.Close();
    walk_rs_.ActiveConnection(connection.DatabaseConnection());
    walk_rs_.CursorType(adOpenForwardOnly);
    walk_rs_.LockType(adLockReadOnly);
    walk_rs_.Source(order::LineWalkStatement(
        connection.DatabaseKind(), UsePODetpgD(), TableName(CatalogueTable::OrderLineTable),
        TableName(CatalogueTable::OrderLineAnalysisTable), connection.QuoteLiteral(order_no())));
    line = 40;
    walk_rs_.Open();
    while (!walk_rs_.AtEOF()) {
      line = 50;
      work.CopyFromRst(walk_rs_);
      line = 60;
      walk_->Add(work);
      walk_rs_.MoveNext();
    }
    line = 70;
    walk_rs_.Close();
    walk_position_ = 1;
  });
}

bool clsPODetailD::ReadNextForOrder() {
  return WithErrorExit(Label<"ReadNextForOrder">(), [&](Line& line) {
    line = 10;
    if (!walk_ || walk_position_ > walk_->Count()) return false;
    line = 20;
    CopyFrom(*walk_->Item(Variant(walk_position_)));
    ++walk_position_;
    return true;
  });
}

Variant clsPODetailD::DeleteForOrder() {
  WithErrorExit(Label<"DeleteForOrder">(), [&](Line& line) {
    line = 10;
    Conn().Execute("delete from " + TableName(CatalogueTable::OrderLineTable) +
                   order::WhereOrder(Conn(), order_no()));
    line = 20;
    const std::string weights = TableName(CatalogueTable::OrderLineWeightTable);
    if (Conn().SystemInfo()->ReleaseNumber() < kWeightKeyRelease) {
      // The combined key holds the order number blank-filled to ten
      // characters: an order number given in that form finds its rows.
      Conn().Execute("delete from " + weights +
                     " where left(order_det_key, 10) = " + Conn().QuoteLiteral(order_no()));
    } else {
      Conn().Execute("delete from " + weights + order::WhereOrder(Conn(), order_no()));
    }
    line = 30;
    if (UsePOVHstD()) POVHstD()->DeleteForOrder();
    line = 40;
    if (UsePODetpgD()) PODetpgD()->DeleteForOrder();
  });
  return {};
}

void clsPODetailD::PrepareUpdateForInvoiceStatement() {
  WithErrorExit("PrepareUpdateForInvoiceStatement of Class Module clsPODetailD", [&](Line& line) {
    line = 10;
    invoice_.SQL("UPDATE " + TableName(CatalogueTable::OrderLineTable) +
                 " set inv_qty_to_date = inv_qty_to_date + ?, " +
                 "  inv_value_logged = inv_value_logged + ? " + " where order_no=? and order_line_no=?");
    line = 20;
    invoice_.ClearParameters();
    DeclareParameters(invoice_, inv_qty_to_date, inv_value_logged, order_no, order_line_no);
  });
}

void clsPODetailD::UpdateForInvoice(const double& AddInvQtyToDate, const double& AddInvValueLogged) {
  WithErrorExit("UpdateForInvoice of Class Module clsPODetailD", [&](Line& line) {
    line = 10;
    PrepareOnce(invoice_, [&] { PrepareUpdateForInvoiceStatement(); });
    line = 20;
    invoice_.SetNumberValue(tables::OrderLineTable::inv_qty_to_date.name, AddInvQtyToDate);
    invoice_.SetNumberValue(tables::OrderLineTable::inv_value_logged.name, AddInvValueLogged);
    invoice_.SetTextValue(tables::OrderLineTable::order_no.name, order_no());
    invoice_.SetTextValue(tables::OrderLineTable::order_line_no.name, order::LineKey(order_line_no()));
    line = 30;
    invoice_.Command().ExecuteNoCount();
  });
}

void clsPODetailD::ReadIt() {
  WithErrorExit(Label<"ReadIt">(), [&](Line& line) {
    line = 10;
    Recordset rs;
    rs.Open("select * from " + TableName(CatalogueTable::OrderLineTable) +
                order::WhereOrder(Conn(), order_no()) +
                " and order_line_no=" + Conn().QuoteLiteral(order::LineKey(order_line_no())),
            Conn().DatabaseConnection(), adOpenForwardOnly, adLockReadOnly);
    line = 20;
    if (rs.AtEOF()) {
      rs.Close();
      throw Error(vbObjectError, RuntimeSource,
                  "Purchase order line:" + order_no() + "/" + std::to_string(order_line_no()) + " not found");
    }
    line = 30;
    CopyFromRst(rs);
    rs.Close();
  });
}

void clsPODetailD::CopyFromRstLate(const Variant&) {
  order::RaiseNotARowSet();
}

}  // namespace tarnlow
