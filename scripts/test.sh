#!/usr/bin/env bash
# Sets everything up and runs the test suite.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
bash "$root/scripts/setup.sh" test
cd "$root"
exec .venv/bin/python -m pytest -q "$@"
