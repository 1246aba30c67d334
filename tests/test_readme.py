"""The README's code runs as it stands.

The rule, for whoever edits the README: every ```python block runs, on a fresh simulated rack in
an empty temporary folder. The blocks of one section (the text under one heading, of any level)
run in order in one namespace, so a later block may use what an earlier one of its section made;
a block never depends on another section. A block whose first line is a comment naming a test
file (`# test_lights.py, ...`) is a project's test file instead: it is written into the folder
under that name and run by pytest, with the plugin that installing pyzol registers, and every
test in it must pass (none skipped). Blocks in other languages, and indented command lines, are
not run."""

import re
import subprocess
import sys

import pytest

from helpers import ROOT


def sections():
    """(heading, [(line number, code), ...]) of every section with Python blocks."""
    found, heading, blocks, code, start = [], "", [], None, 0
    for number, line in enumerate((ROOT / "README.md").read_text().splitlines(), 1):
        if code is not None:
            if line.startswith("```"):
                blocks.append((start, "\n".join(code)))
                code = None
            else:
                code.append(line)
        elif line.startswith("```python"):
            code, start = [], number + 1
        elif line.startswith("#"):
            if blocks:
                found.append((heading, blocks))
            heading, blocks = line.lstrip("# "), []
    if blocks:
        found.append((heading, blocks))
    return found


SECTIONS = sections()


def test_the_readme_has_python_blocks_and_every_one_is_run():
    text = (ROOT / "README.md").read_text()
    assert sum(len(b) for _, b in SECTIONS) == len(re.findall(r"^```python$", text, re.M)) >= 5


@pytest.mark.parametrize("heading, blocks", SECTIONS, ids=[h for h, _ in SECTIONS])
def test_the_blocks_of_a_section_run_in_a_fresh_folder(heading, blocks, tmp_path, monkeypatch):
    monkeypatch.chdir(tmp_path)
    namespace = {"__name__": "__readme__"}
    for start, code in blocks:
        # Line numbers of a failure point into the README.
        padded = "\n" * (start - 1) + code
        test_file = re.match(r"# (test_\w+\.py)\b", code)
        if test_file:
            (tmp_path / test_file[1]).write_text(padded)
            ran = subprocess.run(
                [sys.executable, "-m", "pytest", "-q", "-p", "no:cacheprovider", test_file[1]],
                cwd=tmp_path, capture_output=True, text=True, timeout=120,
            )  # fmt: skip
            assert ran.returncode == 0 and "skipped" not in ran.stdout, ran.stdout + ran.stderr
        else:
            exec(compile(padded, str(ROOT / "README.md"), "exec"), namespace)
