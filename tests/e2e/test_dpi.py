"""Dimlux at 96 to 192 dpi, as Wine hands it to every program: in proportion, on the same pixel after a restart,
no write while idle, blanked over the whole screen with a caption of the designed size."""
import time

from .harness.case import DimluxTestCase, main
from .harness.dimlux import CMD_SETTINGS, CMD_TURN_OFF, FACES, button, is_turned_off, settings_writes
from .harness.wine import SCREEN, Screenshot

IDLE_SECONDS = 3
SEED_ORDER = ["Top", "Bottom", "Left", "Right", "Startup"]
PLACE_ORDER = ["Top", "Bottom", "Left", "Right"]


def pixels(twips, dpi):
    return int(twips * dpi / 1440 + 0.5)


class Dpi(DimluxTestCase):
    def writes_till_closed(self, process):  # the settings it wrote from its start
        self.close(process)
        return settings_writes(process.log_path)

    def test_widget_in_proportion_at_each_dpi(self):
        for dpi in (96, 120, 144, 168, 192):
            with self.subTest(dpi=dpi):
                self.new_prefix(f"dpi_{dpi}")
                self.prefix.set_dpi(dpi)
                process, first = self.start_first_run(debug="+reg")
                # From 144 dpi on the designed place lies beyond this screen's right edge: it opens inside it.
                moved = PLACE_ORDER if dpi >= 144 else []
                self.assertEqual(SEED_ORDER + moved, self.writes_till_closed(process), "more than the seed written")
                self.assertLessEqual(first["rect"][0] + first["rect"][2], SCREEN[0])
                width = pixels(1335, dpi)
                height = pixels(360, dpi)
                side = pixels(375, dpi)
                self.assertEqual([width, height], first["client"][2:])
                self.assertEqual([0, 0, pixels(960, dpi), height], button(first, CMD_TURN_OFF)["rect"])
                self.assertEqual([width - side, 0, side, side], button(first, CMD_SETTINGS)["rect"])

                process = self.prefix.start_dimlux(debug="+reg")  # its registry writes traced
                window = self.prefix.main_window()
                time.sleep(IDLE_SECONDS)
                self.display.move_pointer(SCREEN[0] // 2, 2)  # on the blanked caption bar, so that no tip comes
                self.drive("click", window["hwnd"], CMD_TURN_OFF)
                blanked = self.wait_for_window(is_turned_off)
                time.sleep(0.5)  # drawn
                shot = Screenshot(self.display)
                self.assertEqual([], self.writes_till_closed(process))
                self.assertEqual(first["rect"], window["rect"])
                x, y, width, height = blanked["rect"]
                self.assertEqual([-2, -5], [x, y])
                self.assertGreaterEqual(x + width, SCREEN[0])
                self.assertGreaterEqual(y + height, SCREEN[1])
                # Below the caption bar the screen is the red face, bare but for its caption in the middle, as
                # high as the designed 12 points at this dpi in the font Wine puts in the place of Impact.
                x, y, width, height = blanked["client"]
                inside = [x + 4, y + 4, width - 8, height - 8]
                ink = shot.ink(inside, FACES[CMD_TURN_OFF])
                ink_height = ink[3]
                font = self.prefix.driver("inkheight", "Impact", pixels(240, dpi), "Turn On")["height"]
                self.assertLessEqual(abs(ink_height - font), 2, f"caption {ink_height} px high, the font {font} px")
                self.assert_centred(ink, blanked["client"], ink_height, ink_height)


if __name__ == "__main__":
    main()
