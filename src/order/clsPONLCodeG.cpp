#include "order/clsPONLCodeG.h"

#include "connection/database_connection.h"
#include "framework/class_builder.h"
#include "order/analysis_key.h"
#include "tarnlow/modules.h"

namespace tarnlow {

// Private: no identities, and clients cannot create it.
TARNLOW_DEFINE_CLASS(clsPONLCodeG, TARNLOW_clsPONLCodeG_PROPERTIES, "", "") {
  b.Connection()
      .Properties() TARNLOW_METHODS(PrepareInsertStatement, InsertRow)
      .Method<&Self::DeleteForOrder>("DeleteForOrder", {"sOrderNo"});
}

clsPONLCodeG::clsPONLCodeG() {
  UseHolders({&insert_});
}

void clsPONLCodeG::PrepareInsertStatement() {
  PrepareStatement<Exit::Direct>(
      Label<"PrepareInsertStatement">(), insert_,
      [&] {
        return "INSERT INTO " + TableName(CatalogueTable::RetentionAnalysisTable) +
               " ( retention_code,page_number,non_recov_vat,retention_type,record_key,record_type)" +
               " VALUES ( ?,?,?,?,?,?)";
      },
      [&] { AddParameters(); });
}

void clsPONLCodeG::AddParameters() {
  WithDirectErrorExit(Label<"AddParameters">(), [&](Line& line) {
    line = 10;
    DeclareParameters(insert_, retention_code, page_number, non_recov_vat, retention_type, record_key,
                      record_type);
  });
}

void clsPONLCodeG::InsertRow() {
  WithDirectErrorExit(Label<"InsertRow">(), [&](Line& line) {
    line = 10;
    PrepareInsertStatement();
    line = 20;
    Command& command = insert_.Command();
    SetParameter(command, retention_code);
    SetParameter(command, page_number);
    SetParameter(command, non_recov_vat);
    SetParameter(command, retention_type);
    SetParameter(command, record_key);
    SetParameter(command, record_type);
    line = 30;
    command.ExecuteNoCount();
  });
}

Variant clsPONLCodeG::DeleteForOrder(std::string& sOrderNo) {
  WithDirectErrorExit(Label<"DeleteForOrder">(), [&](Line& line) {
    line = 10;
    const std::string sql = "delete from " + TableName(CatalogueTable::RetentionAnalysisTable) +
                            analysis::OrderPrefixCondition(Conn(), sOrderNo);
    line = 20;
    Conn().DatabaseConnection().Execute(sql);
  });
  return {};
}

}  // namespace tarnlow
