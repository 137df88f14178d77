// The exact text of every statement the table objects send, blanks and
// letter case included, one row per operation (or short run of operations),
// on every engine. The trace holds a prepared text once, when it is
// prepared: a text listed once for an operation run twice was prepared once.

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include "tarnlow/tarnlow.h"
#include "test_support.h"

namespace tarnlow {
namespace {

std::string Placeholders(int n) {
  std::string out;
  for (int i = 0; i < n; ++i) out += i ? ",?" : "?";
  return out;
}

// ---- texts that more than one row expects -----------------------------------------

// Both layouts' header inserts begin with the standard layout's columns.
const std::string kHeaderStandardColumns =
    "INSERT INTO purchase_order_header( address1,address2,address3,address4,address5,alpha,amend_req_no,"
    "buyer_id,committed_flag,committed_year,currency,date_completed,date_entered,date_required,"
    "delivery_address1,delivery_address2,delivery_address3,delivery_address4,delivery_address5,"
    "delivery_address6,discount_category,exchange_rate,firm_planned,hold_indicator,last_grn_date,"
    "last_inv_log_date,memo1,memo2,mrp_included,nl_company,order_no,orig_paper_req_no,orig_req_id,"
    "orig_req_no,parent_order,pl_company,price_list,spare,status,supplier,supplier_ref,tran_code1,"
    "tran_code2,tran_code3,vat_type";
const std::string kHeaderStandardInsert =
    kHeaderStandardColumns +
    ") VALUES ( ?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,? ,?,?,?,?)";
const std::string kHeaderExtendedInsert =
    kHeaderStandardColumns +
    ",address6,town_city,county,state_region,iso_country_code,country,del_town_city,del_county,"
    "del_state_region,del_iso_country_co,del_country) VALUES ( ?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,"
    "?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,? ,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?)";
const std::string kHeaderFaxInsert = "INSERT INTO purchase_order_fax ( fax,order_no) VALUES (?,?)";
const std::string kHeaderRateInsert =
    "INSERT INTO purchase_order_rate (order_no, exchange_rate1,  exchange_rate2, operator_1, operator_2) "
    "VALUES (?,?,?,?,?)";
const std::string kVatStateSpare =
    "INSERT INTO purchase_order_vat_state (order_no, vatstate, spare ) VALUES (?,?,?)";
const std::string kVatStateSpare2 =
    "INSERT INTO purchase_order_vat_state (order_no, vatstate, spare2 ) VALUES (?,?,?)";

const std::string kLineInsert =
    "INSERT INTO purchase_order_line( alloc_expect_cost,bundle_line_ref,cost_per_unit,cost_price_u,"
    "date_completed,date_required,delivery_no1,delivery_no2,delivery_no3,description,discount,"
    "discount_code,discount_price_u,discount_tran_u,foreign_exp_cost,foreign_total_act,foreign_total_exp,"
    "goods_vat_ind,grn_required,inv_qty_to_date,inv_value_logged,inv_value_posted,level_of_detail,"
    "line_type,list_cost_price_u,list_cost_stock_u,list_cost_tran_u,local_expect_cost,local_total_actual,"
    "local_total_expect,log_inv_by_qty,long_description,mrp_flag,new_rec_this_run,new_vat_code,"
    "nl_category,order_line_no,order_no,orig_qty,pricing_unit,pricing_unit_fact,pricing_unit_op,product,"
    "qty_invoiced,qty_issued,qty_ordered,qty_received,qty_returned,serial_indic,ship_date,spare,status,"
    "stock_unit_dp,tran_code1,tran_code2,tran_code3,tran_exp_cost,tran_exp_fcost,tran_inv_qty,"
    "tran_order_qty,tran_orig_orderq,tran_qty_returned,tran_recd_qty,trans_unit_dp,unalloc_qty,unit_code,"
    "unit_factor,unit_group,unit_operand,value_disc_flag,vat_code,warehouse,weight)" +
    std::string(" VALUES ( ") + Placeholders(41) + " " + "," + Placeholders(32) + ")";
std::string WeightInsertFrom6(const std::string& spare) {
  return "INSERT INTO purchase_order_line_weight( order_no, order_line_no, " + spare +
         ", weightkg, suppunitqty) VALUES ( ?,?,?,?,?) ";
}
const std::string kJoinSelect =
    "select A.*, B.order_line_no as detpglineno, analysis_a, analysis_b, analysis_c, analysis_d, "
    "analysis_e, analysis_f, delivery_qty_tol, invoice_price_tol, invoice_qty_tol, invoice_value_tol from "
    "purchase_order_line";
// The walk with the analysis row in every kind but 0, for an order's quoted number.
std::string JoinWalk(const std::string& quoted) {
  return kJoinSelect +
         " A left outer join  purchase_order_line_analysis B on A.order_no = B.order_no and "
         "A.order_line_no = B.order_line_no  where A.order_no = " +
         quoted + " order by A.order_line_no";
}

const std::string kAnalysisWalk =
    "select t1.*, t2.proj_code, t2.exprev_code, t2.pr_period from order_line_nominal_analysis t1 left "
    "join order_line_project_analysis t2  on t1.record_key = t2.record_key ";
// The key of order PO1234, line 3, as every "O" entry of that line has it.
const std::string kLineKey = "    PO1234   3";
std::vector<std::string> AnalysisDeletes(const std::string& test) {
  std::vector<std::string> out;
  for (const char* order : {"PO1234'", "    PO1234'"})
    for (const char* table :
         {"order_line_nominal_analysis", "order_line_project_analysis", "order_line_retention_analysis"})
      out.push_back(std::string("delete from ") + table + test + order);
  return out;
}

const std::string kSupplierSelect =
    "select supplier , warehouse, product, part_no,  description , long_description, cost, unit_code , "
    "unit_qty_cost, reorder_days  from supplier_product_info";

// ---- the table ------------------------------------------------------------------------

// What a row's operations run on: `c` traces every statement it sends;
// `seed` writes the rows they need without being traced.
struct Context {
  std::shared_ptr<Connection> seed;
  std::shared_ptr<Connection> c;
};

struct Golden {
  std::string name;     // class and operations
  std::string options;  // connection options the row runs under
  std::function<void(Context&)> run;
  std::vector<std::string> expected;  // the traced texts, in the order sent
  // Only the traced texts that begin with one of these; none: every one.
  std::vector<std::string> prefixes{};
};

// A row, its operations last.
Golden Row(std::string name, std::string options, std::vector<std::string> expected,
           std::vector<std::string> prefixes, std::function<void(Context&)> run) {
  return {std::move(name), std::move(options), std::move(run), std::move(expected), std::move(prefixes)};
}

// Runs an operation whose own outcome (a row found or not) is not the point.
template <class F>
void Quietly(F&& operation) {
  try {
    operation();
  } catch (const Error&) {
  }
}

template <class T>
std::shared_ptr<T> On(const std::shared_ptr<Connection>& c) {
  auto object = std::make_shared<T>();
  object->SageConnection(c);
  return object;
}

std::shared_ptr<clsPOHeadD> Header(const std::shared_ptr<Connection>& c, const std::string& order,
                                   bool companions) {
  auto h = On<clsPOHeadD>(c);
  h->order_no(order);
  h->UsePOHeadX1 = companions;
  h->UseIntrastats = companions;
  return h;
}

std::shared_ptr<clsPODetailD> Line(const std::shared_ptr<Connection>& c, const std::string& order,
                                   std::int16_t number, bool companions = false) {
  auto l = On<clsPODetailD>(c);
  l->order_no = order;
  l->order_line_no = number;
  l->line_type = "S";
  l->UsePODetpgD = companions;
  l->UsePOVHstD = companions;
  return l;
}

std::shared_ptr<clsPONLCodeD> Entry(const std::shared_ptr<Connection>& c, const std::string& order,
                                    std::int16_t line, std::int16_t page) {
  auto e = On<clsPONLCodeD>(c);
  e->orderNo = order;
  e->LineNo = line;
  e->page_number = page;
  return e;
}

void Walk(clsPODetailD& l, const std::string& order) {
  l.order_no = order;
  l.StartReadForOrder();
  while (l.ReadNextForOrder()) {
  }
}

std::vector<Golden> ReceiptRows() {
  return {
      Row("clsPORPohead.ReadIt quotes the order number", "",
          {"select order_no, supplier, status, pl_company, currency from purchase_order_header where "
           "order_no = 'PO1'",
           "select order_no, supplier, status, pl_company, currency from purchase_order_header where "
           "order_no = 'X'' OR ''1''=''1'"},
          {"select order_no"},
          [](Context& x) {
            auto head = On<clsPORPohead>(x.c);
            Quietly([&] { head->ReadIt("PO1"); });
            head->CloseIt();
            Quietly([&] { head->ReadIt("X' OR '1'='1"); });
            head->CloseIt();
          }),
      Row("clsPORPodet walk and line read", "",
          {"select *  from purchase_order_line where order_no = 'PO1'",
           "select *  from purchase_order_line where order_no = 'PO1' and order_line_no='   7'",
           "select *  from purchase_order_line where order_no = 'X'' OR ''1''=''1' and order_line_no='   1'"},
          {"select *"},
          [](Context& x) {
            auto line = On<clsPORPodet>(x.c);
            line->order_no = "PO1";
            line->InitReadAllForOrder();
            while (line->ReadNextForOrder()) {
            }
            line->CloseIt();
            line->line_no = 7;
            Quietly([&] { line->ReadIt(); });
            line->CloseIt();
            line->order_no = "X' OR '1'='1";
            line->line_no = 1;
            Quietly([&] { line->ReadIt(); });
            line->CloseIt();
          }),
      Row("clsPORStock.ReadIt and UpdateForReceipt", "",
          {"select warehouse, product, current_cost, analysis_x_ref,  batch_traceability, serial_numbers, "
           "standard_cost      , standard_labour, standard_material, standard_overhead, "
           "standard_subcontra , current_labour, current_material, current_overhead, current_subcontrac, "
           "bin_number  from stock_item where warehouse = ? and product = ?",
           " update stock_item set on_order_qty = on_order_qty + ? , physical_qty = physical_qty + ? , "
           "last_supplier = ?  , month_to_date03 = month_to_date03 + ? , year_to_date03 = year_to_date03 "
           "+ ?  , current_cost = ?  , current_material = ?  where warehouse = ? and product = ?"},
          {"select warehouse", " update "},
          [](Context& x) {
            x.seed->Execute("insert into stock_item (warehouse, product) values ('01', 'BOLT')");
            auto stock = On<clsPORStock>(x.c);
            stock->warehouse = "01";
            stock->product = "BOLT";
            stock->ReadIt();
            stock->AdjustOnOrderQty = -1;
            stock->AdjustPhysicalQty = 1;
            stock->AdjustMonthToDateReceiptQty = 1;
            stock->AdjustYearToDateReceiptQty = 1;
            stock->last_supplier = "SUP9";
            stock->current_cost = 1;
            stock->current_material = 0.5;
            stock->UpdateForReceipt();
          }),
      Row("clsPorecp.InsertRow", "kind=1",
          {"INSERT INTO goods_receipt_audit ( commnt,creation_date,date_received,date_required,"
           "delivery_no,foreign_cost,level_of_detail,local_cost,more_to_come_ind,order_no,"
           "originator_user_id,pl_company,product,qty_booked_out,qty_received,qty_returned,receipt_no,"
           "return_code,return_number,return_text1,return_text2,spare,stock_unit_dp,supplier,unit_code,"
           "unit_factor,unit_group,unit_operand,warehouse) VALUES ( ?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,"
           "?,?,?,?,?,?,?,?,?,?)"},
          {"INSERT INTO goods_receipt_audit"},
          [](Context& x) {
            auto audit = On<clsPorecp>(x.c);
            audit->receipt_no = "000001";
            audit->InsertRow();
            audit->receipt_no = "000002";
            audit->InsertRow();
          }),
      Row("clsPorecp.InsertRow of kind 2", "kind=2&release=5",
          {"INSERT INTO goods_receipt_audit ( unique_no, comment,creation_date,date_received,"
           "date_required,delivery_no,foreign_cost,level_of_detail,local_cost,more_to_come_ind,order_no,"
           "originator_user_id,pl_company,product,qty_booked_out,qty_received,qty_returned,receipt_no,"
           "return_code,return_number,return_text1,return_text2,spare,stock_unit_dp,supplier,unit_code,"
           "unit_factor,unit_group,unit_operand,warehouse) VALUES ( ?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,"
           "?,?,?,?,?,?,?,?,?,?,?)"},
          {"INSERT INTO goods_receipt_audit"},
          [](Context& x) {
            auto audit = On<clsPorecp>(x.c);
            audit->receipt_no = "000001";
            audit->InsertRow();
          }),
  };
}

std::vector<Golden> StockRows() {
  const std::string history_insert =
      "INSERT INTO stock_movement_history ( batch_number,comments,dated,expiry_date,from_bin_number,"
      "lot_number,movement_cost,movement_date,movement_quantity,movement_reference,movement_source,"
      "nl_category,opening_balance,product,sequence_no,serial_number,spare,sub_contract_cost,"
      "to_bin_number,total_labour_cost,total_overhead_cos,transaction_type,user_id,val_only_adj_ind,"
      "warehouse) VALUES ( ?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?)";
  const std::string batch_insert =
      "INSERT INTO stock_batch  ( batch_number,best_before_date,best_date_key,bin_number,concentration,"
      "conformity_ref,date_received,expiry_date,expiry_date_key,inspection_date,inspector_code,"
      "labour_cost,lot_number,overhead_cost,passed_inspection,prod_code,product,quantity,quantity_free,"
      "sell_by_date,sellby_date_key,sequence_number,serial_number,source_code,spare,sub_contract_cost,"
      "unit_cost,users_field_1,users_field_2,users_field_3,users_text_field,warehouse) VALUES ( ?,?,?,?,?,"
      "?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?)";
  const std::string batch_count =
      "select count(*) from stock_batch where warehouse='01' and product='P1' and sequence_number >= "
      "'000000' and sequence_number <= '999999'";
  const std::string movement_insert =
      "INSERT INTO stock_nominal_movement ( account,amount_posted,comments,movement_date,post_flag,"
      "tranaction_ref) VALUES ( ?,?,?,?,?,?)";
  std::vector<Golden> rows{
      // Each text reaches the database once; later calls only bind and execute.
      Row("clsSTHistory statements are built once", "",
          {"select max(sequence_no) as NEXT_SEQ  from stock_movement_history where warehouse=? and "
           "product = ? and dated = ?",
           history_insert},
          {},
          [](Context& x) {
            auto h = On<clsSTHistory>(x.c);
            h->warehouse = "01";
            h->product = "P1";
            h->dated = Date::FromCalendar(2000, 1, 1);
            h->PrepareInsertStatement();
            h->PrepareInsertStatement();
            h->PrepareNextNumber();
            h->PrepareNextNumber();
            h->InsertNewHistory();
            h->InsertNewHistory();
            h->sequence_no = "000100";
            h->InsertRow();
          }),
      // The insert reaches the database once per object; the numbering
      // scheme is asked afresh on every call.
      Row("clsSTBatchD.InsertRow and InsertNewBatch", "",
          {batch_insert, batch_count,
           "select max(sequence_number) as NEXT_SEQ  from stock_batch where warehouse=? and product = ? ",
           batch_insert, batch_count},
          {},
          [](Context& x) {
            const auto batch = [&] {
              auto b = On<clsSTBatchD>(x.c);
              b->warehouse = "01";
              b->product = "P1";
              b->prod_code = "P1";
              b->SetClock([] { return Date::FromCalendar(2000, 1, 1, 12, 0, 0); });
              return b;
            };
            auto seeded = batch();
            seeded->sequence_number = "000123";
            seeded->InsertRow();
            auto b = batch();
            b->InsertNewBatch();
            b->InsertNewBatch();
          }),
      Row("clsSTNLCat.ReadIt is prepared once", "",
          {"select st_balance_acc,po_recp_acc from stock_category where nl_category = ?"}, {},
          [](Context& x) {
            auto category = On<clsSTNLCat>(x.c);
            for (const char* code : {"RAW", "FIN", "RAW"}) {
              category->nl_category = code;
              Quietly([&] { category->ReadIt(); });
            }
          }),
      Row("clsSTNLMov.InsertRow", "kind=1", {movement_insert}, {"INSERT INTO stock_nominal_movement"},
          [](Context& x) {
            auto movement = On<clsSTNLMov>(x.c);
            movement->tranaction_ref = "GRN001";
            movement->InsertRow();
            movement->tranaction_ref = "GRN002";
            movement->InsertRow();
          }),
      Row("clsSTNLMov.InsertRow of kind 2", "kind=2&release=5",
          {"INSERT INTO stock_nominal_movement ( unique_no, account,amount_posted,comments,movement_date,"
           "post_flag,tranaction_ref) VALUES ( ?,?,?,?,?,?,?)"},
          {"INSERT INTO stock_nominal_movement"}, [](Context& x) { On<clsSTNLMov>(x.c)->InsertRow(); }),
      Row("clsStockXpgD insert, read and update", "",
          {"INSERT INTO stock_item_extension (analysis_d,analysis_e,analysis_f,delivery_qty_tol,"
           "call_off_qty_tol,consumer_unit,warehouse,product) VALUES ( ?,?,?,?,?,?,?,?)",
           "select * from stock_item_extension where warehouse = ? and product = ?",
           " update stock_item_extension set analysis_d = ?,analysis_e = ?  ,analysis_f =?,"
           "delivery_qty_tol=?,call_off_qty_tol=?,consumer_unit=? where warehouse = ? and product = ?"},
          {},
          [](Context& x) {
            auto extension = On<clsStockXpgD>(x.c);
            extension->warehouse = "01";
            extension->product = "WIDGET";
            extension->InsertRow();
            extension->ReadIt();
            extension->UpdateStock();
          }),
      // Reads go to the copy of the table: preparing the one-row read sends nothing.
      Row("clsStkpgtxD reads the whole table once", "", {"select * from product_group_tolerance"}, {},
          [](Context& x) {
            auto tolerance = On<clsStkpgtxD>(x.c);
            tolerance->PrepareReadStatement();
            for (const char* group : {"FASTENER", "PAINT"}) {
              tolerance->product_group = group;
              Quietly([&] { tolerance->ReadIt(); });
            }
          }),
  };
  // From release 6 the expense row is keyed by warehouse and product, before
  // it by the two in one column.
  for (const auto& [options, insert, read_key, update_key] :
       {std::tuple{"release=6", "( expense,warehouse,product) VALUES ( ?,?,?)", "warehouse=? and product=?",
                   "warehouse = ? and product = ?"},
        std::tuple{"release=5", "( expense,whproduct) VALUES ( ?,?)", "whproduct=?", "whproduct = ?"}})
    rows.push_back(Row(std::string("clsSTPrExD under ") + options, options,
                       {std::string("INSERT INTO product_expense ") + insert,
                        std::string("select * from product_expense where ") + read_key,
                        std::string(" update product_expense set expense = ?  where ") + update_key},
                       {}, [](Context& x) {
                         auto expense = On<clsSTPrExD>(x.c);
                         expense->warehouse = "1";
                         expense->product = "WIDGET";
                         expense->expense = "FREIGHT";
                         expense->InsertRow();
                         expense->ReadIt();
                         expense->UpdateRow();
                       }));
  return rows;
}

std::vector<Golden> OrderHeaderRows() {
  std::vector<Golden> rows;
  // The insert names the extended columns only under the extended layout,
  // and is prepared once: the second insert adds no text.
  for (const auto& [options, text] : {std::pair{"extended=0", kHeaderStandardInsert},
                                      std::pair{"release=7&extended=1", kHeaderStandardInsert},
                                      std::pair{"release=8&extended=1", kHeaderExtendedInsert}})
    rows.push_back(Row(std::string("clsPOHeadD.InsertRow under ") + options, options, {text}, {"INSERT INTO"},
                       [](Context& x) {
                         auto h = Header(x.c, "PO1", false);
                         h->InsertRow();
                         h->order_no("PO1B");
                         h->InsertRow();
                       }));
  for (const auto& [options, text] :
       {std::pair{"release=7&extended=1&version=2.3&dualrate=1", kVatStateSpare2},
        std::pair{"version=2.2&dualrate=1", kVatStateSpare},
        std::pair{"version=2.1&dualrate=1", kVatStateSpare},
        std::pair{"release=6&dualrate=1", kVatStateSpare},
        std::pair{"extended=0&dualrate=1", kVatStateSpare}})
    rows.push_back(Row(std::string("clsPOHeadD companion inserts under ") + options, options,
                       {kHeaderFaxInsert, kHeaderRateInsert, text},
                       {"INSERT INTO purchase_order_fax", "INSERT INTO purchase_order_rate",
                        "INSERT INTO purchase_order_vat_state"},
                       [](Context& x) { Header(x.c, "PO2", true)->InsertRow(); }));
  rows.push_back(
      Row("clsPOHeadD reads, existence tests and deletes", "dualrate=1",
          {
              "select T1.*, T2.fax from purchase_order_header T1 left outer join purchase_order_fax T2  "
              "on T1.order_no =T2.order_no where T1.order_no = 'PO3'",
              "select exchange_rate1 from purchase_order_rate where order_no = 'PO3'",
              "select vatstate from purchase_order_vat_state where order_no = 'PO3'",
              "select order_no from purchase_order_header where order_no = 'PO3'",
              "select * from purchase_order_header where order_no = 'PO3'",
              "select exchange_rate1 from purchase_order_rate where order_no = 'PO3'",
              "select vatstate from purchase_order_vat_state where order_no = 'PO3'",
              "delete from purchase_order_header where order_no = 'PO3'",
              "delete from purchase_order_fax where order_no = 'PO3'",
              "delete from purchase_order_rate where order_no = 'PO3'",
              "delete from purchase_order_vat_state where order_no = 'PO3'",
              "select order_no from purchase_order_header where order_no = 'X'' OR ''1''=''1'",
          },
          {}, [](Context& x) {
            Header(x.seed, "PO3", true)->InsertRow();
            auto h = Header(x.c, "PO3", true);
            h->ReadIt();
            h->CheckIfExists();
            h->UsePOHeadX1 = false;
            h->ReadIt();
            h->UsePOHeadX1 = true;
            h->DeleteForOrder();
            Header(x.c, "X' OR '1'='1", true)->CheckIfExists();
          }));
  rows.push_back(Row("clsPOHeadx1D insert is prepared once, delete quotes the order", "",
                     {kHeaderFaxInsert, "delete from purchase_order_fax where order_no = 'PO2'"}, {},
                     [](Context& x) {
                       auto fax = On<clsPOHeadx1D>(x.c);
                       fax->order_no = "PO1";
                       fax->InsertRow();
                       fax->order_no = "PO2";
                       fax->InsertRow();
                       fax->DeleteForOrder();
                     }));
  return rows;
}

std::vector<Golden> OrderLineRows() {
  std::vector<Golden> rows{
      Row("clsPODetailD line and weight inserts are prepared once", "",
          {kLineInsert, WeightInsertFrom6("spare2")}, {"INSERT INTO purchase_order_line"},
          [](Context& x) {
            auto l = Line(x.c, "P1", 1);
            l->InsertRow();
            l->order_line_no = 2;
            l->InsertRow();
          }),
      Row("clsPODetailD walks and reads quote the order number", "",
          {"select * from purchase_order_line where order_no = 'O''NEIL' order by order_line_no",
           JoinWalk("'O''NEIL'"), JoinWalk("'X'' OR ''1''=''1'"),
           "select * from purchase_order_line where order_no = 'O''NEIL' and order_line_no='   1'"},
          {"select "},
          [](Context& x) {
            Line(x.seed, "O'NEIL", 1, true)->InsertRow();
            auto reader = Line(x.c, "O'NEIL", 1);
            Walk(*reader, "O'NEIL");
            reader->UsePODetpgD = true;
            Walk(*reader, "O'NEIL");
            Walk(*reader, "X' OR '1'='1");
            reader->UsePODetpgD = false;
            reader->order_no = "O'NEIL";
            reader->ReadIt();
          }),
      // Neither database here speaks "(+)": the walk fails there, but the text
      // is the one sent.
      Row("clsPODetailD walks of kind 0", "kind=0",
          {"select A.*, B.order_line_no as detpglineno, analysis_a, analysis_b, analysis_c, analysis_d, "
           "analysis_e, analysis_f, delivery_qty_tol, invoice_price_tol, invoice_qty_tol, "
           "invoice_value_tol from purchase_order_line A, purchase_order_line_analysis B where A.order_no "
           "= B.order_no(+) and A.order_line_no = B.order_line_no(+) and A.order_no = 'P1' order by "
           "A.order_line_no",
           "select * from purchase_order_line where order_no = 'P1' order by order_line_no"},
          {"select "},
          [](Context& x) {
            auto reader = Line(x.c, "P1", 1, true);
            Quietly([&] { Walk(*reader, "P1"); });
            reader->UsePODetpgD = false;
            Walk(*reader, "P1");
          }),
      Row("clsPODetailD.UpdateForInvoice", "",
          {"UPDATE purchase_order_line set inv_qty_to_date = inv_qty_to_date + ?,   inv_value_logged = "
           "inv_value_logged + ?  where order_no=? and order_line_no=?"},
          {"UPDATE "},
          [](Context& x) {
            Line(x.seed, "P9", 1)->InsertRow();
            auto l = Line(x.c, "P9", 1);
            l->UpdateForInvoice(2.5, 10.0);
            l->UpdateForInvoice(0, 0);
          }),
      Row("clsPODetailD.DeleteForOrder with and without the companions", "dualrate=1",
          {"delete from purchase_order_line where order_no = 'X'' OR ''1''=''1'",
           "delete from purchase_order_line_weight where order_no = 'X'' OR ''1''=''1'",
           "delete from purchase_order_line where order_no = 'P2''--'",
           "delete from purchase_order_line_weight where order_no = 'P2''--'",
           "delete from purchase_order_line where order_no = 'P1'",
           "delete from purchase_order_line_weight where order_no = 'P1'",
           "delete from purchase_order_line where order_no = 'O''NEIL'",
           "delete from purchase_order_line_weight where order_no = 'O''NEIL'",
           "delete from purchase_order_variance_history where order_no = 'O''NEIL'",
           "delete from purchase_order_variance_rate where order_no = 'O''NEIL'",
           "delete from purchase_order_line_analysis where order_no = 'O''NEIL'"},
          {"delete from"},
          [](Context& x) {
            auto d = Line(x.c, "X' OR '1'='1", 0);
            d->DeleteForOrder();
            d->order_no = "P2'--";
            d->DeleteForOrder();
            d->order_no = "P1";
            d->DeleteForOrder();
            d->UsePODetpgD = true;
            d->UsePOVHstD = true;
            d->order_no = "O'NEIL";
            d->DeleteForOrder();
          }),
      // Before release 6 the weight row is keyed by the blank-filled order number.
      Row("clsPODetailD.DeleteForOrder before release 6", "release=5",
          {"delete from purchase_order_line_weight where left(order_det_key, 10) = 'P1        '"},
          {"delete from purchase_order_line_weight"},
          [](Context& x) { Line(x.c, "P1        ", 0)->DeleteForOrder(); }),
  };
  for (const char* kind : {"2", "3"})
    rows.push_back(Row(std::string("clsPODetailD walk with the analysis row of kind ") + kind,
                       std::string("kind=") + kind, {JoinWalk("'it''s'")}, {"select "},
                       [](Context& x) { Walk(*Line(x.c, "P1", 1, true), "it's"); }));
  // The weight row follows the release and the spare column's choice.
  for (const auto& [options, text] :
       {std::pair<const char*, std::string>{"release=5",
                                            "INSERT INTO purchase_order_line_weight( order_det_key, spare,"
                                            " weightkg, suppunitqty) VALUES ( ?,?,?,?) "},
        std::pair<const char*, std::string>{"release=6", WeightInsertFrom6("spare")},
        std::pair<const char*, std::string>{"release=7&version=2.2", WeightInsertFrom6("spare")},
        std::pair<const char*, std::string>{"release=7&version=2.3", WeightInsertFrom6("spare2")},
        std::pair<const char*, std::string>{"release=8&extended=0", WeightInsertFrom6("spare")}})
    rows.push_back(Row(std::string("clsPODetailD weight insert under ") + options, options, {text},
                       {"INSERT INTO purchase_order_line_weight"}, [](Context& x) {
                         auto l = Line(x.c, "P7", 7);
                         l->weight = 12.5;
                         l->InsertRow();
                       }));
  return rows;
}

std::vector<Golden> OrderCompanionRows() {
  const std::string history_insert =
      "INSERT INTO purchase_order_variance_history ( accruals_reversed,analysis_a,analysis_b,analysis_c,"
      "analysis_d,analysis_e,analysis_f,auth_method,currency,delivery_qty,delivery_qty_tol,dp_currency,"
      "dp_unit,grni_accrued,history_date,history_type,invoice,invoice_price,invoice_qty,invoice_rate,"
      "invoice_seq_no,operator,order_line_no,order_no,order_price,order_rate,pev_accrued,pev_realised,"
      "plan_rate,ppv_accrued,ppv_realised,pqv_realised,product,receipt_no,receipt_qty,receipt_rate,"
      "receipt_seq_no,sequence_no,std_cost_local,supplier,unit_code,warehouse) VALUES ( ?,?,?,?,?,?,?,?,?,"
      "?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,? ,?)";
  const std::string rate_insert =
      "INSERT INTO purchase_order_variance_rate (order_no, order_line_no, sequence_no, plan_rate1, "
      "plan_rate2,plan_op1, plan_op2, order_rate1, order_rate2, order_op1, order_op2, receipt_rate1, "
      "receipt_rate2, receipt_op1, receipt_op2,invoice_rate1, invoice_rate2, invoice_op1, invoice_op2)  "
      "VALUES ( ?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?)";
  return {
      Row("clsPODetpgD insert is prepared once, delete quotes the order", "",
          {"INSERT INTO purchase_order_line_analysis ( analysis_a,analysis_b,analysis_c,analysis_d,"
           "analysis_e,analysis_f,delivery_qty_tol,invoice_price_tol,invoice_qty_tol,invoice_value_tol,"
           "order_line_no,order_no) VALUES ( ?,?,?,?,?,?,?,?,?,?,?,?)",
           "delete from purchase_order_line_analysis where order_no = 'X'' OR ''1''=''1'"},
          {"INSERT INTO purchase_order_line_analysis", "delete from purchase_order_line_analysis"},
          [](Context& x) {
            auto detpg = On<clsPODetpgD>(x.c);
            detpg->order_no = "P1";
            detpg->order_line_no = 7;
            detpg->InsertRow();
            detpg->order_line_no = -12;
            detpg->InsertRow();
            detpg->order_no = "X' OR '1'='1";
            detpg->DeleteForOrder();
          }),
      Row("clsPOvhstD insert and reads", "",
          {history_insert, "select * from purchase_order_variance_history where order_no = 'P1'",
           "select * from purchase_order_variance_history where order_no = 'X'' OR ''1''=''1'"},
          {"INSERT INTO purchase_order_variance", "select * from purchase_order_variance"},
          [](Context& x) {
            auto history = On<clsPOvhstD>(x.c);
            history->order_no = "P1";
            history->order_line_no = 7;
            history->sequence_no = 3;
            history->InsertRow();
            auto read = On<clsPOvhstD>(x.c);
            read->ReadFirstForOrder("P1");
            read->ReadFirstForOrder("X' OR '1'='1");
          }),
      Row("clsPOvhstD under the dual-rate option", "dualrate=1",
          {history_insert, rate_insert, "delete from purchase_order_variance_history where order_no = 'P1'",
           "delete from purchase_order_variance_rate where order_no = 'P1'"},
          {"INSERT INTO purchase_order_variance", "delete from"},
          [](Context& x) {
            auto history = On<clsPOvhstD>(x.c);
            history->order_no = "P1";
            history->order_line_no = 2;
            history->sequence_no = 5;
            history->InsertRow();
            history->DeleteForOrder();
          }),
  };
}

std::vector<Golden> NominalAnalysisRows() {
  std::vector<Golden> rows{
      Row("clsPONLCodeD inserts with both companions are prepared once", "",
          {"INSERT INTO order_line_nominal_analysis ( code_value,exp_code,jc_code,nominal_code,"
           "page_number,record_key,record_type,sp_code_value) VALUES ( ?,?,?,?,?,?,?,?)",
           "INSERT INTO order_line_project_analysis ( exprev_code,page_number,pr_period,proj_code,"
           "record_key,record_type) VALUES ( ?,?,?,?,?,?)",
           "INSERT INTO order_line_retention_analysis ( retention_code,page_number,non_recov_vat,"
           "retention_type,record_key,record_type) VALUES ( ?,?,?,?,?,?)"},
          {"INSERT INTO"},
          [](Context& x) {
            auto e = Entry(x.c, "PO1234", 3, 12);
            e->InsertPONLExtD = true;
            e->InsertPONLExtG = true;
            e->proj_code("PRJ");
            e->retention_code("RET");
            e->InsertRow();
            e->page_number = 13;
            e->InsertRow();
          }),
  };
  // Each kind writes the key-prefix test of its own dialect.
  for (const char* kind : {"0", "1", "2", "3"})
    rows.push_back(Row(std::string("clsPONLCodeD walk of kind ") + kind, std::string("kind=") + kind,
                       {kAnalysisWalk +
                        (std::string(kind) == "2" ? " where {fn left(t1.record_key, 14)} = '"
                                                  : " where left(t1.record_key, 14) = '") +
                        kLineKey + "'"},
                       {"select t1.*"}, [](Context& x) {
                         auto reader = Entry(x.c, "PO1234", 3, 0);
                         reader->StartReadForOrderDetailLine();
                         while (reader->ReadNextForOrderDetailLine()) {
                         }
                       }));
  // Deletes take every row whose key starts with the blank-filled order.
  for (const auto& [kind, test] : {std::pair{"1", " where substr(record_key, 1, 10)  = '"},
                                   std::pair{"3", " where left(record_key, 10)  = '"}})
    rows.push_back(Row(std::string("clsPONLCodeD.DeleteForOrder of kind ") + kind,
                       std::string("kind=") + kind, AnalysisDeletes(test), {"delete from"}, [](Context& x) {
                         auto remover = Entry(x.c, "PO1234", 0, 0);
                         remover->DeleteForOrder();
                         remover->orderNo = "    PO1234";
                         remover->DeleteForOrder();
                       }));
  return rows;
}

std::vector<Golden> OnOrderStockRows() {
  return {Row(
      "clsPOOStock read and on-order updates", "",
      {"select warehouse, product, alpha, current_cost, purchase_key,  batch_traceability, serial_numbers,"
       " standard_cost, weight, expected_cost, on_order_qty , standard_labour, standard_material, "
       "standard_overhead, standard_subcontra , current_labour, current_material, current_overhead, "
       "current_subcontrac, unit_code , description, long_description, supplier, pricing_discount, "
       "qty_decimal_places , serial_numbers, stock_vat_type, purchase_unit, drawing_number , analysis_a, "
       "analysis_b, analysis_c, buyer_id, delivery_date  from stock_item where warehouse = ? and product "
       "= ?",
       " update stock_item set on_order_qty = on_order_qty + ? where warehouse = ? and product = ?",
       " update stock_item set on_order_qty = on_order_qty + ?, delivery_date=? where warehouse = ? and "
       "product = ?"},
      {"select warehouse", " update"}, [](Context& x) {
        x.seed->Execute("insert into stock_item (warehouse, product) values ('01', 'ABC')");
        auto stock = On<clsPOOStock>(x.c);
        stock->warehouse = "01";
        stock->product = "ABC";
        stock->ReadIt();
        stock->ReadIt();
        stock->UpdateForOrder();
        stock->UpdateForOrderDeliveryDate();
      })};
}

std::vector<Golden> PricingRows() {
  const std::string price_check =
      "select count(*) from purchase_price_list where customer_code = 'S1' and price_list = 'L1'";
  return {
      Row("clsPOPPriceListD statements", "",
          {"select currency_code, description, price, new_price, unit_code, unit_code_group,  "
           "vat_inclusive_flag, unit_qty_per_price, price_start_date,price_end_date  from "
           "purchase_price_list where customer_code = ? and price_list = ? and product_code = ?",
           price_check,
           "INSERT INTO purchase_price_list ( currency_code,customer_code,description,new_price,price,"
           "price_end_date,price_list,price_start_date,product_code,sequence_number,unit_code,"
           "unit_code_group,unit_qty_per_price,vat_inclusive_flag) VALUES ( ?,?,?,?,?,?,?,?,?,?,?,?,?,?)",
           price_check,
           "select * from purchase_price_list where customer_code = 'S1' and price_list = 'L1' and "
           "product_code = 'P1'"},
          {},
          [](Context& x) {
            x.seed->Execute(
                "insert into purchase_price_list (customer_code, price_list, product_code, "
                "sequence_number) values ('S1', 'L1', 'P1', '01')");
            auto prices = On<clsPOPPriceListD>(x.c);
            prices->customer_code = "S1";
            prices->price_list = "L1";
            prices->product_code = "P1";
            for (int i = 0; i < 2; ++i) {
              Quietly([&] { prices->ReadIt(); });
              prices->CheckIfListExists();
              prices->sequence_number = "1" + std::to_string(i);
              prices->InsertRow();
            }
            prices->LoadListForSupplierProduct();
          }),
      Row("clsPOPDiscountD load and insert", "",
          {"select * from purchase_discount",
           "INSERT INTO purchase_discount ( cust_disc_code,description,discount1,discount2,discount3,"
           "discount4,discount5,discount6,discount7,discount_type,price_list,prod_disc_code,"
           "quantity_break1,quantity_break2,quantity_break3,quantity_break4,quantity_break5,"
           "quantity_break6,quantity_break7,slash1,slash2,unit_code,unit_group,vat_inclusive_flag) VALUES "
           "( ?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?)"},
          {},
          [](Context& x) {
            auto discount = On<clsPOPDiscountD>(x.c);
            discount->cust_disc_code = "AB";
            discount->prod_disc_code = "P1";
            discount->price_list = "L";
            Quietly([&] { discount->ReadIt(); });
            Quietly([&] { discount->ReadIt(); });
            discount->InsertRow();
            discount->price_list = "L2";
            discount->InsertRow();
          }),
      Row("clsPOSuppInf statements", "",
          {kSupplierSelect + " where supplier=? and warehouse = ? and product = ?",
           kSupplierSelect + " where supplier=? and warehouse = ? and part_no = ?",
           "select count(supplier)  from supplier_product_info where supplier = ?",
           "Update supplier_product_info set cost=?,description=?,long_description=?,part_no=?,"
           "reorder_days=?,unit_code=?,unit_qty_cost=? where (supplier=? and warehouse=? and product=?)",
           "INSERT INTO  supplier_product_info ( cost,description,long_description,part_no,product,"
           "reorder_days,supplier,unit_code,unit_qty_cost,warehouse) VALUES ( ?,?,?,?,?,?,?,?,?,?)",
           "delete from supplier_product_info where supplier='GONE'"},
          {},
          [](Context& x) {
            auto info = On<clsPOSuppInf>(x.c);
            info->UseCache = false;
            for (int i = 0; i < 2; ++i) {
              info->supplier = "ACME";
              info->warehouse = "01";
              info->product = "P1";
              Quietly([&] { info->ReadIt(); });
              Quietly([&] { info->ReadItByPartNo(); });
              info->CheckIfSupplierExist();
              info->UpdateRow();
              info->product = "NEW" + std::to_string(i);
              info->InsertRow();
            }
            info->supplier = "GONE";
            info->DeleteSupplier();
          }),
      Row("clsCEVatMatD statements", "",
          {"select * from vat_matrix",
           "select *  from vat_matrix where account_vat_type = ? and item_vat_type = ?",
           "INSERT INTO vat_matrix ( account_vat_type,description,item_vat_type,vat_code) VALUES ( ?,?,?,?)"},
          {},
          [](Context& x) {
            auto matrix = On<clsCEVatMatD>(x.c);
            for (int i = 0; i < 2; ++i) {
              matrix->item_vat_type = "STD";
              matrix->account_vat_type = "HOME";
              matrix->FindClosestCode();
              Quietly([&] { matrix->ReadIt(); });
              matrix->item_vat_type = "NEW" + std::to_string(i);
              matrix->InsertRow();
            }
          }),
  };
}

std::vector<Golden> UnitRows() {
  const std::string conversion_insert =
      "INSERT INTO product_unit_conversion ( alt_unit,base_name,conv_factor,conv_method,converted_unit,"
      "from_min_break,product,to_min_break,warehouse) VALUES ( ?,?,?,?,?,?,?,?,?)";
  return {
      // Three objects insert a row each, each preparing its statement once.
      Row("clsSTUnitPD insert and read", "",
          {conversion_insert, conversion_insert, conversion_insert,
           "select base_name, converted_unit, warehouse, product,  alt_unit, conv_method, conv_factor, "
           "from_min_break, to_min_break from product_unit_conversion where warehouse = ? and product = ? "
           "and base_name = ? and converted_unit=?",
           "select * from product_unit_conversion"},
          {},
          [](Context& x) {
            for (const char* converted : {"EACH", "BOX", "DOZEN"}) {
              auto row = On<clsSTUnitPD>(x.c);
              row->warehouse = "01";
              row->product = "BOLT-M8";
              row->base_name = "BOX";
              row->converted_unit = converted;
              row->InsertRow();
            }
            auto unit = On<clsSTUnitPD>(x.c);
            unit->warehouse = "01";
            unit->product = "BOLT-M8";
            unit->base_name = "BOX";
            unit->converted_unit = "EACH";
            unit->ReadIt();
            unit->ReadFromList();
          }),
      Row("clsSTUnitCD read and list", "",
          {"select base_name, converted_unit, conv_factor, conv_method, from_min_break, to_min_break  "
           "from unit_conversion where base_name = ? and converted_unit=?",
           "select * from unit_conversion order by base_name"},
          {},
          [](Context& x) {
            auto conversion = On<clsSTUnitCD>(x.c);
            conversion->base_name = "KG";
            conversion->converted_unit = "GRAM";
            Quietly([&] { conversion->ReadIt(); });
            Quietly([&] { conversion->ReadIt(); });
            Quietly([&] { conversion->ReadFromList(); });
          }),
      Row("clsSTUnitDD read and list", "",
          {"select unit_code,   dec_places  from unit_description where unit_code = ? ",
           "select unit_code,   dec_places from unit_description"},
          {},
          [](Context& x) {
            auto unit = On<clsSTUnitDD>(x.c);
            unit->unit_code = "EACH";
            Quietly([&] { unit->ReadIt(); });
            Quietly([&] { unit->ReadIt(); });
            Quietly([&] { unit->ReadFromList(); });
          }),
  };
}

std::vector<Golden> AllRows() {
  std::vector<Golden> all;
  for (auto part : {ReceiptRows(), StockRows(), OrderHeaderRows(), OrderLineRows(), OrderCompanionRows(),
                    NominalAnalysisRows(), OnOrderStockRows(), PricingRows(), UnitRows()})
    for (Golden& row : part) all.push_back(std::move(row));
  return all;
}

std::vector<std::string> TracedWith(const std::string& path, const std::vector<std::string>& prefixes) {
  std::vector<std::string> all = test::Traced(path, "");
  if (prefixes.empty()) return all;
  std::vector<std::string> out;
  for (const std::string& line : all)
    for (const std::string& prefix : prefixes)
      if (line.starts_with(prefix)) {
        out.push_back(line);
        break;
      }
  return out;
}

class StatementTextTest : public ::testing::TestWithParam<std::string> {};

TEST_P(StatementTextTest, EveryOperationSendsItsExactText) {
  // One database per set of options, whose tables follow the options, with
  // one untraced connection for the rows' seeds; every row keeps to keys of
  // its own.
  struct Database {
    std::unique_ptr<test::ScratchDatabase> db;
    std::shared_ptr<Connection> seed;
  };
  std::map<std::string, Database> databases;
  int n = 0;
  for (const Golden& row : AllRows()) {
    SCOPED_TRACE(row.name);
    Database& d = databases[row.options];
    if (!d.db) {
      d.db = std::make_unique<test::ScratchDatabase>(GetParam());
      d.seed = d.db->Open(row.options);
    }
    const std::string trace = d.db->Folder() + "/" + std::to_string(++n) + ".sql";
    const std::string traced = row.options.empty() ? "trace=" + trace : row.options + "&trace=" + trace;
    Context x{d.seed, d.db->OpenBare(traced)};
    try {
      row.run(x);
    } catch (const Error& e) {
      ADD_FAILURE() << e.Number() << " " << e.Source() << ": " << e.Description();
    }
    EXPECT_EQ(TracedWith(trace, row.prefixes), row.expected);
  }
}

TARNLOW_ON_EVERY_BACKEND(StatementTextTest);

}  // namespace
}  // namespace tarnlow
