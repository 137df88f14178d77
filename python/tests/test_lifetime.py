"""Holders released in any order and from any thread; database calls that
let other threads run. Run against the sanitizer build of the library too,
where a use after free or a double release would end the run."""
import gc
import itertools
import threading
import time

import tarnlow


def seed_services(c, count):
    table = c.TableCatalogue.ServiceTable
    values = ", ".join(f"('SRV{i}', 'HOUR', {i}.5)" for i in range(count))
    c.Execute(f"insert into {table} (service, unit_code, cost) values {values}")


def holders(text):
    """Objects that hold each other: a connection, an object given it, a
    collection with a member, the member taken out of it, and an operation
    bound to its object."""
    connection = tarnlow.connect(text)
    service = tarnlow.clsPORService()
    service.SageConnection = connection
    service.Service = "SRV0"
    units = tarnlow.colSTUnitD()
    unit = tarnlow.clsSTUnitDD()
    unit.unit_code = "EACH"
    units.Add(unit)
    return [connection, service, units, units[1], service.ReadIt]


def test_objects_released_in_every_order(tmp_path):
    text = f"sqlite:{tmp_path}/release.db"
    with tarnlow.connect(text) as c:
        tarnlow.create_missing_tables(c)
        seed_services(c, 1)
    gc.collect()
    baseline = tarnlow.live_objects()
    for order in itertools.permutations(range(5)):
        held = holders(text)
        for position in order:
            held[position] = None
            # What is still held works, whatever went before it.
            if held[1] is not None:
                held[1].ReadIt()
                assert held[1].cost == 0.5
            if held[2] is not None:
                assert held[2][1].unit_code == "EACH"
            if held[4] is not None:
                held[4]()  # the bound operation keeps its object
        assert tarnlow.live_objects() == baseline, order

    # The garbage collector, breaking a cycle that holds them all and an
    # iteration under way over the collection.
    cycle = holders(text)
    cycle += [iter(cycle[2]), cycle]
    del cycle
    gc.collect()
    assert tarnlow.live_objects() == baseline

    # A with block gives up its holder; the object lives on in the others.
    with tarnlow.connect(text) as c:
        service = tarnlow.clsPORService()
        service.SageConnection = c
    service.Service = "SRV0"
    service.ReadIt()
    assert service.cost == 0.5
    del service, c
    assert tarnlow.live_objects() == baseline


def test_four_threads_with_their_own_connections(database):
    with tarnlow.connect(database) as c:
        seed_services(c, 40)
    start = threading.Barrier(4)
    failures, reads = [], [0] * 4

    def work(n):
        try:
            with tarnlow.connect(database) as connection:
                service = tarnlow.clsPORService()
                service.SageConnection = connection
                start.wait()
                for round_ in range(5):
                    for i in range(n, 40, 4):
                        service.Service = f"SRV{i}"
                        service.ReadIt()
                        assert service.cost == i + 0.5 and service.unit_code.rstrip() == "HOUR"
                        reads[n] += 1
                service.Service = "NONE"
                try:
                    service.ReadIt()
                except tarnlow.Error as e:
                    assert e.description == "Cannot find service item NONE"
        except Exception as e:  # noqa: BLE001 - reported by the main thread
            failures.append(repr(e))

    threads = [threading.Thread(target=work, args=(n,)) for n in range(4)]
    for t in threads:
        t.start()
    for t in threads:
        t.join()
    assert failures == []
    assert reads == [50] * 4


def test_database_calls_release_the_interpreter_lock(database):
    with tarnlow.connect(database) as c:
        c.Execute("create table py_spin (n integer)")
    inside = threading.Event()
    done = threading.Event()
    took = []

    def long_statement():
        with tarnlow.connect(database) as connection:
            inside.set()
            began = time.monotonic()
            connection.Execute("insert into py_spin with recursive r(n) as"
                               " (select 1 union all select n + 1 from r where n < 400000) select n from r")
            took.append(time.monotonic() - began)
            done.set()

    worker = threading.Thread(target=long_statement)
    worker.start()
    inside.wait()
    # This thread keeps running while the statement runs: the span over
    # which it sees the statement still running is most of the statement's.
    first = last = time.monotonic()
    while not done.is_set():
        last = time.monotonic()
    worker.join()
    assert took[0] > 0.05, "the statement was too quick to tell"
    assert last - first > 0.5 * took[0], (last - first, took[0])
