"""The wake-up file under Wine when the file system says no: a file the running copy cannot delete ends it
with exactly one stop box, and a second copy that cannot write the file says so and ends."""
import time

import wine
from wine import EXIT_FATAL, IDOK, IDYES, SECOND_COPY_TEXT, WAKE_UP_CONTENT
from robust_support import HeldFile, boxes, click

SETTINGS = {"Top": "3000", "Left": "1500", "Bottom": "900", "Right": "2400", "Startup": "0"}
WAKE_UP_PATH = "C:\\Program Files\\Dimlux Test\\getup.txt"
WATCH_SECONDS = 3
SHARE_ALL_BUT_DELETE = "rw"
SHARE_READ_ONLY = "r"


class FileFaults(wine.DimluxTestCase):

    def start(self):
        self.store_settings(**SETTINGS)
        process = self.prefix.start_dimlux()
        window = self.prefix.main_window()
        self.assertIsNotNone(window)
        return process, window

    def expect_one_stop_box(self, process, pid, failure):
        """Exactly one box, from process `pid`, that stays the only one and names the failed operation and
        the file; answering it ends the program."""
        stop_boxes = lambda: [box for box in boxes(self.prefix) if box["buttons"] == [IDOK]]
        self.assertTrue(wine.wait_until(stop_boxes, 5), f"no stop box; boxes: {boxes(self.prefix)}")
        seen = []
        for _ in range(WATCH_SECONDS * 2):
            seen.append(boxes(self.prefix))
            time.sleep(0.5)
        self.prefix.screenshot("stop-box")
        box = seen[0][0]
        self.assertEqual([[box["hwnd"]]] * len(seen), [[b["hwnd"] for b in shown] for shown in seen])
        self.assertEqual((pid, "Dimlux", [IDOK]), (box["pid"], box["title"], box["buttons"]))
        self.assertIn(failure, box["text"])
        self.assertIn(WAKE_UP_PATH, box["text"])
        click(self.prefix, box, IDOK)
        self.assertEqual(EXIT_FATAL, self.wait_for_exit(process))
        return box

    # --- The running copy cannot delete the file ---

    def test_wake_up_file_held_without_share_delete(self):
        process, window = self.start()
        HeldFile(self.prefix, WAKE_UP_PATH, SHARE_ALL_BUT_DELETE, 30)
        self.expect_one_stop_box(process, window["pid"], "delete")
        self.assertEqual(WAKE_UP_CONTENT, self.prefix.program_file("getup.txt").read_bytes())

    def test_read_only_wake_up_file(self):
        wake_up_file = self.prefix.program_file("getup.txt")
        wake_up_file.write_bytes(WAKE_UP_CONTENT)
        self.assertTrue(self.prefix.driver("attrib", WAKE_UP_PATH, "readonly")["ok"])
        process, window = self.start()
        self.expect_one_stop_box(process, window["pid"], "delete")
        self.assertTrue(wake_up_file.exists())

    # --- A second copy cannot create the file ---

    def test_second_copy_cannot_create_the_wake_up_file(self):
        # The first copy is blanked, so it leaves the file alone.
        first, window = self.start()
        blanked = self.blank(window)
        wake_up_file = self.prefix.program_file("getup.txt")

        # Wine run as root overwrites read-only and hidden files and ignores a read-only folder; a file
        # that another process holds open without sharing writes does stop the second copy.
        holder = HeldFile(self.prefix, WAKE_UP_PATH, SHARE_READ_ONLY, 10)
        self.second_copy_fails()
        self.assertEqual(WAKE_UP_CONTENT, wake_up_file.read_bytes())
        holder.process.wait(30)

        self.assertIsNone(first.poll(), "the first copy ended")
        self.assertEqual(blanked["rect"], self.prefix.main_window(0)["rect"], "the first copy was woken")

    def second_copy_fails(self):
        second = self.prefix.start_dimlux()
        question = self.prefix.answer("Dimlux", IDYES)
        self.assertIsNotNone(question)
        self.assertEqual(SECOND_COPY_TEXT, question["text"])
        self.expect_one_stop_box(second, question["pid"], "write")


if __name__ == "__main__":
    wine.main()
