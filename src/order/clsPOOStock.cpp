#include "tarnlow/order/clsPOOStock.h"

#include "framework/class_builder.h"
#include "tarnlow/modules.h"

namespace tarnlow {

TARNLOW_DEFINE_CLASS(clsPOOStock, TARNLOW_clsPOOStock_PROPERTIES, "{FCB2A99C-4D83-4DD3-B83C-348C87680A0D}",
                     "{D2FAEB23-570A-4CC2-8E8F-2CB0ACF52AFC}") {
  b.Creatable()
      .Connection()
      .Properties<&Self::drawing_number, &Self::Unit>()
          TARNLOW_METHODS(ReadIt, PrepareUpdateStatement, UpdateForOrder)
      .Properties<&Self::analysis_a, &Self::delivery_date>()
          TARNLOW_METHODS(PrepareUpdateStatementDeliveryDate, UpdateForOrderDeliveryDate);
}

namespace {

// The increment is named after what it adjusts, not after a column.
constexpr const char* kAdjustOnOrder = "adj_on_order_qty";

}  // namespace

clsPOOStock::clsPOOStock() {
  UseHolders({&read_, &update_, &update_with_date_});
}

void clsPOOStock::ConnectionChanged() {
  for (StatementHolder* holder : {&read_, &update_, &update_with_date_}) holder->Prepared(false);
}

void clsPOOStock::PrepareReadStatement() {
  WithErrorExit(Label<"PrepareReadStatement">(), [&](Line& line) {
    line = 10;
    if (read_built_) return;
    line = 20;
    read_.SQL(std::string("select warehouse, product, alpha, current_cost, purchase_key, ") +
              " batch_traceability, serial_numbers, standard_cost, weight, expected_cost, on_order_qty " +
              ", standard_labour, standard_material, standard_overhead, standard_subcontra " +
              ", current_labour, current_material, current_overhead, current_subcontrac, unit_code " +
              ", description, long_description, supplier, pricing_discount, qty_decimal_places " +
              ", serial_numbers, stock_vat_type, purchase_unit, drawing_number " +
              ", analysis_a, analysis_b, analysis_c, buyer_id, delivery_date " + " from " +
              TableName(CatalogueTable::StockTable) + " where warehouse = ? and product = ?");
    line = 30;
    read_.ClearParameters();
    DeclareParameters(read_, warehouse, product);
    line = 40;
    read_built_ = true;
  });
}

void clsPOOStock::ReadIt() {
  WithErrorExit(Label<"ReadIt">(), [&](Line& line) {
    line = 10;
    PrepareReadStatement();
    line = 20;
    Command& command = read_.Command();
    SetParameter(command, warehouse);
    SetParameter(command, product);
    line = 30;
    const bool found = ReadOneRow(command, [&](const Recordset& rs) {
      line = 40;
      CopyFromRS(rs);
    });
    if (!found) {
      line = 50;
      throw Error(vbObjectError, RuntimeSource, "Cannot find stock item " + warehouse() + "/" + product());
    }
  });
}

void clsPOOStock::CopyFromRS(const Recordset& rs) {
  WithErrorExit(Label<"CopyFromRS">(), [&](Line& line) {
    const ValueConverter& converter = ValueConverter::Shared();
    // In the order of the select list as it was first written; a Null in a
    // column copied directly stops the copy there.
    line = 10;
    CopyFields(rs, current_cost, current_labour, current_material, current_overhead, current_subcontra,
               alpha);
    line = 20;
    Field(purchase_key) = converter.FieldText(rs.Fields(tables::StockTable::purchase_key.name));
    line = 30;
    CopyFields(rs, batch_traceability, serial_numbers, standard_cost, standard_labour, standard_material,
               standard_overhead, standard_subcontra, weight, description, long_description, AdjustOnOrderQty,
               Unit, pricing_discount, supplier, qty_decimal_places, serial_numbers, stock_vat_type,
               expected_cost, purchase_unit, drawing_number, analysis_a, analysis_b, analysis_c, buyer_id);
    line = 40;
    delivery_date = converter.FieldDate(rs.Fields(tables::StockTable::delivery_date.name));
  });
}

void clsPOOStock::PrepareUpdateStatement() {
  // The label keeps the name this statement had before the dated update
  // existed.
  PrepareStatement(
      "PrepareUpdateStatementNoDate of Class Module clsPOOStock Line#:", update_,
      [&] {
        return " update " + TableName(CatalogueTable::StockTable) + " set on_order_qty = on_order_qty + ?" +
               " where warehouse = ? and product = ?";
      },
      [&] {
        update_.ClearParameters();
        update_.AddNumberParameter(kAdjustOnOrder);
        DeclareParameters(update_, warehouse, product);
      });
}

void clsPOOStock::PrepareUpdateStatementDeliveryDate() {
  PrepareStatement(
      "PrepareUpdateStatement of Class Module clsPOOStock Line#:", update_with_date_,
      [&] {
        return " update " + TableName(CatalogueTable::StockTable) +
               " set on_order_qty = on_order_qty + ?, delivery_date=?" +
               " where warehouse = ? and product = ?";
      },
      [&] {
        update_with_date_.ClearParameters();
        update_with_date_.AddNumberParameter(kAdjustOnOrder);
        DeclareParameters(update_with_date_, delivery_date, warehouse, product);
      });
}

void clsPOOStock::SetUpdateParameters(StatementHolder& holder) {
  holder.SetNumberValue(kAdjustOnOrder, AdjustOnOrderQty());
  holder.SetTextValue(tables::StockTable::warehouse.name, warehouse());
  holder.SetTextValue(tables::StockTable::product.name, product());
}

void clsPOOStock::UpdateForOrder() {
  WithErrorExit(Label<"UpdateForOrder">(), [&](Line& line) {
    line = 10;
    PrepareUpdateStatement();
    line = 20;
    SetUpdateParameters(update_);
    line = 30;
    update_.Command().ExecuteNoCount();
  });
}

void clsPOOStock::UpdateForOrderDeliveryDate() {
  WithErrorExit(Label<"UpdateForOrderDeliveryDate">(), [&](Line& line) {
    line = 10;
    PrepareUpdateStatementDeliveryDate();
    line = 20;
    SetUpdateParameters(update_with_date_);
    update_with_date_.SetDateValue(tables::StockTable::delivery_date.name, delivery_date());
    line = 30;
    update_with_date_.Command().ExecuteNoCount();
  });
}

}  // namespace tarnlow
