"""Regenerates the type stubs shipped with the package from the built extension modules.

    .venv/bin/python scripts/stubs.py            # writes src/pyzol/{core,unit,sim}.pyi
    .venv/bin/python scripts/stubs.py OUT_DIR    # writes them into OUT_DIR (the drift test)

Needs the test extra (pybind11-stubgen, typing_extensions) and the package installed.
"""

import pathlib
import subprocess
import sys
import tempfile

ROOT = pathlib.Path(__file__).resolve().parent.parent
MODULES = ("core", "unit", "sim")


def tidy(text):
    # The module's exception type is called Exception too: its base is the builtin one.
    text = text.replace("class Exception(Exception):", "class Exception(builtins.Exception):")
    if "builtins." in text and "\nimport builtins\n" not in text:
        text = text.replace("\nimport typing\n", "\nimport builtins\nimport typing\n", 1)
    return text


def generate(destination):
    destination = pathlib.Path(destination)
    with tempfile.TemporaryDirectory() as out:
        for name in MODULES:
            # Run outside the tree, so that the installed package is the one found.
            subprocess.run(
                [sys.executable, "-m", "pybind11_stubgen", f"pyzol.{name}", "-o", out,
                 "--print-invalid-expressions-as-is"],
                cwd=out, check=True, capture_output=True, text=True,
            )  # fmt: skip
            text = (pathlib.Path(out) / "pyzol" / f"{name}.pyi").read_text()
            (destination / f"{name}.pyi").write_text(tidy(text))
    (destination / "py.typed").touch()


if __name__ == "__main__":
    target = sys.argv[1] if len(sys.argv) > 1 else ROOT / "src" / "pyzol"
    generate(target)
    print(f"stubs written: {', '.join(f'{target}/{name}.pyi' for name in MODULES)}")
