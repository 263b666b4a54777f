"""Helpers shared by the robustness tests: message boxes, a file held open by another process, a watch on
the settings key, and the resident size of a running Dimlux process."""
import json
import subprocess
import threading
import time
from pathlib import Path

import wine


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


class SettingsWatcher(threading.Thread):
    """Reads the settings key over and over until stopped; keeps every reading that differs from the first.

    Hold `lock` around other driver runs that read another process's memory: under Wine such a run can
    die silently when a process starts or ends in the prefix at the same moment."""

    def __init__(self, prefix):
        super().__init__(daemon=True)
        self.prefix = prefix
        self.first = prefix.values()
        self.readings = 0
        self.changes = []
        self.lock = threading.Lock()
        self.halt = threading.Event()

    def run(self):
        while not self.halt.is_set():
            with self.lock:
                values = self.prefix.values(out_name="watch.json")
            self.readings += 1
            if values != self.first:
                self.changes.append(values)

    def stop(self):
        self.halt.set()
        self.join(60)
        return self.readings, self.changes
