"""The installed Python package at work: where it was imported from, its
version, and a service item read through it.
    PYTHONPATH=<dist-packages> python3 python_package.py"""
import tarnlow

print(tarnlow.__file__)
with tarnlow.connect("sqlite::memory:") as c:
    tarnlow.create_missing_tables(c)
    c.Execute(f"insert into {c.TableCatalogue.ServiceTable} (service, cost) values ('INSTALL', 42.5)")
    service = tarnlow.clsPORService()
    service.SageConnection = c
    service.Service = "INSTALL"
    service.ReadIt()
    print(f"{tarnlow.__version__}: INSTALL costs {service.cost}")
