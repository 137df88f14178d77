"""Fresh databases for the package's tests, on every engine the environment
offers, found as the C++ tests find them: SQLite always; PostgreSQL when
TARNLOW_PG_URI names a server (each test in a schema of its own); the ODBC
drivers registered under the names in TARNLOW_ODBC_POSTGRESQL_DRIVER and
TARNLOW_ODBC_SQLITE_DRIVER."""
import os
import urllib.parse
import uuid

import pytest

import tarnlow


def backends():
    found = ["sqlite"]
    uri = os.environ.get("TARNLOW_PG_URI", "")
    if uri:
        found.append("postgresql")
        if os.environ.get("TARNLOW_ODBC_POSTGRESQL_DRIVER"):
            found.append("odbc-postgresql")
    if os.environ.get("TARNLOW_ODBC_SQLITE_DRIVER"):
        found.append("odbc-sqlite")
    return found


def odbc_value(value):
    """A value of an ODBC connection string, braced when it holds anything special."""
    if not any(c in value for c in ";{}=?& "):
        return value
    return "{" + value.replace("}", "}}") + "}"


def odbc_postgresql_text(uri, schema):
    parts = urllib.parse.urlsplit(uri)
    fields = {"host": parts.hostname, "port": parts.port, "dbname": parts.path.lstrip("/"),
              "user": parts.username, "password": parts.password}
    fields.update({k: v[-1] for k, v in urllib.parse.parse_qs(parts.query).items()})
    keys = {"host": "Servername", "port": "Port", "dbname": "Database", "user": "Username", "password": "Password"}
    text = "odbc:DRIVER=" + odbc_value(os.environ["TARNLOW_ODBC_POSTGRESQL_DRIVER"])
    for libpq, odbc in keys.items():
        if fields.get(libpq):
            text += f";{odbc}={odbc_value(str(fields[libpq]))}"
    return text + ";ConnSettings=" + odbc_value(f"set search_path to {schema}")


@pytest.fixture(params=backends())
def database(request, tmp_path):
    """The connection text of a fresh database with the library's tables."""
    backend = request.param
    schema = None
    if backend == "sqlite":
        text = f"sqlite:{tmp_path}/test.db"
    elif backend == "odbc-sqlite":
        text = (f"odbc:DRIVER={odbc_value(os.environ['TARNLOW_ODBC_SQLITE_DRIVER'])};"
                f"Database={odbc_value(str(tmp_path / 'test.db'))};Timeout=30000;JournalMode=WAL")
    else:
        uri = os.environ["TARNLOW_PG_URI"]
        schema = "py_" + uuid.uuid4().hex[:12]
        with tarnlow.connect(uri) as server:
            server.Execute(f"create schema {schema}")
        if backend == "odbc-postgresql":
            text = odbc_postgresql_text(uri, schema)
        else:
            text = uri + ("&" if "?" in uri else "?") + f"options=-csearch_path%3D{schema}"
    with tarnlow.connect(text) as connection:
        tarnlow.create_missing_tables(connection)
    yield text
    if schema:
        with tarnlow.connect(os.environ["TARNLOW_PG_URI"]) as server:
            server.Execute(f"drop schema {schema} cascade")
