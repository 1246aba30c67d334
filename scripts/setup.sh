#!/usr/bin/env bash
# Creates .venv with CPython 3.12 and installs pyzol (built from this tree) with its extras.
# Usage: scripts/setup.sh [extras]   e.g. scripts/setup.sh test
#
# The build tools are installed into .venv and the package is built without build isolation
# into the persistent folder build/<wheel tag>: CMake's cache then stays valid from one run to
# the next, so an unchanged tree is not compiled again and a changed .cpp rebuilds alone.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$root"
source scripts/find_python.sh

if ! command -v g++ >/dev/null 2>&1; then
    echo "installing a C++ compiler" >&2
    apt-get update -qq && apt-get install -y -qq g++ >/dev/null
fi

# pyright (in the test extra) runs on node; Debian's nodejs where the machine has none.
if [[ "${1:-}" == *test* ]] && ! command -v node >/dev/null 2>&1; then
    echo "installing node for pyright" >&2
    apt-get update -qq && apt-get install -y -qq nodejs >/dev/null
fi

# The live view's tests drive Debian's headless Chromium (no browser download).
if [[ "${1:-}" == *test* ]] && ! command -v chromium >/dev/null 2>&1; then
    echo "installing chromium for the live view's tests" >&2
    apt-get update -qq && apt-get install -y -qq chromium >/dev/null
fi

venv="${PYZOL_VENV:-.venv}"
if [ ! -x "$venv/bin/python" ] || ! "$venv/bin/python" -c 'import sys; assert sys.version_info[:2] == (3, 12)' 2>/dev/null; then
    rm -rf "$venv"
    "$(find_python)" -m venv "$venv"
    "$venv/bin/python" -m pip install -q --upgrade pip
fi
# The build requirements, read from pyproject.toml, with CMake and Ninja.
mapfile -t requires < <("$venv/bin/python" -c 'import tomllib
print("\n".join(tomllib.load(open("pyproject.toml", "rb"))["build-system"]["requires"]))')
"$venv/bin/python" -m pip install -q "${requires[@]}" "cmake>=3.22" ninja
extras="${1:-}"
target="."
[ -n "$extras" ] && target=".[$extras]"
shift || true
launcher=()
if command -v ccache >/dev/null 2>&1; then
    launcher=(-C cmake.define.CMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi
PATH="$root/$venv/bin:$PATH" "$venv/bin/python" -m pip install -q --no-build-isolation \
    "${launcher[@]}" "$@" "$target"
