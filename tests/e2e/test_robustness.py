"""Dimlux under Wine when things go wrong: a read-only wake-up file (one stop box for a second copy, then for the
running copy once it is back from blanking, and the file stays), five copies started at once on a first run, and
a folder whose name the system's ANSI code page cannot hold."""
import time

import wine
from wine import (
    CMD_SETTINGS,
    EXIT_FATAL,
    FIRST_RUN_TEXT,
    IDNO,
    IDOK,
    IDYES,
    RUN_KEY,
    SCREEN,
    SECOND_COPY_TEXT,
    TICK_WAIT,
    WAKE_UP_CONTENT,
    button,
    sz,
    twips,
    wait_until,
)

ANSWERS = (IDYES, IDNO, IDYES, IDNO)  # the racing second copies', in the order their boxes are found
FOREIGN_DIR = "Users/Инструменты ☼/ツール 工具"  # Cyrillic, a symbol, Japanese and Chinese: none of them in code page 1252
ARABIC_DECIMAL_SEPARATOR = "\u066b"  # two bytes in UTF-8


class Robustness(wine.DimluxTestCase):
    def expect_one_stop_box(self, process, failure):
        """Exactly one box, the only one while ticks go on, naming the failure and the file; OK ends Dimlux."""
        self.assertTrue(wait_until(self.prefix.boxes, 5), "no stop box")
        seen = [self.prefix.boxes() for _ in range(4) if not time.sleep(0.5)]
        box = seen[0][0]
        self.assertEqual([[box["hwnd"]]] * 4, [[b["hwnd"] for b in shown] for shown in seen])
        self.assertEqual(
            ("Dimlux", [IDOK], f"{failure}:\r\n{self.prefix.program_win_path('getup.txt')}"),
            (box["title"], box["buttons"], box["text"]),
        )
        self.prefix.answer("Dimlux", IDOK)
        self.assertEqual(EXIT_FATAL, self.wait_for_exit(process))
        self.assertEqual(WAKE_UP_CONTENT, self.prefix.program_file("getup.txt").read_bytes())

    def test_read_only_wake_up_file_stops_a_second_copy_and_then_the_running_one(self):
        first, _, window = self.start_first_run()
        blanked = self.blank(window)  # so that it leaves the file alone
        self.prefix.program_file("getup.txt").write_bytes(WAKE_UP_CONTENT)
        self.assertTrue(self.prefix.make_read_only("getup.txt"))
        second = self.prefix.start_dimlux()
        self.prefix.answer("Dimlux", IDYES)
        self.expect_one_stop_box(second, "Could not write the wake-up file")
        self.assertEqual((None, blanked["rect"]), (first.poll(), self.prefix.main_window(0)["rect"]))
        self.display.click(SCREEN[0] // 2, SCREEN[1] // 2)  # back to normal, its next tick finds the file
        self.expect_one_stop_box(first, "Could not delete the wake-up file")

    def test_five_copies_at_once_on_a_first_run(self):
        processes = [self.prefix.start_dimlux() for _ in range(1 + len(ANSWERS))]
        found = wait_until(lambda: (lambda b: len(b) == len(processes) and b)(self.prefix.boxes()), 90, 0.5) or []
        self.assertEqual(sorted([FIRST_RUN_TEXT] + [SECOND_COPY_TEXT] * len(ANSWERS)), sorted(b["text"] for b in found))
        self.assertEqual(len(processes), len({box["pid"] for box in found}), "one box per copy")
        first_run = next(box for box in found if box["text"] == FIRST_RUN_TEXT)
        for box, answer in zip([box for box in found if box is not first_run], ANSWERS):
            self.assertTrue(self.prefix.driver("click", box["hwnd"], answer)["ok"])
        wait_until(lambda: sum(p.poll() is not None for p in processes) == len(ANSWERS), 20)
        self.assertEqual([0] * len(ANSWERS), [p.returncode for p in processes if p.poll() is not None])
        self.assertTrue(self.prefix.driver("click", first_run["hwnd"], IDNO)["ok"])

        self.prefix.main_window(10000)
        windows = self.prefix.driver("window")["windows"]
        self.assertEqual([(first_run["pid"], True)], [(w["pid"], w["visible"]) for w in windows])
        # Two copies answered Yes: the survivor takes the wake-up request on its first tick and stores (0, 0).
        window = self.wait_for_window(lambda w: w["rect"][:2] == [0, 0])
        self.assertEqual(([0, 0], False), (window["rect"][:2], self.prefix.program_file("getup.txt").exists()))
        wait_until(lambda: self.prefix.texts()["Left"] == "0", 3)
        self.assertEqual(
            {
                "Top": "0",
                "Left": "0",
                "Bottom": twips(window["rect"][3]),
                "Right": twips(window["rect"][2]),
                "Startup": "0",
            },
            self.prefix.texts(),
        )

    def test_kept_in_a_folder_named_in_other_scripts(self):
        self.prefix.move_dimlux(FOREIGN_DIR)
        self.prefix.set_dpi(168)  # 8.57 twips per pixel: the stored sizes have fractions
        self.prefix.set_values({"sDecimal": sz(ARABIC_DECIMAL_SEPARATOR)}, "Control Panel\\International")
        process, _, window = self.start_first_run()
        seeded = self.prefix.texts()
        self.assertIn(ARABIC_DECIMAL_SEPARATOR, seeded["Bottom"])
        self.assertTrue(self.prefix.driver("click", window["hwnd"], CMD_SETTINGS)["ok"])
        self.prefix.answer("Dimlux Startup", IDYES)
        self.wait_for_window(lambda w: button(w, CMD_SETTINGS)["text"] == "-")
        entry = self.prefix.texts(RUN_KEY)["Dimlux"]
        self.assertEqual(f'"{self.prefix.exe_win_path}"', entry)
        self.assertTrue(self.prefix.unix_path(entry.strip('"')).is_file())
        self.close(process)

        self.prefix.start_dimlux()
        restarted = self.prefix.main_window()
        self.assertEqual("-", button(restarted, CMD_SETTINGS)["text"])
        self.assertEqual(window["rect"], restarted["rect"])
        self.assertEqual({**seeded, "Startup": "1"}, self.prefix.texts(), "a stored value was repaired")
        second = self.prefix.start_dimlux()
        self.prefix.answer("Dimlux", IDYES)
        self.assertEqual(0, self.wait_for_exit(second))
        self.wait_for_window(lambda w: w["rect"][:2] == [0, 0], timeout=TICK_WAIT + 1)
        self.assertEqual([], self.prefix.boxes())


if __name__ == "__main__":
    wine.main()
