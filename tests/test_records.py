"""Capture/encoder status records, DIO wait records and EventStatus."""

import pickle

import pytest

from pyzol import unit

CAPTURE_FIELDS = [
    "total_frame_count",
    "amount_in_frame",
    "last_frame_no",
    "line_count",
    "dma_schedule_peak",
    "capture_event",
]
RECORDS = {
    unit.TxKX210CaptureStatus: (CAPTURE_FIELDS, (1, 2, 3, -4, -5, 6)),
    unit.TxTR520CaptureStatus: (CAPTURE_FIELDS, (1, 2, 3, -4, -5, 6)),
    unit.TxKX310CaptureStatus: (
        ["total_frame_count", "amount_in_frame", "last_frame_no", "line_count", "capture_state"],
        (7, 8, 9, -1, 2),
    ),
    unit.TxKX310EncoderStatus: (
        [
            "is_abs_overflow",
            "is_abs_underflow",
            "a_state",
            "b_state",
            "z_state",
            "encoder_state",
            "encoder_counter",
            "rel_counter",
            "match_counter",
        ],
        (True, False, 1, 0, 0, 0, -100, 5, 7),
    ),
    unit.RM1600WaitStatus: (["event_status", "di_event_status", "di"], (4294967295, 0, 1)),
    unit.DQ160WaitStatus: (["event_status", "di_event_status", "di"], (3, 2, 1)),
}


@pytest.mark.parametrize("cls", RECORDS)
def test_fields_in_order_and_constructor(cls):
    fields, values = RECORDS[cls]
    members = [n for n in vars(cls) if not n.startswith("_")]
    assert members == fields
    rec = cls(*values)
    assert [getattr(rec, f) for f in fields] == list(values)
    default = cls()
    assert all(getattr(default, f) in (0, False) for f in fields)
    assert rec == cls(*values) and not (rec != cls(*values))
    assert rec != default


@pytest.mark.parametrize("cls", RECORDS)
def test_fields_are_read_only_and_records_unhashable(cls):
    fields, values = RECORDS[cls]
    rec = cls(*values)
    with pytest.raises(AttributeError):
        setattr(rec, fields[0], values[0])
    assert getattr(rec, fields[0]) == values[0]
    with pytest.raises(TypeError):
        hash(rec)


@pytest.mark.parametrize(
    "cls, args",
    [(unit.TxKX210CaptureStatus, (1, 2, 3, 4, 5)), (unit.TxKX310CaptureStatus, (1, 2, 3, 4, 5, 6))],
)
def test_a_wrong_number_of_constructor_arguments_is_a_type_error(cls, args):
    with pytest.raises(TypeError):
        cls(*args)


def test_encoder_flags_take_truth_values():
    rec = unit.TxKX310EncoderStatus(2, None, 1, 0, 0, 0, -100, 5, 7)
    assert rec.is_abs_overflow is True and rec.is_abs_underflow is False
    assert rec.encoder_counter == -100


@pytest.mark.parametrize(
    "a, b",
    [
        (unit.TxKX210CaptureStatus(1, 2, 3, 4, 5, 6), unit.TxTR520CaptureStatus(1, 2, 3, 4, 5, 6)),
        (unit.RM1600WaitStatus(1, 2, 3), unit.DQ160WaitStatus(1, 2, 3)),
        (unit.RM1600WaitStatus(1, 2, 3), 5),
    ],
)
def test_other_types_never_compare_equal(a, b):
    assert (a == b) is False
    assert (a != b) is True


def test_kx310_record_has_its_own_fields():
    rec = unit.TxKX310CaptureStatus()
    assert not hasattr(rec, "dma_schedule_peak") and not hasattr(rec, "capture_event")
    assert rec.capture_state == 0


def test_event_status_members_and_exports():
    assert [(m.name, int(m)) for m in unit.EventStatus.__members__.values()] == [
        ("INT", 1),
        ("DI", 2),
        ("TIMEOUT", 3),
        ("ABORT", 4),
    ]
    for name in ("INT", "DI", "TIMEOUT", "ABORT"):
        assert getattr(unit, name) is getattr(unit.EventStatus, name)
    assert (unit.EventStatus.TIMEOUT == 3) is False
    assert unit.EventStatus(2) == unit.EventStatus.DI
    assert unit.EventStatus(9).name == "???"
    assert hash(unit.EventStatus.ABORT) == hash(unit.EventStatus(4))
    assert pickle.loads(pickle.dumps(unit.EventStatus.INT)) == unit.EventStatus.INT
