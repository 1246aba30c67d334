#!/usr/bin/env bash
# Sets everything up (with the demo's progress bar and PNG libraries) and runs the main job on
# the simulated boards, in the caller's folder: bash scripts/run.sh --help lists its options.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
bash "$root/scripts/setup.sh" demo
exec "$root/.venv/bin/python" -m pyzol "$@"
