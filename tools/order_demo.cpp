// The second worked example: a purchase order written, read back, invoiced,
// copied and deleted through the order classes, the way an ordering client
// does it. Every figure the report gives is counted or read back from the
// database after the step, not taken from what was written.
#include <cstdio>
#include <iostream>
#include <string>
#include <vector>

#include "demo.h"
#include "tarnlow/tarnlow.h"

namespace {

using namespace tarnlow;

constexpr const char* kWarehouse = "01";
constexpr const char* kSupplier = "NORDIC01";

std::string Num(double d) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%.6g", d);
  return buf;
}

std::int32_t CountWhere(Connection& c, CatalogueTable table, const std::string& condition) {
  Recordset rs;
  rs.Open("select count(*) from " + c.TableCatalogue()->Name(table) + " where " + condition,
          c.DatabaseConnection(), adOpenForwardOnly, adLockReadOnly);
  const std::int32_t n = rs.Fields(std::size_t{0}).ToInt32();
  rs.Close();
  return n;
}

// The order number as the nominal analysis keys begin with it: right-aligned
// in ten characters.
std::string KeyPrefix(const std::string& order) {
  return std::string(order.size() < 10 ? 10 - order.size() : 0, ' ') + order;
}

// The rows an order has in each of its tables.
struct OrderRows {
  std::int32_t header, fax, vat_state, lines, analysis, variance, weight, nominal, project, retention;
};

OrderRows CountRows(Connection& c, const std::string& order) {
  const std::string by_order = "order_no = " + c.QuoteLiteral(order);
  const std::string by_key = "substr(record_key, 1, 10) = " + c.QuoteLiteral(KeyPrefix(order));
  // Before release 6 a weight row names its line by one combined key.
  const std::string weight = c.SystemInfo()->ReleaseNumber() < 6
                                 ? "substr(order_det_key, 1, 10) = " + c.QuoteLiteral(KeyPrefix(order))
                                 : by_order;
  return {CountWhere(c, CatalogueTable::OrderHeaderTable, by_order),
          CountWhere(c, CatalogueTable::OrderFaxTable, by_order),
          CountWhere(c, CatalogueTable::OrderVatStateTable, by_order),
          CountWhere(c, CatalogueTable::OrderLineTable, by_order),
          CountWhere(c, CatalogueTable::OrderLineAnalysisTable, by_order),
          CountWhere(c, CatalogueTable::VarianceHistoryTable, by_order),
          CountWhere(c, CatalogueTable::OrderLineWeightTable, weight),
          CountWhere(c, CatalogueTable::NominalAnalysisTable, by_key),
          CountWhere(c, CatalogueTable::ProjectAnalysisTable, by_key),
          CountWhere(c, CatalogueTable::RetentionAnalysisTable, by_key)};
}

void PrintRows(const std::string& order, const OrderRows& r) {
  std::cout << "  rows of " << order << ": " << r.header << " header, " << r.fax << " fax, " << r.vat_state
            << " VAT state, " << r.lines << " lines, " << r.analysis << " line analysis, " << r.variance
            << " variance history, " << r.weight << " weight, " << r.nominal << " nominal, " << r.project
            << " project, " << r.retention << " retention\n";
}

// The first order number from PO`from` on that the header table does not
// hold, so that every run writes an order of its own.
std::string FreeOrderNumber(Connection& c, int from) {
  for (int n = from; n <= 9999; ++n) {
    const std::string order = "PO" + std::to_string(n);
    if (CountWhere(c, CatalogueTable::OrderHeaderTable, "order_no = " + c.QuoteLiteral(order)) == 0)
      return order;
  }
  throw Error(vbObjectError, "RunOrderDemo", "No free sample order number left up to PO9999");
}

struct SampleLine {
  std::int16_t no;
  const char* type;  // "S" stock, "C" comment
  const char* product;
  const char* description;
  double qty, price;
};
constexpr SampleLine kLines[] = {
    {1, "S", "CPUMP-L", "Pump, large", 4, 312.5},
    {2, "C", "", "Deliver to gate 3", 0, 0},
    {3, "S", "SEAL-KIT", "Seal kit", 20, 7.25},
};

// Stock items for the stock lines: made on the first run, kept after.
void SeedItems(Connection& c) {
  for (const SampleLine& l : kLines) {
    if (std::string_view(l.type) != "S") continue;
    const std::string key = "warehouse = '01' and product = " + c.QuoteLiteral(l.product);
    if (CountWhere(c, CatalogueTable::StockTable, key) == 0)
      c.Execute(
          "insert into " + c.TableCatalogue()->StockTable() +
          " (warehouse, product, description, physical_qty, on_order_qty, current_cost) values ('01', " +
          c.QuoteLiteral(l.product) + ", " + c.QuoteLiteral(l.description) + ", 0, 0, " +
          ShortestText(l.price) + ")");
  }
}

double OnOrder(const std::shared_ptr<Connection>& c, const std::string& product) {
  clsPOOStock stock;
  stock.SageConnection(c);
  stock.warehouse = kWarehouse;
  stock.product = product;
  stock.ReadIt();
  return stock.AdjustOnOrderQty();  // loaded from on_order_qty by the read
}

// Raises (or, with a negative sign, lowers) the stock items' on-order
// quantities by the order's stock lines.
void AdjustOnOrder(const std::shared_ptr<Connection>& c, double sign) {
  clsPOOStock stock;
  stock.SageConnection(c);
  for (const SampleLine& l : kLines) {
    if (std::string_view(l.type) != "S") continue;
    stock.warehouse = kWarehouse;
    stock.product = l.product;
    stock.AdjustOnOrderQty = sign * l.qty;
    stock.UpdateForOrder();
  }
}

// One nominal entry for each stock line, each with its project and
// retention rows. (The walk joins the project rows by record key alone, so
// a line with two entries would come back as their cross product.)
void WriteNominalAnalysis(const std::shared_ptr<Connection>& c, const std::string& order) {
  struct Entry {
    std::int16_t line, page;
    const char* nominal;
    const char* project;
  };
  constexpr Entry kEntries[] = {{1, 1, "5010", "PRJ-NORTH"}, {3, 1, "5020", "PRJ-SOUTH"}};
  clsPONLCodeD entry;
  entry.SageConnection(c);
  entry.InsertPONLExtD = true;
  entry.InsertPONLExtG = true;
  for (const Entry& e : kEntries) {
    const SampleLine& line = kLines[e.line - 1];
    entry.orderNo = order;
    entry.LineNo = e.line;
    entry.supplier = kSupplier;
    entry.page_number = e.page;
    entry.nominal_code = e.nominal;
    entry.code_value = line.qty * line.price;
    entry.proj_code(e.project);
    entry.exprev_code("EXP");
    entry.pr_period("0126");
    entry.retention_code("RET5");
    entry.retention_type("P");
    entry.non_recov_vat("N");
    entry.InsertRow();
  }
}

}  // namespace

int RunOrderDemo(std::string_view text) {
  std::cout << "Purchase order demo on " << text << "\n";
  auto c = Connection::Open(text);
  const SchemaReport schema = CreateMissingTables(*c);
  std::cout << "  schema: " << schema.created.size() << " tables created, " << schema.existing.size()
            << " already there\n";
  SeedItems(*c);
  const std::string order = FreeOrderNumber(*c, 5001);
  const Date today = c->CurrentTime(true);
  const Date required(static_cast<double>(today.DayNumber() + 14));

  // 1.-4. The order, written in one transaction: it lands whole or not at all.
  c->BeginTrans();
  // 1. The header, with its fax and VAT-state rows.
  clsPOHeadD header;
  header.SageConnection(c);
  header.order_no(order);
  header.supplier = kSupplier;
  header.status = "P";
  header.pl_company = "MAIN";
  header.pOcurrency = "GBP";
  header.exchange_rate = 1;
  header.date_entered = today;
  header.date_required = required;
  header.address1 = "Nordic Pumps Ltd";
  header.address2 = "Harbour Road";
  header.delivery_address1 = "Main works, north gate";
  header.UsePOHeadX1 = true;
  header.POHeadX1D()->fax = "01632 960555";
  header.UseIntrastats = true;
  header.vatstate = "EU";
  header.InsertRow();
  std::cout << "\n1. Order " << order << " written for supplier " << kSupplier
            << " with its fax row and VAT-state row\n";

  // 2. Three lines: two stock lines with analysis, tolerances and variance
  // history, and a comment line, which has neither.
  clsPODetailD line;
  line.SageConnection(c);
  for (const SampleLine& l : kLines) {
    line.InitialiseValues();
    line.order_no = order;
    line.order_line_no = l.no;
    line.line_type = l.type;
    line.description = l.description;
    line.date_required = required;
    const bool stock_line = std::string_view(l.type) != "C";
    line.UsePODetpgD = stock_line;
    line.UsePOVHstD = stock_line;
    if (stock_line) {
      line.product = l.product;
      line.warehouse = kWarehouse;
      line.qty_ordered = l.qty;
      line.tran_order_qty = l.qty;
      line.orig_qty = l.qty;
      line.cost_per_unit = l.price;
      line.local_expect_cost = l.qty * l.price;
      line.local_total_expect = l.qty * l.price;
      line.unit_code = "EACH";
      line.unit_factor = 1;
      line.status = "O";
      line.weight = l.no == 1 ? 38.5 : 0.4;
      const auto analysis = line.PODetpgD();
      analysis->Reset();
      analysis->analysis_a = "MAINT";
      analysis->delivery_qty_tol = "10";
      analysis->invoice_price_tol = "2";
      const auto variance = line.POVHstD();
      variance->Reset();
      variance->history_type = "O";
      variance->history_date = today;
      variance->product = l.product;
      variance->warehouse = kWarehouse;
      variance->supplier = kSupplier;
      variance->order_price = l.price;
      variance->order_rate = 1;
      variance->pOcurrency = "GBP";
    }
    line.InsertRow();
  }
  std::cout << "2. Three lines written: two stock lines with analysis and variance rows, one comment line\n";

  // 3. Nominal analysis, with project and retention rows.
  WriteNominalAnalysis(c, order);
  std::cout << "3. Nominal analysis written: the pump to project PRJ-NORTH, the seal kit to PRJ-SOUTH\n";

  // 4. What the stock items have on order.
  std::vector<double> before;
  for (const SampleLine& l : kLines)
    if (std::string_view(l.type) == "S") before.push_back(OnOrder(c, l.product));
  AdjustOnOrder(c, 1);
  std::cout << "4. On order:";
  {
    std::size_t i = 0;
    for (const SampleLine& l : kLines)
      if (std::string_view(l.type) == "S")
        std::cout << " " << l.product << " " << Num(before[i++]) << " -> " << Num(OnOrder(c, l.product))
                  << ";";
  }
  std::cout << "\n";
  c->CommitTrans();
  std::cout << "   Steps 1 to 4 committed as one transaction\n";
  PrintRows(order, CountRows(*c, order));

  // 5. Read back through the header and the walks.
  clsPOHeadD reread;
  reread.SageConnection(c);
  reread.order_no(order);
  reread.UsePOHeadX1 = true;
  reread.UseIntrastats = true;
  reread.ReadIt();
  std::cout << "\n5. Read back: order " << reread.order_no() << ", supplier " << reread.supplier() << ", fax "
            << reread.POHeadX1D()->fax() << ", VAT state " << reread.vatstate() << ", status "
            << reread.status() << "\n";
  clsPODetailD walk;
  walk.SageConnection(c);
  walk.order_no = order;
  walk.UsePODetpgD = true;
  walk.StartReadForOrder();
  clsPONLCodeD nominal;
  nominal.SageConnection(c);
  double order_total = 0;
  int walked = 0;
  while (walk.ReadNextForOrder()) {
    ++walked;
    if (walk.line_type() == "C") {
      std::cout << "  line " << walk.order_line_no() << " (comment): " << walk.description() << "\n";
      continue;
    }
    order_total += walk.local_expect_cost();
    std::cout << "  line " << walk.order_line_no() << " " << walk.product() << ": " << Num(walk.qty_ordered())
              << " at " << Num(walk.cost_per_unit()) << " = " << Num(walk.local_expect_cost())
              << ", analysis " << walk.PODetpgD()->analysis_a() << ", delivery tolerance "
              << walk.PODetpgD()->delivery_qty_tol() << "%\n";
    nominal.orderNo = order;
    nominal.LineNo = walk.order_line_no();
    nominal.StartReadForOrderDetailLine();
    while (nominal.ReadNextForOrderDetailLine())
      std::cout << "    nominal " << nominal.nominal_code() << " page " << nominal.page_number() << ": "
                << Num(nominal.code_value()) << " to project " << nominal.proj_code() << "\n";
  }
  std::cout << "  " << walked << " lines walked, order value " << Num(order_total) << "\n";

  // 6. An invoice logged against line 3.
  const double invoiced_qty = 12, invoiced_value = 12 * 7.25;
  clsPODetailD invoiced;
  invoiced.SageConnection(c);
  invoiced.order_no = order;
  invoiced.order_line_no = std::int16_t{3};
  invoiced.UpdateForInvoice(invoiced_qty, invoiced_value);
  invoiced.ReadIt();
  std::cout << "\n6. Invoice logged against line 3: " << Num(invoiced_qty) << " for " << Num(invoiced_value)
            << "; the line now shows " << Num(invoiced.inv_qty_to_date()) << " invoiced to date, "
            << Num(invoiced.inv_value_logged()) << " logged\n";

  // 7. The order copied to a new number: header (with its fax and VAT state
  // read back above), every line with its companions, the nominal entries
  // with their project rows, and the copy's quantities on order.
  const std::string copy = FreeOrderNumber(*c, 5001);
  reread.order_no(copy);
  reread.InsertRow();
  walk.StartReadForOrder();
  clsPODetailD target;
  target.SageConnection(c);
  clsPONLCodeD entry;
  entry.SageConnection(c);
  entry.InsertPONLExtD = true;
  while (walk.ReadNextForOrder()) {
    target.CopyFrom(walk);
    target.order_no = copy;
    target.order_line_no = walk.order_line_no();
    target.InsertRow();
    if (walk.line_type() == "C") continue;
    nominal.orderNo = order;
    nominal.LineNo = walk.order_line_no();
    nominal.StartReadForOrderDetailLine();
    while (nominal.ReadNextForOrderDetailLine()) {
      entry.CopyFrom(nominal);
      entry.orderNo = copy;
      entry.InsertRow();
    }
  }
  AdjustOnOrder(c, 1);
  std::cout << "\n7. Order " << order << " copied to " << copy
            << " (lines with their analysis rows, entries with their project rows; variance history and "
               "retention rows stay with the original)\n";
  PrintRows(copy, CountRows(*c, copy));

  // 8. The copy deleted, and its quantities taken off order again.
  clsPOHeadD doomed;
  doomed.SageConnection(c);
  doomed.order_no(copy);
  doomed.UsePOHeadX1 = true;
  doomed.UseIntrastats = true;
  doomed.DeleteForOrder();
  clsPODetailD doomed_lines;
  doomed_lines.SageConnection(c);
  doomed_lines.order_no = copy;
  doomed_lines.UsePODetpgD = true;
  doomed_lines.UsePOVHstD = true;
  doomed_lines.DeleteForOrder();
  clsPONLCodeD doomed_entries;
  doomed_entries.SageConnection(c);
  doomed_entries.orderNo = KeyPrefix(copy);
  doomed_entries.DeleteForOrder();
  AdjustOnOrder(c, -1);
  std::cout << "\n8. Copy " << copy << " deleted\n";
  PrintRows(copy, CountRows(*c, copy));
  PrintRows(order, CountRows(*c, order));
  std::cout << "  on order now:";
  for (const SampleLine& l : kLines)
    if (std::string_view(l.type) == "S")
      std::cout << " " << l.product << " " << Num(OnOrder(c, l.product)) << ";";
  std::cout << "\n";
  return 0;
}
