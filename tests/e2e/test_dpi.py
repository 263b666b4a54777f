"""Dimlux at 96 to 192 dpi: in proportion, on the same pixel after a restart, no idle write, blanked over the screen."""
from .harness.case import DimluxTestCase, main
from .harness.dimlux import CMD_SETTINGS, CMD_TURN_OFF, FACES, button, settings_writes
from .harness.wine import SCREEN, Screenshot

PLACE_ORDER = ["Top", "Bottom", "Left", "Right"]  # as a first run seeds them, before "Startup", and a move stores


def pixels(twips, dpi):
    return int(twips * dpi / 1440 + 0.5)


class Dpi(DimluxTestCase):
    def test_widget_in_proportion_at_each_dpi(self):
        for dpi in (96, 120, 144, 168, 192):
            with self.subTest(dpi=dpi):
                self.new_prefix(f"dpi_{dpi}")
                self.prefix.set_dpi(dpi)
                process, first = self.start_first_run(stores=dpi >= 144)  # from 144 dpi on, moved inside the screen
                self.close(process)
                written = [*PLACE_ORDER, "Startup", *(PLACE_ORDER if dpi >= 144 else [])]  # the seed, and the move
                self.assertEqual(written, settings_writes(process.log_path), "more than the seed written")
                self.assertLessEqual(first["rect"][0] + first["rect"][2], SCREEN[0])
                width = pixels(1335, dpi)
                height = pixels(360, dpi)
                side = pixels(375, dpi)
                self.assertEqual([width, height], first["client"][2:])
                self.assertEqual([0, 0, pixels(960, dpi), height], button(first, CMD_TURN_OFF)["rect"])
                self.assertEqual([width - side, 0, side, side], button(first, CMD_SETTINGS)["rect"])

                process = self.step(self.prefix.start_dimlux)  # on the same pixel, and no write
                self.assertEqual(first["rect"], self.widget["rect"])
                self.blank(self.widget)
                blanked = self.widget
                shot = Screenshot(self.display)
                self.close(process)
                x, y, width, height = blanked["rect"]  # at -2, -5 (is_turned_off)
                self.assertGreaterEqual(x + width, SCREEN[0])
                self.assertGreaterEqual(y + height, SCREEN[1])
                # Below the caption bar the red face, its caption in the middle as high as 12 points in Wine's Impact.
                x, y, width, height = blanked["client"]
                ink = shot.ink([x + 4, y + 4, width - 8, height - 8], FACES[CMD_TURN_OFF])
                font = self.prefix.driver("inkheight", "Impact", pixels(240, dpi), "Turn On")["height"]
                self.assertLessEqual(abs(ink[3] - font), 2, f"caption {ink[3]} px high, the font {font} px")
                self.assert_centred(ink, blanked["client"], ink[3], ink[3])


if __name__ == "__main__":
    main()
