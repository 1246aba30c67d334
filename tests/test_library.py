"""The simulated device library tested directly in C++ (tests/cpp): each program is built
against the installed libzol_unit and must report no failure."""

import os
import pathlib
import re
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


# A string literal naming a folder outside the test's own temporary one (the pattern is spelt
# so that it does not match itself).
FIXED_PATH = re.compile("[\"'](/tmp|/var/tmp|/home|/root)/")


def test_tests_write_only_inside_their_own_folders():
    found = [
        f"{path.relative_to(HERE)}:{number}: {line.strip()}"
        for path in sorted(HERE.rglob("*"))
        if path.suffix in {".py", ".cpp", ".h"}
        for number, line in enumerate(path.read_text().splitlines(), 1)
        if FIXED_PATH.search(line)
    ]
    assert not found, "fixed paths in tests:\n" + "\n".join(found)
