"""Blanking under Wine: Turn Off covers the screen and keeps asking for the display to go off until a
click, Enter or Space brings the widget back."""
import re
import time

import wine
from wine import CMD_SETTINGS, CMD_TURN_OFF, SCREEN, button, is_normal, is_turned_off

TRACE_LINE = re.compile(r"^(\d+\.\d+):\w+:trace:win:(.*)$")
MIN_REQUESTS_PER_SECOND = 30
MAX_GAP = 0.2
MAX_AFTER_RESTORE = 0.1



def display_off_requests(log_path, hwnd):
    """Times (s) of the display-off requests in a +timestamp,+win trace, and the time of the first
    placement without HWND_TOPMOST after them (the restore), or None."""
    requests, restored = [], None
    marker = f"handle_sys_command hwnd {hwnd:#x} WM_SYSCOMMAND f170 2"
    placement = f"NtUserSetWindowPos hwnd {hwnd:#x}, after (nil)"
    for line in log_path.read_text(errors="replace").splitlines():
        match = TRACE_LINE.match(line)
        if not match:
            continue
        stamp, text = float(match[1]), match[2]
        if text == marker:
            requests.append(stamp)
        elif requests and restored is None and text.startswith(placement):
            restored = stamp
    return requests, restored


class Blanking(wine.DimluxTestCase):

    def start(self):
        process = self.prefix.start_dimlux(debug="+timestamp,+win")
        self.assertIsNotNone(self.prefix.answer("Dimlux", wine.IDNO))
        window = self.prefix.main_window()
        self.assertIsNotNone(window)
        return process, window

    def test_click_blanks_and_click_restores(self):
        process, window = self.start()
        stored = {name: self.setting_text(name) for name in ("Top", "Left", "Bottom", "Right")}

        blanked = self.blank(window)
        self.prefix.screenshot("blanked")
        x, y, width, height = blanked["rect"]
        self.assertEqual([-2, -5], [x, y])
        self.assertGreaterEqual((x + width, y + height), SCREEN)
        _, _, client_width, client_height = blanked["client"]
        self.assertEqual([0, 0, client_width, client_height], button(blanked, CMD_TURN_OFF)["rect"])
        self.assertTrue(blanked["topmost"])

        time.sleep(1)
        self.display.xdotool("mousemove", "--sync", 100, 100, "mousemove", "--sync", 300, 200)
        time.sleep(1)
        self.assertTrue(is_turned_off(self.prefix.main_window(0)))
        self.display.click(SCREEN[0] // 2, SCREEN[1] // 2)
        restored = self.wait_for_window(is_normal)
        self.prefix.screenshot("restored", restored)
        self.assertEqual((window["rect"], window["client"]), (restored["rect"], restored["client"]))
        self.assertEqual(button(window, CMD_TURN_OFF)["rect"], button(restored, CMD_TURN_OFF)["rect"])
        time.sleep(0.5)
        self.assertEqual(stored, {name: self.setting_text(name) for name in stored})

        self.prefix.driver("close")
        self.wait_for_exit(process)
        requests, restored_at = display_off_requests(process.log_path, window["hwnd"])
        self.assertIsNotNone(restored_at, "no restore in the trace")
        self.assertGreater(len(requests), 2 * MIN_REQUESTS_PER_SECOND)
        rate = (len(requests) - 1) / (requests[-1] - requests[0])
        self.assertGreaterEqual(rate, MIN_REQUESTS_PER_SECOND)
        self.assertLess(max(b - a for a, b in zip(requests, requests[1:])), MAX_GAP)
        self.assertLessEqual(requests[-1], restored_at + MAX_AFTER_RESTORE)
        self.assertGreater(requests[-1], restored_at - MAX_GAP, "requests stopped before the restore")

    def test_keys_restore_after_ticks(self):
        _, window = self.start()
        self.click_caption(window)
        self.blank(window)
        time.sleep(1)
        self.display.key("Return")
        self.assertEqual(window["rect"], self.wait_for_window(is_normal)["rect"])

        self.display.key("space")
        self.assertTrue(is_turned_off(self.wait_for_window(is_turned_off)))
        time.sleep(1)
        self.display.key("Tab")
        self.assertEqual(CMD_SETTINGS, self.prefix.main_window(0)["focus"])
        self.display.key("shift+Tab", "space")
        restored = self.wait_for_window(is_normal)
        self.assertEqual(window["rect"], restored["rect"])
        self.assertEqual(CMD_TURN_OFF, restored["focus"])


if __name__ == "__main__":
    wine.main()
