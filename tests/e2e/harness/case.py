"""The e2e tests' base class, whose cases are steps (a person's input, a program's start), and their main(). The cases
of a file share one Xvfb display; each gets a fresh prefix in $DIMLUX_E2E_ROOT/<file>/<case>, removed after it."""
import os
import subprocess
import sys
import time
import unittest
from pathlib import Path

from . import dimlux
from .dimlux import CMD_SETTINGS, CMD_TURN_OFF, IDNO, IDYES, TIP_CLASS, button, is_normal, is_turned_off, twips
from .wine import Display, failed_to_start, make_template, poll, time_table, timed

WIDGET = "widget"  # among a step's windows: Dimlux's main window (a box or another program goes by its title)
NAMES = {dimlux.MAIN_CLASS: WIDGET, TIP_CLASS: TIP_CLASS}  # the others by their titles


class DimluxTestCase(unittest.TestCase):
    display = root = template = exe = driver_exe = None  # what the cases of a file share, set by main()

    def setUp(self):
        self.new_prefix(self._testMethodName)

    def new_prefix(self, name):  # a fresh one in <root>/<file>/<name> from now on
        folder = self.root / Path(sys.modules[type(self).__module__].__file__).stem / name
        self.prefix = dimlux.DimluxPrefix(self.display, folder, self.template, self.exe, self.driver_exe, dimlux.TRACE)
        self.addCleanup(self.prefix.stop)

    def step(self, action, until=lambda widget: True, windows=(WIDGET,), stores=False, tip=False, ticks=True):
        """Runs action(), waits until until(widget) holds and the windows shown are `windows` and the tip where `tip`
        (either way for None), and for the whole store of a step that `stores`; then checks them (assert_quiet), and
        again once the widget's next tick has been handled (where it `ticks`), with no write since the step settled.
        Returns action's result; self.widget is the widget then (None when it is not shown)."""
        start = self.prefix.trace_marks()
        result = action()
        expected = sorted([*windows, *([TIP_CLASS] if tip else [])])
        kind = "program starts" if isinstance(result, subprocess.Popen) else "waits"
        try:
            widget = self.wait_for_windows(expected, until, tip is None, kind=kind)
        except AssertionError:
            if not failed_to_start(result):
                raise
            print(f"Wine could not map the memory of {result.args}: started once more", flush=True)
            result = action()
            widget = self.wait_for_windows(expected, until, tip is None)
        if stores:  # its first write comes within a tick; the driver's next look waits for the handler writing it
            poll(lambda: dimlux.WRITE.search(self.prefix.traced(start)), dimlux.TICK_WAIT)
            widget = self.wait_for_windows(expected, until, tip is None, 0)
        settled = self.prefix.trace_marks()
        if widget is not None and ticks:  # its next tick; the look below waits for the tick's handler to end
            tick = dimlux.tick(widget)
            poll(lambda: tick in self.prefix.traced(settled), dimlux.TICK_WAIT, 0.02, "ticks after steps")
        self.widget = self.wait_for_windows(expected, until, tip is None, 0)
        self.assert_quiet(self.prefix.traced(start), self.widget, stores)
        self.assert_quiet(self.prefix.traced(settled), self.widget, False)
        return result

    def wait_for_windows(self, expected, until, any_tip=False, timeout=dimlux.WAIT, kind="waits"):
        """The widget (or None) once the windows shown are those expected (any tip, for any_tip) and until(it) holds."""
        last = {}

        def reached():
            shown = [w for w in self.prefix.windows() if w["class"] != TIP_CLASS or not any_tip]
            last["names"] = sorted(NAMES.get(w["class"], w["title"]) for w in shown)
            last["widget"] = widget = next((w for w in shown if w["class"] == dimlux.MAIN_CLASS), None)
            return last["names"] == expected and (widget is None or until(widget))

        self.assertTrue(
            poll(reached, timeout, kind=kind), f"shown {last['names']}, not {expected}; the widget {last['widget']}"
        )
        return last["widget"]

    def assert_quiet(self, trace, widget, writes):
        """No settings or Run-key write in the trace unless `writes`; with the widget: it is topmost, and it is
        blanked, or there is no display-off request in the trace or the widget was restored after the last."""
        if not writes:
            self.assertEqual([], dimlux.WRITE.findall(trace), "a settings or Run-key write nobody asked for")
        if widget is not None:
            self.assertTrue(widget["topmost"], "the widget is not topmost")
            _, request, after = trace.rpartition(dimlux.OFF_REQUEST)
            restored = f"NtUserSetWindowPos hwnd {widget['hwnd']:#x}, after (nil)" in after
            self.assertTrue(is_turned_off(widget) or not request or restored, "a display-off request, not blanked")

    def drive(self, *args):  # a driver command that must succeed
        self.assertTrue(self.prefix.driver(*args)["ok"], args)

    def answer_question(self, title, answer, text):  # a Yes/No box with that text
        box = self.prefix.answer(title, answer)
        self.assertEqual(text, box["text"])
        self.assertEqual([IDYES, IDNO], box["buttons"])

    def start_first_run(self, stores=False):
        """A first run answered No (it `stores` where it opens if the designed place is off screen): process, window."""
        process = self.step(self.prefix.start_dimlux, windows=["Dimlux"], stores=True)
        self.step(lambda: self.answer_question("Dimlux", IDNO, dimlux.FIRST_RUN_TEXT), stores=stores)
        return process, self.widget

    def start_second_copy(self, answer, exe=None, until=lambda widget: True):  # answered; returns the process
        process = self.step(lambda: self.prefix.start_dimlux(exe=exe), windows=[WIDGET, "Dimlux"])
        answered = lambda: self.answer_question("Dimlux", answer, dimlux.SECOND_COPY_TEXT)
        self.step(answered, until, stores=answer == IDYES)
        self.assertEqual(0, self.wait_for_exit(process))
        return process

    def answer_startup(self, question, caption):
        """Yes to the start-with-Windows question; the caption, the focus back on Turn Off, the Run entry, "Startup"."""
        answer = lambda: self.answer_question("Dimlux Startup", IDYES, question)
        self.step(answer, startup_answered(caption), stores=True)
        self.assert_startup(caption)

    def assert_startup(self, caption):  # the Run entry and "Startup" as the caption says
        enabled = caption == "-"
        run_entry = f'"{self.prefix.program_win_path("Dimlux.exe")}"' if enabled else None
        self.assertEqual(run_entry, self.prefix.texts(dimlux.RUN_KEY).get("Dimlux"))
        self.assertEqual("1" if enabled else "0", self.prefix.texts()["Startup"])

    def move(self, x, y, windows=(WIDGET,)):  # the widget moved there by the driver, its place stored (unless there)
        moves = self.widget["rect"][:2] != [x, y]
        self.step(lambda: self.drive("move", x, y), lambda w: w["rect"][:2] == [x, y], windows, stores=moves)
        self.assertEqual((twips(x), twips(y)), self.stored_place())

    def stored_place(self):  # (Left, Top) as stored
        texts = self.prefix.texts()
        return texts["Left"], texts["Top"]

    def wait_for_exit(self, process, timeout=20):
        self.assertTrue(poll(lambda: process.poll() is not None, timeout), f"Dimlux did not end in {timeout} s")
        return process.returncode

    def close(self, process):  # with the close box's message; it must end normally
        self.step(lambda: self.drive("close"), windows=[])
        self.assertEqual(0, self.wait_for_exit(process))

    def click_caption(self, window):
        """A real click on the caption, which gives the X keyboard focus; then the pointer where no tip can come. The
        button goes up once Wine's move loop has begun: a release it has not seen by then leaves the loop waiting."""
        marks = self.prefix.trace_marks()
        self.display.press(window["rect"][0] + 20, (window["rect"][1] + window["client"][1]) // 2, "mousedown", 1)
        poll(lambda: "msg=WM_ENTERSIZEMOVE" in self.prefix.traced(marks), dimlux.WAIT)
        self.display.xdotool("mouseup", 1)
        self.display.move_pointer(*dimlux.CAPTION_BAR)

    def blank(self, window):  # the pointer first where the blanked face brings up no tip
        self.display.move_pointer(*dimlux.CAPTION_BAR)
        self.step(lambda: self.drive("click", window["hwnd"], CMD_TURN_OFF), is_turned_off)

    def assert_centred(self, ink, rect, across, down, what=""):  # an ink box in the middle of rect, within pixels
        ink_x, ink_y, ink_width, ink_height = ink
        x, y, width, height = rect
        self.assertLessEqual(abs(2 * (ink_x - x) + ink_width - width), across, f"{what} centred across")
        self.assertLessEqual(abs(2 * (ink_y - y) + ink_height - height), down, f"{what} centred down")


def startup_answered(caption):  # the widget normal, showing that caption on "+", the focus back on Turn Off
    return lambda w: is_normal(w) and [button(w, CMD_SETTINGS)["text"], w["focus"]] == [caption, CMD_TURN_OFF]


def main():  # python3 -m tests.e2e.test_x Dimlux.exe dimlux_driver.exe [unittest arguments], from the root
    if len(sys.argv) < 3:
        sys.exit("usage: python3 -m tests.e2e.test_x Dimlux.exe dimlux_driver.exe [unittest arguments]")
    DimluxTestCase.exe, DimluxTestCase.driver_exe = Path(sys.argv[1]).resolve(), Path(sys.argv[2]).resolve()
    del sys.argv[1:3]
    if not DimluxTestCase.exe.is_file():
        sys.exit(f"{DimluxTestCase.exe} does not exist: build it first (cmake --build --preset win32)")
    print(f"e2e: running {DimluxTestCase.exe}", flush=True)
    DimluxTestCase.root = Path(os.environ.get("DIMLUX_E2E_ROOT", "build/win64/e2e")).resolve()
    started = time.monotonic()
    DimluxTestCase.display = Display()
    try:
        DimluxTestCase.template = make_template(DimluxTestCase.display, DimluxTestCase.root / "template")
        result = unittest.main(verbosity=2, exit=False).result
    finally:
        DimluxTestCase.display.stop()
    print(time_table(time.monotonic() - started), flush=True)
    sys.exit(not result.wasSuccessful())
