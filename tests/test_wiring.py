"""The rack's wiring (pyzol.sim.wire, unwire, wiring): what it connects, what it refuses, and that
a fresh rack has none."""

import itertools

import pytest

from helpers import opened
from pyzol import sim

OUT = ("RM1600", 0, "out", 3)
TRIGGER = ("KX210", 0, "trigger", 0)
STROBE = ("KX210", 0, "strobe", 0)
IN = ("MB100", 1, "in", 2)


def test_wiring_lists_the_wires_in_the_order_they_were_made():
    sim.wire(OUT, TRIGGER)
    sim.wire(STROBE, IN)
    sim.wire(OUT, ("KX310", 2, "trigger", 1))
    assert sim.wiring() == [(OUT, TRIGGER), (STROBE, IN), (OUT, ("KX310", 2, "trigger", 1))]


def test_unwire_takes_only_that_wire_out():
    sim.wire(OUT, TRIGGER)
    sim.wire(STROBE, IN)
    sim.unwire(OUT, TRIGGER)
    assert sim.wiring() == [(STROBE, IN)]


def test_a_fresh_rack_has_no_wires():
    sim.wire(OUT, TRIGGER)
    sim.reset()
    assert sim.wiring() == []


@pytest.mark.parametrize(
    "source, sink", list(itertools.permutations(["MB100", "RM1600", "DQ160"], 2))
)
def test_an_io_output_drives_an_input_of_another_io_board(source, sink):
    writer = opened(source, 0)
    sim.wire((source, 0, "out", 5), (sink, 1, "in", 30))
    writer.write(5, True)
    assert sim.inputs(sink, 1) == 1 << 30
    writer.write(5, False)
    assert sim.inputs(sink, 1) == 0


def test_an_output_drives_every_input_wired_to_it():
    writer = opened("RM1600", 0)
    sim.wire(OUT, ("MB100", 1, "in", 0))
    sim.wire(OUT, ("DQ160", 2, "in", 7))
    writer.write(1 << 3)
    assert (sim.inputs("MB100", 1), sim.inputs("DQ160", 2)) == (1, 1 << 7)


def test_a_wired_input_adds_to_what_the_simulation_drives():
    writer = opened("RM1600", 0)
    sim.set_inputs("MB100", 1, 0b1)
    sim.wire(OUT, IN)
    writer.write(3, True)
    assert sim.inputs("MB100", 1) == 0b101


@pytest.mark.parametrize("high", [True, False])
def test_an_input_takes_the_outputs_level_when_wired(high):
    opened("RM1600", 0).write(3, high)
    sim.wire(OUT, IN)
    assert sim.inputs("MB100", 1) == (4 if high else 0)


def test_an_unwired_input_falls_low():
    writer = opened("RM1600", 0)
    sim.wire(OUT, IN)
    writer.write(3, True)
    sim.unwire(OUT, IN)
    assert sim.inputs("MB100", 1) == 0


@pytest.mark.parametrize(
    "source, sink, error, message",
    [
        (("RM1600", 0, "in", 3), TRIGGER, ValueError, r"source: .* is an input: expected an"),
        (OUT, ("MB100", 1, "out", 0), ValueError, r"sink: .* is an output: expected an input"),
        (OUT, ("RM1600", 0, "in", 4), ValueError, r"not wired to itself"),
        (STROBE, ("KX210", 0, "trigger", 1), ValueError, r"not wired to itself"),
        (("XY9", 0, "out", 3), TRIGGER, ValueError, r"source: no board 'XY9': expected MB100"),
        (OUT, ("KX210", 4, "trigger", 0), ValueError, r"sink: no KX210 with id 4: expected 0 to 3"),
        (("RM1600", 0, "out", 32), TRIGGER, ValueError, r"no bit 32: expected 0 to 31"),
        (OUT, ("KX210", 0, "trigger", 2), ValueError, r"no channel 2: expected 0 to 1"),
        (OUT, ("KX210", 0, "clock", 0), ValueError, r"'clock': expected 'trigger', 'line'"),
        (("RM1600", 0, "strobe", 0), TRIGGER, ValueError, r"no terminal 'strobe': expected 'out'"),
        (("TR520", 0, "encoder", 0), ("TR520", 0, "trigger", 0), ValueError,
         r"a TR520 has no encoder unit"),
        (OUT, ("TR520", 0, "line", 0), ValueError, r"a TR520 has no line trigger input"),
        (("KX210", 0, "encoder", 0), ("KX210", 0, "trigger", 1), ValueError,
         r"reaches only the trigger or line input of its own channel"),
        (("KX210", 0, "encoder", 0), ("KX310", 0, "trigger", 0), ValueError,
         r"reaches only the trigger or line input of its own channel"),
        (("KX210", 0, "encoder", 0), IN, ValueError,
         r"reaches only the trigger or line input of its own channel"),
        ("RM1600", TRIGGER, TypeError, r"source: expected a tuple \(board: str, .*got a str"),
        (OUT, ("KX210", 0, "trigger"), TypeError, r"sink: expected a tuple .*got a tuple of 3"),
        ((b"RM1600", 0, "out", 3), TRIGGER, TypeError, r"source: .*got board b'RM1600'"),
        (("RM1600", 0.0, "out", 3), TRIGGER, TypeError, r"source: .*got id 0\.0"),
        (("RM1600", 0, "out", True), TRIGGER, TypeError, r"source: .*got index True"),
        (("RM1600", 0, "out", 2**70), TRIGGER, ValueError, r"no bit 1073741824"),
    ],
)  # fmt: skip
def test_wire_refuses_what_the_rack_cannot_have_and_wires_nothing(source, sink, error, message):
    with pytest.raises(error, match=message):
        sim.wire(source, sink)
    assert sim.wiring() == []


def test_an_input_has_one_driver():
    sim.wire(OUT, TRIGGER)
    with pytest.raises(ValueError, match=r"is driven by \(\"RM1600\", 0, \"out\", 3\) already"):
        sim.wire(("MB100", 0, "out", 0), TRIGGER)
    assert sim.wiring() == [(OUT, TRIGGER)]


def test_a_wire_is_made_once():
    sim.wire(OUT, TRIGGER)
    with pytest.raises(ValueError, match="already wired"):
        sim.wire(OUT, TRIGGER)
    assert sim.wiring() == [(OUT, TRIGGER)]


def test_the_encoder_reaches_the_trigger_input_besides_its_driver():
    encoder = ("KX210", 0, "encoder", 0)
    sim.wire(OUT, TRIGGER)
    sim.wire(encoder, TRIGGER)
    assert sim.wiring() == [(OUT, TRIGGER), (encoder, TRIGGER)]


@pytest.mark.parametrize("wired", [False, True], ids=["never", "other"])
def test_unwire_refuses_a_wire_that_is_not_there(wired):
    if wired:
        sim.wire(OUT, IN)
    with pytest.raises(ValueError, match=r"not wired: .* see wiring\(\)"):
        sim.unwire(OUT, TRIGGER)
    assert sim.wiring() == ([(OUT, IN)] if wired else [])
