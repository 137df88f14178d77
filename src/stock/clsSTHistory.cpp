#include "tarnlow/stock/clsSTHistory.h"

#include "framework/class_builder.h"
#include "tarnlow/modules.h"

namespace tarnlow {

TARNLOW_DEFINE_CLASS(clsSTHistory, TARNLOW_clsSTHistory_PROPERTIES, "{AFCBBCF4-3D5E-4129-9468-9C7E0ED3F53E}",
                     "{B740C6FF-5514-46C4-81EF-7692E6FD4D95}") {
  b.Creatable().Connection().Properties()
      TARNLOW_METHODS(PrepareInsertStatement, PrepareNextNumber, InsertNewHistory, InsertRow);
}

namespace {

// Sequence numbers are six decimal digits.
constexpr std::int32_t kLargestSequence = 999999;

}  // namespace

clsSTHistory::clsSTHistory() {
  UseHolders({&insert_, &next_});
}

void clsSTHistory::PrepareInsertStatement() {
  PrepareStatement(
      Label<"PrepareInsertStatement">(), insert_,
      [&] { return InsertText("INSERT INTO " + TableName(CatalogueTable::StockHistoryTable), Columns()); },
      [&] { AddParameters(); });
}

void clsSTHistory::AddParameters() {
  WithErrorExit(Label<"AddParameters">(), [&](Line& line) {
    line = 10;
    DeclareParameters(insert_, Columns());
  });
}

void clsSTHistory::PrepareNextNumber() {
  PrepareStatement(
      Label<"PrepareNextNumber">(), next_,
      [&] {
        return "select max(sequence_no) as NEXT_SEQ  from " + TableName(CatalogueTable::StockHistoryTable) +
               " where warehouse=? and product = ? and dated = ?";
      },
      [&] { DeclareParameters(next_, warehouse, product, dated); });
}

void clsSTHistory::SetInsertColumns() {
  WithErrorExit(Label<"SetInsertColumns">(), [&](Line& line) {
    line = 10;
    Command& command = insert_.Command();
    line = 20;
    SetParameters(command, Columns());
  });
}

void clsSTHistory::SetNextColumns() {
  WithErrorExit(Label<"SetNextColumns">(), [&](Line& line) {
    line = 10;
    Command& command = next_.Command();
    line = 20;
    SetParameter(command, warehouse);
    SetParameter(command, product);
    line = 30;
    SetParameter(command, dated);
  });
}

void clsSTHistory::InsertRow() {
  WithErrorExit(Label<"InsertRow">(), [&](Line& line) {
    line = 10;
    PrepareInsertStatement();
    line = 20;
    SetInsertColumns();
    line = 30;
    insert_.Command().ExecuteNoCount();
  });
}

void clsSTHistory::InsertNewHistory() {
  WithErrorExit(Label<"InsertNewHistory">(), [&](Line& line) {
    line = 10;
    PrepareInsertStatement();
    PrepareNextNumber();
    line = 20;
    SetInsertColumns();
    SetNextColumns();

    line = 30;
    const Variant highest = HighestNumber(next_.Command());
    line = 40;
    std::int32_t n = highest.IsNull() ? -1 : highest.ToInt32();

    Command& insert = insert_.Command();
    InsertUnderFreeNumber(
        insert,
        [&] {
          line = 50;
          if (++n > kLargestSequence) {
            throw Error(vbObjectError, RuntimeSource,
                        "Sequence number " + std::to_string(n) + " does not fit six characters");
          }
          return SixDigitText(n);
        },
        [&](std::string number) {
          sequence_no = std::move(number);
          SetParameter(insert, sequence_no);
          line = 60;
        });
  });
}

}  // namespace tarnlow
