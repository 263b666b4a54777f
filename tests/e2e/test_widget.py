"""The widget under Wine as a person uses and sees it, to the end of a session; stored values as Wine gives them."""
import re
import time
from bisect import bisect_left
from collections import Counter

from .harness import dimlux
from .harness.case import WIDGET, DimluxTestCase, main
from .harness.dimlux import CMD_OPT, CMD_SETTINGS, CMD_TURN_OFF, IDNO, button, face, is_normal, is_turned_off, middle
from .harness.wine import Screenshot, poll

# Every input on every control, in the order walked; Enter acts on its release, so that a key held on "+" cannot answer
# the question it opens; no mouse on "?", which lies beyond the client area.
INPUTS = {
    CMD_TURN_OFF: ["click", "double click", "Tab Return", "shift+Tab space", "Tab hold space", "shift+Tab hold Return"],
    CMD_SETTINGS: ["click", "double click", "Tab Return", "shift+Tab space", "shift+Tab hold space", "Tab hold Return"],
    CMD_OPT: ["Tab space", "shift+Tab Return", "Tab hold Return", "shift+Tab hold space"],
}
TAB_ORDER = [CMD_TURN_OFF, CMD_SETTINGS, CMD_OPT]
TIPS = {  # Turn Off's, and those of "+" and "-"
    CMD_TURN_OFF: "Click to turn off. Press ENTER or SPACE or Click to turn on again!",
    "+": "Dimlux does not start with Windows. Click to make it start with Windows.",
    "-": "Dimlux starts with Windows. Click to stop it starting with Windows.",
}
DESIGNED_RECT = [709, 406, 95, 46]  # as a first run shows and stores it
MIN_REQUESTS_PER_SECOND = 30
BLANKED_SECONDS = 2.5  # the first blanking's, at least
NOTEPAD = "Untitled - Notepad"


class Widget(DimluxTestCase):
    def test_first_run_drawn_and_every_input_path(self):
        process, window = self.start_first_run()  # at the designed place, a tool window, "?" beyond the client area
        self.assertEqual(["Dimlux", DESIGNED_RECT, CMD_TURN_OFF], [window["title"], window["rect"], window["focus"]])
        self.assertEqual([True, False], [window["toolwindow"], window["appwindow"]])
        self.assertEqual([160, 0, 25, 25], button(window, CMD_OPT)["rect"])
        self.assertEqual(dimlux.stored_texts(DESIGNED_RECT), self.prefix.texts())
        for control, inputs in INPUTS.items():
            for given in inputs:
                with self.subTest(control=control, input=given):
                    self.use(control, given)

        # Another program takes the activation, and a click on the caption gives it back.
        self.reach(CMD_SETTINGS, "Tab")
        notepad = self.step(lambda: self.prefix.launch("notepad"), lambda w: w["focus"] == 0, [WIDGET, NOTEPAD])
        self.step(lambda: self.click_caption(window), lambda w: w["focus"] == CMD_SETTINGS, [WIDGET, NOTEPAD])
        self.assert_drawn(self.widget, CMD_SETTINGS)
        notepad.kill()
        self.step(lambda: self.display.key("Return"), lambda w: w["focus"] == 0, [WIDGET, "Dimlux Startup"])
        self.move(200, 150, [WIDGET, "Dimlux Startup"])  # ticks go on while the question is open
        self.step(lambda: self.prefix.answer("Dimlux Startup", IDNO), lambda w: w["focus"] == CMD_TURN_OFF)

        self.end_right_after_a_move(process, 300, 200, "close")
        self.assert_display_off_requests(process, window)
        blankings = dimlux.blankings(process.log_path, window["hwnd"])
        self.assertEqual(len(INPUTS[CMD_TURN_OFF]), blankings, "one blanking a use of Turn Off")
        self.end_right_after_a_move(self.step(self.prefix.start_dimlux), 100, 120, "endsession", "logoff")

    def use(self, control, given):
        """The control's tip shown, then the input (after the Tab it may start with), which hides it, does its job."""
        window = self.prefix.main_window()
        reach, _, key = given.partition(" ")
        if reach in ("Tab", "shift+Tab"):
            self.reach(control, reach)
            given = key
        if control != CMD_OPT:
            self.show_tip(window, control)
        action = self.input(window, control, given)
        if control == CMD_TURN_OFF:
            self.assert_turned_off_and_on(window, given, action)
        elif control == CMD_SETTINGS:
            self.assert_startup_switched(window, given, action)
        else:  # "?" does nothing and keeps the focus
            self.step(action, lambda w: [w["rect"], is_normal(w), w["focus"]] == [window["rect"], True, CMD_OPT])

    def reach(self, control_id, key):
        """One step: the key pressed as often as it takes, at least once, to bring the focus to that button."""
        order = TAB_ORDER if key == "Tab" else TAB_ORDER[::-1]
        focused = self.prefix.main_window()["focus"]
        presses = (order.index(control_id) - order.index(focused) - 1) % len(order) + 1
        keys = ["key", "--delay", 300, *[key] * presses]
        self.step(lambda: self.display.xdotool(*keys), lambda w: w["focus"] == control_id)

    def input(self, window, control_id, given):  # the action that gives the input; a click pressed down already
        if given == "click":
            self.press_showing_the_pressed_face(window, control_id)
            return lambda: self.display.xdotool("mouseup", 1)
        if given == "double click":
            return lambda: self.display.press(*middle(window, control_id), "click", "--repeat", 2, "--delay", 150, 1)
        if given.startswith("hold "):
            return lambda: self.drive("hold", dimlux.VIRTUAL_KEYS[given.removeprefix("hold ")], 4)
        return lambda: self.display.key(given)

    def press_showing_the_pressed_face(self, window, control):
        """Held down, the button has the focus and no tip, its face sunken, its caption moved."""
        raised = self.assert_drawn(window, window["focus"])
        self.step(lambda: self.display.press(*middle(window, control), "mousedown", 1))
        self.assertTrue(poll(lambda: not lit(Screenshot(self.display), window, control), 5), "pressed")
        pressed = self.assert_drawn(window, control, pressed=control)
        self.assertEqual(far_corner(raised[control], 1), far_corner(pressed[control]), "a pixel lower, further right")

    def assert_drawn(self, window, focused, pressed=None):
        """Each face in its colour, raised but `pressed`, the focus on `focused`, its caption centred; the ink boxes."""
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

    def show_tip(self, window, control):
        """The pointer comes to rest on the button from the other one, its tip just below it. Wine sends no leave beyond
        its windows, so the other button's leave comes late and the next move tracks this button again: the tip comes
        with that tracking's hover, and none is left to come after the step."""
        x, y = middle(window, control)
        other = middle(window, CMD_SETTINGS if control == CMD_TURN_OFF else CMD_TURN_OFF)
        mark = self.prefix.trace_marks()

        def come_to_rest():
            for point in (other, (x + 1, y), (x, y)):
                self.display.move_pointer(*point)

        self.step(come_to_rest, lambda w: dimlux.hovered(self.prefix.traced(mark)), tip=True)
        shown = next(w for w in self.prefix.windows() if w["class"] == dimlux.TIP_CLASS)
        showing = button(window, CMD_SETTINGS)["text"] if control == CMD_SETTINGS else control  # "+" or "-" on it
        self.assertEqual(TIPS[showing], shown["title"])
        self.assertTrue(0 <= shown["rect"][0] - x <= 32, "the tip starts at the pointer")
        self.assertTrue(0 < shown["rect"][1] - y <= 32, "the tip lies just below the pointer")

    def assert_turned_off_and_on(self, window, given, action):
        """The input blanks, the same input (a click where "+" lies) turns on again: back in place, drawn as before."""
        blanked_at = time.monotonic()
        if given != "double click":
            self.step(action, is_turned_off)
        if given == "click":  # the first blanking, whose display-off requests are counted by the second
            nudge = ("mousemove", "--sync", 100, 100, "mousemove", "--sync", 300, 200)
            self.step(lambda: self.display.xdotool(*nudge), is_turned_off, tip=None)
            time.sleep(max(0.0, blanked_at + BLANKED_SECONDS - time.monotonic()))
            action = lambda: self.display.click(*middle(window, CMD_SETTINGS))
        rest = None if given == "click" else False  # a pointer left at rest on "+" may bring its tip
        self.step(action, lambda w: is_normal(w) and w["rect"] == window["rect"], tip=rest)
        self.assert_drawn(self.widget, CMD_TURN_OFF)

    def assert_startup_switched(self, window, given, action):
        """The question opens, once, no face pressed or focused; Yes switches, and the tip tells the new choice."""
        self.step(action, lambda w: w["focus"] == 0, [WIDGET, "Dimlux Startup"])
        if given == "click":
            self.assert_drawn(window, None)
        enabled = button(window, CMD_SETTINGS)["text"] == "-"
        self.answer_startup(dimlux.DISABLE_TEXT if enabled else dimlux.ENABLE_TEXT, "+" if enabled else "-")
        if given == "click":
            self.show_tip(self.widget, CMD_SETTINGS)
            self.step(lambda: self.display.move_pointer(0, 0))

    def assert_display_off_requests(self, process, window):
        """The first blanking: 30 requests or more in every second of it, up to Turn On; counted by the second, so that
        a busy machine's stall of a few tenths is no fault, but requests that pause for most of a second are."""
        requests, restored_at = dimlux.display_off_requests(process.log_path, window["hwnd"])
        self.assertIsNotNone(restored_at, "no restore in the trace")
        self.assertGreater(restored_at - requests[0], 1.5, "blanked for a second and a half or more")
        starts = [t for t in requests if t <= restored_at - 1] + [restored_at - 1]
        fewest = min(bisect_left(requests, t + 1) - bisect_left(requests, t) for t in starts)
        self.assertGreaterEqual(fewest, MIN_REQUESTS_PER_SECOND, "display-off requests in the sparsest second")

    def test_stored_values_as_wine_gives_them(self):
        # A text filling the 255-byte buffer is used; one that overflows it with its NUL, a REG_DWORD, none: repaired.
        filling = "0" * 251 + "3015"
        dword = (dimlux.REG_DWORD, (3015).to_bytes(4, "little"))
        self.prefix.set_values({"Left": dimlux.sz(filling, nul=False), "Top": dimlux.sz(filling), "Bottom": dword})
        # Each text written is counted without its NUL: seen at the call, as Wine stores a NUL either way.
        self.prefix.set_values({"RelayInclude": dimlux.sz("advapi32.RegSetValueExA")}, "Software\\Wine\\Debug")
        process = self.step(lambda: self.prefix.start_dimlux(debug=dimlux.TRACE + ",+relay"), stores=True)
        self.assertEqual([3015 // dimlux.TWIPS, *DESIGNED_RECT[1:]], self.widget["rect"])
        self.assertEqual({**dimlux.stored_texts(DESIGNED_RECT), "Left": filling}, self.prefix.texts())
        trace = process.log_path.read_text(errors="replace")
        calls = re.findall(r'RegSetValueExA\(\w+,\w+ "(\w+)",0+,0+1,\w+,(\w+)\)', trace)  # a REG_SZ's name, bytes
        written = {name: len(text) for name, text in dimlux.stored_texts(DESIGNED_RECT).items() if name != "Left"}
        self.assertEqual(written, {name: int(count, 16) for name, count in calls})

    def end_right_after_a_move(self, process, x, y, *ending):
        """The end (the close box's or the session's) at once after a move, before the next tick, stores the place."""
        self.step(lambda: self.drive("move", x, y, *ending), windows=[], stores=True)
        self.assertEqual(0, self.wait_for_exit(process))
        self.assertEqual((dimlux.twips(x), dimlux.twips(y)), self.stored_place(), ending)


def lit(shot, window, control_id):  # a raised face is lit from the top left
    x, y, width, height = face(window, control_id)
    return sum(shot.pixel(x, y)) > sum(shot.pixel(x + width - 1, y + height - 1))


def far_corner(ink, offset=0):  # of an ink box, moved by offset pixels right and down
    x, y, width, height = ink
    return x + width + offset, y + height + offset


if __name__ == "__main__":
    main()
