"""The name tables of the capture boards' settings objects and of the encoder units, checked name
by name against a copy of their lists written out below (kept apart from the module's own data on
purpose): every name reaches the library with its kind's value model, every other name is refused
by the table function (or the encoder's member) itself before any call, and values convert as
each kind demands."""

import pytest

from helpers import module_error, opened
from pyzol import _tables, sim, unit

SIGNED, UNSIGNED, TEXT = "model(8,1)", "model(4,1)", "model(0,0)"
RW, RO = True, False

KX210 = [
    (
        SIGNED,
        RW,
        """
    Width Height OffsetW OffsetH OffsetMode OffsetTrgW OffsetTrgH Timeout Version
    SendCommandEnable SendCommandWaitTime Configuration BitWidth RBReverse TapCount Force8
    LineSensorEnable EncoderMode ScanMode DvalEnable PackingMode Alignment16 FormatType XReverse
    YReverse YStep Arrangement HighSpeed BlankingTime CC1Enable CC1Mode CC1Positive CC2Enable
    CC2Mode CC2Positive CC3Enable CC3Mode CC3Positive CC4Enable CC4Mode CC4Positive EXPEnable
    EXPMode EXPPositive AutoTrigger ExternalTrigger InTriggerOrEnable ExTriggerOrEnable
    ExposureTime TriggerBetaTime TriggerDelayTime TriggerCycleTime TriggerRetry TriggerMaskTime
    ExtTriggerSrc Assert Negate TriggerMaskTimeMode TriggerMode SimTrigger ENCSampling ENCStart
    ENCComp1 ENCInit ENCDir ENCSwapAB SIORxMode SIOTxMode SIOBaudRate SIORxBufSize SIOTxBufSize
    SIOOption SIOSendMode SIOTimeout ENCInputCH PGRunMode PGStart
    """,
    ),
    (
        SIGNED,
        RO,
        """
    DeviceID DeviceType BoardType CameraConnect DetectTrigger Channel FpgaVersion MaskedTrigger
    ExTriggerRef TriggerMaskLineNum SIOOpenFlag BayerMode ImageWidth ImageHeight ImageChannels
    ImageDepth ImageType ImagePack
    """,
    ),
    (UNSIGNED, RW, "ENCComp2"),
    (TEXT, RW, "CameraName CameraMaker CameraMode SIOSTX SIOETX SIORETX"),
    (TEXT, RO, "DriverVersion"),
]
KX310 = [
    (
        SIGNED,
        RW,
        """
    Width Height OffsetW OffsetH OffsetMode OffsetTrgW OffsetTrgH Timeout Version
    SendCommandEnable SendCommandWaitTime Configuration BitWidth RBReverse TapCount Force8
    LineSensorEnable ScanMode DvalEnable PackingMode Alignment16 FormatType XReverse YReverse
    YStep Arrangement CC1Enable CC1Mode CC1Positive CC2Enable CC2Mode CC2Positive CC3Enable
    CC3Mode CC3Positive CC4Enable CC4Mode CC4Positive EXPEnable EXPMode EXPPositive
    ExternalTrigger IntTriggerChSel ExtTriggerChSel ExtTriggerSrc ExtInControlMode Assert Negate
    EncoderMode ExposureTime TriggerBetaTime TriggerDelayTime TriggerCycleTime TriggerRetry
    TriggerMaskTime TriggerRetryMode TriggerMaskMode TriggerMode PLLReconfig ENCSampling
    ENCStart ENCComp1 ENCResetSource ENCDir ENCSwapAB ENCSignalSource SIOBaudRate SIOOption
    SIOSendMode SIOTimeout PoCLControl ENCIn0Termination ENCIn1Termination EncoderActMode
    ClearTriggerMaskMode GrabEnableSelector
    """,
    ),
    (
        SIGNED,
        RO,
        """
    DeviceID DeviceType CameraConnect PGStatus Channel TapSwap BlankingTime BayerMode
    CameraClock SIOOpenFlag PLLReconfigStatus ImageWidth ImageHeight ImageChannels ImageDepth
    ImageType ImagePack
    """,
    ),
    (UNSIGNED, RW, "ENCComp2"),
    (TEXT, RW, "CameraName CameraMaker CameraMode SIOSTX SIOETX SIORETX"),
    (TEXT, RO, "DriverVersion FpgaVersion"),
]
TR520 = [
    (
        SIGNED,
        RW,
        """
    TriggerMode VideoOffset FieldDetection ExposureTime ShutterPrecision Width Height OffsetW
    OffsetH OffsetTrgW OffsetTrgH Timeout Version NormalModeWaitTime CameraTriggerSyncMode
    TriggerSharingMode TriggerSharingChannel SyncMode HCycle VCycle VCycleTrg HDWidth VDWidth
    ClampStart ClampEnd VideoDelay SyncPhase SyncTerminate PllVDW PllRDW PllOD TriggerSyncMode
    TriggerLogic TriggerIndexLogic TriggerInputPin TriggerReadyWait TriggerVDDelay
    TriggerIndexTimeout TriggerDelay TriggerDelaySelect ExpEnable ExpLogic ExpStop SimTriggerIn
    SimTriggerEx
    """,
    ),
    (
        SIGNED,
        RO,
        """
    DeviceID DeviceType Channel FpgaVersion ExtTriggerEnabled ImageWidth ImageHeight FormatType
    ImageType ImagePack ImageDepth
    """,
    ),
    (TEXT, RW, "CameraName CameraMaker CameraMode"),
    (TEXT, RO, "DriverVersion ImageSize"),
]

# The encoder units: every name readable and writable.
KX210_ENCODER = [
    (SIGNED, RW, "EncoderMode ENCSampling ENCStart ENCComp1 ENCInit ENCDir ENCSwapAB ENCInputCH"),
    (UNSIGNED, RW, "ENCComp2"),
]
KX310_ENCODER = [
    (
        SIGNED,
        RW,
        """
    EncoderMode ENCSampling ENCStart ENCComp1 ENCResetSource ENCDir ENCSwapAB ENCSignalSource
    EncoderActMode
    """,
    ),
    (UNSIGNED, RW, "ENCComp2"),
]

# Keyed by the object that carries the table: a board's settings object, or an encoder unit.
TABLES = {
    "KX210": KX210,
    "KX310": KX310,
    "TR520": TR520,
    "KX210Encoder": KX210_ENCODER,
    "KX310Encoder": KX310_ENCODER,
}


def names(board, writable_only=False):
    """{name: model} of one board's readable (or writable) names."""
    return {
        name: kind
        for kind, writable, text in TABLES[board]
        if writable or not writable_only
        for name in text.split()
    }


@pytest.mark.parametrize(
    "board, readable, writable",
    [
        ("KX210", 103, 84),
        ("KX310", 102, 83),
        ("TR520", 61, 48),
        ("KX210Encoder", 9, 9),
        ("KX310Encoder", 10, 10),
    ],
)
def test_copy_of_the_lists_has_the_written_counts(board, readable, writable):
    listed = [n for _, _, text in TABLES[board] for n in text.split()]
    assert len(listed) == len(set(listed)) == readable
    assert len(names(board, writable_only=True)) == writable


@pytest.mark.parametrize("board", TABLES)
def test_the_listed_tables_are_the_ones_names_are_checked_against(board):
    """pyzol._tables (what the settings mapping lists) gives each name in table order with the
    kind it is read and written as, as the copy above."""
    kinds = {SIGNED: "signed", UNSIGNED: "unsigned", TEXT: "text"}
    expected = [
        (name, kinds[kind], kinds[kind] if writable else None)
        for kind, writable, text in TABLES[board]
        for name in text.split()
    ]
    entries, commands = _tables.table(owner(board))
    assert sorted(entries) == sorted(expected)  # the copy is grouped by kind, not table order
    assert (commands is None) == board.endswith("Encoder")


def owner(board):
    """The class carrying the table: KX210Param for "KX210", KX210Encoder for itself."""
    return board if board.endswith("Encoder") else board + "Param"


def settings_of(board):
    return getattr(unit, owner(board)).from_(opened(board[:5]))


def first_name(board):
    return TABLES[board][0][2].split()[0]


def refusal(board, direction):
    """The error of a name outside a table: a board's table function throws it, an encoder unit's
    bound member (function "operator()")."""
    if board.endswith("Encoder"):
        return module_error(1, "operator()")
    function = f"{board.lower()}_{direction}_param"
    return module_error(1, function)


def value_for(kind, i):
    return {SIGNED: -i, UNSIGNED: 4294967295 - i, TEXT: f"text {i}"}[kind]


def shown(value):
    return f'"{value}"' if isinstance(value, str) else str(value)


@pytest.mark.parametrize("board", TABLES)
def test_every_readable_name_reaches_get_param_with_its_model(board):
    p = settings_of(board)
    readable = names(board)
    with sim.recording() as calls:
        results = {name: p.get_param(name) for name in readable}
    assert calls == [
        f'Cx{owner(board)}::GetParam("{name}", out, {kind})' for name, kind in readable.items()
    ]
    for name, kind in readable.items():
        assert type(results[name]) is (str if kind == TEXT else int), name


@pytest.mark.parametrize("board", TABLES)
def test_every_writable_name_reaches_set_param_and_reads_back(board):
    p = settings_of(board)
    writable = names(board, writable_only=True)
    values = {name: value_for(kind, i) for i, (name, kind) in enumerate(writable.items())}
    with sim.recording() as calls:
        for name, value in values.items():
            p.set_param(name, value)
    assert calls == [
        f'Cx{owner(board)}::SetParam("{name}", {shown(value)}, {writable[name]})'
        for name, value in values.items()
    ]
    # The library's store took each value under its name.
    assert {name: p.get_param(name) for name in values} == values


def every_known_name():
    known = {n for board in TABLES for n in names(board)}
    variants = {"", "width", "WIDTH", "Width ", " Width", "Widt", "Widths", "ENCCOMP2"}
    return sorted(known | variants)


@pytest.mark.parametrize("board", TABLES)
@pytest.mark.parametrize("direction", ["get", "set"])
def test_names_outside_a_direction_are_refused_before_any_call(board, direction):
    p = settings_of(board)
    known = names(board, writable_only=direction == "set")
    refused = [n for n in every_known_name() if n not in known]
    pattern = refusal(board, direction)
    with sim.recording() as calls:
        for name in refused:
            with pytest.raises(RuntimeError, match=pattern):
                if direction == "get":
                    p.get_param(name)
                else:
                    p.set_param(name, 1.5)  # no kind takes 1.5: the name is decided first
    assert calls == []


CAST_ERROR = r"^Unable to cast Python instance of type <class '\w+'> to C\+\+ type '\?'"


@pytest.mark.parametrize(
    "board, name, value, passed",
    [
        ("KX210", "Width", True, "1"),
        ("KX210", "Width", -2147483648, "-2147483648"),
        ("KX210", "ENCComp2", 4294967295, "4294967295"),
        ("KX310", "ENCComp2", False, "0"),
        ("TR520", "VideoOffset", -1, "-1"),
        ("KX210", "CameraName", "abc", '"abc"'),
        ("KX210", "CameraName", b"abc", '"abc"'),
        ("KX310", "SIOSTX", bytearray(b"abc"), '"abc"'),
        ("KX210", "CameraMaker", "\u00e9", r'"\xc3\xa9"'),
        ("KX310", "PLLReconfig", 1, "1"),
        ("KX210Encoder", "ENCComp2", 4294967295, "4294967295"),
        ("KX310Encoder", "ENCStart", -1, "-1"),
        ("KX310Encoder", "EncoderActMode", True, "1"),
    ],
)
def test_values_that_convert_reach_the_library(board, name, value, passed):
    p = settings_of(board)
    with sim.recording() as calls:
        p.set_param(name, value)
    kind = names(board)[name]
    assert calls == [f'Cx{owner(board)}::SetParam("{name}", {passed}, {kind})']


@pytest.mark.parametrize(
    "board, name, value",
    [
        ("KX210", "Width", 1.5),
        ("KX210", "Width", 2147483648),
        ("KX210", "Width", -2147483649),
        ("KX210", "Width", "5"),
        ("KX210", "Width", None),
        ("KX210", "ENCComp2", -1),
        ("KX210", "ENCComp2", 4294967296),
        ("KX310", "ENCComp2", -5),
        ("KX310", "ENCComp2", 1.0),
        ("TR520", "VideoOffset", 4294967295),
        ("KX210", "CameraName", 5),
        ("KX310", "CameraName", None),
        ("TR520", "CameraName", 1.5),
        ("KX210Encoder", "ENCComp2", -1),
        ("KX310Encoder", "ENCComp2", -1),
        ("KX210Encoder", "ENCInit", 2147483648),
        ("KX310Encoder", "ENCDir", "1"),
    ],
)
def test_values_that_do_not_convert_are_cast_errors_without_a_call(board, name, value):
    p = settings_of(board)
    with sim.recording() as calls:
        with pytest.raises(RuntimeError, match=CAST_ERROR):
            p.set_param(name, value)
    assert calls == []


@pytest.mark.parametrize("board", TABLES)
def test_name_as_bytes_matches_like_str(board):
    p = settings_of(board)
    name = first_name(board)  # a signed name
    with sim.recording() as calls:
        p.set_param(name.encode(), 7)
        assert p.get_param(bytearray(name.encode())) == 7
    assert calls == [
        f'Cx{owner(board)}::SetParam("{name}", 7, model(8,1))',
        f'Cx{owner(board)}::GetParam("{name}", out, model(8,1))',
    ]


# A text that is not UTF-8, written as bytes or by a camera file, reads back with those bytes
# kept as surrogates, as the os module decodes file names: encoding it the same way gives them.
@pytest.mark.parametrize("written", ["as bytes", "by a camera file"])
def test_text_that_is_not_utf8_reads_back_losslessly(tmp_path, written):
    raw = b"Cam\xff\xfe\xb5"
    if written == "as bytes":
        p = settings_of("KX310")
        p.set_param("CameraName", raw)
    else:  # read through the generic device, from the table its file's board type names
        (tmp_path / "cam.txt").write_bytes(b"Width=64\nHeight=48\nCameraName=" + raw + b"\n")
        p = unit.Video.from_file(str(tmp_path / "cam.txt"))
    text = p.get_param("CameraName")
    assert text == "Cam\udcff\udcfe\udcb5"
    assert text.encode("utf-8", "surrogateescape") == raw
    p.set_param("CameraName", "ok")
    assert p.get_param("CameraName") == "ok"


@pytest.mark.parametrize(
    "op, call",
    [("GetParam", lambda p: p.get_param("Width")), ("SetParam", lambda p: p.set_param("Width", 1))],
)
def test_library_errors_pass_through(op, call):
    p = settings_of("KX310")
    sim.fail(f"CxKX310Param::{op}", status=7, function="Store", file="lib.c", line=12)
    with pytest.raises(RuntimeError, match=r"^Code:7 Line:12 Function:Store File:lib.c\n"):
        call(p)
    assert p.get_param("Width") == 640
