"""The simulated device library tested directly in C++ (tests/cpp): each program is built
against the installed libzol_unit and must report no failure."""

import os
import pathlib
import re
import subprocess
import sys

import pytest

import pyzol

HERE = pathlib.Path(__file__).resolve().parent
PACKAGE = pathlib.Path(pyzol.__file__).resolve().parent


# CMake and ctest come with the build tools in the virtual environment (scripts/setup.sh).
BIN = pathlib.Path(sys.executable).parent


@pytest.fixture(scope="module")
def library_tests(tmp_path_factory):
    """tests/cpp built by its CMake project against the library installed in the package."""
    if not (PACKAGE / "libzol_unit.so.1").exists():
        pytest.skip("built against another library")
    build = tmp_path_factory.mktemp("cpp")
    env = {**os.environ, "PATH": f"{BIN}{os.pathsep}{os.environ.get('PATH', '')}"}
    for command in (
        ["cmake", "-S", str(HERE / "cpp"), "-B", str(build), "-G", "Ninja",
         f"-DZOL_UNIT_LIBRARY={PACKAGE / 'libzol_unit.so.1'}"],
        ["cmake", "--build", str(build)],
    ):  # fmt: skip
        done = subprocess.run(command, capture_output=True, text=True, timeout=600, env=env)
        assert done.returncode == 0, done.stdout + done.stderr
    return build, env


@pytest.mark.parametrize("program", ["dio_boards", "video_boards"])
def test_library_program(library_tests, program):
    build, env = library_tests
    out = subprocess.run(
        ["ctest", "--test-dir", str(build), "--output-on-failure", "-R", f"^{program}$"],
        capture_output=True, text=True, timeout=600, env=env,
    )  # fmt: skip
    assert out.returncode == 0, out.stdout + out.stderr
    assert "100% tests passed" in out.stdout, out.stdout


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
