"""Dimlux under Wine when things go wrong: a read-only wake-up file (one stop box for a second copy, then for the
running copy once it is back from blanking, and the file stays), five copies started at once on a first run, and
a folder whose name the system's ANSI code page cannot hold."""
import time

import wine
from wine import CMD_SETTINGS, IDNO, IDOK, IDYES, button, wait_until

ANSWERS = (IDYES, IDNO, IDYES, IDNO)  # the racing second copies', in the order their boxes are found
# Cyrillic, a symbol, Japanese and Chinese: none of them in code page 1252.
FOREIGN_DIR = "Users/Инструменты ☼/ツール 工具"
ARABIC_DECIMAL_SEPARATOR = "\u066b"  # two bytes in UTF-8


class Robustness(wine.DimluxTestCase):
    def expect_one_stop_box(self, process, failure):
        """Exactly one box, the only one while ticks go on, naming the failure and the file; OK ends Dimlux."""
        boxes = wait_until(self.prefix.boxes, 5)
        self.assertTrue(boxes, "no stop box")
        for _ in range(4):
            time.sleep(0.5)
            self.assertEqual([boxes[0]["hwnd"]], [box["hwnd"] for box in self.prefix.boxes()])
        box = self.prefix.answer("Dimlux", IDOK)
        self.assertEqual(boxes[0]["hwnd"], box["hwnd"])
        self.assertEqual([IDOK], box["buttons"])
        self.assertEqual(f"{failure}:\r\n{self.prefix.program_win_path('getup.txt')}", box["text"])
        self.assertEqual(wine.EXIT_FATAL, self.wait_for_exit(process))
        self.assertEqual(wine.WAKE_UP_CONTENT, self.prefix.program_file("getup.txt").read_bytes())

    def test_read_only_wake_up_file_stops_a_second_copy_and_then_the_running_one(self):
        first, window = self.start_first_run()
        blanked = self.blank(window)  # so that it leaves the file alone
        self.prefix.program_file("getup.txt").write_bytes(wine.WAKE_UP_CONTENT)
        self.assertTrue(self.prefix.make_read_only("getup.txt"))
        self.expect_one_stop_box(self.start_second_copy(IDYES), "Could not write the wake-up file")
        self.assertIsNone(first.poll())
        self.assertEqual(blanked["rect"], self.prefix.main_window(0)["rect"])
        self.display.click(wine.SCREEN[0] // 2, wine.SCREEN[1] // 2)  # back to normal, its next tick finds the file
        self.expect_one_stop_box(first, "Could not delete the wake-up file")

    def test_five_copies_at_once_on_a_first_run(self):
        processes = [self.prefix.start_dimlux() for _ in range(1 + len(ANSWERS))]

        def one_box_each():
            boxes = self.prefix.boxes()
            return boxes if len(boxes) == len(processes) else None

        def exit_codes():  # of the copies that ended
            return [process.returncode for process in processes if process.poll() is not None]

        found = wait_until(one_box_each, 90, 0.5) or []
        texts = sorted(box["text"] for box in found)
        self.assertEqual(sorted([wine.FIRST_RUN_TEXT] + [wine.SECOND_COPY_TEXT] * len(ANSWERS)), texts)
        self.assertEqual(len(processes), len({box["pid"] for box in found}), "one box per copy")
        first_run = next(box for box in found if box["text"] == wine.FIRST_RUN_TEXT)
        for box, answer in zip([box for box in found if box is not first_run], ANSWERS):
            self.drive("click", box["hwnd"], answer)
        wait_until(lambda: len(exit_codes()) == len(ANSWERS), 20)
        self.assertEqual([0] * len(ANSWERS), exit_codes())
        self.drive("click", first_run["hwnd"], IDNO)

        self.prefix.main_window()
        windows = self.prefix.driver("window")["windows"]
        self.assertEqual([(first_run["pid"], True)], [(w["pid"], w["visible"]) for w in windows])
        # Two copies answered Yes: the survivor takes the wake-up request on its first tick and stores (0, 0).
        window = self.wait_for_place(0, 0)
        self.assertFalse(self.prefix.program_file("getup.txt").exists())
        self.assert_stored_place(0, 0, 3)
        self.assertEqual(wine.stored_texts(window["rect"]), self.prefix.texts())

    def test_kept_in_a_folder_named_in_other_scripts(self):
        self.prefix.install(FOREIGN_DIR)
        self.prefix.set_dpi(168)  # 8.57 twips per pixel: the stored sizes have fractions
        self.prefix.set_decimal_separator(ARABIC_DECIMAL_SEPARATOR)
        process, window = self.start_first_run()
        seeded = self.prefix.texts()
        self.assertIn(ARABIC_DECIMAL_SEPARATOR, seeded["Bottom"])
        self.drive("click", window["hwnd"], CMD_SETTINGS)  # the window lies beyond the screen's right edge
        self.answer_startup(wine.ENABLE_TEXT, "-")
        self.close(process)

        self.prefix.start_dimlux()
        restarted = self.prefix.main_window()
        self.assertEqual("-", button(restarted, CMD_SETTINGS)["text"])
        self.assertEqual(window["rect"], restarted["rect"])
        self.assertEqual({**seeded, "Startup": "1"}, self.prefix.texts(), "a stored value was repaired")
        self.assertEqual(0, self.wait_for_exit(self.start_second_copy(IDYES)))
        self.wait_for_place(0, 0, wine.TICK_WAIT + 1)
        self.assertEqual([], self.prefix.boxes())


if __name__ == "__main__":
    wine.main()
