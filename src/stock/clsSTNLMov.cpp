#include "tarnlow/stock/clsSTNLMov.h"

#include <string>

#include "framework/class_builder.h"
#include "tarnlow/modules.h"
#include "tarnlow/registry.h"

namespace tarnlow {

namespace {

// The kind of database whose movement rows carry a unique number.
constexpr std::int16_t kKeyedKind = 2;

std::string FreshUniqueNo() {
  return UniqueNumber().substr(0, 8);
}

}  // namespace

TARNLOW_DEFINE_PROPERTIES(clsSTNLMov, TARNLOW_clsSTNLMov_PROPERTIES)

clsSTNLMov::clsSTNLMov() {
  UseHolders({&insert_});
}

const ClassInfo& clsSTNLMov::Info() {
  static const ClassInfo info =
      detail::ClassBuilder<clsSTNLMov>("clsSTNLMov", "{5A4935C8-B70D-4382-AA06-D80F6CC46D82}",
                                       "{FB46658C-A518-40BB-B087-CB3EEA66D165}")
          .Creatable()
          .Connection()
          .Properties(Columns())
          .Method<&clsSTNLMov::PrepareInsertStatement>("PrepareInsertStatement")
          .Method<&clsSTNLMov::InsertRow>("InsertRow")
          .Build();
  return info;
}

void clsSTNLMov::PrepareInsertStatement() {
  if (insert_prepared_) return;
  const bool keyed = Conn().DatabaseKind() == kKeyedKind;
  std::string columns;
  std::string values = keyed ? "?" : "";
  for (const ColumnInfo& c : Columns()) {
    if (!columns.empty()) columns += ',';
    columns += c.column;
    values += values.empty() ? "?" : ",?";
  }
  insert_.SQL("INSERT INTO " + TableName(CatalogueTable::NominalMovementTable) +
              (keyed ? " ( unique_no, " : " ( ") + columns + ")" + " VALUES ( " + values + ")");
  insert_.ClearParameters();
  if (keyed) insert_.AddTextParameter("unique_no", 8);
  DeclareParameters(insert_, Columns());
  insert_prepared_ = true;
}

void clsSTNLMov::InsertRow() {
  PrepareInsertStatement();
  Command& command = insert_.Command();
  if (Conn().DatabaseKind() == kKeyedKind) command["unique_no"].value = Variant(FreshUniqueNo());
  for (const ColumnInfo& c : Columns()) {
    // The movement date goes to the database as the date it is, not through
    // the connection's conversion.
    if (c.kind == ValueKind::Date)
      command[c.column].value = c.get(*this);
    else
      SetParameter(command, c);
  }

  try {
    command.ExecuteNoRows();
    return;
  } catch (...) {
    if (Conn().DatabaseKind() != kKeyedKind) throw;
  }
  // A clash on the unique number is the likely cause: one more attempt under
  // a new number, and the user hears of it either way.
  MsgBox("Error inserting stock movement.   Press OK to try again", vbOKOnly);
  insert_("unique_no", Variant(FreshUniqueNo()));
  try {
    command.ExecuteNoRows();
  } catch (...) {
    MsgBox("Stock movement insert failed", vbCritical);
  }
}

TARNLOW_REGISTER_CLASS(clsSTNLMov)

}  // namespace tarnlow
