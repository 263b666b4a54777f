"""A long run under Wine, compressed: a minute blanked and a minute normal must not make the process grow,
and 200 quick Turn Off / Turn On cycles by keyboard end where they began, without the blanked geometry
ever reaching the settings key. Runs only with DIMLUX_LONG=1 (scripts/test --long)."""
import os
import time
import unittest
from pathlib import Path

import wine
from wine import CMD_TURN_OFF, button, is_normal, is_turned_off, sz
from robust_support import SettingsWatcher, resident_kb

SETTINGS = {"Top": "3000", "Left": "1500", "Bottom": "900", "Right": "2400", "Startup": "0"}
STORED_RECT = [100, 200, 160, 60]
PHASE_SECONDS = 60
SAMPLE_SECONDS = 5
CYCLES = 200
CYCLES_PER_BURST = 20
KEY_DELAY_MS = 40
# Growth allowed between the first and the last sample of a phase.
MAX_GROWTH = {"handles": 2, "gdi": 2, "windows": 0, "resident_kb": 512}
SELF_CHECK_OBJECTS = 100
MIN_WATCH_READINGS = 100



@unittest.skipUnless(os.environ.get("DIMLUX_LONG") == "1", "long run; set DIMLUX_LONG=1 (scripts/test --long)")
class LongRun(wine.DimluxTestCase):

    def test_long_run(self):
        self.check_counters_see_growth()
        self.store_settings(**SETTINGS)
        process = self.prefix.start_dimlux(debug="+win")
        window = self.prefix.main_window()
        self.assertEqual(STORED_RECT, window["rect"])
        self.assertIn("Dimlux.exe", Path(f"/proc/{process.pid}/cmdline").read_text(), "resident size of what?")
        self.watcher = watcher = SettingsWatcher(self.prefix)
        watcher.start()
        self.addCleanup(watcher.stop)

        self.click_caption(window)  # X keyboard focus for the keys below
        self.display.key("Return")
        self.assertTrue(is_turned_off(self.wait_for_window(is_turned_off)))
        blanked = self.measure(process, window["pid"], "blanked")
        self.display.key("Return")
        self.assertTrue(is_normal(self.wait_for_window(is_normal)))
        normal = self.measure(process, window["pid"], "normal")

        started = time.monotonic()
        for burst in range(CYCLES // CYCLES_PER_BURST):
            self.display.xdotool("key", "--delay", KEY_DELAY_MS, *["Return"] * (2 * CYCLES_PER_BURST))
            after = self.wait_for_window(lambda w: is_normal(w) and w["rect"] == STORED_RECT)
            self.assertEqual(("Turn Off", STORED_RECT), (button(after, CMD_TURN_OFF)["text"], after["rect"]),
                             f"after burst {burst + 1}")
        cycle_seconds = time.monotonic() - started
        cycled = self.sample(process, window["pid"])

        readings, changes = watcher.stop()
        self.assertTrue(self.prefix.driver("close")["ok"])
        self.assertEqual(0, self.wait_for_exit(process))
        blanks = self.count_blanks(process.log_path, window["hwnd"])
        print(f"\n{CYCLES} cycles in {cycle_seconds:.1f} s, {blanks} blank placements in the trace; settings read "
              f"{readings} times, {len(changes)} readings differed")
        print("after the cycles: " + ", ".join(f"{k} {v}" for k, v in cycled.items()) +
              " (growth since the normal minute: " +
              ", ".join(f"{k} {cycled[k] - normal[-1][k]:+d}" for k in MAX_GROWTH) + ")")

        self.assert_no_growth("blanked", blanked)
        self.assert_no_growth("normal", normal)
        self.assert_no_growth("cycles", [normal[-1], cycled])
        self.assertEqual(1 + CYCLES, blanks, "every key press must toggle once")
        self.assertGreaterEqual(readings, MIN_WATCH_READINGS)
        self.assertEqual([], changes[:1], "the settings changed while blanking")
        self.assertEqual({name: sz(text)[1] for name, text in SETTINGS.items()},
                         {name: value[1] for name, value in self.prefix.values().items()})

    def check_counters_see_growth(self):
        """The driver counts a process's handles and GDI objects itself; it must see objects it makes."""
        counted = self.prefix.driver("selfcounts", SELF_CHECK_OBJECTS)
        self.assertEqual(SELF_CHECK_OBJECTS, counted["handles"][1] - counted["handles"][0])
        self.assertEqual(SELF_CHECK_OBJECTS, counted["gdi"][1] - counted["gdi"][0])

    def sample(self, process, pid):
        with self.watcher.lock:
            counts = self.prefix.driver("counts", pid)
        self.assertTrue(counts["ok"], counts)
        return {"handles": counts["handles"], "gdi": counts["gdi"], "windows": counts["windows"],
                "resident_kb": resident_kb(process)}

    def measure(self, process, pid, phase):
        """Samples the process every few seconds for a minute; prints and returns the samples."""
        samples, started = [], time.monotonic()
        while True:
            samples.append(self.sample(process, pid))
            if time.monotonic() - started >= PHASE_SECONDS:
                break
            time.sleep(SAMPLE_SECONDS)
        print(f"\n{phase} for {time.monotonic() - started:.0f} s:")
        for name in MAX_GROWTH:
            print(f"  {name:12} " + " ".join(str(s[name]) for s in samples))
        return samples

    def assert_no_growth(self, phase, samples):
        growth = {name: samples[-1][name] - samples[0][name] for name in MAX_GROWTH}
        self.assertTrue(all(growth[name] <= limit for name, limit in MAX_GROWTH.items()),
                        f"{phase}: growth {growth}, allowed {MAX_GROWTH}")

    def count_blanks(self, log_path, hwnd):
        """Placements over the whole screen above all windows in a +win trace: one per Turn Off."""
        placement = f"NtUserSetWindowPos hwnd {hwnd:#x}, after 0xffffffffffffffff, -2,-5 "
        return sum(placement in line for line in log_path.read_text(errors="replace").splitlines())


if __name__ == "__main__":
    wine.main()
