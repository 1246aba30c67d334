#!/usr/bin/env bash
# Creates .venv with CPython 3.12 and installs pyzol (built from this tree) with its extras.
# Usage: scripts/setup.sh [extras]   e.g. scripts/setup.sh test
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$root"

find_python() {
    if command -v python3.12 >/dev/null 2>&1 && python3.12 -c 'import sys' >/dev/null 2>&1; then
        command -v python3.12
        return
    fi
    local candidate
    candidate="$(ls -d "$HOME"/.pyenv/versions/3.12.*/bin/python3.12 2>/dev/null | sort -V | tail -n 1 || true)"
    if [ -n "$candidate" ] && [ -x "$candidate" ]; then
        echo "$candidate"
        return
    fi
    echo "pyzol needs CPython 3.12 (python3.12 or ~/.pyenv/versions/3.12.*)" >&2
    exit 1
}

if ! command -v g++ >/dev/null 2>&1; then
    echo "installing a C++ compiler" >&2
    apt-get update -qq && apt-get install -y -qq g++ >/dev/null
fi

if [ ! -x .venv/bin/python ] || ! .venv/bin/python -c 'import sys; assert sys.version_info[:2] == (3, 12)' 2>/dev/null; then
    rm -rf .venv
    "$(find_python)" -m venv .venv
fi
.venv/bin/python -m pip install -q --upgrade pip
extras="${1:-}"
target="."
[ -n "$extras" ] && target=".[$extras]"
.venv/bin/python -m pip install -q "$target"
