#!/usr/bin/env bash
# Builds pyzol the way a site with the maker's library does, and runs a short smoke test on it.
# Stands in for the maker's library: the simulated one, built on its own and installed with its
# headers in a folder of its own as a vendor would ship them. The package is built with
# -DZOL_UNIT_LIBRARY and -DZOL_UNIT_INCLUDE_DIR pointing there, and with the registry key ending
# of a newer compiler, into a virtual environment of its own.
# Usage: scripts/test_maker_build.sh   (run by CI after the test suite)
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

# The simulated library built on its own by the same CMake project and installed as a vendor
# ships it: the library with its SONAME link in vendor/lib, the headers in vendor/include.
vendor="$work/vendor"
cmake="$root/.venv/bin/cmake"   # made by scripts/setup.sh
PATH="$root/.venv/bin:$PATH" "$cmake" -S "$root" -B "$work/lib" -G Ninja -DPYZOL_MODULES=OFF \
    -DCMAKE_INSTALL_PREFIX="$vendor" -DCMAKE_INSTALL_LIBDIR=lib >/dev/null
PATH="$root/.venv/bin:$PATH" "$cmake" --build "$work/lib" >/dev/null
"$cmake" --install "$work/lib" >/dev/null
test -f "$vendor/include/zol/zol.h" && test -L "$vendor/lib/libzol_unit.so.1"

python="$root/.venv/bin/python"
"$python" -m venv "$work/venv"
"$work/venv/bin/python" -m pip install -q "$root" -C build-dir="$work/build" \
    -C cmake.define.ZOL_UNIT_LIBRARY="$vendor/lib/libzol_unit.so.1.2" \
    -C cmake.define.ZOL_UNIT_INCLUDE_DIR="$vendor/include" \
    -C cmake.define.PYZOL_PYBIND11_ABI=_cxxabi1018

cd "$work"
VENDOR="$vendor/lib" "$work/venv/bin/python" - <<'PY'
import importlib.util
import os
import pathlib

import pyzol
from pyzol import core, unit

package = pathlib.Path(pyzol.__file__).parent
assert not list(package.glob("libzol_unit*")), "the maker's library must not be copied in"
assert importlib.util.find_spec("pyzol.sim") is None, "pyzol.sim is built only on the simulation"
maps = pathlib.Path("/proc/self/maps").read_text()
loaded = {line.split()[-1] for line in maps.splitlines() if "libzol_unit" in line}
assert loaded == {os.path.join(os.environ["VENDOR"], "libzol_unit.so.1.2")}, loaded
key = b"__pybind11_internals_v5_gcc_libstdcpp_cxxabi1018__"
for module in (core, unit):
    assert key in pathlib.Path(module.__file__).read_bytes(), module

board = unit.MB100()
board.open(0)
board.write(0x5)
unit.MB100Param.from_(board).timeout = 10
assert board.wait() == int(unit.TIMEOUT)
image = core.CxImage(640, 480)  # the board's default frame
cam = unit.KX210()
cam.open(0, 0)
cam.lock([image])
try:
    board.open(7)
except RuntimeError as e:
    assert str(e).startswith("Code:"), e
else:
    raise AssertionError("opening a board that is not there must fail")
print("maker's library build: smoke test passed")
PY
