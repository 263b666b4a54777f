"""Runs Dimlux.exe (normally the 32-bit product) under Wine on a private Xvfb display, per test case in a
fresh prefix with Dimlux in a folder whose name has a space. Our 64-bit driver reports windows, boxes and
registry values as JSON; xdotool gives real input. Usage: test_x.py Dimlux.exe dimlux_driver.exe [args]"""
import json
import os
import re
import shutil
import subprocess
import sys
import time
import unittest
from collections import Counter
from pathlib import Path, PureWindowsPath

WINE = "/usr/lib/wine/wine64"
WINESERVER = "/usr/lib/wine/wineserver"
SCREEN = (1024, 768)
WAIT_MS = 20000  # for a window or a box to come
DOUBLE_CLICK_TIME = 0.6  # s; Wine's default is 500 ms
DRIVER_TIMEOUT = 30  # s; a driver command takes well under a second

IDOK = 1
IDYES = 6
IDNO = 7
CMD_TURN_OFF = 101
CMD_SETTINGS = 102
CMD_OPT = 103
TAB_ORDER = [CMD_TURN_OFF, CMD_SETTINGS, CMD_OPT]
VIRTUAL_KEYS = {"Return": 0x0D, "space": 0x20}
REG_SZ = 1
REG_DWORD = 4

# Dimlux's own: settings, texts, timing and exit codes.
SETTINGS_KEY = "Software\\Dimlux"
RUN_KEY = "Software\\Microsoft\\Windows\\CurrentVersion\\Run"
VALUE_NAMES = ("Top", "Left", "Bottom", "Right", "Startup")
TWIPS = 15  # per pixel at the 96 dpi of a fresh prefix
TICK_WAIT = 1.5  # s: long enough for one tick of the position keeper
EXIT_FATAL = 3
FIRST_RUN_TEXT = "You have launched this application for the first time!\r\nWould you like to read the Readme file?"
SECOND_COPY_TEXT = "Dimlux is already running!\r\nDo you want it shown? :)"
ENABLE_TEXT = "Start on Windows startup not enabled\r\nDo you want to enable it?"
DISABLE_TEXT = "Start on Windows startup enabled\r\nDo you want to disable it?"
PROGRAM_DIR = "Program Files/Dimlux Test"  # under drive C:
WAKE_UP_CONTENT = b"Get up :)\r\n"
TOOL_TIP = "Click to turn off. Press ENTER or SPACE or Click to turn on again!"
STARTUP_TIPS = {  # on "+" and "-"
    "+": "Dimlux does not start with Windows. Click to make it start with Windows.",
    "-": "Dimlux starts with Windows. Click to stop it starting with Windows.",
}
FACES = {CMD_TURN_OFF: (255, 0, 0), CMD_SETTINGS: (255, 128, 128)}  # the designed colours, as the screen shows them
STORED = {"Top": "3000", "Left": "1500", "Bottom": "900", "Right": "2400", "Startup": "0"}  # whole twips

ROOT = Path(os.environ.get("DIMLUX_E2E_ROOT", Path(__file__).resolve().parents[2] / "build/win64/e2e"))
DIMLUX_EXE = None
DRIVER_EXE = None
DISPLAY = None  # the Xvfb shared by the test cases of one file


def twips(pixels):  # as Dimlux stores them at 96 dpi
    return str(pixels * TWIPS)


def stored_texts(rect):  # the settings Dimlux stores for a window's rect at 96 dpi, "Startup" "0"
    left, top, width, height = rect
    return {"Top": twips(top), "Left": twips(left), "Bottom": twips(height), "Right": twips(width), "Startup": "0"}


def sz(text, nul=True):  # a REG_SZ value as Windows stores it: UTF-16, with or without a NUL
    return REG_SZ, (text + ("\0" if nul else "")).encode("utf-16-le")


def wait_until(check, timeout, step=0.1):
    """Polls check() until it returns something true or timeout seconds pass; returns its last result."""
    end = time.monotonic() + timeout
    while not (result := check()) and time.monotonic() < end:
        time.sleep(step)
    return result


def settings_writes(log_path):
    """The settings values a WINEDEBUG=+reg trace shows written, in order."""
    names = "|".join(VALUE_NAMES)
    return re.findall(rf'NtSetValueKey \(\w+,L"({names})"', Path(log_path).read_text(errors="replace"))


def display_off_requests(log_path, hwnd):
    """In a +timestamp,+win trace, the times of the display-off requests from the first blanking to the next one,
    and of the restore in between, or None."""
    requests = []
    restored = None
    trace = Path(log_path).read_text(errors="replace")
    for stamp, text in re.findall(r"^(\d+\.\d+):\w+:trace:win:(.*)$", trace, re.M):
        if text == f"handle_sys_command hwnd {hwnd:#x} WM_SYSCOMMAND f170 2":
            requests.append(float(stamp))
        elif requests and restored is None and text.startswith(f"NtUserSetWindowPos hwnd {hwnd:#x}, after (nil)"):
            restored = float(stamp)
        elif restored and re.match(rf"NtUserSetWindowPos hwnd {hwnd:#x}, after 0xf+, -2,-5 ", text):
            break
    return requests, restored


def blankings(log_path, hwnd):
    """How often a +win trace shows the window placed for blanking: above all others (HWND_TOPMOST, in 32 or 64 bits)
    at -2, -5."""
    placement = rf"NtUserSetWindowPos hwnd {hwnd:#x}, after 0xffffffff(ffffffff)?, -2,-5 "
    return len(re.findall(placement, Path(log_path).read_text(errors="replace")))


def face(window, control_id):  # a button's rect on the screen, cut to the client area as the screen shows it
    x, y, width, height = button(window, control_id)["rect"]
    client_x, client_y, client_width, client_height = window["client"]
    return [client_x + x, client_y + y, min(width, client_width - x), min(height, client_height - y)]


def far_corner(ink, offset=0):  # of an ink box, moved by offset pixels right and down
    x, y, width, height = ink
    return x + width + offset, y + height + offset


def middle(window, control_id):  # of a button, on the screen
    x, y, width, height = face(window, control_id)
    return x + width // 2, y + height // 2


class Display:
    """An Xvfb server on a display number it picks itself; only the process started here is stopped."""

    def __init__(self):
        self.last_press = None, 0.0
        numbers, write_end = os.pipe()
        command = f"Xvfb -displayfd {write_end} -screen 0 {SCREEN[0]}x{SCREEN[1]}x24 -nolisten tcp -noreset"
        self.process = subprocess.Popen(
            command.split(),
            pass_fds=(write_end,),
            stdout=subprocess.DEVNULL,
            stderr=subprocess.DEVNULL,
        )
        os.close(write_end)
        with os.fdopen(numbers) as chosen:  # written once the server takes connections; empty if it ended
            self.name = ":" + chosen.readline().strip()
        if self.name == ":":
            raise RuntimeError("Xvfb did not start")

    def stop(self):
        self.process.terminate()
        self.process.wait(10)

    def xdotool(self, *args):
        env = {**os.environ, "DISPLAY": self.name}
        done = subprocess.run(["xdotool", *map(str, args)], env=env, check=True, timeout=20, capture_output=True)
        return done.stdout.decode()

    def move_pointer(self, x, y):
        """Moves the pointer and waits until it is there (xdotool's --sync would hang if it already is)."""
        where = dict(line.split("=", 1) for line in self.xdotool("getmouselocation", "--shell").split())
        if (int(where["X"]), int(where["Y"])) != (x, y):
            self.xdotool("mousemove", "--sync", x, y)

    def press(self, x, y, *actions):
        """Runs xdotool button actions at (x, y), never so soon after a press there as to make a double click."""
        self.move_pointer(x, y)
        place, at = self.last_press
        if place == (x, y):
            time.sleep(max(0.0, at + DOUBLE_CLICK_TIME - time.monotonic()))
        self.xdotool(*actions)
        self.last_press = (x, y), time.monotonic()

    def click(self, x, y):
        self.press(x, y, "click", 1)

    def key(self, key):  # one press, then time for Wine to take it
        self.xdotool("key", key)
        time.sleep(0.3)


class Screenshot:
    """The Xvfb screen as ImageMagick's import reads it, as rows of RGB bytes."""

    def __init__(self, display):
        command = ["import", "-display", display.name, "-window", "root", "-depth", "8", "rgb:-"]
        raw = subprocess.run(command, check=True, capture_output=True, timeout=60).stdout
        self.rows = [raw[y * SCREEN[0] * 3 : (y + 1) * SCREEN[0] * 3] for y in range(SCREEN[1])]

    def colours(self, rect):
        """{(x, y): (red, green, blue)} of the pixels of rect [x, y, width, height] that lie on the screen."""
        x, y, width, height = rect
        return {
            (i, j): tuple(self.rows[j][3 * i : 3 * i + 3])
            for j in range(max(y, 0), min(y + height, SCREEN[1]))
            for i in range(max(x, 0), min(x + width, SCREEN[0]))
        }

    def pixel(self, x, y):
        return self.colours([x, y, 1, 1])[(x, y)]

    def ink(self, rect, background):
        """The bounding box [x, y, width, height] of the pixels of rect that are not the background, or None."""
        inked = [point for point, colour in self.colours(rect).items() if colour != background]
        if not inked:
            return None
        xs = [x for x, _ in inked]
        ys = [y for _, y in inked]
        return [min(xs), min(ys), max(xs) - min(xs) + 1, max(ys) - min(ys) + 1]


def wine_env(prefix, display, debug="-all"):
    return {
        **os.environ,
        "WINEPREFIX": str(prefix),
        "WINELOADER": WINE,
        "WINEDEBUG": debug,
        "DISPLAY": display.name,
        "WINEDLLOVERRIDES": "mscoree,mshtml,winemenubuilder.exe=d",
    }


def run_wine(args, env, log_path, timeout):
    """Runs a Wine command to its end. Its output goes to a log file, never to a pipe: the Wine services a
    command starts inherit its output and outlive it, and a pipe they hold would not end until they do."""
    with open(log_path, "ab") as log:
        return subprocess.run(args, env=env, stdin=subprocess.DEVNULL, stdout=log, stderr=log, timeout=timeout)


def win_path(path):  # through drive Z:
    return "Z:" + str(path).replace("/", "\\")


class Prefix:
    """A fresh Wine prefix for one test case, with Dimlux installed in PROGRAM_DIR."""

    def __init__(self, display, test_name):
        self.display = display
        self.folder = ROOT / test_name
        self.path = self.folder / "prefix"
        self.processes = []
        self.driver_runs = 0
        shutil.rmtree(self.folder, ignore_errors=True)
        self.folder.mkdir(parents=True)
        subprocess.run(["cp", "-a", str(ensure_template(display)), str(self.path)], check=True)
        self.install(PROGRAM_DIR)
        self.driver_exe = shutil.copy(DRIVER_EXE, self.path / "dimlux_driver.exe")
        # One wineserver for the whole case: one that ends with its last client can be ending just as the
        # next program connects, which then dies with "recvmsg: Connection reset by peer".
        self.run([WINESERVER, "-p"], 30)

    def install(self, program_dir):  # puts Dimlux.exe in that folder under drive C:, to run from there
        self.program_dir = program_dir
        self.copy_dimlux(program_dir)

    def copy_dimlux(self, folder):  # another Dimlux.exe, in that folder under drive C:; returns its Windows path
        target = self.path / "drive_c" / folder / "Dimlux.exe"
        target.parent.mkdir(parents=True, exist_ok=True)
        shutil.copy(DIMLUX_EXE, target)
        return "C:\\" + f"{folder}/Dimlux.exe".replace("/", "\\")

    def program_file(self, name):  # in Dimlux's folder
        return self.path / "drive_c" / self.program_dir / name

    def program_win_path(self, name):  # of a file in Dimlux's folder
        return "C:\\" + f"{self.program_dir}/{name}".replace("/", "\\")

    def env(self, debug="-all"):
        return wine_env(self.path, self.display, debug)

    def run(self, args, timeout, log="wine.log"):
        return run_wine(args, self.env(), self.folder / log, timeout)

    def start_dimlux(self, debug="-all", exe=None, args=()):
        """Starts Dimlux.exe (or the exe at that Windows path) with those arguments, Wine's debug output to
        dimluxN.log; the exit code is Dimlux's."""
        return self.start(exe or self.program_win_path("Dimlux.exe"), debug, args)

    def start(self, program, debug="-all", args=()):  # a Windows program, in Dimlux's folder
        log_path = self.folder / f"{PureWindowsPath(program).stem.lower()}{len(self.processes) + 1}.log"
        with open(log_path, "wb") as log:
            process = subprocess.Popen(
                [WINE, program, *args],
                env=self.env(debug),
                cwd=self.program_file("Dimlux.exe").parent,
                stdin=subprocess.DEVNULL,
                stdout=subprocess.DEVNULL,
                stderr=log,
            )
        process.log_path = log_path
        self.processes.append(process)
        return process

    def driver(self, *args):
        """Runs a driver command and returns its answer. A run that dies (as one can while starting under load) or
        hangs is tried again, a hung one ended first, and each retry is logged."""
        for attempt in range(3):
            self.driver_runs += 1
            out = self.folder / f"driver{self.driver_runs}.json"
            command = [WINE, str(self.driver_exe), win_path(out), *map(str, args)]
            try:
                result = self.run(command, DRIVER_TIMEOUT, "driver.log")
            except subprocess.TimeoutExpired:
                print(f"driver {args[0]} hung for {DRIVER_TIMEOUT} s; ended it (try {attempt + 1})", flush=True)
                continue
            if result.returncode == 0 and out.exists():
                answer = json.loads(out.read_text(encoding="utf-8"))
                out.unlink()
                return answer
            print(f"driver {args[0]} ended with {result.returncode} and no answer (try {attempt + 1})", flush=True)
        raise RuntimeError(f"dimlux_driver {' '.join(map(str, args))} failed three times")

    def lock(self, name, seconds):
        """Holds a file in Dimlux's folder open without sharing for that long, from a driver in the background;
        returns once it is held, with the driver's process."""
        out = self.folder / "lock.json"
        out.unlink(missing_ok=True)
        with open(self.folder / "driver.log", "ab") as log:
            args = [WINE, str(self.driver_exe), win_path(out), "lock", self.program_win_path(name), str(seconds)]
            process = subprocess.Popen(args, env=self.env(), stdin=subprocess.DEVNULL, stdout=log, stderr=log)
        self.processes.append(process)
        if not wait_until(lambda: out.exists() and '"ok":true' in out.read_text(), 30):
            raise RuntimeError(f"the driver could not hold {name} open")
        return process

    def titles(self):  # of the visible top-level windows
        return [window["title"] for window in self.driver("titles")["titles"] if window["visible"]]

    def stop(self):
        """Ends everything running in this prefix and removes it; the logs stay."""
        self.run([WINESERVER, "-k"], 30)
        for process in self.processes:
            process.kill()  # only if the wineserver's end has not ended it yet
            process.wait()
        subprocess.run([WINESERVER, "-w"], env=self.env(), timeout=60)
        shutil.rmtree(self.path, ignore_errors=True)

    def main_window(self, wait_ms=WAIT_MS):
        """The visible main window as the driver describes it once it has the "+"/"-" caption (start-up shows
        the window before it lays out the buttons), or None."""

        def laid_out():
            window = next((w for w in self.driver("window")["windows"] if w["visible"]), None)
            return window if window and button(window, CMD_SETTINGS)["text"] else None

        return wait_until(laid_out, max(wait_ms / 1000, 5))

    def box_to_answer(self, title, button_id):  # a visible box with that title and button, or None
        return next((box for box in self.boxes() if box["title"] == title and button_id in box["buttons"]), None)

    def answer(self, title, button_id):  # the box clicked; fails with what is shown if none came
        box = wait_until(lambda: self.box_to_answer(title, button_id), WAIT_MS / 1000)
        clicked = box is not None and self.driver("click", box["hwnd"], button_id)["ok"]
        if not clicked:
            raise AssertionError(
                f"no {title} box to answer {button_id}: {self.boxes()}; "
                f"Dimlux's exit codes: {[p.poll() for p in self.processes]}"
            )
        return box

    def boxes(self):  # the visible message boxes
        return [box for box in self.driver("boxes")["boxes"] if box["visible"]]

    def set_values(self, values, subkey=SETTINGS_KEY):
        """Stores exactly these values ({name: (type, bytes)}; None deletes one) in an HKCU key."""
        args = []
        for name, value in values.items():
            args += [name, "-", "-"] if value is None else [name, value[0], value[1].hex() or "-"]
        result = self.driver("regset", subkey, *args)
        if not result["ok"]:
            raise RuntimeError(f"regset failed: {result}")

    def set_dpi(self, dpi):  # the logical dpi Wine hands every program started afterwards
        self.set_values({"LogPixels": (REG_DWORD, dpi.to_bytes(4, "little"))}, "Control Panel\\Desktop")

    def set_decimal_separator(self, text):  # the user's, for programs started afterwards
        self.set_values({"sDecimal": sz(text)}, "Control Panel\\International")

    def texts(self, subkey=SETTINGS_KEY):
        """{name: text} of an HKCU key's values, without a NUL stored after it; None for one not REG_SZ."""
        return {
            name: bytes.fromhex(v["hex"]).decode("utf-16-le").removesuffix("\0") if v["type"] == REG_SZ else None
            for name, v in self.driver("regdump", subkey)["values"].items()
        }


def ensure_template(display):
    """Makes the template prefix once per build folder (the e2e files run one at a time)."""
    template = ROOT / "template"
    if not (template / ".ready").exists():
        shutil.rmtree(template, ignore_errors=True)
        ROOT.mkdir(parents=True, exist_ok=True)
        env = wine_env(template, display)
        log = ROOT / "template.log"
        run_wine([WINE, "wineboot", "-i"], env, log, 300).check_returncode()
        # Wine draws the frames itself, so caption bars can be clicked and dragged without a window manager.
        unmanaged = [WINE, "reg", "add", "HKCU\\Software\\Wine\\X11 Driver", "/v", "Managed", "/d", "N", "/f"]
        run_wine(unmanaged, env, log, 300).check_returncode()
        run_wine([WINESERVER, "-w"], env, log, 300)
        (template / ".ready").touch()
    return template


def main():
    """Runs the calling file's test cases on one Xvfb display."""
    global DIMLUX_EXE, DRIVER_EXE, DISPLAY
    DIMLUX_EXE = Path(sys.argv[1]).resolve()
    DRIVER_EXE = Path(sys.argv[2]).resolve()
    del sys.argv[1:3]
    if not DIMLUX_EXE.is_file():
        sys.exit(f"{DIMLUX_EXE} does not exist: build it first (cmake --build --preset win32)")
    print(f"e2e: running {DIMLUX_EXE}", flush=True)
    DISPLAY = Display()
    try:
        result = unittest.main(exit=False, verbosity=2).result
    finally:
        DISPLAY.stop()
    sys.exit(0 if result.wasSuccessful() else 1)


class DimluxTestCase(unittest.TestCase):
    """Each test case gets a fresh prefix in ROOT/<file>/<case>, removed afterwards (the logs stay)."""

    def setUp(self):
        self.display = DISPLAY
        self.new_prefix(self._testMethodName)

    def new_prefix(self, name):  # a fresh one in ROOT/<file>/<name> from now on
        file_name = Path(sys.modules[type(self).__module__].__file__).stem
        self.prefix = Prefix(DISPLAY, f"{file_name}/{name}")
        self.addCleanup(self.prefix.stop)

    def drive(self, *args):  # a driver command that must succeed
        self.assertTrue(self.prefix.driver(*args)["ok"], args)

    def answer_question(self, title, answer, text):  # a Yes/No box with that text
        box = self.prefix.answer(title, answer)
        self.assertEqual(text, box["text"])
        self.assertEqual([IDYES, IDNO], box["buttons"])

    def start_first_run(self, debug="-all"):
        """Starts Dimlux in an empty prefix, answers the first-run question No; returns the process and the window."""
        process = self.prefix.start_dimlux(debug)
        self.answer_question("Dimlux", IDNO, FIRST_RUN_TEXT)
        window = self.prefix.main_window()
        self.assertIsNotNone(window, "the window did not appear")
        return process, window

    def start_second_copy(self, answer, exe=None):  # answers its question; returns the process
        process = self.prefix.start_dimlux(exe=exe)
        self.answer_question("Dimlux", answer, SECOND_COPY_TEXT)
        return process

    def answer_startup(self, question, caption):
        """Answers Yes to the start-with-Windows question; checks the caption, the focus back on Turn Off, the Run
        entry (the quoted path of Dimlux.exe, or none) and "Startup"; returns the window."""
        self.answer_question("Dimlux Startup", IDYES, question)
        window = self.wait_for_window(
            lambda w: button(w, CMD_SETTINGS)["text"] == caption and w["focus"] == CMD_TURN_OFF
        )
        enabled = caption == "-"
        run_entry = f'"{self.prefix.program_win_path("Dimlux.exe")}"' if enabled else None
        self.assertEqual(run_entry, self.prefix.texts(RUN_KEY).get("Dimlux"))
        self.assertEqual("1" if enabled else "0", self.prefix.texts()["Startup"])
        return window

    def store_settings(self, **texts):
        self.prefix.set_values({name: sz(text) for name, text in texts.items()})

    def stored_place(self):  # (Left, Top) as stored
        texts = self.prefix.texts()
        return texts["Left"], texts["Top"]

    def assert_stored_place(self, x, y, timeout=TICK_WAIT):  # at 96 dpi, within the timeout
        stored = wait_until(lambda: self.stored_place() == (twips(x), twips(y)), timeout)
        self.assertTrue(stored, f"({x}, {y}) not stored in {timeout} s")

    def wait_for_exit(self, process, timeout=20):
        self.assertTrue(wait_until(lambda: process.poll() is not None, timeout), f"Dimlux did not end in {timeout} s")
        return process.returncode

    def close(self, process):  # with the close box's message; it must end normally
        self.drive("close")
        self.assertEqual(0, self.wait_for_exit(process))

    def click_button(self, window, control_id):  # a real click in the middle of the button
        self.display.click(*middle(window, control_id))

    def click_caption(self, window):  # a real click left of the title, which gives the window the X keyboard focus
        self.display.click(window["rect"][0] + 20, (window["rect"][1] + window["client"][1]) // 2)
        time.sleep(0.3)

    def blank(self, window):  # a real click on the big button; returns the blanked window
        self.click_button(window, CMD_TURN_OFF)
        return self.wait_for_window(is_turned_off)

    def wait_for_window(self, check, timeout=5):
        """Polls the visible main window until check(window) holds, and returns it; fails if it does not."""
        end = time.monotonic() + timeout
        while True:
            window = self.prefix.main_window(0)
            if window and check(window):
                return window
            self.assertLess(time.monotonic(), end, f"the window did not come to the state waited for: {window}")

    def wait_for_place(self, x, y, timeout=5):  # the window with its top left corner there
        return self.wait_for_window(lambda w: w["rect"][:2] == [x, y], timeout)

    def reach(self, control_id, key):  # presses the key, at least once, until the focus is on that button
        order = TAB_ORDER if key == "Tab" else TAB_ORDER[::-1]
        focused = self.prefix.main_window()["focus"]
        while True:
            self.display.key(key)
            focused = order[(order.index(focused) + 1) % len(order)]  # the next in tab order, or backwards
            self.wait_for_window(lambda w: w["focus"] == focused)
            if focused == control_id:
                return

    def give(self, window, control_id, given):  # a double click on a button, or a key pressed once or held down
        if given == "double click":
            self.display.press(*middle(window, control_id), "click", "--repeat", 2, "--delay", 150, 1)
        elif given.startswith("hold "):
            self.drive("hold", VIRTUAL_KEYS[given.removeprefix("hold ")], 4)
        else:
            self.display.key(given)

    def visible_tips(self):
        return [tip for tip in self.prefix.driver("tips")["tips"] if tip["visible"]]

    def assert_tip_below(self, x, y, text):  # the pointer moved there, over a button with that tip
        self.display.move_pointer(x, y)
        tips = wait_until(self.visible_tips, 5)
        self.assertEqual([text], [tip["text"] for tip in tips or []], "no tip after the hover time")
        tip_x, tip_y = tips[0]["rect"][:2]
        self.assertTrue(0 <= tip_x - x <= 32, "the tip starts at the pointer")
        self.assertTrue(0 < tip_y - y <= 32, "the tip lies just below the pointer")

    def lit(self, shot, window, control_id):  # a raised face is lit from the top left
        x, y, width, height = face(window, control_id)
        return sum(shot.pixel(x, y)) > sum(shot.pixel(x + width - 1, y + height - 1))

    def assert_drawn(self, window, focused, pressed=None):
        """On the screen: each face in its colour and raised but for the pressed one, the focus rectangle on `focused`
        only, each caption centred; returns each caption's ink box."""
        shot = Screenshot(self.display)
        inks = {}
        for control_id, colour in FACES.items():
            x, y, width, height = face(window, control_id)
            inside = [x + 4, y + 4, width - 8, height - 8]  # within the edge and the focus rectangle
            self.assertEqual(colour, Counter(shot.colours(inside).values()).most_common(1)[0][0], control_id)
            ring = list(shot.colours([x + 3, y + 3, width - 6, 1]).values())  # the focus rectangle's top row
            self.assertEqual(control_id == focused, ring.count(colour) < 0.9 * len(ring), f"focus on {control_id}")
            self.assertEqual(control_id != pressed, self.lit(shot, window, control_id), f"{control_id} raised")
            inks[control_id] = shot.ink(inside, colour)
            ink_x, ink_y, ink_width, ink_height = inks[control_id]
            self.assertLessEqual(abs(2 * (ink_x - x) + ink_width - width), 4, f"{control_id} centred across")
            self.assertLessEqual(abs(2 * (ink_y - y) + ink_height - height), 3, f"{control_id} centred down")
        return inks


def button(window, control_id):
    return next(b for b in window["buttons"] if b["id"] == control_id)


def is_turned_off(window):
    return button(window, CMD_TURN_OFF)["text"] == "Turn On"


def is_normal(window):
    return button(window, CMD_TURN_OFF)["text"] == "Turn Off"
