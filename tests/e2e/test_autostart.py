"""The start-with-Windows button under Wine: a real click on "+"/"-", the confirmation answered through the
driver, and the Run entry, the stored choice, the caption and the keyboard focus afterwards."""
import wine
from wine import CMD_SETTINGS, CMD_TURN_OFF, IDNO, IDYES, RUN_KEY, TICK_WAIT, button, is_normal, is_turned_off, twips

BOX_TITLE = "Dimlux Startup"
ENABLE_TEXT = "Start on Windows startup not enabled\r\nDo you want to enable it?"
DISABLE_TEXT = "Start on Windows startup enabled\r\nDo you want to disable it?"
INSTALLED_EXE = "C:\\Program Files\\Dimlux Test\\Dimlux.exe"


def caption(window, control_id=CMD_SETTINGS):
    return button(window, control_id)["text"]


class Autostart(wine.DimluxTestCase):

    def run_entry(self):
        """The text of the "Dimlux" Run entry (which must be REG_SZ), or None if there is none."""
        return self.stored_text("Dimlux", RUN_KEY)

    def toggle(self, window, answer, expected_text):
        """Clicks "+"/"-" for real, answers the confirmation and returns the window once it shows the result."""
        before = caption(window)
        self.click_button(window, CMD_SETTINGS)
        box = self.prefix.answer(BOX_TITLE, answer)
        self.assertIsNotNone(box, "no confirmation box")
        self.assertEqual((expected_text, [IDYES, IDNO]), (box["text"], box["buttons"]))
        flipped = {"+": "-", "-": "+"}[before] if answer == IDYES else before
        window = self.wait_for_window(lambda w: caption(w) == flipped and w["focus"] == CMD_TURN_OFF)
        self.assertEqual((flipped, CMD_TURN_OFF), (caption(window), window["focus"]))
        return window

    def test_enable_survives_restart_and_disable_removes_the_entry(self):
        self.assertEqual(INSTALLED_EXE, self.prefix.exe_win_path)
        process, _, window = self.start_first_run()
        window = self.toggle(window, IDYES, ENABLE_TEXT)
        self.prefix.screenshot("enabled", window)
        self.assertEqual(f'"{INSTALLED_EXE}"', self.run_entry())
        self.assertEqual("1", self.setting_text("Startup"))

        self.display.key("Return")
        self.assertTrue(is_turned_off(self.wait_for_window(is_turned_off)))
        self.display.key("Return")
        self.assertEqual(window["rect"], self.wait_for_window(is_normal)["rect"])

        self.restart(process)
        window = self.prefix.main_window()
        self.assertEqual("-", caption(window))

        window = self.toggle(window, IDYES, DISABLE_TEXT)
        self.prefix.screenshot("disabled", window)
        self.assertIsNone(self.run_entry())
        self.assertEqual("0", self.setting_text("Startup"))

    def test_no_changes_nothing_and_ticks_go_on_meanwhile(self):
        _, _, window = self.start_first_run()
        self.click_button(window, CMD_SETTINGS)
        # While the confirmation is open the position keeper still stores a move.
        self.assertTrue(wine.wait_until(lambda: self.prefix.driver("boxes")["boxes"], 5), "no confirmation box")
        self.prefix.driver("move", 200, 150)
        self.assertTrue(wine.wait_until(lambda: self.setting_text("Left") == twips(200), TICK_WAIT))
        self.assertEqual(twips(150), self.setting_text("Top"))
        self.assertIsNotNone(self.prefix.answer(BOX_TITLE, IDNO))
        window = self.wait_for_window(lambda w: w["focus"] == CMD_TURN_OFF)
        self.assertEqual(("+", CMD_TURN_OFF), (caption(window), window["focus"]))
        self.assertIsNone(self.run_entry())
        self.assertEqual("0", self.setting_text("Startup"))

        window = self.toggle(window, IDYES, ENABLE_TEXT)
        window = self.toggle(window, IDNO, DISABLE_TEXT)
        self.assertEqual(f'"{INSTALLED_EXE}"', self.run_entry())
        self.assertEqual("1", self.setting_text("Startup"))


if __name__ == "__main__":
    wine.main()
