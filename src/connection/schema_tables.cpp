// The table layouts of the ERP database that this library reads and writes.
//
// Each table lists every column that any statement of the library names,
// whether in a column list, a condition, a join or a copy routine that reads
// a "select *" row by field name. Key columns come first, the rest follow
// alphabetically, except where a reader depends on the physical position of
// a column (the unit conversion table).
//
// Text sizes are the maximum lengths the statements declare for their
// parameters; where no statement declares one, the size is a generous guess
// so that ordinary data always fits.

#include <vector>

#include "connection/schema.h"

namespace tarnlow::schema {
namespace {

constexpr ColumnType T = ColumnType::Text;
constexpr ColumnType N = ColumnType::Number;
constexpr ColumnType I = ColumnType::Integer;
constexpr ColumnType D = ColumnType::Date;

constexpr When kAlways = When::Always;
constexpr When kKind2 = When::Kind2;
constexpr When kNotKind2 = When::NotKind2;
constexpr When kExtended = When::Extended;
constexpr When kBelow6 = When::ReleaseBelow6;
constexpr When k6Up = When::Release6Up;

// A date that kind 2 keeps as 6-character date-key text.
constexpr bool kDateKey = true;

std::vector<Table> BuildTables() {
  return {
      // One expense text per product in a warehouse. Before release 6 the
      // warehouse and product are packed into one combined key column.
      {"ProductExpenseTable",
       "product_expense",
       {
           {"whproduct", T, 22, kBelow6},
           {"warehouse", T, 2, k6Up},
           {"product", T, 20, k6Up},
           {"expense", T, 20},
       },
       {
           {{"whproduct"}, kBelow6},
           {{"warehouse", "product"}, k6Up},
       }},

      // VAT code for each pair of account VAT type and item VAT type.
      {"VatMatrixTable",
       "vat_matrix",
       {
           {"account_vat_type", T, 10},
           {"item_vat_type", T, 10},
           {"description", T, 30},
           {"vat_code", T, 3},
       },
       {
           {{"account_vat_type", "item_vat_type"}},
       }},

      // Unit conversions that hold for one product in one warehouse.
      {"ProductUnitTable",
       "product_unit_conversion",
       {
           {"warehouse", T, 2},
           {"product", T, 20},
           {"base_name", T, 6},
           {"converted_unit", T, 6},
           {"alt_unit", T, 1},
           {"conv_factor", N},
           {"conv_method", T, 1},
           {"from_min_break", N},
           {"to_min_break", N},
       },
       {
           {{"warehouse", "product", "base_name", "converted_unit"}},
       }},

      // Purchase prices; customer_code holds the supplier's account code.
      {"PriceListTable",
       "purchase_price_list",
       {
           {"customer_code", T, 8},
           {"price_list", T, 3},
           {"product_code", T, 20},
           {"sequence_number", T, 2},
           {"currency_code", T, 3},
           {"description", T, 20},
           {"new_price", N},
           {"price", N},
           {"price_end_date", D},
           {"price_start_date", D},
           {"unit_code", T, 6},
           {"unit_code_group", T, 1},
           {"unit_qty_per_price", N},
           {"vat_inclusive_flag", T, 1},
       },
       {
           {{"customer_code", "price_list", "product_code", "sequence_number"}},
       }},

      // Quantity-break discounts. The lookup cache needs one row per key.
      {"DiscountTable",
       "purchase_discount",
       {
           {"cust_disc_code", T, 4}, {"prod_disc_code", T, 8}, {"price_list", T, 3},
           {"description", T, 20},   {"discount1", N},         {"discount2", N},
           {"discount3", N},         {"discount4", N},         {"discount5", N},
           {"discount6", N},         {"discount7", N},         {"discount_type", T, 1},
           {"quantity_break1", N},   {"quantity_break2", N},   {"quantity_break3", N},
           {"quantity_break4", N},   {"quantity_break5", N},   {"quantity_break6", N},
           {"quantity_break7", N},   {"slash1", T, 1},         {"slash2", T, 1},
           {"unit_code", T, 6},      {"unit_group", T, 1},     {"vat_inclusive_flag", T, 1},
       },
       {
           {{"cust_disc_code", "prod_disc_code", "price_list"}},
       }},

      // Project fields of a nominal analysis entry. Rows are found by
      // record_key alone and the first one taken, so no key is enforced.
      {"ProjectAnalysisTable",
       "order_line_project_analysis",
       {
           {"record_key", T, 22},
           {"page_number", T, 6},
           {"record_type", T, 1},
           {"exprev_code", T, 20},
           {"pr_period", T, 4},
           {"proj_code", T, 20},
       },
       {}},

      // Nominal analysis entries of order lines; page_number is the entry's
      // number within the line, held as six zero-padded digits.
      {"NominalAnalysisTable",
       "order_line_nominal_analysis",
       {
           {"record_key", T, 22},
           {"page_number", T, 6},
           {"record_type", T, 1},
           {"code_value", N},
           {"exp_code", T, 10},
           {"jc_code", T, 10},
           {"nominal_code", T, 16},
           {"sp_code_value", N},
       },
       {}},

      // A supplier's data for a product in a warehouse.
      {"SupplierInfoTable",
       "supplier_product_info",
       {
           {"supplier", T, 8},
           {"warehouse", T, 2},
           {"product", T, 20},
           {"cost", N},
           {"description", T, 20},
           {"long_description", T, 40},
           {"part_no", T, 20},
           {"reorder_days", N},
           {"unit_code", T, 6},
           {"unit_qty_cost", N},
       },
       {
           {{"supplier", "warehouse", "product"}},
       }},

      // Units of measure and their decimal places.
      {"UnitDescriptionTable",
       "unit_description",
       {
           {"unit_code", T, 6},
           {"dec_places", I},
       },
       {
           {{"unit_code"}},
       }},

      // General unit conversions. The whole-table cache is loaded with
      // "select *" and read by column position (0, 1, 3, 4, 6, 7), so the
      // physical order matters here; positions 2 and 5 hold columns this
      // library does not use.
      {"UnitConversionTable",
       "unit_conversion",
       {
           {"base_name", T, 6},
           {"converted_unit", T, 6},
           {"unit_group", T, 1},
           {"conv_factor", N},
           {"conv_method", T, 1},
           {"description", T, 30},
           {"from_min_break", N},
           {"to_min_break", N},
       },
       {
           {{"base_name", "converted_unit"}},
       }},

      // Service items read by their code at goods receipt.
      {"ServiceTable",
       "service_item",
       {
           {"service", T, 20},
           {"cost", N},
           {"unit_code", T, 10},
       },
       {
           {{"service"}},
       }},

      // Stock nominal categories and their ledger accounts.
      {"StockCategoryTable",
       "stock_category",
       {
           {"nl_category", T, 3},
           {"po_recp_acc", T, 16},
           {"st_balance_acc", T, 16},
       },
       {
           {{"nl_category"}},
       }},

      // Stock batches. The duplicate-key failure on the sequence number is
      // what makes the optimistic batch numbering retry.
      {"BatchTable",
       "stock_batch",
       {
           {"warehouse", T, 2},        {"product", T, 20},
           {"sequence_number", T, 6},  {"batch_number", T, 10},
           {"best_before_date", D},    {"best_date_key", T, 28},
           {"bin_number", T, 10},      {"concentration", N},
           {"conformity_ref", T, 20},  {"date_received", D},
           {"expiry_date", D},         {"expiry_date_key", T, 28},
           {"inspection_date", D},     {"inspector_code", T, 4},
           {"labour_cost", N},         {"lot_number", T, 10},
           {"overhead_cost", N},       {"passed_inspection", T, 1},
           {"prod_code", T, 20},       {"quantity", N},
           {"quantity_free", N},       {"sell_by_date", D},
           {"sellby_date_key", T, 28}, {"serial_number", T, 20},
           {"source_code", T, 10},     {"spare", T, 6},
           {"sub_contract_cost", N},   {"unit_cost", N},
           {"users_field_1", N},       {"users_field_2", N},
           {"users_field_3", N},       {"users_text_field", T, 10},
       },
       {
           {{"warehouse", "product", "sequence_number"}},
       }},

      // Stock movement history. The numbering of movements relies on the
      // database rejecting a second row with the same sequence number for a
      // warehouse, product and day.
      {"StockHistoryTable",
       "stock_movement_history",
       {
           {"warehouse", T, 2},
           {"product", T, 20},
           {"dated", D, 0, kAlways, kDateKey},
           {"sequence_no", T, 6},
           {"batch_number", T, 10},
           {"comments", T, 60},
           {"expiry_date", D},
           {"from_bin_number", T, 10},
           {"lot_number", T, 10},
           {"movement_cost", N},
           {"movement_date", D},
           {"movement_quantity", N},
           {"movement_reference", T, 10},
           {"movement_source", T, 10},
           {"nl_category", T, 3},
           {"opening_balance", N},
           {"serial_number", T, 20},
           {"spare", T, 48},
           {"sub_contract_cost", N},
           {"to_bin_number", T, 10},
           {"total_labour_cost", N},
           {"total_overhead_cos", N},
           {"transaction_type", T, 4},
           {"user_id", T, 8},
           {"val_only_adj_ind", T, 1},
       },
       {
           {{"warehouse", "product", "dated", "sequence_no"}},
       }},

      // Nominal ledger movements of stock. Several identical rows are
      // normal; only kind 2 gives each row a unique number.
      {"NominalMovementTable",
       "stock_nominal_movement",
       {
           {"unique_no", T, 8, kKind2},
           {"account", T, 16},
           {"amount_posted", N},
           {"comments", T, 60},
           {"movement_date", D},
           {"post_flag", T, 1},
           {"tranaction_ref", T, 10},
       },
       {
           {{"unique_no"}, kKind2},
       }},

      // Stock items, read and adjusted at goods receipt and when orders
      // change the quantity on order.
      {"StockTable",
       "stock_item",
       {
           {"warehouse", T, 2},
           {"product", T, 20},
           {"alpha", T, 8},
           {"analysis_a", T, 10},
           {"analysis_b", T, 10},
           {"analysis_c", T, 10},
           {"analysis_x_ref", T, 10},
           {"batch_traceability", T, 1},
           {"bin_number", T, 10},
           {"buyer_id", T, 8},
           {"current_cost", N},
           {"current_labour", N},
           {"current_material", N},
           {"current_overhead", N},
           {"current_subcontrac", N},
           {"delivery_date", D},
           {"description", T, 60},
           {"drawing_number", T, 20},
           {"expected_cost", N},
           {"last_supplier", T, 8},
           {"long_description", T, 60},
           {"month_to_date03", N},
           {"on_order_qty", N},
           {"physical_qty", N},
           {"pricing_discount", T, 8},
           {"purchase_key", T, 20},
           {"purchase_unit", T, 10},
           {"qty_decimal_places", T, 1},
           {"serial_numbers", T, 1},
           {"standard_cost", N},
           {"standard_labour", N},
           {"standard_material", N},
           {"standard_overhead", N},
           {"standard_subcontra", N},
           {"stock_vat_type", T, 10},
           {"supplier", T, 8},
           {"unit_code", T, 10},
           {"weight", N},
           {"year_to_date03", N},
       },
       {
           {{"warehouse", "product"}},
       }},

      // Extra analysis codes, tolerances and consumer unit of a stock item.
      {"StockExtensionTable",
       "stock_item_extension",
       {
           {"warehouse", T, 2},
           {"product", T, 20},
           {"analysis_d", T, 10},
           {"analysis_e", T, 10},
           {"analysis_f", T, 10},
           {"call_off_qty_tol", T, 30},
           {"consumer_unit", T, 10},
           {"delivery_qty_tol", T, 30},
       },
       {
           {{"warehouse", "product"}},
       }},

      // Goods-receipt audit rows: one per receipt line, never unique except
      // through kind 2's unique number. Kind 2 names the comment column
      // "comment"; every other kind "commnt".
      {"ReceiptTable",
       "goods_receipt_audit",
       {
           {"unique_no", T, 8, kKind2},  {"comment", T, 20, kKind2},
           {"commnt", T, 20, kNotKind2}, {"creation_date", D},
           {"date_received", D},         {"date_required", D},
           {"delivery_no", T, 8},        {"foreign_cost", N},
           {"level_of_detail", T, 1},    {"local_cost", N},
           {"more_to_come_ind", T, 1},   {"order_no", T, 10},
           {"originator_user_id", T, 8}, {"pl_company", T, 8},
           {"product", T, 20},           {"qty_booked_out", N},
           {"qty_received", N},          {"qty_returned", N},
           {"receipt_no", T, 6},         {"return_code", T, 10},
           {"return_number", T, 10},     {"return_text1", T, 60},
           {"return_text2", T, 60},      {"spare", T, 48},
           {"stock_unit_dp", T, 1},      {"supplier", T, 8},
           {"unit_code", T, 6},          {"unit_factor", N},
           {"unit_group", T, 1},         {"unit_operand", T, 1},
           {"warehouse", T, 2},
       },
       {
           {{"unique_no"}, kKind2},
       }},

      // Purchase order lines; order_line_no is the line number as
      // 4-character right-justified text.
      {"OrderLineTable",
       "purchase_order_line",
       {
           {"order_no", T, 10},
           {"order_line_no", T, 4},
           {"alloc_expect_cost", N},
           {"bundle_line_ref", T, 5},
           {"cost_per_unit", N},
           {"cost_price_u", N},
           {"date_completed", D},
           {"date_required", D},
           {"delivery_no1", T, 8},
           {"delivery_no2", T, 8},
           {"delivery_no3", T, 8},
           {"description", T, 20},
           {"discount", N},
           {"discount_code", T, 8},
           {"discount_price_u", N},
           {"discount_tran_u", N},
           {"foreign_exp_cost", N},
           {"foreign_total_act", N},
           {"foreign_total_exp", N},
           {"goods_vat_ind", T, 1},
           {"grn_required", T, 1},
           {"inv_qty_to_date", N},
           {"inv_value_logged", N},
           {"inv_value_posted", N},
           {"level_of_detail", T, 1},
           {"line_type", T, 1},
           {"list_cost_price_u", N},
           {"list_cost_stock_u", N},
           {"list_cost_tran_u", N},
           {"local_expect_cost", N},
           {"local_total_actual", N},
           {"local_total_expect", N},
           {"log_inv_by_qty", T, 1},
           {"long_description", T, 40},
           {"mrp_flag", T, 1},
           {"new_rec_this_run", T, 1},
           {"new_vat_code", T, 3},
           {"nl_category", T, 3},
           {"orig_qty", N},
           {"pricing_unit", T, 6},
           {"pricing_unit_fact", N},
           {"pricing_unit_op", T, 1},
           {"product", T, 20},
           {"qty_invoiced", N},
           {"qty_issued", N},
           {"qty_ordered", N},
           {"qty_received", N},
           {"qty_returned", N},
           {"serial_indic", T, 1},
           {"ship_date", D},
           {"spare", T, 20},
           {"status", T, 1},
           {"stock_unit_dp", T, 1},
           {"tran_code1", T, 10},
           {"tran_code2", T, 10},
           {"tran_code3", T, 10},
           {"tran_exp_cost", N},
           {"tran_exp_fcost", N},
           {"tran_inv_qty", N},
           {"tran_order_qty", N},
           {"tran_orig_orderq", N},
           {"tran_qty_returned", N},
           {"tran_recd_qty", N},
           {"trans_unit_dp", T, 1},
           {"unalloc_qty", N},
           {"unit_code", T, 10},
           {"unit_factor", N},
           {"unit_group", T, 1},
           {"unit_operand", T, 1},
           {"value_disc_flag", T, 1},
           {"vat_code", T, 1},
           {"warehouse", T, 2},
           {"weight", N},
       },
       {
           {{"order_no", "order_line_no"}},
       }},

      // Purchase order headers. Address lines are 32 characters on the
      // standard layout and 64 on the extended one; the columns are sized
      // for the larger. The extended layout adds eleven address columns.
      {"OrderHeaderTable",
       "purchase_order_header",
       {
           {"order_no", T, 10},
           {"address1", T, 64},
           {"address2", T, 64},
           {"address3", T, 64},
           {"address4", T, 64},
           {"address5", T, 64},
           {"alpha", T, 8},
           {"amend_req_no", T, 10},
           {"buyer_id", T, 8},
           {"committed_flag", T, 1},
           {"committed_year", T, 1},
           {"currency", T, 3},
           {"date_completed", D},
           {"date_entered", D},
           {"date_required", D},
           {"delivery_address1", T, 64},
           {"delivery_address2", T, 64},
           {"delivery_address3", T, 64},
           {"delivery_address4", T, 64},
           {"delivery_address5", T, 64},
           {"delivery_address6", T, 64},
           {"discount_category", T, 4},
           {"exchange_rate", N},
           {"firm_planned", T, 1},
           {"hold_indicator", T, 1},
           {"last_grn_date", D},
           {"last_inv_log_date", D},
           {"memo1", T, 10},
           {"memo2", T, 10},
           {"mrp_included", T, 1},
           {"nl_company", T, 16},
           {"orig_paper_req_no", T, 10},
           {"orig_req_id", T, 8},
           {"orig_req_no", T, 10},
           {"parent_order", T, 10},
           {"pl_company", T, 8},
           {"price_list", T, 3},
           {"spare", T, 14},
           {"status", T, 1},
           {"supplier", T, 8},
           {"supplier_ref", T, 20},
           {"tran_code1", T, 10},
           {"tran_code2", T, 10},
           {"tran_code3", T, 10},
           {"vat_type", T, 10},
           {"address6", T, 64, kExtended},
           {"country", T, 64, kExtended},
           {"county", T, 64, kExtended},
           {"del_country", T, 64, kExtended},
           {"del_county", T, 64, kExtended},
           {"del_iso_country_co", T, 2, kExtended},
           {"del_state_region", T, 64, kExtended},
           {"del_town_city", T, 64, kExtended},
           {"iso_country_code", T, 2, kExtended},
           {"state_region", T, 64, kExtended},
           {"town_city", T, 64, kExtended},
       },
       {
           {{"order_no"}},
       }},

      // Analysis codes and tolerances of an order line: at most one row per
      // line, since the order's lines are outer-joined with it.
      {"OrderLineAnalysisTable",
       "purchase_order_line_analysis",
       {
           {"order_no", T, 10},
           {"order_line_no", T, 4},
           {"analysis_a", T, 10},
           {"analysis_b", T, 10},
           {"analysis_c", T, 10},
           {"analysis_d", T, 10},
           {"analysis_e", T, 10},
           {"analysis_f", T, 10},
           {"delivery_qty_tol", T, 30},
           {"invoice_price_tol", T, 30},
           {"invoice_qty_tol", T, 30},
           {"invoice_value_tol", T, 30},
       },
       {
           {{"order_no", "order_line_no"}},
       }},

      // Variance history of order lines. A line may collect several rows
      // over its life and nothing reads one back by key, so none is
      // enforced.
      {"VarianceHistoryTable",
       "purchase_order_variance_history",
       {
           {"order_no", T, 10},         {"order_line_no", T, 4},  {"sequence_no", T, 4},
           {"accruals_reversed", T, 1}, {"analysis_a", T, 10},    {"analysis_b", T, 10},
           {"analysis_c", T, 10},       {"analysis_d", T, 10},    {"analysis_e", T, 10},
           {"analysis_f", T, 10},       {"auth_method", T, 1},    {"currency", T, 3},
           {"delivery_qty", N},         {"delivery_qty_tol", N},  {"dp_currency", T, 1},
           {"dp_unit", T, 1},           {"grni_accrued", N},      {"history_date", D},
           {"history_type", T, 3},      {"invoice", T, 10},       {"invoice_price", N},
           {"invoice_qty", N},          {"invoice_rate", N},      {"invoice_seq_no", T, 4},
           {"operator", T, 1},          {"order_price", N},       {"order_rate", N},
           {"pev_accrued", N},          {"pev_realised", N},      {"plan_rate", N},
           {"ppv_accrued", N},          {"ppv_realised", N},      {"pqv_realised", N},
           {"product", T, 20},          {"receipt_no", T, 6},     {"receipt_qty", N},
           {"receipt_rate", N},         {"receipt_seq_no", T, 6}, {"std_cost_local", N},
           {"supplier", T, 8},          {"unit_code", T, 10},     {"warehouse", T, 2},
       },
       {}},

      // Fax number of an order: one companion row per order header.
      {"OrderFaxTable",
       "purchase_order_fax",
       {
           {"order_no", T, 10},
           {"fax", T, 30},
       },
       {
           {{"order_no"}},
       }},

      // Delivery and call-off tolerances per product group.
      {"ProductGroupToleranceTable",
       "product_group_tolerance",
       {
           {"product_group", T, 10},
           {"call_off_qty_tol", T, 30},
           {"delivery_qty_tol", T, 30},
       },
       {
           {{"product_group"}},
       }},

      // Second exchange rates of an order under the dual-rate option.
      {"OrderRateTable",
       "purchase_order_rate",
       {
           {"order_no", T, 10},
           {"exchange_rate1", N},
           {"exchange_rate2", N},
           {"operator_1", T, 1},
           {"operator_2", T, 1},
       },
       {
           {{"order_no"}},
       }},

      // Dual-rate companion of each variance history row.
      {"VarianceHistoryRateTable",
       "purchase_order_variance_rate",
       {
           {"order_no", T, 10},   {"order_line_no", T, 4}, {"sequence_no", T, 4}, {"invoice_op1", T, 1},
           {"invoice_op2", T, 1}, {"invoice_rate1", N},    {"invoice_rate2", N},  {"order_op1", T, 1},
           {"order_op2", T, 1},   {"order_rate1", N},      {"order_rate2", N},    {"plan_op1", T, 1},
           {"plan_op2", T, 1},    {"plan_rate1", N},       {"plan_rate2", N},     {"receipt_op1", T, 1},
           {"receipt_op2", T, 1}, {"receipt_rate1", N},    {"receipt_rate2", N},
       },
       {}},

      // Weight of each order line. Before release 6 the line is identified
      // by one combined key (order number padded to 10, then the line
      // number text). The spare text goes to "spare" or "spare2" depending
      // on release, layout and version text, so both columns exist.
      {"OrderLineWeightTable",
       "purchase_order_line_weight",
       {
           {"order_det_key", T, 14, kBelow6},
           {"order_no", T, 10, k6Up},
           {"order_line_no", T, 4, k6Up},
           {"spare", T, 5},
           {"spare2", T, 5},
           {"suppunitqty", N},
           {"weightkg", N},
       },
       {
           {{"order_det_key"}, kBelow6},
           {{"order_no", "order_line_no"}, k6Up},
       }},

      // VAT state of an order; its spare text column is chosen as for the
      // line weights, so both names exist.
      {"OrderVatStateTable",
       "purchase_order_vat_state",
       {
           {"order_no", T, 10},
           {"spare", T, 5},
           {"spare2", T, 5},
           {"vatstate", T, 3},
       },
       {
           {{"order_no"}},
       }},

      // Retention fields of a nominal analysis entry.
      {"RetentionAnalysisTable",
       "order_line_retention_analysis",
       {
           {"record_key", T, 22},
           {"page_number", T, 6},
           {"record_type", T, 1},
           {"non_recov_vat", T, 4},
           {"retention_code", T, 20},
           {"retention_type", T, 20},
       },
       {}},
  };
}

}  // namespace

std::span<const Table> Tables() {
  static const std::vector<Table> tables = BuildTables();
  return tables;
}

bool Applies(When when, const Layout& layout) {
  switch (when) {
    case When::Always: return true;
    case When::Kind2: return layout.kind == 2;
    case When::NotKind2: return layout.kind != 2;
    case When::Extended:
      // The extra address columns arrived with release 8; the flag alone
      // does not bring them to an older database.
      return layout.extended && layout.release >= 8;
    case When::ReleaseBelow6: return layout.release < 6;
    case When::Release6Up: return layout.release >= 6;
  }
  return false;
}

}  // namespace tarnlow::schema
