// The worked example: a goods receipt done the way a receiving client does it.
// The client's own arithmetic (how much arrived, what it cost, what the line's
// status becomes) is written out here and explained in the report; the
// library only stores what it is given and adds increments in the database.
#include "demo.h"

#include <cstdio>
#include <iostream>
#include <string>

#include "tarnlow/tarnlow.h"

namespace {

using namespace tarnlow;

constexpr const char* kWarehouse = "01";

std::int32_t CountWhere(Connection& c, const std::string& table, const std::string& condition) {
  Recordset rs;
  rs.Open("select count(*) from " + table + " where " + condition, c.DatabaseConnection(), adOpenForwardOnly,
          adLockReadOnly);
  const std::int32_t n = rs.Fields(std::size_t{0}).ToInt32();
  rs.Close();
  return n;
}

// What the sample data came to: the order written for this run, and whether
// an earlier run had left the stock items and category it uses.
struct Sample {
  std::string order;
  bool earlier_run = false;
};

// The first order number from PO1001 on that the header table does not hold,
// so that every run receives against an order of its own.
std::string FreshOrderNumber(Connection& c) {
  const std::string table = c.TableCatalogue()->OrderHeaderTable();
  for (int n = 1001; n <= 9999; ++n) {
    const std::string order = "PO" + std::to_string(n);
    if (CountWhere(c, table, "order_no = " + c.QuoteLiteral(order)) == 0) return order;
  }
  throw Error(vbObjectError, "RunDemo", "No free sample order number left from PO1001 to PO9999");
}

struct SampleItem {
  const char* product;
  const char* values;  // the item's row when it is new
  double outstanding;  // what the sample order still expects of it
};
constexpr SampleItem kItems[] = {
    {"WIDGET", "('01', 'WIDGET', 40, 100, 2.4, 2.4, 2.5, 'RAW', 'N', 'N', 'A-01', 0, 0)", 100},
    {"BOLT-M8", "('01', 'BOLT-M8', 1000, 400, 0.18, 0.18, 0.2, 'RAW', 'Y', 'N', 'B-07  ', 100, 100)", 400},
};

// Writes a new sample order with two stock lines. Its stock items and their
// category are written on the first run; later runs keep them and add the
// new order's outstanding quantities to what the items have on order, as
// writing an order does.
Sample Seed(Connection& c) {
  const auto t = c.TableCatalogue();
  Sample sample{FreshOrderNumber(c)};
  const std::string order = c.QuoteLiteral(sample.order);
  c.Execute("insert into " + t->OrderHeaderTable() +
            " (order_no, supplier, status, pl_company, currency) values (" + order +
            ", 'ACME01  ', 'P', 'MAIN', 'GBP')");
  c.Execute(
      "insert into " + t->OrderLineTable() +
      " (order_no, order_line_no, line_type, product, warehouse, description, qty_ordered, qty_received,"
      " tran_order_qty, tran_recd_qty, cost_per_unit, unit_code, unit_factor, status, nl_category,"
      " local_expect_cost, local_total_expect, foreign_exp_cost)"
      " values (" +
      order +
      ", '   1', 'S', 'WIDGET', '01', 'Steel widget', 100, 0, 100, 0, 2.5, 'EACH', 1, 'O',"
      " 'RAW', 250, 250, 250),"
      " (" +
      order +
      ", '   2', 'S', 'BOLT-M8', '01', 'M8 bolt (batches)', 500, 100, 500, 100, 0.2, 'EACH',"
      " 1, 'P', 'RAW', 80, 100, 100)");
  for (const SampleItem& item : kItems) {
    const std::string key = "warehouse = '01' and product = " + c.QuoteLiteral(item.product);
    if (CountWhere(c, t->StockTable(), key) > 0) {
      sample.earlier_run = true;
      c.Execute("update " + t->StockTable() + " set on_order_qty = on_order_qty + " +
                ShortestText(item.outstanding) + " where " + key);
    } else {
      c.Execute("insert into " + t->StockTable() +
                " (warehouse, product, physical_qty, on_order_qty, current_cost, current_material,"
                " standard_cost, analysis_x_ref, batch_traceability, serial_numbers, bin_number,"
                " month_to_date03, year_to_date03) values " +
                item.values);
    }
  }
  if (CountWhere(c, t->StockCategoryTable(), "nl_category = 'RAW'") == 0)
    c.Execute("insert into " + t->StockCategoryTable() +
              " (nl_category, st_balance_acc, po_recp_acc) values ('RAW', '1200', '5100')");
  return sample;
}

// The supplier delivers BOLT-M8 in boxes of 12; the stock unit is EACH. The
// item's product group allows deliveries up to 10% over what is outstanding.
// Removed first so that the demo can run again on the same database.
constexpr const char* kSupplierUnit = "BOX12";
constexpr const char* kStockUnit = "EACH";
constexpr const char* kProductGroup = "FASTENER";

void SeedUnits(Connection& c) {
  const auto t = c.TableCatalogue();
  c.Execute("delete from " + t->UnitDescriptionTable() + " where unit_code in ('BOX12', 'EACH')");
  c.Execute("insert into " + t->UnitDescriptionTable() +
            " (unit_code, dec_places) values ('BOX12', 0), ('EACH', 0)");
  c.Execute("delete from " + t->UnitConversionTable() +
            " where base_name = 'BOX12' and converted_unit = 'EACH'");
  c.Execute("insert into " + t->UnitConversionTable() +
            " (base_name, converted_unit, conv_factor, conv_method, from_min_break, to_min_break)"
            " values ('BOX12', 'EACH', 12, 'M', 0, 0)");
  c.Execute("delete from " + t->ProductGroupToleranceTable() + " where product_group = 'FASTENER'");
  c.Execute("insert into " + t->ProductGroupToleranceTable() +
            " (product_group, delivery_qty_tol, call_off_qty_tol) values ('FASTENER', '10', '5')");
}

struct StockFigures {
  double physical = 0, on_order = 0, mtd = 0, ytd = 0, cost = 0;
};

StockFigures ReadStock(const std::shared_ptr<Connection>& c, const std::string& product) {
  StatementHolder read;
  read.Connection(c);
  read.SQL("select physical_qty, on_order_qty, month_to_date03, year_to_date03, current_cost from " +
           c->TableCatalogue()->StockTable() + " where warehouse = '01' and product = ?");
  read.AddTextParameter("product", 20);
  read("product", Variant(product));
  auto rs = read.Command().Execute();
  StockFigures f{rs->Fields("physical_qty").ToDouble(), rs->Fields("on_order_qty").ToDouble(),
                 rs->Fields("month_to_date03").ToDouble(), rs->Fields("year_to_date03").ToDouble(),
                 rs->Fields("current_cost").ToDouble()};
  rs->Close();
  return f;
}

// The product the demo receives (line 2 of the sample order).
constexpr const char* kReceivedProduct = "BOLT-M8";

std::int32_t Count(Connection& c, CatalogueTable table) {
  Recordset rs;
  rs.Open("select count(*) from " + c.TableCatalogue()->Name(table), c.DatabaseConnection(),
          adOpenForwardOnly, adLockReadOnly);
  const std::int32_t n = rs.Fields(std::size_t{0}).ToInt32();
  rs.Close();
  return n;
}

// The rows a receipt adds to, as the report shows them.
std::string RowCounts(Connection& c) {
  return std::to_string(Count(c, CatalogueTable::StockHistoryTable)) + " movement history, " +
         std::to_string(Count(c, CatalogueTable::BatchTable)) + " batch, " +
         std::to_string(Count(c, CatalogueTable::NominalMovementTable)) + " ledger movements, " +
         std::to_string(Count(c, CatalogueTable::ReceiptTable)) + " receipt audit";
}

// Six significant digits are plenty for a report.
std::string Num(double d) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%.6g", d);
  return buf;
}

// What the client brings to one receipt of an order line.
struct ReceiptInput {
  std::string order;
  std::int16_t line_no = 0;
  double received = 0, unit_cost = 0;
  std::string supplier, pl_company, receipt_number, batch_number;
};

// One receipt, written the way a receiving client writes it (the line, the
// stock item, the movement, the batch, the ledger, the audit row) and
// reported to `out`.
void Receive(const std::shared_ptr<Connection>& connection, const ReceiptInput& in, std::ostream& out) {
  // 3. Receive against the line. The client decides the figures.
  const double received = in.received, unit_cost = in.unit_cost;
  const std::string& order = in.order;
  const std::string& receipt_number = in.receipt_number;
  const std::string& batch_number = in.batch_number;
  clsPORPodet line;
  line.SageConnection(connection);
  line.order_no = order;
  line.line_no = in.line_no;
  line.ReadIt();
  const std::string product = line.product();
  const double value = received * unit_cost;
  const StockFigures before = ReadStock(connection, product);
  line.qty_received = line.qty_received() + received;
  line.tran_recd_qty = line.tran_recd_qty() + received * line.unit_factor();
  line.status = line.qty_received() >= line.qty_ordered() ? "C" : "P";
  line.local_expect_cost = line.local_expect_cost() + value;
  line.UpdateForReceipt();
  line.CloseIt();
  out << "\nReceiving " << Num(received) << " of line 2 (" << product << ") at " << Num(unit_cost)
      << " each: value " << Num(value) << "; the line's received quantity becomes "
      << Num(line.qty_received()) << " and its status " << line.status()
      << " (C when all has arrived, else P)\n";

  // The supplier's unit as stock units, and the delivery against the product
  // group's tolerance: both the client's arithmetic on what the library reads.
  clsSTUnitCD conversion;
  conversion.SageConnection(connection);
  conversion.base_name = kSupplierUnit;
  conversion.converted_unit = kStockUnit;
  conversion.ReadFromList();
  clsSTUnitDD stock_unit;
  stock_unit.SageConnection(connection);
  stock_unit.unit_code = kStockUnit;
  stock_unit.ReadFromList();
  out << "Unit conversion " << kSupplierUnit << " -> " << kStockUnit << ": factor "
      << Num(conversion.conv_factor()) << " (method " << conversion.conv_method()
      << "), so the supplier's box of " << Num(conversion.conv_factor()) << " becomes "
      << Num(conversion.conv_factor()) << " stock units; the " << Num(received) << " received are "
      << Num(received / conversion.conv_factor()) << " boxes (" << kStockUnit << " has "
      << stock_unit.dec_places() << " decimal places)\n";
  clsStkpgtxD group;
  group.SageConnection(connection);
  group.product_group = kProductGroup;
  group.ReadIt();
  const double outstanding_before = line.qty_ordered() - (line.qty_received() - received);
  const double allowed = outstanding_before * (1 + Variant(group.delivery_qty_tol()).ToDouble() / 100);
  out << "Delivery tolerance of product group " << group.product_group() << ": " << group.delivery_qty_tol()
      << "% over the " << Num(outstanding_before) << " outstanding, so at most " << Num(allowed) << "; "
      << Num(received) << " delivered is " << (received <= allowed ? "within" : "OVER") << " tolerance\n";

  // 4. The stock item: increments applied by the database in one update.
  clsPORStock stock;
  stock.SageConnection(connection);
  stock.warehouse = kWarehouse;
  stock.product = product;
  stock.ReadIt();
  stock.AdjustPhysicalQty = received;
  stock.AdjustOnOrderQty = -received;
  stock.AdjustMonthToDateReceiptQty = received;
  stock.AdjustYearToDateReceiptQty = received;
  stock.last_supplier = in.supplier;
  // Average cost: what was in stock at the old cost plus what arrived at its price.
  const double average = (before.physical * stock.current_cost() + value) / (before.physical + received);
  stock.current_cost = average;
  stock.current_material = average;
  stock.UpdateForReceipt();
  const StockFigures after = ReadStock(connection, product);
  out << "Stock " << kWarehouse << "/" << product << " (bin " << stock.BinNumber() << "):\n"
      << "  physical " << Num(before.physical) << " -> " << Num(after.physical) << ", on order "
      << Num(before.on_order) << " -> " << Num(after.on_order) << ", month to date " << Num(before.mtd)
      << " -> " << Num(after.mtd) << ", year to date " << Num(before.ytd) << " -> " << Num(after.ytd)
      << "\n  current cost " << Num(before.cost) << " -> " << Num(after.cost)
      << " (weighted average of stock and receipt)\n";

  // 5. The stock movement, numbered by the library.
  const Date today = connection->CurrentTime(true);
  clsSTHistory history;
  history.SageConnection(connection);
  history.warehouse = kWarehouse;
  history.product = product;
  history.dated = Date(static_cast<double>(today.DayNumber()));
  history.movement_date = today;
  history.movement_quantity = received;
  history.movement_cost = value;
  history.movement_reference = order;
  history.movement_source = "POR";
  history.transaction_type = "GRN";
  history.nl_category = stock.nl_category();
  history.InsertNewHistory();
  out << "Movement history row written with sequence number " << history.sequence_no() << "\n";

  // 6. A batch, because the item is batch traced.
  if (stock.batch_traceability() == "Y") {
    clsSTBatchD batch;
    batch.SageConnection(connection);
    batch.warehouse = kWarehouse;
    batch.product = product;
    batch.prod_code = product;
    batch.batch_number = batch_number;
    batch.quantity = received;
    batch.quantity_free = received;
    batch.unit_cost = unit_cost;
    batch.date_received = today;
    batch.bin_number = stock.BinNumber();
    batch.InsertNewBatch();
    out << "Batch " << batch_number << " written with sequence number " << batch.sequence_number() << "\n";
  }

  // 7. The ledger: stock account up, goods-received account down.
  clsSTNLCat category;
  category.SageConnection(connection);
  category.nl_category = stock.nl_category();
  category.ReadIt();
  clsSTNLMov movement;
  movement.SageConnection(connection);
  movement.movement_date = today;
  movement.tranaction_ref = order;
  movement.post_flag = "N";
  movement.account = category.BalanceSheetAccount();
  movement.amount_posted = value;
  movement.comments = "Goods received " + product;
  movement.InsertRow();
  movement.account = category.MovementAccount();
  movement.amount_posted = -value;
  movement.InsertRow();
  out << "Ledger movements: " << Num(value) << " to account " << category.BalanceSheetAccount() << ", "
      << Num(-value) << " to account " << category.MovementAccount() << " (category "
      << category.nl_category() << ")\n";

  // 8. The audit row.
  clsPorecp audit;
  audit.SageConnection(connection);
  audit.order_no = order;
  audit.supplier = in.supplier;
  audit.pl_company = in.pl_company;
  audit.warehouse = kWarehouse;
  audit.product = product;
  audit.qty_received = received;
  audit.local_cost = value;
  audit.unit_code = "EACH";
  audit.unit_factor = 1;
  audit.receipt_no = receipt_number;
  audit.date_received = today;
  audit.creation_date = today;
  audit.more_to_come_ind = line.status() == "C" ? "N" : "Y";
  audit.commnt = "Demo receipt";
  audit.InsertRow();
  out << "Receipt audit row " << receipt_number << " written\n";
}

}  // namespace

int RunDemo(std::string_view text) {
  std::cout << "Goods receipt demo on " << text << "\n";
  auto connection = Connection::Open(text);
  const SchemaReport schema = CreateMissingTables(*connection);
  std::cout << "  schema: " << schema.created.size() << " tables created, " << schema.existing.size()
            << " already there\n";
  const Sample sample = Seed(*connection);
  SeedUnits(*connection);
  const std::string& order = sample.order;
  // Each run's receipt and batch take their numbers from its order.
  const std::string receipt_number = "R0" + order.substr(2);
  const std::string batch_number = "B" + order.substr(2) + "-02";
  std::cout << "  sample purchase order " << order << " from ACME01 with two stock lines";
  if (sample.earlier_run)
    std::cout << "\n  stock items and category RAW kept from an earlier run, the new order's outstanding "
                 "quantities added to their on-order figures\n\n";
  else
    std::cout << ", their stock items and category RAW\n\n";

  // 1. The order header.
  clsPORPohead header;
  header.SageConnection(connection);
  header.ReadIt(order);
  std::cout << "Order " << header.order_no() << ": supplier " << header.supplier() << ", status "
            << header.status() << ", company " << header.pl_company() << ", currency " << header.PLCurrency()
            << "\n";
  header.CloseIt();

  // 2. Its lines.
  clsPORPodet line;
  line.SageConnection(connection);
  line.order_no = order;
  line.InitReadAllForOrder();
  std::cout << "Lines before the receipt:\n";
  while (line.ReadNextForOrder())
    std::cout << "  line " << line.line_no() << " " << line.product() << ": ordered "
              << Num(line.qty_ordered()) << ", received " << Num(line.qty_received()) << ", outstanding "
              << Num(line.QtyOutstanding()) << ", status " << line.status() << "\n";
  line.CloseIt();

  // 3.-8. The receipt, in one transaction: it lands whole or not at all.
  const ReceiptInput receipt{.order = order,
                             .line_no = 2,
                             .received = 150,
                             .unit_cost = 0.21,
                             .supplier = header.supplier(),
                             .pl_company = header.pl_company(),
                             .receipt_number = receipt_number,
                             .batch_number = batch_number};
  connection->BeginTrans();
  Receive(connection, receipt, std::cout);
  connection->CommitTrans();
  std::cout << "Receipt committed as one transaction\n\n";

  const std::string rows = RowCounts(*connection);
  const StockFigures stock = ReadStock(connection, kReceivedProduct);
  std::cout << "Rows now: " << rows << "\n";

  // A second receipt of the same line whose last step fails: its audit row
  // carries a receipt number wider than the column's six characters, which
  // the database refuses. Rolled back, it leaves nothing of its first five
  // steps behind.
  ReceiptInput second = receipt;
  second.received = 25;
  second.receipt_number += "-LONG";
  std::ostream quiet(nullptr);  // its steps are not reported
  connection->BeginTrans();
  try {
    Receive(connection, second, quiet);
    connection->RollbackTrans();
    std::cout << "\nThe second receipt's audit row was not refused; nothing was kept\n";
    return 1;
  } catch (const Error& e) {
    connection->RollbackTrans();
    std::cout << "\nA second receipt of " << Num(second.received) << " more, its audit row numbered "
              << second.receipt_number << " (wider than the column's 6 characters): the last step failed with"
              << " error " << e.Number() << ", " << e.Description().substr(0, e.Description().find('\n'))
              << "\nRolled back as one transaction\n";
  }
  const std::string rows_after = RowCounts(*connection);
  const StockFigures stock_after = ReadStock(connection, kReceivedProduct);
  const bool same_stock = stock_after.physical == stock.physical && stock_after.on_order == stock.on_order &&
                          stock_after.mtd == stock.mtd && stock_after.ytd == stock.ytd &&
                          stock_after.cost == stock.cost;
  std::cout << "Rows now: " << rows_after << (rows_after == rows ? " (as they were)" : " (CHANGED)") << "\n"
            << "Stock " << kWarehouse << "/" << kReceivedProduct << ": physical " << Num(stock_after.physical)
            << ", on order " << Num(stock_after.on_order) << ", current cost " << Num(stock_after.cost)
            << (same_stock ? " (as it was)" : " (CHANGED)") << "\n";
  return rows_after == rows && same_stock ? 0 : 1;
}
