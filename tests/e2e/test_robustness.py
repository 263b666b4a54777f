"""Dimlux under Wine on real desks and when things go wrong: second copies started from any folder and any spelling
of the path, five copies racing from two folders, the first run's readme beside the exe, a wake-up file held open
for a moment or for good, and a folder whose name the system's ANSI code page cannot hold."""
import shutil
import time
from pathlib import Path

import wine
from wine import CMD_SETTINGS, IDNO, IDOK, IDYES, SCREEN, button, wait_until

OTHER_DIR = "Other Place"
ANSWERS = (IDYES, IDNO, IDYES, IDNO)  # the racing second copies', in the order their boxes are found
# Cyrillic, a symbol, Japanese and Chinese: none of them in code page 1252.
FOREIGN_DIR = "Users/Инструменты ☼/ツール 工具"
ARABIC_DECIMAL_SEPARATOR = "\u066b"  # two bytes in UTF-8
README = Path(__file__).resolve().parents[2] / "docs/readme.txt"
LOCK_SECONDS = 2  # a moment's lock, as a sync client or a scanner holds a new file
RETRY_SECONDS = 6  # how long a failing wake-up file is tried before the stop box


class Robustness(wine.DimluxTestCase):
    def test_second_copies_from_any_folder_and_spelling_ask_and_wake_the_running_one(self):
        shutil.copy(README, self.prefix.program_file("readme.txt"))
        for view in ("/reg:32", "/reg:64"):  # as on Windows: .txt files open in Notepad
            self.prefix.run([wine.WINE, "reg", "add", "HKCR\\.txt", "/ve", "/d", "txtfile", "/f", view], 60)
        self.prefix.start_dimlux()
        self.answer_question("Dimlux", IDYES, wine.FIRST_RUN_TEXT)
        opened = wait_until(lambda: "readme.txt - Notepad" in self.prefix.titles(), 30)
        self.assertTrue(opened, f"the readme did not open: {self.prefix.titles()}")
        window = self.prefix.main_window()

        exe = self.prefix.program_win_path("Dimlux.exe")
        other = self.prefix.copy_dimlux(OTHER_DIR)
        self.assertEqual(0, self.wait_for_exit(self.start_second_copy(IDNO, other)))
        self.assertEqual([window["hwnd"]], [w["hwnd"] for w in self.prefix.driver("window")["windows"]])
        short = self.prefix.driver("shortpath", exe)["path"]
        for start in (other, exe.lower(), wine.win_path(self.prefix.program_file("Dimlux.exe")), short):
            with self.subTest(start):
                self.drive("move", 300, 200)
                self.wait_for_place(300, 200)
                self.assertEqual(0, self.wait_for_exit(self.start_second_copy(IDYES, start)))
                self.wait_for_place(0, 0, wine.TICK_WAIT + 1)
        self.assertFalse(self.prefix.program_file("getup.txt").exists())
        self.assertFalse((self.prefix.path / "drive_c" / OTHER_DIR / "getup.txt").exists())

    def test_five_copies_from_two_folders_at_once_on_a_first_run(self):
        other = self.prefix.copy_dimlux(OTHER_DIR)
        processes = [self.prefix.start_dimlux(exe=other if i % 2 else None) for i in range(1 + len(ANSWERS))]

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
        self.assertFalse((self.prefix.path / "drive_c" / OTHER_DIR / "getup.txt").exists())
        self.assert_stored_place(0, 0, 3)
        self.assertEqual(wine.stored_texts(window["rect"]), self.prefix.texts())

    def test_wake_up_file_held_open_for_a_moment_or_for_good(self):
        first, window = self.start_first_run()
        wake_up_file = self.prefix.program_file("getup.txt")
        self.blank(window)  # so that it leaves the file alone
        wake_up_file.write_bytes(b"")
        self.assertEqual(0, self.wait_for_exit(self.second_copy_answered_yes_while_locked(LOCK_SECONDS)))
        self.assertEqual(wine.WAKE_UP_CONTENT, wake_up_file.read_bytes())
        self.prefix.lock("getup.txt", LOCK_SECONDS)
        self.display.click(SCREEN[0] // 2, SCREEN[1] // 2)  # back to normal: its ticks find the file held
        self.wait_for_place(0, 0, LOCK_SECONDS + wine.TICK_WAIT + 1)
        self.assertFalse(wake_up_file.exists())
        self.assertEqual([], self.prefix.boxes())

        self.blank(self.prefix.main_window())
        wake_up_file.write_bytes(wine.WAKE_UP_CONTENT)
        self.prefix.lock("getup.txt", 600)
        self.display.click(SCREEN[0] // 2, SCREEN[1] // 2)  # back to normal: the file stays held
        self.expect_one_stop_box(first, "Could not delete the wake-up file")

    def second_copy_answered_yes_while_locked(self, seconds):  # the wake-up file held from when its box shows
        second = self.prefix.start_dimlux()
        box = wait_until(lambda: self.prefix.box_to_answer("Dimlux", IDYES), wine.WAIT_MS / 1000)
        self.assertEqual(wine.SECOND_COPY_TEXT, box["text"])
        self.prefix.lock("getup.txt", seconds)
        self.drive("click", box["hwnd"], IDYES)
        return second

    def expect_one_stop_box(self, process, failure):
        """After the tries, exactly one box, the only one while ticks go on, naming the failure and the file; OK
        ends Dimlux and the file stays."""
        boxes = wait_until(self.prefix.boxes, RETRY_SECONDS + 5)
        self.assertTrue(boxes, "no stop box")
        for _ in range(4):
            time.sleep(0.5)
            self.assertEqual([boxes[0]["hwnd"]], [box["hwnd"] for box in self.prefix.boxes()])
        box = self.prefix.answer("Dimlux", IDOK)
        self.assertEqual([IDOK], box["buttons"])
        self.assertEqual(f"{failure}:\r\n{self.prefix.program_win_path('getup.txt')}", box["text"])
        self.assertEqual(wine.EXIT_FATAL, self.wait_for_exit(process))
        self.assertEqual(wine.WAKE_UP_CONTENT, self.prefix.program_file("getup.txt").read_bytes())

    def test_kept_in_a_folder_named_in_other_scripts(self):
        self.prefix.install(FOREIGN_DIR)
        self.prefix.set_dpi(168)  # 8.57 twips per pixel: the stored sizes have fractions
        self.prefix.set_decimal_separator(ARABIC_DECIMAL_SEPARATOR)
        process, window = self.start_first_run()
        self.drive("click", window["hwnd"], CMD_SETTINGS)
        self.answer_startup(wine.ENABLE_TEXT, "-")
        time.sleep(wine.TICK_WAIT)  # the designed place lies beyond this screen at 168 dpi: the place it opened at
        stored = self.prefix.texts()
        self.assertIn(ARABIC_DECIMAL_SEPARATOR, stored["Bottom"])
        self.close(process)

        self.prefix.start_dimlux()
        restarted = self.prefix.main_window()
        self.assertEqual("-", button(restarted, CMD_SETTINGS)["text"])
        self.assertEqual(window["rect"], restarted["rect"])
        self.assertEqual(stored, self.prefix.texts(), "a stored value was repaired")
        self.assertEqual(0, self.wait_for_exit(self.start_second_copy(IDYES)))
        self.wait_for_place(0, 0, wine.TICK_WAIT + 1)
        self.assertEqual([], self.prefix.boxes())


if __name__ == "__main__":
    wine.main()
