"""The shipped type stubs match the built modules, and the examples type-check strictly
against them."""

import importlib.util
import pathlib
import subprocess
import sys

import pytest

import pyzol

ROOT = pathlib.Path(__file__).resolve().parent.parent
SHIPPED = pathlib.Path(pyzol.__file__).resolve().parent
needs_sim = pytest.mark.skipif(
    importlib.util.find_spec("pyzol.sim") is None, reason="built against another library"
)


@needs_sim
def test_stubs_are_current(tmp_path):
    pytest.importorskip("pybind11_stubgen")
    subprocess.run([sys.executable, str(ROOT / "scripts" / "stubs.py"), str(tmp_path)],
                   check=True, capture_output=True)  # fmt: skip
    for name in ("core", "unit", "sim"):
        current = (tmp_path / f"{name}.pyi").read_text()
        assert (ROOT / "src" / "pyzol" / f"{name}.pyi").read_text() == current, (
            f"src/pyzol/{name}.pyi differs from the built module: run scripts/stubs.py"
        )
        assert (SHIPPED / f"{name}.pyi").read_text() == current


@needs_sim
def test_examples_type_check_strictly(tmp_path):
    pytest.importorskip("mypy")
    out = subprocess.run(
        [sys.executable, "-m", "mypy", "--strict", "--cache-dir", str(tmp_path), "examples"],
        cwd=ROOT, capture_output=True, text=True,
    )  # fmt: skip
    assert out.returncode == 0, out.stdout + out.stderr
