"""Runs Dimlux.exe under Wine on a private Xvfb display for the end-to-end tests.

A test file creates one Display (one Xvfb) and, per test case, one Prefix: a copy of a template Wine
prefix made once per build folder, with Dimlux.exe installed into a program folder whose name has a
space in it. The driver (dimlux_driver.exe) reports windows, message boxes and registry values as JSON;
xdotool gives real mouse and keyboard input.

Run a test file as: python3 test_x.py PATH/TO/Dimlux.exe PATH/TO/dimlux_driver.exe [unittest args]
"""
import fcntl
import json
import os
import random
import shutil
import subprocess
import sys
import time
import unittest
from pathlib import Path

WINE = "/usr/lib/wine/wine64"
WINESERVER = "/usr/lib/wine/wineserver"
SCREEN = (1024, 768)
MAIN_CLASS_WAIT_MS = 20000
DOUBLE_CLICK_TIME = 0.6  # s; Wine's default is 500 ms

IDOK, IDYES, IDNO = 1, 6, 7
CMD_TURN_OFF, CMD_SETTINGS, CMD_OPT = 101, 102, 103
REG_SZ, REG_BINARY, REG_DWORD = 1, 3, 4

# Dimlux's own: settings, texts, timing and exit codes.
SETTINGS_KEY = "Software\\Dimlux"
RUN_KEY = "Software\\Microsoft\\Windows\\CurrentVersion\\Run"
VALUE_NAMES = ("Top", "Left", "Bottom", "Right", "Startup")
TWIPS = 15  # per pixel at the 96 dpi of a fresh prefix
TICK_WAIT = 1.5  # s: long enough for one tick of the position keeper
EXIT_FATAL = 3
FIRST_RUN_TEXT = ("You have launched this application for the first time!\r\n"
                  "Would you like to read the Readme file?")
SECOND_COPY_TEXT = "Dimlux is already running!\r\nDo you want it shown? :)"
WAKE_UP_CONTENT = b"Get up :)\r\n"

ROOT = Path(os.environ.get("DIMLUX_E2E_ROOT", Path(__file__).resolve().parents[2] / "build/win64/e2e"))
DIMLUX_EXE = DRIVER_EXE = None
DISPLAY = None  # the Xvfb shared by the test cases of one file


def take_exe_args():
    """Takes the two executable paths off sys.argv, leaving the rest to unittest."""
    global DIMLUX_EXE, DRIVER_EXE
    if len(sys.argv) < 3:
        sys.exit(f"usage: {sys.argv[0]} Dimlux.exe dimlux_driver.exe [unittest args]")
    DIMLUX_EXE, DRIVER_EXE = Path(sys.argv[1]).resolve(), Path(sys.argv[2]).resolve()
    del sys.argv[1:3]
    if not DIMLUX_EXE.is_file():
        sys.exit(f"{DIMLUX_EXE} does not exist: build it first (cmake --build --preset win32)")


def pe_machine(path):
    """The machine a Windows executable is built for: "i386", "amd64" or the raw field in hex."""
    data = Path(path).read_bytes()
    header = int.from_bytes(data[0x3C:0x40], "little")
    machine = int.from_bytes(data[header + 4:header + 6], "little")
    return {0x14C: "i386", 0x8664: "amd64"}.get(machine, hex(machine))


def twips(pixels):
    """Pixels as the settings text Dimlux stores for them."""
    return str(pixels * TWIPS)


def sz(text, nul=True):
    """A REG_SZ value as Windows stores it: UTF-16, with or without a terminating NUL."""
    return REG_SZ, (text + ("\0" if nul else "")).encode("utf-16-le")


def text_of(value):
    """The text a (type, bytes) REG_SZ value holds, without the NUL Windows may store after it; None
    for any other type."""
    if value is None or value[0] != REG_SZ:
        return None
    text = value[1].decode("utf-16-le")
    return text[:-1] if text.endswith("\0") else text


def wait_until(check, timeout, step=0.1):
    """Polls check() until it returns something true or timeout seconds pass; returns its last result."""
    end = time.monotonic() + timeout
    while True:
        result = check()
        if result or time.monotonic() >= end:
            return result
        time.sleep(step)


class Display:
    """An Xvfb server on a free display number; only the process started here is stopped.

    Servers started with -displayfd all begin at :0, and two of them trying one number at the same moment can
    cut each other's clients off, so a random number well above the usual ones is taken instead."""

    def __init__(self):
        self.last_press = None, 0.0
        for number in random.sample(range(400, 1000), 20):
            if not display_in_use(number) and self.start(number):
                self.name = f":{number}"
                return
        raise RuntimeError("Xvfb did not start")

    def start(self, number):
        """Starts Xvfb on `number`; true once it listens, false (and nothing left running) if not."""
        self.process = subprocess.Popen(
            ["Xvfb", f":{number}", "-screen", "0", f"{SCREEN[0]}x{SCREEN[1]}x24", "-nolisten", "tcp", "-noreset"],
            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        wait_until(lambda: self.process.poll() is not None or display_in_use(number), 20)
        if self.process.poll() is None and display_in_use(number):
            return True
        self.stop()
        return False

    def stop(self):
        if self.process.poll() is None:
            self.process.terminate()
            try:
                self.process.wait(5)
            except subprocess.TimeoutExpired:
                self.process.kill()
                self.process.wait()

    def xdotool(self, *args):
        subprocess.run(["xdotool", *map(str, args)], env={**os.environ, "DISPLAY": self.name}, check=True,
                       timeout=20)

    def pointer(self):
        out = subprocess.run(["xdotool", "getmouselocation", "--shell"], env={**os.environ, "DISPLAY": self.name},
                             check=True, timeout=20, capture_output=True, text=True).stdout
        values = dict(line.split("=", 1) for line in out.split())
        return int(values["X"]), int(values["Y"])

    def move_pointer(self, x, y):
        """Moves the pointer and waits until it is there (xdotool's --sync would hang if it already is)."""
        if self.pointer() != (x, y):
            self.xdotool("mousemove", "--sync", x, y)

    def press(self, x, y, *actions):
        """Moves the pointer to (x, y) and runs xdotool button actions there. A press soon after another at
        the same place would make a double click, which buttons and caption bars take differently."""
        self.move_pointer(x, y)
        place, at = self.last_press
        if place == (x, y):
            time.sleep(max(0.0, at + DOUBLE_CLICK_TIME - time.monotonic()))
        self.xdotool(*actions)
        self.last_press = (x, y), time.monotonic()

    def click(self, x, y, button=1):
        self.press(x, y, "click", button)

    def key(self, *keys):
        for key in keys:
            self.xdotool("key", key)
            time.sleep(0.3)

    def drag(self, start, end, steps=10):
        self.press(*start, "mousedown", 1)
        for i in range(1, steps + 1):
            self.move_pointer(start[0] + (end[0] - start[0]) * i // steps, start[1] + (end[1] - start[1]) * i // steps)
            time.sleep(0.05)
        self.xdotool("mouseup", 1)

    def screenshot(self, path, rect=None):
        """Saves the screen, or the part of it given as [x, y, width, height], as an image file."""
        crop = ["-crop", "{2}x{3}+{0}+{1}".format(*rect), "+repage"] if rect else []
        subprocess.run(["import", "-display", self.name, "-window", "root", *crop, str(path)], check=False,
                       timeout=30, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)


def display_in_use(number):
    """True if an X server listens on display `number` (its socket or its lock file exists)."""
    socket = f"/tmp/.X11-unix/X{number}"
    with open("/proc/net/unix") as sockets:
        listening = any(line.rstrip().endswith(socket) for line in sockets)
    return listening or Path(socket).exists() or Path(f"/tmp/.X{number}-lock").exists()


def win_path(path):
    """The Wine path of a Unix path, through drive Z:."""
    return "Z:" + str(path).replace("/", "\\")


class Prefix:
    """A fresh Wine prefix for one test case, with Dimlux installed in `program_dir` under drive C:."""

    def __init__(self, display, test_name, program_dir="Program Files/Dimlux Test"):
        self.display = display
        self.folder = ROOT / test_name
        self.path = self.folder / "prefix"
        self.program_dir = program_dir
        self.processes = []
        self.driver_runs = 0
        shutil.rmtree(self.folder, ignore_errors=True)
        self.folder.mkdir(parents=True)
        template = ensure_template(display)
        subprocess.run(["cp", "-a", str(template), str(self.path)], check=True)
        self.install_dir.mkdir(parents=True, exist_ok=True)
        shutil.copy(DIMLUX_EXE, self.install_dir / "Dimlux.exe")
        self.driver_exe = shutil.copy(DRIVER_EXE, self.folder / "dimlux_driver.exe")

    # --- Paths ---

    @property
    def install_dir(self):
        return self.path / "drive_c" / self.program_dir

    @property
    def exe_win_path(self):
        return self.program_win_path("Dimlux.exe")

    def program_win_path(self, name):
        return "C:\\" + self.program_dir.replace("/", "\\") + "\\" + name

    def program_file(self, name):
        return self.install_dir / name

    # --- Processes ---

    def env(self, debug="-all"):
        return {**os.environ, "WINEPREFIX": str(self.path), "WINELOADER": WINE, "WINEDEBUG": debug,
                "DISPLAY": self.display.name, "WINEDLLOVERRIDES": "mscoree,mshtml,winemenubuilder.exe=d"}

    def start_dimlux(self, debug="-all"):
        """Starts Dimlux.exe from its program folder; its stderr (Wine's debug output) goes to dimluxN.log."""
        log_path = self.folder / f"dimlux{len(self.processes) + 1}.log"
        with open(log_path, "wb") as log:
            process = subprocess.Popen([WINE, self.exe_win_path], env=self.env(debug), cwd=self.install_dir,
                                       stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=log)
        process.log_path = log_path
        self.processes.append(process)
        return process

    def driver(self, *args, out_name=None, timeout=60):
        """Runs dimlux_driver.exe with the given command and returns its JSON answer; a call from another
        thread passes an `out_name` of its own. Under load a Wine process now and then dies while starting,
        before it has done anything: such a run is tried again."""
        for attempt in range(3):
            self.driver_runs += 1
            out = self.folder / (out_name or f"driver{self.driver_runs}.json")
            result = subprocess.run([WINE, str(self.driver_exe), win_path(out), *map(str, args)], env=self.env(),
                                    stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                                    stderr=subprocess.DEVNULL, timeout=timeout)
            if result.returncode == 0 and out.exists():
                answer = json.loads(out.read_text(encoding="utf-8"))
                out.unlink()
                return answer
            print(f"driver {args[0]} ended with {result.returncode} and no answer (try {attempt + 1})", flush=True)
        raise RuntimeError(f"dimlux_driver {' '.join(map(str, args))} failed three times")

    def wine_command(self, *args, timeout=60):
        """Runs a Wine command-line tool (reg, attrib, ...) and returns its exit code."""
        return subprocess.run([WINE, *map(str, args)], env=self.env(), stdin=subprocess.DEVNULL,
                              stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=timeout).returncode

    def reg(self, *args):
        return self.wine_command("reg", *args)

    def stop(self):
        """Ends everything running in this prefix and removes it; logs and screenshots stay."""
        subprocess.run([WINESERVER, "-k"], env=self.env(), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                       timeout=30)
        for process in self.processes:
            try:
                process.wait(10)
            except subprocess.TimeoutExpired:
                process.kill()
                process.wait()
        subprocess.run([WINESERVER, "-w"], env=self.env(), timeout=60)
        shutil.rmtree(self.path, ignore_errors=True)
        Path(self.driver_exe).unlink(missing_ok=True)

    # --- Dimlux's own things ---

    def main_window(self, wait_ms=MAIN_CLASS_WAIT_MS):
        """The visible main window as the driver describes it, or None. Start-up shows the window before it
        lays out the buttons and sets the "+"/"-" caption, so a window still without it is asked again."""
        settle_until = time.monotonic() + wait_ms / 1000 + 5
        window = self.visible_window(wait_ms)
        while window and not button(window, CMD_SETTINGS)["text"] and time.monotonic() < settle_until:
            window = self.visible_window(0)
        return window

    def visible_window(self, wait_ms):
        windows = [w for w in self.driver("window", wait_ms)["windows"] if w["visible"]]
        return windows[0] if windows else None

    def answer(self, title, button, wait_ms=MAIN_CLASS_WAIT_MS):
        """Answers the message box titled `title`; returns its description, or None if none came."""
        result = self.driver("answer", title, button, wait_ms)
        return result["box"] if result["ok"] else None

    def set_values(self, values, subkey=SETTINGS_KEY):
        """Stores exactly these values ({name: (type, bytes)}; None deletes one) in an HKCU key."""
        args = []
        for name, value in values.items():
            args += [name, "-", "-"] if value is None else [name, value[0], value[1].hex() or "-"]
        result = self.driver("regset", subkey, *args)
        if not result["ok"]:
            raise RuntimeError(f"regset failed: {result}")

    def values(self, subkey=SETTINGS_KEY, out_name=None):
        """{name: (type, stored bytes)} of every value of an HKCU key; text is UTF-16 as Windows keeps it."""
        values = self.driver("regdump", subkey, out_name=out_name)["values"]
        return {name: (v["type"], bytes.fromhex(v["hex"])) for name, v in values.items()}

    def screenshot(self, name, window=None, margin=20):
        """Saves the screen, or the part around `window` (as the driver describes it), in the test's folder."""
        rect = None
        if window:
            x, y, w, h = window["rect"]
            left, top = max(x - margin, 0), max(y - margin, 0)
            right, bottom = min(x + w + margin, SCREEN[0]), min(y + h + margin, SCREEN[1])
            rect = [left, top, right - left, bottom - top] if right > left and bottom > top else None
        self.display.screenshot(self.folder / f"{name}.png", rect)


def ensure_template(display):
    """Makes the initialised template prefix once per build folder; parallel callers wait on a lock."""
    template = ROOT / "template"
    ROOT.mkdir(parents=True, exist_ok=True)
    with open(ROOT / "template.lock", "w") as lock:
        fcntl.flock(lock, fcntl.LOCK_EX)
        if not (template / ".ready").exists():
            shutil.rmtree(template, ignore_errors=True)
            env = {**os.environ, "WINEPREFIX": str(template), "WINELOADER": WINE, "WINEDEBUG": "-all",
                   "DISPLAY": display.name, "WINEDLLOVERRIDES": "mscoree,mshtml,winemenubuilder.exe=d"}
            quiet = dict(env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=300)
            subprocess.run([WINE, "wineboot", "-i"], check=True, **quiet)
            # Wine draws the frames itself, so caption bars can be clicked and dragged without a window manager.
            subprocess.run([WINE, "reg", "add", "HKCU\\Software\\Wine\\X11 Driver", "/v", "Managed", "/d", "N",
                            "/f"], check=True, **quiet)
            subprocess.run([WINESERVER, "-w"], **quiet)
            (template / ".ready").touch()
    return template


def main():
    """Runs the test cases of the calling file on one Xvfb display shared by all of them."""
    global DISPLAY
    take_exe_args()
    print(f"e2e: running {DIMLUX_EXE} ({pe_machine(DIMLUX_EXE)})", flush=True)
    DISPLAY = Display()
    try:
        result = unittest.main(exit=False, verbosity=2).result
    finally:
        DISPLAY.stop()
    sys.exit(0 if result.wasSuccessful() else 1)


class DimluxTestCase(unittest.TestCase):
    """Each test case gets a fresh prefix in ROOT/<file>/<case>, removed afterwards (logs and pictures stay)."""

    program_dir = "Program Files/Dimlux Test"

    def setUp(self):
        self.display = DISPLAY
        file_name = Path(sys.modules[type(self).__module__].__file__).stem
        self.prefix = Prefix(DISPLAY, f"{file_name}/{self._testMethodName}", self.program_dir)
        self.addCleanup(self.prefix.stop)

    def start_first_run(self):
        """Starts Dimlux in an empty prefix, answers the first-run question No; returns (process, box, window)."""
        process = self.prefix.start_dimlux()
        box = self.prefix.answer("Dimlux", IDNO)
        self.assertIsNotNone(box, f"no first-run box; Dimlux's exit code: {process.poll()}")
        window = self.prefix.main_window()
        self.assertIsNotNone(window, "the window did not appear")
        self.prefix.screenshot("widget", window)
        return process, box, window

    def store_settings(self, **texts):
        """Stores settings values as text (REG_SZ) before Dimlux starts."""
        self.prefix.set_values({name: sz(text) for name, text in texts.items()})

    def stored_text(self, name, subkey=SETTINGS_KEY):
        """The text of a value, which must be REG_SZ, without a NUL Windows itself appends; None if absent."""
        value = self.prefix.values(subkey).get(name)
        if value is None:
            return None
        self.assertEqual(REG_SZ, value[0], name)
        return text_of(value)

    def setting_text(self, name):
        """The text of a settings value, which must be there."""
        text = self.stored_text(name)
        self.assertIsNotNone(text, f"value {name} is missing")
        return text

    def wait_for_exit(self, process, timeout=20):
        try:
            return process.wait(timeout)
        except subprocess.TimeoutExpired:
            self.fail(f"Dimlux did not end within {timeout} s")

    def restart(self, process):
        """Closes the running Dimlux, checks that it ends normally and starts it again in the same prefix."""
        self.assertTrue(self.prefix.driver("close")["ok"])
        self.assertEqual(0, self.wait_for_exit(process))
        return self.prefix.start_dimlux()

    def click_button(self, window, control_id):
        """A real mouse click in the middle of a button of `window`."""
        x, y, w, h = button(window, control_id)["rect"]
        self.display.click(window["client"][0] + x + w // 2, window["client"][1] + y + h // 2)

    def click_caption(self, window):
        """A real click on the caption bar, which gives the window the X keyboard focus."""
        x, y = window["rect"][:2]
        self.display.click(x + 20, (y + window["client"][1]) // 2)
        time.sleep(0.3)

    def blank(self, window):
        """Turns the display off with a real click on the big button; returns the blanked window."""
        self.click_button(window, CMD_TURN_OFF)
        blanked = self.wait_for_window(is_turned_off)
        self.assertTrue(is_turned_off(blanked))
        return blanked

    def wait_for_window(self, check, timeout=5):
        """Polls the visible main window until check(window) holds; returns the last window seen."""
        window = None

        def fresh():
            nonlocal window
            window = self.prefix.main_window(0)
            return window is not None and check(window)

        wait_until(fresh, timeout, step=0)
        return window


def button(window, control_id):
    return next(b for b in window["buttons"] if b["id"] == control_id)


def is_turned_off(window):
    return button(window, CMD_TURN_OFF)["text"] == "Turn On"


def is_normal(window):
    return button(window, CMD_TURN_OFF)["text"] == "Turn Off"
