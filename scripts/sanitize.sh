#!/usr/bin/env bash
# Builds pyzol with AddressSanitizer and UBSan into .venv-asan and runs the tests under them, then
# the simulated library's C++ tests under ThreadSanitizer.
# CI runs it too (.ci/sanitize); the sanitized build takes a few minutes more.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$root"
source scripts/find_python.sh
[ -x .venv-asan/bin/python ] || "$(find_python)" -m venv .venv-asan
.venv-asan/bin/python -m pip install -q pytest "pytest-timeout>=2.3" numpy hypothesis==6.170.15 \
    "tifffile>=2024.1.30" "h5py>=3.10" "zarr>=3" "ome-types>=0.6" "xmlschema>=3" \
    "cmake>=3.22" ninja
.venv-asan/bin/python -m pip install -q . -C build-dir=build/asan -C cmake.define.PYZOL_SANITIZE=ON
# The interpreter is not sanitized: the runtimes come first by preloading. The version tests
# preload a library of their own and cannot run here.
LD_PRELOAD="$(gcc -print-file-name=libasan.so):$(gcc -print-file-name=libubsan.so)" \
ASAN_OPTIONS=detect_leaks=0:allocator_may_return_null=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
    .venv-asan/bin/python -m pytest -q -p no:cacheprovider \
    -k "not version_string and not other_interpreters" "$@"

# The simulated library's own C++ tests under ThreadSanitizer (waits, aborts and acquisitions
# across threads): the same CMake project, the library alone with its tests.
.venv-asan/bin/cmake -S . -B build/tsan -G Ninja -DPYZOL_MODULES=OFF -DPYZOL_TESTS=ON \
    -DPYZOL_SANITIZE=thread -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
PATH="$root/.venv-asan/bin:$PATH" .venv-asan/bin/cmake --build build/tsan >/dev/null
.venv-asan/bin/ctest --test-dir build/tsan --output-on-failure | tail -n 3
