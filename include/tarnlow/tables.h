// The tables this library reads and writes, each declared once (columns
// with type, text size, layout and traits; unique keys), giving both the
// schema `tarnlowst init` creates and every table object's column
// properties, so that a class and its table cannot disagree.
//
// A table lists every column any statement names. Text sizes are the widths
// the statements declare, or a generous guess; columns keep the physical
// order, which matters where a reader uses positions (unit conversions).
// Entries read COLUMN(ctx, name, Kind, size, Layout, Traits) and KEY(ctx,
// Layout, columns...); a keyword name carries a trailing underscore.
#pragma once

#include <cstdint>
#include <string_view>

#include "tarnlow/preprocessor.h"
#include "tarnlow/value.h"

// Every table in the catalogue's interface order, with its default name.
#define TARNLOW_TABLES(X)                                     \
  X(ProductExpenseTable, "product_expense")                   \
  X(VatMatrixTable, "vat_matrix")                             \
  X(ProductUnitTable, "product_unit_conversion")              \
  X(PriceListTable, "purchase_price_list")                    \
  X(DiscountTable, "purchase_discount")                       \
  X(ProjectAnalysisTable, "order_line_project_analysis")      \
  X(NominalAnalysisTable, "order_line_nominal_analysis")      \
  X(SupplierInfoTable, "supplier_product_info")               \
  X(UnitDescriptionTable, "unit_description")                 \
  X(UnitConversionTable, "unit_conversion")                   \
  X(ServiceTable, "service_item")                             \
  X(StockCategoryTable, "stock_category")                     \
  X(BatchTable, "stock_batch")                                \
  X(StockHistoryTable, "stock_movement_history")              \
  X(NominalMovementTable, "stock_nominal_movement")           \
  X(StockTable, "stock_item")                                 \
  X(StockExtensionTable, "stock_item_extension")              \
  X(ReceiptTable, "goods_receipt_audit")                      \
  X(OrderLineTable, "purchase_order_line")                    \
  X(OrderHeaderTable, "purchase_order_header")                \
  X(OrderLineAnalysisTable, "purchase_order_line_analysis")   \
  X(VarianceHistoryTable, "purchase_order_variance_history")  \
  X(OrderFaxTable, "purchase_order_fax")                      \
  X(ProductGroupToleranceTable, "product_group_tolerance")    \
  X(OrderRateTable, "purchase_order_rate")                    \
  X(VarianceHistoryRateTable, "purchase_order_variance_rate") \
  X(OrderLineWeightTable, "purchase_order_line_weight")       \
  X(OrderVatStateTable, "purchase_order_vat_state")           \
  X(RetentionAnalysisTable, "order_line_retention_analysis")

namespace tarnlow {

enum class CatalogueTable : std::uint8_t {
#define TARNLOW_ENUM_TABLE(T, default_name) T,
  TARNLOW_TABLES(TARNLOW_ENUM_TABLE)
#undef TARNLOW_ENUM_TABLE
};
#define TARNLOW_COUNT_TABLE(T, default_name) +1
inline constexpr std::size_t CatalogueTableCount = 0 TARNLOW_TABLES(TARNLOW_COUNT_TABLE);
#undef TARNLOW_COUNT_TABLE

}  // namespace tarnlow

namespace tarnlow::tables {

// When a column or key exists; the connection's options choose the layout.
enum class Layout : std::uint8_t {
  Always,
  Kind2,          // database kind 2 only
  NotKind2,       // every kind but 2
  Extended,       // extended layout, from release 8
  ReleaseBelow6,  // release number below 6
  Release6Up,     // release number 6 or more
};

// What table objects do with a column beyond storing it as it is.
enum Trait : std::uint8_t {
  kDateKeyOnKind2 = 1,  // kind 2 keeps this date as 6-character date-key text
  kNullWhenZero = 2,    // a zero date is written as null: the date is not known yet
};

struct Column {
  std::string_view name;
  ValueKind kind;
  std::int32_t size;  // text only
  Layout layout;
  std::uint8_t traits;
  CatalogueTable table;

  constexpr bool Has(Trait t) const { return (traits & t) != 0; }
  // Whether the column exists on a database of this kind, release and layout.
  constexpr bool Exists(int kind_of_database, int release, bool extended) const {
    switch (layout) {
      case Layout::Always: return true;
      case Layout::Kind2: return kind_of_database == 2;
      case Layout::NotKind2: return kind_of_database != 2;
      case Layout::Extended: return extended && release >= 8;
      case Layout::ReleaseBelow6: return release < 6;
      case Layout::Release6Up: return release >= 6;
    }
    return false;
  }
};

// The column name of an entry: its identifier without a keyword's underscore.
constexpr std::string_view ColumnName(std::string_view ident) {
  return ident.ends_with('_') ? ident.substr(0, ident.size() - 1) : ident;
}

// One expense text per product in a warehouse (one combined key before release 6).
#define TARNLOW_TABLE_ProductExpenseTable(COLUMN, KEY, ctx) \
  COLUMN(ctx, whproduct, Text, 22, ReleaseBelow6, 0)        \
  COLUMN(ctx, warehouse, Text, 2, Release6Up, 0)            \
  COLUMN(ctx, product, Text, 20, Release6Up, 0)             \
  COLUMN(ctx, expense, Text, 20, Always, 0)                 \
  KEY(ctx, ReleaseBelow6, whproduct)                        \
  KEY(ctx, Release6Up, warehouse, product)

// VAT code for each pair of account VAT type and item VAT type.
#define TARNLOW_TABLE_VatMatrixTable(COLUMN, KEY, ctx) \
  COLUMN(ctx, account_vat_type, Text, 10, Always, 0)   \
  COLUMN(ctx, item_vat_type, Text, 10, Always, 0)      \
  COLUMN(ctx, description, Text, 30, Always, 0)        \
  COLUMN(ctx, vat_code, Text, 3, Always, 0)            \
  KEY(ctx, Always, account_vat_type, item_vat_type)

// Unit conversions that hold for one product in one warehouse.
#define TARNLOW_TABLE_ProductUnitTable(COLUMN, KEY, ctx) \
  COLUMN(ctx, warehouse, Text, 2, Always, 0)             \
  COLUMN(ctx, product, Text, 20, Always, 0)              \
  COLUMN(ctx, base_name, Text, 6, Always, 0)             \
  COLUMN(ctx, converted_unit, Text, 6, Always, 0)        \
  COLUMN(ctx, alt_unit, Text, 1, Always, 0)              \
  COLUMN(ctx, conv_factor, Double, 0, Always, 0)         \
  COLUMN(ctx, conv_method, Text, 1, Always, 0)           \
  COLUMN(ctx, from_min_break, Double, 0, Always, 0)      \
  COLUMN(ctx, to_min_break, Double, 0, Always, 0)        \
  KEY(ctx, Always, warehouse, product, base_name, converted_unit)

// Purchase prices; customer_code holds the supplier's account code.
#define TARNLOW_TABLE_PriceListTable(COLUMN, KEY, ctx)  \
  COLUMN(ctx, customer_code, Text, 8, Always, 0)        \
  COLUMN(ctx, price_list, Text, 3, Always, 0)           \
  COLUMN(ctx, product_code, Text, 20, Always, 0)        \
  COLUMN(ctx, sequence_number, Text, 2, Always, 0)      \
  COLUMN(ctx, currency_code, Text, 3, Always, 0)        \
  COLUMN(ctx, description, Text, 20, Always, 0)         \
  COLUMN(ctx, new_price, Double, 0, Always, 0)          \
  COLUMN(ctx, price, Double, 0, Always, 0)              \
  COLUMN(ctx, price_end_date, Date, 0, Always, 0)       \
  COLUMN(ctx, price_start_date, Date, 0, Always, 0)     \
  COLUMN(ctx, unit_code, Text, 6, Always, 0)            \
  COLUMN(ctx, unit_code_group, Text, 1, Always, 0)      \
  COLUMN(ctx, unit_qty_per_price, Double, 0, Always, 0) \
  COLUMN(ctx, vat_inclusive_flag, Text, 1, Always, 0)   \
  KEY(ctx, Always, customer_code, price_list, product_code, sequence_number)

// Quantity-break discounts, in their insert's column order. The cache keys
// rows by the three codes cut or padded to 4, 8 and 3 characters, case
// ignored: rows whose keys meet there cannot be cached together.
#define TARNLOW_TABLE_DiscountTable(COLUMN, KEY, ctx) \
  COLUMN(ctx, cust_disc_code, Text, 4, Always, 0)     \
  COLUMN(ctx, description, Text, 20, Always, 0)       \
  COLUMN(ctx, discount1, Double, 0, Always, 0)        \
  COLUMN(ctx, discount2, Double, 0, Always, 0)        \
  COLUMN(ctx, discount3, Double, 0, Always, 0)        \
  COLUMN(ctx, discount4, Double, 0, Always, 0)        \
  COLUMN(ctx, discount5, Double, 0, Always, 0)        \
  COLUMN(ctx, discount6, Double, 0, Always, 0)        \
  COLUMN(ctx, discount7, Double, 0, Always, 0)        \
  COLUMN(ctx, discount_type, Text, 1, Always, 0)      \
  COLUMN(ctx, price_list, Text, 3, Always, 0)         \
  COLUMN(ctx, prod_disc_code, Text, 8, Always, 0)     \
  COLUMN(ctx, quantity_break1, Double, 0, Always, 0)  \
  COLUMN(ctx, quantity_break2, Double, 0, Always, 0)  \
  COLUMN(ctx, quantity_break3, Double, 0, Always, 0)  \
  COLUMN(ctx, quantity_break4, Double, 0, Always, 0)  \
  COLUMN(ctx, quantity_break5, Double, 0, Always, 0)  \
  COLUMN(ctx, quantity_break6, Double, 0, Always, 0)  \
  COLUMN(ctx, quantity_break7, Double, 0, Always, 0)  \
  COLUMN(ctx, slash1, Text, 1, Always, 0)             \
  COLUMN(ctx, slash2, Text, 1, Always, 0)             \
  COLUMN(ctx, unit_code, Text, 6, Always, 0)          \
  COLUMN(ctx, unit_group, Text, 1, Always, 0)         \
  COLUMN(ctx, vat_inclusive_flag, Text, 1, Always, 0) \
  KEY(ctx, Always, cust_disc_code, prod_disc_code, price_list)

// Project fields of a nominal analysis entry; found by record_key alone.
#define TARNLOW_TABLE_ProjectAnalysisTable(COLUMN, KEY, ctx) \
  COLUMN(ctx, record_key, Text, 22, Always, 0)               \
  COLUMN(ctx, page_number, Text, 6, Always, 0)               \
  COLUMN(ctx, record_type, Text, 1, Always, 0)               \
  COLUMN(ctx, exprev_code, Text, 20, Always, 0)              \
  COLUMN(ctx, pr_period, Text, 4, Always, 0)                 \
  COLUMN(ctx, proj_code, Text, 20, Always, 0)

// Nominal analysis entries; page_number is six zero-padded digits.
#define TARNLOW_TABLE_NominalAnalysisTable(COLUMN, KEY, ctx) \
  COLUMN(ctx, record_key, Text, 22, Always, 0)               \
  COLUMN(ctx, page_number, Text, 6, Always, 0)               \
  COLUMN(ctx, record_type, Text, 1, Always, 0)               \
  COLUMN(ctx, code_value, Double, 0, Always, 0)              \
  COLUMN(ctx, exp_code, Text, 10, Always, 0)                 \
  COLUMN(ctx, jc_code, Text, 10, Always, 0)                  \
  COLUMN(ctx, nominal_code, Text, 16, Always, 0)             \
  COLUMN(ctx, sp_code_value, Double, 0, Always, 0)

// A supplier's data for a product in a warehouse.
#define TARNLOW_TABLE_SupplierInfoTable(COLUMN, KEY, ctx) \
  COLUMN(ctx, supplier, Text, 8, Always, 0)               \
  COLUMN(ctx, warehouse, Text, 2, Always, 0)              \
  COLUMN(ctx, product, Text, 20, Always, 0)               \
  COLUMN(ctx, cost, Double, 0, Always, 0)                 \
  COLUMN(ctx, description, Text, 20, Always, 0)           \
  COLUMN(ctx, long_description, Text, 40, Always, 0)      \
  COLUMN(ctx, part_no, Text, 20, Always, 0)               \
  COLUMN(ctx, reorder_days, Double, 0, Always, 0)         \
  COLUMN(ctx, unit_code, Text, 6, Always, 0)              \
  COLUMN(ctx, unit_qty_cost, Double, 0, Always, 0)        \
  KEY(ctx, Always, supplier, warehouse, product)

// Units of measure and their decimal places.
#define TARNLOW_TABLE_UnitDescriptionTable(COLUMN, KEY, ctx) \
  COLUMN(ctx, unit_code, Text, 6, Always, 0)                 \
  COLUMN(ctx, dec_places, Int16, 0, Always, 0)               \
  KEY(ctx, Always, unit_code)

// General unit conversions, cached by "select *" and read by position (0,
// 1, 3, 4, 6, 7): the physical order matters; 2 and 5 are unused.
#define TARNLOW_TABLE_UnitConversionTable(COLUMN, KEY, ctx) \
  COLUMN(ctx, base_name, Text, 6, Always, 0)                \
  COLUMN(ctx, converted_unit, Text, 6, Always, 0)           \
  COLUMN(ctx, unit_group, Text, 1, Always, 0)               \
  COLUMN(ctx, conv_factor, Double, 0, Always, 0)            \
  COLUMN(ctx, conv_method, Text, 1, Always, 0)              \
  COLUMN(ctx, description, Text, 30, Always, 0)             \
  COLUMN(ctx, from_min_break, Double, 0, Always, 0)         \
  COLUMN(ctx, to_min_break, Double, 0, Always, 0)           \
  KEY(ctx, Always, base_name, converted_unit)

// Service items read by their code at goods receipt.
#define TARNLOW_TABLE_ServiceTable(COLUMN, KEY, ctx) \
  COLUMN(ctx, service, Text, 20, Always, 0)          \
  COLUMN(ctx, cost, Double, 0, Always, 0)            \
  COLUMN(ctx, unit_code, Text, 10, Always, 0)        \
  KEY(ctx, Always, service)

// Stock nominal categories and their ledger accounts.
#define TARNLOW_TABLE_StockCategoryTable(COLUMN, KEY, ctx) \
  COLUMN(ctx, nl_category, Text, 3, Always, 0)             \
  COLUMN(ctx, po_recp_acc, Text, 16, Always, 0)            \
  COLUMN(ctx, st_balance_acc, Text, 16, Always, 0)         \
  KEY(ctx, Always, nl_category)

// Stock batches; a duplicate sequence number makes the numbering retry.
#define TARNLOW_TABLE_BatchTable(COLUMN, KEY, ctx)              \
  COLUMN(ctx, batch_number, Text, 10, Always, 0)                \
  COLUMN(ctx, best_before_date, Date, 0, Always, kNullWhenZero) \
  COLUMN(ctx, best_date_key, Text, 28, Always, 0)               \
  COLUMN(ctx, bin_number, Text, 10, Always, 0)                  \
  COLUMN(ctx, concentration, Double, 0, Always, 0)              \
  COLUMN(ctx, conformity_ref, Text, 20, Always, 0)              \
  COLUMN(ctx, date_received, Date, 0, Always, 0)                \
  COLUMN(ctx, expiry_date, Date, 0, Always, kNullWhenZero)      \
  COLUMN(ctx, expiry_date_key, Text, 28, Always, 0)             \
  COLUMN(ctx, inspection_date, Date, 0, Always, kNullWhenZero)  \
  COLUMN(ctx, inspector_code, Text, 4, Always, 0)               \
  COLUMN(ctx, labour_cost, Double, 0, Always, 0)                \
  COLUMN(ctx, lot_number, Text, 10, Always, 0)                  \
  COLUMN(ctx, overhead_cost, Double, 0, Always, 0)              \
  COLUMN(ctx, passed_inspection, Text, 1, Always, 0)            \
  COLUMN(ctx, prod_code, Text, 20, Always, 0)                   \
  COLUMN(ctx, product, Text, 20, Always, 0)                     \
  COLUMN(ctx, quantity, Double, 0, Always, 0)                   \
  COLUMN(ctx, quantity_free, Double, 0, Always, 0)              \
  COLUMN(ctx, sell_by_date, Date, 0, Always, kNullWhenZero)     \
  COLUMN(ctx, sellby_date_key, Text, 28, Always, 0)             \
  COLUMN(ctx, sequence_number, Text, 6, Always, 0)              \
  COLUMN(ctx, serial_number, Text, 20, Always, 0)               \
  COLUMN(ctx, source_code, Text, 10, Always, 0)                 \
  COLUMN(ctx, spare, Text, 6, Always, 0)                        \
  COLUMN(ctx, sub_contract_cost, Double, 0, Always, 0)          \
  COLUMN(ctx, unit_cost, Double, 0, Always, 0)                  \
  COLUMN(ctx, users_field_1, Double, 0, Always, 0)              \
  COLUMN(ctx, users_field_2, Double, 0, Always, 0)              \
  COLUMN(ctx, users_field_3, Double, 0, Always, 0)              \
  COLUMN(ctx, users_text_field, Text, 10, Always, 0)            \
  COLUMN(ctx, warehouse, Text, 2, Always, 0)                    \
  KEY(ctx, Always, warehouse, product, sequence_number)

// Stock movement history; numbering relies on the key rejecting a second
// row with the same sequence number for a warehouse, product and day.
#define TARNLOW_TABLE_StockHistoryTable(COLUMN, KEY, ctx) \
  COLUMN(ctx, batch_number, Text, 10, Always, 0)          \
  COLUMN(ctx, comments, Text, 60, Always, 0)              \
  COLUMN(ctx, dated, Date, 0, Always, kDateKeyOnKind2)    \
  COLUMN(ctx, expiry_date, Date, 0, Always, 0)            \
  COLUMN(ctx, from_bin_number, Text, 10, Always, 0)       \
  COLUMN(ctx, lot_number, Text, 10, Always, 0)            \
  COLUMN(ctx, movement_cost, Double, 0, Always, 0)        \
  COLUMN(ctx, movement_date, Date, 0, Always, 0)          \
  COLUMN(ctx, movement_quantity, Double, 0, Always, 0)    \
  COLUMN(ctx, movement_reference, Text, 10, Always, 0)    \
  COLUMN(ctx, movement_source, Text, 10, Always, 0)       \
  COLUMN(ctx, nl_category, Text, 3, Always, 0)            \
  COLUMN(ctx, opening_balance, Double, 0, Always, 0)      \
  COLUMN(ctx, product, Text, 20, Always, 0)               \
  COLUMN(ctx, sequence_no, Text, 6, Always, 0)            \
  COLUMN(ctx, serial_number, Text, 20, Always, 0)         \
  COLUMN(ctx, spare, Text, 48, Always, 0)                 \
  COLUMN(ctx, sub_contract_cost, Double, 0, Always, 0)    \
  COLUMN(ctx, to_bin_number, Text, 10, Always, 0)         \
  COLUMN(ctx, total_labour_cost, Double, 0, Always, 0)    \
  COLUMN(ctx, total_overhead_cos, Double, 0, Always, 0)   \
  COLUMN(ctx, transaction_type, Text, 4, Always, 0)       \
  COLUMN(ctx, user_id, Text, 8, Always, 0)                \
  COLUMN(ctx, val_only_adj_ind, Text, 1, Always, 0)       \
  COLUMN(ctx, warehouse, Text, 2, Always, 0)              \
  KEY(ctx, Always, warehouse, product, dated, sequence_no)

// Nominal ledger movements of stock; only kind 2 makes rows unique.
#define TARNLOW_TABLE_NominalMovementTable(COLUMN, KEY, ctx) \
  COLUMN(ctx, unique_no, Text, 8, Kind2, 0)                  \
  COLUMN(ctx, account, Text, 16, Always, 0)                  \
  COLUMN(ctx, amount_posted, Double, 0, Always, 0)           \
  COLUMN(ctx, comments, Text, 60, Always, 0)                 \
  COLUMN(ctx, movement_date, Date, 0, Always, 0)             \
  COLUMN(ctx, post_flag, Text, 1, Always, 0)                 \
  COLUMN(ctx, tranaction_ref, Text, 10, Always, 0)           \
  KEY(ctx, Kind2, unique_no)

// Stock items, adjusted at goods receipt and as orders change.
#define TARNLOW_TABLE_StockTable(COLUMN, KEY, ctx)      \
  COLUMN(ctx, warehouse, Text, 2, Always, 0)            \
  COLUMN(ctx, product, Text, 20, Always, 0)             \
  COLUMN(ctx, alpha, Text, 8, Always, 0)                \
  COLUMN(ctx, analysis_a, Text, 10, Always, 0)          \
  COLUMN(ctx, analysis_b, Text, 10, Always, 0)          \
  COLUMN(ctx, analysis_c, Text, 10, Always, 0)          \
  COLUMN(ctx, analysis_x_ref, Text, 10, Always, 0)      \
  COLUMN(ctx, batch_traceability, Text, 1, Always, 0)   \
  COLUMN(ctx, bin_number, Text, 10, Always, 0)          \
  COLUMN(ctx, buyer_id, Text, 8, Always, 0)             \
  COLUMN(ctx, current_cost, Double, 0, Always, 0)       \
  COLUMN(ctx, current_labour, Double, 0, Always, 0)     \
  COLUMN(ctx, current_material, Double, 0, Always, 0)   \
  COLUMN(ctx, current_overhead, Double, 0, Always, 0)   \
  COLUMN(ctx, current_subcontrac, Double, 0, Always, 0) \
  COLUMN(ctx, delivery_date, Date, 0, Always, 0)        \
  COLUMN(ctx, description, Text, 60, Always, 0)         \
  COLUMN(ctx, drawing_number, Text, 20, Always, 0)      \
  COLUMN(ctx, expected_cost, Double, 0, Always, 0)      \
  COLUMN(ctx, last_supplier, Text, 8, Always, 0)        \
  COLUMN(ctx, long_description, Text, 60, Always, 0)    \
  COLUMN(ctx, month_to_date03, Double, 0, Always, 0)    \
  COLUMN(ctx, on_order_qty, Double, 0, Always, 0)       \
  COLUMN(ctx, physical_qty, Double, 0, Always, 0)       \
  COLUMN(ctx, pricing_discount, Text, 8, Always, 0)     \
  COLUMN(ctx, purchase_key, Text, 20, Always, 0)        \
  COLUMN(ctx, purchase_unit, Text, 10, Always, 0)       \
  COLUMN(ctx, qty_decimal_places, Text, 1, Always, 0)   \
  COLUMN(ctx, serial_numbers, Text, 1, Always, 0)       \
  COLUMN(ctx, standard_cost, Double, 0, Always, 0)      \
  COLUMN(ctx, standard_labour, Double, 0, Always, 0)    \
  COLUMN(ctx, standard_material, Double, 0, Always, 0)  \
  COLUMN(ctx, standard_overhead, Double, 0, Always, 0)  \
  COLUMN(ctx, standard_subcontra, Double, 0, Always, 0) \
  COLUMN(ctx, stock_vat_type, Text, 10, Always, 0)      \
  COLUMN(ctx, supplier, Text, 8, Always, 0)             \
  COLUMN(ctx, unit_code, Text, 10, Always, 0)           \
  COLUMN(ctx, weight, Double, 0, Always, 0)             \
  COLUMN(ctx, year_to_date03, Double, 0, Always, 0)     \
  KEY(ctx, Always, warehouse, product)

// Extra analysis codes, tolerances and consumer unit of a stock item.
#define TARNLOW_TABLE_StockExtensionTable(COLUMN, KEY, ctx) \
  COLUMN(ctx, warehouse, Text, 2, Always, 0)                \
  COLUMN(ctx, product, Text, 20, Always, 0)                 \
  COLUMN(ctx, analysis_d, Text, 10, Always, 0)              \
  COLUMN(ctx, analysis_e, Text, 10, Always, 0)              \
  COLUMN(ctx, analysis_f, Text, 10, Always, 0)              \
  COLUMN(ctx, call_off_qty_tol, Text, 30, Always, 0)        \
  COLUMN(ctx, consumer_unit, Text, 10, Always, 0)           \
  COLUMN(ctx, delivery_qty_tol, Text, 30, Always, 0)        \
  KEY(ctx, Always, warehouse, product)

// Goods-receipt audit rows, unique only by kind 2's unique number; kind 2
// names the comment column "comment", every other kind "commnt".
#define TARNLOW_TABLE_ReceiptTable(COLUMN, KEY, ctx)  \
  COLUMN(ctx, unique_no, Text, 8, Kind2, 0)           \
  COLUMN(ctx, comment, Text, 20, Kind2, 0)            \
  COLUMN(ctx, commnt, Text, 20, NotKind2, 0)          \
  COLUMN(ctx, creation_date, Date, 0, Always, 0)      \
  COLUMN(ctx, date_received, Date, 0, Always, 0)      \
  COLUMN(ctx, date_required, Date, 0, Always, 0)      \
  COLUMN(ctx, delivery_no, Text, 8, Always, 0)        \
  COLUMN(ctx, foreign_cost, Double, 0, Always, 0)     \
  COLUMN(ctx, level_of_detail, Text, 1, Always, 0)    \
  COLUMN(ctx, local_cost, Double, 0, Always, 0)       \
  COLUMN(ctx, more_to_come_ind, Text, 1, Always, 0)   \
  COLUMN(ctx, order_no, Text, 10, Always, 0)          \
  COLUMN(ctx, originator_user_id, Text, 8, Always, 0) \
  COLUMN(ctx, pl_company, Text, 8, Always, 0)         \
  COLUMN(ctx, product, Text, 20, Always, 0)           \
  COLUMN(ctx, qty_booked_out, Double, 0, Always, 0)   \
  COLUMN(ctx, qty_received, Double, 0, Always, 0)     \
  COLUMN(ctx, qty_returned, Double, 0, Always, 0)     \
  COLUMN(ctx, receipt_no, Text, 6, Always, 0)         \
  COLUMN(ctx, return_code, Text, 10, Always, 0)       \
  COLUMN(ctx, return_number, Text, 10, Always, 0)     \
  COLUMN(ctx, return_text1, Text, 60, Always, 0)      \
  COLUMN(ctx, return_text2, Text, 60, Always, 0)      \
  COLUMN(ctx, spare, Text, 48, Always, 0)             \
  COLUMN(ctx, stock_unit_dp, Text, 1, Always, 0)      \
  COLUMN(ctx, supplier, Text, 8, Always, 0)           \
  COLUMN(ctx, unit_code, Text, 6, Always, 0)          \
  COLUMN(ctx, unit_factor, Double, 0, Always, 0)      \
  COLUMN(ctx, unit_group, Text, 1, Always, 0)         \
  COLUMN(ctx, unit_operand, Text, 1, Always, 0)       \
  COLUMN(ctx, warehouse, Text, 2, Always, 0)          \
  KEY(ctx, Kind2, unique_no)

// Purchase order lines; order_line_no is 4-character right-justified text.
#define TARNLOW_TABLE_OrderLineTable(COLUMN, KEY, ctx)  \
  COLUMN(ctx, order_no, Text, 10, Always, 0)            \
  COLUMN(ctx, order_line_no, Text, 4, Always, 0)        \
  COLUMN(ctx, alloc_expect_cost, Double, 0, Always, 0)  \
  COLUMN(ctx, bundle_line_ref, Text, 5, Always, 0)      \
  COLUMN(ctx, cost_per_unit, Double, 0, Always, 0)      \
  COLUMN(ctx, cost_price_u, Double, 0, Always, 0)       \
  COLUMN(ctx, date_completed, Date, 0, Always, 0)       \
  COLUMN(ctx, date_required, Date, 0, Always, 0)        \
  COLUMN(ctx, delivery_no1, Text, 8, Always, 0)         \
  COLUMN(ctx, delivery_no2, Text, 8, Always, 0)         \
  COLUMN(ctx, delivery_no3, Text, 8, Always, 0)         \
  COLUMN(ctx, description, Text, 20, Always, 0)         \
  COLUMN(ctx, discount, Double, 0, Always, 0)           \
  COLUMN(ctx, discount_code, Text, 8, Always, 0)        \
  COLUMN(ctx, discount_price_u, Double, 0, Always, 0)   \
  COLUMN(ctx, discount_tran_u, Double, 0, Always, 0)    \
  COLUMN(ctx, foreign_exp_cost, Double, 0, Always, 0)   \
  COLUMN(ctx, foreign_total_act, Double, 0, Always, 0)  \
  COLUMN(ctx, foreign_total_exp, Double, 0, Always, 0)  \
  COLUMN(ctx, goods_vat_ind, Text, 1, Always, 0)        \
  COLUMN(ctx, grn_required, Text, 1, Always, 0)         \
  COLUMN(ctx, inv_qty_to_date, Double, 0, Always, 0)    \
  COLUMN(ctx, inv_value_logged, Double, 0, Always, 0)   \
  COLUMN(ctx, inv_value_posted, Double, 0, Always, 0)   \
  COLUMN(ctx, level_of_detail, Text, 1, Always, 0)      \
  COLUMN(ctx, line_type, Text, 1, Always, 0)            \
  COLUMN(ctx, list_cost_price_u, Double, 0, Always, 0)  \
  COLUMN(ctx, list_cost_stock_u, Double, 0, Always, 0)  \
  COLUMN(ctx, list_cost_tran_u, Double, 0, Always, 0)   \
  COLUMN(ctx, local_expect_cost, Double, 0, Always, 0)  \
  COLUMN(ctx, local_total_actual, Double, 0, Always, 0) \
  COLUMN(ctx, local_total_expect, Double, 0, Always, 0) \
  COLUMN(ctx, log_inv_by_qty, Text, 1, Always, 0)       \
  COLUMN(ctx, long_description, Text, 40, Always, 0)    \
  COLUMN(ctx, mrp_flag, Text, 1, Always, 0)             \
  COLUMN(ctx, new_rec_this_run, Text, 1, Always, 0)     \
  COLUMN(ctx, new_vat_code, Text, 3, Always, 0)         \
  COLUMN(ctx, nl_category, Text, 3, Always, 0)          \
  COLUMN(ctx, orig_qty, Double, 0, Always, 0)           \
  COLUMN(ctx, pricing_unit, Text, 6, Always, 0)         \
  COLUMN(ctx, pricing_unit_fact, Double, 0, Always, 0)  \
  COLUMN(ctx, pricing_unit_op, Text, 1, Always, 0)      \
  COLUMN(ctx, product, Text, 20, Always, 0)             \
  COLUMN(ctx, qty_invoiced, Double, 0, Always, 0)       \
  COLUMN(ctx, qty_issued, Double, 0, Always, 0)         \
  COLUMN(ctx, qty_ordered, Double, 0, Always, 0)        \
  COLUMN(ctx, qty_received, Double, 0, Always, 0)       \
  COLUMN(ctx, qty_returned, Double, 0, Always, 0)       \
  COLUMN(ctx, serial_indic, Text, 1, Always, 0)         \
  COLUMN(ctx, ship_date, Date, 0, Always, 0)            \
  COLUMN(ctx, spare, Text, 20, Always, 0)               \
  COLUMN(ctx, status, Text, 1, Always, 0)               \
  COLUMN(ctx, stock_unit_dp, Text, 1, Always, 0)        \
  COLUMN(ctx, tran_code1, Text, 10, Always, 0)          \
  COLUMN(ctx, tran_code2, Text, 10, Always, 0)          \
  COLUMN(ctx, tran_code3, Text, 10, Always, 0)          \
  COLUMN(ctx, tran_exp_cost, Double, 0, Always, 0)      \
  COLUMN(ctx, tran_exp_fcost, Double, 0, Always, 0)     \
  COLUMN(ctx, tran_inv_qty, Double, 0, Always, 0)       \
  COLUMN(ctx, tran_order_qty, Double, 0, Always, 0)     \
  COLUMN(ctx, tran_orig_orderq, Double, 0, Always, 0)   \
  COLUMN(ctx, tran_qty_returned, Double, 0, Always, 0)  \
  COLUMN(ctx, tran_recd_qty, Double, 0, Always, 0)      \
  COLUMN(ctx, trans_unit_dp, Text, 1, Always, 0)        \
  COLUMN(ctx, unalloc_qty, Double, 0, Always, 0)        \
  COLUMN(ctx, unit_code, Text, 10, Always, 0)           \
  COLUMN(ctx, unit_factor, Double, 0, Always, 0)        \
  COLUMN(ctx, unit_group, Text, 1, Always, 0)           \
  COLUMN(ctx, unit_operand, Text, 1, Always, 0)         \
  COLUMN(ctx, value_disc_flag, Text, 1, Always, 0)      \
  COLUMN(ctx, vat_code, Text, 1, Always, 0)             \
  COLUMN(ctx, warehouse, Text, 2, Always, 0)            \
  COLUMN(ctx, weight, Double, 0, Always, 0)             \
  KEY(ctx, Always, order_no, order_line_no)

// Purchase order headers; address lines are 32 characters, 64 on the
// extended layout (sized for that), which adds eleven address columns.
#define TARNLOW_TABLE_OrderHeaderTable(COLUMN, KEY, ctx) \
  COLUMN(ctx, order_no, Text, 10, Always, 0)             \
  COLUMN(ctx, address1, Text, 64, Always, 0)             \
  COLUMN(ctx, address2, Text, 64, Always, 0)             \
  COLUMN(ctx, address3, Text, 64, Always, 0)             \
  COLUMN(ctx, address4, Text, 64, Always, 0)             \
  COLUMN(ctx, address5, Text, 64, Always, 0)             \
  COLUMN(ctx, alpha, Text, 8, Always, 0)                 \
  COLUMN(ctx, amend_req_no, Text, 10, Always, 0)         \
  COLUMN(ctx, buyer_id, Text, 8, Always, 0)              \
  COLUMN(ctx, committed_flag, Text, 1, Always, 0)        \
  COLUMN(ctx, committed_year, Text, 1, Always, 0)        \
  COLUMN(ctx, currency, Text, 3, Always, 0)              \
  COLUMN(ctx, date_completed, Date, 0, Always, 0)        \
  COLUMN(ctx, date_entered, Date, 0, Always, 0)          \
  COLUMN(ctx, date_required, Date, 0, Always, 0)         \
  COLUMN(ctx, delivery_address1, Text, 64, Always, 0)    \
  COLUMN(ctx, delivery_address2, Text, 64, Always, 0)    \
  COLUMN(ctx, delivery_address3, Text, 64, Always, 0)    \
  COLUMN(ctx, delivery_address4, Text, 64, Always, 0)    \
  COLUMN(ctx, delivery_address5, Text, 64, Always, 0)    \
  COLUMN(ctx, delivery_address6, Text, 64, Always, 0)    \
  COLUMN(ctx, discount_category, Text, 4, Always, 0)     \
  COLUMN(ctx, exchange_rate, Double, 0, Always, 0)       \
  COLUMN(ctx, firm_planned, Text, 1, Always, 0)          \
  COLUMN(ctx, hold_indicator, Text, 1, Always, 0)        \
  COLUMN(ctx, last_grn_date, Date, 0, Always, 0)         \
  COLUMN(ctx, last_inv_log_date, Date, 0, Always, 0)     \
  COLUMN(ctx, memo1, Text, 10, Always, 0)                \
  COLUMN(ctx, memo2, Text, 10, Always, 0)                \
  COLUMN(ctx, mrp_included, Text, 1, Always, 0)          \
  COLUMN(ctx, nl_company, Text, 16, Always, 0)           \
  COLUMN(ctx, orig_paper_req_no, Text, 10, Always, 0)    \
  COLUMN(ctx, orig_req_id, Text, 8, Always, 0)           \
  COLUMN(ctx, orig_req_no, Text, 10, Always, 0)          \
  COLUMN(ctx, parent_order, Text, 10, Always, 0)         \
  COLUMN(ctx, pl_company, Text, 8, Always, 0)            \
  COLUMN(ctx, price_list, Text, 3, Always, 0)            \
  COLUMN(ctx, spare, Text, 14, Always, 0)                \
  COLUMN(ctx, status, Text, 1, Always, 0)                \
  COLUMN(ctx, supplier, Text, 8, Always, 0)              \
  COLUMN(ctx, supplier_ref, Text, 20, Always, 0)         \
  COLUMN(ctx, tran_code1, Text, 10, Always, 0)           \
  COLUMN(ctx, tran_code2, Text, 10, Always, 0)           \
  COLUMN(ctx, tran_code3, Text, 10, Always, 0)           \
  COLUMN(ctx, vat_type, Text, 10, Always, 0)             \
  COLUMN(ctx, address6, Text, 64, Extended, 0)           \
  COLUMN(ctx, country, Text, 64, Extended, 0)            \
  COLUMN(ctx, county, Text, 64, Extended, 0)             \
  COLUMN(ctx, del_country, Text, 64, Extended, 0)        \
  COLUMN(ctx, del_county, Text, 64, Extended, 0)         \
  COLUMN(ctx, del_iso_country_co, Text, 2, Extended, 0)  \
  COLUMN(ctx, del_state_region, Text, 64, Extended, 0)   \
  COLUMN(ctx, del_town_city, Text, 64, Extended, 0)      \
  COLUMN(ctx, iso_country_code, Text, 2, Extended, 0)    \
  COLUMN(ctx, state_region, Text, 64, Extended, 0)       \
  COLUMN(ctx, town_city, Text, 64, Extended, 0)          \
  KEY(ctx, Always, order_no)

// Analysis codes and tolerances of an order line, outer-joined: one per line.
#define TARNLOW_TABLE_OrderLineAnalysisTable(COLUMN, KEY, ctx) \
  COLUMN(ctx, order_no, Text, 10, Always, 0)                   \
  COLUMN(ctx, order_line_no, Text, 4, Always, 0)               \
  COLUMN(ctx, analysis_a, Text, 10, Always, 0)                 \
  COLUMN(ctx, analysis_b, Text, 10, Always, 0)                 \
  COLUMN(ctx, analysis_c, Text, 10, Always, 0)                 \
  COLUMN(ctx, analysis_d, Text, 10, Always, 0)                 \
  COLUMN(ctx, analysis_e, Text, 10, Always, 0)                 \
  COLUMN(ctx, analysis_f, Text, 10, Always, 0)                 \
  COLUMN(ctx, delivery_qty_tol, Text, 30, Always, 0)           \
  COLUMN(ctx, invoice_price_tol, Text, 30, Always, 0)          \
  COLUMN(ctx, invoice_qty_tol, Text, 30, Always, 0)            \
  COLUMN(ctx, invoice_value_tol, Text, 30, Always, 0)          \
  KEY(ctx, Always, order_no, order_line_no)

// Variance history of order lines: several rows per line, none read back
// by key, so no key is enforced.
#define TARNLOW_TABLE_VarianceHistoryTable(COLUMN, KEY, ctx) \
  COLUMN(ctx, order_no, Text, 10, Always, 0)                 \
  COLUMN(ctx, order_line_no, Text, 4, Always, 0)             \
  COLUMN(ctx, sequence_no, Text, 4, Always, 0)               \
  COLUMN(ctx, accruals_reversed, Text, 1, Always, 0)         \
  COLUMN(ctx, analysis_a, Text, 10, Always, 0)               \
  COLUMN(ctx, analysis_b, Text, 10, Always, 0)               \
  COLUMN(ctx, analysis_c, Text, 10, Always, 0)               \
  COLUMN(ctx, analysis_d, Text, 10, Always, 0)               \
  COLUMN(ctx, analysis_e, Text, 10, Always, 0)               \
  COLUMN(ctx, analysis_f, Text, 10, Always, 0)               \
  COLUMN(ctx, auth_method, Text, 1, Always, 0)               \
  COLUMN(ctx, currency, Text, 3, Always, 0)                  \
  COLUMN(ctx, delivery_qty, Double, 0, Always, 0)            \
  COLUMN(ctx, delivery_qty_tol, Double, 0, Always, 0)        \
  COLUMN(ctx, dp_currency, Text, 1, Always, 0)               \
  COLUMN(ctx, dp_unit, Text, 1, Always, 0)                   \
  COLUMN(ctx, grni_accrued, Double, 0, Always, 0)            \
  COLUMN(ctx, history_date, Date, 0, Always, 0)              \
  COLUMN(ctx, history_type, Text, 3, Always, 0)              \
  COLUMN(ctx, invoice, Text, 10, Always, 0)                  \
  COLUMN(ctx, invoice_price, Double, 0, Always, 0)           \
  COLUMN(ctx, invoice_qty, Double, 0, Always, 0)             \
  COLUMN(ctx, invoice_rate, Double, 0, Always, 0)            \
  COLUMN(ctx, invoice_seq_no, Text, 4, Always, 0)            \
  COLUMN(ctx, operator_, Text, 1, Always, 0)                 \
  COLUMN(ctx, order_price, Double, 0, Always, 0)             \
  COLUMN(ctx, order_rate, Double, 0, Always, 0)              \
  COLUMN(ctx, pev_accrued, Double, 0, Always, 0)             \
  COLUMN(ctx, pev_realised, Double, 0, Always, 0)            \
  COLUMN(ctx, plan_rate, Double, 0, Always, 0)               \
  COLUMN(ctx, ppv_accrued, Double, 0, Always, 0)             \
  COLUMN(ctx, ppv_realised, Double, 0, Always, 0)            \
  COLUMN(ctx, pqv_realised, Double, 0, Always, 0)            \
  COLUMN(ctx, product, Text, 20, Always, 0)                  \
  COLUMN(ctx, receipt_no, Text, 6, Always, 0)                \
  COLUMN(ctx, receipt_qty, Double, 0, Always, 0)             \
  COLUMN(ctx, receipt_rate, Double, 0, Always, 0)            \
  COLUMN(ctx, receipt_seq_no, Text, 6, Always, 0)            \
  COLUMN(ctx, std_cost_local, Double, 0, Always, 0)          \
  COLUMN(ctx, supplier, Text, 8, Always, 0)                  \
  COLUMN(ctx, unit_code, Text, 10, Always, 0)                \
  COLUMN(ctx, warehouse, Text, 2, Always, 0)

// Fax number of an order: one companion row per order header.
#define TARNLOW_TABLE_OrderFaxTable(COLUMN, KEY, ctx) \
  COLUMN(ctx, order_no, Text, 10, Always, 0)          \
  COLUMN(ctx, fax, Text, 30, Always, 0)               \
  KEY(ctx, Always, order_no)

// Delivery and call-off tolerances per product group.
#define TARNLOW_TABLE_ProductGroupToleranceTable(COLUMN, KEY, ctx) \
  COLUMN(ctx, product_group, Text, 10, Always, 0)                  \
  COLUMN(ctx, call_off_qty_tol, Text, 30, Always, 0)               \
  COLUMN(ctx, delivery_qty_tol, Text, 30, Always, 0)               \
  KEY(ctx, Always, product_group)

// Second exchange rates of an order under the dual-rate option.
#define TARNLOW_TABLE_OrderRateTable(COLUMN, KEY, ctx) \
  COLUMN(ctx, order_no, Text, 10, Always, 0)           \
  COLUMN(ctx, exchange_rate1, Double, 0, Always, 0)    \
  COLUMN(ctx, exchange_rate2, Double, 0, Always, 0)    \
  COLUMN(ctx, operator_1, Text, 1, Always, 0)          \
  COLUMN(ctx, operator_2, Text, 1, Always, 0)          \
  KEY(ctx, Always, order_no)

// Dual-rate companion of each variance history row.
#define TARNLOW_TABLE_VarianceHistoryRateTable(COLUMN, KEY, ctx) \
  COLUMN(ctx, order_no, Text, 10, Always, 0)                     \
  COLUMN(ctx, order_line_no, Text, 4, Always, 0)                 \
  COLUMN(ctx, sequence_no, Text, 4, Always, 0)                   \
  COLUMN(ctx, invoice_op1, Text, 1, Always, 0)                   \
  COLUMN(ctx, invoice_op2, Text, 1, Always, 0)                   \
  COLUMN(ctx, invoice_rate1, Double, 0, Always, 0)               \
  COLUMN(ctx, invoice_rate2, Double, 0, Always, 0)               \
  COLUMN(ctx, order_op1, Text, 1, Always, 0)                     \
  COLUMN(ctx, order_op2, Text, 1, Always, 0)                     \
  COLUMN(ctx, order_rate1, Double, 0, Always, 0)                 \
  COLUMN(ctx, order_rate2, Double, 0, Always, 0)                 \
  COLUMN(ctx, plan_op1, Text, 1, Always, 0)                      \
  COLUMN(ctx, plan_op2, Text, 1, Always, 0)                      \
  COLUMN(ctx, plan_rate1, Double, 0, Always, 0)                  \
  COLUMN(ctx, plan_rate2, Double, 0, Always, 0)                  \
  COLUMN(ctx, receipt_op1, Text, 1, Always, 0)                   \
  COLUMN(ctx, receipt_op2, Text, 1, Always, 0)                   \
  COLUMN(ctx, receipt_rate1, Double, 0, Always, 0)               \
  COLUMN(ctx, receipt_rate2, Double, 0, Always, 0)

// Weight of each order line; before release 6 keyed by one combined column
// (order number padded to 10, then the line text). The spare text goes to
// "spare" or "spare2" by release, layout and version, so both exist.
#define TARNLOW_TABLE_OrderLineWeightTable(COLUMN, KEY, ctx) \
  COLUMN(ctx, order_det_key, Text, 14, ReleaseBelow6, 0)     \
  COLUMN(ctx, order_no, Text, 10, Release6Up, 0)             \
  COLUMN(ctx, order_line_no, Text, 4, Release6Up, 0)         \
  COLUMN(ctx, spare, Text, 5, Always, 0)                     \
  COLUMN(ctx, spare2, Text, 5, Always, 0)                    \
  COLUMN(ctx, suppunitqty, Double, 0, Always, 0)             \
  COLUMN(ctx, weightkg, Double, 0, Always, 0)                \
  KEY(ctx, ReleaseBelow6, order_det_key)                     \
  KEY(ctx, Release6Up, order_no, order_line_no)

// VAT state of an order; spare columns as for the line weights.
#define TARNLOW_TABLE_OrderVatStateTable(COLUMN, KEY, ctx) \
  COLUMN(ctx, order_no, Text, 10, Always, 0)               \
  COLUMN(ctx, spare, Text, 5, Always, 0)                   \
  COLUMN(ctx, spare2, Text, 5, Always, 0)                  \
  COLUMN(ctx, vatstate, Text, 3, Always, 0)                \
  KEY(ctx, Always, order_no)

// Retention fields of a nominal analysis entry.
#define TARNLOW_TABLE_RetentionAnalysisTable(COLUMN, KEY, ctx) \
  COLUMN(ctx, record_key, Text, 22, Always, 0)                 \
  COLUMN(ctx, page_number, Text, 6, Always, 0)                 \
  COLUMN(ctx, record_type, Text, 1, Always, 0)                 \
  COLUMN(ctx, non_recov_vat, Text, 4, Always, 0)               \
  COLUMN(ctx, retention_code, Text, 20, Always, 0)             \
  COLUMN(ctx, retention_type, Text, 20, Always, 0)

// ---- one constant per column: tables::BatchTable::warehouse ---------------

#define TARNLOW_TABLE_COLUMN_CONSTANT(ctx, ident, kind, size, layout, traits) \
  inline constexpr Column ident{ColumnName(#ident), ValueKind::kind, size, Layout::layout, traits, kTable};
#define TARNLOW_TABLE_COLUMN_ADDRESS(ctx, ident, kind, size, layout, traits) &ident,
#define TARNLOW_TABLE_NO_KEY(...)
#define TARNLOW_TABLE_CONSTANTS(T, default_name)                                 \
  namespace T {                                                                  \
  inline constexpr CatalogueTable kTable = CatalogueTable::T;                    \
  inline constexpr std::string_view kDefaultName = default_name;                 \
  TARNLOW_TABLE_##T(TARNLOW_TABLE_COLUMN_CONSTANT, TARNLOW_TABLE_NO_KEY,         \
                    _) inline constexpr const Column* kColumns[] = {             \
      TARNLOW_TABLE_##T(TARNLOW_TABLE_COLUMN_ADDRESS, TARNLOW_TABLE_NO_KEY, _)}; \
  }
TARNLOW_TABLES(TARNLOW_TABLE_CONSTANTS)
#undef TARNLOW_TABLE_CONSTANTS
#undef TARNLOW_TABLE_COLUMN_ADDRESS
#undef TARNLOW_TABLE_COLUMN_CONSTANT

}  // namespace tarnlow::tables
