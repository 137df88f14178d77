#include "tarnlow/receipt/clsPorecp.h"

#include <string>
#include <string_view>

#include "framework/class_builder.h"
#include "tarnlow/modules.h"
#include "tarnlow/registry.h"

namespace tarnlow {

namespace {

// The kind of database whose audit rows carry a unique number and whose
// comment column is called "comment".
constexpr std::int16_t kKeyedKind = 2;

std::string FreshUniqueNo() {
  return UniqueNumber().substr(0, 8);
}

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

TARNLOW_DEFINE_PROPERTIES(clsPorecp, TARNLOW_clsPorecp_PROPERTIES)

clsPorecp::clsPorecp() {
  UseHolders({&insert_});
}

const ClassInfo& clsPorecp::Info() {
  static const ClassInfo info =
      detail::ClassBuilder<clsPorecp>("clsPorecp", "{225C1B8F-1690-47FC-901E-85FE9C55E48D}",
                                      "{821C0AF0-E70C-4014-AB9B-479606C1532E}")
          .Creatable()
          .Connection()
          .Properties(Columns())
          .Method<&clsPorecp::PrepareReadStatement>("PrepareReadStatement")
          .Method<&clsPorecp::PrepareInsertStatement>("PrepareInsertStatement")
          .Method<&clsPorecp::InsertRow>("InsertRow")
          .Build();
  return info;
}

void clsPorecp::PrepareInsertStatement() {
  if (insert_prepared_) return;
  const bool keyed = Conn().DatabaseKind() == kKeyedKind;
  std::string columns;
  std::string values = keyed ? "?" : "";
  // The property and its parameter keep the name "commnt" on every kind.
  const ColumnInfo& comment = FindColumn(Columns(), "commnt");
  for (const ColumnInfo& c : Columns()) {
    if (!columns.empty()) columns += ',';
    columns += keyed && &c == &comment ? std::string_view("comment") : c.column;
    values += values.empty() ? "?" : ",?";
  }
  insert_.SQL("INSERT INTO " + TableName(CatalogueTable::ReceiptTable) + (keyed ? " ( unique_no, " : " ( ") +
              columns + ")" + " VALUES ( " + values + ")");
  AddParameters();
  insert_prepared_ = true;
}

void clsPorecp::AddParameters() {
  WithErrorExit("AddParameters of Class Module clsPorecp", [&](Line& line) {
    line = 10;
    const bool keyed = Conn().DatabaseKind() == kKeyedKind;
    line = 20;
    insert_.ClearParameters();
    line = 30;
    if (keyed) insert_.AddTextParameter("unique_no", 8);
    line = 40;
    DeclareParameters(insert_, Columns());
  });
}

void clsPorecp::InsertRow() {
  Command& command = insert_.Command();
  WithErrorExit("InsertRow of Class Module clsPorecp", [&](Line& line) {
    line = 10;
    PrepareInsertStatement();
    line = 20;
    if (Conn().DatabaseKind() == kKeyedKind) command["unique_no"].value = Variant(FreshUniqueNo());
    line = 30;
    SetParameters(command, Columns());
    line = 40;
    command["unit_code"].value = Conn().TextValue(LeftChars(unit_code(), 6));
  });

  try {
    command.ExecuteNoRows();
    return;
  } catch (...) {
    if (Conn().DatabaseKind() != kKeyedKind) throw;
  }
  // A clash on the unique number is the likely cause: the user may let the
  // row go in once more under a new number.
  if (MsgBox("Error inserting receipt audit record.   Press OK to try again", vbOKOnly) != vbOK) return;
  insert_("unique_no", Variant(FreshUniqueNo()));
  try {
    command.ExecuteNoRows();
  } catch (...) {
    MsgBox("Error inserting receipt audit record insert failed", vbCritical);
  }
}

TARNLOW_REGISTER_CLASS(clsPorecp)

}  // namespace tarnlow
