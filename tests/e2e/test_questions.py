"""Every question answered Yes by a real Enter held down and a click, and not by No, Escape and the close box: nothing
that Yes does follows the others, nor the Enter's repeats and release once the box is gone. Second copies' paths."""

from .harness import dimlux
from .harness.case import WIDGET, DimluxTestCase, main, startup_answered
from .harness.dimlux import CMD_SETTINGS, IDNO, IDYES
from .harness.wine import poll

YES = ("Return", "click Yes")
NOT_YES = ("click No", "Escape", "close box")
OTHER_DIR = "Other Place"


class Questions(DimluxTestCase):
    def answer(self, title, way):  # the box with that title answered the way given, with real input
        box = poll(lambda: self.prefix.box_to_answer(title, IDNO), dimlux.WAIT)
        self.assertIsNotNone(box, f"no {title} box")
        x, y, width, height = box["rect"]
        if way.startswith("click "):
            left, top, across, down = box["places"][str(IDYES if way == "click Yes" else IDNO)]
            self.display.click(left + across // 2, top + down // 2)
            return
        self.display.click(x + 30, y + 8)  # on its caption, which gives it the keyboard
        if way == "close box":
            self.display.click(x + width - 10, y + 10)
        elif way == "Return":  # held down: its repeats and its release come to the widget once the box has closed
            self.drive("hold", dimlux.VIRTUAL_KEYS["Return"], 4)
        else:
            self.display.key(way)

    def test_the_first_run_question(self):
        for way in YES + NOT_YES:
            with self.subTest(way):
                self.new_prefix(f"first_run_{way.replace(' ', '_')}")
                if way == "click Yes":  # without a readme beside it: the web page
                    self.prefix.record_browsing()
                else:
                    self.prefix.put_readme()
                self.step(self.prefix.start_dimlux, windows=["Dimlux"], stores=True)
                readme = ["readme.txt - Notepad"] if way == "Return" else []
                self.step(lambda: self.answer("Dimlux", way), windows=[WIDGET, *readme])
                if way == "click Yes":
                    self.assertTrue(self.prefix.browsed().startswith("http://"), "the web page")

    def test_the_second_copy_question_from_any_folder_and_spelling(self):
        """From another folder, in lower case, through drive Z:, by its 8.3 name; no file left in either folder."""
        self.start_first_run()
        exe = self.prefix.program_win_path("Dimlux.exe")
        other = self.prefix.copy_dimlux(OTHER_DIR)
        through_z = self.prefix.windows_path(self.prefix.program_file("Dimlux.exe"), through_z=True)
        short = self.prefix.driver("shortpath", exe)["path"]
        for way, start in [*zip(NOT_YES, [other, exe, exe]), *zip(YES * 2, [other, exe.lower(), through_z, short])]:
            with self.subTest(way=way, start=start):
                self.move(300, 200)
                second = self.step(lambda: self.prefix.start_dimlux(exe=start), windows=[WIDGET, "Dimlux"])
                place = [0, 0] if way in YES else [300, 200]
                self.step(lambda: self.answer("Dimlux", way), lambda w: w["rect"][:2] == place, stores=way in YES)
                self.assertEqual(0, self.wait_for_exit(second))
                self.assertFalse(self.prefix.program_file("getup.txt").exists())
                self.assertFalse((self.prefix.path / "drive_c" / OTHER_DIR / "getup.txt").exists())

    def test_the_start_with_windows_questions(self):
        _, window = self.start_first_run()
        for caption, way in [("+", w) for w in NOT_YES + YES[:1]] + [("-", w) for w in NOT_YES + YES[1:]]:
            with self.subTest(caption=caption, way=way):
                opened = lambda w: w["focus"] == 0
                self.step(lambda: self.drive("click", window["hwnd"], CMD_SETTINGS), opened, [WIDGET, "Dimlux Startup"])
                switched = {"+": "-", "-": "+"}[caption] if way in YES else caption
                self.step(lambda: self.answer("Dimlux Startup", way), startup_answered(switched), stores=way in YES)
                self.assert_startup(switched)


if __name__ == "__main__":
    main()
