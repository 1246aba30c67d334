#!/usr/bin/env bash
# Builds the API reference site (mkdocs.yml, docs/) strictly: any warning fails the build. It
# installs the docs extra into .venv (scripts/setup.sh makes .venv) and builds into a temporary
# folder that it removes after, so the tree stays clean.
# Usage: scripts/docs.sh [OUT_DIR]   with OUT_DIR, the site is left there
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$root"
venv="${PYZOL_VENV:-.venv}"
if [ ! -x "$venv/bin/python" ]; then
    echo "no $venv: run scripts/setup.sh first" >&2
    exit 1
fi
# The extra's requirements alone, read from pyproject.toml: the site is built from the sources,
# so the package need not be built again.
mapfile -t requires < <("$venv/bin/python" -c 'import tomllib
print("\n".join(tomllib.load(open("pyproject.toml", "rb"))["project"]["optional-dependencies"]["docs"]))')
"$venv/bin/python" -m pip install -q "${requires[@]}"
if [ -n "${1:-}" ]; then
    out="$1"
else
    out="$(mktemp -d)"
    trap 'rm -rf "$out"' EXIT
fi
NO_MKDOCS_2_WARNING=1 "$venv/bin/python" -m mkdocs build --strict --clean --site-dir "$out"
