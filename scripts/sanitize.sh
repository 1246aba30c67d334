#!/usr/bin/env bash
# Builds pyzol with AddressSanitizer and UBSan into .venv-asan and runs the tests under them.
# (Not part of CI: the sanitized build takes a few minutes more.)
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$root"
python="$(ls -d "$HOME"/.pyenv/versions/3.12.*/bin/python3.12 2>/dev/null | sort -V | tail -n 1)"
[ -x .venv-asan/bin/python ] || "${python:-python3.12}" -m venv .venv-asan
.venv-asan/bin/python -m pip install -q pytest numpy
.venv-asan/bin/python -m pip install -q . -C build-dir=build/asan -C cmake.define.PYZOL_SANITIZE=ON
# The interpreter is not sanitized: the runtimes come first by preloading. The version tests
# preload a library of their own and cannot run here.
LD_PRELOAD="$(gcc -print-file-name=libasan.so):$(gcc -print-file-name=libubsan.so)" \
ASAN_OPTIONS=detect_leaks=0:allocator_may_return_null=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
    .venv-asan/bin/python -P -m pytest -q -p no:cacheprovider \
    -k "not version_string and not other_interpreters" "$@"
