"""Dimlux at 96 to 192 dpi, as Wine hands it to every program: in proportion, on the same pixel after a restart,
no write while idle, blanked over the whole screen with a caption of the designed size; a place stored at 96 dpi
keeps its physical place at 168, where a comma as decimal separator is written and read back."""
import time

import wine
from wine import CMD_SETTINGS, CMD_TURN_OFF, FACES, SCREEN, button, is_turned_off, wait_until

IDLE_SECONDS = 3
SEED_ORDER = ["Top", "Bottom", "Left", "Right", "Startup"]


def pixels(twips, dpi):
    return int(twips * dpi / 1440 + 0.5)


class Dpi(wine.DimluxTestCase):
    def idle_run(self):
        """Starts Dimlux, lets it sit, blanks and closes it; returns both windows, the blanked screen and the
        settings written."""
        process = self.prefix.start_dimlux(debug="+reg")
        window = self.prefix.main_window()
        time.sleep(IDLE_SECONDS)
        self.display.move_pointer(SCREEN[0] // 2, 2)  # on the blanked caption bar, so that no tip comes
        # The designed place lies beyond this small screen's right edge from 144 dpi on: no real click there.
        self.assertTrue(self.prefix.driver("click", window["hwnd"], CMD_TURN_OFF)["ok"])
        blanked = self.wait_for_window(is_turned_off)
        time.sleep(0.5)  # drawn
        shot = wine.Screenshot(self.display)
        self.close(process)
        return window, blanked, shot, wine.settings_writes(process.log_path)

    def test_widget_in_proportion_at_each_dpi(self):
        for dpi in (96, 120, 144, 168, 192):
            with self.subTest(dpi=dpi):
                self.prefix = wine.Prefix(self.display, f"test_dpi/dpi_{dpi}")
                self.addCleanup(self.prefix.stop)
                self.prefix.set_dpi(dpi)
                process, _, first = self.start_first_run(debug="+reg")
                self.close(process)
                self.assertEqual(SEED_ORDER, wine.settings_writes(process.log_path), "more than the seed written")
                client, side = [pixels(1335, dpi), pixels(360, dpi)], pixels(375, dpi)
                self.assertEqual(client, first["client"][2:])
                self.assertEqual(
                    [[0, 0, client[0] - side, client[1]], [client[0] - side, 0, side, side]],
                    [button(first, i)["rect"] for i in (CMD_TURN_OFF, CMD_SETTINGS)],
                )
                self.assertEqual(pixels(960, dpi), client[0] - side)

                window, blanked, shot, writes = self.idle_run()
                self.assertEqual((first["rect"], []), (window["rect"], writes))
                x, y, width, height = blanked["rect"]
                self.assertEqual([-2, -5], [x, y])
                self.assertGreaterEqual((x + width, y + height), SCREEN)
                # Below the caption bar the screen is the red face, bare but for its caption in the middle, as
                # high as the designed 12 points at this dpi in the font Wine puts in the place of Impact.
                face_x, face_y, face_width, face_height = blanked["client"]
                inside = [face_x + 4, face_y + 4, face_width - 8, face_height - 8]
                ink_x, ink_y, ink_width, ink_height = shot.ink(inside, FACES[CMD_TURN_OFF])
                font = self.prefix.driver("inkheight", "Impact", pixels(240, dpi), "Turn On")["height"]
                self.assertLessEqual(abs(ink_height - font), 2, f"caption {ink_height} px high, the font {font} px")
                self.assertLessEqual(abs(2 * (ink_x - face_x) + ink_width - face_width), ink_height, "centred across")
                self.assertLessEqual(abs(2 * (ink_y - face_y) + ink_height - face_height), ink_height, "centred down")

    def test_place_kept_at_168_dpi_with_a_comma_as_decimal_separator(self):
        self.prefix.set_dpi(168)
        self.prefix.set_values({"sDecimal": wine.sz(",")}, "Control Panel\\International")
        self.store_settings(**wine.STORED)  # whole twips, as at 96 dpi: the same physical place
        window, _, _, writes = self.idle_run()
        self.assertEqual(([175, 350, 280, 105], []), (window["rect"], writes))
        process = self.prefix.start_dimlux()
        self.prefix.main_window()
        self.assertTrue(self.prefix.driver("move", 100, 50)["ok"])
        self.assertTrue(wait_until(lambda: self.prefix.texts()["Left"] == "857,1428", wine.TICK_WAIT + 1))
        self.assertEqual("428,5714", self.prefix.texts()["Top"])
        self.close(process)
        window, _, _, writes = self.idle_run()  # read back to the same pixel, nothing repaired
        self.assertEqual(([100, 50], []), (window["rect"][:2], writes))


if __name__ == "__main__":
    wine.main()
