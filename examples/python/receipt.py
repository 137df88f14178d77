"""A goods receipt from Python on the package `tarnlow`: the same steps, and
the same report, as examples/c/receipt.c.

    python3 receipt.py CONNECTION

CONNECTION names a database made with `tarnlowst init`, e.g. sqlite:/tmp/erp.db.
"""
import datetime
import sys

import tarnlow


def g(number):
    """Numbers as C's %g prints them."""
    return "%g" % number


def seed(connection):
    catalogue = connection.TableCatalogue
    connection.Execute(f"insert into {catalogue.OrderHeaderTable} (order_no, supplier, status, pl_company, currency)"
                       " values ('PO1001', 'ACME01  ', 'P', 'MAIN', 'GBP')")
    connection.Execute(
        f"insert into {catalogue.OrderLineTable} (order_no, order_line_no, line_type, product, warehouse,"
        " description, qty_ordered, qty_received, tran_order_qty, tran_recd_qty, cost_per_unit, unit_code,"
        " unit_factor, status, nl_category, local_expect_cost, local_total_expect, foreign_exp_cost)"
        " values ('PO1001', '   1', 'S', 'WIDGET', '01', 'Steel widget', 100, 0, 100, 0, 2.5, 'EACH', 1,"
        " 'O', 'RAW', 250, 250, 250),"
        " ('PO1001', '   2', 'S', 'BOLT-M8', '01', 'M8 bolt', 500, 100, 500, 100, 0.2, 'EACH', 1,"
        " 'P', 'RAW', 80, 100, 100)")
    connection.Execute(
        f"insert into {catalogue.StockTable} (warehouse, product, physical_qty, on_order_qty, current_cost,"
        " current_material, standard_cost, analysis_x_ref, batch_traceability, serial_numbers,"
        " bin_number, month_to_date03, year_to_date03)"
        " values ('01', 'WIDGET', 40, 100, 2.4, 2.4, 2.5, 'RAW', 'N', 'N', 'A-01', 0, 0)")
    connection.Execute(f"insert into {catalogue.StockCategoryTable} (nl_category, st_balance_acc, po_recp_acc)"
                       " values ('RAW', '1200', '5100')")


def main(connection_text):
    received, unit_cost = 60, 2.55
    value = received * unit_cost
    today = datetime.date.today()
    library = tarnlow.type_library()
    version = tarnlow.clsTarnlowSTDataVer().TarnlowSTDataVer
    print(f"{version} (type library {library.name} {library.major_version}.{library.minor_version})")

    connection = tarnlow.connect(connection_text)
    seed(connection)

    header = tarnlow.clsPORPohead()
    header.SageConnection = connection
    header.ReadIt("PO1001")
    supplier, company = header.supplier.rstrip(), header.pl_company.rstrip()
    print(f"Order PO1001: supplier {supplier}, status {header.status.rstrip()}, company {company},"
          f" currency {header.PLCurrency.rstrip()}")
    header.CloseIt()

    line = tarnlow.clsPORPodet()
    line.SageConnection = connection
    line.order_no = "PO1001"
    line.InitReadAllForOrder()
    while line.ReadNextForOrder():
        print(f"  line {g(line.line_no)} {line.product.rstrip()}: ordered {g(line.qty_ordered)},"
              f" received {g(line.qty_received)}, outstanding {g(line.QtyOutstanding)}, status {line.status.rstrip()}")
    line.CloseIt()

    # The receipt's writes land together or not at all: one transaction.
    print(f"Transaction level {connection.BeginTrans()} begun")
    line.order_no = "PO1001"
    line.line_no = 1
    line.ReadIt()
    product = line.product.rstrip()
    line.qty_received += received
    line.tran_recd_qty += received * line.unit_factor
    line.status = "C" if line.qty_received >= line.qty_ordered else "P"
    line.local_expect_cost += value
    line.UpdateForReceipt()
    line.CloseIt()
    line.ReadIt()
    print(f"Received {g(received)} of line 1 ({product}) at {g(unit_cost)}: value {g(value)}; the line now has"
          f" {g(line.qty_received)} received, {g(line.QtyOutstanding)} outstanding, status {line.status.rstrip()}")
    line.CloseIt()

    stock = tarnlow.clsPORStock()
    stock.SageConnection = connection
    stock.warehouse = "01"
    stock.product = product
    stock.ReadIt()
    before = stock.current_cost
    category_code = stock.nl_category.rstrip()
    bin_number = stock.BinNumber.rstrip()
    stock.AdjustPhysicalQty = received
    stock.AdjustOnOrderQty = -received
    stock.AdjustMonthToDateReceiptQty = received
    stock.AdjustYearToDateReceiptQty = received
    stock.last_supplier = supplier
    stock.current_cost = unit_cost  # this client keeps the last cost
    stock.current_material = unit_cost
    stock.UpdateForReceipt()
    stock.ReadIt()
    print(f"Stock 01/{product}: category {category_code}, bin {bin_number}, current cost {g(before)}"
          f" -> {g(stock.current_cost)}")

    history = tarnlow.clsSTHistory()
    history.SageConnection = connection
    history.warehouse = "01"
    history.product = product
    history.dated = today
    history.movement_date = today
    history.movement_quantity = received
    history.movement_cost = value
    history.movement_reference = "PO1001"
    history.movement_source = "POR"
    history.transaction_type = "GRN"
    history.nl_category = category_code
    history.InsertNewHistory()
    print(f"Movement history written with sequence number {history.sequence_no.rstrip()}")

    category = tarnlow.clsSTNLCat()
    category.SageConnection = connection
    category.nl_category = category_code
    category.ReadIt()
    account, other_account = category.BalanceSheetAccount.rstrip(), category.MovementAccount.rstrip()
    movement = tarnlow.clsSTNLMov()
    movement.SageConnection = connection
    movement.movement_date = today
    movement.tranaction_ref = "PO1001"
    movement.post_flag = "N"
    movement.comments = "Goods received"
    movement.account = account
    movement.amount_posted = value
    movement.InsertRow()
    movement.account = other_account
    movement.amount_posted = -value
    movement.InsertRow()
    print(f"Ledger movements: {g(value)} to account {account}, {g(-value)} to account {other_account}")

    audit = tarnlow.create("clsPorecp")
    audit.SageConnection = connection
    for member, python in (("order_no", "PO1001"), ("supplier", supplier), ("pl_company", company),
                           ("warehouse", "01"), ("product", product), ("qty_received", received),
                           ("local_cost", value), ("unit_code", "EACH"), ("unit_factor", 1),
                           ("receipt_no", "R00001"), ("date_received", today), ("creation_date", today),
                           ("more_to_come_ind", "Y"), ("commnt", "Python example")):
        setattr(audit, member, python)
    audit.InsertRow()
    print("Receipt audit row R00001 written")
    connection.CommitTrans()
    print("Receipt committed")

    print("Bad calls:")
    for what, bad_call in (("create clsNoSuchClass", lambda: tarnlow.create("clsNoSuchClass")),
                           ("read NoSuchMember", lambda: stock.NoSuchMember),
                           ('AdjustPhysicalQty = "many"', lambda: setattr(stock, "AdjustPhysicalQty", "many"))):
        try:
            bad_call()
        except tarnlow.Error as e:
            print(f'  {what}: error {e.number}, source "{e.source}", "{e.description}"')

    # Every holder goes; the objects go with the last of them.
    del audit, movement, category, history, stock, line, header, connection
    print(f"Objects alive after release: {tarnlow.live_objects()}; the library may be unloaded:"
          f" {'yes' if tarnlow.can_unload_now() else 'no'}")


if __name__ == "__main__":
    if len(sys.argv) != 2:
        sys.stderr.write("usage: receipt.py CONNECTION\n")
        sys.exit(2)
    try:
        main(sys.argv[1])
    except tarnlow.Error as failure:
        print(f"  {failure}")
        sys.exit(1)
