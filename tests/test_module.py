"""The module spine: import, version check, registration order, exception translation."""

import ast
import glob
import graphlib
import os
import pathlib
import subprocess
import sys
import textwrap
import threading

import pytest

import pyzol
from pyzol import core, sim, unit

# The module's names in registration order: 23 classes, EventStatus with its exported members,
# the 13 module functions and Exception.
REGISTERED = [
    "EventStatus",
    "INT",
    "DI",
    "TIMEOUT",
    "ABORT",
    "MB100",
    "MB100Param",
    "RM1600",
    "RM1600Param",
    "DQ160",
    "DQ160Param",
    "read",
    "write",
    "write_status",
    "RM1600WaitStatus",
    "DQ160WaitStatus",
    "get_device_module",
    "set_register",
    "get_register",
    "get_device_info",
    "get_xml_item",
    "KX210",
    "KX210Encoder",
    "KX210Param",
    "KX210Sio",
    "KX310",
    "KX310Encoder",
    "KX310Param",
    "KX310Sio",
    "TR520",
    "TR520Param",
    "Video",
    "start",
    "stop",
    "abort",
    "wait",
    "is_running",
    "TxKX210CaptureStatus",
    "TxKX310CaptureStatus",
    "TxKX310EncoderStatus",
    "TxTR520CaptureStatus",
    "Exception",
]
INTERPRETER_ATTRIBUTES = {
    "__name__",
    "__doc__",
    "__package__",
    "__loader__",
    "__spec__",
    "__file__",
}


def test_dir_holds_exactly_the_registered_names_in_order():
    names = [n for n in vars(unit) if n not in INTERPRETER_ATTRIBUTES]
    assert names == REGISTERED
    assert set(dir(unit)) == set(REGISTERED) | INTERPRETER_ATTRIBUTES
    # The complete list: 23 classes besides EventStatus and Exception, 13 functions.
    exported = {"EventStatus", "INT", "DI", "TIMEOUT", "ABORT", "Exception"}
    assert len([n for n in REGISTERED if n[0].isupper() and n not in exported]) == 23
    assert len([n for n in REGISTERED if n[0].islower()]) == 13


def test_classes_belong_to_the_module():
    for name in REGISTERED:
        obj = getattr(unit, name)
        if isinstance(obj, type):
            assert obj.__module__ == unit.__name__, name
    assert unit.Exception.__name__ == "Exception"
    assert unit.Exception.__module__ == "pyzol.unit"
    assert issubclass(unit.Exception, Exception)


def run_python(executable, code, env=None, cwd=None):
    return subprocess.run(
        [executable, "-c", textwrap.dedent(code)],
        capture_output=True,
        text=True,
        env={**os.environ, **(env or {})},
        timeout=60,
        cwd=cwd,
    )


def other_python(minor):
    found = sorted(
        glob.glob(os.path.expanduser(f"~/.pyenv/versions/3.{minor}.*/bin/python3.{minor}"))
    )
    if not found:
        pytest.skip(f"no python3.{minor} on this machine")
    return found[-1]


# Loaded with the interpreter's own flags, which resolve every symbol at once: a module that
# needs a function the other interpreter does not export fails before its version check.
LOAD_MODULE = """
    import importlib.machinery, importlib.util, sys
    loader = importlib.machinery.ExtensionFileLoader({name!r}, {path!r})
    location = importlib.util.spec_from_file_location({name!r}, {path!r}, loader=loader)
    try:
        importlib.util.module_from_spec(location)
    except ImportError as e:
        print("ImportError:", e)
        print("version:", sys.version)
    else:
        print("imported")
"""


PACKAGE_PARENT = os.path.dirname(os.path.dirname(pyzol.__file__))
IMPORT_PACKAGE = """
    import sys
    sys.path.insert(0, {path!r})
    try:
        import pyzol
    except ImportError as e:
        print("ImportError:", e)
        print("version:", sys.version)
"""


def load_module(module):
    return LOAD_MODULE.format(name=module.__name__.rpartition(".")[2], path=module.__file__)


# Both guards: the package's own, before any extension loads, and each extension module's, for a
# script that loads it by path.
@pytest.mark.parametrize("minor", [10, 11, 13])
@pytest.mark.parametrize(
    "code",
    [IMPORT_PACKAGE.format(path=PACKAGE_PARENT), *(load_module(m) for m in (unit, core, sim))],
    ids=["package", "unit", "core", "sim"],
)
def test_other_interpreters_are_refused(minor, code, tmp_path):
    out = run_python(other_python(minor), code, cwd=tmp_path)
    assert out.returncode == 0, out.stderr
    first, version = out.stdout.split("\n", 1)
    version = version.removeprefix("version: ").rstrip("\n")
    assert first == (
        "ImportError: Python version mismatch: module was compiled for Python 3.12, "
        f"but the interpreter version is incompatible: {version}."
    )


FAKE_VERSION_C = r"""
#include <stdlib.h>
const char *Py_GetVersion(void) { return getenv("PYZOL_FAKE_VERSION"); }
"""


@pytest.fixture(scope="module")
def fake_version_library(tmp_path_factory):
    d = tmp_path_factory.mktemp("fakever")
    (d / "fake.c").write_text(FAKE_VERSION_C)
    lib = d / "libfakever.so"
    r = subprocess.run(
        ["gcc", "-shared", "-fPIC", "-o", str(lib), str(d / "fake.c")], capture_output=True
    )
    if r.returncode:
        pytest.skip("no C compiler for the version stub")
    return str(lib)


@pytest.mark.parametrize(
    "version, accepted",
    [
        ("3.12.0 (main) [GCC]", True),
        ("3.12", True),
        ("3.12 (custom build)", True),
        ("3.120.1", False),
        ("3.13.1", False),
        ("3.11.9", False),
    ],
)
def test_version_string_check(fake_version_library, version, accepted):
    out = run_python(
        sys.executable,
        load_module(unit),
        env={"LD_PRELOAD": fake_version_library, "PYZOL_FAKE_VERSION": version},
    )
    assert out.returncode == 0, out.stderr
    first = out.stdout.splitlines()[0]
    if accepted:
        assert first == "imported"
    else:
        assert first == (
            "ImportError: Python version mismatch: module was compiled for Python 3.12, "
            f"but the interpreter version is incompatible: {version}."
        )


def test_import_calls_nothing_in_the_library():
    out = run_python(
        sys.executable,
        """
        import pyzol, pyzol.unit
        from pyzol import sim
        print(sim.journal_on(), sim.journal())
        """,
        env={"ZOL_SIM_JOURNAL": "1"},
    )
    assert out.returncode == 0, out.stderr
    assert out.stdout.strip() == "True []"


@pytest.mark.parametrize("module", ["pyzol", "pyzol.unit", "pyzol.core"])
def test_import_loads_neither_asyncio_nor_numpy(module):
    # Each is loaded where first used: asyncio by pyzol.aio (and `async for` over frames), numpy
    # by the frame iterator; the names stay reachable from the package.
    out = run_python(
        sys.executable,
        f"""
        import sys
        import {module}
        heavy = [name for name in ("asyncio", "numpy") if name in sys.modules]
        import pyzol
        print(heavy, pyzol.aio.__name__, "asyncio" in sys.modules, pyzol.frames.__module__)
        """,
    )
    assert out.returncode == 0, out.stderr
    assert out.stdout.split() == ["[]", "pyzol.aio", "True", "pyzol.stream"]


def test_injected_exception_is_translated():
    board = unit.MB100()
    sim.fail("CxMB100::Open", status=5, function="Open", file="dev.c", line=42)
    with pytest.raises(RuntimeError) as info:
        board.open(0)
    assert str(info.value) == "Code:5 Line:42 Function:Open File:dev.c"
    assert type(info.value) is RuntimeError
    assert not isinstance(info.value, unit.Exception)


def test_null_function_and_file_are_written_empty():
    board = unit.MB100()
    sim.fail("CxMB100::Open", status=7, function=None, file=None, line=3)
    with pytest.raises(RuntimeError, match=r"^Code:7 Line:3 Function: File:\n"):
        board.open(0)


def test_standard_exception_keeps_the_default_translation():
    with pytest.raises(MemoryError):
        core.CxImage(2**31 - 1, 2**31 - 1)


def test_threads_translate_their_own_text():
    errors = {}

    def worker(status):
        board = unit.MB100()
        texts = set()
        for _ in range(200):
            sim.fail(
                "CxMB100::Close", status=status, function=f"f{status}", file="t.c", line=status
            )
            try:
                board.close()
            except RuntimeError as e:
                texts.add(str(e))
        errors[status] = texts

    # Each thread arms the same operation with its own status; whichever thread's call meets a
    # fault gets a complete text of one of the two statuses, never a mixture.
    threads = [threading.Thread(target=worker, args=(s,)) for s in (11, 22)]
    for t in threads:
        t.start()
    for t in threads:
        t.join()
    allowed = {f"Code:{s} Line:{s} Function:f{s} File:t.c" for s in (11, 22)}
    for texts in errors.values():
        assert texts and texts <= allowed


def test_package_imports_core_first():
    assert pyzol.core is core and pyzol.unit is unit


def package_imports(root):
    """The modules of the package in folder `root` (its .py files and extension modules), each
    with the package's modules it imports anywhere in its source (at the top, in a function,
    for type checkers only) and the private names (`_name`) it takes from another module."""
    modules = {}
    for path in root.rglob("*"):
        if path.suffix in (".py", ".so"):
            parts = path.relative_to(root.parent).parts
            parts = (*parts[:-1], parts[-1].split(".")[0])
            is_package = parts[-1] == "__init__"
            modules[".".join(parts[:-1] if is_package else parts)] = (path, is_package)
    graph, private = {}, []
    for name, (path, is_package) in modules.items():
        if path.suffix != ".py":
            graph[name] = set()
            continue
        package = name if is_package else name.rpartition(".")[0]
        found = set()
        for node in ast.walk(ast.parse(path.read_text())):
            if isinstance(node, ast.Import):
                found.update(a.name for a in node.names if a.name in modules)
            elif isinstance(node, ast.ImportFrom):
                base = node.module or ""
                if node.level:
                    anchor = package.rsplit(".", node.level - 1)[0]
                    base = f"{anchor}.{base}" if base else anchor
                if base not in modules:
                    continue  # another library's
                for alias in node.names:
                    if f"{base}.{alias.name}" in modules:
                        found.add(f"{base}.{alias.name}")  # a module of the package
                        continue
                    found.add(base)
                    if alias.name.startswith("_") and not alias.name.endswith("__"):
                        private.append(f"{name} imports {base}.{alias.name}")
        graph[name] = found - {name}
    return graph, private


def test_no_module_of_the_package_imports_another_in_a_circle_or_its_private_names():
    graph, private = package_imports(pathlib.Path(pyzol.__file__).parent)
    # The walk finds what the modules import: top-level, relative and absolute imports.
    assert {"pyzol.stream", "pyzol.boards", "pyzol.writers"} <= graph["pyzol.recorder"]
    assert {"pyzol._linked_last", "pyzol.writers.base"} <= graph["pyzol.writers.tiff"]
    assert graph["pyzol.__main__"] == {"pyzol.cli"} and graph["pyzol"] == {
        "pyzol.core",
        "pyzol.unit",
    }
    assert "pyzol.cli.record" in graph["pyzol.cli"] and "pyzol.cli" not in graph["pyzol.cli.record"]
    graphlib.TopologicalSorter(graph).prepare()  # CycleError names the circle
    assert private == []


@pytest.mark.parametrize(
    "files, found",
    [
        ({"a.py": "from . import b", "b.py": "from pkg.a import x"}, ["pkg.a", "pkg.b", "pkg.a"]),
        ({"a.py": "def f():\n    from .b import _y", "b.py": "from . import a"}, None),
        ({"a.py": "from .b import _y", "b.py": ""}, "pkg.a imports pkg.b._y"),
        ({"a.py": "import pkg.b", "b.py": "from pkg import __version__"}, []),
    ],
    ids=["circle", "circle in a function", "private name", "none"],
)
def test_the_import_walk_finds_circles_and_private_names(tmp_path, files, found):
    (tmp_path / "pkg").mkdir()
    (tmp_path / "pkg" / "__init__.py").write_text("")
    for name, text in files.items():
        (tmp_path / "pkg" / name).write_text(text)
    graph, private = package_imports(tmp_path / "pkg")
    if isinstance(found, str):
        assert private == [found]
        return
    try:
        graphlib.TopologicalSorter(graph).prepare()
    except graphlib.CycleError as e:
        assert found is None or sorted(e.args[1]) == sorted(found)
    else:
        assert found == []


def test_the_installed_package_says_what_it_is_and_needs():
    from importlib import metadata

    meta = metadata.metadata("pyzol")
    assert pyzol.__version__ == meta["Version"] == metadata.version("pyzol")
    assert "numpy" in meta.get_all("Requires-Dist")  # not only in an extra
    assert meta["License-Expression"] == "MIT" and meta["Requires-Python"] == "==3.12.*"
    assert meta["Summary"] and "pyzol.demo_camera()" in meta.get_payload()  # the README
    camera = unit.KX210.from_file(pyzol.demo_camera())  # shipped in the package
    assert unit.KX210Param.from_(camera).get_param("Width") == 640


def test_every_class_returns_its_library_objects(no_leaks):
    classes = [getattr(unit, n) for n in REGISTERED if isinstance(getattr(unit, n), type)]
    made = []
    for cls in classes:
        if cls in (unit.EventStatus, unit.Exception):
            continue
        obj = cls()
        made.append(obj)
        if hasattr(cls, "from_file"):
            made.append(cls(obj))  # copies are library objects too
    made.append(core.CxImage(4, 4))
    assert sim.live_objects() > no_leaks
