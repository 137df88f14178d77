// The goods receipt that the benchmarks run: once through the library's
// classes (LibraryReceipt) and once as the same statements, with the same
// values, written directly with a database's client API (RawReceipt, over the
// calls of receipt_bench_support.h), and the rows it needs (Seed). The paired
// case of receipt_bench.cpp and the throughput under concurrent client
// processes (concurrency/receipt_throughput.cpp) both run these, so that the
// two measure the same work.
//
// The receipt is the one a receiving client does: read the order header,
// read one order line, write the receipt's eight columns back into it, read
// and adjust the stock item, write a movement history row and a batch (both
// numbered by the highest number plus one), read the stock category, write
// two ledger movements and the receipt audit row. Objects are created once
// and reused, as a client keeps one object per table; the raw side prepares
// once what the library prepares once (or keeps compiled for its text) and
// compiles per receipt what the library runs as literal statements. Each
// statement commits on its own, as the client's do.
#pragma once

#include <charconv>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "receipt_bench_support.h"
#include "tarnlow/tarnlow.h"

namespace receipt_bench {

// ---- the receipt's data --------------------------------------------------------------

inline const std::string kOrder = "PO1001";
inline const std::string kWarehouse = "01";
constexpr const char* kSupplier = "ACME01";
constexpr const char* kCompany = "MAIN";
constexpr const char* kCategory = "RAW";
constexpr double kReceived = 1;     // quantity received per receipt
constexpr double kUnitCost = 0.25;  // exact in binary, so running totals stay exact
constexpr double kOrdered = 1e9;    // never reached: the line stays part-received

// Both sides write the same fixed dates, so that their rows can be compared.
constexpr int kYear = 2026, kMonth = 1, kDay = 5, kHour = 10, kMinute = 30;
constexpr const char* kDayText = "2026-01-05 00:00:00";
constexpr const char* kMomentText = "2026-01-05 10:30:00";
constexpr const char* kZeroDateText = "1899-12-30 00:00:00";

struct Item {
  std::int16_t line_no = 0;
  std::string line_text;  // order_line_no: the number right-aligned in four characters
  std::string product;
  std::string comment;  // the ledger movements' comment
};

inline Item MakeItem(int line_no, const std::string& product) {
  char text[16];
  std::snprintf(text, sizeof text, "%4d", line_no);
  return Item{static_cast<std::int16_t>(line_no), text, product, "Goods received " + product};
}

inline std::string Quote(std::string_view text) {
  std::string out = "'";
  for (char c : text) {
    out += c;
    if (c == '\'') out += '\'';
  }
  return out + "'";
}

inline std::string RightTrimmed(std::string_view text) {
  const std::size_t end = text.find_last_not_of(' ');
  return std::string(end == std::string_view::npos ? std::string_view() : text.substr(0, end + 1));
}

inline std::string SixDigits(std::int32_t n) {
  char text[16];
  std::snprintf(text, sizeof text, "%06d", n);
  return text;
}

// ---- the library side --------------------------------------------------------------

class LibraryReceipt {
 public:
  explicit LibraryReceipt(const std::shared_ptr<tarnlow::Connection>& connection)
      : day_(tarnlow::Date::FromCalendar(kYear, kMonth, kDay)),
        moment_(tarnlow::Date::FromCalendar(kYear, kMonth, kDay, kHour, kMinute)) {
    header_.SageConnection(connection);
    line_.SageConnection(connection);
    stock_.SageConnection(connection);
    history_.SageConnection(connection);
    batch_.SageConnection(connection);
    category_.SageConnection(connection);
    movement_.SageConnection(connection);
    audit_.SageConnection(connection);
  }

  void Run(const Item& item) {
    header_.ReadIt(kOrder);
    header_.CloseIt();

    // The client's arithmetic: what arrived, what it is worth, the line's status.
    line_.order_no = kOrder;
    line_.line_no = item.line_no;
    line_.ReadIt();
    const double cost = line_.cost_per_unit();
    const double value = kReceived * cost;
    line_.qty_received = line_.qty_received() + kReceived;
    line_.tran_recd_qty = line_.tran_recd_qty() + kReceived * line_.unit_factor();
    line_.status = line_.qty_received() >= line_.qty_ordered() ? "C" : "P";
    line_.local_expect_cost = line_.local_expect_cost() + value;
    line_.UpdateForReceipt();
    line_.CloseIt();

    stock_.warehouse = kWarehouse;
    stock_.product = item.product;
    stock_.ReadIt();
    stock_.AdjustPhysicalQty = kReceived;
    stock_.AdjustOnOrderQty = -kReceived;
    stock_.AdjustMonthToDateReceiptQty = kReceived;
    stock_.AdjustYearToDateReceiptQty = kReceived;
    stock_.last_supplier = header_.supplier();
    stock_.current_cost = cost;
    stock_.current_material = cost;
    stock_.UpdateForReceipt();

    history_.warehouse = kWarehouse;
    history_.product = item.product;
    history_.dated = day_;
    history_.movement_date = moment_;
    history_.movement_quantity = kReceived;
    history_.movement_cost = value;
    history_.movement_reference = kOrder;
    history_.movement_source = "POR";
    history_.transaction_type = "GRN";
    history_.nl_category = stock_.nl_category();
    history_.InsertNewHistory();

    if (stock_.batch_traceability() == "Y") {
      batch_.warehouse = kWarehouse;
      batch_.product = item.product;
      batch_.prod_code = item.product;
      batch_.batch_number = "B2601-05";
      batch_.quantity = kReceived;
      batch_.quantity_free = kReceived;
      batch_.unit_cost = cost;
      batch_.date_received = moment_;
      batch_.bin_number = stock_.BinNumber();
      batch_.InsertNewBatch();
    }

    category_.nl_category = stock_.nl_category();
    category_.ReadIt();
    movement_.movement_date = moment_;
    movement_.tranaction_ref = kOrder;
    movement_.post_flag = "N";
    movement_.comments = item.comment;
    movement_.account = category_.BalanceSheetAccount();
    movement_.amount_posted = value;
    movement_.InsertRow();
    movement_.account = category_.MovementAccount();
    movement_.amount_posted = -value;
    movement_.InsertRow();

    audit_.order_no = kOrder;
    audit_.supplier = header_.supplier();
    audit_.pl_company = header_.pl_company();
    audit_.warehouse = kWarehouse;
    audit_.product = item.product;
    audit_.qty_received = kReceived;
    audit_.local_cost = value;
    audit_.unit_code = line_.unit_code();
    audit_.unit_factor = line_.unit_factor();
    audit_.receipt_no = "R00001";
    audit_.date_received = moment_;
    audit_.creation_date = moment_;
    audit_.more_to_come_ind = line_.status() == "C" ? "N" : "Y";
    audit_.commnt = "Bench receipt";
    audit_.InsertRow();
  }

 private:
  tarnlow::Date day_;
  tarnlow::Date moment_;
  tarnlow::clsPORPohead header_;
  tarnlow::clsPORPodet line_;
  tarnlow::clsPORStock stock_;
  tarnlow::clsSTHistory history_;
  tarnlow::clsSTBatchD batch_;
  tarnlow::clsSTNLCat category_;
  tarnlow::clsSTNLMov movement_;
  tarnlow::clsPorecp audit_;
};

// ---- the raw side ------------------------------------------------------------------

// The statement texts, written out as a client of the raw API writes them.
// Placeholders are "?"; the PostgreSQL side numbers them once when it
// prepares.
inline const std::string kStockRead =
    "select warehouse, product, current_cost, analysis_x_ref, "
    " batch_traceability, serial_numbers, standard_cost      "
    ", standard_labour, standard_material, standard_overhead, standard_subcontra "
    ", current_labour, current_material, current_overhead, current_subcontrac, bin_number "
    " from stock_item where warehouse = ? and product = ?";
inline const std::string kStockUpdate =
    " update stock_item set on_order_qty = on_order_qty + ? , physical_qty = physical_qty + ? , "
    "last_supplier = ? "
    " , month_to_date03 = month_to_date03 + ? , year_to_date03 = year_to_date03 + ?  , current_cost = ? "
    " , current_material = ?  where warehouse = ? and product = ?";
inline const std::string kHistoryNext =
    "select max(sequence_no) as NEXT_SEQ  from stock_movement_history"
    " where warehouse=? and product = ? and dated = ?";
inline const std::string kHistoryInsert =
    "INSERT INTO stock_movement_history ( batch_number,comments,dated,expiry_date,from_bin_number,lot_number,"
    "movement_cost,movement_date,movement_quantity,movement_reference,movement_source,nl_category,"
    "opening_balance,product,sequence_no,serial_number,spare,sub_contract_cost,to_bin_number,total_labour_"
    "cost,"
    "total_overhead_cos,transaction_type,user_id,val_only_adj_ind,warehouse)"
    " VALUES ( ?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?)";
constexpr int kHistorySequenceParameter = 15;
inline const std::string kBatchNext =
    "select max(sequence_number) as NEXT_SEQ  from stock_batch where warehouse=? and product = ? ";
inline const std::string kBatchInsert =
    "INSERT INTO stock_batch  ( batch_number,best_before_date,best_date_key,bin_number,concentration,"
    "conformity_ref,date_received,expiry_date,expiry_date_key,inspection_date,inspector_code,labour_cost,"
    "lot_number,overhead_cost,passed_inspection,prod_code,product,quantity,quantity_free,sell_by_date,"
    "sellby_date_key,sequence_number,serial_number,source_code,spare,sub_contract_cost,unit_cost,users_field_"
    "1,"
    "users_field_2,users_field_3,users_text_field,warehouse)"
    " VALUES ( ?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?)";
constexpr int kBatchSequenceParameter = 22;
inline const std::string kCategoryRead =
    "select st_balance_acc,po_recp_acc from stock_category where nl_category = ?";
inline const std::string kMovementInsert =
    "INSERT INTO stock_nominal_movement ( "
    "account,amount_posted,comments,movement_date,post_flag,tranaction_ref)"
    " VALUES ( ?,?,?,?,?,?)";
inline const std::string kAuditInsert =
    "INSERT INTO goods_receipt_audit ( "
    "commnt,creation_date,date_received,date_required,delivery_no,foreign_cost,"
    "level_of_detail,local_cost,more_to_come_ind,order_no,originator_user_id,pl_company,product,qty_booked_"
    "out,"
    "qty_received,qty_returned,receipt_no,return_code,return_number,return_text1,return_text2,spare,"
    "stock_unit_dp,supplier,unit_code,unit_factor,unit_group,unit_operand,warehouse)"
    " VALUES ( ?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?)";
// The write-back of the order line's eight receipt columns, made only while
// the row still holds what was read for them (the key, then each column's
// value as read), so that a receipt made meanwhile by another client is not
// overwritten. The row set it mirrors keeps its compiled update per
// connection, keyed by the text, and reuses it for the next receipt (and
// PostgreSQL keeps it prepared on the server); a raw client writing the same
// text every receipt prepares it once too. Compiled per receipt it would cost
// the raw side a compile the library does not make: about two fifths of the
// raw receipt's CPU time on SQLite.
inline const std::string kLineUpdate =
    "UPDATE purchase_order_line SET tran_recd_qty = ?, tran_order_qty = ?, qty_received = ?, qty_ordered = ?,"
    " status = ?, local_expect_cost = ?, local_total_expect = ?, foreign_exp_cost = ?"
    " WHERE order_no = ? AND order_line_no = ? AND tran_recd_qty = ? AND tran_order_qty = ?"
    " AND qty_received = ? AND qty_ordered = ? AND status = ? AND local_expect_cost = ?"
    " AND local_total_expect = ? AND foreign_exp_cost = ?";

// Values bound in placeholder order.
template <class Db>
class Binder {
 public:
  Binder(Db& db, typename Db::Stmt& s) : db_(db), s_(s) {}
  Binder& T(std::string_view v) {
    db_.Text(s_, ++i_, v);
    return *this;
  }
  Binder& N(double v) {
    db_.Number(s_, ++i_, v);
    return *this;
  }
  Binder& Null() {
    db_.Null(s_, ++i_);
    return *this;
  }

 private:
  Db& db_;
  typename Db::Stmt& s_;
  int i_ = 0;
};

// A statement compiled for one run, released when it goes out of scope.
template <class Db>
class OneRun {
 public:
  OneRun(Db& db, const std::string& sql) : db_(db), s_(db.Literal(sql)) {}
  ~OneRun() { db_.Release(s_); }
  OneRun(const OneRun&) = delete;
  OneRun& operator=(const OneRun&) = delete;
  typename Db::Stmt& operator*() { return s_; }

 private:
  Db& db_;
  typename Db::Stmt s_;
};

// The order line as the client holds it after reading it: every column,
// numbers as numbers and texts as texts, so that the raw side hands its
// caller what the library's copy routine does.
struct LineRow {
  std::vector<double> number;
  std::vector<std::string> text;
  // Positions of the columns the receipt uses, found on the first read.
  int order_no = -1, order_line_no = -1, cost_per_unit = -1, unit_factor = -1, unit_code = -1,
      qty_ordered = -1, qty_received = -1, tran_recd_qty = -1, tran_order_qty = -1, status = -1,
      local_expect_cost = -1, local_total_expect = -1, foreign_exp_cost = -1;

  template <class Db>
  void Read(Db& db, const typename Db::Stmt& s) {
    const int n = db.Columns(s);
    if (order_no < 0) Locate(db, s, n);
    number.assign(static_cast<std::size_t>(n), 0.0);
    text.resize(static_cast<std::size_t>(n));
    for (int c = 0; c < n; ++c) {
      const auto i = static_cast<std::size_t>(c);
      text[i].clear();
      if (db.IsNull(s, c)) continue;
      if (db.IsNumber(s, c))
        number[i] = db.NumberAt(s, c);
      else
        text[i].assign(db.TextAt(s, c));
    }
  }
  double Number(int c) const { return number[static_cast<std::size_t>(c)]; }
  const std::string& Text(int c) const { return text[static_cast<std::size_t>(c)]; }

 private:
  template <class Db>
  void Locate(Db& db, const typename Db::Stmt& s, int n) {
    const std::pair<const char*, int*> wanted[] = {{"order_no", &order_no},
                                                   {"order_line_no", &order_line_no},
                                                   {"cost_per_unit", &cost_per_unit},
                                                   {"unit_factor", &unit_factor},
                                                   {"unit_code", &unit_code},
                                                   {"qty_ordered", &qty_ordered},
                                                   {"qty_received", &qty_received},
                                                   {"tran_recd_qty", &tran_recd_qty},
                                                   {"tran_order_qty", &tran_order_qty},
                                                   {"status", &status},
                                                   {"local_expect_cost", &local_expect_cost},
                                                   {"local_total_expect", &local_total_expect},
                                                   {"foreign_exp_cost", &foreign_exp_cost}};
    for (const auto& [name, index] : wanted) {
      for (int c = 0; c < n; ++c)
        if (std::string_view(db.Name(s, c)) == name) *index = c;
      if (*index < 0) throw std::runtime_error(std::string("order line has no column ") + name);
    }
  }
};

// What the raw client keeps of the stock item it read.
struct StockRow {
  double current_cost = 0, current_labour = 0, current_material = 0, current_overhead = 0,
         current_subcontra = 0, standard_cost = 0, standard_labour = 0, standard_material = 0,
         standard_overhead = 0, standard_subcontra = 0;
  std::string warehouse, product, nl_category, batch_traceability, serial_numbers, bin_number;
};

template <class Db>
class RawReceipt {
 public:
  explicit RawReceipt(Db& db)
      : db_(db),
        stock_read_(db.Prepare(kStockRead)),
        stock_update_(db.Prepare(kStockUpdate)),
        history_next_(db.Prepare(kHistoryNext)),
        history_insert_(db.Prepare(kHistoryInsert)),
        batch_next_(db.Prepare(kBatchNext)),
        batch_insert_(db.Prepare(kBatchInsert)),
        category_read_(db.Prepare(kCategoryRead)),
        movement_insert_(db.Prepare(kMovementInsert)),
        audit_insert_(db.Prepare(kAuditInsert)),
        line_update_(db.Prepare(kLineUpdate)) {}
  ~RawReceipt() {
    for (auto* s : {&stock_read_, &stock_update_, &history_next_, &history_insert_, &batch_next_,
                    &batch_insert_, &category_read_, &movement_insert_, &audit_insert_, &line_update_})
      db_.Release(*s);
  }
  RawReceipt(const RawReceipt&) = delete;
  RawReceipt& operator=(const RawReceipt&) = delete;

  void Run(const Item& item) {
    {
      OneRun<Db> header(db_,
                        "select order_no, supplier, status, pl_company, currency from purchase_order_header"
                        " where order_no = " +
                            Quote(kOrder));
      if (!db_.Query(*header)) throw std::runtime_error("raw: no order " + kOrder);
      // Header columns are fixed-width; the client compares them as codes.
      order_no_ = RightTrimmed(db_.TextAt(*header, 0));
      supplier_ = RightTrimmed(db_.TextAt(*header, 1));
      order_status_ = RightTrimmed(db_.TextAt(*header, 2));
      company_ = RightTrimmed(db_.TextAt(*header, 3));
      currency_ = RightTrimmed(db_.TextAt(*header, 4));
    }

    double cost = 0, value = 0;
    {
      OneRun<Db> line(db_, "select *  from purchase_order_line where order_no = " + Quote(kOrder) +
                               " and order_line_no=" + Quote(item.line_text));
      if (!db_.Query(*line)) throw std::runtime_error("raw: no order line " + item.line_text);
      line_.Read(db_, *line);
      cost = line_.Number(line_.cost_per_unit);
      value = kReceived * cost;
      const double received = line_.Number(line_.qty_received) + kReceived;
      status_ = received >= line_.Number(line_.qty_ordered) ? "C" : "P";
      // The update runs while the line's read is still open, as the row set's does.
      Binder<Db>(db_, line_update_)
          .N(line_.Number(line_.tran_recd_qty) + kReceived * line_.Number(line_.unit_factor))
          .N(line_.Number(line_.tran_order_qty))
          .N(received)
          .N(line_.Number(line_.qty_ordered))
          .T(status_)
          .N(line_.Number(line_.local_expect_cost) + value)
          .N(line_.Number(line_.local_total_expect))
          .N(line_.Number(line_.foreign_exp_cost))
          .T(line_.Text(line_.order_no))
          .T(line_.Text(line_.order_line_no))
          // None of the eight is Null in the seeded lines; the library would
          // write "IS NULL" for one that is, and the check before timing
          // compares the texts.
          .N(line_.Number(line_.tran_recd_qty))
          .N(line_.Number(line_.tran_order_qty))
          .N(line_.Number(line_.qty_received))
          .N(line_.Number(line_.qty_ordered))
          .T(line_.Text(line_.status))
          .N(line_.Number(line_.local_expect_cost))
          .N(line_.Number(line_.local_total_expect))
          .N(line_.Number(line_.foreign_exp_cost));
      if (db_.Write(line_update_) != WriteOutcome::Done || db_.Changed(line_update_) != 1)
        throw std::runtime_error(
            "raw: order line not updated, or changed by another client since it was read");
    }

    Binder<Db>(db_, stock_read_).T(kWarehouse).T(item.product);
    if (!db_.Query(stock_read_)) throw std::runtime_error("raw: no stock item " + item.product);
    ReadStock();
    db_.Close(stock_read_);
    Binder<Db>(db_, stock_update_)
        .N(-kReceived)
        .N(kReceived)
        .T(supplier_)
        .N(kReceived)
        .N(kReceived)
        .N(cost)
        .N(cost)
        .T(kWarehouse)
        .T(item.product);
    db_.Write(stock_update_);

    // Movement history: columns in the insert's (alphabetical) order; the
    // sequence number is bound in the numbering loop.
    Binder<Db>(db_, history_insert_)
        .T("")
        .T("")
        .T(kDayText)
        .T(kZeroDateText)
        .T("")
        .T("")  // batch_number .. lot_number
        .N(value)
        .T(kMomentText)
        .N(kReceived)
        .T(kOrder)
        .T("POR")  // movement_*
        .T(stock_.nl_category)
        .N(0)
        .T(item.product)
        .T("")  // nl_category .. sequence_no
        .T("")
        .T("")
        .N(0)
        .T("")
        .N(0)
        .N(0)  // serial_number .. total_overhead_cos
        .T("GRN")
        .T("")
        .T("")
        .T(kWarehouse);  // transaction_type .. warehouse
    Binder<Db>(db_, history_next_).T(kWarehouse).T(item.product).T(kDayText);
    InsertNumbered(history_next_, history_insert_, kHistorySequenceParameter);

    if (stock_.batch_traceability == "Y") {
      {
        OneRun<Db> count(db_, "select count(*) from stock_batch where warehouse=" + Quote(kWarehouse) +
                                  " and product=" + Quote(item.product) +
                                  " and sequence_number >= '000000' and sequence_number <= '999999'");
        if (!db_.Query(*count) || db_.NumberAt(*count, 0) == 0)
          throw std::runtime_error("raw: the benchmark expects decimal batch numbers for " + item.product);
      }
      Binder<Db>(db_, batch_insert_)
          .T("B2601-05")
          .Null()
          .T("")
          .T(stock_.bin_number)
          .N(0)
          .T("")  // batch_number .. conformity_ref
          .T(kMomentText)
          .Null()
          .T("")
          .Null()
          .T("")
          .N(0)  // date_received .. labour_cost
          .T("")
          .N(0)
          .T("")
          .T(item.product)
          .T(item.product)  // lot_number .. product
          .N(kReceived)
          .N(kReceived)
          .Null()
          .T("")
          .T("")  // quantity .. sequence_number
          .T("")
          .T("")
          .T("")
          .N(0)
          .N(cost)  // serial_number .. unit_cost
          .N(0)
          .N(0)
          .N(0)
          .T("")
          .T(kWarehouse);  // users_field_1 .. warehouse
      Binder<Db>(db_, batch_next_).T(kWarehouse).T(item.product);
      InsertNumbered(batch_next_, batch_insert_, kBatchSequenceParameter);
    }

    Binder<Db>(db_, category_read_).T(stock_.nl_category);
    if (!db_.Query(category_read_)) throw std::runtime_error("raw: no stock category " + stock_.nl_category);
    balance_account_.assign(db_.TextAt(category_read_, 0));
    movement_account_.assign(db_.TextAt(category_read_, 1));
    db_.Close(category_read_);
    Binder<Db>(db_, movement_insert_)
        .T(balance_account_)
        .N(value)
        .T(item.comment)
        .T(kMomentText)
        .T("N")
        .T(kOrder);
    db_.Write(movement_insert_);
    Binder<Db>(db_, movement_insert_)
        .T(movement_account_)
        .N(-value)
        .T(item.comment)
        .T(kMomentText)
        .T("N")
        .T(kOrder);
    db_.Write(movement_insert_);

    const std::string& unit_code = line_.Text(line_.unit_code);
    Binder<Db>(db_, audit_insert_)
        .T("Bench receipt")
        .T(kMomentText)
        .T(kMomentText)
        .T(kZeroDateText)
        .T("")  // commnt .. delivery_no
        .N(0)
        .T("")
        .N(value)
        .T(status_ == "C" ? "N" : "Y")
        .T(kOrder)  // foreign_cost .. order_no
        .T("")
        .T(company_)
        .T(item.product)
        .N(0)
        .N(kReceived)
        .N(0)  // originator .. qty_returned
        .T("R00001")
        .T("")
        .T("")
        .T("")
        .T("")
        .T("")
        .T("")  // receipt_no .. stock_unit_dp
        .T(supplier_)
        .T(std::string_view(unit_code).substr(0, 6))  // supplier, unit_code
        .N(line_.Number(line_.unit_factor))
        .T("")
        .T("")
        .T(kWarehouse);  // unit_factor .. warehouse
    db_.Write(audit_insert_);
  }

 private:
  void ReadStock() {
    const auto& s = stock_read_;
    stock_.warehouse.assign(db_.TextAt(s, 0));
    stock_.product.assign(db_.TextAt(s, 1));
    stock_.current_cost = db_.NumberAt(s, 2);
    stock_.nl_category.assign(db_.TextAt(s, 3));
    stock_.batch_traceability.assign(db_.TextAt(s, 4));
    stock_.serial_numbers.assign(db_.TextAt(s, 5));
    stock_.standard_cost = db_.NumberAt(s, 6);
    stock_.standard_labour = db_.NumberAt(s, 7);
    stock_.standard_material = db_.NumberAt(s, 8);
    stock_.standard_overhead = db_.NumberAt(s, 9);
    stock_.standard_subcontra = db_.NumberAt(s, 10);
    stock_.current_labour = db_.NumberAt(s, 11);
    stock_.current_material = db_.NumberAt(s, 12);
    stock_.current_overhead = db_.NumberAt(s, 13);
    stock_.current_subcontra = db_.NumberAt(s, 14);
    stock_.bin_number = db_.IsNull(s, 15) ? std::string() : RightTrimmed(db_.TextAt(s, 15));
  }

  // The highest number plus one, and the one after that while the table's
  // key refuses the number, as the library's optimistic numbering does.
  void InsertNumbered(typename Db::Stmt& next, typename Db::Stmt& insert, int parameter) {
    std::int32_t n = -1;
    const bool row = db_.Query(next);
    if (row && !db_.IsNull(next, 0)) {
      const std::string_view highest = db_.TextAt(next, 0);
      if (std::from_chars(highest.data(), highest.data() + highest.size(), n).ec != std::errc())
        throw std::runtime_error("raw: highest sequence number is no decimal number");
    }
    db_.Close(next);
    for (;;) {
      if (++n > 999999) throw std::runtime_error("raw: sequence numbers used up");
      db_.Text(insert, parameter, SixDigits(n));
      if (db_.Write(insert) == WriteOutcome::Done) return;
    }
  }

  Db& db_;
  typename Db::Stmt stock_read_, stock_update_, history_next_, history_insert_, batch_next_, batch_insert_,
      category_read_, movement_insert_, audit_insert_, line_update_;
  std::string order_no_, supplier_, order_status_, company_, currency_;
  std::string status_, balance_account_, movement_account_;
  LineRow line_;
  StockRow stock_;
};

// ---- seeding ---------------------------------------------------------------------------

// The order header and the stock category every receipt reads.
inline void SeedOrder(tarnlow::Connection& c) {
  c.Execute("insert into purchase_order_header (order_no, supplier, status, pl_company, currency) values (" +
            Quote(kOrder) + ", " + Quote(std::string(kSupplier) + "  ") + ", 'P', " + Quote(kCompany) +
            ", 'GBP')");
  c.Execute(
      "insert into stock_category (nl_category, st_balance_acc, po_recp_acc) values ('RAW', '1200', '5100')");
}

// The item's order line, nothing received yet.
inline void SeedLine(tarnlow::Connection& c, const Item& item) {
  const std::string ordered = std::to_string(kOrdered), cost = std::to_string(kUnitCost);
  c.Execute(
      "insert into purchase_order_line (order_no, order_line_no, line_type, product, warehouse,"
      " description, qty_ordered, qty_received, tran_order_qty, tran_recd_qty, cost_per_unit, unit_code,"
      " unit_factor, status, nl_category, local_expect_cost, local_total_expect, foreign_exp_cost)"
      " values (" +
      Quote(kOrder) + ", " + Quote(item.line_text) + ", 'S', " + Quote(item.product) + ", " +
      Quote(kWarehouse) + ", 'Bench item', " + ordered + ", 0, " + ordered + ", 0, " + cost +
      ", 'EACH', 1, 'P', " + Quote(kCategory) + ", 0, " + ordered + ", 0)");
}

// The product's stock item and its opening batch.
inline void SeedStock(tarnlow::Connection& c, const std::string& product_code) {
  const std::string ordered = std::to_string(kOrdered), cost = std::to_string(kUnitCost);
  const std::string product = Quote(product_code);
  // Current costs, last supplier and category as the receipt writes them,
  // so that only the quantities move.
  c.Execute(
      "insert into stock_item (warehouse, product, physical_qty, on_order_qty, current_cost,"
      " current_material, standard_cost, analysis_x_ref, batch_traceability, serial_numbers, bin_number,"
      " last_supplier, month_to_date03, year_to_date03) values (" +
      Quote(kWarehouse) + ", " + product + ", 0, " + ordered + ", " + cost + ", " + cost + ", " + cost +
      ", " + Quote(kCategory) + ", 'Y', 'N', 'B-07  ', " + Quote(kSupplier) + ", 0, 0)");
  // An old-scheme batch keeps the item on decimal batch numbers.
  c.Execute(
      "insert into stock_batch (warehouse, product, sequence_number, batch_number, prod_code, quantity,"
      " date_received) values (" +
      Quote(kWarehouse) + ", " + product + ", '000000', 'OPENING', " + product +
      ", 0, '2026-01-01 00:00:00')");
}

// The order, and a line and a stock item of its own for each item.
inline void Seed(tarnlow::Connection& c, const std::vector<Item>& items) {
  c.Execute("begin");
  SeedOrder(c);
  for (const Item& item : items) {
    SeedLine(c, item);
    SeedStock(c, item.product);
  }
  c.Execute("commit");
}

}  // namespace receipt_bench
