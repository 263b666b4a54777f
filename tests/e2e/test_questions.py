"""Every question Dimlux asks, answered as a person answers it: Yes by the real Enter key and by a real click on its
button, and not Yes by a real click on No, by Escape and by the box's close box. An answer that is not Yes does none
of what Yes does, and the key let go after a box has closed does not act on the widget."""
import shutil
import time
from pathlib import Path

from .harness import dimlux
from .harness.case import DimluxTestCase, main
from .harness.dimlux import CMD_SETTINGS, CMD_TURN_OFF, IDNO, IDYES, button, is_normal
from .harness.wine import WINE, poll

YES = ("Return", "click Yes")
NOT_YES = ("click No", "Escape", "close box")
README = Path(__file__).resolve().parents[2] / "docs/readme.txt"


class Questions(DimluxTestCase):
    def answer(self, title, way):
        """Answers the box with that title the way given, with real input; returns once it is gone."""
        box = poll(lambda: self.prefix.box_to_answer(title, IDNO), dimlux.WAIT)
        self.assertIsNotNone(box, f"no {title} box")
        x, y, width, height = box["rect"]
        if way.startswith("click "):
            left, top, across, down = box["places"][str(IDYES if way == "click Yes" else IDNO)]
            self.display.click(left + across // 2, top + down // 2)
        else:
            self.display.click(x + 30, y + 8)  # on its caption, which gives it the keyboard
            if way == "close box":
                self.display.click(x + width - 10, y + 10)
            else:
                self.display.key(way)
        gone = poll(lambda: box["hwnd"] not in [b["hwnd"] for b in self.prefix.boxes()], 5)
        self.assertTrue(gone, f"{title} box still open after {way}")

    def test_the_first_run_question(self):
        for way in YES + NOT_YES:
            with self.subTest(way):
                self.new_prefix(f"first_run_{way.replace(' ', '_')}")
                shutil.copy(README, self.prefix.program_file("readme.txt"))
                for view in ("/reg:32", "/reg:64"):  # as on Windows: .txt files open in Notepad
                    self.prefix.run([WINE, "reg", "add", "HKCR\\.txt", "/ve", "/d", "txtfile", "/f", view], 60)
                self.prefix.start_dimlux()
                self.answer("Dimlux", way)
                self.assertIsNotNone(self.prefix.main_window())
                opened = poll(lambda: "readme.txt - Notepad" in self.prefix.titles(), 10 if way in YES else 3)
                self.assertEqual(way in YES, bool(opened), "the readme opened")

    def test_the_second_copy_question(self):
        self.start_first_run()
        for way in NOT_YES + YES:
            with self.subTest(way):
                self.drive("move", 300, 200)
                self.wait_for_place(300, 200)
                second = self.prefix.start_dimlux()
                self.answer("Dimlux", way)
                self.assertEqual(0, self.wait_for_exit(second))
                time.sleep(dimlux.TICK_WAIT)
                self.assertEqual([0, 0] if way in YES else [300, 200], self.prefix.main_window()["rect"][:2])
                self.assertFalse(self.prefix.program_file("getup.txt").exists())

    def test_the_start_with_windows_questions(self):
        _, window = self.start_first_run()
        for caption, way in [("+", w) for w in NOT_YES + YES[:1]] + [("-", w) for w in NOT_YES + YES[1:]]:
            with self.subTest(caption=caption, way=way):
                self.drive("click", window["hwnd"], CMD_SETTINGS)
                self.answer("Dimlux Startup", way)
                time.sleep(1)  # for the key let go after the box, which must not act on the widget
                switched = {"+": "-", "-": "+"}[caption] if way in YES else caption
                now = self.wait_for_window(lambda w: w["focus"] == CMD_TURN_OFF)
                self.assertEqual([], self.prefix.boxes())
                self.assertTrue(is_normal(now))
                self.assertEqual(switched, button(now, CMD_SETTINGS)["text"])
                run_entry = f'"{self.prefix.program_win_path("Dimlux.exe")}"' if switched == "-" else None
                self.assertEqual(run_entry, self.prefix.texts(dimlux.RUN_KEY).get("Dimlux"))
                self.assertEqual("1" if switched == "-" else "0", self.prefix.texts()["Startup"])
        self.assertEqual(CMD_TURN_OFF, now["focus"])


if __name__ == "__main__":
    main()
