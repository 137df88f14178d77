#include "tarnlow/stock/clsSTHistory.h"

#include <cstdio>

#include "framework/class_builder.h"
#include "tarnlow/modules.h"
#include "tarnlow/registry.h"

namespace tarnlow {

TARNLOW_DEFINE_PROPERTIES(clsSTHistory, TARNLOW_clsSTHistory_PROPERTIES)

namespace {

constexpr std::string_view kPrepareInsertLabel = "PrepareInsertStatement of Class Module clsSTHistory";
constexpr std::string_view kPrepareNextLabel = "PrepareNextNumber of Class Module clsSTHistory";
constexpr std::string_view kAddParametersLabel = "AddParameters of Class Module clsSTHistory";
constexpr std::string_view kSetInsertLabel = "SetInsertColumns of Class Module clsSTHistory";
constexpr std::string_view kSetNextLabel = "SetNextColumns of Class Module clsSTHistory";
constexpr std::string_view kInsertNewLabel = "InsertNewHistory of Class Module clsSTHistory";
constexpr std::string_view kInsertRowLabel = "InsertRow of Class Module clsSTHistory";

// The database kind that keeps `dated` as date-key text.
constexpr std::int16_t kDateKeyKind = 2;
// Sequence numbers are six decimal digits.
constexpr std::int32_t kLargestSequence = 999999;

}  // namespace

clsSTHistory::clsSTHistory() {
  UseHolders({&insert_, &next_});
}

const ClassInfo& clsSTHistory::Info() {
  static const ClassInfo info =
      detail::ClassBuilder<clsSTHistory>("clsSTHistory", "{AFCBBCF4-3D5E-4129-9468-9C7E0ED3F53E}",
                                         "{B740C6FF-5514-46C4-81EF-7692E6FD4D95}")
          .Creatable()
          .Connection()
          .Properties(Columns())
          .Method<&clsSTHistory::PrepareInsertStatement>("PrepareInsertStatement")
          .Method<&clsSTHistory::PrepareNextNumber>("PrepareNextNumber")
          .Method<&clsSTHistory::InsertNewHistory>("InsertNewHistory")
          .Method<&clsSTHistory::InsertRow>("InsertRow")
          .Build();
  return info;
}

bool clsSTHistory::KeepsDateKeys() {
  return Conn().DatabaseKind() == kDateKeyKind;
}

void clsSTHistory::PrepareInsertStatement() {
  WithErrorExit(kPrepareInsertLabel, [&](Line& line) {
    line = 10;
    if (insert_prepared_) return;
    line = 20;
    insert_.SQL("INSERT INTO " + TableName(CatalogueTable::StockHistoryTable) + " ( " +
                ColumnList(Columns()) + ")" + " VALUES ( " + Placeholders(Columns().size()) + ")");
    line = 30;
    AddParameters();
    line = 40;
    insert_prepared_ = true;
  });
}

void clsSTHistory::AddParameters() {
  WithErrorExit(kAddParametersLabel, [&](Line& line) {
    line = 10;
    const bool date_key = KeepsDateKeys();
    line = 20;
    for (const ColumnInfo& c : Columns()) {
      if (date_key && c.column == "dated") {
        insert_.AddTextParameter(c.column, c.size);
      } else {
        DeclareParameters(insert_, {&c, 1});
      }
    }
  });
}

void clsSTHistory::PrepareNextNumber() {
  WithErrorExit(kPrepareNextLabel, [&](Line& line) {
    line = 10;
    if (next_prepared_) return;
    line = 20;
    next_.SQL("select max(sequence_no) as NEXT_SEQ  from " + TableName(CatalogueTable::StockHistoryTable) +
              " where warehouse=? and product = ? and dated = ?");
    line = 30;
    const ColumnInfo& d = FindColumn(Columns(), "dated");
    DeclareParameters(next_, {&FindColumn(Columns(), "warehouse"), 1});
    DeclareParameters(next_, {&FindColumn(Columns(), "product"), 1});
    if (KeepsDateKeys()) {
      next_.AddTextParameter(d.column, d.size);
    } else {
      DeclareParameters(next_, {&d, 1});
    }
    line = 40;
    next_prepared_ = true;
  });
}

void clsSTHistory::SetDated(Command& command) {
  Parameter& p = command["dated"];
  p.value = KeepsDateKeys() ? Variant(DateKeyText(dated())) : Conn().DateValue(dated());
}

void clsSTHistory::SetInsertColumns() {
  WithErrorExit(kSetInsertLabel, [&](Line& line) {
    line = 10;
    Command& command = insert_.Command();
    line = 20;
    for (const ColumnInfo& c : Columns()) {
      if (c.column == "dated") {
        SetDated(command);
      } else {
        SetParameter(command, c);
      }
    }
  });
}

void clsSTHistory::SetNextColumns() {
  WithErrorExit(kSetNextLabel, [&](Line& line) {
    line = 10;
    Command& command = next_.Command();
    line = 20;
    SetParameter(command, FindColumn(Columns(), "warehouse"));
    SetParameter(command, FindColumn(Columns(), "product"));
    line = 30;
    SetDated(command);
  });
}

void clsSTHistory::InsertRow() {
  WithErrorExit(kInsertRowLabel, [&](Line& line) {
    line = 10;
    PrepareInsertStatement();
    line = 20;
    SetInsertColumns();
    line = 30;
    insert_.Command().ExecuteNoRows();
  });
}

void clsSTHistory::InsertNewHistory() {
  WithErrorExit(kInsertNewLabel, [&](Line& line) {
    line = 10;
    PrepareInsertStatement();
    PrepareNextNumber();
    line = 20;
    SetInsertColumns();
    SetNextColumns();

    line = 30;
    auto rs = next_.Command().Execute();
    // The result is closed before anything else happens: an open read would
    // keep this connection on an old snapshot of the table.
    const Variant highest = rs->AtEOF() ? Variant(Null) : rs->Fields(std::size_t{0});
    rs->Close();
    line = 40;
    std::int32_t n = highest.IsNull() ? -1 : highest.ToInt32();

    // Another writer may take a number between the query and the insert; the
    // table's key rejects the second row and the next number is tried. Any
    // other failure would not be cured by a new number and ends the call.
    Command& insert = insert_.Command();
    for (;;) {
      line = 50;
      ++n;
      if (n > kLargestSequence) {
        throw Error(vbObjectError, RuntimeSource,
                    "Sequence number " + std::to_string(n) + " does not fit six characters");
      }
      Err().Clear();
      sequence_no = SixDigitText(n);
      insert["sequence_no"].value = Variant(sequence_no());
      line = 60;
      try {
        insert.ExecuteNoRows();
        return;
      } catch (const Error& e) {
        if (e.Number() != DbIntegrityViolation) throw;
      }
    }
  });
}

TARNLOW_REGISTER_CLASS(clsSTHistory)

}  // namespace tarnlow
