"""The package on real databases: an order read back, values, errors, collections."""
import datetime
import os
import pathlib

import pytest

import tarnlow

SOURCE = pathlib.Path(__file__).resolve().parents[2]


def error_of(action):
    """The error record the action raised."""
    return pytest.raises(tarnlow.Error, action).value


def write_order(c, order, today):
    header = tarnlow.clsPOHeadD()
    header.SageConnection = c
    header.order_no = order
    header.supplier = "NORDIC01"
    header.status = "P"
    header.date_entered = today
    header.UsePOHeadX1 = True
    header.POHeadX1D.fax = "01632 960555"
    header.InsertRow()
    line = tarnlow.clsPODetailD()
    line.SageConnection = c
    for number, line_type, product, qty, price in ((1, "S", "CPUMP-L", 4, 312.5), (2, "C", "", 0, 0)):
        line.InitialiseValues()
        line.order_no = order
        line.order_line_no = number
        line.line_type = line_type
        line.description = "Pump, large" if product else "Deliver to gate 3"
        line.UsePODetpgD = line_type == "S"
        if line_type == "S":
            line.product = product
            line.warehouse = "01"
            line.qty_ordered = qty
            line.cost_per_unit = price
            line.local_expect_cost = qty * price
            line.PODetpgD.Reset()
            line.PODetpgD.analysis_a = "MAINT"
        line.InsertRow()


def walk_lines(c, order):
    walk = tarnlow.clsPODetailD()
    walk.SageConnection = c
    walk.order_no = order
    walk.UsePODetpgD = True
    walk.StartReadForOrder()
    lines = []
    while walk.ReadNextForOrder():
        lines.append((walk.order_line_no, walk.line_type.rstrip(), walk.product.rstrip(), walk.qty_ordered,
                      walk.PODetpgD.analysis_a.rstrip() if walk.line_type == "S" else None))
    return lines


def test_whole_order_written_and_read_back(database):
    today = datetime.date(2026, 3, 14)
    with tarnlow.connect(database) as c:
        write_order(c, "PO5001", today)
        header = tarnlow.clsPOHeadD()
        header.SageConnection = c
        header.order_no = "PO5001"
        header.UsePOHeadX1 = True
        header.ReadIt()
        assert (header.supplier.rstrip(), header.POHeadX1D.fax.rstrip()) == ("NORDIC01", "01632 960555")
        assert header.date_entered == datetime.datetime(2026, 3, 14)
        expected = [(1, "S", "CPUMP-L", 4.0, "MAINT"), (2, "C", "", 0.0, None)]
        assert walk_lines(c, "PO5001") == expected

        missing = tarnlow.clsPOHeadD()
        missing.SageConnection = c
        missing.order_no = "PO5002"
        e = error_of(missing.ReadIt)
        assert (e.number, e.description) == (-2147221504, "Purchase order :PO5002 not found")
        assert e.source.endswith("\r\nReadIt of Class Module clsPOHeadD Line#:30")
        assert str(e).endswith('ReadIt of Class Module clsPOHeadD Line#:30": "Purchase order :PO5002 not found"')
        assert "\\r\\n" in str(e)  # the trail's line breaks written as the script runner writes them


def test_whole_order_in_a_transaction_lands_whole_or_not_at_all(database):
    today = datetime.date(2026, 3, 14)
    with tarnlow.connect(database) as c:
        assert c.BeginTrans() == 1
        write_order(c, "PO6001", today)
        c.RollbackTrans()
        assert walk_lines(c, "PO6001") == []
        c.BeginTrans()
        write_order(c, "PO6001", today)
        c.CommitTrans()
        assert [line[0] for line in walk_lines(c, "PO6001")] == [1, 2]
        e = error_of(c.CommitTrans)
        assert (e.number, e.description) == (-2147168242, "No transaction is active.")


def test_values_round_trip_through_the_database(database):
    unicode_text = "Zürich – 東京 ✓ " + "€" * 10
    long_text = ("Übergabe am Nordtor, Halle 3 " * 3)[:64]
    with tarnlow.connect(database) as c:
        header = tarnlow.clsPOHeadD()
        header.SageConnection = c
        header.order_no = "PO7001"
        header.address1 = unicode_text
        header.delivery_address6 = long_text
        header.date_entered = datetime.datetime(2026, 3, 14)
        header.date_required = datetime.date(2026, 4, 1)  # a date alone is midnight
        header.exchange_rate = 2  # an int is a number
        header.InsertRow()
        # A row whose columns are Null reads back as the library gives it.
        c.Execute(f"insert into {c.TableCatalogue.OrderHeaderTable} (order_no) values ('PO7002')")

        back = tarnlow.clsPOHeadD()
        back.SageConnection = c
        back.order_no = "PO7001"
        back.ReadIt()
        assert back.address1.rstrip() == unicode_text
        assert back.delivery_address6.rstrip() == long_text and len(long_text) == 64
        assert back.date_entered == datetime.datetime(2026, 3, 14)
        assert back.date_required == datetime.datetime(2026, 4, 1)
        assert back.exchange_rate == 2.0 and isinstance(back.exchange_rate, float)
        back.order_no = "PO7002"
        back.ReadIt()
        assert back.address1 == "" and back.supplier == ""


def test_values_and_types_in_memory():
    h = tarnlow.clsSTHistory()
    h.dated = datetime.datetime(2026, 3, 14, 15, 9, 26, 535000)
    assert h.dated == datetime.datetime(2026, 3, 14, 15, 9, 26, 535000)
    h.dated = datetime.date(1999, 12, 31)
    assert h.dated == datetime.datetime(1999, 12, 31)
    h.movement_quantity = 7
    assert h.movement_quantity == 7.0 and isinstance(h.movement_quantity, float)
    line = tarnlow.clsPODetailD()
    line.order_line_no = 12.0
    assert line.order_line_no == 12 and isinstance(line.order_line_no, int)
    line.UsePODetpgD = True
    assert line.UsePODetpgD is True

    def record_of(action):
        e = error_of(action)
        return e.number, e.source, e.description

    mismatch = (13, "TarnlowSTData", "Type mismatch")
    aware = datetime.datetime(2026, 1, 1, tzinfo=datetime.timezone.utc)
    for name, value in (("movement_reference", [1]), ("movement_reference", b"bytes"), ("dated", aware)):
        assert record_of(lambda: setattr(h, name, value)) == mismatch, name
    assert record_of(lambda: tarnlow.create(None)) == mismatch
    assert error_of(lambda: setattr(h, "dated", datetime.date(99, 12, 31))).number == 6
    assert error_of(lambda: setattr(h, "movement_quantity", 10**400)).number == 6
    assert error_of(lambda: setattr(h, "movement_reference", None)).number == 94
    assert record_of(lambda: tarnlow.create("clsNoSuchClass")) == \
        (429, "TarnlowSTData", "Component can't create object: clsNoSuchClass")
    # Assigning None to an object property is Nothing, which a companion
    # row object (its connection is what its statement holder holds) reads back.
    analysis = tarnlow.clsPODetpgD()
    analysis.SageConnection = None
    assert analysis.SageConnection is None


def test_error_records_and_members_by_name(database):
    with tarnlow.connect(database) as c:
        s = tarnlow.clsPORService()
        s.sageconnection = c  # letter case ignored
        s.SERVICE = "NONE"
        e = error_of(s.ReadIt)
        assert isinstance(e, Exception)
        assert (e.number, e.source, e.description) == (-2147221504, "PORService.ReadIt",
                                                       "Cannot find service item NONE")
        assert str(e) == 'Error -2147221504: "PORService.ReadIt": "Cannot find service item NONE"'
        assert e.args == (e.number, e.source, e.description)

        # A missing member is the library's 438, and an AttributeError to Python.
        for action in (lambda: s.NoSuchMember, lambda: setattr(s, "NoSuchMember", 1),
                       lambda: setattr(s, "cost", 1.0), lambda: s.ReadIt.__call__(x=1)):
            assert error_of(action).number in (438, 450)
        assert not hasattr(s, "NoSuchMember") and hasattr(s, "cost")
        assert isinstance(error_of(lambda: s.Nope), AttributeError)

    # Leaving the with block released the connection's holder; the object
    # given it still holds the connection, which stays open.
    assert error_of(lambda: c.DatabaseKind).number == 91
    assert s.SageConnection.DatabaseKind == 1


def test_collections_are_sequences_and_mappings():
    units = tarnlow.colSTUnitD()
    assert len(units) == 0 and list(units) == []
    unit = tarnlow.clsSTUnitDD()
    for code in ("EACH", "BOX", "PALLET"):
        unit.unit_code = code
        units.Add(unit)
    assert len(units) == units.Count == 3
    assert [u.unit_code for u in units] == ["EACH", "BOX", "PALLET"]
    assert units[1].unit_code == "EACH" and units["box"].unit_code == "BOX"
    assert units.Item(3) == units["PALLET"] and units[3] != units[1]
    stored = units[2]
    stored.unit_code = "CRATE"  # members are the stored objects, not copies
    assert units[2].unit_code == "CRATE"

    assert [error_of(lambda: units[k]).number for k in (0, 4, -1)] == [9, 9, 9]
    assert error_of(lambda: units["NOPE"]).number == 5
    unit.unit_code = "each"
    assert error_of(lambda: units.Add(unit)).number == 457 and len(units) == 3
    del units[1]
    assert [u.unit_code for u in units] == ["CRATE", "PALLET"]
    walk = iter(units)
    units.ClearList()
    assert len(units) == 0 and [u.unit_code for u in walk] == ["CRATE", "PALLET"]  # a snapshot

    accounts = tarnlow.create("colponlacc")
    code, category = tarnlow.Ref("5010"), tarnlow.Ref("X")
    added = accounts.Add(NominalCode=code, Category=category)
    assert (code.value, category.value) == ("5010", "X")
    assert accounts["x"] == added and added.NominalCode == "5010"
    with pytest.raises(TypeError):
        iter(tarnlow.clsPORService())


def test_registry_and_version():
    names = tarnlow.classes()
    assert len(names) == 31 and "clsPORService" in names
    for name in names:
        assert isinstance(getattr(tarnlow, name), type)
    assert tarnlow.__version__ == "1.0.71"
    assert tarnlow.create("clsTarnlowSTDataVer").TarnlowSTDataVer.endswith(": " + tarnlow.__version__)
    assert tarnlow.type_library().name == "TarnlowSTData"


def test_type_checker_knows_the_created_classes(tmp_path, monkeypatch):
    mypy = pytest.importorskip("mypy.api")
    sample = tmp_path / "sample.py"
    sample.write_text("import tarnlow\n"
                      "s = tarnlow.create('clsPORService')\n"
                      "reveal_type(s)\n"
                      "reveal_type(s.cost)\n"
                      "s.cost = 1.0\n"
                      "s.Servcie = 'typo'\n")
    monkeypatch.setenv("MYPYPATH", str(SOURCE / "python"))
    out, _, status = mypy.run([str(sample), "--no-incremental", "--cache-dir", os.devnull,
                               "--no-error-summary"])
    lines = [line.split(": ", 1)[1] for line in out.splitlines()]
    assert lines == ['note: Revealed type is "tarnlow.clsPORService"',
                     'note: Revealed type is "builtins.float"',
                     'error: Property "cost" defined in "clsPORService" is read-only  [misc]',
                     'error: "clsPORService" has no attribute "Servcie"; maybe "Service"?  [attr-defined]'], out
    assert status == 1
