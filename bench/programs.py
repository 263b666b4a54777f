"""The programs the benchmark measures: where each exe is, its window, its command line and its start-up steps."""
from dataclasses import dataclass
from pathlib import Path

ROOT = Path(__file__).resolve().parents[1]
BUILD = ROOT / "build/win64"  # timed figures are of the 64-bit build, which runs natively here
TOPMOST = "ffffffffffffffff"  # HWND_TOPMOST as the relay trace shows a 64-bit argument


@dataclass(frozen=True)
class Program:
    exe: Path  # where the win64 build puts it
    window_class: str
    side: str  # "dimlux" or "baseline": the column of the table its figures go to
    takes_rect: bool  # its outer rectangle on its command line (Dimlux reads its stored place instead)
    turn_off_id: int | None  # the button that blanks it, focused after, so Enter restores it; None: blanks itself
    steps: tuple = ()  # of a start in a relay trace: (key, label, the call that begins it, a text its arguments hold)

    @property
    def name(self):
        return self.exe.stem


DIMLUX_STEPS = (
    ("class", "window class: icon, cursor (the first user32 call loads Wine's X11 driver)", "LoadIconA", ""),
    ("window", "main window created, hidden", "CreateWindowExA", "DimluxMain"),
    ("buttons", "buttons: two fonts, three buttons", "CreateFontA", ""),
    ("guard", "one-copy guard and settings read: the session's mutex, registry, decimal separator", "CreateMutexA", ""),
    ("place", "stored place set: one move while hidden", "SetWindowPos", ""),
    ("shown", "put on top and shown: activation, focus, first paint", "SetWindowPos", TOPMOST),
)
BASELINE_STEPS = (
    ("class", "window class: cursor (the first user32 call loads Wine's X11 driver)", "LoadCursorA", ""),
    ("window", "main window created, hidden", "CreateWindowExA", "BaselineMain"),
    ("buttons", "button: one", "CreateWindowExA", "BUTTON"),
    ("shown", "shown: activation, first paint", "ShowWindow", ""),
)
DIMLUX = Program(BUILD / "Dimlux.exe", "DimluxMain", "dimlux", takes_rect=False, turn_off_id=101, steps=DIMLUX_STEPS)
# A topmost tool window with a button that ticks once a second and reads its place: start-up, idle, memory.
BASELINE_WINDOW = Program(BUILD / "bench/baseline_window.exe", "BaselineMain", "baseline", True, None, BASELINE_STEPS)
# The bare 1 ms tick loop that keeps a window on top and asks for the display off: the blanked state.
BASELINE_BLANK = Program(BUILD / "bench/baseline_blank.exe", "BaselineMain", "baseline", True, None)
PROBE_EXE = BUILD / "bench/bench_probe.exe"
