#!/usr/bin/env bash
# Line coverage of the simulated library (zolsim/) by the test suite: builds pyzol with the
# library instrumented for gcov into .venv-cov (build/cov), runs the suite there, and prints
# gcovr's summary per file, the least covered last; the full report, with every line's count,
# goes to build/cov/coverage.txt. Arguments go to pytest (e.g. tests/test_sweeps.py).
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$root"
PYZOL_VENV=.venv-cov bash scripts/setup.sh test -C build-dir=build/cov \
    -C cmake.build-type=RelWithDebInfo -C cmake.define.PYZOL_COVERAGE=ON
.venv-cov/bin/python -m pip install -q gcovr
find build/cov -name '*.gcda' -delete # counts of this run only
status=0
.venv-cov/bin/python -m pytest -q -p no:cacheprovider "$@" || status=$?
gcovr=(.venv-cov/bin/gcovr --root . --filter 'zolsim/' --object-directory build/cov
       --sort uncovered-number --gcov-ignore-parse-errors=negative_hits.warn_once_per_file)
"${gcovr[@]}" --txt build/cov/coverage.txt --txt-metric line --json-summary-pretty \
    --json-summary build/cov/coverage.json
"${gcovr[@]}" --txt-metric line
exit "$status"
