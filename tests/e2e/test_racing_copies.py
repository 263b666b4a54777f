"""Five copies of Dimlux started at the same moment on a first run, in a prefix whose Wine server is not
even running yet: one copy keeps its widget, the other four ask and end as answered."""
import wine
from wine import FIRST_RUN_TEXT, IDNO, IDYES, SECOND_COPY_TEXT, VALUE_NAMES, text_of, twips
from robust_support import boxes, click

COPIES = 5
# The second copies' answers, in the order their boxes are found.
ANSWERS = (IDYES, IDNO, IDYES, IDNO)


class RacingCopies(wine.DimluxTestCase):

    def test_five_copies_at_once_on_a_first_run(self):
        processes = [self.prefix.start_dimlux() for _ in range(COPIES)]
        wine.wait_until(lambda: len(boxes(self.prefix)) >= COPIES, 90, step=0.5)
        found = boxes(self.prefix)
        self.prefix.screenshot("boxes")
        texts = sorted(box["text"] for box in found)
        self.assertEqual(sorted([FIRST_RUN_TEXT] + [SECOND_COPY_TEXT] * (COPIES - 1)), texts)
        self.assertEqual(COPIES, len({box["pid"] for box in found}), "one box per copy")

        first_run = next(box for box in found if box["text"] == FIRST_RUN_TEXT)
        second_copies = [box for box in found if box["text"] == SECOND_COPY_TEXT]
        for box, answer in zip(second_copies, ANSWERS):
            click(self.prefix, box, answer)
        wine.wait_until(lambda: sum(process.poll() is not None for process in processes) >= COPIES - 1, 20)
        ended = [process for process in processes if process.poll() is not None]
        self.assertEqual([0] * (COPIES - 1), [process.returncode for process in ended])
        click(self.prefix, first_run, IDNO)

        windows = self.prefix.driver("window", 10000)["windows"]
        self.assertEqual([(first_run["pid"], True)], [(w["pid"], w["visible"]) for w in windows])
        # Two copies answered Yes: the survivor takes the wake-up request on its first tick.
        wake_up_file = self.prefix.program_file("getup.txt")
        self.assertTrue(wine.wait_until(lambda: not wake_up_file.exists(), 5), "wake-up file left")
        window = self.wait_for_window(lambda w: w["rect"][:2] == [0, 0])
        self.assertEqual([0, 0], window["rect"][:2])

        _, _, width, height = window["rect"]
        wanted = {"Top": "0", "Left": "0", "Bottom": twips(height), "Right": twips(width), "Startup": "0"}
        stored = lambda: {name: text_of(value) for name, value in self.prefix.values().items()}
        wine.wait_until(lambda: stored() == wanted, 3)
        self.assertEqual(wanted, stored())
        self.assertEqual(set(VALUE_NAMES), set(stored()))
        print(f"\n{COPIES} copies raced: answers {['Yes' if a == IDYES else 'No' for a in ANSWERS]} "
              f"-> exit codes {[p.returncode for p in ended]}, one widget left (pid {first_run['pid']}), "
              f"stored {wanted}")


if __name__ == "__main__":
    wine.main()
