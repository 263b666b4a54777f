"""Five copies racing from two folders, a wake-up file held open for a while or for good, a folder named in Unicode."""

from .harness import dimlux
from .harness.case import WIDGET, DimluxTestCase, main
from .harness.dimlux import CMD_SETTINGS, IDNO, IDOK, IDYES, button, is_normal, is_turned_off
from .harness.wine import poll

ANSWERS = (IDYES, IDNO, IDYES, IDNO)  # the racing second copies', in the order their boxes are found
FOREIGN_DIR = "Users/Инструменты ☼/ツール 工具"  # Cyrillic, a symbol, Japanese, Chinese: none in code page 1252
ARABIC_DECIMAL_SEPARATOR = "\u066b"  # two bytes in UTF-8
LOCK_SECONDS = 2  # a moment's lock, as a sync client or a scanner holds a new file


class Robustness(DimluxTestCase):
    def test_five_copies_from_two_folders_at_once_on_a_first_run(self):
        other = self.prefix.copy_dimlux("Other Place")
        processes = [self.prefix.start_dimlux(exe=other if i % 2 else None) for i in range(1 + len(ANSWERS))]

        def exit_codes():  # of the copies that ended
            return [process.returncode for process in processes if process.poll() is not None]

        self.assertTrue(poll(lambda: len(self.prefix.boxes()) == len(processes), 90, 0.5), "one box a copy")
        found = self.prefix.boxes()
        texts = sorted(box["text"] for box in found)
        self.assertEqual(sorted([dimlux.FIRST_RUN_TEXT] + [dimlux.SECOND_COPY_TEXT] * len(ANSWERS)), texts)
        first_run = next(box for box in found if box["text"] == dimlux.FIRST_RUN_TEXT)
        for box, answer in zip([box for box in found if box is not first_run], ANSWERS):
            self.drive("click", box["hwnd"], answer)
        self.assertTrue(poll(lambda: exit_codes() == [0] * len(ANSWERS), 20), exit_codes())
        # One widget left; two copies answered Yes: it takes the wake-up request on its first tick and stores (0, 0).
        self.step(lambda: self.drive("click", first_run["hwnd"], IDNO), at_the_corner, stores=True)
        self.assertFalse(self.prefix.program_file("getup.txt").exists())  # nor in the other folder: test_questions
        self.assertEqual(dimlux.stored_texts(self.widget["rect"]), self.prefix.texts())

    def test_wake_up_file_held_open_for_a_moment_or_for_good(self):
        first, window = self.start_first_run()
        wake_up_file = self.prefix.program_file("getup.txt")
        self.blank(window)  # so that it leaves the file alone
        wake_up_file.write_bytes(b"")
        # A second copy answered Yes, the file held from when its box shows.
        second = self.step(self.prefix.start_dimlux, is_turned_off, [WIDGET, "Dimlux"])
        box = self.prefix.box_to_answer("Dimlux", IDYES)
        self.prefix.lock("getup.txt", LOCK_SECONDS)
        self.step(lambda: self.drive("click", box["hwnd"], IDYES), is_turned_off)
        self.assertEqual(0, self.wait_for_exit(second))
        self.assertEqual(dimlux.WAKE_UP_CONTENT, wake_up_file.read_bytes())
        self.prefix.lock("getup.txt", LOCK_SECONDS)
        self.step(lambda: self.display.click(*dimlux.MIDDLE), at_the_corner, stores=True)  # Turn On, the file held
        self.assertFalse(wake_up_file.exists())

        self.blank(self.widget)
        wake_up_file.write_bytes(dimlux.WAKE_UP_CONTENT)
        self.prefix.lock("getup.txt", 600)
        # Back to normal, the file held for good: after the tries one box names it; OK ends Dimlux, the file stays.
        # The tick that shows the box is the last until it is answered.
        self.step(lambda: self.display.click(*dimlux.MIDDLE), is_normal, [WIDGET, "Dimlux"], ticks=False)
        box = self.step(lambda: self.prefix.answer("Dimlux", IDOK), windows=[])
        self.assertEqual([IDOK], box["buttons"])
        held = self.prefix.program_win_path("getup.txt")
        self.assertEqual(f"Could not delete the wake-up file:\r\n{held}", box["text"])
        self.assertEqual(dimlux.EXIT_FATAL, self.wait_for_exit(first))
        self.assertEqual(dimlux.WAKE_UP_CONTENT, wake_up_file.read_bytes())

    def test_kept_in_a_folder_named_in_other_scripts(self):
        self.prefix.install(FOREIGN_DIR)
        self.prefix.set_dpi(168)  # 8.57 twips per pixel: the stored sizes have fractions
        self.prefix.set_decimal_separator(ARABIC_DECIMAL_SEPARATOR)
        process, window = self.start_first_run(stores=True)  # the designed place lies beyond this screen at 168 dpi
        self.step(lambda: self.drive("click", window["hwnd"], CMD_SETTINGS), windows=[WIDGET, "Dimlux Startup"])
        self.answer_startup(dimlux.ENABLE_TEXT, "-")
        self.assertIn(ARABIC_DECIMAL_SEPARATOR, self.prefix.texts()["Bottom"])
        self.close(process)

        self.step(self.prefix.start_dimlux)  # repairs nothing
        self.assertEqual("-", button(self.widget, CMD_SETTINGS)["text"])
        self.assertEqual(window["rect"], self.widget["rect"])
        self.start_second_copy(IDYES, until=at_the_corner)


def at_the_corner(widget):
    return widget["rect"][:2] == [0, 0]


if __name__ == "__main__":
    main()
