"""The e2e tests' base class and their main(): python3 -m tests.e2e.test_x Dimlux.exe dimlux_driver.exe [args], from
the repository's root. The cases of a file share one Xvfb display; each case gets a fresh prefix in
$DIMLUX_E2E_ROOT/<file>/<case> (build/win64/e2e by default), removed afterwards (the logs stay)."""
import os
import sys
import time
import unittest
from pathlib import Path

from . import dimlux
from .dimlux import CMD_SETTINGS, CMD_TURN_OFF, IDNO, IDYES, button, is_turned_off, middle, twips
from .wine import Display, make_template, poll


class DimluxTestCase(unittest.TestCase):
    display = root = template = exe = driver_exe = None  # what the cases of a file share, set by main()

    def setUp(self):
        self.new_prefix(self._testMethodName)

    def new_prefix(self, name):  # a fresh one in <root>/<file>/<name> from now on
        folder = self.root / Path(sys.modules[type(self).__module__].__file__).stem / name
        self.prefix = dimlux.DimluxPrefix(self.display, folder, self.template, self.exe, self.driver_exe)
        self.addCleanup(self.prefix.stop)

    def drive(self, *args):  # a driver command that must succeed
        self.assertTrue(self.prefix.driver(*args)["ok"], args)

    def answer_question(self, title, answer, text):  # a Yes/No box with that text
        box = self.prefix.answer(title, answer)
        self.assertEqual(text, box["text"])
        self.assertEqual([IDYES, IDNO], box["buttons"])

    def start_first_run(self, debug="-all"):
        """Starts Dimlux in an empty prefix, answers the first-run question No; returns the process and the window."""
        process = self.prefix.start_dimlux(debug)
        self.answer_question("Dimlux", IDNO, dimlux.FIRST_RUN_TEXT)
        window = self.prefix.main_window()
        self.assertIsNotNone(window, "the window did not appear")
        return process, window

    def start_second_copy(self, answer, exe=None):  # answers its question; returns the process
        process = self.prefix.start_dimlux(exe=exe)
        self.answer_question("Dimlux", answer, dimlux.SECOND_COPY_TEXT)
        return process

    def answer_startup(self, question, caption):
        """Answers Yes to the start-with-Windows question; checks the caption, the focus back on Turn Off, the Run
        entry (the quoted path of Dimlux.exe, or none) and "Startup"; returns the window."""
        self.answer_question("Dimlux Startup", IDYES, question)
        window = self.wait_for_window(
            lambda w: button(w, CMD_SETTINGS)["text"] == caption and w["focus"] == CMD_TURN_OFF
        )
        enabled = caption == "-"
        run_entry = f'"{self.prefix.program_win_path("Dimlux.exe")}"' if enabled else None
        self.assertEqual(run_entry, self.prefix.texts(dimlux.RUN_KEY).get("Dimlux"))
        self.assertEqual("1" if enabled else "0", self.prefix.texts()["Startup"])
        return window

    def stored_place(self):  # (Left, Top) as stored
        texts = self.prefix.texts()
        return texts["Left"], texts["Top"]

    def assert_stored_place(self, x, y, timeout=dimlux.TICK_WAIT):  # at 96 dpi, within the timeout
        stored = poll(lambda: self.stored_place() == (twips(x), twips(y)), timeout)
        self.assertTrue(stored, f"({x}, {y}) not stored in {timeout} s")

    def wait_for_exit(self, process, timeout=20):
        self.assertTrue(poll(lambda: process.poll() is not None, timeout), f"Dimlux did not end in {timeout} s")
        return process.returncode

    def close(self, process):  # with the close box's message; it must end normally
        self.drive("close")
        self.assertEqual(0, self.wait_for_exit(process))

    def click_button(self, window, control_id):  # a real click in the middle of the button
        self.display.click(*middle(window, control_id))

    def click_caption(self, window):  # a real click left of the title, which gives the window the X keyboard focus
        self.display.click(window["rect"][0] + 20, (window["rect"][1] + window["client"][1]) // 2)
        time.sleep(0.3)

    def blank(self, window):  # a real click on the big button; returns the blanked window
        self.click_button(window, CMD_TURN_OFF)
        return self.wait_for_window(is_turned_off)

    def wait_for_window(self, check, timeout=5):
        """The visible main window once check(window) holds; fails if it does not within the timeout."""
        window = self.prefix.main_window(timeout, check)
        self.assertIsNotNone(window, f"the window did not come to the state waited for: {self.prefix.main_window(0)}")
        return window

    def wait_for_place(self, x, y, timeout=5):  # the window with its top left corner there
        return self.wait_for_window(lambda w: w["rect"][:2] == [x, y], timeout)

    def assert_centred(self, ink, rect, across, down, what=""):  # an ink box in the middle of rect, within pixels
        ink_x, ink_y, ink_width, ink_height = ink
        x, y, width, height = rect
        self.assertLessEqual(abs(2 * (ink_x - x) + ink_width - width), across, f"{what} centred across")
        self.assertLessEqual(abs(2 * (ink_y - y) + ink_height - height), down, f"{what} centred down")


def main():
    """Runs the calling file's test cases on one Xvfb display."""
    if len(sys.argv) < 3:
        sys.exit("usage: python3 -m tests.e2e.test_x Dimlux.exe dimlux_driver.exe [unittest arguments]")
    exe, driver_exe = Path(sys.argv[1]).resolve(), Path(sys.argv[2]).resolve()
    del sys.argv[1:3]
    if not exe.is_file():
        sys.exit(f"{exe} does not exist: build it first (cmake --build --preset win32)")
    print(f"e2e: running {exe}", flush=True)
    display = Display()
    try:
        root = Path(os.environ.get("DIMLUX_E2E_ROOT", "build/win64/e2e")).resolve()
        DimluxTestCase.display = display
        DimluxTestCase.root = root
        DimluxTestCase.template = make_template(display, root / "template")
        DimluxTestCase.exe, DimluxTestCase.driver_exe = exe, driver_exe
        result = unittest.main(exit=False, verbosity=2).result
    finally:
        display.stop()
    sys.exit(0 if result.wasSuccessful() else 1)
