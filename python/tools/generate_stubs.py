"""Writes the type stubs of the package `tarnlow` (tarnlow/__init__.pyi) from
the class registry of the library the package loads, or checks that the
committed stubs are what the registry gives.

    python3 generate_stubs.py --write PATH | --check PATH

with the built package on PYTHONPATH.
"""
import keyword
import sys

import tarnlow
from tarnlow import _tarnlow

# The Python type a property read gives, and what an assignment takes, by
# the library's type name.
READ = {"Text": "str", "Double": "float", "Int16": "int", "Int32": "int", "Bool": "bool",
        "Date": "datetime.datetime", "Variant": "Any", "Object": "Any"}
WRITE = {"Text": "str", "Double": "float", "Int16": "int", "Int32": "int", "Bool": "bool",
         "Date": "datetime.date", "Variant": "Any", "Object": "Object | None"}

HEADER = '''"""Type stubs of the package tarnlow, generated from the library's class
registry by python/tools/generate_stubs.py; do not edit."""
import datetime
import types
from typing import Any, Generic, Iterator, Literal, TypeVar, overload

__version__: str

_T = TypeVar("_T")
_G = TypeVar("_G")
_S = TypeVar("_S")
_O = TypeVar("_O", bound="Object")

class _Let(Generic[_S]):
    """A property that may only be assigned."""
    def __set__(self, instance: object, value: _S) -> None: ...

class _GetLet(Generic[_G, _S]):
    """A property read as _G and assigned from _S."""
    def __get__(self, instance: object, owner: Any = ...) -> _G: ...
    def __set__(self, instance: object, value: _S) -> None: ...

class Error(Exception):
    """A failure of the library, with its error record."""
    number: int
    source: str
    description: str
    def __init__(self, number: int, source: str, description: str) -> None: ...

class MemberError(Error, AttributeError):
    """Error 438 met reaching a member as an attribute."""

class Ref(Generic[_T]):
    """A value passed by reference: an argument the operation changes comes back in value."""
    value: _T
    def __init__(self, value: _T = ...) -> None: ...

class Object:
    """An object of the library; its members are attributes (letter case ignored)."""
    def __enter__(self: _O) -> _O: ...
    def __exit__(self, *exc: object) -> bool: ...

class Member:
    """An operation (or a property that takes arguments) of one object, to be called."""
    def __call__(self, *args: Any, **kwargs: Any) -> Any: ...
'''

FUNCTIONS = '''
def connect(text: str) -> Connection:
    """Opens the database a connection text names; with a with block, released at its end."""
def classes() -> list[str]:
    """The names of the registered classes, in order of name."""
def create_missing_tables(connection: Connection) -> list[str]:
    """Creates the tables of the database that are missing; the names of those made."""
def live_objects() -> int:
    """The number of library objects alive in this process."""
def can_unload_now() -> bool:
    """True when no library object is alive."""
def type_library() -> types.SimpleNamespace:
    """The type library: name, identity, major_version, minor_version, locale, description."""
'''


def argument(name, kind, by_ref):
    written = WRITE[kind]
    return f"{name}: {written} | Ref[Any]" if by_ref else f"{name}: {written}"


def class_stub(name, members, collection):
    lines = [f"class {name}(Object):"]
    body = []
    for member, is_method, access, kind, has_result, args, meaning in members:
        if keyword.iskeyword(member):
            body.append(f"    # {member}: a Python keyword, reached with getattr(object, {member!r})")
            continue
        if is_method or args:
            params = ", ".join(["self"] + [argument(*a) for a in args])
            result = READ[kind] if (has_result or not is_method) else "None"
            body.append(f"    def {member}({params}) -> {result}:")
            body.append(f"        {meaning or member!r}")
            continue
        if "get" in access and ("let" in access or "set" in access):
            body.append(f"    {member}: _GetLet[{READ[kind]}, {WRITE[kind]}]")
        elif "get" in access:
            body.append(f"    @property\n    def {member}(self) -> {READ[kind]}: ...")
        else:
            body.append(f"    {member}: _Let[{WRITE[kind]}]")
    if collection:
        body += ["    def __len__(self) -> int: ...",
                 "    def __getitem__(self, position_or_key: int | str) -> Any: ...",
                 "    def __delitem__(self, position_or_key: int | str) -> None: ...",
                 "    def __iter__(self) -> Iterator[Any]: ..."]
    return "\n".join(lines + (body or ["    ..."])) + "\n"


def is_collection(members):
    return any(m[0] == "NewEnum" for m in members)


def generate():
    out = [HEADER]
    with tarnlow.connect("sqlite::memory:") as connection:
        for extra in (connection, connection.TableCatalogue, connection.SystemInfo):
            members = _tarnlow._members(extra)
            out.append(class_stub(type(extra).__name__, members, False))
    names = tarnlow.classes()
    for name in names:
        members = _tarnlow._members(name)
        out.append(class_stub(name, members, is_collection(members)))
    out.append(FUNCTIONS)
    for name in names:
        identity = _tarnlow._class_identity(name)
        out.append(f'@overload\ndef create(name_or_identity: Literal["{name}", "{identity}"]) -> {name}: ...\n')
    out.append('@overload\ndef create(name_or_identity: str) -> Object:\n'
               '    """A fresh object of a public class, by class name or class identity (letter case ignored)."""\n')
    return "\n".join(out)


def main(argv):
    if len(argv) != 3 or argv[1] not in ("--write", "--check"):
        sys.stderr.write("usage: generate_stubs.py --write|--check PATH\n")
        return 2
    text = generate()
    if argv[1] == "--write":
        with open(argv[2], "w", encoding="utf-8") as f:
            f.write(text)
        print(f"wrote {argv[2]}")
        return 0
    try:
        with open(argv[2], encoding="utf-8") as f:
            committed = f.read()
    except FileNotFoundError:
        committed = ""
    if committed != text:
        sys.stderr.write(f"{argv[2]} is not what the registry gives; regenerate it with "
                         "`cmake --build BUILD --target python-stubs` and commit it\n")
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
