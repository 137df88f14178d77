#include "tarnlow/stock/clsSTNLMov.h"

#include "framework/class_builder.h"
#include "tarnlow/modules.h"

namespace tarnlow {

TARNLOW_DEFINE_CLASS(clsSTNLMov, TARNLOW_clsSTNLMov_PROPERTIES, "{5A4935C8-B70D-4382-AA06-D80F6CC46D82}",
                     "{FB46658C-A518-40BB-B087-CB3EEA66D165}") {
  b.Creatable().Connection().Properties() TARNLOW_METHODS(PrepareInsertStatement, InsertRow);
}

clsSTNLMov::clsSTNLMov() {
  UseHolders({&insert_});
}

void clsSTNLMov::PrepareInsertStatement() {
  PrepareOnce(insert_, [&] {
    const bool keyed = KindTwo();
    insert_.SQL("INSERT INTO " + TableName(CatalogueTable::NominalMovementTable) +
                (keyed ? " ( unique_no, " : " ( ") + ColumnList(Columns()) + ")" + " VALUES ( " +
                Placeholders(Columns().size() + (keyed ? 1 : 0)) + ")");
    insert_.ClearParameters();
    if (keyed) DeclareParameter(insert_, tables::NominalMovementTable::unique_no);
    DeclareParameters(insert_, Columns());
  });
}

void clsSTNLMov::InsertRow() {
  PrepareInsertStatement();
  {
    ParameterPass pass(*this, insert_.Command());
    if (KindTwo()) pass.Set(tables::NominalMovementTable::unique_no, Variant(FreshUniqueNumber()));
    // The movement date goes to the database as the date it is, not
    // through the connection's conversion.
    pass.PutWithDatesAsIs(Columns());
  }
  // The user hears of a failure either way; the answer does not matter.
  InsertWithUniqueNumber(insert_, "Error inserting stock movement.   Press OK to try again", false,
                         "Stock movement insert failed");
}

}  // namespace tarnlow
