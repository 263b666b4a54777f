"""The real Dimlux.exe under Wine, used as a person would: the first run, stored values as Wine's registry
gives them, a second copy, the keyboard and the start-with-Windows button, blanking, and position keeping."""
import time

import wine
from wine import (DISABLE_TEXT, ENABLE_TEXT, RUN_ENTRY, CMD_OPT, CMD_SETTINGS, CMD_TURN_OFF, FIRST_RUN_TEXT, IDNO, IDYES, RUN_KEY,
                  SCREEN, SECOND_COPY_TEXT, TICK_WAIT, TWIPS, WAKE_UP_CONTENT, button, is_normal, is_turned_off, sz,
                  twips, wait_until)

GOOD = {"Top": "3000", "Left": "1500", "Bottom": "900", "Right": "2400", "Startup": "1"}
MIN_REQUESTS_PER_SECOND, MAX_GAP, MAX_AFTER_RESTORE = 30, 0.2, 0.1


class Widget(wine.DimluxTestCase):

    place = lambda self: (lambda texts: (texts["Left"], texts["Top"]))(self.prefix.texts())

    def test_first_run_keyboard_and_start_with_windows(self):
        process, box, window = self.start_first_run()
        self.assertEqual((FIRST_RUN_TEXT, [IDYES, IDNO]), (box["text"], box["buttons"]))
        self.assertEqual(("Dimlux", [712, 425, 89, 24], CMD_TURN_OFF), (window["title"], window["client"], window["focus"]))
        self.assertEqual((True, True, False), (window["topmost"], window["toolwindow"], window["appwindow"]))
        self.assertEqual([("Turn Off", [0, 0, 64, 24]), ("+", [64, 0, 25, 25]), ("?", [160, 0, 25, 25])],
                         [(button(window, i)["text"], button(window, i)["rect"]) for i in (101, 102, 103)])
        left, top, width, height = window["rect"]
        self.assertEqual({"Top": twips(top), "Left": twips(left), "Bottom": twips(height), "Right": twips(width),
                          "Startup": "0"}, self.prefix.texts())

        self.click_caption(window)
        for expected in (CMD_SETTINGS, CMD_OPT, CMD_TURN_OFF):
            self.display.key("Tab")
            self.assertEqual(expected, self.prefix.main_window()["focus"])
        window = self.toggle(window, IDYES, ENABLE_TEXT, "-")
        self.display.key("Return")  # the focus is back on the big button
        self.wait_for_window(is_turned_off)
        self.display.key("space")
        self.assertEqual(window["rect"], self.wait_for_window(is_normal)["rect"])
        self.close(process)

        self.prefix.start_dimlux()
        self.click_button(self.prefix.main_window(), CMD_SETTINGS)
        self.assertTrue(wait_until(self.prefix.boxes, 5), "no confirmation box")
        self.prefix.driver("move", 200, 150)  # ticks go on while the question is open
        self.assertTrue(wait_until(lambda: self.place() == (twips(200), twips(150)), TICK_WAIT))
        self.prefix.answer("Dimlux Startup", IDNO)
        self.toggle(self.wait_for_window(lambda w: w["rect"][:2] == [200, 150]), IDYES, DISABLE_TEXT, "+")

    def test_stored_left_as_wine_gives_it(self):
        # The sample of the unit tests' table of stored values that shows Wine's registry agrees with the fake.
        for case, stored, result in wine.settings_cases(sample=True):
            with self.subTest(case):
                self.prefix.set_values({**{n: sz(t) for n, t in GOOD.items()}, "Left": stored})
                process = self.prefix.start_dimlux()
                window = self.prefix.main_window()
                self.assertEqual([], self.prefix.boxes())
                stored = self.prefix.texts()
                self.close(process)
                self.assertEqual(([200, 160, 60], {**GOOD, "Left": stored["Left"]}), (window["rect"][1:], stored))
                if result == "repair":
                    self.assertEqual((712, twips(window["rect"][0])), (window["client"][0], stored["Left"]))
                else:
                    self.assertEqual(round(int(result) / TWIPS), window["rect"][0])

    def test_second_copy_wakes_the_widget_once_it_is_back(self):
        _, _, window = self.start_first_run()
        wake_up_file, stored = self.prefix.program_file("getup.txt"), self.prefix.texts()
        for answer in (IDNO, IDYES):
            second = self.prefix.start_dimlux()
            box = self.prefix.answer("Dimlux", answer)
            self.assertEqual((SECOND_COPY_TEXT, [IDYES, IDNO]), (box["text"], box["buttons"]))
            self.assertEqual(0, self.wait_for_exit(second))
            self.assertEqual([window["hwnd"]], [w["hwnd"] for w in self.prefix.driver("window")["windows"]])
            if answer == IDNO:
                self.assertFalse(wake_up_file.exists())
                self.blank(window)
        time.sleep(2.5)  # blanked, the widget leaves the request and the settings alone
        self.assertEqual((WAKE_UP_CONTENT, stored), (wake_up_file.read_bytes(), self.prefix.texts()))
        self.display.click(SCREEN[0] // 2, SCREEN[1] // 2)
        cornered = self.wait_for_window(lambda w: is_normal(w) and w["rect"][:2] == [0, 0], timeout=TICK_WAIT + 1)
        self.assertEqual([0, 0, *window["rect"][2:]], cornered["rect"])
        self.assertFalse(wake_up_file.exists())
        self.assertEqual(("0", "0"), wait_until(lambda: self.place() == ("0", "0") and self.place(), TICK_WAIT))

    def toggle(self, window, answer, question, after):
        """Clicks "+"/"-", answers the question and checks the caption, focus, Run entry and "Startup"."""
        self.click_button(window, CMD_SETTINGS)
        box = self.prefix.answer("Dimlux Startup", answer)
        self.assertEqual((question, [IDYES, IDNO]), (box["text"], box["buttons"]))
        window = self.wait_for_window(lambda w: button(w, CMD_SETTINGS)["text"] == after and w["focus"] == CMD_TURN_OFF)
        self.assertEqual((RUN_ENTRY if after == "-" else None, "1" if after == "-" else "0"),
                         (self.prefix.texts(RUN_KEY).get("Dimlux"), self.prefix.texts()["Startup"]))
        return window

    def test_click_blanks_and_click_restores(self):
        process, _, window = self.start_first_run(debug="+timestamp,+win")
        stored = self.prefix.texts()
        blanked = self.blank(window)
        x, y, width, height = blanked["rect"]
        self.assertEqual([-2, -5, True, [0, 0, *blanked["client"][2:]]],
                         [x, y, blanked["topmost"], button(blanked, CMD_TURN_OFF)["rect"]])
        self.assertGreaterEqual((x + width, y + height), SCREEN)
        time.sleep(1)
        self.display.xdotool("mousemove", "--sync", 100, 100, "mousemove", "--sync", 300, 200)
        time.sleep(1)
        self.assertTrue(is_turned_off(self.prefix.main_window(0)))
        self.display.click(SCREEN[0] // 2, SCREEN[1] // 2)
        restored = self.wait_for_window(is_normal)
        self.assertEqual((window["rect"], window["buttons"]), (restored["rect"], restored["buttons"]))
        time.sleep(0.5)
        self.assertEqual(stored, self.prefix.texts())
        self.close(process)

        requests, restored_at = wine.display_off_requests(process.log_path, window["hwnd"])
        self.assertIsNotNone(restored_at, "no restore in the trace")
        self.assertGreater(len(requests), 2 * MIN_REQUESTS_PER_SECOND)
        self.assertGreaterEqual((len(requests) - 1) / (requests[-1] - requests[0]), MIN_REQUESTS_PER_SECOND)
        self.assertLess(max(b - a for a, b in zip(requests, requests[1:])), MAX_GAP)
        self.assertLessEqual(requests[-1], restored_at + MAX_AFTER_RESTORE)
        self.assertGreater(requests[-1], restored_at - MAX_GAP, "requests stopped before the restore")

    def test_dragged_widget_is_stored_and_a_move_just_before_closing_too(self):
        process, _, window = self.start_first_run()
        self.click_caption(window)
        x, y = window["rect"][:2]
        grip = (x + 20, (y + window["client"][1]) // 2)
        self.display.drag(grip, (grip[0] - 400, grip[1] - 250))
        self.assertEqual([x - 400, y - 250, *window["rect"][2:]],
                         self.wait_for_window(lambda w: w["rect"][:2] == [x - 400, y - 250])["rect"])
        self.assertTrue(wait_until(lambda: self.place() == (twips(x - 400), twips(y - 250)), TICK_WAIT))
        # Right after the tick that stores a first move, a second move and the close both come before the
        # next tick, so only the close itself can store the second move.
        moved_at = last_miss = time.monotonic()
        self.prefix.driver("move", 100, 120)
        while (read_at := time.monotonic()) and self.place() != (twips(100), twips(120)):
            self.assertLess(read_at - moved_at, TICK_WAIT, "the first move was not stored")
            last_miss = read_at
        self.assertTrue(self.prefix.driver("move", 300, 200)["ok"] and self.prefix.driver("close")["ok"])
        self.assertLess(time.monotonic() - last_miss, 0.95, "too slow to come between two ticks")
        self.assertEqual(0, self.wait_for_exit(process))
        self.assertEqual((twips(300), twips(200)), self.place())


if __name__ == "__main__":
    wine.main()
