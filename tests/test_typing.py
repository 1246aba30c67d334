"""The shipped type stubs match the built modules and the documentation table, and pass the type
checkers: mypy on the stubs, stubtest against the modules, pyright's completeness check, and the
examples and the package's own code under mypy --strict."""

import importlib.util
import json
import os
import pathlib
import shutil
import subprocess
import sys

import pytest

import pyzol

ROOT = pathlib.Path(__file__).resolve().parent.parent
SHIPPED = pathlib.Path(pyzol.__file__).resolve().parent
STUBS = [ROOT / "src" / "pyzol" / f"{name}.pyi" for name in ("core", "unit", "sim")]
needs_sim = pytest.mark.skipif(
    importlib.util.find_spec("pyzol.sim") is None, reason="built against another library"
)


def run(*command, cwd=ROOT, env=None):
    return subprocess.run(command, cwd=cwd, env=env, capture_output=True, text=True)


def load_generator():
    location = importlib.util.spec_from_file_location("stubs", ROOT / "scripts" / "stubs.py")
    module = importlib.util.module_from_spec(location)
    location.loader.exec_module(module)
    return module


@needs_sim
def test_stubs_are_current(tmp_path):
    pytest.importorskip("pybind11_stubgen")
    out = run(sys.executable, str(ROOT / "scripts" / "stubs.py"), str(tmp_path))
    assert out.returncode == 0, out.stderr
    for path in STUBS:
        current = (tmp_path / path.name).read_text()
        assert path.read_text() == current, (
            f"src/pyzol/{path.name} differs from the built module: run scripts/stubs.py"
        )
        assert (SHIPPED / path.name).read_text() == current


def without(table, cls, member):
    entry = table[cls]
    return table | {cls: entry._replace(members={k: v for k, v in entry.members.items()
                                                 if k != member})}  # fmt: skip


@needs_sim
@pytest.mark.parametrize(
    "change, complaint",
    [
        (lambda t, M: without(t, "MB100", "read"), "pyzol.unit.MB100.read: no entry"),
        (lambda t, M: t | {"gone": M("A function the module lost.")},
         "pyzol.unit.gone: the table documents a member that does not exist"),
        (lambda t, M: t | {"abort": M("Two parameters.", "control, extra")},
         "pyzol.unit.abort: the table names 2 parameters, the module takes 1"),
        (lambda t, M: t | {"read": M("One line for two overloads.", ["dio"])},
         "pyzol.unit.read: the table has entries for another number of overloads"),
    ],
    ids=["member without entry", "entry without member", "parameters", "overloads"],
)  # fmt: skip
def test_generator_refuses_a_table_out_of_step(tmp_path, change, complaint):
    pytest.importorskip("pybind11_stubgen")
    stubs = load_generator()
    text = stubs.stubgen("unit", str(tmp_path))
    stubs.Merger("unit", stubs.TABLES["unit"]).merge(text)  # the table as it is: in step
    table = change(stubs.TABLES["unit"], stubs.M)
    with pytest.raises(stubs.TableError, match=complaint.replace(".", r"\.")):
        stubs.Merger("unit", table).merge(text)


def test_every_parameter_and_member_is_named_and_documented():
    for path in STUBS:
        text = path.read_text()
        assert "arg0" not in text, path.name
    unit = (ROOT / "src" / "pyzol" / "unit.pyi").read_text()
    assert "def open(self, id: int, ch: int, /) -> None:" in unit
    assert "images: list[pyzol.core.CxImage] | list[pyzol.core.CxImage | None]" in unit
    assert "def save(self, path: str | bytes | bytearray | None, /) -> None:" in unit


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


def test_pyright_finds_the_package_typed(tmp_path):
    pytest.importorskip("pyright")
    if shutil.which("node") is None:
        pytest.skip("pyright needs node (scripts/setup.sh installs it)")
    # pyright finds the interpreter, and so the installed package, on PATH.
    env = dict(os.environ, PATH=f"{pathlib.Path(sys.executable).parent}{os.pathsep}"
                                f"{os.environ.get('PATH', '')}")  # fmt: skip
    pyright = shutil.which("pyright", path=env["PATH"])
    out = run(pyright, "--verifytypes", "pyzol", "--ignoreexternal", "--outputjson",
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
        ("pyzol.record(", "Recorder", ["board", "path", "count", "ring", "pool", "camera"]),
        ("pyzol.Recorder(", "Recorder", ["board", "path", "count", "ring", "pool", "camera"]),
        ("pyzol.unit.KX210.open(", "open", ["self", "id", "ch"]),
        ("pyzol.demo_camera(", "demo_camera", []),
    ],
)
def test_jedi_shows_signatures(jedi, call, name, parameters):
    signatures = script(jedi, f"import pyzol\n{call}").get_signatures(2, len(call))
    assert [s.name for s in signatures] == [name]
    assert [p.name for p in signatures[0].params][: len(parameters)] == parameters
