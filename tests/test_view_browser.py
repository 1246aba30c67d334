"""The live view's page in headless Chromium (Debian's, driven by playwright): frames drawn and
changing, a setting written on the page, a refused value shown beside its field, a recording
of 50 frames, the pixel under the cursor. With PYZOL_VIEW_SCREENSHOT=PATH set, the page's
screenshot is written there (the README's docs/view.png); otherwise only into tmp_path."""

import os
import re
import shutil
import time

import numpy as np
import pytest

import pyzol
from helpers import until
from pyzol import core, sim

pytest.importorskip("aiohttp")
tifffile = pytest.importorskip("tifffile")
Image = pytest.importorskip("PIL.Image")
sync_api = pytest.importorskip("playwright.sync_api")
CHROMIUM = shutil.which("chromium") or shutil.which("chromium-browser")
if CHROMIUM is None:
    pytest.skip(
        "no chromium on this machine (scripts/setup.sh test installs it)", allow_module_level=True
    )

from pyzol.view import ViewServer  # noqa: E402


@pytest.fixture(scope="module")
def browser():
    with sync_api.sync_playwright() as playwright:
        launched = playwright.chromium.launch(executable_path=CHROMIUM, args=["--no-sandbox"])
        yield launched
        launched.close()


@pytest.fixture
def cam():
    with pyzol.open("KX210", camera=pyzol.demo_camera()) as board:
        yield board


@pytest.fixture
def page(browser, cam, tmp_path):
    with ViewServer(cam, str(tmp_path), port=0).in_thread() as server:
        opened = browser.new_page(viewport={"width": 1280, "height": 720})
        errors = []
        opened.on("pageerror", lambda error: errors.append(error))
        opened.goto(server.url)
        shown_frame(opened)
        yield opened
        opened.close()
        assert errors == []


def shown_frame(page, after=None):
    """The frame number the page shows, once it shows one (other than `after`)."""
    page.wait_for_function(
        "after => !['-', after].includes(document.querySelector('#frame-number').textContent)",
        arg=str(after), timeout=15_000,
    )  # fmt: skip
    return int(page.text_content("#frame-number"))


def frame_corner(page, path):
    """The canvas's top-left corner, where the test pattern draws the frame number."""
    box = page.locator("#frame").bounding_box()
    page.screenshot(
        path=str(path), clip={"x": box["x"], "y": box["y"], "width": 200, "height": 120}
    )
    return np.asarray(Image.open(path).convert("L"))


def test_the_page_shows_frames_that_change(page, tmp_path):
    first = shown_frame(page)
    before = frame_corner(page, tmp_path / "a.png")
    later = shown_frame(page, after=first)
    page.wait_for_timeout(100)
    after = frame_corner(page, tmp_path / "b.png")
    assert later > first
    assert (before != after).mean() > 0.01  # the number drawn in the frame changed
    assert float(page.text_content("#page-fps")) > 0
    shot = os.environ.get("PYZOL_VIEW_SCREENSHOT")
    page.screenshot(path=shot or str(tmp_path / "view.png"))


def setting_row(page, name):
    return page.locator(f'table.settings[data-board="camera"] tr[data-name="{name}"]')


def write_on_page(page, name, text):
    field = setting_row(page, name).locator("input")
    field.fill(text)
    field.press("Enter")


def test_a_setting_written_on_the_page_reaches_the_board(page, cam):
    write_on_page(page, "ExposureTime", "1500")
    deadline = time.monotonic() + 10
    while not any('SetParam("ExposureTime", 1500' in e for e in sim.journal()):
        assert time.monotonic() < deadline, "the write never reached the library"
        time.sleep(0.02)
    assert cam.settings["ExposureTime"] == 1500


@pytest.mark.parametrize(
    "name, text, shown",
    [("ExposureTime", "fast", "takes an int"), ("ExposureTime", "99999999999", "out of range")],
)
def test_a_refused_value_shows_its_error_beside_the_field(page, name, text, shown):
    write_on_page(page, name, text)
    error = page.locator(f'table.settings[data-board="camera"] tr[data-name="{name}"] + tr .error')
    error.filter(has_text=shown).wait_for(timeout=10_000)


def test_a_recording_of_50_frames_makes_a_tiff_of_50_pages(page, tmp_path):
    page.fill("#rec-frames", "50")
    page.click("#record")
    page.locator("#rec-progress").filter(has_text="50 of 50 frames, done").wait_for(timeout=20_000)
    (name,) = [n for n in os.listdir(tmp_path) if n.endswith(".tif")]
    with tifffile.TiffFile(tmp_path / name) as tif:
        assert len(tif.pages) == 50
    assert page.text_content("#dropped") == "0"


def test_stop_and_one_frame_hold_the_picture(page, cam):
    page.click("#stop")
    page.locator("#state").filter(has_text="stopped").wait_for()
    page.click("#snap")
    # The one frame is frame 0 of its run (not any number with a 0 in it), and its run ends.
    page.locator("#frame-number").filter(has_text=re.compile(r"^0$")).wait_for()
    until(lambda: not cam.unit.is_running)


def test_the_pixel_under_the_cursor_is_the_frames(page, cam):
    page.click("#stop")
    page.locator("#state").filter(has_text="stopped").wait_for()
    box = page.locator("#frame").bounding_box()
    page.mouse.move(box["x"] + box["width"] / 2, box["y"] + box["height"] / 2)
    match = re.fullmatch(r"\((\d+), (\d+)\) (\d+)", page.text_content("#pixel"))
    x, y, value = map(int, match.groups())
    expected = core.CxImage(640, 480)
    sim.draw_test_frame(expected, int(page.text_content("#frame-number")))
    assert np.asarray(expected)[y, x] == value
