"""Damaged settings values under Wine: each of the five values in turn gets one bad or unusual form while
the other four hold good values. Every start must show the window and either use the value as converted
(rounded down) or repair exactly that value as a first run seeds it, leaving the other four alone."""
import math

import wine
from wine import CMD_SETTINGS, REG_BINARY, REG_DWORD, TWIPS, VALUE_NAMES, button, sz, text_of

# Good values, all whole pixels and away from the designed geometry, so that a repair shows.
BASELINE = {"Top": 3000, "Left": 1500, "Bottom": 900, "Right": 2400, "Startup": 1}
# The number the well-formed cases spell for each value: whole pixels again, different from the baseline.
NUMBER = {"Top": 4500, "Left": 3015, "Bottom": 1050, "Right": 2715, "Startup": 1}
RECT_INDEX = {"Left": 0, "Top": 1, "Right": 2, "Bottom": 3}
SIZES = ("Right", "Bottom")
REPAIR = "repaired"
TYPE_NAMES = {REG_BINARY: "BINARY", REG_DWORD: "DWORD"}


def stored_cases(number, separator):
    """(label, stored value, expected) where expected is the number read or REPAIR.

    The reader takes at most 255 bytes. Text stored with its NUL fits up to 254 characters; text stored
    without one fits up to 255, filling the buffer, and is then used whole. Windows, and Wine alike,
    append a NUL to REG_SZ data written without one whenever the byte after the data is NUL: that is how
    Dimlux's own writes end up stored ("690" followed by NUL), and why a 255-character text written that
    way no longer fits. The driver stores exactly the bytes given, so both sides of the edge are tried."""
    text = str(number)
    other = "," if separator == "." else "."
    return [
        ("absent", None, REPAIR),
        ("empty", sz("", nul=False), REPAIR),
        ("'abc'", sz("abc"), REPAIR),
        (f"' {text} '", sz(f" {text} "), number),
        ("'1e3'", sz("1e3"), REPAIR),
        (f"'{text}{other}5'", sz(f"{text}{other}5"), REPAIR),
        (f"'{text}{separator}5'", sz(f"{text}{separator}5"), number),
        (f"'-0{separator}5'", sz(f"-0{separator}5"), -1),
        ("'99999999999'", sz("99999999999"), REPAIR),
        ("254 nines", sz("9" * 254), REPAIR),
        ("254 chars, zeros+N", sz(text.zfill(254)), number),
        ("255 chars + NUL", sz(text.zfill(255)), REPAIR),
        ("255 chars, no NUL", sz(text.zfill(255), nul=False), number),
        ("256 chars, no NUL", sz(text.zfill(256), nul=False), REPAIR),
        ("300 chars, zeros+N", sz(text.zfill(300)), REPAIR),
        ("REG_DWORD N", (REG_DWORD, number.to_bytes(4, "little")), REPAIR),
        # The type is not looked at: binary data that spells the number is read like text.
        ("REG_BINARY 'N'", (REG_BINARY, text.encode("ascii")), number),
    ]


def to_pixels(twips):
    """Twips to the nearest pixel, halves away from zero, as the window is placed."""
    return int(math.copysign(math.floor(abs(twips) / TWIPS + 0.5), twips))


def same_value(value, wanted):
    """Equal bytes, or the same text where one of them has the NUL that Windows adds."""
    return value == wanted or (value is not None and wanted is not None
                               and text_of(value) is not None and text_of(value) == text_of(wanted))


def short(value):
    if value is None:
        return "absent"
    text = text_of(value)
    shown = repr(text) if text is not None else f"{TYPE_NAMES.get(value[0], value[0])} {value[1]!r}"
    return shown if len(shown) <= 14 else f"{shown[:6]}..({len(text or value[1])})"


class SettingsMatrix(wine.DimluxTestCase):

    def test_each_value_damaged_in_turn(self):
        self.rows = []
        self.addCleanup(self.print_table)
        self.seed = self.first_run_seed()
        separator = self.prefix.driver("locale")["decimal"]
        baseline = {name: sz(str(number)) for name, number in BASELINE.items()}
        for name in VALUE_NAMES:
            for label, stored, expected in stored_cases(NUMBER[name], separator):
                with self.subTest(value=name, case=label):
                    self.start_with({**baseline, name: stored}, name, label, expected, baseline)

    def first_run_seed(self):
        """The five texts a first run stores; remembers the rectangle of the window it opens."""
        process, _, window = self.start_first_run()
        seed = {name: text_of(value) for name, value in self.prefix.values().items()}
        self.assertEqual(set(VALUE_NAMES), set(seed))
        self.assertEqual("0", seed["Startup"])
        self.close(process)
        self.design_rect = window["rect"]
        return seed

    def start_with(self, values, name, label, expected, baseline):
        self.prefix.set_values(values)
        process = self.prefix.start_dimlux()
        window = self.prefix.main_window()
        if window is None:
            self.rows.append((name, label, str(expected), "no window", "FAIL"))
            self.fail(f"no window; boxes: {self.prefix.driver('boxes')['boxes']}; exit code: {process.poll()}")
        try:
            self.assertEqual([], self.prefix.driver("boxes")["boxes"])
            self.check_outcome(window, name, label, expected, values[name])
            after = self.prefix.values()
            self.assertEqual({n: baseline[n] for n in VALUE_NAMES if n != name},
                             {n: after.get(n) for n in VALUE_NAMES if n != name}, "another value changed")
        finally:
            self.close(process)

    def expectation(self, name, expected, stored):
        """(window rect, "+"/"-" caption, the value as it must end up stored) for one case."""
        rect = [to_pixels(BASELINE[n]) for n in ("Left", "Top", "Right", "Bottom")]
        caption = "-"
        if expected == REPAIR:
            if name == "Startup":
                caption = "+"
            else:
                rect[RECT_INDEX[name]] = self.design_rect[RECT_INDEX[name]]
            return rect, caption, sz(self.seed[name], nul=False)
        if name == "Startup":
            return rect, "-" if expected == 1 else "+", stored
        pixels = to_pixels(expected)
        if name in SIZES:
            pixels = max(pixels, 1)  # Wine makes a window at least one pixel wide and high
        rect[RECT_INDEX[name]] = pixels
        # A number that is no whole pixel is replaced by what the position keeper stores on its next tick.
        return rect, caption, stored if pixels * TWIPS == expected else sz(str(pixels * TWIPS), nul=False)

    def check_outcome(self, window, name, label, expected, stored):
        rect, caption, final = self.expectation(name, expected, stored)
        after = self.prefix.values().get(name)
        if not same_value(after, final):  # the position keeper ticks once a second
            wine.wait_until(lambda: same_value(self.prefix.values().get(name), final), 3)
            after = self.prefix.values().get(name)
        shown = (window["rect"], button(window, CMD_SETTINGS)["text"])
        as_expected = shown == (rect, caption) and same_value(after, final)
        self.rows.append((name, label, REPAIR if expected == REPAIR else f"used {expected}",
                          f"{short(after)} {shown[0]} {shown[1]}", "ok" if as_expected else "FAIL"))
        self.assertEqual((rect, caption), shown)
        self.assertTrue(same_value(after, final), f"stored {after}, expected {final}")

    def close(self, process):
        self.assertTrue(self.prefix.driver("close")["ok"])
        self.assertEqual(0, self.wait_for_exit(process))

    def print_table(self):
        print(f"\n{'value':8} {'case':22} {'expected':16} {'stored after, window rect, +/-':50} result")
        for row in self.rows:
            print(f"{row[0]:8} {row[1]:22} {row[2]:16} {row[3]:50} {row[4]}")
        print(f"{len(self.rows)} cases, {sum(r[4] == 'ok' for r in self.rows)} as expected")


if __name__ == "__main__":
    wine.main()
