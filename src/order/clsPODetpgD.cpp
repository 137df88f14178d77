#include "tarnlow/order/clsPODetpgD.h"

#include "framework/class_builder.h"
#include "order/order_support.h"

namespace tarnlow {

TARNLOW_DEFINE_CLASS(clsPODetpgD, TARNLOW_clsPODetpgD_PROPERTIES, "{AA2B9851-76D6-49C9-BA79-56A856672C07}",
                     "{52CB6844-1244-4B2B-8FE6-C85603E3DA96}") {
  b.Creatable()
      .Connection(Access::SetGet)
      .Properties() TARNLOW_METHODS(InsertRow, Reset)
      .Method<&Self::CopyFromRecordsetLate>("CopyFromRecordset", {"rst"})
      .Method<&Self::CopyFrom>("CopyFrom", {"oPODetpgD"}) TARNLOW_METHODS(DeleteForOrder);
}

clsPODetpgD::clsPODetpgD() {
  UseHolders({&insert_});
  Reset();
}

void clsPODetpgD::PrepareInsertStatement() {
  // Marked prepared before it is built: a failure on the way leaves it
  // marked until the next connection.
  insert_.Prepared(true);
  insert_.SQL("INSERT INTO " + TableName(CatalogueTable::OrderLineAnalysisTable) + " ( " +
              ColumnList(Columns()) + ")" + " VALUES ( " + Placeholders(Columns().size()) + ")");
  AddParameters();
}

void clsPODetpgD::AddParameters() {
  // Built again on a new connection: the list starts empty each time.
  insert_.ClearParameters();
  DeclareParameters(insert_, Columns());
}

void clsPODetpgD::InsertRow() {
  if (!insert_.Prepared()) PrepareInsertStatement();
  ParameterPass pass(*this, insert_.Command());
  for (const ColumnInfo& c : Columns()) {
    pass.Set(*c.declaration, Variant(c.declaration == &tables::OrderLineAnalysisTable::order_line_no
                                         ? order::LineKey(order_line_no())
                                         : c.get(*this).ToText()));
  }
  insert_.Command().ExecuteNoCount();
}

void clsPODetpgD::Reset() {
  // Only text is emptied here, so the zero for other kinds is never used.
  const Variant zero(0.0);
  for (const ColumnInfo& c : Columns())
    if (c.kind == ValueKind::Text && c.declaration != &tables::OrderLineAnalysisTable::order_no)
      AssignEmpty(c, zero);
}

void clsPODetpgD::CopyFromRecordset(const Recordset& rst) {
  WithErrorExit(Label<"CopyFromRecordset">(), [&](Line& line) {
    line = 10;
    // Every field goes through NullToText, the line number too: a line
    // number that is Null or no number fails the copy there.
    for (const ColumnInfo& c : Columns()) Assign(c, Variant(NullToText(FieldOf(rst, c))));
  });
}

void clsPODetpgD::CopyFrom(const clsPODetpgD& oPODetpgD) {
  WithErrorExit(Label<"CopyFrom">(), [&](Line& line) {
    line = 10;
    for (const ColumnInfo& c : Columns()) Assign(c, c.get(oPODetpgD));
  });
}

Variant clsPODetpgD::DeleteForOrder() {
  WithErrorExit(Label<"DeleteForOrder">(), [&](Line& line) {
    line = 10;
    Conn().Execute("delete from " + TableName(CatalogueTable::OrderLineAnalysisTable) +
                   order::WhereOrder(Conn(), order_no()));
  });
  return {};
}

void clsPODetpgD::CopyFromRecordsetLate(const Variant&) {
  order::RaiseNotARowSet();
}

}  // namespace tarnlow
