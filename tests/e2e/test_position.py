"""Position keeping under Wine: a moved widget is stored within a second and reopens there, a wake-up
request brings it to the corner, nothing is stored while blanked, closing stores a fresh move, and a
wake-up file that cannot be deleted ends the program once."""
import time

import wine
from wine import EXIT_FATAL, IDOK, IDYES, TICK_WAIT, VALUE_NAMES, WAKE_UP_CONTENT, is_normal, twips, wait_until

GEOMETRY = VALUE_NAMES[:4]


class Position(wine.DimluxTestCase):

    def stored_geometry(self):
        return {name: self.setting_text(name) for name in GEOMETRY}

    def stored_place(self):
        return self.setting_text("Left"), self.setting_text("Top")

    def wait_for_stored_place(self, left, top, timeout=TICK_WAIT):
        expected = (twips(left), twips(top))
        wait_until(lambda: self.stored_place() == expected, timeout, step=0)
        return self.stored_place()

    def test_dragged_widget_is_stored_and_reopens_there(self):
        process, _, window = self.start_first_run()
        self.click_caption(window)
        x, y, width, height = window["rect"]
        grip = (x + 20, (y + window["client"][1]) // 2)
        left, top = x - 400, y - 250
        self.display.drag(grip, (grip[0] + left - x, grip[1] + top - y))
        moved = self.wait_for_window(lambda w: w["rect"][:2] == [left, top])
        self.prefix.screenshot("dragged", moved)
        self.assertEqual([left, top, width, height], moved["rect"])

        self.assertEqual((twips(left), twips(top)), self.wait_for_stored_place(left, top))
        self.assertEqual({"Left": twips(left), "Top": twips(top), "Right": twips(width), "Bottom": twips(height)},
                         self.stored_geometry())

        self.restart(process)
        reopened = self.prefix.main_window()
        self.prefix.screenshot("reopened", reopened)
        self.assertEqual(moved["rect"], reopened["rect"])
        self.assertEqual([], self.prefix.driver("boxes")["boxes"])

    def test_second_copy_brings_the_widget_to_the_corner(self):
        _, _, window = self.start_first_run()
        stored = self.stored_geometry()
        second = self.prefix.start_dimlux()
        self.assertIsNotNone(self.prefix.answer("Dimlux", IDYES))
        self.assertEqual(0, self.wait_for_exit(second))
        cornered = self.wait_for_window(lambda w: w["rect"][:2] == [0, 0], timeout=TICK_WAIT)
        self.prefix.screenshot("cornered", cornered)
        self.assertEqual([0, 0, *window["rect"][2:]], cornered["rect"])
        self.assertFalse(self.prefix.program_file("getup.txt").exists())
        self.assertEqual(("0", "0"), self.wait_for_stored_place(0, 0))
        self.assertEqual({**stored, "Top": "0", "Left": "0"}, self.stored_geometry())

    def test_blanked_widget_keeps_wake_up_file_and_stores_nothing(self):
        _, _, window = self.start_first_run()
        stored = self.stored_geometry()
        self.blank(window)
        wake_up_file = self.prefix.program_file("getup.txt")
        wake_up_file.write_bytes(WAKE_UP_CONTENT)
        time.sleep(2.5)
        self.prefix.screenshot("blanked")
        self.assertEqual(WAKE_UP_CONTENT, wake_up_file.read_bytes())
        self.assertEqual(stored, self.stored_geometry())

        self.display.click(wine.SCREEN[0] // 2, wine.SCREEN[1] // 2)
        cornered = self.wait_for_window(lambda w: is_normal(w) and w["rect"][:2] == [0, 0], timeout=TICK_WAIT + 1)
        self.assertEqual([0, 0, *window["rect"][2:]], cornered["rect"])
        self.assertTrue(wait_until(lambda: not wake_up_file.exists(), 1))
        self.assertEqual(("0", "0"), self.wait_for_stored_place(0, 0))
        self.assertEqual({**stored, "Top": "0", "Left": "0"}, self.stored_geometry())

    def test_close_stores_a_move_made_just_before(self):
        process, _, _ = self.start_first_run()
        # Right after the tick that stores a first move, a second move and the close both come before the
        # next tick, so only the close itself can store the second move.
        earliest_tick = time.monotonic()
        self.prefix.driver("move", 100, 120)
        while True:
            read_at = time.monotonic()
            if self.stored_place() == (twips(100), twips(120)):
                break
            self.assertLess(read_at - earliest_tick, TICK_WAIT, "the first move was not stored")
            earliest_tick = read_at
        self.assertTrue(self.prefix.driver("move", 300, 200)["ok"])
        self.assertTrue(self.prefix.driver("close")["ok"])
        self.assertLess(time.monotonic() - earliest_tick, 0.95, "too slow to come between two ticks")
        self.assertEqual(0, self.wait_for_exit(process))
        self.assertEqual((twips(300), twips(200)), self.stored_place())

    def test_undeletable_wake_up_file_stops_the_program_once(self):
        process, _, window = self.start_first_run()
        self.blank(window)
        self.prefix.program_file("getup.txt").write_bytes(WAKE_UP_CONTENT)
        path = self.prefix.program_win_path("getup.txt")
        self.assertTrue(self.prefix.driver("attrib", path, "readonly")["ok"])
        self.display.click(wine.SCREEN[0] // 2, wine.SCREEN[1] // 2)

        self.assertTrue(wait_until(lambda: self.prefix.driver("boxes")["boxes"], TICK_WAIT + 1), "no stop box")
        self.prefix.screenshot("stopped")
        time.sleep(3)  # ticks go on while the box is open
        boxes = self.prefix.driver("boxes")["boxes"]
        self.assertEqual(1, len(boxes), boxes)
        self.assertEqual(("Dimlux", [IDOK]), (boxes[0]["title"], boxes[0]["buttons"]))
        self.assertIn(path, boxes[0]["text"])
        self.assertIsNotNone(self.prefix.answer("Dimlux", IDOK))
        self.assertEqual(EXIT_FATAL, self.wait_for_exit(process))


if __name__ == "__main__":
    wine.main()
