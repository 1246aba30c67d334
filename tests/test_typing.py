"""The type stubs, kept by hand with the documentation of every member, match the built modules and
pass the type checkers: stubtest against the modules, and what stubtest cannot see (the number and
order of each member's overloads, the names of their parameters, from the signatures pybind11
writes into each __doc__), mypy on the stubs, pyright's completeness check, and the examples and
the package's own code under mypy --strict."""

import ast
import copy
import importlib
import importlib.util
import json
import os
import pathlib
import re
import shutil
import subprocess
import sys
import types

import pytest

import pyzol
from pyzol import unit

ROOT = pathlib.Path(__file__).resolve().parent.parent
SHIPPED = pathlib.Path(pyzol.__file__).resolve().parent
STUBS = [ROOT / "src" / "pyzol" / f"{name}.pyi" for name in ("core", "unit", "sim")]
needs_sim = pytest.mark.skipif(
    importlib.util.find_spec("pyzol.sim") is None, reason="built against another library"
)


def run(*command, cwd=ROOT, env=None):
    return subprocess.run(command, cwd=cwd, env=env, capture_output=True, text=True)


# pybind11 writes each overload's signature into the function's __doc__: the first line of a
# single function, or "N. name(...)" lines after "Overloaded function.".
OVERLOAD_LINE = re.compile(r"^\d+\. (.*)$", re.MULTILINE)
UNNAMED = re.compile(r"arg\d+")


def type_head(annotation: str) -> str:
    """The outermost type an annotation names, without its module: "CxImage" for
    "pyzol.core.CxImage | None" and "Optional[pyzol.core.CxImage]", "list" for "list[...]"."""
    annotation = re.sub(r"^(typing\.)?Optional\[", "", annotation.strip())
    first = re.split(r"[\[ |\]]", annotation, maxsplit=1)[0]
    return first.rsplit(".", 1)[-1]


def runtime_parameters(signature: str, name: str) -> list[tuple[str, str]]:
    """(name, type head) of each parameter of a signature line such as
    "open(self: pyzol.unit.KX210, arg0: int, ch: int = 0) -> None"."""
    assert signature.startswith(f"{name}("), signature
    parameters, depth, closing, start = [], 0, "", len(name) + 1
    for i in range(start, len(signature)):
        c = signature[i]
        if closing:  # inside a quoted default or a "<...>" repr: commas there split nothing
            closing = "" if c == closing else closing
        elif c in "'\"<":
            closing = ">" if c == "<" else c
        elif c in "([{":
            depth += 1
        elif c in ")]}" and depth:
            depth -= 1
        elif c in ",)":
            text = signature[start:i].strip()
            if text:
                pname, _, annotation = text.partition(":")
                parameters.append((pname.partition("=")[0].strip(),
                                   type_head(annotation.partition("=")[0])))  # fmt: skip
            if c == ")":
                return parameters
            start = i + 1
    raise AssertionError(f"unbalanced signature: {signature}")


def runtime_overloads(function: object, name: str) -> list[list[tuple[str, str]]]:
    doc = getattr(function, "__doc__", None) or ""
    if doc.startswith(f"{name}(*args, **kwargs)\nOverloaded function."):
        lines = OVERLOAD_LINE.findall(doc)
    else:
        lines = [doc.partition("\n")[0]]
    # An overload that repeats an earlier signature (a narrow and a wide path are both `str`)
    # can never be chosen by the signature alone: the stubs declare it once.
    distinct = list(dict.fromkeys(lines))
    return [runtime_parameters(line, name) for line in distinct]


def runtime_functions(module: object):
    """(qualified name, name, function) of each function and method the module defines."""
    for name, value in vars(module).items():
        if isinstance(value, types.BuiltinFunctionType):
            yield name, name, value
        elif isinstance(value, type) and value.__module__ == module.__name__:
            for member, function in vars(value).items():
                if isinstance(function, staticmethod):
                    function = function.__func__
                kind = type(function).__name__
                if kind in ("instancemethod", "builtin_function_or_method") and not (
                    member.startswith("_pybind11")
                ):
                    yield f"{name}.{member}", member, function


def stub_functions(text: str) -> dict[str, list[ast.arguments]]:
    """The parameters of each def of a stub, by qualified name, one entry per overload."""
    found: dict[str, list[ast.arguments]] = {}

    def visit(body: list[ast.stmt], prefix: str) -> None:
        for node in body:
            if isinstance(node, ast.ClassDef):
                visit(node.body, f"{prefix}{node.name}.")
            elif isinstance(node, ast.FunctionDef):
                found.setdefault(prefix + node.name, []).append(node.args)

    visit(ast.parse(text).body, "")
    return found


def stub_parameters(arguments: ast.arguments) -> list[tuple[str, bool, str]]:
    """(name, whether positional-only, annotation) of each parameter of a stub's def."""

    def annotation(a: ast.arg) -> str:
        return ast.unparse(a.annotation) if a.annotation else ""

    parameters = [(a.arg, True, annotation(a)) for a in arguments.posonlyargs]
    parameters += [(a.arg, False, annotation(a)) for a in arguments.args]
    # *args and **kwargs are never passed by name: only their kind counts.
    parameters += [(f"*{a.arg}", False, "") for a in [arguments.vararg] if a]
    parameters += [(f"**{a.arg}", False, "") for a in [arguments.kwarg] if a]
    return parameters


def drift(module: object, stubs: dict[str, list[ast.arguments]]) -> list[str]:
    """What the stubs say otherwise than the module's signatures: the number and order of each
    member's overloads and the names of their parameters (a parameter unnamed at run time,
    `arg0`, is positional-only in the stub; a named one has the same name)."""
    problems = []
    for qualified, name, function in runtime_functions(module):
        where = f"{module.__name__}.{qualified}"
        runtime = runtime_overloads(function, name)
        declared = stubs.get(qualified)
        if declared is None:
            problems.append(f"{where}: not in the stub")
            continue
        if len(runtime) != len(declared):
            problems.append(f"{where}: {len(runtime)} overloads, the stub has {len(declared)}")
            continue
        for number, (parameters, arguments) in enumerate(zip(runtime, declared, strict=True), 1):
            at = f"{where} overload {number}"
            stub = stub_parameters(arguments)
            if len(parameters) != len(stub):
                problems.append(f"{at}: parameters {[p for p, _ in parameters]}, "
                                f"the stub's {[p for p, _, _ in stub]}")  # fmt: skip
                continue
            for (pname, head), (sname, positional, annotation) in zip(
                parameters, stub, strict=True
            ):
                if UNNAMED.fullmatch(pname):
                    if not positional:
                        problems.append(f"{at}: {sname} has no name at run time: positional-only")
                elif pname != sname and not (
                    pname[:1] == "*" and pname.count("*") == sname.count("*")
                ):
                    problems.append(f"{at}: parameter {pname}, the stub's {sname}")
                # Overloads that take the same names differ in their types: the order.
                if len(runtime) > 1 and pname != "self" and head != type_head(annotation):
                    problems.append(f"{at}: {pname} is {head}, the stub's {annotation}")
    return problems


def stub_text(name: str) -> str:
    return (ROOT / "src" / "pyzol" / f"{name}.pyi").read_text()


@needs_sim
@pytest.mark.parametrize("name", ["core", "unit", "sim"])
def test_stub_overloads_and_parameter_names_follow_the_module(name):
    module = importlib.import_module(f"pyzol.{name}")
    assert drift(module, stub_functions(stub_text(name))) == []


def test_installed_stubs_are_the_tree_s():
    for path in STUBS:
        assert (SHIPPED / path.name).read_text() == path.read_text(), path.name


def dropped(stubs, qualified, index):
    return stubs | {qualified: [a for i, a in enumerate(stubs[qualified]) if i != index]}


def reordered(stubs, qualified):
    return stubs | {qualified: stubs[qualified][::-1]}


def renamed(stubs, qualified, new):
    (arguments,) = stubs[qualified]
    changed = copy.deepcopy(arguments)
    (changed.posonlyargs or changed.args)[-1].arg = new
    return stubs | {qualified: [changed]}


def made_keyword(stubs, qualified):
    (arguments,) = stubs[qualified]
    changed = copy.deepcopy(arguments)
    changed.args, changed.posonlyargs = changed.posonlyargs + changed.args, []
    return stubs | {qualified: [changed]}


@pytest.mark.parametrize(
    "change, complaint",
    [
        (lambda s: dropped(s, "MB100.read", 1), "unit.MB100.read: 2 overloads, the stub has 1"),
        (lambda s: dropped(s, "read", 0), "unit.read: 2 overloads, the stub has 1"),
        (lambda s: reordered(s, "MB100.write"), "unit.MB100.write overload 1: parameters"),
        (lambda s: reordered(s, "Video.grab"), "unit.Video.grab overload 1: arg0 is CxImage"),
        (lambda s: reordered(s, "KX310.lock"), "unit.KX310.lock overload 1: image is CxImage"),
        (lambda s: renamed(s, "RM1600.open", "board"), "parameter id, the stub's board"),
        (lambda s: made_keyword(s, "MB100.open"), "has no name at run time: positional-only"),
        (lambda s: {k: v for k, v in s.items() if k != "abort"}, "unit.abort: not in the stub"),
    ],
    ids=["overload dropped", "function overload dropped", "reordered by count",
         "reordered by type", "reordered by type, same names", "renamed", "unnamed made keyword",
         "missing"],
)  # fmt: skip
@needs_sim
def test_drift_check_sees_a_stub_out_of_step(change, complaint):
    stubs = change(stub_functions(stub_text("unit")))
    problems = drift(unit, stubs)
    assert any(complaint in p for p in problems), problems


def undocumented(body: list[ast.stmt], prefix: str = "") -> list[str]:
    """The classes, defs and attributes of a stub body that no docstring follows."""
    missing = []
    for number, node in enumerate(body):
        following = body[number + 1] if number + 1 < len(body) else None
        if isinstance(node, ast.ClassDef | ast.FunctionDef):
            # A property's setter goes by the getter's documentation.
            setter = any(
                isinstance(d, ast.Attribute) and d.attr == "setter"
                for d in getattr(node, "decorator_list", [])
            )
            if ast.get_docstring(node) is None and not setter:
                missing.append(prefix + node.name)
            if isinstance(node, ast.ClassDef):
                missing += undocumented(node.body, f"{prefix}{node.name}.")
        elif isinstance(node, ast.AnnAssign) and isinstance(node.target, ast.Name):
            if not (
                isinstance(following, ast.Expr)
                and isinstance(following.value, ast.Constant)
                and isinstance(following.value.value, str)
            ):
                missing.append(prefix + node.target.id)
    return missing


def test_every_parameter_and_member_is_named_and_documented():
    for path in STUBS:
        text = path.read_text()
        assert "arg0" not in text, path.name
        assert undocumented(ast.parse(text).body) == [], path.name
    unit = (ROOT / "src" / "pyzol" / "unit.pyi").read_text()
    assert "def open(self, id: int, ch: int, /) -> None:" in unit
    assert "images: list[pyzol.core.CxImage] | list[pyzol.core.CxImage | None]" in unit
    assert "def save(self, path: str | bytes | bytearray | None, /) -> None:" in unit


def test_the_documentation_check_sees_a_member_without_docs():
    stub = 'class A:\n    x: int\n    def f(self) -> None: ...\n    y: int\n    """Y."""\n'
    assert undocumented(ast.parse(stub).body) == ["A", "A.x", "A.f"]


def test_stubs_pass_mypy(tmp_path):
    pytest.importorskip("mypy")
    out = run(sys.executable, "-m", "mypy", "--strict", "--cache-dir", str(tmp_path), *STUBS)
    assert out.returncode == 0, out.stdout + out.stderr


@needs_sim
def test_stubs_pass_stubtest(tmp_path):
    pytest.importorskip("mypy")
    allowlist = (ROOT / "tests" / "stubtest_allowlist.txt").read_text()
    if importlib.util.find_spec("pyzol.baseline"):
        # The benchmarks' bare pybind11 module, installed only by a build with -DPYZOL_BENCH=ON,
        # is not part of the package's interface and has no stub.
        allowlist += "pyzol\\.baseline\n"
    (tmp_path / "allowlist.txt").write_text(allowlist)
    out = run(
        sys.executable, "-m", "mypy.stubtest", "pyzol",
        "--allowlist", str(tmp_path / "allowlist.txt"),
        "--mypy-config-file", str(ROOT / "pyproject.toml"),
        cwd=tmp_path,
    )  # fmt: skip
    assert out.returncode == 0, out.stdout + out.stderr


@pytest.fixture
def pyright():
    """The pyright command and an environment in which it finds this interpreter, and so the
    installed package, on PATH."""
    pytest.importorskip("pyright")
    if shutil.which("node") is None:
        pytest.skip("pyright needs node (scripts/setup.sh installs it)")
    env = dict(os.environ, PATH=f"{pathlib.Path(sys.executable).parent}{os.pathsep}"
                                f"{os.environ.get('PATH', '')}")  # fmt: skip
    return shutil.which("pyright", path=env["PATH"]), env


def test_pyright_finds_the_package_typed(tmp_path, pyright):
    command, env = pyright
    out = run(command, "--verifytypes", "pyzol", "--ignoreexternal", "--outputjson",
              cwd=tmp_path, env=env)  # fmt: skip
    report = json.loads(out.stdout)["typeCompleteness"]
    score = report["completenessScore"]
    unknown = [s["name"] for s in report["symbols"] if not s["isTypeKnown"]]
    assert score >= 0.98, f"type completeness {score:.1%}; not known: {unknown}"


def test_package_and_examples_type_check_strictly(tmp_path):
    pytest.importorskip("mypy")
    out = run(sys.executable, "-m", "mypy", "--strict", "--cache-dir", str(tmp_path),
              "examples", "src/pyzol")  # fmt: skip
    assert out.returncode == 0, out.stdout + out.stderr


@pytest.fixture
def jedi(tmp_path, monkeypatch):
    """jedi, the completion engine of IPython and editors, run in this interpreter and keeping
    its cache in `tmp_path`."""
    jedi = pytest.importorskip("jedi")
    monkeypatch.setattr(jedi.settings, "cache_directory", str(tmp_path))
    return jedi


def script(jedi, code):
    environment = jedi.api.environment.InterpreterEnvironment()
    return jedi.Script(code, environment=environment)


def test_jedi_completes_every_public_name_of_the_package(jedi):
    found = {c.name for c in script(jedi, "import pyzol\npyzol.").complete(2, 6)}
    assert set(pyzol.__all__) <= found  # frames, record, Recorder, ...: loaded lazily
    found = {c.name for c in script(jedi, "import pyzol\npyzol.fr").complete(2, 8)}
    assert {"frames", "Frame", "Frames"} <= found


@pytest.mark.parametrize(
    "call, name, parameters",
    [
        ("pyzol.frames(", "frames", ["board", "ring", "count"]),
        # Two signatures: a capture board's, then a group's.
        ("pyzol.record(", "record", ["board", "path", "count", "ring", "pool", "camera"]),
        ("pyzol.Recorder(", "Recorder", ["board", "path", "count", "ring", "pool", "camera"]),
        ("pyzol.unit.KX210.open(", "open", ["self", "id", "ch"]),
        ("pyzol.demo_camera(", "demo_camera", []),
    ],
)
def test_jedi_shows_signatures(jedi, call, name, parameters):
    signatures = script(jedi, f"import pyzol\n{call}").get_signatures(2, len(call))
    assert {s.name for s in signatures} == {name}
    assert [p.name for p in signatures[0].params][: len(parameters)] == parameters


def test_the_front_door_example_passes_pyright_strict(tmp_path, pyright):
    # The example asks for strict mode itself (its first line); mypy --strict runs over it with
    # the other examples above.
    example = ROOT / "examples" / "front_door.py"
    assert example.read_text().startswith("# pyright: strict\n")
    command, env = pyright
    out = run(command, "--outputjson", str(example), cwd=tmp_path, env=env)
    report = json.loads(out.stdout)
    assert report["summary"]["errorCount"] == 0, report["generalDiagnostics"]
