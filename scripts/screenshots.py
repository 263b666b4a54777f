"""Makes the README's pictures from the real Dimlux.exe under Wine on a private Xvfb display:
widget-100.png and widget-150.png (the widget at 96 and 144 dpi) and blanked.png, in docs/ or the folder given.
Each picture is checked to show the widget: its two faces in their colours, or the screen blanked red.

    scripts/screenshots [FOLDER]   (builds the win32 exe and the driver first, if they are missing)
    scripts/screenshots --check PICTURE   (a screenshot of the whole screen shows the widget)

The Wine prefixes go under build/screenshots, or under $DIMLUX_E2E_ROOT when set (as for the e2e tests).
"""
import os
import subprocess
import sys
from pathlib import Path

from tests.e2e.harness import dimlux
from tests.e2e.harness.wine import Display, make_template

ROOT = Path(__file__).resolve().parents[1]
PLACE = (40, 30)  # where the widget is put on the screen, in pixels
MARGIN = 12
RED, PINK = dimlux.FACES[dimlux.CMD_TURN_OFF], dimlux.FACES[dimlux.CMD_SETTINGS]
# The least share of a picture's pixels in each face colour for it to show the widget.
WIDGET_SHARES = {RED: 0.08, PINK: 0.03}
BLANKED_SHARES = {RED: 0.8}
SCREEN_SHARES = {RED: 500 / (1024 * 768)}  # a few hundred pixels of the red face


def build(preset, target, path):
    if not path.exists():
        subprocess.run(["cmake", "--preset", preset], cwd=ROOT, check=True, stdout=subprocess.DEVNULL)
        subprocess.run(["cmake", "--build", "--preset", preset, "--target", target], cwd=ROOT, check=True)
    return path


def colour_shares(path):
    """{(red, green, blue): share of the picture's pixels} of an image file."""
    raw = subprocess.run(["convert", str(path), "-depth", "8", "rgb:-"], check=True, capture_output=True).stdout
    pixels = [raw[i : i + 3] for i in range(0, len(raw), 3)]
    counts = {}
    for pixel in pixels:
        counts[tuple(pixel)] = counts.get(tuple(pixel), 0) + 1
    return {colour: count / len(pixels) for colour, count in counts.items()}


def check_shows(path, least_shares):
    shares = colour_shares(path)
    for colour, least in least_shares.items():
        if shares.get(colour, 0) < least:
            sys.exit(f"{path} does not show the widget: {shares.get(colour, 0):.0%} of it is {colour}, not {least:.0%}")


def widget(session, dpi, blanked=False):
    """Starts Dimlux at `dpi` with the widget at PLACE; returns the prefix and the window. A start that shows no
    window within the harness's wait is made once more, after saying what was on the screen instead."""
    display, root, exes = session
    for attempt in (1, 2):
        folder = root / f"screenshots-{dpi}{'-blanked' if blanked else ''}{'-again' if attempt > 1 else ''}"
        prefix = dimlux.DimluxPrefix(display, folder, make_template(display, root / "template"), *exes)
        prefix.set_dpi(dpi)
        twips = 1440 / dpi
        # Stored values, so that this is no first run; the size missing from them is the designed one.
        place = {"Left": str(round(PLACE[0] * twips)), "Top": str(round(PLACE[1] * twips))}
        prefix.set_values({name: dimlux.sz(text) for name, text in place.items()})
        prefix.start_dimlux()
        window = prefix.main_window()
        if window is not None:
            return prefix, window
        shown = f"windows {prefix.windows(visible=False)}"
        prefix.stop()
        print(f"Dimlux showed no window at {dpi} dpi (start {attempt}): {shown}; logs in {folder}", flush=True)
    sys.exit(f"Dimlux showed no window at {dpi} dpi in two starts")


def main():
    if len(sys.argv) == 3 and sys.argv[1] == "--check":
        check_shows(sys.argv[2], SCREEN_SHARES)
        return print(f"{sys.argv[2]} shows the widget")
    if len(sys.argv) > 2:
        sys.exit("usage: scripts/screenshots [FOLDER] | --check PICTURE")
    folder = Path(sys.argv[1]).resolve() if len(sys.argv) == 2 else ROOT / "docs"
    exe = build("win32", "Dimlux", ROOT / "build/win32/Dimlux.exe")
    driver_exe = build("win64", "dimlux_driver", ROOT / "build/win64/tests/e2e/dimlux_driver.exe")
    root = Path(os.environ.get("DIMLUX_E2E_ROOT", ROOT / "build" / "screenshots"))
    folder.mkdir(parents=True, exist_ok=True)
    display = Display()
    session = display, root, (exe, driver_exe)
    try:
        for dpi, name in ((96, "widget-100.png"), (144, "widget-150.png")):
            prefix, window = widget(session, dpi)
            x, y, w, h = window["rect"]
            display.save_screen(folder / name, [x - MARGIN, y - MARGIN, w + 2 * MARGIN, h + 2 * MARGIN])
            prefix.stop()
            check_shows(folder / name, WIDGET_SHARES)
        prefix, window = widget(session, 96, blanked=True)
        prefix.driver("click", window["hwnd"], dimlux.CMD_TURN_OFF)
        prefix.main_window(5, dimlux.is_turned_off)
        display.save_screen(folder / "blanked.png")
        prefix.stop()
        subprocess.run(
            ["convert", str(folder / "blanked.png"), "-resize", "50%", str(folder / "blanked.png")], check=True
        )
        check_shows(folder / "blanked.png", BLANKED_SHARES)
    finally:
        display.stop()
    for name in ("widget-100.png", "widget-150.png", "blanked.png"):
        print(f"saved {folder / name}: shows the widget")


if __name__ == "__main__":
    main()
