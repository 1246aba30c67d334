import pytest

from pyzol import sim


@pytest.fixture(autouse=True)
def fresh_rack():
    """Every test starts on a fresh simulated rack with an empty journal and no faults."""
    sim.reset()
    yield
    sim.clear_faults()
