"""The real Dimlux.exe under Wine, used as a person would: the first run; what the screen shows at rest, while a button
is held down, while a question is open and right after Turn On; the tooltip; every input on every control; the focus
kept through a loss of activation; blanking; the start-with-Windows button; position keeping up to the end of a
Windows session; stored values as Wine's registry gives them."""
import time

import wine
from wine import CMD_OPT, CMD_SETTINGS, CMD_TURN_OFF, IDNO, IDYES, button, is_normal, is_turned_off, twips, wait_until

# Every input on every control, in the order walked: a click or a double click, or a Tab key that moves the focus to the
# control and then the key pressed there, once or held down. Each control is reached by Tab and by Shift+Tab and gets
# Enter and Space, once and held down (Enter acts on its release, so that the repeats of a key held on "+" cannot
# answer the question it opens), and the mouse but on "?", which lies beyond the client area. Turn Off blanks the
# screen, "+" asks whether to start with Windows, "?" does nothing.
INPUTS = {
    CMD_TURN_OFF: ["click", "double click", "Tab Return", "shift+Tab space", "Tab hold space", "shift+Tab hold Return"],
    CMD_SETTINGS: ["click", "double click", "Tab Return", "shift+Tab space", "shift+Tab hold space", "Tab hold Return"],
    CMD_OPT: ["Tab space", "shift+Tab Return", "Tab hold Return", "shift+Tab hold space"],
}
DESIGNED_RECT = [709, 406, 95, 46]  # as a first run shows and stores it
MIN_REQUESTS_PER_SECOND = 30
MAX_GAP = 0.2  # s between two display-off requests
MAX_AFTER_RESTORE = 0.1  # s from the restore to the last request


class Widget(wine.DimluxTestCase):
    def test_first_run_drawn_and_every_input_path(self):
        process, window = self.start_first_run(debug="+timestamp,+win")
        self.assert_first_window(window)
        for control, inputs in INPUTS.items():
            for given in inputs:
                with self.subTest(control=control, input=given):
                    self.use(control, given)

        self.reach(CMD_SETTINGS, "Tab")
        notepad = self.prefix.start("notepad")  # another program takes the activation
        self.wait_for_window(lambda w: w["focus"] == 0, 20)
        self.click_caption(window)  # and the widget gets it back
        self.assert_drawn(self.wait_for_window(lambda w: w["focus"] == CMD_SETTINGS), CMD_SETTINGS)
        notepad.kill()
        startup = self.prefix.texts()["Startup"]
        self.display.key("Return")
        self.assertTrue(wait_until(self.prefix.boxes, 5), "no question")
        self.drive("move", 200, 150)  # ticks go on while the question is open
        self.assert_stored_place(200, 150)
        self.prefix.answer("Dimlux Startup", IDNO)
        self.wait_for_window(lambda w: w["focus"] == CMD_TURN_OFF)
        self.assertEqual(startup, self.prefix.texts()["Startup"], "No changes nothing")

        self.end_right_after_a_move(process, 300, 200, "close")
        self.assert_display_off_requests(process, window)
        blankings = wine.blankings(process.log_path, window["hwnd"])
        self.assertEqual(len(INPUTS[CMD_TURN_OFF]), blankings, "one blanking a use of Turn Off")
        self.end_right_after_a_move(self.prefix.start_dimlux(), 100, 120, "endsession", "logoff")

    def assert_first_window(self, window):
        """At the designed place, on top as a tool window, "?" beyond the client area, the place stored."""
        self.assertEqual("Dimlux", window["title"])
        self.assertEqual([712, 425, 89, 24], window["client"])
        self.assertEqual(DESIGNED_RECT, window["rect"])
        self.assertEqual(CMD_TURN_OFF, window["focus"])
        self.assertTrue(window["topmost"])
        self.assertTrue(window["toolwindow"])
        self.assertFalse(window["appwindow"])
        self.assertEqual([160, 0, 25, 25], button(window, CMD_OPT)["rect"])
        self.assertEqual(wine.stored_texts(window["rect"]), self.prefix.texts())

    def use(self, control, given):
        """Gives the control the input, after moving the focus there with the Tab key it may start with, and checks
        that it does what that control does."""
        window = self.prefix.main_window()
        self.assertEqual([], self.prefix.boxes())
        reach, _, key = given.partition(" ")
        if reach in ("Tab", "shift+Tab"):
            self.reach(control, reach)
            given = key
        if given == "click":
            self.click_showing_the_pressed_face(window, control)
        else:
            self.give(window, control, given)
        if given == "double click" or given.startswith("hold "):
            time.sleep(1)  # time for the second click or the repeats, which must not act again
        if control == CMD_TURN_OFF:
            self.assert_turned_off_and_on(window, given)
        elif control == CMD_SETTINGS:
            self.assert_startup_switched(window, given)
        else:
            self.assert_nothing_done(window)

    def click_showing_the_pressed_face(self, window, control):
        """A click in two halves with the screen read between: held down, the button has the focus, its face is sunken
        with the caption a pixel lower and further right, and its tip is gone."""
        point = wine.middle(window, control)
        if control != CMD_OPT:
            self.assert_tip_below(*point, tip(window, control))
        raised = self.assert_drawn(window, window["focus"])
        self.display.press(*point, "mousedown", 1)
        self.assertTrue(wait_until(lambda: not self.lit(wine.Screenshot(self.display), window, control), 5), "pressed")
        pressed = self.assert_drawn(window, control, pressed=control)
        self.assertEqual(wine.far_corner(raised[control], 1), wine.far_corner(pressed[control]), "the caption moved")
        self.assertEqual([], self.visible_tips(), "a press hides the tip")
        self.display.xdotool("mouseup", 1)

    def assert_turned_off_and_on(self, window, given):
        """The input blanks the screen and the same input turns it on again (a click: one where "+" lies on the blanked
        face), which puts the widget back in its place, drawn as before; a double click does both."""
        if given != "double click":
            self.wait_for_window(is_turned_off)
        if given == "click":
            time.sleep(1)
            self.display.xdotool("mousemove", "--sync", 100, 100, "mousemove", "--sync", 300, 200)  # a nudged mouse
            time.sleep(1)
            self.click_button(window, CMD_SETTINGS)
        elif given != "double click":
            self.give(window, CMD_TURN_OFF, given)
        restored = self.wait_for_window(is_normal)
        self.assertEqual(window["rect"], restored["rect"])
        self.assert_drawn(restored, CMD_TURN_OFF)

    def assert_startup_switched(self, window, given):
        """The start-with-Windows question opens, once; while it is open no face is pressed or focused. Yes switches."""
        if given == "click":
            self.wait_for_window(lambda w: w["focus"] == 0)
            self.assert_drawn(window, None)
        enabled = button(window, CMD_SETTINGS)["text"] == "-"
        window = self.answer_startup(wine.DISABLE_TEXT if enabled else wine.ENABLE_TEXT, "+" if enabled else "-")
        if given == "click":  # the tip follows the choice, and leaving the button hides it
            x, y = wine.middle(window, CMD_SETTINGS)
            self.display.move_pointer(0, 0)
            # Wine makes no move from coming back to the same pixel from outside its windows, and the click pointed
            # at the middle: the tip is looked for a little to its left.
            self.assert_tip_below(x - 3, y, tip(window, CMD_SETTINGS))
            self.display.move_pointer(0, 0)
            self.assertTrue(wait_until(lambda: not self.visible_tips(), 5), "leaving the button hides the tip")

    def assert_nothing_done(self, window):  # a second later: no box, the same place and state, the focus still there
        time.sleep(1)
        now = self.prefix.main_window(0)
        self.assertEqual([], self.prefix.boxes())
        self.assertEqual(
            [window["rect"], "Turn Off", CMD_OPT], [now["rect"], button(now, CMD_TURN_OFF)["text"], now["focus"]]
        )

    def assert_display_off_requests(self, process, window):
        """The first blanking: requests at 30/s or more through a nudged mouse, none after Turn On."""
        requests, restored_at = wine.display_off_requests(process.log_path, window["hwnd"])
        self.assertIsNotNone(restored_at, "no restore in the trace")
        self.assertGreater(len(requests), 2 * MIN_REQUESTS_PER_SECOND)
        self.assertGreaterEqual((len(requests) - 1) / (requests[-1] - requests[0]), MIN_REQUESTS_PER_SECOND)
        self.assertLess(max(b - a for a, b in zip(requests, requests[1:])), MAX_GAP)
        self.assertLessEqual(requests[-1], restored_at + MAX_AFTER_RESTORE)
        self.assertGreater(requests[-1], restored_at - MAX_GAP, "requests stopped before the restore")

    def test_stored_values_as_wine_gives_them(self):
        # Where Wine's registry could differ from the unit tests' fake: a text that fills the 255-byte buffer is used,
        # one that overflows it with its NUL is repaired as a first run stores it, and so are a REG_DWORD and an absent
        # value.
        filling = "0" * 251 + "3015"
        dword = (wine.REG_DWORD, (3015).to_bytes(4, "little"))
        self.prefix.set_values({"Left": wine.sz(filling, nul=False), "Top": wine.sz(filling), "Bottom": dword})
        process = self.prefix.start_dimlux()
        window = self.prefix.main_window()
        self.assertEqual([], self.prefix.boxes())
        self.assertEqual([3015 // wine.TWIPS, *DESIGNED_RECT[1:]], window["rect"])
        self.assertEqual({**wine.stored_texts(DESIGNED_RECT), "Left": filling}, self.prefix.texts())
        self.close(process)

    def end_right_after_a_move(self, process, x, y, *ending):
        """The end (the close box's message, or the end of the Windows session) at once after a move, before the
        widget's next tick but for a few milliseconds' chance: the end itself stores the place."""
        self.prefix.main_window()
        self.drive("move", x, y, *ending)
        self.assertEqual(0, self.wait_for_exit(process))
        self.assertEqual((twips(x), twips(y)), self.stored_place(), ending)


def tip(window, control):  # the text the button's tip shows now
    return wine.STARTUP_TIPS[button(window, CMD_SETTINGS)["text"]] if control == CMD_SETTINGS else wine.TOOL_TIP


if __name__ == "__main__":
    wine.main()
