#!/usr/bin/env bash
# Sets everything up (with the demo extra: tqdm's progress bar, Pillow's image writer) and runs
# the capture job on the simulated boards, in the caller's folder: bash scripts/run.sh --help
# lists the commands, bash scripts/run.sh capture --help the capture job's options.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
bash "$root/scripts/setup.sh" demo
exec "$root/.venv/bin/python" -m pyzol "$@"
