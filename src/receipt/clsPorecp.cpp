#include "tarnlow/receipt/clsPorecp.h"

#include <string>
#include <string_view>

#include "framework/class_builder.h"
#include "tarnlow/modules.h"

namespace tarnlow {

TARNLOW_DEFINE_CLASS(clsPorecp, TARNLOW_clsPorecp_PROPERTIES, "{225C1B8F-1690-47FC-901E-85FE9C55E48D}",
                     "{821C0AF0-E70C-4014-AB9B-479606C1532E}") {
  b.Creatable().Connection().Properties()
      TARNLOW_METHODS(PrepareReadStatement, PrepareInsertStatement, InsertRow);
}

namespace {

// The first `count` characters of UTF-8 text: a cut inside a character would
// leave text the database refuses.
std::string LeftChars(std::string_view text, std::size_t count) {
  std::size_t end = 0;
  for (std::size_t chars = 0; end < text.size(); ++end) {
    const auto byte = static_cast<unsigned char>(text[end]);
    if ((byte & 0xC0) != 0x80 && chars++ == count) break;
  }
  return std::string(text.substr(0, end));
}

}  // namespace

clsPorecp::clsPorecp() {
  UseHolders({&insert_});
}

void clsPorecp::PrepareInsertStatement() {
  PrepareOnce(insert_, [&] {
    const bool keyed = KindTwo();
    std::string columns = ColumnList(Columns());
    // The comment column comes first in the list and is named otherwise on kind 2.
    if (keyed)
      columns.replace(0, tables::ReceiptTable::commnt.name.size(), tables::ReceiptTable::comment.name);
    insert_.SQL("INSERT INTO " + TableName(CatalogueTable::ReceiptTable) +
                (keyed ? " ( unique_no, " : " ( ") + columns + ")" + " VALUES ( " +
                Placeholders(Columns().size() + (keyed ? 1 : 0)) + ")");
    AddParameters();
  });
}

void clsPorecp::AddParameters() {
  WithErrorExit(Label<"AddParameters">(), [&](Line& line) {
    line = 10;
    const bool keyed = KindTwo();
    line = 20;
    insert_.ClearParameters();
    line = 30;
    if (keyed) DeclareParameter(insert_, tables::ReceiptTable::unique_no);
    line = 40;
    DeclareParameters(insert_, Columns());
  });
}

void clsPorecp::InsertRow() {
  Command& command = insert_.Command();
  WithErrorExit(Label<"InsertRow">(), [&](Line& line) {
    line = 10;
    PrepareInsertStatement();
    line = 20;
    if (KindTwo()) command[tables::ReceiptTable::unique_no.name].value = Variant(FreshUniqueNumber());
    line = 30;
    SetParameters(command, Columns());
    line = 40;
    command[tables::ReceiptTable::unit_code.name].value = Conn().TextValue(LeftChars(unit_code(), 6));
  });
  InsertWithUniqueNumber(insert_, "Error inserting receipt audit record.   Press OK to try again", true,
                         "Error inserting receipt audit record insert failed");
}

}  // namespace tarnlow
