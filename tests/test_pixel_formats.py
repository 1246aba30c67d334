"""Pixel formats of CxImage: zero-copy numpy views of the right shape and dtype, images made
from arrays, and capture boards whose camera file names the format of their frames."""

import functools

import pytest

import helpers
import pyzol
from helpers import drawn
from pyzol import core, sim, unit

np = pytest.importorskip("numpy")

F = core.ExPixelFormat
W, H = 40, 30
camera = functools.partial(helpers.camera, w=W, h=H)  # camera(tmp_path, name, **settings)

# Camera-file PixelFormat, image format, and what a view of the image is.
FORMATS = [
    ("Mono8", F.Mono8, (H, W), np.uint8),
    ("Mono10", F.Mono16, (H, W), np.uint16),
    ("Mono12", F.Mono16, (H, W), np.uint16),
    ("Mono16", F.Mono16, (H, W), np.uint16),
    ("RGB8", F.RGB8, (H, W, 3), np.uint8),
    ("BGR8", F.BGR8, (H, W, 3), np.uint8),
]
IMAGE_FORMATS = [
    (F.Mono8, (H, W), np.uint8),
    (F.Mono16, (H, W), np.uint16),
    (F.RGB8, (H, W, 3), np.uint8),
    (F.BGR8, (H, W, 3), np.uint8),
]
BYTES = {F.Mono8: 1, F.Mono16: 2, F.RGB8: 3, F.BGR8: 3}


def library_rows(image):
    """The image's rows as the library reads them (Address(), Stride()), and their padding."""
    raw = sim.image_bytes(image)
    row, stride = image.width * image.bytes_per_pixel, image.stride
    rows = [raw[y * stride : y * stride + row] for y in range(image.height)]
    padding = b"".join(raw[y * stride + row : (y + 1) * stride] for y in range(image.height))
    return rows, padding


# ---- views -------------------------------------------------------------------------------------


@pytest.mark.parametrize("fmt, shape, dtype", IMAGE_FORMATS)
@pytest.mark.parametrize("pad", [0, 6])
def test_view_has_the_formats_shape_dtype_and_stride(fmt, shape, dtype, pad):
    row = W * BYTES[fmt]
    img = core.CxImage(W, H, fmt, stride=row + pad if pad else 0)
    assert (img.pixel_format, img.bytes_per_pixel) == (fmt, BYTES[fmt])
    assert (img.stride, img.size) == (row + pad, (row + pad) * H)
    view = np.asarray(img)
    assert (view.shape, view.dtype, view.strides[0]) == (shape, dtype, row + pad)
    assert view.flags.writeable and not view.any()
    # What the view writes is what the library reads, padding left alone.
    view[...] = np.arange(view.size, dtype=dtype).reshape(shape)
    rows, padding = library_rows(img)
    assert b"".join(rows) == view.tobytes()
    assert padding == bytes(pad * H)
    assert np.shares_memory(view, np.asarray(img))


def test_memoryview_needs_no_numpy():
    view = memoryview(core.CxImage(4, 2, F.Mono16))
    assert (view.format, view.itemsize, view.shape, view.strides) == ("H", 2, (2, 4), (8, 2))
    rgb = memoryview(core.CxImage(4, 2, F.BGR8, stride=16))
    assert (rgb.format, rgb.shape, rgb.strides) == ("B", (2, 4, 3), (16, 3, 1))


# ---- images made from arrays --------------------------------------------------------------------


@pytest.mark.parametrize(
    "make, fmt, expect",
    [
        (lambda a: a, None, F.Mono8),
        (lambda a: a.astype(np.uint16) * 300, None, F.Mono16),
        (lambda a: np.dstack([a, a + 1, a + 2]), None, F.RGB8),
        (lambda a: np.dstack([a, a + 1, a + 2]), F.BGR8, F.BGR8),
        (lambda a: a[::2, 1::3], None, F.Mono8),  # strided
        (lambda a: a[::-1].astype(np.uint16), F.Mono16, F.Mono16),  # negative strides
        (lambda a: np.dstack([a, a, a])[:, ::-1, ::-1], None, F.RGB8),
        (lambda a: np.asfortranarray(a), None, F.Mono8),
    ],
)
def test_image_from_an_array_is_one_copy(make, fmt, expect):
    pixels = make(np.arange(H * W, dtype=np.uint8).reshape(H, W))
    img = core.CxImage(pixels) if fmt is None else core.CxImage(pixels, format=fmt)
    assert img.pixel_format == expect
    assert (img.height, img.width) == pixels.shape[:2]
    assert img.stride == img.width * img.bytes_per_pixel  # packed
    view = np.asarray(img)
    np.testing.assert_array_equal(view, pixels)
    assert not np.shares_memory(view, pixels)


@pytest.mark.parametrize(
    "pixels, fmt",
    [
        (np.zeros((2, 3), np.int8), None),
        (np.zeros((2, 3), np.float32), None),
        (np.zeros((2, 3), np.uint32), None),
        (np.zeros((2, 3), ">u2"), None),
        (np.zeros(6, np.uint8), None),
        (np.zeros((2, 3, 4), np.uint8), None),
        (np.zeros((2, 3, 3), np.uint16), None),
        (np.zeros((2, 3), np.uint8), F.Mono16),
        (np.zeros((2, 3), np.uint8), F.RGB8),
        (np.zeros((2, 3, 3), np.uint8), F.Mono8),
        (b"abcdef", None),
    ],
)
def test_arrays_that_are_no_image_are_refused(pixels, fmt):
    with pytest.raises(ValueError, match="^CxImage: "):
        core.CxImage(pixels, fmt)


# ---- capture in the camera file's format ---------------------------------------------------------


@pytest.mark.parametrize("name, fmt, shape, dtype", FORMATS)
def test_board_reports_the_frame_layout(tmp_path, name, fmt, shape, dtype):
    board = unit.KX210.from_file(camera(tmp_path, PixelFormat=name))
    settings = unit.KX210Param.from_(board)
    depth = int(name[4:]) if name.startswith("Mono") else 8
    layout = [settings.get_param(n) for n in ("ImageType", "ImageDepth", "ImageChannels")]
    assert layout == [int(fmt), depth, 3 if len(shape) == 3 else 1]
    saved = str(tmp_path / "saved.txt")
    board.save(saved)
    assert f"PixelFormat={name}\n" in open(saved).read()


@pytest.mark.parametrize("kind", ["KX210", "KX310", "TR520"])
@pytest.mark.parametrize("name, fmt, shape, dtype", FORMATS)
def test_captured_frames_appear_in_views_taken_before(tmp_path, kind, name, fmt, shape, dtype):
    board = getattr(unit, kind).from_file(camera(tmp_path, PixelFormat=name, TriggerCycleTime=500))
    images = [core.CxImage(W, H, fmt), core.CxImage(W + 3, H, fmt, stride=(W + 5) * BYTES[fmt])]
    views = [np.asarray(image) for image in images]
    board.lock(images)
    board.num = 5
    board.start()
    board.wait()
    # Frame 4 in slot 0, frame 3 in slot 1 (whose three extra columns stay untouched).
    np.testing.assert_array_equal(views[0], drawn(4, W, H, name))
    np.testing.assert_array_equal(views[1][:, :W], drawn(3, W, H, name))
    assert not views[1][:, W:].any()
    assert int.from_bytes(library_rows(images[0])[0][0][:4], "little") == 4


@pytest.mark.parametrize("kind", ["KX210", "KX310", "TR520"])
@pytest.mark.parametrize("name, fmt, shape, dtype", FORMATS)
def test_frames_builds_a_ring_given_as_a_number_in_the_cameras_format(
    tmp_path, kind, name, fmt, shape, dtype
):
    board = getattr(unit, kind).from_file(
        camera(tmp_path, PixelFormat=name, TriggerMode=1, Timeout=60_000)
    )
    with pyzol.frames(board, 3, count=4) as stream:
        assert [image.pixel_format for image in stream.images] == [fmt] * 3
        board.force_trigger()  # one frame at a time: none is overwritten before it is checked
        for f in stream:
            assert (f.array.shape, f.array.dtype) == (shape, dtype)
            np.testing.assert_array_equal(f.array, drawn(f.number, W, H, name))
            board.force_trigger()
    assert (f.number, stream.dropped) == (3, 0)


@pytest.mark.parametrize("name, fmt", [("Mono8", F.Mono8), ("Mono12", F.Mono16), ("RGB8", F.RGB8)])
def test_frame_number_is_drawn_in_digits_that_scale_with_the_frame(tmp_path, name, fmt):
    board = unit.KX210.from_file(
        camera(tmp_path, Width=640, Height=480, PixelFormat=name, TriggerCycleTime=0)
    )
    image = core.CxImage(640, 480, fmt)
    board.lock(image)
    board.num = 13
    board.start()
    board.wait()
    view = np.asarray(image)
    np.testing.assert_array_equal(view, drawn(12, 640, 480, name))
    # Dots of 10 x 10 pixels: the middle column of the "1" is white from row 20 to 70, in a
    # black box from (10, 10), a gap of one dot after it.
    white = {"Mono8": 255, "Mono12": 4095, "RGB8": 255}[name]
    assert (view[20:70, 30:40] == white).all()
    assert not view[10:20, 10:100].any() and not view[20:70, 50:60].any()  # the gap


def test_lock_and_validate_refuse_another_format_and_keep_nothing(tmp_path):
    board = unit.KX310.from_file(camera(tmp_path, PixelFormat="Mono12"))
    good, wrong = core.CxImage(W, H, F.Mono16), core.CxImage(W, H, F.Mono8)
    board.lock([good])
    for call in (
        lambda: board.lock([good, wrong]),
        lambda: board.lock(wrong),
        lambda: board.validate(wrong),
        lambda: board.validate([None, wrong]),
    ):
        with sim.recording() as calls, pytest.raises(RuntimeError, match=r"^Code:23 Line:\d+ "):
            call()
        assert len(calls) == 1  # the library's own refusal
    board.num = 2
    board.start()
    board.wait()
    np.testing.assert_array_equal(np.asarray(good), drawn(1, W, H, "Mono12"))
    assert not np.asarray(wrong).any()


def test_setup_changing_the_format_is_checked_at_start(tmp_path):
    board = unit.KX210.from_file(camera(tmp_path))
    board.lock([core.CxImage(W, H)])
    board.setup(camera(tmp_path, "rgb.txt", PixelFormat="RGB8"))
    with pytest.raises(RuntimeError, match=r"^Code:23 .*Function:Start "):
        board.start()


@pytest.mark.parametrize("value", ["Mono9", "rgb8", "", "Mono8 Mono16"])
def test_unknown_pixel_format_in_a_camera_file_changes_nothing(tmp_path, value):
    board = unit.KX210.from_file(camera(tmp_path, PixelFormat="RGB8"))
    bad = camera(tmp_path, "bad.txt", Width=8, PixelFormat=value)
    with pytest.raises(RuntimeError, match=r"^Code:11 .*Function:Setup "):
        board.setup(bad)
    with pytest.raises(RuntimeError, match=r"^Code:11 .*Function:FromFile "):
        unit.KX210.from_file(bad)
    settings = unit.KX210Param.from_(board)
    assert (settings.get_param("ImageType"), settings.get_param("Width")) == (int(F.RGB8), W)


def test_formatted_images_keep_the_journal_format(tmp_path):
    board = unit.KX210.from_file(camera(tmp_path, PixelFormat="BGR8"))
    sim.reset()  # serial numbers from 1
    board_images = [core.CxImage(W, H, F.BGR8), core.CxImage(W, H, F.BGR8)]
    with sim.recording() as calls:
        board.lock([board_images[0], None, board_images[1]], 3)
        board.validate(board_images[1])
    assert calls == ["CxKX210::Lock([img#1, null, img#2], 3, 3)", "CxKX210::Validate(img#2)"]
