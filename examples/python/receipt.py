"""A goods receipt through the library's C interface from Python, with ctypes
alone: the same steps, and the same report, as examples/c/receipt.c.

    python3 receipt.py LIBRARY CONNECTION

LIBRARY is the path of libtarnlowstdata.so; CONNECTION a database made with
`tarnlowst init`, e.g. sqlite:/tmp/erp.db.
"""
import ctypes
import sys
import time

OK = 0
EMPTY, NULL, TEXT, NUMBER, DATE, BOOLEAN, OBJECT = range(7)


class Text(ctypes.Structure):
    _fields_ = [("data", ctypes.c_void_p), ("length", ctypes.c_size_t)]


class As(ctypes.Union):
    _fields_ = [("text", Text), ("number", ctypes.c_double), ("date", ctypes.c_double),
                ("boolean", ctypes.c_int), ("object", ctypes.c_void_p)]


class Value(ctypes.Structure):
    _fields_ = [("type", ctypes.c_int), ("owned", ctypes.c_int), ("as_", As)]


class ErrorRecord(ctypes.Structure):
    _fields_ = [("number", ctypes.c_int32), ("source", ctypes.c_char_p), ("description", ctypes.c_char_p)]


class TypeLibrary(ctypes.Structure):
    _fields_ = [("name", ctypes.c_char_p), ("identity", ctypes.c_char_p), ("major_version", ctypes.c_uint16),
                ("minor_version", ctypes.c_uint16), ("locale", ctypes.c_uint32), ("description", ctypes.c_char_p)]


class Failure(Exception):
    """A call that failed, with the library's error record."""

    def __init__(self, what, record):
        super().__init__(what)
        self.what = what
        self.number = record.number
        self.source = record.source.decode()
        self.description = record.description.decode()

    def __str__(self):
        return f'{self.what}: error {self.number}, source "{self.source}", "{self.description}"'


class Library:
    def __init__(self, path):
        lib = ctypes.CDLL(path)
        handle, value_p = ctypes.c_void_p, ctypes.POINTER(Value)
        signatures = {
            "last_error": (ctypes.POINTER(ErrorRecord), []),
            "version": (ctypes.c_char_p, []),
            "type_library_info": (ctypes.POINTER(TypeLibrary), []),
            "live_objects": (ctypes.c_int64, []),
            "can_unload_now": (ctypes.c_int, []),
            "open_connection": (ctypes.c_int, [ctypes.c_char_p, ctypes.POINTER(handle)]),
            "create_object": (ctypes.c_int, [ctypes.c_char_p, ctypes.POINTER(handle)]),
            "object_release": (ctypes.c_int, [handle]),
            "get": (ctypes.c_int, [handle, ctypes.c_char_p, value_p, ctypes.c_size_t, value_p]),
            "let": (ctypes.c_int, [handle, ctypes.c_char_p, value_p]),
            "set": (ctypes.c_int, [handle, ctypes.c_char_p, handle]),
            "call": (ctypes.c_int, [handle, ctypes.c_char_p, value_p, ctypes.c_size_t, value_p]),
            "value_free": (None, [value_p]),
        }
        for name, (result, arguments) in signatures.items():
            function = getattr(lib, "tarnlow_" + name)
            function.restype, function.argtypes = result, arguments
            setattr(self, name, function)

    def check(self, status, what):
        if status != OK:
            raise Failure(what, self.last_error().contents)


def to_value(python, keep):
    """A value to pass in; `keep` holds what it points at until the call is over."""
    v = Value()
    if isinstance(python, LibraryObject):
        v.type, v.as_.object = OBJECT, python.handle
    elif isinstance(python, bool):
        v.type, v.as_.boolean = BOOLEAN, int(python)
    elif isinstance(python, (int, float)):
        v.type, v.as_.number = NUMBER, float(python)
    elif isinstance(python, Date):
        v.type, v.as_.date = DATE, python.days
    else:
        data = str(python).encode()
        buffer = ctypes.create_string_buffer(data)
        keep.append(buffer)
        v.type, v.as_.text.data, v.as_.text.length = TEXT, ctypes.addressof(buffer), len(data)
    return v


class Date:
    def __init__(self, days):
        self.days = days


class LibraryObject:
    """One handle; members are reached by name as attributes."""

    def __init__(self, lib, handle):
        object.__setattr__(self, "lib", lib)
        object.__setattr__(self, "handle", handle)

    def release(self):
        if self.handle:
            self.lib.object_release(self.handle)
            object.__setattr__(self, "handle", None)

    def _from_value(self, v):
        try:
            if v.type == TEXT:
                return ctypes.string_at(v.as_.text.data, v.as_.text.length).decode()
            if v.type in (NUMBER, DATE):
                return v.as_.number
            if v.type == BOOLEAN:
                return bool(v.as_.boolean)
            if v.type == OBJECT and v.as_.object:
                # The handle in the value becomes this object's: take it over.
                taken = LibraryObject(self.lib, v.as_.object)
                v.owned = 0
                return taken
            return None
        finally:
            self.lib.value_free(ctypes.byref(v))

    def get(self, member):
        result = Value()
        self.lib.check(self.lib.get(self.handle, member.encode(), None, 0, ctypes.byref(result)), member)
        return self._from_value(result)

    def call(self, member, *args):
        keep = []
        values = (Value * len(args))(*[to_value(a, keep) for a in args]) if args else None
        result = Value()
        self.lib.check(self.lib.call(self.handle, member.encode(), values, len(args), ctypes.byref(result)), member)
        return self._from_value(result)

    def let(self, member, python):
        keep = []
        self.lib.check(self.lib.let(self.handle, member.encode(), ctypes.byref(to_value(python, keep))), member)

    def set(self, member, other):
        self.lib.check(self.lib.set(self.handle, member.encode(), other.handle if other else None), member)

    def __getattr__(self, member):
        return self.get(member)

    def __setattr__(self, member, python):
        self.let(member, python)


def create(lib, class_name, connection=None):
    handle = ctypes.c_void_p()
    lib.check(lib.create_object(class_name.encode(), ctypes.byref(handle)), class_name)
    made = LibraryObject(lib, handle.value)
    if connection is not None:
        made.set("SageConnection", connection)
    return made


def g(number):
    """Numbers as C's %g prints them."""
    return "%g" % number


def seed(connection):
    catalogue = connection.TableCatalogue
    header, lines = catalogue.OrderHeaderTable, catalogue.OrderLineTable
    stock, category = catalogue.StockTable, catalogue.StockCategoryTable
    catalogue.release()
    connection.call("Execute", f"insert into {header} (order_no, supplier, status, pl_company, currency)"
                               " values ('PO1001', 'ACME01  ', 'P', 'MAIN', 'GBP')")
    connection.call("Execute",
                    f"insert into {lines} (order_no, order_line_no, line_type, product, warehouse, description,"
                    " qty_ordered, qty_received, tran_order_qty, tran_recd_qty, cost_per_unit, unit_code, unit_factor,"
                    " status, nl_category, local_expect_cost, local_total_expect, foreign_exp_cost)"
                    " values ('PO1001', '   1', 'S', 'WIDGET', '01', 'Steel widget', 100, 0, 100, 0, 2.5, 'EACH', 1,"
                    " 'O', 'RAW', 250, 250, 250),"
                    " ('PO1001', '   2', 'S', 'BOLT-M8', '01', 'M8 bolt', 500, 100, 500, 100, 0.2, 'EACH', 1,"
                    " 'P', 'RAW', 80, 100, 100)")
    connection.call("Execute",
                    f"insert into {stock} (warehouse, product, physical_qty, on_order_qty, current_cost,"
                    " current_material, standard_cost, analysis_x_ref, batch_traceability, serial_numbers,"
                    " bin_number, month_to_date03, year_to_date03)"
                    " values ('01', 'WIDGET', 40, 100, 2.4, 2.4, 2.5, 'RAW', 'N', 'N', 'A-01', 0, 0)")
    connection.call("Execute", f"insert into {category} (nl_category, st_balance_acc, po_recp_acc)"
                               " values ('RAW', '1200', '5100')")


def main(library_path, connection_text):
    lib = Library(library_path)
    received, unit_cost = 60, 2.55
    value = received * unit_cost
    today = Date(25569.0 + int(time.time()) // 86400)
    info = lib.type_library_info().contents
    print(f"{lib.version().decode()} (type library {info.name.decode()} {info.major_version}.{info.minor_version})")

    handle = ctypes.c_void_p()
    lib.check(lib.open_connection(connection_text.encode(), ctypes.byref(handle)), "open the connection")
    connection = LibraryObject(lib, handle.value)
    seed(connection)

    header = create(lib, "clsPORPohead", connection)
    header.call("ReadIt", "PO1001")
    supplier, company = header.supplier.rstrip(), header.pl_company.rstrip()
    print(f"Order PO1001: supplier {supplier}, status {header.status.rstrip()}, company {company},"
          f" currency {header.PLCurrency.rstrip()}")
    header.call("CloseIt")

    line = create(lib, "clsPORPodet", connection)
    line.order_no = "PO1001"
    line.call("InitReadAllForOrder")
    while line.call("ReadNextForOrder"):
        print(f"  line {g(line.line_no)} {line.product.rstrip()}: ordered {g(line.qty_ordered)},"
              f" received {g(line.qty_received)}, outstanding {g(line.QtyOutstanding)}, status {line.status.rstrip()}")
    line.call("CloseIt")

    line.order_no = "PO1001"
    line.line_no = 1
    line.call("ReadIt")
    product = line.product.rstrip()
    line.qty_received = line.qty_received + received
    line.tran_recd_qty = line.tran_recd_qty + received * line.unit_factor
    line.status = "C" if line.qty_received >= line.qty_ordered else "P"
    line.local_expect_cost = line.local_expect_cost + value
    line.call("UpdateForReceipt")
    line.call("CloseIt")
    line.call("ReadIt")
    print(f"Received {g(received)} of line 1 ({product}) at {g(unit_cost)}: value {g(value)}; the line now has"
          f" {g(line.qty_received)} received, {g(line.QtyOutstanding)} outstanding, status {line.status.rstrip()}")
    line.call("CloseIt")

    stock = create(lib, "clsPORStock", connection)
    stock.warehouse = "01"
    stock.product = product
    stock.call("ReadIt")
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
    stock.call("UpdateForReceipt")
    stock.call("ReadIt")
    print(f"Stock 01/{product}: category {category_code}, bin {bin_number}, current cost {g(before)}"
          f" -> {g(stock.current_cost)}")

    history = create(lib, "clsSTHistory", connection)
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
    history.call("InsertNewHistory")
    print(f"Movement history written with sequence number {history.sequence_no.rstrip()}")

    category = create(lib, "clsSTNLCat", connection)
    category.nl_category = category_code
    category.call("ReadIt")
    account, other_account = category.BalanceSheetAccount.rstrip(), category.MovementAccount.rstrip()
    movement = create(lib, "clsSTNLMov", connection)
    movement.movement_date = today
    movement.tranaction_ref = "PO1001"
    movement.post_flag = "N"
    movement.comments = "Goods received"
    movement.account = account
    movement.amount_posted = value
    movement.call("InsertRow")
    movement.account = other_account
    movement.amount_posted = -value
    movement.call("InsertRow")
    print(f"Ledger movements: {g(value)} to account {account}, {g(-value)} to account {other_account}")

    audit = create(lib, "clsPorecp", connection)
    for member, python in (("order_no", "PO1001"), ("supplier", supplier), ("pl_company", company),
                           ("warehouse", "01"), ("product", product), ("qty_received", received),
                           ("local_cost", value), ("unit_code", "EACH"), ("unit_factor", 1),
                           ("receipt_no", "R00001"), ("date_received", today), ("creation_date", today),
                           ("more_to_come_ind", "Y"), ("commnt", "Python example")):
        audit.let(member, python)
    audit.call("InsertRow")
    print("Receipt audit row R00001 written")

    print("Bad calls:")
    for what, bad_call in (("create clsNoSuchClass", lambda: create(lib, "clsNoSuchClass")),
                           ("read NoSuchMember", lambda: stock.NoSuchMember),
                           ('AdjustPhysicalQty = "many"', lambda: stock.let("AdjustPhysicalQty", "many"))):
        try:
            bad_call()
        except Failure as failure:
            failure.what = what
            print(f"  {failure}")

    for held in (audit, movement, category, history, stock, line, header, connection):
        held.release()
    print(f"Objects alive after release: {lib.live_objects()}; the library may be unloaded:"
          f" {'yes' if lib.can_unload_now() else 'no'}")


if __name__ == "__main__":
    if len(sys.argv) != 3:
        sys.stderr.write("usage: receipt.py LIBRARY CONNECTION\n")
        sys.exit(2)
    try:
        main(sys.argv[1], sys.argv[2])
    except Failure as failure:
        print(f"  {failure}")
        sys.exit(1)
