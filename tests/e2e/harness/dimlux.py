"""Dimlux in a Wine prefix, read and driven through our driver (driver/driver.cpp); its texts, ids and traces."""
import json
import re
import shutil
import subprocess
from pathlib import Path, PureWindowsPath

from .wine import SCREEN, WINE, Prefix, poll, timed

WAIT = 20  # s for a window or a box to come
DRIVER_TIMEOUT = 30  # s; a driver command takes well under a second

IDOK = 1
IDYES = 6
IDNO = 7
CMD_TURN_OFF = 101
CMD_SETTINGS = 102
CMD_OPT = 103
REG_SZ = 1
MAIN_CLASS = "DimluxMain"
BOX_CLASS = "#32770"
TIP_CLASS = "DimluxTip"
TRACE = "+timestamp,+win,+reg,+msg"  # what every Dimlux started here traces
WRITE = re.compile(r'Nt(?:Set|Delete)ValueKey \(\w+,L"(Top|Left|Bottom|Right|Startup|Dimlux)"')  # settings, Run entry
OFF_REQUEST = " WM_SYSCOMMAND f170 2"  # in a +win trace, a display-off request
REG_DWORD = 4
VIRTUAL_KEYS = {"Return": 0x0D, "space": 0x20}  # for the driver's hold

SETTINGS_KEY = "Software\\Dimlux"
RUN_KEY = "Software\\Microsoft\\Windows\\CurrentVersion\\Run"
TWIPS = 15  # per pixel at the 96 dpi of a fresh prefix
TICK_WAIT = 1.5  # s: long enough for one tick of the position keeper
EXIT_FATAL = 3
FIRST_RUN_TEXT = "You have launched this application for the first time!\r\nWould you like to read the Readme file?"
SECOND_COPY_TEXT = "Dimlux is already running!\r\nDo you want it shown? :)"
ENABLE_TEXT = "Start on Windows startup not enabled\r\nDo you want to enable it?"
DISABLE_TEXT = "Start on Windows startup enabled\r\nDo you want to disable it?"
WAKE_UP_CONTENT = b"Get up :)\r\n"
MIDDLE = (SCREEN[0] // 2, SCREEN[1] // 2)  # of the screen, on the blanked face
CAPTION_BAR = (SCREEN[0] // 2, 2)  # of the blanked face: where the pointer rests there, no tip comes
FACES = {CMD_TURN_OFF: (255, 0, 0), CMD_SETTINGS: (255, 128, 128)}  # the designed colours, as the screen shows them


def tick(window):  # the line a +msg trace shows when the position keeper of that Dimlux window ticks
    return f"msg 113 (WM_TIMER) hwnd {window['hwnd']:#x} wp 1 "


def hovered(trace):  # whether the last mouse tracking a +win,+msg trace shows has brought its hover
    tracked = trace.rfind("NtUserTrackMouseEvent size")
    return tracked >= 0 and "(WM_MOUSEHOVER)" in trace[tracked:]


def twips(pixels):  # as Dimlux stores them at 96 dpi
    return str(pixels * TWIPS)


def stored_texts(rect):  # the settings Dimlux stores for a window's rect at 96 dpi, "Startup" "0"
    left, top, width, height = rect
    return {"Top": twips(top), "Left": twips(left), "Bottom": twips(height), "Right": twips(width), "Startup": "0"}


def sz(text, nul=True):  # a REG_SZ value as Windows stores it: UTF-16, with or without a NUL
    return REG_SZ, (text + ("\0" if nul else "")).encode("utf-16-le")


def settings_writes(log_path):  # the settings and Run-key values a +reg trace shows written or deleted, in order
    return WRITE.findall(Path(log_path).read_text(errors="replace"))


def blankings(log_path, hwnd):  # how often a +win trace shows the window placed above all others at -2, -5
    placement = rf"NtUserSetWindowPos hwnd {hwnd:#x}, after 0xffffffff(ffffffff)?, -2,-5 "
    return len(re.findall(placement, Path(log_path).read_text(errors="replace")))


def display_off_requests(log_path, hwnd):
    """In a +timestamp,+win trace, the display-off requests' times from the first blanking to the next, and the
    restore's in between (or None)."""
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


def button(window, control_id):
    return next(b for b in window["buttons"] if b["id"] == control_id)


def is_turned_off(window):  # the caption and the place: Turn Off changes the one before the other
    return button(window, CMD_TURN_OFF)["text"] == "Turn On" and window["rect"][:2] == [-2, -5]


def is_normal(window):
    return button(window, CMD_TURN_OFF)["text"] == "Turn Off"


def face(window, control_id):  # a button's rect on the screen, cut to the client area as the screen shows it
    x, y, width, height = button(window, control_id)["rect"]
    client_x, client_y, client_width, client_height = window["client"]
    return [client_x + x, client_y + y, min(width, client_width - x), min(height, client_height - y)]


def middle(window, control_id):  # of a button, on the screen
    x, y, width, height = face(window, control_id)
    return x + width // 2, y + height // 2


class DimluxPrefix(Prefix):  # a copy of the template, with exe as Dimlux.exe in a folder of its own, and our driver
    def __init__(self, display, folder, template, exe, driver_exe, debug="-all"):
        super().__init__(display, folder, template)
        self.exe = exe
        self.debug = debug  # Dimlux's WINEDEBUG
        self.server = None  # the driver, serving commands
        self.driver_exe = shutil.copy(driver_exe, self.path / "dimlux_driver.exe")
        self.install("Program Files/Dimlux Test")

    def install(self, program_dir):  # puts Dimlux.exe in that folder under drive C:, to run from there
        self.program_dir = program_dir
        self.copy_dimlux(program_dir)

    def copy_dimlux(self, folder):  # another Dimlux.exe, in that folder under drive C:; returns its Windows path
        target = self.path / "drive_c" / folder / "Dimlux.exe"
        target.parent.mkdir(parents=True, exist_ok=True)
        return self.windows_path(shutil.copy(self.exe, target))

    def put_readme(self):  # readme.txt beside Dimlux.exe, and .txt files opened in Notepad, as on Windows
        shutil.copy(Path(__file__).resolve().parents[3] / "docs/readme.txt", self.program_file("readme.txt"))
        for view in ("/reg:32", "/reg:64"):
            self.run([WINE, "reg", "add", "HKCR\\.txt", "/ve", "/d", "txtfile", "/f", view], 60)

    def record_browsing(self):  # winebrowser then hands a web address to a stand-in, which writes it in browsed.txt
        browser = self.folder / "browser.sh"
        browser.write_text(f'#!/bin/sh\necho "$1" > "{self.folder}/browsed.txt"\n')
        browser.chmod(0o755)
        self.set_values({"Browsers": sz(str(browser))}, "Software\\Wine\\WineBrowser")

    def browsed(self):  # the address the stand-in was given, or "" if none came within 10 s
        browsed = self.folder / "browsed.txt"
        return poll(lambda: browsed.is_file() and browsed.read_text(), 10) or ""

    def program_file(self, name):  # in Dimlux's folder
        return self.path / "drive_c" / self.program_dir / name

    def program_win_path(self, name):  # of a file in Dimlux's folder
        return self.windows_path(self.program_file(name))

    def launch(self, program, debug="-all", args=()):  # a Windows program, from Dimlux's folder; its log <name>N.log
        log = f"{PureWindowsPath(program).stem.lower()}{len(self.processes) + 1}.log"
        return self.start([WINE, program, *args], debug, log, cwd=self.program_file("Dimlux.exe").parent)

    def start_dimlux(self, debug=None, exe=None, args=()):  # Dimlux.exe, or the one at that Windows path
        return self.launch(exe or self.program_win_path("Dimlux.exe"), debug or self.debug, args)

    def driver_command(self, out, *args):
        return [WINE, self.driver_exe, self.windows_path(out), *args]

    @timed("driver commands")
    def driver(self, *args):
        """Its answer, from the driver serving this prefix; one that ends (as one can while starting under load) or
        hangs is started again and asked once more."""
        out = self.folder / "driver.json"
        for attempt in range(3):
            out.unlink(missing_ok=True)
            if self.server is None or self.server.poll() is not None:
                self.server = self.start([WINE, self.driver_exe, "serve"], log="driver.log", stdin=subprocess.PIPE)
            try:
                self.server.stdin.write("\t".join(map(str, [self.windows_path(out), *args])) + "\n")
                self.server.stdin.flush()
            except OSError:  # it has ended
                pass
            answered = lambda: out.exists() or self.server.poll() is not None
            if poll(answered, DRIVER_TIMEOUT, 0.005, "driver commands") and out.exists():
                return json.loads(out.read_text(encoding="utf-8"))
            print(f"driver {args[0]}: no answer, the driver ended or hung (try {attempt + 1})", flush=True)
            self.server.kill()
        raise RuntimeError(f"dimlux_driver {' '.join(map(str, args))} failed three times")

    def lock(self, name, seconds):  # a file in Dimlux's folder held unshared that long by a driver; once it is held
        out = self.folder / "lock.json"
        out.unlink(missing_ok=True)
        self.start(self.driver_command(out, "lock", self.program_win_path(name), seconds), log="driver.log")
        if not poll(lambda: out.exists() and '"ok":true' in out.read_text(), 30):
            raise RuntimeError(f"the driver could not hold {name} open")

    def windows(self, visible=True):  # top-level, topmost first; a box's "buttons" are ids, "places" their rects
        found = [w for w in self.driver("windows")["windows"] if w["visible"] or not visible]
        for box in (w for w in found if w["class"] == BOX_CLASS):
            box["places"] = {str(b["id"]): face(box, b["id"]) for b in box["buttons"]}
            box["buttons"] = sorted(b["id"] for b in box["buttons"])
        return found

    def main_window(self, timeout=WAIT, until=lambda window: True):  # once laid out and until(it) holds; or None
        # Start-up shows the window before it lays out the buttons; the "+"/"-" caption comes last.
        laid_out = lambda w: w["class"] == MAIN_CLASS and button(w, CMD_SETTINGS)["text"] and until(w)
        return poll(lambda: next(filter(laid_out, self.windows()), None), timeout)

    def boxes(self):  # the visible message boxes
        return [window for window in self.windows() if window["class"] == BOX_CLASS]

    def box_to_answer(self, title, button_id):  # a visible box with that title and button, or None
        return next((box for box in self.boxes() if box["title"] == title and button_id in box["buttons"]), None)

    def answer(self, title, button_id):  # the box clicked; fails with what is shown if none came
        box = poll(lambda: self.box_to_answer(title, button_id), WAIT)
        if box is None or not self.driver("click", box["hwnd"], button_id)["ok"]:
            codes = [p.poll() for p in self.processes]
            raise AssertionError(f"no {title} box to answer {button_id}: {self.boxes()}; exit codes {codes}")
        return box

    def set_values(self, values, subkey=SETTINGS_KEY):  # exactly these values, {name: (type, bytes)}, in an HKCU key
        args = [part for name, (kind, data) in values.items() for part in (name, kind, data.hex() or "-")]
        result = self.driver("regset", subkey, *args)
        if not result["ok"]:
            raise RuntimeError(f"regset failed: {result}")

    def set_dpi(self, dpi):  # the logical dpi Wine hands every program started afterwards
        self.set_values({"LogPixels": (REG_DWORD, dpi.to_bytes(4, "little"))}, "Control Panel\\Desktop")

    def set_decimal_separator(self, text):  # the user's, for programs started afterwards
        self.set_values({"sDecimal": sz(text)}, "Control Panel\\International")

    def texts(self, subkey=SETTINGS_KEY):  # {name: text} of an HKCU key's values, without a NUL; None if not REG_SZ
        return self.driver("regdump", subkey)["values"]

    def trace_marks(self):  # {log: its size now} of each Dimlux started here
        return {p.log_path: p.log_path.stat().st_size for p in self.processes if p.log_path.name.startswith("dimlux")}

    def traced(self, marks):  # what Dimlux's traces gained since the marks
        return "".join(read_from(path, marks.get(path, 0)) for path in self.trace_marks())


def read_from(path, offset):  # a log's text from that byte on
    with open(path, "rb") as log:
        log.seek(offset)
        return log.read().decode(errors="replace")
