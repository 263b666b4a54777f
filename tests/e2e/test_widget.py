"""The real Dimlux.exe under Wine, used as a person would: the first run, what the screen shows, the tooltip, every
input path (mouse, double click, keyboard, keys held down), the start-with-Windows button, blanking, stored values as
Wine's registry gives them, a second copy, and position keeping up to the end of a Windows session."""
import time
from collections import Counter

import wine
from wine import (
    DISABLE_TEXT,
    ENABLE_TEXT,
    FACES,
    RUN_ENTRY,
    CMD_OPT,
    CMD_SETTINGS,
    CMD_TURN_OFF,
    FIRST_RUN_TEXT,
    IDNO,
    IDYES,
    RUN_KEY,
    SCREEN,
    SECOND_COPY_TEXT,
    TICK_WAIT,
    TOOL_TIP,
    TWIPS,
    WAKE_UP_CONTENT,
    button,
    is_normal,
    is_turned_off,
    middle,
    sz,
    twips,
    wait_until,
)

VK_RETURN, VK_SPACE = 0x0D, 0x20

GOOD = {"Top": "3000", "Left": "1500", "Bottom": "900", "Right": "2400", "Startup": "1"}
MIN_REQUESTS_PER_SECOND, MAX_GAP, MAX_AFTER_RESTORE = 30, 0.2, 0.1


class Widget(wine.DimluxTestCase):
    place = lambda self: (lambda texts: (texts["Left"], texts["Top"]))(self.prefix.texts())

    def test_first_run_drawn_and_every_input_path(self):
        process, box, window = self.start_first_run(debug="+timestamp,+win")
        self.assertEqual((FIRST_RUN_TEXT, [IDYES, IDNO]), (box["text"], box["buttons"]))
        self.assertEqual(
            ("Dimlux", [712, 425, 89, 24], CMD_TURN_OFF), (window["title"], window["client"], window["focus"])
        )
        self.assertEqual((True, True, False), (window["topmost"], window["toolwindow"], window["appwindow"]))
        self.assertEqual(
            [("Turn Off", [0, 0, 64, 24]), ("+", [64, 0, 25, 25]), ("?", [160, 0, 25, 25])],
            [(button(window, i)["text"], button(window, i)["rect"]) for i in (101, 102, 103)],
        )
        left, top, width, height = window["rect"]
        self.assertEqual(
            {"Top": twips(top), "Left": twips(left), "Bottom": twips(height), "Right": twips(width), "Startup": "0"},
            self.prefix.texts(),
        )
        self.display.move_pointer(0, 0)
        self.assert_drawn(window, CMD_TURN_OFF)

        turn_off = middle(window, CMD_TURN_OFF)
        self.display.move_pointer(*turn_off)
        tip = wait_until(self.visible_tips, 5)
        self.assertEqual([TOOL_TIP], [t["text"] for t in tip or []], "no tip after the hover time")
        self.assertTrue(0 <= tip[0]["rect"][0] - turn_off[0] <= 32 and 0 < tip[0]["rect"][1] - turn_off[1] <= 32)
        self.display.move_pointer(0, 0)
        self.assertTrue(wait_until(lambda: not self.visible_tips(), 5), "leaving the button hides the tip")
        # Wine sees no pointer outside its windows, and makes no move from coming back to the same pixel.
        turn_off = turn_off[0] - 8, turn_off[1]
        self.display.move_pointer(*turn_off)
        self.assertTrue(wait_until(self.visible_tips, 5))
        self.display.click(*turn_off)
        self.wait_for_window(is_turned_off)
        self.assertEqual([], self.visible_tips(), "a click hides the tip")
        time.sleep(1)
        self.display.xdotool("mousemove", "--sync", 100, 100, "mousemove", "--sync", 300, 200)
        time.sleep(1)
        self.display.click(*middle(window, CMD_SETTINGS))  # where "+" was: the blanked face takes the click
        self.wait_for_window(is_normal)
        self.display.press(*turn_off, "click", "--repeat", 2, "--delay", 150, 1)  # two clicks: blanked and back
        self.assertTrue(is_normal(self.settled_window(is_normal)))
        self.assertEqual([], self.prefix.boxes())

        self.click_caption(window)
        walks = {"Tab": [CMD_SETTINGS, CMD_OPT, CMD_TURN_OFF], "shift+Tab": [CMD_OPT, CMD_SETTINGS, CMD_TURN_OFF]}
        for key, walk in walks.items():  # round the tab order, forwards and backwards
            self.assertEqual(walk, [self.focus_after(key) for _ in walk])
        self.focus_after("Tab")
        self.assert_drawn(window, CMD_SETTINGS)
        self.focus_after("shift+Tab")
        window = self.toggle(window, IDYES, ENABLE_TEXT, "-")
        for key, state in ((VK_RETURN, is_turned_off), (VK_SPACE, is_normal)):  # held down: once, not per repeat
            self.assertTrue(self.prefix.driver("hold", key, 4)["ok"])
            self.assertTrue(state(self.settled_window(state)), f"key {key} held down")
        self.assertEqual(window["rect"], self.prefix.main_window(0)["rect"])
        self.close(process)
        # The first blanking: requests at 30/s or more through a nudged mouse, none after Turn On.
        requests, restored_at = wine.display_off_requests(process.log_path, window["hwnd"])
        self.assertIsNotNone(restored_at, "no restore in the trace")
        self.assertGreater(len(requests), 2 * MIN_REQUESTS_PER_SECOND)
        self.assertGreaterEqual((len(requests) - 1) / (requests[-1] - requests[0]), MIN_REQUESTS_PER_SECOND)
        self.assertLess(max(b - a for a, b in zip(requests, requests[1:])), MAX_GAP)
        self.assertLessEqual(requests[-1], restored_at + MAX_AFTER_RESTORE)
        self.assertGreater(requests[-1], restored_at - MAX_GAP, "requests stopped before the restore")

        self.prefix.start_dimlux()
        self.click_button(self.prefix.main_window(), CMD_SETTINGS)
        self.assertTrue(wait_until(self.prefix.boxes, 5), "no confirmation box")
        self.prefix.driver("move", 200, 150)  # ticks go on while the question is open
        self.assertTrue(wait_until(lambda: self.place() == (twips(200), twips(150)), TICK_WAIT))
        self.prefix.answer("Dimlux Startup", IDNO)
        self.toggle(self.wait_for_window(lambda w: w["rect"][:2] == [200, 150]), IDYES, DISABLE_TEXT, "+")

    def assert_drawn(self, window, focused):
        """On the screen: each face in its colour, the focus rectangle on `focused` only, each caption centred."""
        shot = wine.Screenshot(self.display)
        for control_id, colour in FACES.items():
            x, y, width, height = button(window, control_id)["rect"]
            face = [window["client"][0] + x, window["client"][1] + y, width, height]
            inside = [face[0] + 4, face[1] + 4, width - 8, height - 8]  # within the edge and the focus rectangle
            self.assertEqual(colour, Counter(shot.colours(inside).values()).most_common(1)[0][0], control_id)
            ring = list(shot.colours([face[0] + 3, face[1] + 3, width - 6, 1]).values())
            self.assertEqual(control_id == focused, ring.count(colour) < 0.9 * len(ring), f"focus on {control_id}")
            ink_x, ink_y, ink_width, ink_height = shot.ink(inside, colour)
            self.assertLessEqual(abs(2 * (ink_x - face[0]) + ink_width - width), 4, f"{control_id} centred across")
            self.assertLessEqual(abs(2 * (ink_y - face[1]) + ink_height - height), 3, f"{control_id} centred down")

    def visible_tips(self):
        return [tip for tip in self.prefix.driver("tips")["tips"] if tip["visible"]]

    def focus_after(self, key):
        self.display.key(key)
        return self.prefix.main_window()["focus"]

    def settled_window(self, check):  # once check holds, the window a moment later: no further change came
        self.wait_for_window(check)
        time.sleep(1)
        return self.prefix.main_window(0)

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
        self.display.click(SCREEN[0] - 5, SCREEN[1] - 5)  # anywhere on the blanked face
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
        self.assertEqual(
            (RUN_ENTRY if after == "-" else None, "1" if after == "-" else "0"),
            (self.prefix.texts(RUN_KEY).get("Dimlux"), self.prefix.texts()["Startup"]),
        )
        return window

    def test_dragged_widget_is_stored_and_a_move_just_before_the_end_too(self):
        process, _, window = self.start_first_run()
        self.click_caption(window)
        x, y = window["rect"][:2]
        grip = (x + 20, (y + window["client"][1]) // 2)
        self.display.drag(grip, (grip[0] - 400, grip[1] - 250))
        self.assertEqual(
            [x - 400, y - 250, *window["rect"][2:]],
            self.wait_for_window(lambda w: w["rect"][:2] == [x - 400, y - 250])["rect"],
        )
        self.assertTrue(wait_until(lambda: self.place() == (twips(x - 400), twips(y - 250)), TICK_WAIT))
        self.end_right_after_a_move(process, "close")
        self.end_right_after_a_move(self.prefix.start_dimlux(), "endsession", "logoff")
        process = self.prefix.start_dimlux()
        self.blank(self.prefix.main_window())
        stored = self.prefix.texts()
        self.assertTrue(self.prefix.driver("endsession", "shutdown")["ok"])
        self.assertEqual(0, self.wait_for_exit(process))
        self.assertEqual(stored, self.prefix.texts(), "blanked, the end of a session stores nothing")

    def end_right_after_a_move(self, process, *ending):
        """Right after the tick that stores a first move, a second move and the end (the close box's message, or
        the end of the Windows session) both come before the next tick: only the end itself can store it."""
        self.prefix.main_window()
        moved_at = last_miss = time.monotonic()
        self.prefix.driver("move", 100, 120)
        while (read_at := time.monotonic()) and self.place() != (twips(100), twips(120)):
            self.assertLess(read_at - moved_at, TICK_WAIT, "the first move was not stored")
            last_miss = read_at
        self.assertTrue(self.prefix.driver("move", 300, 200, *ending)["ok"])
        self.assertLess(time.monotonic() - last_miss, 0.95, "too slow to come between two ticks")
        self.assertEqual(0, self.wait_for_exit(process))
        self.assertEqual((twips(300), twips(200)), self.place(), ending)


if __name__ == "__main__":
    wine.main()
