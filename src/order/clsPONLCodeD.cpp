#include "tarnlow/order/clsPONLCodeD.h"

#include "connection/database_connection.h"
#include "framework/class_builder.h"
#include "order/analysis_key.h"
#include "order/clsPONLCodeG.h"
#include "order/colPONLCodeD.h"
#include "tarnlow/modules.h"

// The late-bound property of a field held by a companion.
#define TARNLOW_COMPANION_FIELD(name)                             \
  GetLet<static_cast<std::string (Self::*)() const>(&Self::name), \
         static_cast<void (Self::*)(const std::string&)>(&Self::name)>(#name, Access::LetGet)

namespace tarnlow {

TARNLOW_DEFINE_CLASS(clsPONLCodeD, TARNLOW_clsPONLCodeD_PROPERTIES, "{0F654640-6248-4C70-9D80-20F5BFD4830D}",
                     "{6959C7F8-7D38-4D49-9A59-C50E378CA5E1}") {
  b.Creatable()
      .Connection()
      .Properties<&Self::InsertPONLExtD, &Self::page_number>()
      .LetByRef({"InsertPONLExtD"})
      .Get<&Self::FormattedPageNumber>("FormattedPageNumber")
      .Get<&Self::record_key>("record_key")
      .Properties<&Self::record_type, &Self::sp_code_value>()
      .TARNLOW_COMPANION_FIELD(exprev_code)
      .TARNLOW_COMPANION_FIELD(pr_period)
      .TARNLOW_COMPANION_FIELD(proj_code)
          TARNLOW_METHODS(PrepareInsertStatement, InsertRow, DeleteForOrder, StartReadForOrderDetailLine,
                          ReadNextForOrderDetailLine)
      .Method<&Self::CopyFromRSLateBound>("CopyFromRS", {"rs"})
      .Method<&Self::CopyFrom>("CopyFrom", {"oFromPONLCodeD"}) TARNLOW_METHODS(RestartReadForOrderDetailLine)
      .Property<&Self::InsertPONLExtG>()
      .LetByRef({"InsertPONLExtG"})
      .TARNLOW_COMPANION_FIELD(retention_code)
      .TARNLOW_COMPANION_FIELD(non_recov_vat)
      .TARNLOW_COMPANION_FIELD(retention_type);
}

namespace {

namespace N = tables::NominalAnalysisTable;

// The record type of keys that name the order line alone.
constexpr std::string_view kOrderRecord = "O";

// Text right-aligned in width characters. Text longer than that does not
// fit the key: error 5, as a negative fill width gives.
std::string FillLeft(const std::string& text, std::size_t width) {
  if (text.size() > width) RaiseRuntime(err::InvalidProcedureCall);
  return std::string(width - text.size(), ' ') + text;
}

// Characters from position start (counted from 1) on, at most count of
// them; empty when the text is shorter.
std::string Mid(const std::string& text, std::size_t start, std::size_t count) {
  return start > text.size() ? std::string() : text.substr(start - 1, count);
}

}  // namespace

clsPONLCodeD::clsPONLCodeD()
    : project_(std::make_shared<clsPONLExtD>()), retention_(std::make_shared<clsPONLCodeG>()) {
  UseHolders({&insert_});
  record_type = std::string(kOrderRecord);
}

clsPONLCodeD::~clsPONLCodeD() = default;

void clsPONLCodeD::ConnectionChanged() {
  insert_.Prepared(false);
  project_->SageConnection(StoredConnection());
  retention_->SageConnection(StoredConnection());
}

std::string clsPONLCodeD::FormattedPageNumber() const {
  const std::int32_t n = page_number();
  return n < 0 ? "-" + SixDigitText(-n) : SixDigitText(n);
}

std::string clsPONLCodeD::record_key() const {
  return WithDirectErrorExit("record_key of Class Module clsPONLCodeD Line#:", [&](Line& line) {
    line = 10;
    // The line number with its sign position (a blank for zero and up),
    // right-aligned in four; a longer text keeps its leftmost four.
    const std::string number = (LineNo() < 0 ? "" : " ") + std::to_string(LineNo());
    const std::string line_part =
        number.size() >= 4 ? number.substr(0, 4) : std::string(4 - number.size(), ' ') + number;
    line = 20;
    const std::string order_part = FillLeft(orderNo(), 10);
    line = 30;
    if (record_type() == kOrderRecord) return order_part + line_part;
    line = 40;
    return FillLeft(supplier(), 8) + order_part + line_part;
  });
}

void clsPONLCodeD::SplitRecordKey(const std::string& key) {
  if (record_type() == kOrderRecord) {
    orderNo = Mid(key, 1, 10);
    LineNo = Variant(Mid(key, 11, 4)).ToInt16();
  } else {
    supplier = Mid(key, 1, 8);
    orderNo = Mid(key, 9, 10);
    LineNo = Variant(Mid(key, 19, 4)).ToInt16();
  }
}

std::string clsPONLCodeD::exprev_code() const {
  return project_->exprev_code();
}
void clsPONLCodeD::exprev_code(const std::string& value) {
  project_->exprev_code = value;
}
std::string clsPONLCodeD::pr_period() const {
  return project_->pr_period();
}
void clsPONLCodeD::pr_period(const std::string& value) {
  project_->pr_period = value;
}
std::string clsPONLCodeD::proj_code() const {
  return project_->proj_code();
}
void clsPONLCodeD::proj_code(const std::string& value) {
  project_->proj_code = value;
}
std::string clsPONLCodeD::retention_code() const {
  return retention_->retention_code();
}
void clsPONLCodeD::retention_code(const std::string& value) {
  retention_->retention_code = value;
}
std::string clsPONLCodeD::non_recov_vat() const {
  return retention_->non_recov_vat();
}
void clsPONLCodeD::non_recov_vat(const std::string& value) {
  retention_->non_recov_vat = value;
}
std::string clsPONLCodeD::retention_type() const {
  return retention_->retention_type();
}
void clsPONLCodeD::retention_type(const std::string& value) {
  retention_->retention_type = value;
}

void clsPONLCodeD::PrepareInsertStatement() {
  PrepareStatement<Exit::Direct>(
      Label<"PrepareInsertStatement">(), insert_,
      [&] {
        return "INSERT INTO " + TableName(CatalogueTable::NominalAnalysisTable) +
               " ( "
               "code_value,exp_code,jc_code,nominal_code,page_number,record_key,record_type,sp_code_value)" +
               " VALUES ( ?,?,?,?,?,?,?,?)";
      },
      [&] {
        // Prepared again after a new connection: the parameters start afresh.
        insert_.ClearParameters();
        AddParameters();
      });
}

void clsPONLCodeD::AddParameters() {
  WithDirectErrorExit(Label<"AddParameters">(), [&](Line& line) {
    line = 10;
    DeclareParameters(insert_, code_value, exp_code, jc_code, nominal_code, page_number);
    DeclareParameter(insert_, N::record_key);
    DeclareParameters(insert_, record_type, sp_code_value);
  });
}

void clsPONLCodeD::InsertRow() {
  WithDirectErrorExit(Label<"InsertRow">(), [&](Line& line) {
    line = 10;
    PrepareInsertStatement();
    line = 20;
    Connection& conn = Conn();
    Command& command = insert_.Command();
    SetParameter(command, code_value);
    SetParameter(command, exp_code);
    SetParameter(command, jc_code);
    SetParameter(command, nominal_code);
    command[N::page_number.name].value = conn.TextValue(FormattedPageNumber());
    line = 30;
    const std::string key = record_key();
    line = 40;
    command[N::record_key.name].value = conn.TextValue(key);
    SetParameter(command, record_type);
    SetParameter(command, sp_code_value);
    line = 50;
    command.ExecuteNoCount();
    line = 60;
    const ValueConverter& converter = ValueConverter::Shared();
    // No project row for an entry without a project or expense code.
    if (InsertPONLExtD() &&
        (!converter.CheckText(project_->proj_code()) || !converter.CheckText(project_->exprev_code()))) {
      line = 70;
      project_->record_key = key;
      project_->page_number = FormattedPageNumber();
      project_->record_type = record_type();
      line = 80;
      project_->InsertRow();
    }
    line = 90;
    if (InsertPONLExtG()) {
      retention_->page_number = FormattedPageNumber();
      retention_->record_type = record_type();
      retention_->record_key = key;
      line = 100;
      retention_->InsertRow();
    }
  });
}

void clsPONLCodeD::DeleteForOrder() {
  WithDirectErrorExit(Label<"DeleteForOrder">(), [&](Line& line) {
    line = 10;
    std::string order = orderNo();
    const std::string sql = "delete from " + TableName(CatalogueTable::NominalAnalysisTable) +
                            analysis::OrderPrefixCondition(Conn(), order);
    line = 20;
    Conn().DatabaseConnection().Execute(sql);
    line = 30;
    project_->DeleteForOrder(order);
    line = 40;
    retention_->DeleteForOrder(order);
  });
}

void clsPONLCodeD::StartReadForOrderDetailLine() {
  WithErrorExit("StartReadForOrderDetailLine of Class Module clsPONLCodeD", [&](Line& line) {
    line = 10;
    if (!read_list_) read_list_ = std::make_shared<colPONLCodeD>();
    read_list_->ClearList();
    line = 20;
    const std::string condition = Conn().DatabaseKind() == 2 ? " where {fn left(t1.record_key, 14)} = "
                                                             : " where left(t1.record_key, 14) = ";
    line = 30;
    const std::string sql = "select t1.*, t2.proj_code, t2.exprev_code, t2.pr_period from " +
                            TableName(CatalogueTable::NominalAnalysisTable) + " t1 left join " +
                            TableName(CatalogueTable::ProjectAnalysisTable) + " t2 " +
                            " on t1.record_key = t2.record_key " + condition +
                            Conn().QuoteLiteral(record_key());
    line = 40;
    Recordset rs;
    rs.Open(sql, Conn().DatabaseConnection(), adOpenForwardOnly, adLockReadOnly);
    line = 50;
    clsPONLCodeD scratch;
    std::string no_key;
    for (; !rs.AtEOF(); rs.MoveNext()) {
      line = 60;
      scratch.CopyFromRS(rs);
      line = 70;
      read_list_->Add(scratch, no_key);
    }
    line = 80;
    rs.Close();
    position_ = 0;
  });
}

bool clsPONLCodeD::ReadNextForOrderDetailLine() {
  return WithErrorExit("GetNextForOrderDetailLine of Class Module clsPONLCodeD Line#:", [&](Line& line) {
    line = 10;
    ++position_;
    line = 20;
    if (!read_list_ || position_ > read_list_->Count()) return false;
    line = 30;
    CopyFrom(*read_list_->Item(Variant(position_)));
    return true;
  });
}

void clsPONLCodeD::RestartReadForOrderDetailLine() {
  position_ = 0;
}

void clsPONLCodeD::CopyFromRS(const Recordset& rs) {
  WithErrorExit(Label<"CopyFromRS">(), [&](Line& line) {
    const ValueConverter& converter = ValueConverter::Shared();
    // The record type first: it says how the key splits.
    line = 10;
    record_type = rs.Fields(N::record_type.name).ToText();
    line = 20;
    SplitRecordKey(rs.Fields(N::record_key.name).ToText());
    line = 30;
    nominal_code = converter.FieldText(rs.Fields(N::nominal_code.name));
    line = 40;
    code_value = rs.Fields(N::code_value.name).ToDouble();
    sp_code_value = rs.Fields(N::sp_code_value.name).ToDouble();
    line = 50;
    page_number = rs.Fields(N::page_number.name).ToInt16();
    line = 60;
    exp_code = converter.FieldText(rs.Fields(N::exp_code.name));
    line = 70;
    project_->CopyFromRS(rs);
  });
}

void clsPONLCodeD::CopyFromRSLateBound(const ObjectPtr&) {
  RaiseRuntime(err::TypeMismatch);
}

void clsPONLCodeD::CopyFrom(const clsPONLCodeD& oFromPONLCodeD) {
  WithErrorExit(Label<"CopyFrom">(), [&](Line& line) {
    line = 10;
    sp_code_value = oFromPONLCodeD.sp_code_value();
    record_type = oFromPONLCodeD.record_type();
    page_number = oFromPONLCodeD.page_number();
    nominal_code = oFromPONLCodeD.nominal_code();
    jc_code = oFromPONLCodeD.jc_code();
    exp_code = oFromPONLCodeD.exp_code();
    code_value = oFromPONLCodeD.code_value();
    supplier = oFromPONLCodeD.supplier();
    orderNo = oFromPONLCodeD.orderNo();
    LineNo = oFromPONLCodeD.LineNo();
    line = 20;
    project_->CopyFrom(*oFromPONLCodeD.project_);
  });
}

}  // namespace tarnlow

#undef TARNLOW_COMPANION_FIELD
