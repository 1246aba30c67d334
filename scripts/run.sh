#!/usr/bin/env bash
# Sets everything up and runs the main job on the simulated boards.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
bash "$root/scripts/setup.sh"
cd "$root"
exec .venv/bin/python -m pyzol "$@"
