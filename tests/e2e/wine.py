"""The harness's former module API, kept for bench/bench.py until it uses tests.e2e.harness; nothing else uses it."""
import os
from pathlib import Path

from harness import dimlux, wine
from harness.dimlux import sz  # noqa: F401
from harness.wine import WINE, Display, poll as wait_until  # noqa: F401

ROOT = Path(os.environ.get("DIMLUX_E2E_ROOT", Path(__file__).resolve().parents[2] / "build/win64/e2e"))
DIMLUX_EXE = DRIVER_EXE = None


def win_path(path):  # through drive Z:
    return "Z:" + str(path).replace("/", "\\")


def Prefix(display, name):  # noqa: N802
    template = wine.make_template(display, ROOT / "template")
    return dimlux.DimluxPrefix(display, ROOT / name, template, DIMLUX_EXE, DRIVER_EXE)
