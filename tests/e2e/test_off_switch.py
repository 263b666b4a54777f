"""Dimlux.exe /off first and to a running copy in each state; an unknown switch; a wake-up by message, not by file."""
import time

from .harness import dimlux
from .harness.case import WIDGET, DimluxTestCase, main
from .harness.dimlux import CMD_SETTINGS, CMD_TURN_OFF, FACES, IDNO, IDOK, IDYES, is_normal, is_turned_off
from .harness.wine import Screenshot, poll

UNKNOWN = ["/of", "ünï"]


class OffSwitch(DimluxTestCase):
    def test_off_as_the_first_start_and_to_a_running_copy_in_each_state(self):
        self.display.move_pointer(*dimlux.CAPTION_BAR)
        first = self.step(lambda: self.prefix.start_dimlux(args=["/off"]), is_turned_off, stores=True)  # no box
        blanked = self.widget
        self.assertEqual(FACES[CMD_TURN_OFF], Screenshot(self.display).pixel(100, 100), "the red face on the screen")
        self.display.move_pointer(300, 300)  # its tip opens above all windows, and the next tick puts the face on top
        tip = poll(lambda: next((w for w in self.prefix.windows() if w["class"] == dimlux.TIP_CLASS), None), 5)
        self.assertIsNotNone(tip, "no tip over the blanked face")
        self.assertTrue(poll(lambda: self.stacked_above(blanked["hwnd"], tip["hwnd"]), 1), "the face stays below")
        self.step(lambda: self.display.click(*dimlux.MIDDLE), is_normal)  # Turn On

        window = self.widget
        self.assertEqual(dimlux.stored_texts(window["rect"]), self.prefix.texts())  # the seed, Turn On back at it
        question = [WIDGET, "Dimlux Startup"]
        self.step(lambda: self.drive("click", window["hwnd"], CMD_SETTINGS), windows=question)
        self.assertEqual(0, self.off_from_another_start(window, "/off", is_normal, question))  # not under its question
        self.step(lambda: self.prefix.answer("Dimlux Startup", IDNO), is_turned_off)
        self.step(lambda: self.display.click(*dimlux.MIDDLE), is_normal)  # Turn On
        self.assertEqual(0, self.off_from_another_start(window, "-OFF", is_turned_off))
        self.assertEqual(0, self.off_from_another_start(window, " --off ", is_turned_off))  # blanked, it stays so
        self.step(lambda: self.display.click(*dimlux.MIDDLE), is_normal)  # Turn On
        self.close(first)
        self.assertEqual(3, dimlux.blankings(first.log_path, blanked["hwnd"]), "one blanking a wish, none when blanked")
        requests, _ = dimlux.display_off_requests(first.log_path, blanked["hwnd"])
        self.assertGreater(len(requests), 10, "display-off requests after /off")
        self.assertFalse(self.prefix.program_file("getup.txt").exists())

    def off_from_another_start(self, window, switch, until, windows=(WIDGET,)):
        """Starts Dimlux with the switch while a copy runs; returns its exit code once it has ended showing nothing."""

        def start_showing_nothing():
            self.display.move_pointer(*dimlux.CAPTION_BAR)
            process = self.prefix.start_dimlux(args=[switch])
            end = time.monotonic() + 20
            while process.poll() is None and time.monotonic() < end:
                self.assertEqual([], [w for w in self.prefix.windows() if w["pid"] != window["pid"]])
            return process

        return self.wait_for_exit(self.step(start_showing_nothing, until, windows))

    def stacked_above(self, upper, lower):  # in the order of the top-level windows, the topmost first
        order = [window["hwnd"] for window in self.prefix.windows(visible=False)]
        return order.index(upper) < order.index(lower)

    def test_an_unknown_switch_is_refused_and_a_wake_up_crosses_by_message(self):
        files = sorted(self.prefix.program_file("").iterdir())
        refused = self.step(lambda: self.prefix.start_dimlux(args=UNKNOWN), windows=["Dimlux"])
        box = self.step(lambda: self.prefix.answer("Dimlux", IDOK), windows=[])
        self.assertIn("\r\n/of ünï\r\n", box["text"])  # the rest of the text: the unit tests
        self.assertEqual(1, self.wait_for_exit(refused))
        self.assertFalse(self.prefix.driver("regdump", dimlux.SETTINGS_KEY)["ok"], "a settings key")  # none opens
        self.assertEqual(files, sorted(self.prefix.program_file("").iterdir()))

        self.start_first_run()
        self.prefix.program_file("getup.txt").mkdir()  # stands in for a folder the user cannot write
        self.move(300, 200)
        self.start_second_copy(IDYES, until=lambda w: w["rect"][:2] == [0, 0])


if __name__ == "__main__":
    main()
