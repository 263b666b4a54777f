"""The real Dimlux.exe under Wine, used as a person would: the first run, what the screen shows, the tooltip, every
input path (mouse, double click, keyboard, keys held down), the start-with-Windows button, blanking, stored values as
Wine's registry gives them, and position keeping up to the end of a Windows session."""
import time
from collections import Counter

import wine
from wine import CMD_OPT, CMD_SETTINGS, CMD_TURN_OFF, IDNO, IDYES, button, is_normal, is_turned_off, twips, wait_until

VK_RETURN = 0x0D
VK_SPACE = 0x20
GOOD = {**wine.STORED, "Startup": "1"}  # so that a repair that also resets "Startup" shows
MIN_REQUESTS_PER_SECOND = 30
MAX_GAP = 0.2  # s between two display-off requests
MAX_AFTER_RESTORE = 0.1  # s from the restore to the last request


class Widget(wine.DimluxTestCase):
    def test_first_run_drawn_and_every_input_path(self):
        process, window = self.start_first_run(debug="+timestamp,+win")
        self.assert_first_window(window)
        self.display.move_pointer(0, 0)
        self.assert_drawn(window, CMD_TURN_OFF)
        x, y = wine.middle(window, CMD_TURN_OFF)
        self.assert_tip_below(x, y)
        self.display.move_pointer(0, 0)
        self.assertTrue(wait_until(lambda: not self.visible_tips(), 5), "leaving the button hides the tip")
        # Wine sees no pointer outside its windows, and makes no move from coming back to the same pixel.
        turn_off = (x - 8, y)
        self.assert_tip_below(*turn_off)
        self.display.click(*turn_off)
        self.wait_for_window(is_turned_off)
        self.assertEqual([], self.visible_tips(), "a click hides the tip")
        time.sleep(1)
        self.display.xdotool("mousemove", "--sync", 100, 100, "mousemove", "--sync", 300, 200)
        time.sleep(1)
        self.click_button(window, CMD_SETTINGS)  # where "+" was: the blanked face takes the click
        self.wait_for_window(is_normal)
        self.display.press(*turn_off, "click", "--repeat", 2, "--delay", 150, 1)  # two clicks: blanked and back
        self.assert_settled(is_normal, "a double click")
        self.assertEqual([], self.prefix.boxes())

        self.click_caption(window)
        self.assertEqual([CMD_SETTINGS, CMD_OPT, CMD_TURN_OFF], self.focus_walk("Tab", 3))
        self.assertEqual([CMD_OPT, CMD_SETTINGS, CMD_TURN_OFF], self.focus_walk("shift+Tab", 3))
        self.focus_walk("Tab", 1)
        self.assert_drawn(window, CMD_SETTINGS)
        self.focus_walk("shift+Tab", 1)
        self.click_button(window, CMD_SETTINGS)
        window = self.answer_startup(wine.ENABLE_TEXT, "-")
        for key, state in ((VK_RETURN, is_turned_off), (VK_SPACE, is_normal)):  # held down: once, not per repeat
            self.drive("hold", key, 4)
            self.assert_settled(state, f"key {key} held down")
        self.assertEqual(window["rect"], self.prefix.main_window(0)["rect"])
        self.close(process)
        self.assert_display_off_requests(process, window)

        self.prefix.start_dimlux()
        self.click_button(self.prefix.main_window(), CMD_SETTINGS)
        self.assertTrue(wait_until(self.prefix.boxes, 5), "no confirmation box")
        self.drive("move", 200, 150)  # ticks go on while the question is open
        self.assert_stored_place(200, 150)
        self.prefix.answer("Dimlux Startup", IDNO)
        self.click_button(self.wait_for_place(200, 150), CMD_SETTINGS)
        self.answer_startup(wine.DISABLE_TEXT, "+")

    def assert_first_window(self, window):
        """At the designed place, on top as a tool window, the buttons side by side, the place stored."""
        self.assertEqual("Dimlux", window["title"])
        self.assertEqual([712, 425, 89, 24], window["client"])
        self.assertEqual(CMD_TURN_OFF, window["focus"])
        self.assertTrue(window["topmost"])
        self.assertTrue(window["toolwindow"])
        self.assertFalse(window["appwindow"])
        buttons = {b["id"]: (b["text"], b["rect"]) for b in window["buttons"]}
        self.assertEqual(("Turn Off", [0, 0, 64, 24]), buttons[CMD_TURN_OFF])
        self.assertEqual(("+", [64, 0, 25, 25]), buttons[CMD_SETTINGS])
        self.assertEqual(("?", [160, 0, 25, 25]), buttons[CMD_OPT])
        self.assertEqual(wine.stored_texts(window["rect"]), self.prefix.texts())

    def assert_drawn(self, window, focused):
        """On the screen: each face in its colour, the focus rectangle on `focused` only, each caption centred."""
        shot = wine.Screenshot(self.display)
        for control_id, colour in wine.FACES.items():
            x, y, width, height = button(window, control_id)["rect"]
            x += window["client"][0]
            y += window["client"][1]
            inside = [x + 4, y + 4, width - 8, height - 8]  # within the edge and the focus rectangle
            self.assertEqual(colour, Counter(shot.colours(inside).values()).most_common(1)[0][0], control_id)
            ring = list(shot.colours([x + 3, y + 3, width - 6, 1]).values())  # the focus rectangle's top row
            self.assertEqual(control_id == focused, ring.count(colour) < 0.9 * len(ring), f"focus on {control_id}")
            ink_x, ink_y, ink_width, ink_height = shot.ink(inside, colour)
            self.assertLessEqual(abs(2 * (ink_x - x) + ink_width - width), 4, f"{control_id} centred across")
            self.assertLessEqual(abs(2 * (ink_y - y) + ink_height - height), 3, f"{control_id} centred down")

    def assert_tip_below(self, x, y):  # the pointer moved there, over Turn Off
        self.display.move_pointer(x, y)
        tips = wait_until(self.visible_tips, 5)
        self.assertEqual([wine.TOOL_TIP], [tip["text"] for tip in tips or []], "no tip after the hover time")
        tip_x, tip_y = tips[0]["rect"][:2]
        self.assertTrue(0 <= tip_x - x <= 32, "the tip starts at the pointer")
        self.assertTrue(0 < tip_y - y <= 32, "the tip lies just below the pointer")

    def assert_display_off_requests(self, process, window):
        """The first blanking: requests at 30/s or more through a nudged mouse, none after Turn On."""
        requests, restored_at = wine.display_off_requests(process.log_path, window["hwnd"])
        self.assertIsNotNone(restored_at, "no restore in the trace")
        self.assertGreater(len(requests), 2 * MIN_REQUESTS_PER_SECOND)
        self.assertGreaterEqual((len(requests) - 1) / (requests[-1] - requests[0]), MIN_REQUESTS_PER_SECOND)
        self.assertLess(max(b - a for a, b in zip(requests, requests[1:])), MAX_GAP)
        self.assertLessEqual(requests[-1], restored_at + MAX_AFTER_RESTORE)
        self.assertGreater(requests[-1], restored_at - MAX_GAP, "requests stopped before the restore")

    def visible_tips(self):
        return [tip for tip in self.prefix.driver("tips")["tips"] if tip["visible"]]

    def focus_walk(self, key, presses):  # the focused button after each press
        walk = []
        for _ in range(presses):
            self.display.key(key)
            walk.append(self.prefix.main_window()["focus"])
        return walk

    def assert_settled(self, check, what):  # check holds, and still a moment later: no further change came
        self.wait_for_window(check)
        time.sleep(1)
        self.assertTrue(check(self.prefix.main_window(0)), what)

    def test_stored_left_as_wine_gives_it(self):
        # The sample of the unit tests' table of stored values that shows Wine's registry agrees with the fake.
        for case, stored_left, result in wine.wine_settings_cases():
            with self.subTest(case):
                values = {name: wine.sz(text) for name, text in GOOD.items()}
                values["Left"] = stored_left
                self.prefix.set_values(values)
                process = self.prefix.start_dimlux()
                window = self.prefix.main_window()
                self.assertEqual([], self.prefix.boxes())
                stored = self.prefix.texts()
                self.close(process)
                self.assertEqual([200, 160, 60], window["rect"][1:])
                self.assertEqual({**GOOD, "Left": stored["Left"]}, stored)
                if result == "repair":
                    self.assertEqual(712, window["client"][0])
                    self.assertEqual(twips(window["rect"][0]), stored["Left"])
                else:
                    self.assertEqual(round(int(result) / wine.TWIPS), window["rect"][0])

    def test_dragged_widget_is_stored_and_a_move_just_before_the_end_too(self):
        process, window = self.start_first_run()
        self.click_caption(window)
        x, y = window["rect"][:2]
        grip = self.caption_point(window)
        self.display.drag(grip, (grip[0] - 400, grip[1] - 250))
        self.assertEqual([x - 400, y - 250, *window["rect"][2:]], self.wait_for_place(x - 400, y - 250)["rect"])
        self.assert_stored_place(x - 400, y - 250)
        self.end_right_after_a_move(process, "close")
        self.end_right_after_a_move(self.prefix.start_dimlux(), "endsession", "logoff")
        process = self.prefix.start_dimlux()
        self.blank(self.prefix.main_window())
        stored = self.prefix.texts()
        self.drive("endsession", "shutdown")
        self.assertEqual(0, self.wait_for_exit(process))
        self.assertEqual(stored, self.prefix.texts(), "blanked, the end of a session stores nothing")

    def end_right_after_a_move(self, process, *ending):
        """Right after the tick that stores a first move, a second move and the end (the close box's message, or
        the end of the Windows session) both come before the next tick: only the end itself can store it. A try
        too slow to come between two ticks (a loaded machine) proves nothing, and is made again."""
        for _ in range(3):
            self.prefix.main_window()
            last_miss = self.store_a_move(100, 120)
            self.drive("move", 300, 200, *ending)
            between_two_ticks = time.monotonic() - last_miss < 0.95
            self.assertEqual(0, self.wait_for_exit(process))
            if between_two_ticks:
                self.assertEqual((twips(300), twips(200)), self.stored_place(), ending)
                return
            print(f"{ending}: too slow to come between two ticks; once more", flush=True)
            process = self.prefix.start_dimlux()
        self.fail(f"{ending}: three times too slow to come between two ticks")

    def store_a_move(self, x, y):
        """Moves the widget and waits for the tick that stores it; returns when the last read before it began."""
        moved_at = time.monotonic()
        last_miss = moved_at
        self.drive("move", x, y)
        while True:
            read_at = time.monotonic()
            if self.stored_place() == (twips(x), twips(y)):
                return last_miss
            self.assertLess(read_at - moved_at, wine.TICK_WAIT, "the move was not stored")
            last_miss = read_at


if __name__ == "__main__":
    wine.main()
