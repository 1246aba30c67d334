"""KX210Sio and KX310Sio: the read adapter, character conversions, a command/answer round trip
with the simulated camera and reads that let other threads run; and the companion conventions
that the serial links and the encoder units share."""

import gc
import time
import weakref

import pytest

from helpers import Background
from pyzol import sim, unit

COMPANIONS = ["KX210Sio", "KX310Sio", "KX210Encoder", "KX310Encoder"]


def open_board(board, ident=0):
    b = getattr(unit, board)()
    b.open(ident, 0)
    return b


def members(cls):
    """Public members in registration order; a writable property ends in "="."""
    return [
        name + ("=" if isinstance(m, property) and m.fset else "")
        for name, m in vars(cls).items()
        if not name.startswith("_")
    ]


@pytest.fixture(params=["KX210", "KX310"])
def board(request):
    return request.param


@pytest.fixture
def link(board):
    """An open link of board 0 channel 0; a read with nothing arriving comes back soon."""
    s = getattr(unit, board + "Sio").from_(open_board(board))
    s.open()
    s.timeout = 20
    return s


def test_members_in_registration_order(board):
    assert members(getattr(unit, board + "Sio")) == (
        ["from_", "is_valid", "controller=", "open", "close", "purge", "is_opened", "timeout="]
        + ["write_byte", "read_byte", "write", "read", "set_camera_mode"]
    )


@pytest.mark.parametrize("name", COMPANIONS)
def test_companion_head_and_the_board_it_holds(name):
    cls, kind = getattr(unit, name), name[:5]
    b = open_board(kind)
    with sim.recording() as calls:
        c = cls.from_(b)
    assert calls == [f"Cx{name}::From(Cx{kind}#1)"]
    copy, d = cls(c), cls()
    assert c.controller is b and copy == c and copy.controller is b and c.is_valid
    assert d.controller is None and not d.is_valid and d != c
    watch = weakref.ref(b)
    del b
    c.controller = None
    gc.collect()
    assert watch() is not None  # the copy holds it
    del copy
    gc.collect()
    assert watch() is None
    other = open_board("KX310" if kind == "KX210" else "KX210")
    with sim.recording() as calls:
        for bad in (other, 42):
            with pytest.raises(RuntimeError, match="^Unable to cast Python instance of type"):
                cls.from_(bad)
            with pytest.raises(RuntimeError, match="^Unable to cast Python instance of type"):
                d.controller = bad
    assert calls == []


# ---- the read adapter ------------------------------------------------------------------------


@pytest.mark.parametrize(
    "arriving, size, text",
    [
        (b"", 0, ""),
        (b"", 4, " \0\0\0"),  # nothing written: the blank, then NULs
        (b"ab\r", 8, "ab\r\0\0\0\0\0"),
        (b"xyz", 2, "xy"),
        (bytes(range(0x80, 0x100)), 128, bytes(range(0x80, 0x100)).decode("latin-1")),
        (b"\0\xff ", 3, "\0\xff "),
    ],
)
def test_read_returns_exactly_size_characters(board, link, arriving, size, text):
    sim.sio_feed(board, 0, 0, arriving)
    with sim.recording() as calls:
        result = link.read(size)
    assert calls == [f"Cx{board}Sio::Read(out, {size})"]
    assert result == text
    assert result.isascii() == text.isascii()  # an ordinary str of its kind


def test_large_read_comes_from_the_heap(board, link):
    sim.sio_feed(board, 0, 0, b"hi")
    text = link.read(1 << 26)
    assert len(text) == 1 << 26 and text[:2] == "hi" and text.count("\0") == (1 << 26) - 2


@pytest.mark.parametrize(
    "size, error", [(-1, ValueError), (-(2**31), ValueError), (2**31, TypeError), (1.0, TypeError)]
)
def test_sizes_refused_before_the_library(link, size, error):
    with sim.recording() as calls:
        with pytest.raises(error, match=f"got {size}$" if error is ValueError else None):
            link.read(size)
    assert calls == []


# ---- bytes one at a time, and text -------------------------------------------------------------


@pytest.mark.parametrize("char", ["A", "\0", "\x80", "\xe9", "\xff"])
def test_write_byte_sends_the_code_point_and_read_byte_gives_it_back(board, link, char):
    with sim.recording() as calls:
        link.write_byte(char)
    assert calls == [f"Cx{board}Sio::WriteByte({ord(char)})"]
    assert sim.sio_sent(board, 0, 0) == bytes([ord(char)])
    sim.sio_feed(board, 0, 0, bytes([ord(char)]))
    assert link.read_byte() == char


@pytest.mark.parametrize(
    "value, message",
    [
        ("ab", "Expected a character, but multi-character string found"),
        ("\u0100", r"Character code point not in range\(0x100\)"),
        ("", "Cannot convert empty string to a character"),
        (None, "Cannot convert None to a character"),
    ],
)
def test_write_byte_refusals_send_nothing(board, link, value, message):
    with sim.recording() as calls:
        with pytest.raises(ValueError, match=f"^{message}$"):
            link.write_byte(value)
    assert calls == [] and sim.sio_sent(board, 0, 0) == b""


def test_read_byte_with_nothing_arriving_is_the_time_out(link):
    with pytest.raises(RuntimeError, match=r"^Code:8 Line:\d+ Function:ReadByte File:"):
        link.read_byte()


@pytest.mark.parametrize(
    "text, sent",
    [("\u00e9\u20ac", "\u00e9\u20ac".encode()), (b"\xff\xfe", b"\xff\xfe")],
)
def test_write_sends_utf8_or_the_bytes_given(board, link, text, sent):
    link.write(text)
    assert sim.sio_sent(board, 0, 0) == sent


@pytest.mark.parametrize("member, op", [("write", "Write"), ("set_camera_mode", "SetCameraMode")])
def test_none_passes_a_null_pointer(board, link, member, op):
    with sim.recording() as calls:
        with pytest.raises(RuntimeError, match=rf"^Code:3 Line:\d+ Function:{op} "):
            getattr(link, member)(None)
    assert calls == [f"Cx{board}Sio::{op}(null)"]


def test_command_and_answer_round_trip_with_the_camera(board, link):
    settings = getattr(unit, board + "Param").from_(link.controller)
    link.write("?ID\r")
    assert link.read(8) == "ZOLCAM\r\0"
    link.write("EXP=500\r")
    assert [link.read_byte() for _ in range(3)] == ["O", "K", "\r"]
    link.set_camera_mode("Fast")
    link.write("MODE?\r")
    assert link.read(5) == "Fast\r"
    assert (settings.exposure_time, settings.get_param("CameraMode")) == (500, "Fast")
    link.timeout = 7
    assert (link.timeout, settings.get_param("SIOTimeout")) == (7, 7)
    link.write("bogus\r")
    link.purge()  # drops the camera's pending answer
    assert link.read(3) == " \0\0"
    assert link.is_opened and sim.sio_opened(board, 0, 0)
    link.close()
    assert not link.is_opened and not sim.sio_opened(board, 0, 0)


# ---- waits -------------------------------------------------------------------------------------


@pytest.mark.parametrize(
    "member, op, result", [("read", "Read(out, 6)", "OK\r\0\0\0"), ("read_byte", "ReadByte()", "O")]
)
def test_other_threads_run_while_a_read_waits(board, link, member, op, result):
    link.timeout = 10_000
    with sim.recording():
        reader = Background(lambda: link.read(6) if member == "read" else link.read_byte())
        # This thread gets past here only if the reader let go of the interpreter in the library.
        end = time.monotonic() + 5
        while f"Cx{board}Sio::{op}" not in sim.journal():
            assert time.monotonic() < end, "the read never started"
            time.sleep(0.001)
        sim.sio_feed(board, 0, 0, b"OK\r")
        reader.join(10)
    assert reader.error is None and reader.result == result


@pytest.mark.parametrize(
    "op, call", [("Read", lambda s: s.read(3)), ("ReadByte", lambda s: s.read_byte())]
)
def test_library_errors_leave_a_read_translated(board, link, op, call):
    sim.fail(f"Cx{board}Sio::{op}", status=7, function="Sio", file="sio.c", line=9)
    with pytest.raises(RuntimeError, match=r"^Code:7 Line:9 Function:Sio File:sio.c\n"):
        call(link)
