"""`python -m bench` from the repository root: the summary table (see bench/summary.py)."""

import sys
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))

from summary import main  # noqa: E402

sys.exit(main(sys.argv[1:]))
