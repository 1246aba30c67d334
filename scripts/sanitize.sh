#!/usr/bin/env bash
# Builds pyzol with AddressSanitizer and UBSan into .venv-asan and runs the tests under them, then
# the simulated library's C++ tests under ThreadSanitizer.
# CI runs it too (.ci/sanitize); the sanitized build takes a few minutes more.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$root"
source scripts/find_python.sh
[ -x .venv-asan/bin/python ] || "$(find_python)" -m venv .venv-asan
.venv-asan/bin/python -m pip install -q pytest numpy hypothesis==6.170.15
.venv-asan/bin/python -m pip install -q . -C build-dir=build/asan -C cmake.define.PYZOL_SANITIZE=ON
# The interpreter is not sanitized: the runtimes come first by preloading. The version tests
# preload a library of their own and cannot run here.
LD_PRELOAD="$(gcc -print-file-name=libasan.so):$(gcc -print-file-name=libubsan.so)" \
ASAN_OPTIONS=detect_leaks=0:allocator_may_return_null=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
    .venv-asan/bin/python -m pytest -q -p no:cacheprovider \
    -k "not version_string and not other_interpreters" "$@"

# The simulated library's own C++ tests under ThreadSanitizer (waits, aborts and acquisitions
# across threads).
tsan="build/tsan"
mkdir -p "$tsan"
g++ -std=c++17 -O1 -g -fsanitize=thread -fPIC -shared -Iinclude -Izolsim zolsim/*.cpp \
    -Wl,-soname,libzol_unit.so.1 -o "$tsan/libzol_unit.so.1" -lpthread
for program in dio_boards video_boards; do
    g++ -std=c++17 -O1 -g -fsanitize=thread -Iinclude "tests/cpp/$program.cpp" -o "$tsan/$program" \
        "$tsan/libzol_unit.so.1" -Wl,-rpath,"$root/$tsan" -lpthread
    (cd "$tsan" && TSAN_OPTIONS=halt_on_error=1 "./$program" | tail -n 1)  # files land in $tsan
done
