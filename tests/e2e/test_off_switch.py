"""Dimlux.exe /off under Wine: the display turned off by a start of its own, as the first start ever and with a copy
running in each of its states; an unknown switch refused; a second copy's wake-up carried by a window message where
the running copy's folder cannot take the wake-up file."""
import time

from .harness import dimlux
from .harness.case import DimluxTestCase, main
from .harness.dimlux import CMD_SETTINGS, CMD_TURN_OFF, FACES, IDNO, IDOK, IDYES, is_normal, is_turned_off
from .harness.wine import SCREEN, Screenshot, poll

DESIGNED_RECT = [709, 406, 95, 46]
MIDDLE = (SCREEN[0] // 2, SCREEN[1] // 2)
UNKNOWN = ["/of", "ünï"]
UNKNOWN_TEXT = (
    "Dimlux does not know this command line:\r\n/of ünï\r\n\r\nIt knows one switch: /off, which turns the display off"
    " at once."
)


class OffSwitch(DimluxTestCase):
    def test_off_as_the_first_start_and_to_a_running_copy_in_each_state(self):
        first = self.prefix.start_dimlux("+timestamp,+win", args=["/off"])
        blanked = self.wait_for_window(is_turned_off, 20)
        self.assertEqual([], self.prefix.boxes(), "no box before a dark screen")
        self.assertEqual(dimlux.stored_texts(DESIGNED_RECT), self.prefix.texts())
        self.assertEqual([-2, -5], blanked["rect"][:2])
        self.assertEqual(FACES[CMD_TURN_OFF], Screenshot(self.display).pixel(100, 100), "the red face on the screen")
        self.display.move_pointer(300, 300)  # its tip opens above all windows, and the next tick puts the face on top
        tip = poll(lambda: next((tip for tip in self.prefix.driver("tips")["tips"] if tip["visible"]), None), 5)
        self.assertTrue(poll(lambda: self.stacked_above(blanked["hwnd"], tip["hwnd"]), 1), "the face stays below")
        self.turn_on_by_click()

        window = self.prefix.main_window()
        self.assertEqual(DESIGNED_RECT, window["rect"])
        self.drive("click", window["hwnd"], CMD_SETTINGS)
        question = poll(lambda: self.prefix.box_to_answer("Dimlux Startup", IDNO), 20)
        self.assertEqual(0, self.off_from_another_start(window))
        time.sleep(dimlux.TICK_WAIT)
        self.assertTrue(is_normal(self.prefix.main_window(0)), "blanked under its own question")
        self.assertEqual([question["hwnd"]], [box["hwnd"] for box in self.prefix.boxes()])
        self.prefix.answer("Dimlux Startup", IDNO)
        self.wait_for_window(is_turned_off)
        self.turn_on_by_click()

        self.assertEqual(0, self.off_from_another_start(window, "-OFF"))
        self.wait_for_window(is_turned_off)
        self.assertEqual(0, self.off_from_another_start(window, " --off "))
        time.sleep(dimlux.TICK_WAIT)
        self.assertTrue(is_turned_off(self.prefix.main_window(0)), "a blanked copy turned on again")
        self.turn_on_by_click()
        self.close(first)
        self.assertEqual(3, dimlux.blankings(first.log_path, blanked["hwnd"]), "one blanking a wish, none when blanked")
        requests, _ = dimlux.display_off_requests(first.log_path, blanked["hwnd"])
        self.assertGreater(len(requests), 10, "no display-off requests after /off")
        self.assertFalse(self.prefix.program_file("getup.txt").exists())

    def off_from_another_start(self, window, switch="/off"):
        """Starts Dimlux with the switch while a copy runs; returns its exit code once no window but the running
        copy's has been listed while it ran."""
        process = self.prefix.start_dimlux(args=[switch])
        end = time.monotonic() + 20
        while process.poll() is None and time.monotonic() < end:
            shown = [w["hwnd"] for w in self.prefix.driver("window")["windows"] if w["visible"]]
            self.assertEqual([window["hwnd"]], shown)
        self.assertEqual([window["pid"]], list({box["pid"] for box in self.prefix.boxes()} | {window["pid"]}))
        self.assertEqual([window["hwnd"]], [w["hwnd"] for w in self.prefix.driver("window")["windows"]])
        return self.wait_for_exit(process)

    def stacked_above(self, upper, lower):  # in the order of the top-level windows, the topmost first
        order = [window["hwnd"] for window in self.prefix.driver("titles")["titles"]]
        return order.index(upper) < order.index(lower)

    def turn_on_by_click(self):
        self.display.click(*MIDDLE)
        self.wait_for_window(is_normal)

    def test_an_unknown_switch_is_refused_and_a_wake_up_crosses_by_message(self):
        files = sorted(self.prefix.program_file("").iterdir())
        refused = self.prefix.start_dimlux(args=UNKNOWN)
        box = self.prefix.answer("Dimlux", IDOK)
        self.assertEqual(UNKNOWN_TEXT, box["text"])
        self.assertEqual(1, self.wait_for_exit(refused))
        self.assertEqual({}, self.prefix.texts())
        self.assertEqual(files, sorted(self.prefix.program_file("").iterdir()))

        self.start_first_run()
        self.prefix.program_file("getup.txt").mkdir()  # stands in for a folder the user cannot write
        self.drive("move", 300, 200)
        self.wait_for_place(300, 200)
        self.assertEqual(0, self.wait_for_exit(self.start_second_copy(IDYES)))
        self.wait_for_place(0, 0, dimlux.TICK_WAIT + 1)
        self.assertEqual([], self.prefix.boxes())


if __name__ == "__main__":
    main()
