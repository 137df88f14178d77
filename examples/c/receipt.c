/*
 * A goods receipt through the library's C interface, with the library loaded
 * at run time: what a program in C, or in any language that calls C, does.
 *
 *   receipt LIBRARY CONNECTION
 *
 * LIBRARY is the path of libtarnlowstdata.so; CONNECTION a database made
 * with `tarnlowst init`, e.g. sqlite:/tmp/erp.db. The program puts a sample
 * purchase order into it, receives part of one line (order line, stock item,
 * movement history, ledger movements, audit row), prints what the classes
 * report, then shows the error records of three bad calls.
 *
 * Every call is checked; on a failure the program prints the error record
 * and ends with status 1.
 */
#include <dlfcn.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>

#include "tarnlow/tarnlow_c.h"

/* The entry points, looked up by name. */
static struct {
  const tarnlow_error* (*last_error)(void);
  const char* (*version)(void);
  const tarnlow_type_library* (*type_library_info)(void);
  int64_t (*live_objects)(void);
  int (*can_unload_now)(void);
  int (*open_connection)(const char*, tarnlow_object**);
  int (*create_object)(const char*, tarnlow_object**);
  void (*object_release)(tarnlow_object*);
  int (*get)(tarnlow_object*, const char*, const tarnlow_value*, size_t, tarnlow_value*);
  int (*let)(tarnlow_object*, const char*, const tarnlow_value*);
  int (*set)(tarnlow_object*, const char*, tarnlow_object*);
  int (*call)(tarnlow_object*, const char*, tarnlow_value*, size_t, tarnlow_value*);
  void (*value_free)(tarnlow_value*);
} api;

static void* library;

static void load(const char* path) {
  library = dlopen(path, RTLD_NOW | RTLD_LOCAL);
  if (!library) {
    fprintf(stderr, "cannot load %s: %s\n", path, dlerror());
    exit(1);
  }
  /* The POSIX way to turn dlsym's answer into a function pointer. */
#define LOAD(field)                                            \
  do {                                                         \
    *(void**)(&api.field) = dlsym(library, "tarnlow_" #field); \
    if (!api.field) {                                          \
      fprintf(stderr, "%s has no tarnlow_%s\n", path, #field); \
      exit(1);                                                 \
    }                                                          \
  } while (0)
  LOAD(last_error);
  LOAD(version);
  LOAD(type_library_info);
  LOAD(live_objects);
  LOAD(can_unload_now);
  LOAD(open_connection);
  LOAD(create_object);
  LOAD(object_release);
  LOAD(get);
  LOAD(let);
  LOAD(set);
  LOAD(call);
  LOAD(value_free);
#undef LOAD
}

static void print_error(const char* what) {
  const tarnlow_error* e = api.last_error();
  printf("  %s: error %d, source \"%s\", \"%s\"\n", what, (int)e->number, e->source, e->description);
}

static void check(int status, const char* what) {
  if (status == TARNLOW_OK) return;
  print_error(what);
  exit(1);
}

static tarnlow_object* create(const char* class_name, tarnlow_object* connection) {
  tarnlow_object* object = NULL;
  check(api.create_object(class_name, &object), class_name);
  if (connection) check(api.set(object, "SageConnection", connection), "SageConnection");
  return object;
}

static void let_text(tarnlow_object* object, const char* member, const char* text) {
  const tarnlow_value v = tarnlow_text_value(text);
  check(api.let(object, member, &v), member);
}

static void let_number(tarnlow_object* object, const char* member, double number) {
  const tarnlow_value v = tarnlow_number_value(number);
  check(api.let(object, member, &v), member);
}

static void let_date(tarnlow_object* object, const char* member, double days) {
  const tarnlow_value v = tarnlow_date_value(days);
  check(api.let(object, member, &v), member);
}

static void call(tarnlow_object* object, const char* member) {
  check(api.call(object, member, NULL, 0, NULL), member);
}

static double get_number(tarnlow_object* object, const char* member) {
  tarnlow_value v;
  double number;
  check(api.get(object, member, NULL, 0, &v), member);
  number = v.type == TARNLOW_NUMBER ? v.as.number : 0;
  api.value_free(&v);
  return number;
}

static int get_boolean(tarnlow_object* object, const char* member) {
  tarnlow_value v;
  int boolean;
  check(api.call(object, member, NULL, 0, &v), member);
  boolean = v.type == TARNLOW_BOOLEAN && v.as.boolean;
  api.value_free(&v);
  return boolean;
}

/* The text of a property, copied into `buffer` with trailing blanks removed. */
static const char* get_text(tarnlow_object* object, const char* member, char* buffer, size_t size) {
  tarnlow_value v;
  size_t n;
  check(api.get(object, member, NULL, 0, &v), member);
  n = v.type == TARNLOW_TEXT ? v.as.text.length : 0;
  if (n >= size) n = size - 1;
  if (n) memcpy(buffer, v.as.text.data, n);
  while (n > 0 && buffer[n - 1] == ' ') --n;
  buffer[n] = '\0';
  api.value_free(&v);
  return buffer;
}

/* Puts the sample order into the fresh database through the connection's
 * Execute, with the table names its catalogue gives. */
static void seed(tarnlow_object* connection) {
  tarnlow_value catalogue;
  char header[64], lines[64], stock[64], category[64], sql[1024];
  tarnlow_value text;
  check(api.get(connection, "TableCatalogue", NULL, 0, &catalogue), "TableCatalogue");
  get_text(catalogue.as.object, "OrderHeaderTable", header, sizeof header);
  get_text(catalogue.as.object, "OrderLineTable", lines, sizeof lines);
  get_text(catalogue.as.object, "StockTable", stock, sizeof stock);
  get_text(catalogue.as.object, "StockCategoryTable", category, sizeof category);
  api.value_free(&catalogue);

  snprintf(sql, sizeof sql,
           "insert into %s (order_no, supplier, status, pl_company, currency)"
           " values ('PO1001', 'ACME01  ', 'P', 'MAIN', 'GBP')",
           header);
  text = tarnlow_text_value(sql);
  check(api.call(connection, "Execute", &text, 1, NULL), "Execute");
  snprintf(sql, sizeof sql,
           "insert into %s (order_no, order_line_no, line_type, product, warehouse, description,"
           " qty_ordered, qty_received, tran_order_qty, tran_recd_qty, cost_per_unit, unit_code, unit_factor,"
           " status, nl_category, local_expect_cost, local_total_expect, foreign_exp_cost)"
           " values ('PO1001', '   1', 'S', 'WIDGET', '01', 'Steel widget', 100, 0, 100, 0, 2.5, 'EACH', 1,"
           " 'O', 'RAW', 250, 250, 250),"
           " ('PO1001', '   2', 'S', 'BOLT-M8', '01', 'M8 bolt', 500, 100, 500, 100, 0.2, 'EACH', 1,"
           " 'P', 'RAW', 80, 100, 100)",
           lines);
  text = tarnlow_text_value(sql);
  check(api.call(connection, "Execute", &text, 1, NULL), "Execute");
  snprintf(sql, sizeof sql,
           "insert into %s (warehouse, product, physical_qty, on_order_qty, current_cost, current_material,"
           " standard_cost, analysis_x_ref, batch_traceability, serial_numbers, bin_number, month_to_date03,"
           " year_to_date03) values ('01', 'WIDGET', 40, 100, 2.4, 2.4, 2.5, 'RAW', 'N', 'N', 'A-01', 0, 0)",
           stock);
  text = tarnlow_text_value(sql);
  check(api.call(connection, "Execute", &text, 1, NULL), "Execute");
  snprintf(sql, sizeof sql,
           "insert into %s (nl_category, st_balance_acc, po_recp_acc) values ('RAW', '1200', '5100')",
           category);
  text = tarnlow_text_value(sql);
  check(api.call(connection, "Execute", &text, 1, NULL), "Execute");
}

int main(int argc, char** argv) {
  const double received = 60, unit_cost = 2.55, value = received * unit_cost;
  /* Today as a date: days since 30 December 1899 (25569 of them before 1970). */
  const double today = 25569.0 + (double)(time(NULL) / 86400);
  const tarnlow_type_library* lib;
  tarnlow_object *connection, *header, *line, *stock, *history, *category, *movement, *audit, *bad;
  char supplier[16], company[16], currency[8], status[4], product[24], account[20], other_account[20],
      sequence[16];
  tarnlow_value arg, v, level;

  if (argc != 3) {
    fprintf(stderr, "usage: receipt LIBRARY CONNECTION\n");
    return 2;
  }
  load(argv[1]);
  lib = api.type_library_info();
  printf("%s (type library %s %u.%u)\n", api.version(), lib->name, (unsigned)lib->major_version,
         (unsigned)lib->minor_version);

  check(api.open_connection(argv[2], &connection), "open the connection");
  seed(connection);

  /* The order header. */
  header = create("clsPORPohead", connection);
  arg = tarnlow_text_value("PO1001");
  check(api.call(header, "ReadIt", &arg, 1, NULL), "ReadIt");
  printf("Order PO1001: supplier %s, status %s, company %s, currency %s\n",
         get_text(header, "supplier", supplier, sizeof supplier),
         get_text(header, "status", status, sizeof status),
         get_text(header, "pl_company", company, sizeof company),
         get_text(header, "PLCurrency", currency, sizeof currency));
  call(header, "CloseIt");

  /* Its lines. */
  line = create("clsPORPodet", connection);
  let_text(line, "order_no", "PO1001");
  call(line, "InitReadAllForOrder");
  while (get_boolean(line, "ReadNextForOrder"))
    printf("  line %g %s: ordered %g, received %g, outstanding %g, status %s\n", get_number(line, "line_no"),
           get_text(line, "product", product, sizeof product), get_number(line, "qty_ordered"),
           get_number(line, "qty_received"), get_number(line, "QtyOutstanding"),
           get_text(line, "status", status, sizeof status));
  call(line, "CloseIt");

  /* The receipt's writes land together or not at all: one transaction. */
  check(api.call(connection, "BeginTrans", NULL, 0, &level), "BeginTrans");
  printf("Transaction level %g begun\n", level.type == TARNLOW_NUMBER ? level.as.number : 0);
  api.value_free(&level);

  /* Receive part of line 1: the client's arithmetic, the library's update. */
  let_text(line, "order_no", "PO1001");
  let_number(line, "line_no", 1);
  call(line, "ReadIt");
  get_text(line, "product", product, sizeof product);
  let_number(line, "qty_received", get_number(line, "qty_received") + received);
  let_number(line, "tran_recd_qty",
             get_number(line, "tran_recd_qty") + received * get_number(line, "unit_factor"));
  let_text(line, "status", get_number(line, "qty_received") >= get_number(line, "qty_ordered") ? "C" : "P");
  let_number(line, "local_expect_cost", get_number(line, "local_expect_cost") + value);
  call(line, "UpdateForReceipt");
  call(line, "CloseIt");
  call(line, "ReadIt");
  printf(
      "Received %g of line 1 (%s) at %g: value %g; the line now has %g received, %g outstanding, status %s\n",
      received, product, unit_cost, value, get_number(line, "qty_received"),
      get_number(line, "QtyOutstanding"), get_text(line, "status", status, sizeof status));
  call(line, "CloseIt");

  /* The stock item: increments added by the database in one update. */
  stock = create("clsPORStock", connection);
  let_text(stock, "warehouse", "01");
  let_text(stock, "product", product);
  call(stock, "ReadIt");
  printf("Stock 01/%s: category %s, bin %s, current cost %g", product,
         get_text(stock, "nl_category", account, sizeof account),
         get_text(stock, "BinNumber", other_account, sizeof other_account),
         get_number(stock, "current_cost"));
  let_number(stock, "AdjustPhysicalQty", received);
  let_number(stock, "AdjustOnOrderQty", -received);
  let_number(stock, "AdjustMonthToDateReceiptQty", received);
  let_number(stock, "AdjustYearToDateReceiptQty", received);
  let_text(stock, "last_supplier", supplier);
  let_number(stock, "current_cost", unit_cost); /* this client keeps the last cost */
  let_number(stock, "current_material", unit_cost);
  call(stock, "UpdateForReceipt");
  call(stock, "ReadIt");
  printf(" -> %g\n", get_number(stock, "current_cost"));

  /* The stock movement, numbered by the library. */
  history = create("clsSTHistory", connection);
  let_text(history, "warehouse", "01");
  let_text(history, "product", product);
  let_date(history, "dated", today);
  let_date(history, "movement_date", today);
  let_number(history, "movement_quantity", received);
  let_number(history, "movement_cost", value);
  let_text(history, "movement_reference", "PO1001");
  let_text(history, "movement_source", "POR");
  let_text(history, "transaction_type", "GRN");
  let_text(history, "nl_category", get_text(stock, "nl_category", account, sizeof account));
  call(history, "InsertNewHistory");
  printf("Movement history written with sequence number %s\n",
         get_text(history, "sequence_no", sequence, sizeof sequence));

  /* The ledger: stock account up, goods-received account down. */
  category = create("clsSTNLCat", connection);
  let_text(category, "nl_category", get_text(stock, "nl_category", account, sizeof account));
  call(category, "ReadIt");
  get_text(category, "BalanceSheetAccount", account, sizeof account);
  get_text(category, "MovementAccount", other_account, sizeof other_account);
  movement = create("clsSTNLMov", connection);
  let_date(movement, "movement_date", today);
  let_text(movement, "tranaction_ref", "PO1001");
  let_text(movement, "post_flag", "N");
  let_text(movement, "comments", "Goods received");
  let_text(movement, "account", account);
  let_number(movement, "amount_posted", value);
  call(movement, "InsertRow");
  let_text(movement, "account", other_account);
  let_number(movement, "amount_posted", -value);
  call(movement, "InsertRow");
  printf("Ledger movements: %g to account %s, %g to account %s\n", value, account, -value, other_account);

  /* The audit row. */
  audit = create("clsPorecp", connection);
  let_text(audit, "order_no", "PO1001");
  let_text(audit, "supplier", supplier);
  let_text(audit, "pl_company", company);
  let_text(audit, "warehouse", "01");
  let_text(audit, "product", product);
  let_number(audit, "qty_received", received);
  let_number(audit, "local_cost", value);
  let_text(audit, "unit_code", "EACH");
  let_number(audit, "unit_factor", 1);
  let_text(audit, "receipt_no", "R00001");
  let_date(audit, "date_received", today);
  let_date(audit, "creation_date", today);
  let_text(audit, "more_to_come_ind", "Y");
  let_text(audit, "commnt", "C example");
  call(audit, "InsertRow");
  printf("Receipt audit row R00001 written\n");
  call(connection, "CommitTrans");
  printf("Receipt committed\n");

  /* Bad calls come back as error records. */
  printf("Bad calls:\n");
  bad = NULL;
  if (api.create_object("clsNoSuchClass", &bad) != TARNLOW_OK) print_error("create clsNoSuchClass");
  if (api.get(stock, "NoSuchMember", NULL, 0, &v) != TARNLOW_OK) print_error("read NoSuchMember");
  arg = tarnlow_text_value("many");
  if (api.let(stock, "AdjustPhysicalQty", &arg) != TARNLOW_OK) print_error("AdjustPhysicalQty = \"many\"");

  api.object_release(audit);
  api.object_release(movement);
  api.object_release(category);
  api.object_release(history);
  api.object_release(stock);
  api.object_release(line);
  api.object_release(header);
  api.object_release(connection);
  printf("Objects alive after release: %lld; the library may be unloaded: %s\n",
         (long long)api.live_objects(), api.can_unload_now() ? "yes" : "no");
  dlclose(library);
  return 0;
}
