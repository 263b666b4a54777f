"""A long run under Wine, compressed: no growth over a minute blanked and a minute normal, and 200 quick
Turn Off / Turn On cycles by keyboard that end where they began without one settings write (--long)."""
import os
import time
import unittest

from .harness.case import DimluxTestCase, main
from .harness.dimlux import blankings, is_normal, is_turned_off, settings_writes, sz

STORED = {"Top": "3000", "Left": "1500", "Bottom": "900", "Right": "2400", "Startup": "0"}  # whole twips
STORED_RECT = [100, 200, 160, 60]
CYCLES = 200
CYCLES_PER_BURST = 20
MAX_GROWTH = {"gdi": 2, "windows": 0, "resident_kb": 512}  # from first to last sample of a phase


@unittest.skipUnless(os.environ.get("DIMLUX_LONG") == "1", "long run; set DIMLUX_LONG=1 (scripts/test --long)")
class LongRun(DimluxTestCase):
    def test_long_run(self):
        self.prefix.set_values({name: sz(text) for name, text in STORED.items()})
        process = self.step(self.prefix.start_dimlux, lambda w: w["rect"] == STORED_RECT)
        window = self.widget
        self.click_caption(window)  # X keyboard focus for the keys below
        for phase, key_done in (("blanked", is_turned_off), ("normal", is_normal)):
            self.step(lambda: self.display.key("Return"), key_done)
            samples = self.samples(window["pid"], 13)  # over a minute
            self.assert_no_growth(phase, samples)
        burst = ["key", "--delay", 40, *["Return"] * (2 * CYCLES_PER_BURST)]
        for _ in range(CYCLES // CYCLES_PER_BURST):
            self.step(lambda: self.display.xdotool(*burst), lambda w: is_normal(w) and w["rect"] == STORED_RECT)
        self.assert_no_growth("cycles", [samples[-1], *self.samples(window["pid"], 1)])
        self.close(process)
        self.assertEqual(1 + CYCLES, blankings(process.log_path, window["hwnd"]), "every Return must toggle once")
        self.assertEqual([], settings_writes(process.log_path))

    def samples(self, pid, count):  # of its counts, one every 5 s
        samples = []
        for _ in range(count):
            time.sleep(5)
            counts = self.prefix.driver("counts", pid)
            samples.append({name: counts[name] for name in MAX_GROWTH})
        return samples

    def assert_no_growth(self, phase, samples):
        for name, limit in MAX_GROWTH.items():
            values = [sample[name] for sample in samples]
            self.assertTrue(all(value > 0 for value in values), f"{phase}: {name} {values}")
            self.assertLessEqual(values[-1] - values[0], limit, f"{phase}: {name} {values}")


if __name__ == "__main__":
    main()
