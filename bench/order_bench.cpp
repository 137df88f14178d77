// A whole purchase order of 50 lines written through the library's classes
// against the same statements with the same values written directly with
// the database's client API (sqlite3, and libpq when TARNLOW_PG_URI names a
// server), on one database in one process. ..._Library and ..._RawAPI of a
// database are meant to be compared with each other; ..._Paired alternates
// the two within one loop and reports both sides' times per order and their
// ratio.
//
// The order is the one an ordering client writes: the header with its fax
// and VAT-state rows; 50 stock lines, each with its variance history,
// analysis and weight rows; a nominal analysis entry per line with its
// project and retention rows; and each line's quantity added to its stock
// item's quantity on order. That is 3 + 50 * 8 = 403 statements an order,
// each in its own transaction, as the classes run them. Objects are created
// once and reused, as a client keeps one object per table; every statement
// is prepared once on both sides, as the classes prepare them.
//
// The raw side binds, column by column, the values the library wrote for
// the check order (read back once before timing with the raw API), with
// only the order number changed: it does no conversions of its own, which
// keeps the comparison on the side of the raw API.
//
// Before anything is timed each database is checked once: one library order
// (traced) and one raw order must send the same statement texts and leave
// the same rows in all nine tables, order numbers aside, and the same
// quantities on order. A failed check stops that database's cases with an
// error.
#include <benchmark/benchmark.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "paired_cases.h"
#include "receipt_bench_support.h"
#include "script/script.h"
#include "tarnlow/tarnlow.h"

namespace order_bench {
namespace {

using paired_cases::Clocks;
using paired_cases::ReadLines;
using paired_cases::TempPath;
using paired_cases::WithOption;

using receipt_bench::PgRaw;
using receipt_bench::SqliteRaw;
using receipt_bench::WriteOutcome;

// ---- the order's data --------------------------------------------------------------

constexpr int kLines = 50;
constexpr const char* kWarehouse = "01";
constexpr const char* kSupplier = "NORDIC01";
constexpr const char* kCheckLibrary = "CHKLIB";
constexpr const char* kCheckRaw = "CHKRAW";

std::string Product(int line) {
  char text[16];
  std::snprintf(text, sizeof text, "OB%03d", line);
  return text;
}
double Quantity(int line) {
  return line;
}
double Price(int line) {
  return 1.25 * line;  // exact in binary, so totals compare exactly
}

// The line number as the order tables key it, right-aligned in four.
std::string LineKey(int line) {
  char text[8];
  std::snprintf(text, sizeof text, "%4d", line);
  return text;
}
// The order number as the analysis keys begin with it, right-aligned in ten.
std::string KeyPrefix(const std::string& order) {
  return std::string(order.size() < 10 ? 10 - order.size() : 0, ' ') + order;
}

// Each timed order takes a number of its own: "L" or "R" and seven digits.
class OrderNumbers {
 public:
  explicit OrderNumbers(char side) : side_(side) {}
  std::string Next() {
    char text[32];
    std::snprintf(text, sizeof text, "%c%07lld", side_, static_cast<long long>(++n_));
    return text;
  }

 private:
  char side_;
  std::int64_t n_ = 0;
};

// ---- the library side ----------------------------------------------------------------

class LibraryOrder {
 public:
  explicit LibraryOrder(const std::shared_ptr<tarnlow::Connection>& connection)
      : day_(tarnlow::Date::FromCalendar(2026, 1, 5)), required_(tarnlow::Date::FromCalendar(2026, 1, 19)) {
    header_.SageConnection(connection);
    line_.SageConnection(connection);
    entry_.SageConnection(connection);
    stock_.SageConnection(connection);
    header_.UsePOHeadX1 = true;
    header_.UseIntrastats = true;
    line_.UsePODetpgD = true;
    line_.UsePOVHstD = true;
    entry_.InsertPONLExtD = true;
    entry_.InsertPONLExtG = true;
  }

  void Write(const std::string& order) {
    header_.order_no(order);
    header_.supplier = kSupplier;
    header_.status = "P";
    header_.pl_company = "MAIN";
    header_.pOcurrency = "GBP";
    header_.exchange_rate = 1;
    header_.date_entered = day_;
    header_.date_required = required_;
    header_.address1 = "Nordic Pumps Ltd";
    header_.POHeadX1D()->fax = "01632 960555";
    header_.vatstate = "EU";
    header_.InsertRow();

    for (int i = 1; i <= kLines; ++i) {
      const std::string product = Product(i);
      const double qty = Quantity(i), price = Price(i);
      line_.InitialiseValues();
      line_.order_no = order;
      line_.order_line_no = static_cast<std::int16_t>(i);
      line_.line_type = "S";
      line_.product = product;
      line_.warehouse = kWarehouse;
      line_.description = "Bench item";
      line_.qty_ordered = qty;
      line_.tran_order_qty = qty;
      line_.orig_qty = qty;
      line_.cost_per_unit = price;
      line_.local_expect_cost = qty * price;
      line_.local_total_expect = qty * price;
      line_.unit_code = "EACH";
      line_.unit_factor = 1;
      line_.status = "O";
      line_.date_required = required_;
      line_.weight = 0.5 * i;
      tarnlow::clsPODetpgD& analysis = *line_.PODetpgD();
      analysis.Reset();
      analysis.analysis_a = "MAINT";
      analysis.delivery_qty_tol = "10";
      analysis.invoice_price_tol = "2";
      tarnlow::clsPOvhstD& variance = *line_.POVHstD();
      variance.Reset();
      variance.history_type = "O";
      variance.history_date = day_;
      variance.product = product;
      variance.warehouse = kWarehouse;
      variance.supplier = kSupplier;
      variance.order_price = price;
      variance.order_rate = 1;
      variance.pOcurrency = "GBP";
      line_.InsertRow();

      entry_.orderNo = order;
      entry_.LineNo = static_cast<std::int16_t>(i);
      entry_.supplier = kSupplier;
      entry_.page_number = 1;
      entry_.nominal_code = "5010";
      entry_.code_value = qty * price;
      entry_.exp_code = "E1";
      entry_.jc_code = "J1";
      entry_.proj_code("PRJ-NORTH");
      entry_.exprev_code("EXP");
      entry_.pr_period("0126");
      entry_.retention_code("RET5");
      entry_.retention_type("P");
      entry_.non_recov_vat("N");
      entry_.InsertRow();

      stock_.warehouse = kWarehouse;
      stock_.product = product;
      stock_.AdjustOnOrderQty = qty;
      stock_.UpdateForOrder();
    }
  }

 private:
  tarnlow::Date day_, required_;
  tarnlow::clsPOHeadD header_;
  tarnlow::clsPODetailD line_;
  tarnlow::clsPONLCodeD entry_;
  tarnlow::clsPOOStock stock_;
};

// ---- the raw side ----------------------------------------------------------------------

// The statement texts, written out as a client of the raw API writes them,
// for a database of the current release with the extended address layout
// (what a new database has). Placeholders are "?"; the PostgreSQL side
// numbers them once when it prepares.
const std::string kHeaderInsert =
    "INSERT INTO purchase_order_header( address1,address2,address3,address4,address5,alpha,amend_req_no"
    ",buyer_id,committed_flag,committed_year,currency,date_completed,date_entered,date_required"
    ",delivery_address1,delivery_address2,delivery_address3,delivery_address4,delivery_address5"
    ",delivery_address6,discount_category,exchange_rate,firm_planned,hold_indicator,last_grn_date"
    ",last_inv_log_date,memo1,memo2,mrp_included,nl_company,order_no,orig_paper_req_no,orig_req_id"
    ",orig_req_no,parent_order,pl_company,price_list,spare,status,supplier,supplier_ref,tran_code1"
    ",tran_code2,tran_code3,vat_type,address6,town_city,county,state_region,iso_country_code,country"
    ",del_town_city,del_county,del_state_region,del_iso_country_co,del_country) VALUES ( ?,?,?,?,?,?,?,?"
    ",?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,? ,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?)";
const std::string kFaxInsert = "INSERT INTO purchase_order_fax ( fax,order_no) VALUES (?,?)";
const std::string kVatStateInsert =
    "INSERT INTO purchase_order_vat_state (order_no, vatstate, spare2 ) VALUES (?,?,?)";
const std::string kLineInsert =
    "INSERT INTO purchase_order_line( alloc_expect_cost,bundle_line_ref,cost_per_unit,cost_price_u"
    ",date_completed,date_required,delivery_no1,delivery_no2,delivery_no3,description,discount"
    ",discount_code,discount_price_u,discount_tran_u,foreign_exp_cost,foreign_total_act,foreign_total_exp"
    ",goods_vat_ind,grn_required,inv_qty_to_date,inv_value_logged,inv_value_posted,level_of_detail"
    ",line_type,list_cost_price_u,list_cost_stock_u,list_cost_tran_u,local_expect_cost,local_total_actual"
    ",local_total_expect,log_inv_by_qty,long_description,mrp_flag,new_rec_this_run,new_vat_code"
    ",nl_category,order_line_no,order_no,orig_qty,pricing_unit,pricing_unit_fact,pricing_unit_op,product"
    ",qty_invoiced,qty_issued,qty_ordered,qty_received,qty_returned,serial_indic,ship_date,spare,status"
    ",stock_unit_dp,tran_code1,tran_code2,tran_code3,tran_exp_cost,tran_exp_fcost,tran_inv_qty"
    ",tran_order_qty,tran_orig_orderq,tran_qty_returned,tran_recd_qty,trans_unit_dp,unalloc_qty,unit_code"
    ",unit_factor,unit_group,unit_operand,value_disc_flag,vat_code,warehouse,weight) VALUES ( ?,?,?,?,?,?"
    ",?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,? ,?,?,?,?,?,?,?,?,?,?,?,?,?,?"
    ",?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?)";
const std::string kVarianceInsert =
    "INSERT INTO purchase_order_variance_history ( accruals_reversed,analysis_a,analysis_b,analysis_c"
    ",analysis_d,analysis_e,analysis_f,auth_method,currency,delivery_qty,delivery_qty_tol,dp_currency"
    ",dp_unit,grni_accrued,history_date,history_type,invoice,invoice_price,invoice_qty,invoice_rate"
    ",invoice_seq_no,operator,order_line_no,order_no,order_price,order_rate,pev_accrued,pev_realised"
    ",plan_rate,ppv_accrued,ppv_realised,pqv_realised,product,receipt_no,receipt_qty,receipt_rate"
    ",receipt_seq_no,sequence_no,std_cost_local,supplier,unit_code,warehouse) VALUES ( ?,?,?,?,?,?,?,?,?"
    ",?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,? ,?)";
const std::string kAnalysisInsert =
    "INSERT INTO purchase_order_line_analysis ( analysis_a,analysis_b,analysis_c,analysis_d,analysis_e"
    ",analysis_f,delivery_qty_tol,invoice_price_tol,invoice_qty_tol,invoice_value_tol,order_line_no"
    ",order_no) VALUES ( ?,?,?,?,?,?,?,?,?,?,?,?)";
const std::string kWeightInsert =
    "INSERT INTO purchase_order_line_weight( order_no, order_line_no, spare2, weightkg"
    ", suppunitqty) VALUES ( ?,?,?,?,?) ";
const std::string kNominalInsert =
    "INSERT INTO order_line_nominal_analysis ( code_value,exp_code,jc_code,nominal_code,page_number"
    ",record_key,record_type,sp_code_value) VALUES ( ?,?,?,?,?,?,?,?)";
const std::string kProjectInsert =
    "INSERT INTO order_line_project_analysis ( exprev_code,page_number,pr_period,proj_code,record_key"
    ",record_type) VALUES ( ?,?,?,?,?,?)";
const std::string kRetentionInsert =
    "INSERT INTO order_line_retention_analysis ( retention_code,page_number,non_recov_vat,retention_type"
    ",record_key,record_type) VALUES ( ?,?,?,?,?,?)";
const std::string kOnOrderUpdate =
    " update stock_item set on_order_qty = on_order_qty + ? where warehouse = ? and product = ?";

// The column names of an insert, in placeholder order.
std::vector<std::string> InsertColumns(const std::string& sql) {
  std::vector<std::string> names;
  const std::size_t open = sql.find('('), close = sql.find(')', open);
  std::string name;
  for (std::size_t i = open + 1; i <= close; ++i) {
    const char c = sql[i];
    if (c == ',' || c == ')') {
      names.push_back(name);
      name.clear();
    } else if (c != ' ') {
      name += c;
    }
  }
  return names;
}

// A value to bind: Null, a number or a text.
struct Cell {
  enum class Kind { Null, Number, Text } kind = Kind::Null;
  double number = 0;
  std::string text;
};

// Where a column's value comes from for a new order.
enum class Fill {
  Stored,       // the check order's value as it is
  OrderNo,      // the new order number
  PrefixedKey,  // the check order's key with the new order number in its first ten characters
};

// How the check order's rows of a table are found, one row per statement
// run: by order number alone (one row an order), by order and line number,
// or by the analysis record key.
enum class RowKey { Order, OrderLine, RecordKey };

// One insert of the order: its text, its prepared statement, and the
// values of each row it writes (one an order, or one a line) in column order.
template <class Db>
struct Insert {
  const std::string* sql;
  const char* table;
  RowKey key;
  std::vector<Fill> fill;
  std::vector<std::vector<Cell>> rows;
  typename Db::Stmt stmt{};
};

template <class Db>
class RawOrder {
 public:
  // Reads the values of the check order written by the library, through
  // the raw API, and prepares every statement.
  RawOrder(Db& db, const std::string& check_order) : db_(db) {
    auto add = [&](const std::string& sql, const char* table, RowKey key) {
      inserts_.push_back(Insert<Db>{&sql, table, key, {}, {}});
    };
    add(kHeaderInsert, "purchase_order_header", RowKey::Order);
    add(kFaxInsert, "purchase_order_fax", RowKey::Order);
    add(kVatStateInsert, "purchase_order_vat_state", RowKey::Order);
    add(kLineInsert, "purchase_order_line", RowKey::OrderLine);
    add(kVarianceInsert, "purchase_order_variance_history", RowKey::OrderLine);
    add(kAnalysisInsert, "purchase_order_line_analysis", RowKey::OrderLine);
    add(kWeightInsert, "purchase_order_line_weight", RowKey::OrderLine);
    add(kNominalInsert, "order_line_nominal_analysis", RowKey::RecordKey);
    add(kProjectInsert, "order_line_project_analysis", RowKey::RecordKey);
    add(kRetentionInsert, "order_line_retention_analysis", RowKey::RecordKey);
    for (Insert<Db>& insert : inserts_) Load(insert, check_order);
    for (Insert<Db>& insert : inserts_) insert.stmt = db_.Prepare(*insert.sql);
    on_order_ = db_.Prepare(kOnOrderUpdate);
  }
  ~RawOrder() {
    for (Insert<Db>& insert : inserts_) db_.Release(insert.stmt);
    db_.Release(on_order_);
  }
  RawOrder(const RawOrder&) = delete;
  RawOrder& operator=(const RawOrder&) = delete;

  // The statements in the order the classes run them.
  void Write(const std::string& order) {
    const std::string prefix = KeyPrefix(order);
    for (std::size_t i = 0; i < 3; ++i) Run(inserts_[i], 0, order, prefix);
    for (int line = 1; line <= kLines; ++line) {
      const auto row = static_cast<std::size_t>(line - 1);
      for (std::size_t i = 3; i < inserts_.size(); ++i) Run(inserts_[i], row, order, prefix);
      db_.Number(on_order_, 1, Quantity(line));
      db_.Text(on_order_, 2, kWarehouse);
      db_.Text(on_order_, 3, products_[row]);
      Check(db_.Write(on_order_));
    }
  }

 private:
  void Run(Insert<Db>& insert, std::size_t row, const std::string& order, const std::string& prefix) {
    const std::vector<Cell>& cells = insert.rows[row];
    for (std::size_t c = 0; c < cells.size(); ++c) {
      const int index = static_cast<int>(c + 1);
      const Cell& cell = cells[c];
      switch (insert.fill[c]) {
        case Fill::OrderNo: db_.Text(insert.stmt, index, order); continue;
        case Fill::PrefixedKey: {
          std::string key = cell.text;
          key.replace(0, 10, prefix);
          db_.Text(insert.stmt, index, key);
          continue;
        }
        case Fill::Stored: break;
      }
      switch (cell.kind) {
        case Cell::Kind::Null: db_.Null(insert.stmt, index); break;
        case Cell::Kind::Number: db_.Number(insert.stmt, index, cell.number); break;
        case Cell::Kind::Text: db_.Text(insert.stmt, index, cell.text); break;
      }
    }
    Check(db_.Write(insert.stmt));
  }
  static void Check(WriteOutcome outcome) {
    if (outcome != WriteOutcome::Done)
      throw std::runtime_error("raw order: a row was refused as a duplicate");
  }

  // The check order's rows of the insert's table, one query per row.
  void Load(Insert<Db>& insert, const std::string& check_order) {
    const std::vector<std::string> columns = InsertColumns(*insert.sql);
    std::string select = "select ";
    for (std::size_t c = 0; c < columns.size(); ++c) {
      select += (c ? ", " : "") + columns[c];
      insert.fill.push_back(columns[c] == "order_no"                                      ? Fill::OrderNo
                            : columns[c] == "record_key" || columns[c] == "order_det_key" ? Fill::PrefixedKey
                                                                                          : Fill::Stored);
    }
    select += std::string(" from ") + insert.table;
    switch (insert.key) {
      case RowKey::Order: select += " where order_no = ?"; break;
      case RowKey::OrderLine: select += " where order_no = ? and order_line_no = ?"; break;
      case RowKey::RecordKey: select += " where record_key = ?"; break;
    }
    auto read = db_.Literal(Db::Numbered(select));
    const int rows = insert.key == RowKey::Order ? 1 : kLines;
    for (int line = 1; line <= rows; ++line) {
      switch (insert.key) {
        case RowKey::Order: db_.Text(read, 1, check_order); break;
        case RowKey::OrderLine:
          db_.Text(read, 1, check_order);
          db_.Text(read, 2, LineKey(line));
          break;
        case RowKey::RecordKey: db_.Text(read, 1, KeyPrefix(check_order) + LineKey(line)); break;
      }
      if (!db_.Query(read))
        throw std::runtime_error(std::string("raw order: the check order has no row ") +
                                 std::to_string(line) + " in " + insert.table);
      std::vector<Cell> cells(columns.size());
      for (std::size_t c = 0; c < columns.size(); ++c) {
        const int at = static_cast<int>(c);
        if (db_.IsNull(read, at)) continue;
        if (db_.IsNumber(read, at)) {
          cells[c].kind = Cell::Kind::Number;
          cells[c].number = db_.NumberAt(read, at);
        } else {
          cells[c].kind = Cell::Kind::Text;
          cells[c].text.assign(db_.TextAt(read, at));
        }
      }
      db_.Close(read);
      insert.rows.push_back(std::move(cells));
    }
    db_.Release(read);
    if (products_.empty())
      for (int line = 1; line <= kLines; ++line) products_.push_back(Product(line));
  }

  Db& db_;
  std::vector<Insert<Db>> inserts_;
  typename Db::Stmt on_order_{};
  std::vector<std::string> products_;
};

// ---- seeding and the check -------------------------------------------------------------

void Seed(tarnlow::Connection& c) {
  c.Execute("begin");
  for (int line = 1; line <= kLines; ++line)
    c.Execute(
        "insert into stock_item (warehouse, product, physical_qty, on_order_qty, current_cost) values ('" +
        std::string(kWarehouse) + "', '" + Product(line) + "', 0, 0, " + std::to_string(Price(line)) + ")");
  c.Execute("commit");
}

// The rows of an order in every table it writes, as sorted texts with the
// order number taken out, so that two orders can be compared.
std::vector<std::string> OrderRows(tarnlow::Connection& c, const std::string& order) {
  static const std::pair<const char*, const char*> kTables[] = {
      {"purchase_order_header", "order_no"},
      {"purchase_order_fax", "order_no"},
      {"purchase_order_vat_state", "order_no"},
      {"purchase_order_line", "order_no"},
      {"purchase_order_variance_history", "order_no"},
      {"purchase_order_line_analysis", "order_no"},
      {"purchase_order_line_weight", "order_no"},
      {"order_line_nominal_analysis", "substr(record_key, 1, 10)"},
      {"order_line_project_analysis", "substr(record_key, 1, 10)"},
      {"order_line_retention_analysis", "substr(record_key, 1, 10)"},
  };
  const std::string number = order, prefix = KeyPrefix(order);
  std::vector<std::string> out;
  for (const auto& [table, key] : kTables) {
    const std::string value = std::string_view(key) == "order_no" ? number : prefix;
    tarnlow::Recordset rs;
    rs.Open(std::string("select * from ") + table + " where " + key + " = '" + value + "'",
            c.DatabaseConnection(), tarnlow::adOpenForwardOnly, tarnlow::adLockReadOnly);
    std::size_t rows = 0;
    for (; !rs.AtEOF(); rs.MoveNext()) {
      std::string row = table;
      for (std::size_t i = 0; i < rs.FieldCount(); ++i) {
        std::string cell = tarnlow::script::PrintForm(rs.Fields(i));
        for (std::size_t at = cell.find(number); at != std::string::npos; at = cell.find(number, at))
          cell.replace(at, number.size(), "#");
        row += "|" + cell;
      }
      out.push_back(std::move(row));
      ++rows;
    }
    rs.Close();
    out.push_back(std::string(table) + " rows " + std::to_string(rows));
  }
  std::sort(out.begin(), out.end());
  return out;
}

// ---- one database's cases ---------------------------------------------------------------

template <class Db>
class Bench {
 public:
  // `text`: the library's connection text for a database without tables;
  // `open_raw` opens the raw connection to the same database.
  void Setup(const std::string& text, const std::function<std::unique_ptr<Db>()>& open_raw) {
    try {
      connection_ = tarnlow::Connection::Open(text);
      tarnlow::CreateMissingTables(*connection_);
      Seed(*connection_);
      raw_db_ = open_raw();
      problem_ = Check(text);
      if (!problem_.empty()) return;
      // One order each before timing.
      library_ = std::make_unique<LibraryOrder>(connection_);
      library_->Write(library_numbers_.Next());
      raw_->Write(raw_numbers_.Next());
    } catch (const tarnlow::Error& e) {
      problem_ = "setup: " + e.Source() + ": " + e.Description();
    } catch (const std::exception& e) {
      problem_ = std::string("setup: ") + e.what();
    }
  }

  void Teardown() {
    library_.reset();
    raw_.reset();
    raw_db_.reset();
    connection_.reset();
  }

  void RunLibrary(benchmark::State& state) {
    Run(state, [this] { library_->Write(library_numbers_.Next()); });
  }
  void RunRaw(benchmark::State& state) {
    Run(state, [this] { raw_->Write(raw_numbers_.Next()); });
  }

  // A library order and a raw order per iteration, in alternating order,
  // each timed on its own, so that on a shared machine both sides meet the
  // same conditions.
  void RunPaired(benchmark::State& state) {
    Clocks library, raw;
    bool library_first = true;
    Run(state, [&] {
      auto lib = [&] { library.Time([&] { library_->Write(library_numbers_.Next()); }); };
      auto direct = [&] { raw.Time([&] { raw_->Write(raw_numbers_.Next()); }); };
      paired_cases::AlternateTurn(library_first, lib, direct);
    });
    paired_cases::ReportPair(state, library, raw);
  }

 protected:
  std::string problem_;  // why the cases cannot run; "" when they can

 private:
  template <class F>
  void Run(benchmark::State& state, F order) {
    if (!problem_.empty()) {
      state.SkipWithError(problem_.c_str());
      return;
    }
    try {
      for (auto _ : state) order();
    } catch (const tarnlow::Error& e) {
      problem_ = e.Source() + ": " + e.Description();
      state.SkipWithError(problem_.c_str());
    } catch (const std::exception& e) {
      problem_ = e.what();
      state.SkipWithError(problem_.c_str());
    }
  }

  double OnOrderTotal() {
    tarnlow::Recordset rs;
    rs.Open("select sum(on_order_qty) from stock_item", connection_->DatabaseConnection(),
            tarnlow::adOpenForwardOnly, tarnlow::adLockReadOnly);
    const double total = rs.Fields(std::size_t{0}).ToDouble();
    rs.Close();
    return total;
  }

  // One library order (traced) and one raw order; "" when both sent the
  // same texts and wrote the same rows and quantities on order.
  std::string Check(const std::string& text) {
    const double on_order_before = OnOrderTotal();
    const std::string trace = TempPath("tarnlow_order_trace") + ".sql";
    std::filesystem::remove(trace);
    {
      auto traced = tarnlow::Connection::Open(WithOption(text, "trace=" + trace));
      LibraryOrder order(traced);
      order.Write(kCheckLibrary);
    }
    std::vector<std::string> library_texts = ReadLines(trace);
    std::filesystem::remove(trace);
    const double on_order_library = OnOrderTotal();

    std::vector<std::string> raw_texts;
    raw_db_->Log(&raw_texts);
    raw_ = std::make_unique<RawOrder<Db>>(*raw_db_, kCheckLibrary);
    raw_db_->Log(nullptr);
    // What the raw side read to learn its values is no part of an order.
    std::erase_if(raw_texts, [](const std::string& t) { return t.starts_with("select "); });
    raw_->Write(kCheckRaw);
    const double on_order_raw = OnOrderTotal();

    for (auto& t : library_texts) t = Db::Numbered(t);
    if (std::string differ = paired_cases::CompareTexts(library_texts, raw_texts); !differ.empty())
      return "check: " + differ;
    const std::vector<std::string> library_rows = OrderRows(*connection_, kCheckLibrary);
    const std::vector<std::string> raw_rows = OrderRows(*connection_, kCheckRaw);
    if (library_rows != raw_rows) {
      const auto [a, b] =
          std::mismatch(library_rows.begin(), library_rows.end(), raw_rows.begin(), raw_rows.end());
      return "check: the orders' rows differ: library [" + (a == library_rows.end() ? "" : *a) + "], raw [" +
             (b == raw_rows.end() ? "" : *b) + "]";
    }
    double ordered = 0;
    for (int line = 1; line <= kLines; ++line) ordered += Quantity(line);
    if (on_order_library - on_order_before != ordered || on_order_raw - on_order_library != ordered)
      return "check: the quantities on order did not grow by " + std::to_string(ordered) + " on both sides";
    return "";
  }

  std::shared_ptr<tarnlow::Connection> connection_;
  std::unique_ptr<Db> raw_db_;
  std::unique_ptr<LibraryOrder> library_;
  std::unique_ptr<RawOrder<Db>> raw_;
  OrderNumbers library_numbers_{'L'}, raw_numbers_{'R'};
};

// ---- SQLite: a temporary file, both connections open throughout -----------------------

class SqliteCases : public Bench<SqliteRaw> {
 public:
  SqliteCases() {
    Setup("sqlite:" + file_.Path(), [this] { return std::make_unique<SqliteRaw>(file_.Path()); });
  }
  // The connections close before their files go.
  ~SqliteCases() { Teardown(); }

 private:
  paired_cases::TempDatabaseFile file_{"tarnlow_order_bench"};
};

SqliteCases& Sqlite() {
  static SqliteCases cases;
  return cases;
}

void BM_Order50_SQLite_Library(benchmark::State& state) {
  Sqlite().RunLibrary(state);
}
void BM_Order50_SQLite_RawAPI(benchmark::State& state) {
  Sqlite().RunRaw(state);
}
void BM_Order50_SQLite_Paired(benchmark::State& state) {
  Sqlite().RunPaired(state);
}
BENCHMARK(BM_Order50_SQLite_Library)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Order50_SQLite_RawAPI)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Order50_SQLite_Paired)->UseRealTime()->Unit(benchmark::kMillisecond);

// ---- PostgreSQL: a private schema on the server of TARNLOW_PG_URI -------------------------

class PostgresCases : public Bench<PgRaw> {
 public:
  explicit PostgresCases(const std::string& uri) {
    try {
      schema_.emplace(uri, "order_bench");
    } catch (const std::exception& e) {
      problem_ = std::string("setup: ") + e.what();
      return;
    }
    const std::string text = schema_->Text();
    Setup(text, [text] { return std::make_unique<PgRaw>(text); });
  }
  // The connections go before the schema they work in.
  ~PostgresCases() { Teardown(); }

 private:
  std::optional<bench_pg::Schema> schema_;
};

const char* PgUri() {
  return std::getenv("TARNLOW_PG_URI");
}

PostgresCases& Postgres() {
  static PostgresCases cases(PgUri());
  return cases;
}

void BM_Order50_PostgreSQL_Library(benchmark::State& state) {
  Postgres().RunLibrary(state);
}
void BM_Order50_PostgreSQL_RawAPI(benchmark::State& state) {
  Postgres().RunRaw(state);
}
void BM_Order50_PostgreSQL_Paired(benchmark::State& state) {
  Postgres().RunPaired(state);
}

// Without a server the PostgreSQL cases are not registered; the run's
// context says so.
const bool kPostgresRegistered = [] {
  if (PgUri() == nullptr || *PgUri() == '\0') {
    benchmark::AddCustomContext("postgresql_order50", "skipped: TARNLOW_PG_URI is not set");
    return false;
  }
  for (auto [name, fn] : {std::pair{"BM_Order50_PostgreSQL_Library", &BM_Order50_PostgreSQL_Library},
                          std::pair{"BM_Order50_PostgreSQL_RawAPI", &BM_Order50_PostgreSQL_RawAPI},
                          std::pair{"BM_Order50_PostgreSQL_Paired", &BM_Order50_PostgreSQL_Paired}})
    benchmark::RegisterBenchmark(name, fn)->UseRealTime()->Unit(benchmark::kMillisecond);
  return true;
}();

}  // namespace
}  // namespace order_bench
