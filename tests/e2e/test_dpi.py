"""Dimlux at 96 to 192 dpi, as Wine hands it to every program: in proportion, on the same pixel after a restart,
no write while idle, blanked over the whole screen; a place stored at 96 dpi keeps its physical place."""
import time

import wine
from wine import CMD_SETTINGS, CMD_TURN_OFF, SCREEN, button, is_turned_off

IDLE_SECONDS = 3
SEED_ORDER = ["Top", "Bottom", "Left", "Right", "Startup"]


def pixels(twips, dpi):
    return int(twips * dpi / 1440 + 0.5)


class Dpi(wine.DimluxTestCase):

    def idle_run(self):
        """Starts Dimlux, lets it sit, blanks and closes it; returns both windows and the settings written."""
        process = self.prefix.start_dimlux(debug="+reg")
        window = self.prefix.main_window()
        time.sleep(IDLE_SECONDS)
        # The designed place lies beyond this small screen's right edge from 144 dpi on: no real click there.
        self.assertTrue(self.prefix.driver("click", window["hwnd"], CMD_TURN_OFF)["ok"])
        blanked = self.wait_for_window(is_turned_off)
        self.close(process)
        return window, blanked, wine.settings_writes(process.log_path)

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
                self.assertEqual([[0, 0, client[0] - side, client[1]], [client[0] - side, 0, side, side]],
                                 [button(first, i)["rect"] for i in (CMD_TURN_OFF, CMD_SETTINGS)])
                self.assertEqual(pixels(960, dpi), client[0] - side)

                window, blanked, writes = self.idle_run()
                print(f"\n{dpi} dpi: client {client}, buttons {button(first, CMD_TURN_OFF)['rect'][2:]} and "
                      f"{[side, side]}, {len(writes)} settings writes over {IDLE_SECONDS} s idle after a restart")
                self.assertEqual((first["rect"], []), (window["rect"], writes))
                x, y, width, height = blanked["rect"]
                self.assertEqual([-2, -5], [x, y])
                self.assertGreaterEqual((x + width, y + height), SCREEN)

    def test_place_stored_at_96_dpi_keeps_its_physical_place_at_144(self):
        self.prefix.set_dpi(144)
        self.store_settings(Top="3000", Left="1500", Bottom="900", Right="2400", Startup="0")
        window, _, writes = self.idle_run()
        self.assertEqual(([150, 300, 240, 90], []), (window["rect"], writes))


if __name__ == "__main__":
    wine.main()
