#include "tarnlow/pricing/clsPOSuppInf.h"

#include "connection/database_connection.h"
#include "framework/class_builder.h"
#include "tarnlow/modules.h"

namespace tarnlow {

TARNLOW_DEFINE_CLASS(clsPOSuppInf, TARNLOW_clsPOSuppInf_PROPERTIES, "{488A4BE2-9298-4C7A-B4A2-098396A9C486}",
                     "{611DA0FF-13A4-4D02-94C6-369CDAC51C84}") {
  b.Creatable().Connection().Properties()
      TARNLOW_METHODS(PrepareReadStatement, PrepareReadByPartNoStatement, ReadItByPartNo, ReadIt,
                      DeleteSupplier, CheckIfSupplierExist, InsertRow, UpdateRow);
}

namespace {

constexpr const char* kSelect =
    "select supplier , warehouse, product, part_no,  description , long_description, cost, unit_code , "
    "unit_qty_cost, reorder_days  from ";

// Equal once the trailing blanks of `text` are gone (`trimmed` has none).
bool EqualsTrimmed(std::string_view text, const std::string& trimmed) {
  const std::size_t end = text.find_last_not_of(' ');
  text = end == std::string_view::npos ? std::string_view() : text.substr(0, end + 1);
  return text == trimmed;
}

struct CloseWhenDone {
  Recordset& rs;
  ~CloseWhenDone() {
    if (rs.State() == adStateOpen) rs.Close();
  }
};

}  // namespace

clsPOSuppInf::clsPOSuppInf() {
  UseCache = true;
  UseHolders({&read_, &read_by_part_, &exist_, &insert_, &update_});
}

bool clsPOSuppInf::Remembers(const std::string& key, const std::string& remembered_key) const {
  return UseCache() && EqualsTrimmed(supplier(), remembered_.supplier) &&
         EqualsTrimmed(warehouse(), remembered_.warehouse) && EqualsTrimmed(key, remembered_key) &&
         !ValueConverter::Shared().CheckText(remembered_.product);
}

void clsPOSuppInf::Remember() {
  if (!UseCache()) return;
  remembered_ = Remembered{RTrim(supplier()), RTrim(warehouse()), RTrim(product()), RTrim(part_no())};
}

void clsPOSuppInf::PrepareReadStatement() {
  PrepareStatement(
      Label<"PrepareReadStatement">(), read_,
      [&] {
        return kSelect + TableName(CatalogueTable::SupplierInfoTable) +
               " where supplier=? and warehouse = ? and product = ?";
      },
      [&] { DeclareParameters(read_, supplier, warehouse, product); });
}

void clsPOSuppInf::PrepareReadByPartNoStatement() {
  PrepareStatement(
      Label<"PrepareReadByPartNoStatement">(), read_by_part_,
      [&] {
        return kSelect + TableName(CatalogueTable::SupplierInfoTable) +
               " where supplier=? and warehouse = ? and part_no = ?";
      },
      [&] { DeclareParameters(read_by_part_, supplier, warehouse, part_no); });
}

void clsPOSuppInf::ReadItByPartNo() {
  WithErrorExit(Label<"ReadItByPartNo">(), [&](Line& line) {
    line = 10;
    if (Remembers(part_no(), remembered_.part_no)) return;
    line = 20;
    PrepareReadByPartNoStatement();
    line = 30;
    const bool found = ReadByKey(
        read_by_part_, {&line, 40},
        [&](const Recordset& rs) {
          line = 50;
          CopyFromRS(rs);
        },
        supplier, warehouse, part_no);
    line = 60;
    if (!found)
      throw Error(vbObjectError, "",
                  "Supplier information: cannot find information for warehouse:" + warehouse() +
                      " Part no:" + part_no() + " Supplier:" + supplier());
    line = 70;
    Remember();
  });
}

void clsPOSuppInf::ReadIt() {
  WithErrorExit(Label<"ReadIt">(), [&](Line& line) {
    line = 10;
    if (Remembers(product(), remembered_.product)) return;
    line = 20;
    PrepareReadStatement();
    line = 30;
    const bool found = ReadByKey(
        read_, {&line, 40},
        [&](const Recordset& rs) {
          line = 50;
          CopyFromRS(rs);
        },
        supplier, warehouse, product);
    line = 60;
    if (!found)
      throw Error(vbObjectError, "",
                  "Supplier information: cannot find information for " + warehouse() + "/" + product() + "/" +
                      supplier());
    line = 70;
    Remember();
  });
}

void clsPOSuppInf::CopyFromRS(const Recordset& rs) {
  WithErrorExit(Label<"CopyFromRS">(), [&](Line& line) {
    line = 10;
    CopyFields(rs, supplier, warehouse, product, part_no, description, long_description, cost, unit_code,
               unit_qty_cost, reorder_days);
  });
}

void clsPOSuppInf::DeleteSupplier() {
  WithErrorExit(Label<"DeleteSupplier">(), [&](Line& line) {
    line = 10;
    Conn().DatabaseConnection().Execute("delete from " + TableName(CatalogueTable::SupplierInfoTable) +
                                        " where supplier=" + Conn().QuoteLiteral(supplier()));
  });
}

void clsPOSuppInf::PrepareReadifSupplierExist() {
  PrepareStatement(
      Label<"PrepareReadifSupplierExist">(), exist_,
      [&] {
        return "select count(supplier)  from " + TableName(CatalogueTable::SupplierInfoTable) +
               " where supplier = ?";
      },
      [&] { DeclareParameters(exist_, supplier); });
}

bool clsPOSuppInf::CheckIfSupplierExist() {
  return WithErrorExit(Label<"CheckIfSupplierExist">(), [&](Line& line) {
    line = 10;
    PrepareReadifSupplierExist();
    line = 20;
    Command& command = exist_.Command();
    SetParameter(command, supplier);
    line = 30;
    std::shared_ptr<Recordset> rs = command.Execute();
    CloseWhenDone closer{*rs};
    // The whole result as one text, no separators, Null as nothing.
    std::string text;
    for (; !rs->AtEOF(); rs->MoveNext())
      for (std::size_t f = 0; f < rs->FieldCount(); ++f) text += NullToText(rs->Fields(f));
    line = 40;
    return Variant(text).ToInt32() >= 1;
  });
}

void clsPOSuppInf::PrepareInsertStatement() {
  PrepareStatement(
      Label<"PrepareInsertStatement">(), insert_,
      [&] {
        return InsertText("INSERT INTO  " + TableName(CatalogueTable::SupplierInfoTable),
                          TableColumns(Columns()));
      },
      [&] { AddInsertParameters(); });
}

void clsPOSuppInf::AddInsertParameters() {
  WithErrorExit(Label<"AddInsertParameters">(), [&](Line& line) {
    line = 10;
    DeclareParameters(insert_, TableColumns(Columns()));
  });
}

void clsPOSuppInf::PrepareUpdateStatement() {
  PrepareStatement(
      Label<"PrepareUpdateStatement">(), update_,
      [&] {
        return "Update " + TableName(CatalogueTable::SupplierInfoTable) +
               " set "
               "cost=?,description=?,long_description=?,part_no=?,reorder_days=?,unit_code=?,unit_qty_cost=?"
               " where (supplier=? and warehouse=? and product=?)";
      },
      [&] { AddUpdateParameters(); });
}

void clsPOSuppInf::AddUpdateParameters() {
  WithErrorExit(Label<"AddUpdateParameters">(), [&](Line& line) {
    line = 10;
    DeclareParameters(update_, cost, description, long_description, part_no, reorder_days, unit_code,
                      unit_qty_cost, supplier, warehouse, product);
  });
}

void clsPOSuppInf::InsertRow() {
  WithErrorExit(Label<"InsertRow">(), [&](Line& line) {
    line = 10;
    PrepareInsertStatement();
    line = 20;
    RunWithColumns(insert_, Columns(), {&line, 30});
  });
}

void clsPOSuppInf::UpdateRow() {
  WithErrorExit(Label<"UpdateRow">(), [&](Line& line) {
    line = 10;
    PrepareUpdateStatement();
    line = 20;
    RunWithColumns(update_, Columns(), {&line, 30});
  });
}

}  // namespace tarnlow
