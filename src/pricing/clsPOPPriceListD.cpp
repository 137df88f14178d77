#include "tarnlow/pricing/clsPOPPriceListD.h"

#include "framework/class_builder.h"
#include "pricing/colPOPPriceList.h"
#include "pricing/pricing_support.h"
#include "tarnlow/modules.h"

namespace tarnlow {

TARNLOW_DEFINE_CLASS(clsPOPPriceListD, TARNLOW_clsPOPPriceListD_PROPERTIES,
                     "{BB0E7327-D909-45F7-B9D6-1AC576576DDC}", "{0756040B-AB70-4892-A398-98590B41DBE1}") {
  b.Creatable()
      .Connection()
      .Properties() TARNLOW_METHODS(ReadIt)
      .Method<&Self::CopyFromRSLate>("CopyFromRS", {ByRef("rst")})
          TARNLOW_METHODS(PrepareInsertStatement, InsertRow, CheckIfListExists, LoadListForSupplierProduct,
                          MoveFirstForSupplierProductList, MoveNextForSupplierProductList)
      .Method<&Self::CopyFrom>("CopyFrom", {ByRef("oFromPOPPriceListD")});
}

clsPOPPriceListD::clsPOPPriceListD() {
  WithDirectErrorExit(Label<"Class_Initialize">(), [&](Line& line) {
    line = 10;
    UseHolders({&read_, &insert_});
  });
}

clsPOPPriceListD::~clsPOPPriceListD() = default;

void clsPOPPriceListD::PrepareReadStatement() {
  PrepareStatement<Exit::Direct>(
      Label<"PrepareReadStatement">(), read_,
      [&] {
        return "select currency_code, description, price, new_price, unit_code, unit_code_group,  "
               "vat_inclusive_flag, "
               "unit_qty_per_price, price_start_date,price_end_date  from " +
               TableName(CatalogueTable::PriceListTable) +
               " where customer_code = ? and price_list = ? and product_code = ?";
      },
      [&] { DeclareParameters(read_, customer_code, price_list, product_code); });
}

void clsPOPPriceListD::ReadIt() {
  WithDirectErrorExit(Label<"ReadIt">(), [&](Line& line) {
    line = 10;
    PrepareReadStatement();
    line = 20;
    const bool found = ReadByKey(
        read_, {&line, 30},
        [&](const Recordset& rs) {
          line = 40;
          CopyFromRS(rs);
        },
        customer_code, price_list, product_code);
    line = 50;
    if (!found)
      throw Error(vbObjectError, "POList.ReadIt",
                  "Cannot find price list " + customer_code() + "/" + price_list() + "/" + product_code());
  });
}

void clsPOPPriceListD::CopyFromRS(const Recordset& rst) {
  WithDirectErrorExit(Label<"CopyFromRS">(), [&](Line& line) {
    line = 10;
    CopyFields(rst, currency_code, description, Price, new_price, unit_code, unit_code_group,
               vat_inclusive_flag, unit_qty_per_price);
    line = 20;
    // A price without a period has null dates.
    const ValueConverter& convert = ValueConverter::Shared();
    Field(price_start_date) = convert.FieldDate(rst.Fields(price_start_date.column->name));
    Field(price_end_date) = convert.FieldDate(rst.Fields(price_end_date.column->name));
  });
}

void clsPOPPriceListD::CopyFromRSLate(const ObjectPtr&) {
  pricing::RaiseNotARowSet();
}

void clsPOPPriceListD::PrepareInsertStatement() {
  PrepareStatement<Exit::Direct>(
      Label<"PrepareInsertStatement">(), insert_,
      [&] { return InsertText("INSERT INTO " + TableName(CatalogueTable::PriceListTable), Columns()); },
      [&] { AddParameters(); });
}

void clsPOPPriceListD::AddParameters() {
  WithDirectErrorExit(Label<"AddParameters">(), [&](Line& line) {
    line = 10;
    DeclareParameters(insert_, Columns());
  });
}

void clsPOPPriceListD::BindUnchanged(Command& command, const tables::Column& column,
                                     const std::string& value) {
  command[column.name].value = Variant(value);
}

void clsPOPPriceListD::InsertRow() {
  WithDirectErrorExit(Label<"InsertRow">(), [&](Line& line) {
    line = 10;
    PrepareInsertStatement();
    line = 20;
    Command& command = insert_.Command();
    SetParameter(command, currency_code);
    SetParameter(command, customer_code);
    SetParameter(command, description);
    SetParameter(command, new_price);
    SetParameter(command, Price);
    SetParameter(command, price_end_date);
    SetParameter(command, price_start_date);
    SetParameter(command, product_code);
    SetParameter(command, unit_code);
    SetParameter(command, unit_code_group);
    SetParameter(command, unit_qty_per_price);
    // The list, sequence and VAT flag go in as they are, without the
    // connection's text conversion.
    BindUnchanged(command, *price_list.column, price_list());
    BindUnchanged(command, *sequence_number.column, sequence_number());
    BindUnchanged(command, *vat_inclusive_flag.column, vat_inclusive_flag());
    line = 30;
    command.ExecuteNoCount();
  });
}

bool clsPOPPriceListD::CheckIfListExists() {
  return WithDirectErrorExit(Label<"CheckIfListExists">(), [&](Line& line) {
    line = 10;
    Recordset rs;
    rs.Open("select count(*) from " + TableName(CatalogueTable::PriceListTable) +
                " where customer_code = " + Conn().QuoteLiteral(customer_code()) +
                " and price_list = " + Conn().QuoteLiteral(price_list()),
            Conn().DatabaseConnection(), adOpenForwardOnly, adLockReadOnly);
    line = 20;
    const double count = rs.Fields(std::size_t{0}).ToDouble();
    rs.Close();
    line = 30;
    if (count == 0)
      throw Error(vbObjectError, "clsPOPPriceList.CheckIfListExists",
                  "Price list " + price_list() + " for supplier " + customer_code() + " not found");
    return true;
  });
}

std::int32_t clsPOPPriceListD::LoadListForSupplierProduct() {
  return WithDirectErrorExit(Label<"LoadListForSupplierProduct">(), [&](Line& line) {
    line = 10;
    if (!list_) list_ = std::make_shared<colPOPPriceList>();
    list_->ClearList();
    line = 20;
    Recordset rs;
    rs.Open("select * from " + TableName(CatalogueTable::PriceListTable) +
                " where customer_code = " + Conn().QuoteLiteral(customer_code()) +
                " and price_list = " + Conn().QuoteLiteral(price_list()) +
                " and product_code = " + Conn().QuoteLiteral(product_code()),
            Conn().DatabaseConnection(), adOpenForwardOnly, adLockReadOnly);
    line = 30;
    // One scratch object for the whole load: its keys stay empty, and so do
    // those of every stored copy.
    clsPOPPriceListD scratch;
    std::string no_key;
    for (; !rs.AtEOF(); rs.MoveNext()) {
      line = 40;
      scratch.CopyFromRS(rs);
      line = 50;
      list_->Add(scratch, no_key);
    }
    line = 60;
    rs.Close();
    position_ = 0;
    return list_->Count();
  });
}

bool clsPOPPriceListD::MoveFirstForSupplierProductList() {
  return WithDirectErrorExit(Label<"MoveFirstForSupplierProductList">(), [&](Line& line) {
    line = 10;
    position_ = 0;
    return false;
  });
}

bool clsPOPPriceListD::MoveNextForSupplierProductList() {
  return WithDirectErrorExit(Label<"MoveNextForSupplierProductList">(), [&](Line& line) {
    line = 10;
    ++position_;
    line = 20;
    if (!list_ || position_ > list_->Count()) return false;
    line = 30;
    CopyFrom(*list_->Item(Variant(position_)));
    return true;
  });
}

void clsPOPPriceListD::CopyFrom(const clsPOPPriceListD& oFromPOPPriceListD) {
  WithDirectErrorExit(Label<"CopyFrom">(), [&](Line& line) {
    line = 10;
    // Typed copies, in the order named: the cache copies a whole row this
    // way on every lookup.
    using S = clsPOPPriceListD;
    const auto copy = [&]<class... M>(M S::*... members) {
      ((Field(this->*members) = Field(oFromPOPPriceListD.*members)), ...);
    };
    copy(&S::currency_code, &S::customer_code, &S::description, &S::new_price, &S::Price, &S::price_end_date,
         &S::price_list, &S::price_start_date, &S::product_code, &S::sequence_number, &S::unit_code,
         &S::unit_code_group, &S::unit_qty_per_price, &S::vat_inclusive_flag);
  });
}

}  // namespace tarnlow
