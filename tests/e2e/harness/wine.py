"""Xvfb displays with input and screenshots, and Wine prefixes copied from a template made once (make_template)."""
import os
import shutil
import subprocess
import sys
import time
from collections import Counter
from contextlib import contextmanager
from pathlib import Path

WINE = "/usr/lib/wine/wine64"
WINESERVER = "/usr/lib/wine/wineserver"
SCREEN = (1024, 768)


SPENT = Counter()  # s spent in each kind of wait, less the kinds nested in it: the file's time table
_nested = [0.0]


@contextmanager
def timed(kind):  # yields [kind], which the block may change before it ends
    start = time.monotonic()
    _nested.append(0.0)
    label = [kind]
    try:
        yield label
    finally:
        elapsed = time.monotonic() - start
        SPENT[label[0]] += elapsed - _nested.pop()
        _nested[-1] += elapsed


def time_table(total):  # one line: the whole time, then each kind of wait, the largest first
    kinds = [f"{kind} {seconds:.1f}" for kind, seconds in SPENT.most_common()]
    return f"e2e time: {total:.1f} s in all; " + "; ".join([*kinds, f"other {total - sum(SPENT.values()):.1f}"])


def poll(check, timeout, step=0.1, kind="waits"):  # check() until its result is true or timeout s pass (0: once)
    with timed(kind) as label:
        end = time.monotonic() + timeout
        while not (result := check()) and time.monotonic() < end:
            time.sleep(step)
        if not result and timeout:
            label[0] = "waits to their timeout"
    return result


def failed_to_start(process):
    """Whether a started Wine program ended at once, Wine unable to map its memory: under emulation a new process
    now and then finds the address it needs taken, and the same start made again goes through."""
    ended = getattr(process, "log_path", None) and process.poll() is not None
    return bool(ended) and "failed to map the shared user data" in process.log_path.read_text(errors="replace")


class Display:  # an Xvfb server on a display number it picks itself; only the process started here is stopped
    def __init__(self):
        self.last_press = None, 0.0
        command = f"Xvfb -displayfd 1 -screen 0 {SCREEN[0]}x{SCREEN[1]}x24 -nolisten tcp -noreset"
        self.process = subprocess.Popen(command.split(), stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True)
        self.name = ":" + self.process.stdout.readline().strip()  # once it takes connections; ":" if it ended
        if self.name == ":":
            raise RuntimeError("Xvfb did not start")

    def stop(self):
        self.process.terminate()
        self.process.communicate(timeout=10)

    def x_tool(self, *args, timeout=20):  # runs an X client on this display; returns its output
        env = {**os.environ, "DISPLAY": self.name}
        return subprocess.run(list(map(str, args)), env=env, check=True, timeout=timeout, capture_output=True).stdout

    def xdotool(self, *args):
        return self.x_tool("xdotool", *args).decode()

    def move_pointer(self, x, y):  # and waits until it is there (xdotool's --sync would hang if it already is)
        where = dict(line.split("=", 1) for line in self.xdotool("getmouselocation", "--shell").split())
        if (int(where["X"]), int(where["Y"])) != (x, y):
            self.xdotool("mousemove", "--sync", x, y)

    def press(self, x, y, *actions):  # xdotool button actions at (x, y), not so soon after one there as to double-click
        self.move_pointer(x, y)
        place, at = self.last_press
        if place == (x, y):
            time.sleep(max(0.0, at + 0.6 - time.monotonic()))  # Wine's double-click time is 500 ms
        self.xdotool(*actions)
        self.last_press = (x, y), time.monotonic()

    def click(self, x, y):
        self.press(x, y, "click", 1)

    def key(self, key):  # one press, then time for Wine to take it
        self.xdotool("key", key)
        time.sleep(0.3)

    def save_screen(self, path, rect=None):  # the screen, or its part [x, y, width, height], as an image file
        crop = ["-crop", "{2}x{3}+{0}+{1}".format(*rect), "+repage"] if rect else []
        self.x_tool("import", "-window", "root", *crop, path, timeout=60)


class Screenshot:  # the screen as ImageMagick's import reads it, as rows of RGB bytes
    def __init__(self, display):
        raw = display.x_tool("import", "-window", "root", "-depth", "8", "rgb:-", timeout=60)
        self.rows = [raw[y * SCREEN[0] * 3 : (y + 1) * SCREEN[0] * 3] for y in range(SCREEN[1])]

    def colours(self, rect):  # {(x, y): (red, green, blue)} of the pixels of rect [x, y, width, height] on the screen
        x, y, width, height = rect
        across = range(max(x, 0), min(x + width, SCREEN[0]))
        down = range(max(y, 0), min(y + height, SCREEN[1]))
        return {(i, j): tuple(self.rows[j][3 * i : 3 * i + 3]) for j in down for i in across}

    def pixel(self, x, y):
        return self.colours([x, y, 1, 1])[(x, y)]

    def ink(self, rect, background):  # the box [x, y, width, height] round rect's pixels not the background, or None
        inked = [point for point, colour in self.colours(rect).items() if colour != background]
        if not inked:
            return None
        xs, ys = zip(*inked)
        return [min(xs), min(ys), max(xs) - min(xs) + 1, max(ys) - min(ys) + 1]


PROGRAMS = {".acm", ".ax", ".com", ".cpl", ".dll", ".drv", ".ds", ".exe", ".nls", ".ocx", ".sys", ".tlb", ".vxd"}


def link_or_copy(source, target):  # Wine only reads a prefix's programs and libraries: those are shared, not copied
    if Path(source).suffix.lower() in PROGRAMS:
        os.link(source, target)
    else:
        shutil.copy2(source, target)


class Prefix:  # at folder/prefix: a copy of the template prefix, or none yet (make_template makes one there)
    def __init__(self, display, folder, template=None):
        self.display = display
        self.folder = Path(folder)
        self.path = self.folder / "prefix"
        self.processes = []
        shutil.rmtree(self.folder, ignore_errors=True)
        self.folder.mkdir(parents=True)
        if template is not None:
            with timed("prefix copies"):
                shutil.copytree(template, self.path, symlinks=True, copy_function=link_or_copy)
                # One wineserver for the whole prefix: one that ends with its last client can be ending just as the
                # next program connects, which then dies with "recvmsg: Connection reset by peer".
                self.run([WINESERVER, "-p"], 30)

    def start(self, command, debug="-all", log="wine.log", cwd=None, env=None, stdin=subprocess.DEVNULL):
        """[WINE, program, args...] started here, its output to a log file in the folder, never to a pipe: the Wine
        services it starts inherit its output and outlive it, and a pipe they hold would not end until they do."""
        wine = {"WINEPREFIX": str(self.path), "WINELOADER": WINE, "WINEDEBUG": debug, "DISPLAY": self.display.name}
        wine["WINEDLLOVERRIDES"] = "mscoree,mshtml,winemenubuilder.exe=d"  # no .NET, no Gecko, no menu entries
        env = {**os.environ, **wine, **(env or {})}
        with open(self.folder / log, "ab") as output:
            process = subprocess.Popen(
                list(map(str, command)), env=env, cwd=cwd, stdin=stdin, stdout=output, stderr=output, encoding="utf-8"
            )
        process.log_path = self.folder / log
        self.processes.append(process)
        return process

    def run(self, command, timeout, log="wine.log", cwd=None, env=None):  # to its end, or ended and TimeoutExpired
        for attempt in (1, 2):
            process = self.start(command, log=log, cwd=cwd, env=env)
            try:
                process.wait(timeout)
            finally:
                process.kill()  # only if it is still running
                process.wait()
                self.processes.remove(process)
            if attempt == 2 or process.returncode == 0 or not failed_to_start(process):
                return process
            print(f"Wine could not map the memory of {command}: started once more", flush=True)

    def windows_path(self, path, through_z=False):  # as programs here name it: on C: when it lies there, else Z:
        drive_c = self.path / "drive_c"
        if Path(path).is_relative_to(drive_c) and not through_z:
            return "C:\\" + "\\".join(Path(path).relative_to(drive_c).parts)
        return "Z:" + str(path).replace("/", "\\")

    @timed("prefix ends")
    def stop(self):  # ends everything running in this prefix and removes it; the logs stay
        self.run([WINESERVER, "-k"], 30)
        for process in self.processes:
            process.kill()  # only if the wineserver's end has not ended it yet
            process.wait()
            if process.stdin:
                process.stdin.close()
        self.run([WINESERVER, "-w"], 60)
        shutil.rmtree(self.path, ignore_errors=True)


@timed("template")
def make_template(display, folder):  # the template prefix folder/prefix, made once (its users run one at a time)
    ready = Path(folder) / "ready"
    if not ready.exists():
        prefix = Prefix(display, folder)
        # Wine draws the frames itself, so caption bars can be clicked and dragged without a window manager.
        unmanaged = [WINE, "reg", "add", "HKCU\\Software\\Wine\\X11 Driver", "/v", "Managed", "/d", "N", "/f"]
        for command in ([WINE, "wineboot", "-i"], unmanaged, [WINESERVER, "-w"]):
            if prefix.run(command, 300).returncode != 0:
                raise RuntimeError(f"{command} failed; see {prefix.folder / 'wine.log'}")
        ready.touch()
    return Path(folder) / "prefix"


if __name__ == "__main__":  # python3 -m tests.e2e.harness.wine FOLDER: makes the template prefix FOLDER/prefix, once
    display = Display()
    try:
        print(f"template prefix {make_template(display, Path(sys.argv[1]).resolve())}")
    finally:
        display.stop()
