"""Start-up of the real Dimlux.exe under Wine: first run, remembered geometry, second copy, repaired
settings, the fatal path for an unwritable wake-up file, and keyboard focus."""
import wine
from wine import (CMD_OPT, CMD_SETTINGS, CMD_TURN_OFF, EXIT_FATAL, FIRST_RUN_TEXT, IDNO, IDOK, IDYES,
                  SECOND_COPY_TEXT, WAKE_UP_CONTENT, button, is_normal, is_turned_off, twips)

DESIGN_CLIENT = [712, 425, 89, 24]


class StartUp(wine.DimluxTestCase):

    def test_first_run_answered_no(self):
        process, box, window = self.start_first_run()
        self.assertEqual((FIRST_RUN_TEXT, [IDYES, IDNO]), (box["text"], box["buttons"]))

        self.assertEqual(("Dimlux", DESIGN_CLIENT), (window["title"], window["client"]))
        self.assertEqual((True, True, False), (window["topmost"], window["toolwindow"], window["appwindow"]))
        self.assertEqual(CMD_TURN_OFF, window["focus"])
        self.assertEqual(("Turn Off", [0, 0, 64, 24]), (button(window, CMD_TURN_OFF)["text"],
                                                       button(window, CMD_TURN_OFF)["rect"]))
        self.assertEqual(("+", [64, 0, 25, 25]), (button(window, CMD_SETTINGS)["text"],
                                                  button(window, CMD_SETTINGS)["rect"]))
        self.assertEqual([160, 0, 25, 25], button(window, CMD_OPT)["rect"])

        left, top, width, height = window["rect"]
        stored = {name: self.setting_text(name) for name in ("Top", "Left", "Bottom", "Right", "Startup")}
        self.assertEqual({"Top": twips(top), "Left": twips(left), "Bottom": twips(height),
                          "Right": twips(width), "Startup": "0"}, stored)

        self.assertTrue(self.prefix.driver("close")["ok"])
        self.assertEqual(0, self.wait_for_exit(process))

    def test_starts_at_stored_geometry_without_asking(self):
        # Partly off the screen on the left: applied as it is.
        self.store_settings(Top=twips(200), Left=twips(-10), Bottom=twips(40), Right=twips(120), Startup="1")
        self.prefix.start_dimlux()
        window = self.prefix.main_window()
        self.prefix.screenshot("widget", window)
        self.assertEqual([-10, 200, 120, 40], window["rect"])
        self.assertEqual([], self.prefix.driver("boxes")["boxes"])
        _, _, client_width, client_height = window["client"]
        self.assertEqual([0, 0, client_width - 25, client_height], button(window, CMD_TURN_OFF)["rect"])
        self.assertEqual("-", button(window, CMD_SETTINGS)["text"])
        self.assertEqual(twips(200), self.setting_text("Top"))

    def test_damaged_values_are_repaired_and_the_rest_kept(self):
        self.store_settings(Top=twips(200), Left="abc", Bottom="99999999999", Right=twips(120), Startup="1")
        self.prefix.start_dimlux()
        window = self.prefix.main_window()
        self.prefix.screenshot("widget", window)
        frame_left = window["client"][0] - window["rect"][0]
        design_left, design_height = DESIGN_CLIENT[0] - frame_left, window["rect"][3]
        self.assertEqual([design_left, 200, 120], window["rect"][:3])
        self.assertEqual(DESIGN_CLIENT[3], window["client"][3])
        self.assertEqual((twips(design_left), twips(design_height)),
                         (self.setting_text("Left"), self.setting_text("Bottom")))
        self.assertEqual((twips(200), twips(120), "1"),
                         (self.setting_text("Top"), self.setting_text("Right"), self.setting_text("Startup")))
        self.assertEqual("-", button(window, CMD_SETTINGS)["text"])

    def test_second_copy(self):
        _, _, first = self.start_first_run()
        wake_up_file = self.prefix.program_file("getup.txt")

        second = self.prefix.start_dimlux()
        box = self.prefix.answer("Dimlux", IDNO)
        self.assertIsNotNone(box)
        self.assertEqual((SECOND_COPY_TEXT, [IDYES, IDNO]), (box["text"], box["buttons"]))
        self.assertNotEqual(first["pid"], box["pid"])
        self.assertEqual(0, self.wait_for_exit(second))
        self.assertFalse(wake_up_file.exists())

        # Blanked, the running copy leaves the wake-up file where it is.
        self.blank(first)
        second = self.prefix.start_dimlux()
        self.assertIsNotNone(self.prefix.answer("Dimlux", IDYES))
        self.assertEqual(0, self.wait_for_exit(second))
        self.assertEqual(WAKE_UP_CONTENT, wake_up_file.read_bytes())
        windows = self.prefix.driver("window")["windows"]
        self.assertEqual([first["hwnd"]], [w["hwnd"] for w in windows])

    def test_read_only_wake_up_file_ends_the_second_copy(self):
        _, _, first = self.start_first_run()
        self.blank(first)
        path = self.prefix.program_win_path("getup.txt")
        self.prefix.program_file("getup.txt").write_bytes(b"old")
        self.assertTrue(self.prefix.driver("attrib", path, "readonly")["ok"])

        second = self.prefix.start_dimlux()
        self.assertIsNotNone(self.prefix.answer("Dimlux", IDYES))
        box = self.prefix.answer("Dimlux", IDOK)
        self.assertIsNotNone(box, "no error box")
        self.prefix.screenshot("error")
        self.assertNotEqual(first["pid"], box["pid"])
        self.assertEqual([IDOK], box["buttons"])
        self.assertIn("C:\\Program Files\\Dimlux Test\\getup.txt", box["text"])
        self.assertEqual(EXIT_FATAL, self.wait_for_exit(second))
        self.assertEqual(b"old", self.prefix.program_file("getup.txt").read_bytes())

    def test_keyboard(self):
        _, _, window = self.start_first_run()
        self.click_caption(window)
        self.assertEqual(CMD_TURN_OFF, self.prefix.main_window()["focus"])
        for expected in (CMD_SETTINGS, CMD_OPT, CMD_TURN_OFF):
            self.display.key("Tab")
            self.assertEqual(expected, self.prefix.main_window()["focus"])

        self.display.key("Return")
        self.assertTrue(is_turned_off(self.wait_for_window(is_turned_off)))
        self.prefix.screenshot("blanked")
        self.display.key("space")
        restored = self.wait_for_window(is_normal)
        self.assertEqual(("Turn Off", window["rect"]), (button(restored, CMD_TURN_OFF)["text"], restored["rect"]))


if __name__ == "__main__":
    wine.main()
