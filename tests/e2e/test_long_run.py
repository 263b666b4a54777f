"""A long run, compressed (--long): no growth blanked, normal and over 200 quick cycles by keyboard, nothing written."""
import os
import time
import unittest

from .harness.case import DimluxTestCase, main
from .harness.dimlux import blankings, is_normal, is_turned_off, settings_writes
from .harness.wine import poll

CYCLES = 200
CYCLES_PER_BURST = 20
MAX_GROWTH = {"gdi": 2, "windows": 0, "resident_kb": 512}  # over a phase
PHASE_SECONDS = 60
STEADY_SECONDS = 3


@unittest.skipUnless(os.environ.get("DIMLUX_LONG") == "1", "long run; set DIMLUX_LONG=1 (scripts/test --long)")
class LongRun(DimluxTestCase):
    def test_long_run(self):
        process, window = self.start_first_run()
        self.step(lambda: self.click_caption(window))  # X keyboard focus for the keys below, once Wine has it
        for phase, key_done in (("blanked", is_turned_off), ("normal", is_normal)):
            self.step(lambda: self.display.key("Return"), key_done)
            start = self.steady_counts(window["pid"])
            time.sleep(PHASE_SECONDS)
            self.assert_no_growth(phase, start, self.counts(window["pid"]))
        start = self.counts(window["pid"])
        burst = ["key", "--delay", 40, *["Return"] * (2 * CYCLES_PER_BURST)]
        for _ in range(CYCLES // CYCLES_PER_BURST):
            self.step(lambda: self.display.xdotool(*burst), lambda w: is_normal(w) and w["rect"] == window["rect"])
        self.assert_no_growth("cycles", start, self.counts(window["pid"]))
        self.close(process)
        self.assertEqual(1 + CYCLES, blankings(process.log_path, window["hwnd"]), "every Return must toggle once")
        self.assertEqual(5, len(settings_writes(process.log_path)), "more written than the first run's seed")

    def counts(self, pid):  # those that must not grow, each read (so above 0)
        counts = self.prefix.driver("counts", pid)
        self.assertTrue(all(counts[name] > 0 for name in MAX_GROWTH), counts)
        return counts

    def steady_counts(self, pid):  # once two reads a few seconds apart agree: a new state's first seconds load code
        reads = [self.counts(pid)]

        def steady():
            time.sleep(STEADY_SECONDS)
            reads.append(self.counts(pid))
            return reads[-1] == reads[-2]

        poll(steady, PHASE_SECONDS / 2)
        return reads[-1]

    def assert_no_growth(self, phase, start, end):
        for name, limit in MAX_GROWTH.items():
            self.assertLessEqual(end[name] - start[name], limit, f"{phase}: {name} from {start[name]} to {end[name]}")


if __name__ == "__main__":
    main()
