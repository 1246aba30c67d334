"""KX210Sio and KX310Sio: the read adapter, character conversions, a command/answer round trip
with the simulated camera, reads that let other threads run, and the companion conventions that
the serial links and the encoder units share."""

import gc
import time
import weakref

import pytest

from helpers import Background
from pyzol import sim, unit

BOARDS = ["KX210", "KX310"]
COMPANIONS = [b + suffix for b in BOARDS for suffix in ("Encoder", "Sio")]


@pytest.fixture(params=BOARDS)
def board(request):
    return request.param


def open_board(board, ident=0):
    b = getattr(unit, board)()
    b.open(ident, 0)
    return b


@pytest.fixture
def link(board):
    """An open link of board 0 channel 0 with a short time-out: a read with nothing arriving
    comes back soon."""
    s = getattr(unit, board + "Sio").from_(open_board(board))
    s.open()
    s.timeout = 20
    return s


def members(cls):
    """Public members in registration order; a writable property ends in "="."""
    return [
        name + ("=" if isinstance(m, property) and m.fset else "")
        for name, m in vars(cls).items()
        if not name.startswith("_")
    ]


def test_members_in_registration_order(board):
    assert members(getattr(unit, board + "Sio")) == [
        "from_",
        "is_valid",
        "controller=",
        "open",
        "close",
        "purge",
        "is_opened",
        "timeout=",
        "write_byte",
        "read_byte",
        "write",
        "read",
        "set_camera_mode",
    ]


# ---- the companion head of the serial links and the encoder units ------------------------------


@pytest.mark.parametrize("name", COMPANIONS)
def test_from_controller_and_copy(name):
    cls, board = getattr(unit, name), name[:5]
    b = open_board(board)
    with sim.recording() as calls:
        c = cls.from_(b)
    assert calls == [f"Cx{name}::From(Cx{board}#1)"]
    assert c.controller is b and c.is_valid
    copy = cls(c)
    assert copy == c and not (copy != c) and copy.controller is b
    d = cls()
    assert d.controller is None and not d.is_valid
    d.controller = b
    assert d == c and d.controller is b
    with pytest.raises(TypeError):
        hash(c)


@pytest.mark.parametrize("name", COMPANIONS)
def test_other_boards_are_the_cast_error_without_a_call(name):
    other = open_board("KX310" if name.startswith("KX210") else "KX210")
    cls = getattr(unit, name)
    c = cls()
    with sim.recording() as calls:
        for bad in (other, 42, unit.KX210Param()):
            with pytest.raises(RuntimeError, match="^Unable to cast Python instance of type"):
                cls.from_(bad)
            with pytest.raises(RuntimeError, match="^Unable to cast Python instance of type"):
                c.controller = bad
    assert calls == []


@pytest.mark.parametrize("name", COMPANIONS)
def test_companion_holds_the_board_it_was_made_from_or_given(name):
    cls = getattr(unit, name)
    b = open_board(name[:5])
    watch = weakref.ref(b)
    c = cls.from_(b)
    copy = cls(c)
    del b
    gc.collect()
    assert watch() is not None and c.is_valid
    c.controller = None
    gc.collect()
    assert watch() is not None  # the copy still holds it
    del copy
    gc.collect()
    assert watch() is None
    start = sim.live_objects()
    c.controller = open_board(name[:5], 1)
    assert sim.live_objects() == start + 1
    del c
    gc.collect()
    assert sim.live_objects() == start - 1


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
    # Nothing read is lost: the characters give the bytes back.
    assert text.encode("latin-1")[: len(arriving)] == arriving[:size]


def test_what_a_read_leaves_stays_for_the_next(board, link):
    sim.sio_feed(board, 0, 0, b"xyz")
    assert link.read(2) == "xy"
    assert link.read_byte() == "z"


def test_large_read_comes_from_the_heap(board, link):
    sim.sio_feed(board, 0, 0, b"hi")
    text = link.read(1 << 26)
    assert len(text) == 1 << 26
    assert text[:2] == "hi" and text.count("\0") == (1 << 26) - 2


@pytest.mark.parametrize("size", [-1, -2147483648])
def test_negative_size_is_refused_before_the_library(link, size):
    with sim.recording() as calls:
        with pytest.raises(ValueError, match=f"got {size}$"):
            link.read(size)
    assert calls == []


@pytest.mark.parametrize("size", [2147483648, 1.0, "4", None])
def test_size_that_is_not_a_32_bit_int_is_a_type_error(link, size):
    with sim.recording() as calls:
        with pytest.raises(TypeError):
            link.read(size)
    assert calls == []


# ---- bytes one at a time ---------------------------------------------------------------------


@pytest.mark.parametrize(
    "char, code", [("A", 65), ("\0", 0), ("\x80", 128), ("\xe9", 233), ("\xff", 255)]
)
def test_write_byte_sends_the_code_point(board, link, char, code):
    with sim.recording() as calls:
        link.write_byte(char)
    assert calls == [f"Cx{board}Sio::WriteByte({code})"]
    assert sim.sio_sent(board, 0, 0) == bytes([code])


@pytest.mark.parametrize(
    "value, message",
    [
        ("ab", "Expected a character, but multi-character string found"),
        ("\u0100", r"Character code point not in range\(0x100\)"),
        ("\u20ac", r"Character code point not in range\(0x100\)"),
        ("", "Cannot convert empty string to a character"),
        (None, "Cannot convert None to a character"),
    ],
)
def test_write_byte_refusals_send_nothing(board, link, value, message):
    with sim.recording() as calls:
        with pytest.raises(ValueError, match=f"^{message}$"):
            link.write_byte(value)
        with pytest.raises(TypeError):
            link.write_byte(65)
    assert calls == []
    assert sim.sio_sent(board, 0, 0) == b""


@pytest.mark.parametrize("byte", [b"a", b"\x7f", b"\x80", b"\xe9", b"\xff"])
def test_read_byte_gives_the_character_of_that_code_point(board, link, byte):
    sim.sio_feed(board, 0, 0, byte)
    assert link.read_byte() == byte.decode("latin-1")


def test_read_byte_with_nothing_arriving_is_the_time_out(board, link):
    with pytest.raises(RuntimeError, match=r"^Code:8 Line:\d+ Function:ReadByte File:"):
        link.read_byte()


# ---- text and the camera ---------------------------------------------------------------------


@pytest.mark.parametrize(
    "text, sent",
    [
        ("?ID\r", b"?ID\r"),
        ("\u00e9\u20ac", "\u00e9\u20ac".encode()),
        (b"\xff\xfe", b"\xff\xfe"),
        ("ab\0cd", b"ab"),  # the library sees the text up to its first NUL
    ],
)
def test_write_sends_utf8_or_the_bytes_given(board, link, text, sent):
    link.write(text)
    assert sim.sio_sent(board, 0, 0) == sent


@pytest.mark.parametrize("member", ["write", "set_camera_mode"])
def test_none_passes_a_null_pointer(board, link, member):
    op = {"write": "Write", "set_camera_mode": "SetCameraMode"}[member]
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
    assert settings.exposure_time == 500
    link.set_camera_mode("Fast")
    link.write("MODE?\r")
    assert link.read(5) == "Fast\r"
    assert settings.get_param("CameraMode") == "Fast"
    with pytest.raises(RuntimeError, match=r"^Code:1 Line:\d+ Function:SetCameraMode "):
        link.set_camera_mode("")  # the camera refuses an empty mode
    link.write("bogus\r")
    link.purge()  # drops the camera's pending answer
    assert link.read(3) == " \0\0"


def test_open_close_timeout_and_is_opened_reach_the_link(board):
    s = getattr(unit, board + "Sio").from_(open_board(board))
    with sim.recording() as calls:
        s.open()
        opened = (s.is_opened, sim.sio_opened(board, 0, 0))
        s.timeout = 123
        timeout = s.timeout
        s.close()
    assert opened == (True, True) and timeout == 123
    assert not s.is_opened and not sim.sio_opened(board, 0, 0)
    assert calls == [
        f"Cx{board}Sio::{op}" for op in ["Open()", "IsOpened()", "Timeout(123)", "Timeout()"]
    ] + [f"Cx{board}Sio::Close()"]
    # The link's time-out is the board's setting of that name.
    assert getattr(unit, board + "Param").from_(s.controller).get_param("SIOTimeout") == 123


# ---- waits --------------------------------------------------------------------------------------


def wait_for_call(entry, timeout=5.0):
    """Blocks until the journal (on inside `sim.recording()`) shows `entry`."""
    end = time.monotonic() + timeout
    while entry not in sim.journal():
        assert time.monotonic() < end, f"{entry} never started"
        time.sleep(0.001)


@pytest.mark.parametrize(
    "member, op, result", [("read", "Read(out, 6)", "OK\r\0\0\0"), ("read_byte", "ReadByte()", "O")]
)
def test_other_threads_run_while_a_read_waits(board, link, member, op, result):
    link.timeout = 10_000
    with sim.recording():
        reader = Background(lambda: link.read(6) if member == "read" else link.read_byte())
        # This thread gets here only if the reader let go of the interpreter inside the library.
        wait_for_call(f"Cx{board}Sio::{op}")
        sim.sio_feed(board, 0, 0, b"OK\r")
        reader.join(10)
    assert reader.error is None and reader.result == result


@pytest.mark.parametrize("member", ["read", "read_byte"])
def test_closing_the_link_ends_a_read_that_would_wait_for_ever(board, link, member):
    # Whether the close comes before or during the wait, the read ends with the library's error.
    link.timeout = -1
    with sim.recording():
        reader = Background(lambda: getattr(link, member)(*([4] if member == "read" else [])))
        wait_for_call(f"Cx{board}Sio::{'Read(out, 4)' if member == 'read' else 'ReadByte()'}")
        link.close()
        reader.join(10)
    assert not reader.is_alive()
    assert isinstance(reader.error, RuntimeError)
    assert str(reader.error).startswith("Code:")


@pytest.mark.parametrize(
    "op, call",
    [
        ("Open", lambda s: s.open()),
        ("Purge", lambda s: s.purge()),
        ("Timeout", lambda s: s.timeout),
        ("WriteByte", lambda s: s.write_byte("a")),
        ("ReadByte", lambda s: s.read_byte()),
        ("Write", lambda s: s.write("a")),
        ("Read", lambda s: s.read(3)),
        ("SetCameraMode", lambda s: s.set_camera_mode("Fast")),
    ],
)
def test_library_errors_are_translated(board, link, op, call):
    sim.fail(f"Cx{board}Sio::{op}", status=7, function="Sio", file="sio.c", line=9)
    with pytest.raises(RuntimeError, match=r"^Code:7 Line:9 Function:Sio File:sio.c$"):
        call(link)
