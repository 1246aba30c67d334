import gc

import pytest

from helpers import camera
from pyzol import sim


@pytest.fixture(autouse=True)
def fresh_rack(zol_rack):
    """Every test starts on a fresh simulated rack with an empty journal, on, and no faults
    (the plugin's zol_rack, which pyzol registers with pytest); the rack is the fixture's value."""
    return zol_rack


@pytest.fixture
def camera_file(tmp_path):
    """Writes a camera file of `Name=Value` lines into the test's folder and gives its path:
    camera_file(name="cam.txt", w=64, h=48, **settings)."""

    def write(name="cam.txt", **settings):
        return camera(tmp_path, name, **settings)

    return write


@pytest.fixture
def no_leaks():
    """Fails the test when a library object made during it is still alive once it ended.
    Gives the count of live library objects at the start."""
    gc.collect()
    start = sim.live_objects()
    yield start
    gc.collect()
    assert sim.live_objects() == start, "library objects outlived the test"
