#!/usr/bin/env bash
# Regenerates the type stubs shipped with the package (src/pyzol/*.pyi) from the built modules.
# Run after the bindings change: scripts/setup.sh test && scripts/stubs.sh
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$root"
.venv/bin/python -m pip install -q pybind11-stubgen==3.0.0
out="$(mktemp -d)"
# Outside the tree, so that the installed package (with its extension modules) is found.
for module in pyzol pyzol.sim; do
    (cd "$out" && "$root/.venv/bin/pybind11-stubgen" "$module" -o "$out" \
        --print-invalid-expressions-as-is >/dev/null 2>&1)
done
# Records registered after the members that return them appear under their C++ names in the
# generated signatures; the stubs name the Python classes.
for f in unit core sim; do
    sed -E -e 's/zol::DIO::Tx(RM1600|DQ160)WaitStatus/\1WaitStatus/g' \
           -e 's/zol::Video::(Tx[A-Za-z0-9]+)/\1/g' \
           -e 's/^class Exception\(Exception\):/class Exception(builtins.Exception):/' \
           -e 's/^import typing$/import builtins\nimport typing/' \
           "$out/pyzol/$f.pyi" > "src/pyzol/$f.pyi"
done
touch src/pyzol/py.typed
rm -rf "$out"
echo "stubs written: src/pyzol/{core,unit,sim}.pyi"
