#include "tarnlow/order/clsPONLExtD.h"

#include "connection/database_connection.h"
#include "framework/class_builder.h"
#include "order/analysis_key.h"
#include "tarnlow/modules.h"

namespace tarnlow {

TARNLOW_DEFINE_CLASS(clsPONLExtD, TARNLOW_clsPONLExtD_PROPERTIES, "{151D1B15-C516-40C6-AF9B-73BDB1898496}",
                     "{DEF3056D-72E0-4411-BDA1-AD9AB0F9BC93}") {
  b.Creatable()
      .Connection()
      .Properties() TARNLOW_METHODS(PrepareInsertStatement, InsertRow)
      .Method<&Self::DeleteForOrder>("DeleteForOrder", {"sOrderNo"}) TARNLOW_METHODS(ReadForOrderLine)
      .Method<&Self::CopyFrom>("CopyFrom", {"oFromPONLExtD"})
      .Method<&Self::CopyFromRSLateBound>("CopyFromRS", {"rs"});
}

clsPONLExtD::clsPONLExtD() {
  UseHolders({&insert_});
}

void clsPONLExtD::PrepareInsertStatement() {
  PrepareStatement<Exit::Direct>(
      Label<"PrepareInsertStatement">(), insert_,
      [&] {
        return "INSERT INTO " + TableName(CatalogueTable::ProjectAnalysisTable) +
               " ( exprev_code,page_number,pr_period,proj_code,record_key,record_type)" +
               " VALUES ( ?,?,?,?,?,?)";
      },
      [&] { AddParameters(); });
}

void clsPONLExtD::AddParameters() {
  WithDirectErrorExit(Label<"AddParameters">(), [&](Line& line) {
    line = 10;
    DeclareParameters(insert_, exprev_code, page_number, pr_period, proj_code, record_key, record_type);
  });
}

void clsPONLExtD::InsertRow() {
  WithDirectErrorExit(Label<"InsertRow">(), [&](Line& line) {
    line = 10;
    PrepareInsertStatement();
    line = 20;
    Command& command = insert_.Command();
    SetParameter(command, exprev_code);
    SetParameter(command, page_number);
    SetParameter(command, pr_period);
    SetParameter(command, proj_code);
    SetParameter(command, record_key);
    SetParameter(command, record_type);
    line = 30;
    command.ExecuteNoCount();
  });
}

Variant clsPONLExtD::DeleteForOrder(std::string& sOrderNo) {
  WithDirectErrorExit(Label<"DeleteForOrder">(), [&](Line& line) {
    line = 10;
    const std::string sql = "delete from " + TableName(CatalogueTable::ProjectAnalysisTable) +
                            analysis::OrderPrefixCondition(Conn(), sOrderNo);
    line = 20;
    Conn().DatabaseConnection().Execute(sql);
  });
  return {};
}

void clsPONLExtD::ReadForOrderLine() {
  WithErrorExit(Label<"ReadForOrderLine">(), [&](Line& line) {
    line = 10;
    Recordset rs;
    rs.Open("select * from " + TableName(CatalogueTable::ProjectAnalysisTable) +
                " where record_key = " + Conn().QuoteLiteral(record_key()),
            Conn().DatabaseConnection(), adOpenForwardOnly, adLockReadOnly);
    line = 20;
    if (rs.AtEOF()) RaiseRuntime(vbObjectError);
    line = 30;
    CopyFromRS(rs);
    rs.Close();
  });
}

void clsPONLExtD::CopyFrom(const clsPONLExtD& oFromPONLExtD) {
  page_number = oFromPONLExtD.page_number();
  exprev_code = oFromPONLExtD.exprev_code();
  pr_period = oFromPONLExtD.pr_period();
  proj_code = oFromPONLExtD.proj_code();
  record_key = oFromPONLExtD.record_key();
  record_type = oFromPONLExtD.record_type();
}

void clsPONLExtD::CopyFromRS(const Recordset& rs) {
  WithErrorExit(Label<"CopyFromRS">(), [&](Line& line) {
    const ValueConverter& converter = ValueConverter::Shared();
    auto copy = [&](auto& property) {
      property = converter.FieldText(rs.Fields(std::remove_reference_t<decltype(property)>::column->name));
    };
    line = 10;
    copy(exprev_code);
    copy(page_number);
    copy(pr_period);
    copy(proj_code);
    copy(record_key);
    copy(record_type);
  });
}

void clsPONLExtD::CopyFromRSLateBound(const ObjectPtr&) {
  RaiseRuntime(err::TypeMismatch);
}

}  // namespace tarnlow
