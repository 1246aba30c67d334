"""pyzol.testing, the pytest plugin that installing pyzol registers, as a user's tests meet it:
each inner run is a project of its own in a fresh folder, found by pytest with nothing but the
installed package (no conftest of this suite, no `-p`)."""

import textwrap

import pytest

from pyzol import sim, unit
from pyzol.testing import failing

pytest_plugins = ["pytester"]

# The user's script: what their tests check.
SCRIPT = """
from pyzol import unit

def run(word):
    board = unit.MB100()
    board.open(0)
    board.write(word)
    return board
"""

USER_TESTS = """
import pytest
import script
from pyzol.testing import failing

def test_the_rack_s_journal_shows_the_script(zol_rack):
    script.run(5)
    assert zol_rack.journal.entries() == ["CxMB100::Open(0)", "CxMB100::Write(5)"]
    assert zol_rack.outputs("MB100", 0) == 5

def test_the_journal_filters_by_operation(zol_journal):
    script.run(5)
    script.run(6)
    assert zol_journal.entries("CxMB100::Write") == ["CxMB100::Write(5)", "CxMB100::Write(6)"]
    assert zol_journal.operations() == ["CxMB100::Open", "CxMB100::Write"] * 2

@pytest.mark.zol_sim
def test_an_injected_failure_reaches_the_script():
    with failing("CxMB100::Write", status=5) as fault:
        with pytest.raises(RuntimeError, match="^Code:5 "):
            script.run(5)
    assert fault.fired == 1

def test_leaves_a_fault_armed(zol_rack):
    {leave}

def test_finds_no_fault_left():
    script.run(1)
"""


@pytest.mark.parametrize(
    "leave",
    [
        'zol_rack.fail("CxMB100::Write", status=9, count=3)',
        'with failing("CxMB100::Write", count=3), pytest.raises(RuntimeError):\n'
        "        script.run(1)\n"
        '    assert zol_rack.pending_faults("CxMB100::Write") == 0',
    ],
    ids=["for the fixture", "by failing"],
)
def test_a_user_s_tests_drive_the_rack_and_leave_nothing_behind(pytester, leave):
    sim.set_journal(False)
    pytester.makepyfile(script=SCRIPT, test_user=USER_TESTS.replace("{leave}", leave))
    result = pytester.runpytest()
    result.assert_outcomes(passed=5)
    assert sim.pending_faults("CxMB100::Write") == 0
    assert not sim.journal_on()  # turned back off, as the inner run found it


@pytest.mark.parametrize(
    "test",
    [
        "@pytest.mark.zol_sim\ndef test_needs_sim():",
        "def test_needs_sim(zol_rack):",
        "def test_needs_sim(zol_journal):",
        "def test_needs_sim():\n    with failing('CxMB100::Open'):",
    ],
    ids=["marker", "zol_rack", "zol_journal", "failing"],
)
def test_without_sim_the_tests_that_need_it_are_skipped(pytester, test):
    # As on a build against the maker's library: `import pyzol.sim` fails.
    pytester.makeconftest("import sys\nsys.modules['pyzol.sim'] = None\n")
    body = textwrap.indent("raise AssertionError('ran')", "    " * (1 + test.count(":\n")))
    pytester.makepyfile(
        f"import pytest\nfrom pyzol.testing import failing\n\n{test}\n{body}\n\n"
        "def test_plain():\n    pass\n"
    )
    result = pytester.runpytest("-v", "-rs")
    result.assert_outcomes(passed=1, skipped=1)
    result.stdout.fnmatch_lines(
        ["*::test_needs_sim SKIPPED*", "SKIPPED *: needs pyzol.sim: *maker's library"]
    )


def test_pytest_start_up_imports_neither_sim_nor_numpy(pytester, monkeypatch):
    # Only this plugin is loaded: other installed plugins may import numpy themselves (zarr's
    # does). Loaded by its module's name, as the entry point names it.
    monkeypatch.setenv("PYTEST_DISABLE_PLUGIN_AUTOLOAD", "1")
    pytester.makepyfile(
        """
        import sys

        def test_loaded(pytestconfig):
            assert pytestconfig.pluginmanager.has_plugin("pyzol.testing")
            assert not {"pyzol.sim", "numpy"} & set(sys.modules)
        """
    )
    pytester.runpytest_subprocess("-p", "pyzol.testing").assert_outcomes(passed=1)


def test_the_journal_keeps_its_point_across_a_clear(zol_journal):
    board = unit.MB100()
    board.open(0)
    zol_journal.restart()
    sim.clear_journal()
    board.write(2)
    board.write(3)
    assert zol_journal.entries() == ["CxMB100::Write(2)", "CxMB100::Write(3)"]
    assert zol_journal.count("CxMB100::Write") == 2


def arm_misspelt(_journal):
    with failing("CxMB100::Wirte"):
        pass


def filter_misspelt(journal):
    journal.entries("CxMB100::Wirte")


@pytest.mark.parametrize("use", [filter_misspelt, arm_misspelt], ids=["filter", "fault"])
def test_a_misspelt_operation_is_refused(zol_journal, use):
    with pytest.raises(ValueError, match="no operation 'CxMB100::Wirte'"):
        use(zol_journal)
