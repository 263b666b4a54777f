"""The real Dimlux.exe under Wine, used as a person would: the first run; what the screen shows at rest, while a button
is held down, while a question is open and right after Turn On; the tooltip; every input on every control; the focus
kept through a loss of activation; blanking; the start-with-Windows button; position keeping up to the end of a
Windows session; stored values as Wine's registry gives them."""
import time
from collections import Counter

from .harness import dimlux
from .harness.case import DimluxTestCase, main
from .harness.dimlux import CMD_OPT, CMD_SETTINGS, CMD_TURN_OFF, IDNO, button, face, is_normal, is_turned_off, middle
from .harness.wine import Screenshot, poll

# Every input on every control, in the order walked: a click, a double click, or Tab or Shift+Tab to the control and
# Enter or Space there, once or held down (Enter acts on its release, so that a key held on "+" cannot answer the
# question it opens); no mouse on "?", which lies beyond the client area.
INPUTS = {
    CMD_TURN_OFF: ["click", "double click", "Tab Return", "shift+Tab space", "Tab hold space", "shift+Tab hold Return"],
    CMD_SETTINGS: ["click", "double click", "Tab Return", "shift+Tab space", "shift+Tab hold space", "Tab hold Return"],
    CMD_OPT: ["Tab space", "shift+Tab Return", "Tab hold Return", "shift+Tab hold space"],
}
TAB_ORDER = [CMD_TURN_OFF, CMD_SETTINGS, CMD_OPT]
VIRTUAL_KEYS = {"Return": 0x0D, "space": 0x20}
TIPS = {  # Turn Off's, and those of "+" and "-"
    CMD_TURN_OFF: "Click to turn off. Press ENTER or SPACE or Click to turn on again!",
    "+": "Dimlux does not start with Windows. Click to make it start with Windows.",
    "-": "Dimlux starts with Windows. Click to stop it starting with Windows.",
}
DESIGNED_RECT = [709, 406, 95, 46]  # as a first run shows and stores it
MIN_REQUESTS_PER_SECOND = 30
MAX_GAP = 0.2  # s between two display-off requests
MAX_AFTER_RESTORE = 0.1  # s from the restore to the last request


class Widget(DimluxTestCase):
    def test_first_run_drawn_and_every_input_path(self):
        process, window = self.start_first_run(debug="+timestamp,+win")
        self.assert_first_window(window)
        for control, inputs in INPUTS.items():
            for given in inputs:
                with self.subTest(control=control, input=given):
                    self.use(control, given)

        self.reach(CMD_SETTINGS, "Tab")
        notepad = self.prefix.launch("notepad")  # another program takes the activation
        self.wait_for_window(lambda w: w["focus"] == 0, 20)
        self.click_caption(window)  # and the widget gets it back
        self.assert_drawn(self.wait_for_window(lambda w: w["focus"] == CMD_SETTINGS), CMD_SETTINGS)
        notepad.kill()
        startup = self.prefix.texts()["Startup"]
        self.display.key("Return")
        self.assertTrue(poll(self.prefix.boxes, 5), "no question")
        self.drive("move", 200, 150)  # ticks go on while the question is open
        self.assert_stored_place(200, 150)
        self.prefix.answer("Dimlux Startup", IDNO)
        self.wait_for_window(lambda w: w["focus"] == CMD_TURN_OFF)
        self.assertEqual(startup, self.prefix.texts()["Startup"], "No changes nothing")

        self.end_right_after_a_move(process, 300, 200, "close")
        self.assert_display_off_requests(process, window)
        blankings = dimlux.blankings(process.log_path, window["hwnd"])
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
        self.assertEqual(dimlux.stored_texts(window["rect"]), self.prefix.texts())

    def use(self, control, given):
        """Gives the control the input (after the Tab key it may start with) and checks that it does its job."""
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

    def reach(self, control_id, key):  # presses the key, at least once, until the focus is on that button
        order = TAB_ORDER if key == "Tab" else TAB_ORDER[::-1]
        focused = self.prefix.main_window()["focus"]
        while True:
            self.display.key(key)
            focused = order[(order.index(focused) + 1) % len(order)]  # the next in tab order, or backwards
            self.wait_for_window(lambda w: w["focus"] == focused)
            if focused == control_id:
                return

    def give(self, window, control_id, given):  # a double click on a button, or a key pressed once or held down
        if given == "double click":
            self.display.press(*middle(window, control_id), "click", "--repeat", 2, "--delay", 150, 1)
        elif given.startswith("hold "):
            self.drive("hold", VIRTUAL_KEYS[given.removeprefix("hold ")], 4)
        else:
            self.display.key(given)

    def click_showing_the_pressed_face(self, window, control):
        """A click in two halves: held down, the button has the focus and no tip, its face sunken, its caption moved."""
        point = middle(window, control)
        if control != CMD_OPT:
            self.assert_tip_below(*point, tip(window, control))
        raised = self.assert_drawn(window, window["focus"])
        self.display.press(*point, "mousedown", 1)
        self.assertTrue(poll(lambda: not lit(Screenshot(self.display), window, control), 5), "pressed")
        pressed = self.assert_drawn(window, control, pressed=control)
        self.assertEqual(far_corner(raised[control], 1), far_corner(pressed[control]), "a pixel lower, further right")
        self.assertEqual([], self.visible_tips(), "a press hides the tip")
        self.display.xdotool("mouseup", 1)

    def assert_drawn(self, window, focused, pressed=None):
        """Each face in its colour, raised but for `pressed`, the focus rectangle on `focused` only, each caption
        centred; returns each caption's ink box."""
        shot = Screenshot(self.display)
        inks = {}
        for control_id, colour in dimlux.FACES.items():
            x, y, width, height = face(window, control_id)
            inside = [x + 4, y + 4, width - 8, height - 8]  # within the edge and the focus rectangle
            self.assertEqual(colour, Counter(shot.colours(inside).values()).most_common(1)[0][0], control_id)
            ring = list(shot.colours([x + 3, y + 3, width - 6, 1]).values())  # the focus rectangle's top row
            self.assertEqual(control_id == focused, ring.count(colour) < 0.9 * len(ring), f"focus on {control_id}")
            self.assertEqual(control_id != pressed, lit(shot, window, control_id), f"{control_id} raised")
            inks[control_id] = shot.ink(inside, colour)
            self.assert_centred(inks[control_id], [x, y, width, height], 4, 3, control_id)
        return inks

    def visible_tips(self):
        return [tip for tip in self.prefix.driver("tips")["tips"] if tip["visible"]]

    def assert_tip_below(self, x, y, text):  # the pointer moved there, over a button with that tip
        self.display.move_pointer(x, y)
        tips = poll(self.visible_tips, 5)
        self.assertEqual([text], [tip["text"] for tip in tips or []], "no tip after the hover time")
        tip_x, tip_y = tips[0]["rect"][:2]
        self.assertTrue(0 <= tip_x - x <= 32, "the tip starts at the pointer")
        self.assertTrue(0 < tip_y - y <= 32, "the tip lies just below the pointer")

    def assert_turned_off_and_on(self, window, given):
        """The input blanks, the same input (a click where "+" lies) turns on again: back in place, drawn as before."""
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
        window = self.answer_startup(dimlux.DISABLE_TEXT if enabled else dimlux.ENABLE_TEXT, "+" if enabled else "-")
        if given == "click":  # the tip follows the choice, and leaving the button hides it
            x, y = middle(window, CMD_SETTINGS)
            self.display.move_pointer(0, 0)
            # Wine makes no move from coming back to the same pixel from outside its windows, and the click pointed
            # at the middle: the tip is looked for a little to its left.
            self.assert_tip_below(x - 3, y, tip(window, CMD_SETTINGS))
            self.display.move_pointer(0, 0)
            self.assertTrue(poll(lambda: not self.visible_tips(), 5), "leaving the button hides the tip")

    def assert_nothing_done(self, window):  # a second later: no box, the same place and state, the focus still there
        time.sleep(1)
        now = self.prefix.main_window(0)
        self.assertEqual([], self.prefix.boxes())
        state = [now["rect"], button(now, CMD_TURN_OFF)["text"], now["focus"]]
        self.assertEqual([window["rect"], "Turn Off", CMD_OPT], state)

    def assert_display_off_requests(self, process, window):
        """The first blanking: requests at 30/s or more through a nudged mouse, none after Turn On."""
        requests, restored_at = dimlux.display_off_requests(process.log_path, window["hwnd"])
        self.assertIsNotNone(restored_at, "no restore in the trace")
        self.assertGreater(len(requests), 2 * MIN_REQUESTS_PER_SECOND)
        self.assertGreaterEqual((len(requests) - 1) / (requests[-1] - requests[0]), MIN_REQUESTS_PER_SECOND)
        self.assertLess(max(b - a for a, b in zip(requests, requests[1:])), MAX_GAP)
        self.assertLessEqual(requests[-1], restored_at + MAX_AFTER_RESTORE)
        self.assertGreater(requests[-1], restored_at - MAX_GAP, "requests stopped before the restore")

    def test_stored_values_as_wine_gives_them(self):
        # Where Wine's registry could differ from the fake: a text filling the 255-byte buffer is used; one that
        # overflows it with its NUL, a REG_DWORD and an absent value are repaired as a first run stores them.
        filling = "0" * 251 + "3015"
        dword = (dimlux.REG_DWORD, (3015).to_bytes(4, "little"))
        self.prefix.set_values({"Left": dimlux.sz(filling, nul=False), "Top": dimlux.sz(filling), "Bottom": dword})
        process = self.prefix.start_dimlux()
        window = self.prefix.main_window()
        self.assertEqual([], self.prefix.boxes())
        self.assertEqual([3015 // dimlux.TWIPS, *DESIGNED_RECT[1:]], window["rect"])
        self.assertEqual({**dimlux.stored_texts(DESIGNED_RECT), "Left": filling}, self.prefix.texts())
        self.close(process)

    def end_right_after_a_move(self, process, x, y, *ending):
        """The end (the close box's or the session's) at once after a move, before the next tick, stores the place."""
        self.prefix.main_window()
        self.drive("move", x, y, *ending)
        self.assertEqual(0, self.wait_for_exit(process))
        self.assertEqual((dimlux.twips(x), dimlux.twips(y)), self.stored_place(), ending)


def tip(window, control):  # the text the button's tip shows now
    return TIPS[button(window, CMD_SETTINGS)["text"] if control == CMD_SETTINGS else control]


def lit(shot, window, control_id):  # a raised face is lit from the top left
    x, y, width, height = face(window, control_id)
    return sum(shot.pixel(x, y)) > sum(shot.pixel(x + width - 1, y + height - 1))


def far_corner(ink, offset=0):  # of an ink box, moved by offset pixels right and down
    x, y, width, height = ink
    return x + width + offset, y + height + offset


if __name__ == "__main__":
    main()
