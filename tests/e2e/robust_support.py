"""Helpers shared by the robustness tests: raw settings values, a file held open by another process,
and the figures of a running Dimlux process."""
import json
import subprocess
import threading
import time
from pathlib import Path

import wine

SETTINGS_KEY = "Software\\Dimlux"
VALUE_NAMES = ("Top", "Left", "Bottom", "Right", "Startup")
REG_SZ, REG_BINARY, REG_DWORD = 1, 3, 4
FATAL_EXIT = 3
SECOND_COPY_TEXT = "Dimlux is already running!\r\nDo you want it shown? :)"
FIRST_RUN_TEXT = ("You have launched this application for the first time!\r\n"
                  "Would you like to read the Readme file?")
TWIPS = 15


def sz(text, nul=True):
    """A REG_SZ value as Windows stores it: UTF-16, with or without a terminating NUL."""
    return REG_SZ, (text + ("\0" if nul else "")).encode("utf-16-le")


def set_values(prefix, values):
    """Stores raw values ({name: (type, bytes)}; None deletes) in the settings key with one driver run."""
    args = []
    for name, value in values.items():
        args += [name, "-", "-"] if value is None else [name, value[0], value[1].hex() or "-"]
    result = prefix.driver("regset", SETTINGS_KEY, *args)
    if not result["ok"]:
        raise RuntimeError(f"regset failed: {result}")


def dump_values(prefix):
    """{name: (type, bytes)} of every value in the settings key."""
    values = prefix.driver("regdump", SETTINGS_KEY)["values"]
    return {name: (v["type"], bytes.fromhex(v["hex"])) for name, v in values.items()}


def text_of(value):
    """The text a REG_SZ value holds, without the NUL Windows may store after it; None otherwise."""
    if value is None or value[0] != REG_SZ:
        return None
    text = value[1].decode("utf-16-le")
    return text[:-1] if text.endswith("\0") else text


def boxes(prefix):
    return [b for b in prefix.driver("boxes")["boxes"] if b["visible"]]


def click(prefix, box, button_id):
    if not prefix.driver("click", box["hwnd"], button_id)["ok"]:
        raise RuntimeError(f"could not click button {button_id} of {box}")


def resident_kb(process):
    """VmRSS of a Linux process in kB, or None once it has gone."""
    try:
        for line in Path(f"/proc/{process.pid}/status").read_text().splitlines():
            if line.startswith("VmRSS:"):
                return int(line.split()[1])
    except FileNotFoundError:
        pass
    return None


class HeldFile:
    """A file opened by a driver process with the given share modes and kept open for `seconds`."""

    def __init__(self, prefix, path, share, seconds):
        self.out = prefix.folder / f"hold{time.monotonic_ns()}.json"
        self.process = subprocess.Popen(
            [wine.WINE, str(prefix.driver_exe), wine.win_path(self.out), "hold", path, share, str(int(seconds * 1000))],
            env=prefix.env(), stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        prefix.processes.append(self.process)
        self.answer = wine.wait_until(self.read, 30)
        if not (self.answer and self.answer["ok"] and self.answer["held"]):
            raise RuntimeError(f"could not hold {path}: {self.answer}")

    def read(self):
        try:
            return json.loads(self.out.read_text(encoding="utf-8"))
        except (FileNotFoundError, ValueError):
            return None


def run_driver(prefix, out_name, *args, timeout=60):
    """Runs the driver with an output file of its own, for use beside the harness's calls (other threads)."""
    out = prefix.folder / out_name
    subprocess.run([wine.WINE, str(prefix.driver_exe), wine.win_path(out), *map(str, args)], env=prefix.env(),
                   stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                   timeout=timeout, check=True)
    return json.loads(out.read_text(encoding="utf-8"))


class SettingsWatcher(threading.Thread):
    """Reads the settings key over and over until stopped; keeps every reading that differs from the first.

    Hold `lock` around other driver runs that read another process's memory: under Wine such a run can
    die silently when a process starts or ends in the prefix at the same moment."""

    def __init__(self, prefix):
        super().__init__(daemon=True)
        self.prefix = prefix
        self.first = dump_values(prefix)
        self.readings = 0
        self.changes = []
        self.lock = threading.Lock()
        self.halt = threading.Event()

    def run(self):
        while not self.halt.is_set():
            with self.lock:
                values = run_driver(self.prefix, "watch.json", "regdump", SETTINGS_KEY)["values"]
            values = {name: (v["type"], bytes.fromhex(v["hex"])) for name, v in values.items()}
            self.readings += 1
            if values != self.first:
                self.changes.append(values)

    def stop(self):
        self.halt.set()
        self.join(60)
        return self.readings, self.changes
