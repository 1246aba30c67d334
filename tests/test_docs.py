"""The API reference site builds without a warning and has an entry for every public name of the
package and of its extension modules (needs the docs extra: scripts/docs.sh installs it)."""

import html
import pathlib
import re
import subprocess
import sys

import pytest

import pyzol
from pyzol import core, sim, testing, unit

ROOT = pathlib.Path(__file__).resolve().parent.parent


@pytest.fixture(scope="module")
def site(tmp_path_factory):
    pytest.importorskip("mkdocs")
    pytest.importorskip("mkdocstrings_handlers.python")
    out = tmp_path_factory.mktemp("site")
    built = subprocess.run(
        [sys.executable, "-m", "mkdocs", "build", "--strict", "--site-dir", str(out)],
        cwd=ROOT, capture_output=True, text=True,
    )  # fmt: skip
    assert built.returncode == 0, built.stdout + built.stderr
    return out


def entries(site, page):
    return set(re.findall(r'id="([\w.]+)"', (site / page / "index.html").read_text()))


def text(site, page):
    """The page's text, without its markup."""
    markup = (site / page / "index.html").read_text()
    return re.sub(r"\s+", " ", html.unescape(re.sub(r"<[^>]+>", "", markup)))


def public(module):
    return {name for name in vars(module) if not name.startswith("_")}


@pytest.mark.parametrize("module", [unit, core, sim], ids=lambda m: m.__name__)
def test_every_public_name_of_a_module_has_an_entry(site, module):
    if module is sim and not hasattr(sim, "reset"):
        pytest.skip("built against another library")
    found = entries(site, module.__name__.rsplit(".", 1)[1])
    missing = {n for n in public(module) if f"{module.__name__}.{n}" not in found}
    assert not missing


def test_an_overloaded_member_has_one_entry_with_each_overload_s_documentation(site):
    assert {"pyzol.unit.MB100.read", "pyzol.unit.KX210.from_file", "pyzol.unit.read"} <= entries(
        site, "unit"
    )
    assert "pyzol.core.CxImage.__init__" in entries(site, "core")
    page = text(site, "unit")
    assert "The input word: bit i is input i." in page
    assert "Whether input index is on." in page
    # Each overload's signature, `/` included where all its parameters are positional-only.
    assert "read() -> int read(index: int, /) -> bool" in page


def test_the_package_page_has_its_public_names(site):
    found = entries(site, "pyzol")
    names = set(pyzol.__all__) - {"core", "unit"}
    assert {f"pyzol.{n}" for n in names} <= found
    assert "pyzol.aio.wait_event" in found


def test_the_plugin_page_has_every_public_name_and_member(site):
    found = entries(site, "testing")
    own = vars(testing).items()
    names = {n for n, v in own if getattr(v, "__module__", "") == testing.__name__}
    classes = [v for v in vars(testing).values() if isinstance(v, type)]
    members = {f"{c.__name__}.{m}" for c in classes for m in vars(c) if not m.startswith("_")}
    missing = {n for n in (public(testing) & names) | members if f"pyzol.testing.{n}" not in found}
    assert {"Rack", "Journal.entries", "zol_rack", "failing"} <= names | members
    assert not missing


def test_the_site_opens_with_the_tour(site):
    index = text(site, ".")
    assert "A five-minute tour" in index
    assert "with pyzol.frames(cam, 4, count=100) as stream:" in index
    assert "Testing your own scripts" not in index  # the README's next section
