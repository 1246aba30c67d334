"""The simulated device library tested directly in C++ (tests/cpp): each program is built
against the installed libzol_unit and must report no failure."""

import os
import pathlib
import subprocess

import pytest

import pyzol

HERE = pathlib.Path(__file__).resolve().parent
PACKAGE = pathlib.Path(pyzol.__file__).resolve().parent


@pytest.mark.skipif(
    not (PACKAGE / "libzol_unit.so.1").exists(), reason="built against another library"
)
@pytest.mark.parametrize("program", ["dio_boards", "video_boards"])
def test_library_program(program, tmp_path):
    exe = tmp_path / program
    built = subprocess.run(
        ["g++", "-std=c++17", "-O1", f"-I{HERE.parent / 'include'}",
         str(HERE / "cpp" / f"{program}.cpp"), "-o", str(exe),
         str(PACKAGE / "libzol_unit.so.1"), f"-Wl,-rpath,{PACKAGE}", "-lpthread"],
        capture_output=True, text=True, timeout=300,
    )  # fmt: skip
    assert built.returncode == 0, built.stderr
    out = subprocess.run([str(exe)], capture_output=True, text=True, timeout=300, cwd=tmp_path,
                         env={**os.environ, "ZOL_SIM_JOURNAL": "0"})  # fmt: skip
    assert out.returncode == 0, out.stdout + out.stderr
    assert "FAIL " not in out.stdout
