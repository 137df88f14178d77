#include "tarnlow/pricing/clsPOPDiscountD.h"

#include "framework/class_builder.h"
#include "pricing/colPOPDiscount.h"
#include "pricing/pricing_support.h"
#include "tarnlow/modules.h"

namespace tarnlow {

TARNLOW_DEFINE_CLASS(clsPOPDiscountD, TARNLOW_clsPOPDiscountD_PROPERTIES,
                     "{59B22D2D-3365-4782-B388-59389CF9B2C9}", "{FBE21E21-160E-4AC4-9CF7-E7060154EDFE}") {
  b.Creatable()
      .Connection()
      .Properties()
      .GetLet<static_cast<std::string (Self::*)() const>(&Self::pop_discount_cat),
              static_cast<void (Self::*)(const std::string&)>(&Self::pop_discount_cat)>(
          "pop_discount_cat", Access::LetGet) TARNLOW_METHODS(ReadIt, InsertRow)
      .Method<&Self::CopyFrom>("CopyFrom", {ByRef("oFromPOPDiscountD")})
      .Method<&Self::KeyString>("KeyString")
      .Method<&Self::CopyFromRSLate>("CopyFromRS", {ByRef("rstPODis")});
}

namespace {
namespace discount_table = tables::DiscountTable;
}  // namespace

clsPOPDiscountD::clsPOPDiscountD() {
  WithDirectErrorExit(Label<"Class_Initialize">(), [&](Line& line) {
    line = 10;
    UseHolders({&insert_});
  });
}

clsPOPDiscountD::~clsPOPDiscountD() = default;

std::string clsPOPDiscountD::KeyString() const {
  std::string key;
  key.reserve(4 + 8 + 3);
  pricing::AppendFixed(key, cust_disc_code(), 4);
  pricing::AppendFixed(key, prod_disc_code(), 8);
  pricing::AppendFixed(key, price_list(), 3);
  return key;
}

void clsPOPDiscountD::LoadIntoList() {
  // This label has no line ending: the load numbers no steps.
  WithErrorExit("LoadIntoList of Class Module clsPOPDiscountD", [&](Line&) {
    cache_.LoadOnce([&](colPOPDiscount& list) {
      const std::string sql = "select * from " + TableName(CatalogueTable::DiscountTable);
      cache_.ReadAll(sql, Conn().DatabaseConnection(), [&](Recordset& rs) {
        clsPOPDiscountD scratch;
        for (; !rs.AtEOF(); rs.MoveNext()) {
          scratch.CopyFromRS(rs);
          list.Add(scratch);
        }
      });
    });
  });
}

void clsPOPDiscountD::ReadIt() {
  WithErrorExit(Label<"ReadIt">(), [&](Line& line) {
    line = 10;
    LoadIntoList();
    line = 20;
    try {
      if (const std::shared_ptr<const clsPOPDiscountD> found = cache_.Find(KeyString())) {
        line = 30;
        CopyFrom(*found);
        return;
      }
    } catch (...) {
      // A failed copy is a miss as well.
    }
    throw Error(
        vbObjectError, "",
        "Cannot find discount item " + cust_disc_code() + "/" + prod_disc_code() + "/" + price_list());
  });
}

void clsPOPDiscountD::CopyFromRS(const Recordset& rstPODis) {
  WithErrorExit(Label<"CopyFromRS">(), [&](Line& line) {
    line = 10;
    CopyFields(rstPODis, prod_disc_code, cust_disc_code, price_list, discount_type, description,
               quantity_break1, quantity_break2, quantity_break3, quantity_break4, quantity_break5,
               quantity_break6, quantity_break7, discount1, discount2, discount3, discount4, discount5,
               discount6, discount7, unit_code, unit_group);
  });
}

void clsPOPDiscountD::CopyFromRSLate(const ObjectPtr&) {
  pricing::RaiseNotARowSet();
}

void clsPOPDiscountD::CopyFrom(const clsPOPDiscountD& oFromPOPDiscountD) {
  WithErrorExit(Label<"CopyFrom">(), [&](Line& line) {
    line = 10;
    // Typed copies, in the order named: the cache copies a whole row this
    // way on every lookup.
    using S = clsPOPDiscountD;
    const auto copy = [&]<class... M>(M S::*... members) {
      ((Field(this->*members) = Field(oFromPOPDiscountD.*members)), ...);
    };
    copy(&S::cust_disc_code, &S::description, &S::discount1, &S::discount2, &S::discount3, &S::discount4,
         &S::discount5, &S::discount6, &S::discount7, &S::discount_type, &S::price_list, &S::prod_disc_code,
         &S::quantity_break1, &S::quantity_break2, &S::quantity_break3, &S::quantity_break4,
         &S::quantity_break5, &S::quantity_break6, &S::quantity_break7, &S::unit_code, &S::unit_group,
         &S::vat_inclusive_flag);
  });
}

void clsPOPDiscountD::PrepareInsertStatement() {
  PrepareStatement(
      Label<"PrepareInsertStatement">(), insert_,
      [&] {
        // Every column of the table, the two slashes included, in
        // declaration order.
        std::string columns;
        for (const tables::Column* c : discount_table::kColumns) {
          if (!columns.empty()) columns += ',';
          columns += c->name;
        }
        return "INSERT INTO " + TableName(CatalogueTable::DiscountTable) + " ( " + columns + ")" +
               " VALUES ( " + Placeholders(std::size(discount_table::kColumns)) + ")";
      },
      [&] { AddParameters(); });
}

void clsPOPDiscountD::AddParameters() {
  WithErrorExit(Label<"AddParameters">(), [&](Line& line) {
    line = 10;
    for (const tables::Column* c : discount_table::kColumns) DeclareParameter(insert_, *c);
  });
}

void clsPOPDiscountD::InsertRow() {
  WithErrorExit(Label<"InsertRow">(), [&](Line& line) {
    line = 10;
    PrepareInsertStatement();
    line = 20;
    RunWithColumns(insert_, Columns(), {&line, 30}, [](Command& command) {
      command[discount_table::slash1.name].value = Variant("/");
      command[discount_table::slash2.name].value = Variant("/");
    });
  });
}

}  // namespace tarnlow
