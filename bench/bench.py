#!/usr/bin/env python3
"""Measures Dimlux.exe against two baseline programs and prints one Markdown table (also build/bench.md).

    scripts/bench [--minutes M] [--runs N] [--seconds S]   the benchmark (about M = 15 minutes)
    scripts/bench --trace [--runs N]                       where the time goes: start-up and a blanked tick
    scripts/bench --smoke                                  one short run of everything, checking each figure

Builds the win32 and win64 release presets, then runs the 64-bit Dimlux.exe, baseline_window.exe and
baseline_blank.exe under Wine on a private Xvfb display with a prefix of its own under build/bench/ (or under
$DIMLUX_E2E_ROOT when set, as for the e2e tests, whose template prefix it then shares).
Figures: exe size and imports; start-up to the window shown at its place; CPU over S seconds idle and
blanked (the process plus the prefix's wineserver); display-off requests per second and the worst gap
between two of them (from the WINEDEBUG=+win trace); restore latency after Enter; peak resident memory.
Runs of Dimlux and its baseline alternate; as many rounds of runs are made as fit in M minutes (or N).
Each comparison is the ratio of the medians with a 95 % bootstrap interval over the pairs of runs, and
its verdict is met or not met only when the whole interval is on one side of the budget. Not a test.
Needs Debian's python3-scipy: run it with /usr/bin/python3 (scripts/bench does).
"""
import argparse
import json
import math
import os
import re
import shutil
import statistics
import subprocess
import sys
import time
from pathlib import Path

ROOT = Path(__file__).resolve().parents[1]
BENCH_DIR = ROOT / "build" / "bench"
# The Wine harness keeps its template prefix and the bench's prefix there.
os.environ.setdefault("DIMLUX_E2E_ROOT", str(BENCH_DIR))
sys.path.insert(0, str(ROOT / "tests" / "e2e"))
import wine  # noqa: E402

PRESETS = ("win32", "win64")
MAIN_CLASS, BASELINE_CLASS = "DimluxMain", "BaselineMain"
TURN_OFF_ID = 101
CLOCK_TICKS = os.sysconf("SC_CLK_TCK")
TRACE_DEBUG = "+timestamp,+win"
DISPLAY_OFF = re.compile(r"^(\d+\.\d+):.*handle_sys_command hwnd \S+ WM_SYSCOMMAND f170 2\b")
SYSTEM_DLLS = {"kernel32.dll", "user32.dll", "gdi32.dll", "advapi32.dll", "shell32.dll", "msvcrt.dll"}
OBJDUMP = {"win32": "i686-w64-mingw32-objdump", "win64": "x86_64-w64-mingw32-objdump"}

BUDGET_EXE_BYTES = 40 * 1024  # the 32-bit exe
PEER_SIZES = "34 KB and 38 KB"  # two well-known peers' executables, as stated by their makers
BUDGET_RESTORE_MS = 50
CONFIDENCE = 0.95
SETTLE_S = 1  # blanked figures are taken from this long after entering the state
ROUNDS_AT_LEAST = 3  # a bootstrap over fewer pairs says nothing
ROUNDS_FOR_INTERVALS = 8  # and over fewer than these, its interval is too narrow

# Relay tracing of the calls the program's own code makes into the system DLLs, and of its window procedure.
RELAY_DEBUG = "+timestamp,+loaddll,+relay"
RELAY_SETTINGS = {
    "RelayInclude": "kernel32.*;kernelbase.*;user32.*;gdi32.*;advapi32.*",
    # Calls made by Wine's own DLLs among themselves are left out: they would slow the run tenfold.
    "RelayFromExclude": ";".join(
        "winex11.drv user32 gdi32 advapi32 kernel32 kernelbase msvcrt ucrtbase sechost zlib1 version win32u "
        "uxtheme imm32 ntdll comctl32 combase ole32 rpcrt4 shlwapi shell32 setupapi bcrypt msctf".split()
    ),
}
RELAY_LINE = re.compile(r"^(\d+\.\d+):\w+:(Call|Ret) +(\w+)\.(\w+)\((.*?)\).* ret=([0-9a-f]+)$")
WINDOW_PROC_LINE = re.compile(r"^(\d+\.\d+):\w+:(Call|Ret) +window proc \w+ \(hwnd=\w+,msg=(\w+),wp=(\w+),")
EXE_LOADED = re.compile(r'^(\d+\.\d+):.*Loaded L".*\\(\w+)\.exe" at ([0-9A-Fa-f]+)')
THREAD_START = re.compile(r"^(\d+\.\d+):\w+:Starting thread proc")
DISPLAY_OFF_CALL = "00000112,0000f170,00000002"  # SendMessageA's WM_SYSCOMMAND, SC_MONITORPOWER, off

# Steps of a start, each from the first call of the program's own code that begins it (a function, and a text
# its arguments hold) to the next step.
TOPMOST = "ffffffffffffffff"  # HWND_TOPMOST as the relay trace shows a 64-bit argument
START_STEPS = {
    "Dimlux": [
        ("crt", "C runtime start", "GetStartupInfoA", ""),
        ("class", "window class: icon, cursor (the first user32 call loads Wine's X11 driver)", "LoadIconA", ""),
        ("window", "main window created, hidden", "CreateWindowExA", "DimluxMain"),
        ("buttons", "buttons: two fonts, three buttons", "CreateFontA", ""),
        ("guard", "one-copy guard: the session's mutex", "CreateMutexA", ""),
        ("settings", "settings read: registry, decimal separator", "RegOpenKeyExA", ""),
        ("place", "stored place set: one move while hidden", "SetWindowPos", ""),
        ("shown", "put on top and shown: activation, focus, first paint", "SetWindowPos", TOPMOST),
    ],
    "baseline_window": [
        ("crt", "C runtime start", "GetStartupInfoA", ""),
        ("class", "window class: cursor (the first user32 call loads Wine's X11 driver)", "LoadCursorA", ""),
        ("window", "main window created, hidden", "CreateWindowExA", "BaselineMain"),
        ("buttons", "button: one", "CreateWindowExA", "BUTTON"),
        ("shown", "shown: activation, first paint", "ShowWindow", ""),
    ],
}


def say(text):
    print(text, flush=True)


# --- Building and the exe files ---


def build(install):
    if install:
        subprocess.run([ROOT / "scripts/install-deps"], check=True)
    log_dir = BENCH_DIR / "logs"
    log_dir.mkdir(parents=True, exist_ok=True)
    for preset in PRESETS:
        say(f"building {preset}")
        with open(log_dir / f"build-{preset}.log", "w") as log:
            for command in (["cmake", "--preset", preset], ["cmake", "--build", "--preset", preset]):
                if subprocess.run(command, cwd=ROOT, stdout=log, stderr=subprocess.STDOUT).returncode != 0:
                    sys.exit(f"{' '.join(command)} failed; see {log.name} in {log_dir}")


def imported_dlls(preset, exe):
    dump = subprocess.run([OBJDUMP[preset], "-p", str(exe)], capture_output=True, text=True, check=True).stdout
    return [line.split(":", 1)[1].strip() for line in dump.splitlines() if "DLL Name:" in line]


def image_size(exe):  # SizeOfImage from the PE optional header
    data = Path(exe).read_bytes()
    header = int.from_bytes(data[0x3C:0x40], "little")
    return int.from_bytes(data[header + 24 + 56 : header + 24 + 60], "little")


# --- Linux side of the Wine processes ---


def read_bytes(path):
    try:
        return Path(path).read_bytes()
    except OSError:
        return b""


def prefix_pids(program, prefix_path):
    """Linux pids whose first argument ends with `program` and whose environment names our prefix.
    The Wine server runs as wineserver or wineserver64."""
    marker = b"WINEPREFIX=" + str(prefix_path).encode() + b"\0"
    found = []
    for entry in os.listdir("/proc"):
        if not entry.isdigit():
            continue
        argv0 = read_bytes(f"/proc/{entry}/cmdline").split(b"\0", 1)[0].replace(b"\\", b"/").lower()
        name = argv0.rsplit(b"/", 1)[-1]
        if program == "wineserver":
            matches = name in (b"wineserver", b"wineserver64")
        else:
            matches = name == program.lower().encode()
        if matches and marker in read_bytes(f"/proc/{entry}/environ"):
            found.append(int(entry))
    return found


def running(pid):
    """Whether the process exists and is not a zombie (a child started here is reaped only later)."""
    stat = read_bytes(f"/proc/{pid}/stat")
    return bool(stat) and stat.rsplit(b")", 1)[1].split()[0] != b"Z"


def the_pid(program, prefix_path):
    pids = wine.wait_until(lambda: [pid for pid in prefix_pids(program, prefix_path) if running(pid)], 5)
    if len(pids) != 1:
        raise RuntimeError(f"expected one {program} process in the prefix, found {pids}")
    return pids[0]


def server_folder(prefix_path):
    """The folder a prefix's wineserver works in: named after the device and inode of the prefix."""
    info = os.stat(prefix_path)
    return f"server-{info.st_dev:x}-{info.st_ino:x}"


def end_leftover_servers(prefix_path):
    """Ends the persistent wineservers that an interrupted earlier run left for this prefix path."""
    for pid in prefix_pids("wineserver", prefix_path):
        say(f"ending wineserver {pid} left by an earlier run in {prefix_path}")
        os.kill(pid, 15)


def cpu_seconds(pid):
    """utime + stime of the whole process, in seconds (resolution 1/CLK_TCK)."""
    fields = read_bytes(f"/proc/{pid}/stat").rsplit(b")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / CLOCK_TICKS


def cpu_ns(pid):
    """Time on CPU of the process's live threads from schedstat, in nanoseconds."""
    total = 0
    for task in Path(f"/proc/{pid}/task").glob("*"):
        stat = read_bytes(task / "schedstat").split()
        total += int(stat[0]) if stat else 0
    return total


def peak_rss_kib(pid):
    for line in read_bytes(f"/proc/{pid}/status").decode().splitlines():
        if line.startswith("VmHWM:"):
            return int(line.split()[1])
    raise RuntimeError(f"no VmHWM for pid {pid}")


def mapped_modules(pid):
    """Names of the DLLs (Windows and Wine's Unix side) mapped into the process."""
    names = set()
    for line in read_bytes(f"/proc/{pid}/maps").decode(errors="replace").splitlines():
        path = line.split(None, 5)[5] if len(line.split(None, 5)) == 6 else ""
        name = path.rsplit("/", 1)[-1].lower()
        if name.endswith((".dll", ".so", ".drv")) or ".so." in name:
            names.add(name)
    return names


class CpuMeter:
    """CPU used by a program and the Wine server between start() and stop()."""

    def __init__(self, exe_pid, server_pid):
        self.pids = (exe_pid, server_pid)

    def start(self):
        self.before = [(cpu_seconds(pid), cpu_ns(pid)) for pid in self.pids]

    def stop(self):
        """(utime+stime of both, schedstat seconds of both, schedstat seconds of the program alone)."""
        used = [
            (cpu_seconds(pid) - ticks, (cpu_ns(pid) - ns) / 1e9) for pid, (ticks, ns) in zip(self.pids, self.before)
        ]
        (exe_ticks, exe_s), (server_ticks, server_s) = used
        return exe_ticks + server_ticks, exe_s + server_s, exe_s


# --- The bench itself ---


class Bench:
    def __init__(self, seconds):
        self.seconds = seconds
        self.exe = {
            name: ROOT / "build/win64/bench" / f"{name}.exe"
            for name in ("baseline_window", "baseline_blank", "bench_probe")
        }
        self.exe["Dimlux"] = ROOT / "build/win64/Dimlux.exe"
        self.results = {}
        self.modules = {}
        self.rounds = 0

    def record(self, figure, value):
        self.results.setdefault(figure, []).append(value)

    # Wine set-up and the probe

    def set_up(self):
        wine.DIMLUX_EXE = self.exe["Dimlux"]
        wine.DRIVER_EXE = ROOT / "build/win64/tests/e2e/dimlux_driver.exe"
        end_leftover_servers(wine.ROOT / "bench" / "prefix")
        self.display = wine.Display()
        self.prefix = wine.Prefix(self.display, "bench")
        for name in ("baseline_window", "baseline_blank", "bench_probe"):
            shutil.copy(self.exe[name], self.prefix.program_file(f"{name}.exe"))
        self.probe_runs = 0

    def tear_down(self):
        if hasattr(self, "prefix"):
            self.prefix.stop()
        if hasattr(self, "display"):
            self.display.stop()

    def win_exe(self, name):
        return self.prefix.program_win_path(f"{name}.exe")

    def probe(self, *args, child_debug=None, log_name=None):
        """Runs a bench_probe command and returns its answer; child_debug is WINEDEBUG for a program it starts,
        whose output goes to log_name."""
        self.probe_runs += 1
        out = self.prefix.folder / f"probe{self.probe_runs}.txt"
        env = self.prefix.env()
        if child_debug:
            env["BENCH_CHILD_WINEDEBUG"] = child_debug
        with open(self.prefix.folder / (log_name or "probe.log"), "ab") as log:
            subprocess.run(
                [wine.WINE, self.win_exe("bench_probe"), wine.win_path(out), *map(str, args)],
                env=env,
                cwd=self.prefix.program_file("Dimlux.exe").parent,
                stdin=subprocess.DEVNULL,
                stdout=log,
                stderr=log,
                timeout=90,
                check=True,
            )
        answer = dict(line.split("=", 1) for line in out.read_text().splitlines() if "=" in line)
        if answer.get("ok") != "1":
            xvfb = "running" if self.display.process.poll() is None else f"ended ({self.display.process.poll()})"
            raise RuntimeError(f"probe {' '.join(map(str, args))}: {answer.get('error', answer)}; Xvfb {xvfb}")
        return answer

    def wineserver_pid(self):
        folder = server_folder(self.prefix.path)
        servers = [
            pid
            for pid in prefix_pids("wineserver", self.prefix.path)
            if os.path.basename(os.readlink(f"/proc/{pid}/cwd")) == folder
        ]
        if len(servers) != 1:
            raise RuntimeError(f"expected one wineserver working in {folder}, found {servers}")
        return servers[0]

    def seed_settings(self):
        say("first run (answered No) to create the settings key")
        self.probe("firstrun", self.win_exe("Dimlux"))
        self.rect = self.probe("geometry")["rect"].split()
        say(f"stored geometry: outer rectangle {' '.join(self.rect)} (left top width height, pixels)")

    def launch_args(self, name, window_class):
        args = [self.win_exe(name), window_class, *self.rect]
        if name != "Dimlux":
            args += self.rect  # the baselines take the same outer rectangle on their command line
        return args

    def start_under_probe(self, name, window_class):
        return float(self.probe("launch", *self.launch_args(name, window_class))["ms"])

    def start_traced(self, name, window_class, log_name, debug=TRACE_DEBUG):
        """Starts the program from Linux with a Wine trace going to a log file."""
        args = [] if name == "Dimlux" else self.rect
        with open(self.prefix.folder / log_name, "wb") as log:
            process = subprocess.Popen(
                [wine.WINE, self.win_exe(name), *args],
                env=self.prefix.env(debug),
                cwd=self.prefix.program_file("Dimlux.exe").parent,
                stdin=subprocess.DEVNULL,
                stdout=subprocess.DEVNULL,
                stderr=log,
            )
        self.prefix.processes.append(process)
        self.probe("wait", window_class, *self.rect)

    def close(self, window_class, pid):
        self.probe("close", window_class)
        # The Linux process may outlive its Windows process by a moment.
        if not wine.wait_until(lambda: not running(pid), 10):
            raise RuntimeError(f"{window_class} process {pid} did not end")

    # Normal state: start-up, idle CPU and peak memory

    def startup_run(self, name, window_class, label):
        startup_ms = self.start_under_probe(name, window_class)
        self.close(window_class, the_pid(f"{name}.exe", self.prefix.path))
        self.record(f"startup_ms/{label}", startup_ms)
        return startup_ms

    def normal_run(self, name, window_class, label):
        self.start_under_probe(name, window_class)
        pid = the_pid(f"{name}.exe", self.prefix.path)
        meter = CpuMeter(pid, self.wineserver_pid())
        time.sleep(1)  # past the first tick of any timer started at load
        meter.start()
        time.sleep(self.seconds)
        ticks, precise, alone = meter.stop()
        memory = peak_rss_kib(pid)
        self.modules.setdefault(label, mapped_modules(pid))
        self.close(window_class, pid)
        self.record(f"idle_cpu_s/{label}", ticks)
        self.record(f"idle_cpu_precise_s/{label}", precise)
        self.record(f"idle_cpu_alone_s/{label}", alone)
        self.record(f"peak_rss_kib/{label}", memory)
        say(
            f"  {label:9} idle CPU {precise * 1000:6.1f} ms (exe alone {alone * 1000:5.1f} ms)"
            f"  peak RSS {memory / 1024:5.1f} MiB"
        )

    # Blanked state: requests, gaps, CPU, restore

    def blank_dimlux(self):
        caption = self.probe("click", MAIN_CLASS, TURN_OFF_ID)["caption"]
        if caption != "Turn On":
            raise RuntimeError(f"Dimlux did not blank: caption {caption!r}")

    def blanked_run(self, name, window_class, label, traced):
        run = len(self.results.get(f"blanked_cpu_s/{label}/{traced}", [])) + 1
        log_name = f"{label}-blanked{run}.log"
        if traced:
            self.start_traced(name, window_class, log_name)
        else:
            self.start_under_probe(name, window_class)
        pid = the_pid(f"{name}.exe", self.prefix.path)
        if name == "Dimlux":
            self.blank_dimlux()
        meter = CpuMeter(pid, self.wineserver_pid())
        time.sleep(SETTLE_S)  # past the one-off work of entering the state
        meter.start()
        time.sleep(self.seconds)
        ticks, precise, _ = meter.stop()
        if not traced:
            self.record(f"peak_rss_blanked_kib/{label}", peak_rss_kib(pid))
        line = f"  {label:9} {'traced  ' if traced else 'untraced'} CPU {precise * 1000:6.1f} ms"
        if name == "Dimlux":
            restore_ms = float(self.probe("restore", *self.rect)["ms"])
            self.record(f"restore_ms/{traced}", restore_ms)
            line += f"  restore {restore_ms:6.1f} ms"
        self.close(window_class, pid)
        self.record(f"blanked_cpu_s/{label}/{traced}", precise)
        if traced:
            rate, gap_ms, count = display_off_cadence(self.prefix.folder / log_name)
            self.record(f"requests_per_s/{label}", rate)
            self.record(f"worst_gap_ms/{label}", gap_ms)
            line += f"  {count} requests, {rate:6.1f}/s, worst gap {gap_ms:5.0f} ms"
        say(line)

    def round(self):
        """One run of every figure, Dimlux and its baseline alternating; who goes first alternates too."""
        self.rounds += 1
        pairs = {
            "startup": (("Dimlux", MAIN_CLASS, "dimlux"), ("baseline_window", BASELINE_CLASS, "baseline")),
            "blanked": (("Dimlux", MAIN_CLASS, "dimlux"), ("baseline_blank", BASELINE_CLASS, "baseline")),
        }
        order = (lambda pair: pair) if self.rounds % 2 else (lambda pair: pair[::-1])
        say(f"round {self.rounds}: start-up three times, {self.seconds:g} s idle, {self.seconds:g} s blanked twice")
        for _ in range(3):  # start-up is cheap and the noisiest figure
            times = {label: self.startup_run(*program, label) for *program, label in order(pairs["startup"])}
            say(f"  Dimlux {times['dimlux']:6.1f} ms  baseline {times['baseline']:6.1f} ms")
        for program in order(pairs["startup"]):
            self.normal_run(*program)
        for traced in (True, False):
            for program in order(pairs["blanked"]):
                self.blanked_run(*program, traced)

    def run(self, runs, minutes):
        """Rounds of runs: `runs` of them, or as many as fit in `minutes` from `started`."""
        started = time.monotonic()
        self.start_under_probe("baseline_window", BASELINE_CLASS)  # warms the baseline up once
        self.close(BASELINE_CLASS, the_pid("baseline_window.exe", self.prefix.path))
        round_started = time.monotonic()
        self.round()
        round_s = time.monotonic() - round_started
        if runs is None:
            runs = max(ROUNDS_AT_LEAST, 1 + int((minutes * 60 - (time.monotonic() - started)) // round_s))
            say(f"a round took {round_s:.0f} s: {runs} rounds fill about {minutes:g} minutes")
        while self.rounds < runs:
            self.round()

    # Where the time goes

    def trace(self, runs):
        """Traces `runs` starts of Dimlux and of the bare window, and one blanked stretch of each program."""
        self.prefix.set_values({name: wine.sz(text) for name, text in RELAY_SETTINGS.items()}, "Software\\Wine\\Debug")
        starts = {"Dimlux": [], "baseline_window": []}
        say(f"tracing {runs} start(s) of each")
        for run in range(runs):
            for name, window_class in (("Dimlux", MAIN_CLASS), ("baseline_window", BASELINE_CLASS)):
                self.start_under_probe(name, window_class)  # untraced first: the files are in the cache
                self.close(window_class, the_pid(f"{name}.exe", self.prefix.path))
                log_name = f"trace-start-{name}-{run + 1}.log"
                answer = self.probe(
                    "launch", *self.launch_args(name, window_class), child_debug=RELAY_DEBUG, log_name=log_name
                )
                self.close(window_class, the_pid(f"{name}.exe", self.prefix.path))
                starts[name].append(start_steps(name, self.prefix.folder / log_name, answer))
        ticks = {}
        for name, label in (("Dimlux", "Dimlux"), ("baseline_blank", "baseline_blank")):
            log_name = f"trace-blanked-{name}.log"
            self.start_traced(name, MAIN_CLASS if name == "Dimlux" else BASELINE_CLASS, log_name, RELAY_DEBUG)
            pid = the_pid(f"{name}.exe", self.prefix.path)
            if name == "Dimlux":
                self.blank_dimlux()
            time.sleep(1 + self.seconds)
            if name == "Dimlux":
                self.probe("restore", *self.rect)
            self.close(MAIN_CLASS if name == "Dimlux" else BASELINE_CLASS, pid)
            ticks[label] = tick_figures(name, self.prefix.folder / log_name)
        return starts, ticks


def display_off_cadence(log_path):
    """(requests per second, worst gap in ms, count) of the display-off requests in a +win trace, from one second
    after the first, as the CPU is measured: entering the state does one-off work (Wine loads the pointer's shape
    when the full-screen window first gets it), which the trace mode shows."""
    times = []
    with open(log_path, errors="replace") as log:
        for line in log:
            match = DISPLAY_OFF.match(line)
            if match:
                times.append(float(match.group(1)))
    times = [stamp for stamp in times if stamp >= times[0] + SETTLE_S] if times else times
    if len(times) < 2:
        return 0.0, float("inf"), len(times)
    gaps = [b - a for a, b in zip(times, times[1:])]
    return (len(times) - 1) / (times[-1] - times[0]), max(gaps) * 1000, len(times)


# --- Reading relay traces ---


def own_calls(name, log_path):
    """The relay trace's calls made by the program's own code, as [call time, return time or None, function,
    arguments], its window procedure's messages as [call time, return time, message, wParam], and the times
    the exe was loaded and its main thread started."""
    exe = ROOT / "build/win64" / ("bench" if name != "Dimlux" else "") / f"{name}.exe"
    base, end, loaded, thread = None, None, None, None
    calls, messages, open_calls, open_messages = [], [], [], []
    for line in Path(log_path).read_text(errors="replace").splitlines():
        if base is None:
            match = EXE_LOADED.match(line)
            if match and match[2].lower() == name.lower():
                loaded, base = float(match[1]), int(match[3], 16)
                end = base + image_size(exe)
            continue
        if thread is None and (match := THREAD_START.match(line)):
            thread = float(match[1])
        if match := RELAY_LINE.match(line):
            stamp, kind, _, function, args, caller = match.groups()
            if not base <= int(caller, 16) < end:
                continue
            if kind == "Call":
                calls.append([float(stamp), None, function, args])
                open_calls.append(calls[-1])
            elif open_calls and open_calls[-1][2] == function:
                open_calls.pop()[1] = float(stamp)
        elif match := WINDOW_PROC_LINE.match(line):
            stamp, kind, message, wparam = match.groups()
            if kind == "Call":
                messages.append([float(stamp), None, message, wparam])
                open_messages.append(messages[-1])
            elif open_messages:
                open_messages.pop()[1] = float(stamp)
    return calls, messages, loaded, thread


def start_steps(name, log_path, answer):
    """{step key: (label, ms)} of one traced start, from the probe's CreateProcess to the window seen at its place."""
    calls, _, loaded, thread = own_calls(name, log_path)
    started, shown = int(answer["start_tick"]) / 1000, int(answer["shown_tick"]) / 1000
    marks = [("process", "Wine creates the process and maps the exe", started)]
    marks.append(("dlls", "system DLLs loaded and initialised", loaded))
    marks.append(("entry", "to the exe's entry point", thread))
    for key, label, function, text in START_STEPS[name]:
        seen = [call[0] for call in calls if call[2] == function and text in call[3]]
        if seen:
            marks.append((key, label, seen[0]))
    marks.sort(key=lambda mark: mark[2])
    marks.append(("end", "", shown))
    return {key: (label, (after - at) * 1000) for (key, label, at), (_, _, after) in zip(marks, marks[1:])}


def tick_figures(name, log_path):
    """What a blanked tick does, from a relay trace: the tick handler's work, repaints, and the worst gap, in the
    first second of the state and after it."""
    calls, messages, _, _ = own_calls(name, log_path)
    requests = [call[0] for call in calls if call[2] == "SendMessageA" and DISPLAY_OFF_CALL in call[3]]
    settled = [stamp for stamp in requests if stamp >= requests[0] + SETTLE_S] if requests else []
    if len(settled) < 3:
        return None
    ticks = [m for m in messages if m[2] == "WM_TIMER" and m[1] and any(m[0] <= r <= m[1] for r in settled)]
    handler_ms = [(end - start) * 1000 for start, end, _, _ in ticks]
    blanked = [call for call in calls if settled[0] <= call[0] <= settled[-1]]
    paints = sum(call[2] == "FillRect" for call in blanked)
    entering = [stamp for stamp in requests if stamp <= settled[0]]
    return {
        "per_s": (len(settled) - 1) / (settled[-1] - settled[0]),
        "handler_median_ms": statistics.median(handler_ms) if handler_ms else None,
        "handler_max_ms": max(handler_ms) if handler_ms else None,
        "calls_per_tick": len(blanked) / (len(settled) - 1),
        "paints_per_tick": paints / (len(settled) - 1),
        "median_gap_ms": statistics.median(b - a for a, b in zip(settled, settled[1:])) * 1000,
        **worst_gap(settled, messages, ""),
        **worst_gap(entering, messages, "entering_"),
    }


def worst_gap(requests, messages, prefix):
    """The worst gap between requests, the part of it spent in the window procedure, and its longest message."""
    if len(requests) < 2:
        return {}
    start, end = max(zip(requests, requests[1:]), key=lambda gap: gap[1] - gap[0])
    inside = [(max(a, start), min(b, end)) for a, b, _, _ in messages if b and a < end and b > start]
    longest = max((m for m in messages if m[1] and start <= m[0] < end), key=lambda m: m[1] - m[0], default=None)
    return {
        f"{prefix}worst_gap_ms": (end - start) * 1000,
        f"{prefix}worst_gap_own_ms": covered_ms(inside),
        f"{prefix}longest_message": f"{longest[2]}, {(longest[1] - longest[0]) * 1000:.0f} ms" if longest else "none",
    }


def covered_ms(spans):
    """The time covered by (start, end) spans that may nest or overlap, in ms."""
    total, reached = 0.0, None
    for start, end in sorted(spans):
        if reached is None or start > reached:
            total += end - start
            reached = end
        elif end > reached:
            total += end - reached
            reached = end
    return total * 1000


def trace_report(starts, ticks, runs, seconds):
    keys = []
    for steps in starts["Dimlux"] + starts["baseline_window"]:
        keys += [key for key in steps if key not in keys]
    labels = {}
    for name in ("baseline_window", "Dimlux"):
        for steps in starts[name]:
            labels.update({key: label for key, (label, _) in steps.items()})

    def median_ms(name, key):
        values = [steps[key][1] for steps in starts[name] if key in steps]
        return statistics.median(values) if values else None

    def cell(value, form="{:.1f}"):
        return "-" if value is None else form.format(value)

    lines = [
        f"Start-up, traced ({runs} start(s) each; medians, in ms, of each step from the probe's CreateProcess to the"
        " window seen at its place; Wine's timestamps have 1 ms resolution, and the trace of Dimlux's ten times more"
        " calls slows it a little more than the baseline):",
        "",
        "| Step | Dimlux, ms | baseline_window, ms | Dimlux - baseline, ms |",
        "|---|---|---|---|",
    ]
    for key in keys:
        dimlux, baseline = median_ms("Dimlux", key), median_ms("baseline_window", key)
        difference = None if dimlux is None and baseline is None else (dimlux or 0) - (baseline or 0)
        lines.append(f"| {labels[key]} | {cell(dimlux)} | {cell(baseline)} | {cell(difference, '{:+.1f}')} |")
    totals = {name: statistics.median(sum(ms for _, ms in steps.values()) for steps in starts[name]) for name in starts}
    lines.append(
        f"| whole start (median) | {totals['Dimlux']:.1f} | {totals['baseline_window']:.1f} |"
        f" {totals['Dimlux'] - totals['baseline_window']:+.1f} |"
    )
    lines += [
        "",
        f"Blanked, traced for {SETTLE_S + seconds:g} s each; figures from {SETTLE_S} s after the first request, but for"
        " the last three rows (the relay trace slows every call a little in both programs):",
        "",
        "| Per tick | Dimlux | baseline_blank |",
        "|---|---|---|",
    ]
    rows = (
        ("display-off requests per s", "per_s", "{:.1f}"),
        ("calls into Windows per tick", "calls_per_tick", "{:.1f}"),
        ("button faces painted per tick (FillRect)", "paints_per_tick", "{:.2f}"),
        ("time in the tick handler, ms: median", "handler_median_ms", "{:.1f}"),
        ("time in the tick handler, ms: worst", "handler_max_ms", "{:.1f}"),
        ("gap between requests, ms: median", "median_gap_ms", "{:.1f}"),
        ("worst gap between requests, ms", "worst_gap_ms", "{:.1f}"),
        (
            "of it in the window procedure (the program's code and the default handling), ms",
            "worst_gap_own_ms",
            "{:.1f}",
        ),
        ("longest message handled in the worst gap", "longest_message", "{}"),
        (f"first {SETTLE_S} s of the state, not above: worst gap, ms", "entering_worst_gap_ms", "{:.1f}"),
        ("of it in the window procedure, ms", "entering_worst_gap_own_ms", "{:.1f}"),
        ("longest message handled in it", "entering_longest_message", "{}"),
    )
    for label, key, form in rows:
        values = [cell((ticks[name] or {}).get(key), form) for name in ("Dimlux", "baseline_blank")]
        lines.append(f"| {label} | {values[0]} | {values[1]} |")
    return "\n".join(lines) + "\n"


# --- The table ---


def ratio_of_medians(dimlux, baseline):
    """The ratio of the medians and its 95 % bootstrap interval, resampling the pairs of runs made together."""
    import numpy  # here, not above: scripts/install-deps installs python3-scipy only once the bench has started
    from scipy import stats

    ratio = statistics.median(dimlux) / statistics.median(baseline)
    if len(dimlux) < 2 or len(set(dimlux) | set(baseline)) < 2:
        return ratio, ratio, ratio
    interval = stats.bootstrap(
        (numpy.array(dimlux), numpy.array(baseline)),
        lambda d, b, axis: numpy.median(d, axis=axis) / numpy.median(b, axis=axis),
        paired=True,
        vectorized=True,
        confidence_level=CONFIDENCE,
        method="percentile",
        random_state=numpy.random.default_rng(22),
    ).confidence_interval
    return ratio, interval.low, interval.high


def median_interval(values):
    import numpy
    from scipy import stats

    middle = statistics.median(values)
    if len(set(values)) < 2:
        return middle, middle, middle
    interval = stats.bootstrap(
        (numpy.array(values),),
        numpy.median,
        confidence_level=CONFIDENCE,
        method="percentile",
        random_state=numpy.random.default_rng(22),
    ).confidence_interval
    return middle, interval.low, interval.high


def verdict(low, high, at_most=None, at_least=None):
    """met when the whole interval is within the budget, not met when all of it is beyond, else too close."""
    if at_most is not None:
        within, beyond = high <= at_most, low > at_most
    else:
        within, beyond = low >= at_least, high < at_least
    return "met" if within else "**not met**" if beyond else "too close to call"


def spread(values, form):
    return f"{form.format(statistics.median(values))} [{form.format(min(values))}, {form.format(max(values))}]"


def table(results, sizes, runs, seconds, notes):
    r = results
    span = f"{seconds:g} s"
    rows = []
    size, dlls = sizes["win32"]
    system_only = all(dll.lower() in SYSTEM_DLLS for dll in dlls)
    rows.append(
        (
            "Dimlux.exe (32-bit, the product): size; imports",
            f"{size} B ({size / 1024:.1f} KiB); {', '.join(dlls)}",
            f"two well-known peers' executables as stated by their makers: {PEER_SIZES}",
            "-",
            f"<= {BUDGET_EXE_BYTES // 1024} KiB, system DLLs only",
            "met" if size <= BUDGET_EXE_BYTES and system_only else "**not met**",
        )
    )

    def compare(figure, key_d, key_b, form, scale, at_most=None, at_least=None, budget=True):
        d, b = [v * scale for v in r[key_d]], [v * scale for v in r[key_b]]
        ratio, low, high = ratio_of_medians(d, b)
        limit = at_most if at_most is not None else at_least
        rows.append(
            (
                figure,
                spread(d, form),
                spread(b, form),
                f"{ratio:.3f} [{low:.3f}, {high:.3f}]",
                (f"<= {limit:g}x" if at_most is not None else f">= {limit:g}x") if budget else "(for reference)",
                verdict(low, high, at_most, at_least) if budget else "-",
            )
        )

    compare("Start-up to shown at its place, ms", "startup_ms/dimlux", "startup_ms/baseline", "{:.1f}", 1, 1.10)
    compare(
        f"Idle CPU over {span} (exe + wineserver), ms",
        "idle_cpu_precise_s/dimlux",
        "idle_cpu_precise_s/baseline",
        "{:.1f}",
        1000,
        1.10,
    )
    compare(
        f"Idle CPU over {span}, exe alone, ms",
        "idle_cpu_alone_s/dimlux",
        "idle_cpu_alone_s/baseline",
        "{:.1f}",
        1000,
        budget=False,
    )
    compare(
        f"Blanked CPU over {span} (exe + wineserver), ms",
        "blanked_cpu_s/dimlux/False",
        "blanked_cpu_s/baseline/False",
        "{:.0f}",
        1000,
        1.05,
    )
    compare(
        "Blanked: display-off requests per s (+win trace)",
        "requests_per_s/dimlux",
        "requests_per_s/baseline",
        "{:.1f}",
        1,
        at_least=0.95,
    )
    compare(
        "Blanked: worst gap between requests in a run, ms (+win trace)",
        "worst_gap_ms/dimlux",
        "worst_gap_ms/baseline",
        "{:.0f}",
        1,
        1.25,
    )
    compare(
        "Peak resident memory (VmHWM), MiB", "peak_rss_kib/dimlux", "peak_rss_kib/baseline", "{:.2f}", 1 / 1024, 1.10
    )
    compare(
        "Peak resident memory after a blanked run, MiB",
        "peak_rss_blanked_kib/dimlux",
        "peak_rss_blanked_kib/baseline",
        "{:.2f}",
        1 / 1024,
        budget=False,
    )
    restore, low, high = median_interval(r["restore_ms/False"])
    rows.append(
        (
            'Restore: Enter to "Turn Off" at its place, ms',
            spread(r["restore_ms/False"], "{:.1f}"),
            "-",
            f"median {restore:.1f} [{low:.1f}, {high:.1f}]",
            f"< {BUDGET_RESTORE_MS} ms",
            verdict(low, high, at_most=BUDGET_RESTORE_MS),
        )
    )
    lines = [
        "| Figure | Dimlux: median [min, max] | Baseline: median [min, max] | Ratio of medians [95 % interval] "
        "| Budget | Verdict |",
        "|---|---|---|---|---|---|",
        *("| " + " | ".join(row) + " |" for row in rows),
        "",
        f"{runs} runs of each figure ({3 * runs} of start-up), {span} per idle and blanked run, Dimlux and its "
        "baseline alternating. Baselines: baseline_window (start-up, idle, memory), a topmost tool window with a "
        "button that ticks once a second and reads its place; baseline_blank (blanked), the bare 1 ms tick loop "
        "that keeps a window on top and asks for the display off. Timed figures are of the 64-bit build, which "
        "runs natively here. Intervals: percentile bootstrap over the pairs of runs; a verdict is met or not "
        "met only when the whole interval is on one side of the budget."
        + (
            f" With {runs} runs the intervals are rough: a bootstrap over fewer than about {ROUNDS_FOR_INTERVALS} "
            "pairs understates the spread."
            if runs < ROUNDS_FOR_INTERVALS
            else ""
        ),
        *notes,
    ]
    return "\n".join(lines) + "\n"


def module_note(modules):
    extra = sorted(modules["dimlux"] - modules["baseline"])
    return ["", f"Modules mapped by Dimlux and not by baseline_window ({len(extra)}): {', '.join(extra) or 'none'}."]


def machine_notes(load_before, load_after, started, minutes):
    cpu = "unknown CPU"
    for line in read_bytes("/proc/cpuinfo").decode(errors="replace").splitlines():
        if line.startswith("model name"):
            cpu = line.split(":", 1)[1].strip()
            break
    wine_version = subprocess.run([wine.WINE, "--version"], capture_output=True, text=True).stdout.strip()
    return [
        "",
        f"Run on {time.strftime('%d %B %Y, %H:%M UTC', time.gmtime(started))}, {minutes:.0f} minutes, on a "
        f"{os.cpu_count()}-core machine ({cpu}) under {wine_version} on Xvfb. Load average (1 min) "
        f"{load_before:.2f} before and {load_after:.2f} after.",
    ]


def missing_figures(results):
    """The figures a run should have produced and did not, or not as finite numbers."""
    labels = ("dimlux", "baseline")
    figures = ("startup_ms", "idle_cpu_precise_s", "idle_cpu_alone_s", "peak_rss_kib", "peak_rss_blanked_kib")
    expected = [f"{figure}/{label}" for figure in figures + ("requests_per_s", "worst_gap_ms") for label in labels]
    expected += [f"blanked_cpu_s/{label}/{traced}" for label in labels for traced in (True, False)]
    expected += ["restore_ms/True", "restore_ms/False"]
    return [key for key in expected if not results.get(key) or not all(map(math.isfinite, results[key]))]


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--minutes", type=float, default=15, help="rounds of runs to fill this time (default 15)")
    parser.add_argument("--runs", type=int, help="this many rounds instead (with --trace: traced starts, default 5)")
    parser.add_argument("--seconds", type=float, default=10, help="per idle and blanked run (default 10)")
    parser.add_argument("--trace", action="store_true", help="where the time goes, instead of the table")
    parser.add_argument("--smoke", action="store_true", help="one round and one trace of 1 s runs; checks figures")
    args = parser.parse_args()
    if args.smoke:
        args.runs, args.seconds = 1, 1

    started = time.time()
    build(install=not args.smoke)
    load_before = os.getloadavg()[0]
    bench = Bench(args.seconds)
    trace_runs = args.runs or 5
    try:
        bench.set_up()
        bench.seed_settings()
        if not args.trace:
            bench.run(args.runs, args.minutes)
        if args.trace or args.smoke:
            starts, ticks = bench.trace(trace_runs)
    finally:
        bench.tear_down()
    load_after = os.getloadavg()[0]

    if args.trace or args.smoke:
        report = trace_report(starts, ticks, trace_runs, args.seconds)
        (ROOT / "build" / ("bench-trace-smoke.md" if args.smoke else "bench-trace.md")).write_text(report)
        say("")
        say(report)
    if args.trace:
        return
    sizes = {}
    for preset in PRESETS:
        exe = ROOT / "build" / preset / "Dimlux.exe"
        sizes[preset] = (exe.stat().st_size, imported_dlls(preset, exe))
    minutes = (time.time() - started) / 60
    notes = module_note(bench.modules) + machine_notes(load_before, load_after, started, minutes)
    text = table(bench.results, sizes, bench.rounds, args.seconds, notes)
    (ROOT / "build" / ("bench-smoke.md" if args.smoke else "bench.md")).write_text(text)
    (BENCH_DIR / "results.json").write_text(json.dumps(bench.results, indent=1))
    say("")
    say(text)
    say(f"{bench.rounds} rounds in {minutes:.1f} minutes")
    if args.smoke:
        missing = missing_figures(bench.results)
        missing += [f"trace step {key}" for name in starts for key in ("crt", "shown") if key not in starts[name][0]]
        missing += [f"trace of {name}'s blanked ticks" for name, figures in ticks.items() if not figures]
        if missing:
            sys.exit(f"bench smoke run: no figure for {', '.join(missing)}")
        say("bench smoke run: every figure produced")


if __name__ == "__main__":
    main()
