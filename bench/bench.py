#!/usr/bin/env python3
"""Measures Dimlux.exe against two baseline programs and prints one Markdown table (also build/bench.md).

    scripts/bench [--runs N] [--seconds S]      (or bench/bench.py)

Builds the win32 and win64 release presets, then runs the 64-bit Dimlux.exe, baseline_window.exe and
baseline_blank.exe under Wine on a private Xvfb display with a prefix of its own under build/bench/.
Figures: exe size and imports; start-up to the window shown at its place; CPU over S seconds idle and
blanked (the process plus the prefix's wineserver); display-off requests per second and the largest gap
between two of them (from the WINEDEBUG=+win trace); restore latency after Enter; peak resident memory.
Each figure is the median of N runs (default 5) with its min and max. Not part of the tests.
"""
import argparse
import json
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
os.environ["DIMLUX_E2E_ROOT"] = str(BENCH_DIR)  # the Wine harness keeps its template prefix there
sys.path.insert(0, str(ROOT / "tests" / "e2e"))
import wine  # noqa: E402

PRESETS = ("win32", "win64")
MAIN_CLASS, BASELINE_CLASS = "DimluxMain", "BaselineMain"
TURN_OFF_ID = 101
CLOCK_TICKS = os.sysconf("SC_CLK_TCK")
TRACE_DEBUG = "+timestamp,+win"
DISPLAY_OFF = re.compile(r"^(\d+\.\d+):.*handle_sys_command hwnd \S+ WM_SYSCOMMAND f170 2\b")
SYSTEM_DLLS = {
    "kernel32.dll",
    "user32.dll",
    "gdi32.dll",
    "advapi32.dll",
    "shell32.dll",
    "comctl32.dll",
    "msvcrt.dll",
    "ntdll.dll",
    "ole32.dll",
    "comdlg32.dll",
    "uxtheme.dll",
}
OBJDUMP = {"win32": "i686-w64-mingw32-objdump", "win64": "x86_64-w64-mingw32-objdump"}

BUDGET_EXE_BYTES = 128 * 1024
BUDGET_STARTUP_RATIO = 1.1  # to baseline_window, a bare tool window with a button
BUDGET_IDLE_RATIO = 1.1  # to baseline_window, which ticks once a second as Dimlux does
BUDGET_BLANKED_CPU_RATIO = 1.05  # to baseline_blank, the bare blanked tick loop
BUDGET_REQUESTS_PER_S = 90
BUDGET_GAP_MS = 20
BUDGET_RESTORE_MS = 50
BUDGET_MEMORY_RATIO = 1.1


def say(text):
    print(text, flush=True)


# --- Building and the exe files ---


def build():
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
    pids = wine.wait_until(lambda: prefix_pids(program, prefix_path), 5)
    if len(pids) != 1:
        raise RuntimeError(f"expected one {program} process in the prefix, found {pids}")
    return pids[0]


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
    def __init__(self, runs, seconds):
        self.runs, self.seconds = runs, seconds
        self.startups = 3 * runs  # cheap, and the noisiest figure
        self.exe = {
            name: ROOT / "build/win64/bench" / f"{name}.exe"
            for name in ("baseline_window", "baseline_blank", "bench_probe")
        }
        self.exe["Dimlux"] = ROOT / "build/win64/Dimlux.exe"
        self.results = {}
        self.modules = {}

    def record(self, figure, value):
        self.results.setdefault(figure, []).append(value)

    # Wine set-up and the probe

    def set_up(self):
        wine.DIMLUX_EXE = self.exe["Dimlux"]
        wine.DRIVER_EXE = ROOT / "build/win64/tests/e2e/dimlux_driver.exe"
        self.display = wine.Display()
        self.prefix = wine.Prefix(self.display, "run")
        for name in ("baseline_window", "baseline_blank", "bench_probe"):
            shutil.copy(self.exe[name], self.prefix.install_dir / f"{name}.exe")
        self.probe_runs = 0

    def tear_down(self):
        self.prefix.stop()
        self.display.stop()

    def win_exe(self, name):
        return self.prefix.exe_win_path.rsplit("\\", 1)[0] + f"\\{name}.exe"

    def probe(self, *args):
        self.probe_runs += 1
        out = self.prefix.folder / f"probe{self.probe_runs}.txt"
        subprocess.run(
            [wine.WINE, self.win_exe("bench_probe"), wine.win_path(out), *map(str, args)],
            env=self.prefix.env(),
            cwd=self.prefix.install_dir,
            stdin=subprocess.DEVNULL,
            stdout=subprocess.DEVNULL,
            stderr=subprocess.DEVNULL,
            timeout=90,
            check=True,
        )
        answer = dict(line.split("=", 1) for line in out.read_text().splitlines() if "=" in line)
        if answer.get("ok") != "1":
            xvfb = "running" if self.display.process.poll() is None else f"ended ({self.display.process.poll()})"
            raise RuntimeError(f"probe {' '.join(map(str, args))}: {answer.get('error', answer)}; Xvfb {xvfb}")
        return answer

    def wineserver_pid(self):
        return the_pid("wineserver", self.prefix.path)

    def seed_settings(self):
        say("first run (answered No) to create the settings key")
        self.probe("firstrun", self.win_exe("Dimlux"))
        self.rect = self.probe("geometry")["rect"].split()
        say(f"stored geometry: outer rectangle {' '.join(self.rect)} (left top width height, pixels)")

    def start_under_probe(self, name, window_class):
        args = [self.win_exe(name), window_class, *self.rect]
        if name != "Dimlux":
            args += self.rect  # the baselines take the same outer rectangle on their command line
        return float(self.probe("launch", *args)["ms"])

    def start_traced(self, name, window_class, log_name):
        """Starts the program from Linux with the +win trace going to a log file."""
        args = [] if name == "Dimlux" else self.rect
        with open(self.prefix.folder / log_name, "wb") as log:
            process = subprocess.Popen(
                [wine.WINE, self.win_exe(name), *args],
                env=self.prefix.env(TRACE_DEBUG),
                cwd=self.prefix.install_dir,
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
            f"  {label:9} idle CPU {ticks:5.2f} s ({precise * 1000:5.1f} ms,"
            f" exe alone {alone * 1000:5.1f} ms)"
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
        time.sleep(1)  # past the one-off work of entering the state
        meter.start()
        time.sleep(self.seconds)
        ticks, _, _ = meter.stop()
        if not traced:
            self.record(f"peak_rss_blanked_kib/{label}", peak_rss_kib(pid))
        line = f"  {label:9} {'traced  ' if traced else 'untraced'} CPU {ticks:5.2f} s"
        if name == "Dimlux":
            restore_ms = float(self.probe("restore", *self.rect)["ms"])
            self.record(f"restore_ms/{traced}", restore_ms)
            line += f"  restore {restore_ms:6.1f} ms"
        self.close(window_class, pid)
        self.record(f"blanked_cpu_s/{label}/{traced}", ticks)
        if traced:
            rate, gap_ms, count = display_off_cadence(self.prefix.folder / log_name)
            self.record(f"requests_per_s/{label}", rate)
            self.record(f"largest_gap_ms/{label}", gap_ms)
            line += f"  {count} requests, {rate:6.1f}/s, largest gap {gap_ms:5.0f} ms"
        say(line)

    def run(self):
        self.seed_settings()
        self.start_under_probe("baseline_window", BASELINE_CLASS)  # warms the baseline up once
        self.close(BASELINE_CLASS, the_pid("baseline_window.exe", self.prefix.path))
        say(f"start-up, {self.startups} runs each")
        for _ in range(self.startups):
            dimlux = self.startup_run("Dimlux", MAIN_CLASS, "dimlux")
            baseline = self.startup_run("baseline_window", BASELINE_CLASS, "baseline")
            say(f"  Dimlux {dimlux:6.1f} ms  baseline {baseline:6.1f} ms")
        say(f"normal state: {self.seconds:g} s idle, peak memory")
        for _ in range(self.runs):
            self.normal_run("Dimlux", MAIN_CLASS, "dimlux")
            self.normal_run("baseline_window", BASELINE_CLASS, "baseline")
        for traced in (True, False):
            say(f"blanked state, {self.seconds:g} s, {'with' if traced else 'without'} the +win trace")
            for _ in range(self.runs):
                self.blanked_run("Dimlux", MAIN_CLASS, "dimlux", traced)
                self.blanked_run("baseline_blank", BASELINE_CLASS, "baseline", traced)


def display_off_cadence(log_path):
    """(requests per second, largest gap in ms, count) of the display-off requests in a +win trace."""
    times = []
    with open(log_path, errors="replace") as log:
        for line in log:
            match = DISPLAY_OFF.match(line)
            if match:
                times.append(float(match.group(1)))
    if len(times) < 2:
        return 0.0, float("inf"), len(times)
    gaps = [b - a for a, b in zip(times, times[1:])]
    return (len(times) - 1) / (times[-1] - times[0]), max(gaps) * 1000, len(times)


# --- The table ---


def spread(values, form):
    return f"{form.format(statistics.median(values))} [{form.format(min(values))}, {form.format(max(values))}]"


def met(ok):
    return "met" if ok else "**not met**"


def table(results, sizes, runs, seconds, notes):
    r = results
    span = f"{seconds:g} s"
    med = {key: statistics.median(values) for key, values in r.items()}
    rows = []
    for preset in PRESETS:
        size, dlls = sizes[preset]
        system_only = all(dll.lower() in SYSTEM_DLLS for dll in dlls)
        budget = f"<= {BUDGET_EXE_BYTES} B, system DLLs only" if preset == "win32" else "(none; for reference)"
        verdict = met(size <= BUDGET_EXE_BYTES and system_only) if preset == "win32" else "-"
        rows.append(
            (
                f"Dimlux.exe {preset}: bytes; imports",
                f"{size} B ({size / 1024:.1f} KiB)",
                "-",
                ", ".join(dlls),
                budget,
                verdict,
            )
        )

    startup_ratio = med["startup_ms/dimlux"] / med["startup_ms/baseline"]
    rows.append(
        (
            "Start-up to shown at its place, ms",
            spread(r["startup_ms/dimlux"], "{:.1f}"),
            spread(r["startup_ms/baseline"], "{:.1f}"),
            f"ratio {startup_ratio:.2f}",
            f"<= {BUDGET_STARTUP_RATIO}",
            met(startup_ratio <= BUDGET_STARTUP_RATIO),
        )
    )

    idle_d, idle_b = med["idle_cpu_precise_s/dimlux"], med["idle_cpu_precise_s/baseline"]
    idle_ratio = idle_d / idle_b
    rows.append(
        (
            f"Idle CPU over {span} (exe + wineserver), s; utime+stime",
            spread(r["idle_cpu_s/dimlux"], "{:.2f}"),
            spread(r["idle_cpu_s/baseline"], "{:.2f}"),
            f"resolution {1 / CLOCK_TICKS:.2f} s",
            "-",
            "-",
        )
    )
    rows.append(
        (
            f"Idle CPU over {span} (exe + wineserver), ms; schedstat",
            spread([v * 1000 for v in r["idle_cpu_precise_s/dimlux"]], "{:.1f}"),
            spread([v * 1000 for v in r["idle_cpu_precise_s/baseline"]], "{:.1f}"),
            f"ratio {idle_ratio:.2f}, {(idle_d - idle_b) * 1000 / seconds:+.2f} ms per s",
            f"<= {BUDGET_IDLE_RATIO}",
            met(idle_ratio <= BUDGET_IDLE_RATIO),
        )
    )
    alone_d, alone_b = med["idle_cpu_alone_s/dimlux"], med["idle_cpu_alone_s/baseline"]
    rows.append(
        (
            f"Idle CPU over {span}, exe alone, ms; schedstat",
            spread([v * 1000 for v in r["idle_cpu_alone_s/dimlux"]], "{:.1f}"),
            spread([v * 1000 for v in r["idle_cpu_alone_s/baseline"]], "{:.1f}"),
            f"{(alone_d - alone_b) * 1000 / seconds:+.2f} ms per s",
            "(for reference)",
            "-",
        )
    )

    rows.append(
        (
            "Blanked: display-off requests per s (+win trace)",
            spread(r["requests_per_s/dimlux"], "{:.1f}"),
            spread(r["requests_per_s/baseline"], "{:.1f}"),
            "-",
            f">= {BUDGET_REQUESTS_PER_S}",
            met(min(r["requests_per_s/dimlux"]) >= BUDGET_REQUESTS_PER_S),
        )
    )
    rows.append(
        (
            "Blanked: largest gap between requests, ms (+win trace)",
            spread(r["largest_gap_ms/dimlux"], "{:.0f}"),
            spread(r["largest_gap_ms/baseline"], "{:.0f}"),
            "-",
            f"<= {BUDGET_GAP_MS}",
            met(max(r["largest_gap_ms/dimlux"]) <= BUDGET_GAP_MS),
        )
    )
    for traced, label in ((False, "no trace"), (True, "+win trace")):
        d, b = r[f"blanked_cpu_s/dimlux/{traced}"], r[f"blanked_cpu_s/baseline/{traced}"]
        ratio = statistics.median(d) / statistics.median(b)
        rows.append(
            (
                f"Blanked CPU over {span} (exe + wineserver), s; {label}",
                spread(d, "{:.2f}"),
                spread(b, "{:.2f}"),
                f"ratio {ratio:.2f}",
                f"<= {BUDGET_BLANKED_CPU_RATIO}" if not traced else "(for reference)",
                met(ratio <= BUDGET_BLANKED_CPU_RATIO) if not traced else "-",
            )
        )

    rows.append(
        (
            'Restore: Enter to "Turn Off" at stored place, ms; no trace',
            spread(r["restore_ms/False"], "{:.1f}"),
            "-",
            f"+win trace: {spread(r['restore_ms/True'], '{:.1f}')}",
            f"< {BUDGET_RESTORE_MS}",
            met(max(r["restore_ms/False"]) < BUDGET_RESTORE_MS),
        )
    )

    for key, label in (("peak_rss_kib", "normal state"), ("peak_rss_blanked_kib", "after blanked run")):
        ratio = med[f"{key}/dimlux"] / med[f"{key}/baseline"]
        normal = key == "peak_rss_kib"
        rows.append(
            (
                f"Peak resident memory (VmHWM), MiB; {label}",
                spread([v / 1024 for v in r[f"{key}/dimlux"]], "{:.2f}"),
                spread([v / 1024 for v in r[f"{key}/baseline"]], "{:.2f}"),
                f"ratio {ratio:.3f}",
                f"<= {BUDGET_MEMORY_RATIO}" if normal else "(for reference)",
                met(ratio <= BUDGET_MEMORY_RATIO) if normal else "-",
            )
        )
    # Every measured figure comes from the 64-bit exe, which runs natively; the 32-bit one would be emulated.
    rows[len(PRESETS) :] = [(f"win64 exe: {label}", *rest) for label, *rest in rows[len(PRESETS) :]]

    lines = [
        "| Figure | Dimlux: median [min, max] | Baseline: median [min, max] | Comparison | Budget | Verdict |",
        "|---|---|---|---|---|---|",
        *("| " + " | ".join(row) + " |" for row in rows),
        "",
        f"{runs} runs per figure ({3 * runs} for start-up), {span} per idle and blanked run, runs of Dimlux "
        "and the baseline alternating. Baselines: baseline_window (start-up, idle, memory) and baseline_blank "
        "(blanked), built by the same toolchain with the same flags. Ratios are of the medians. "
        "Budgets on request rate, gap and restore are judged on the worst run. "
        "baseline_window ticks once a second and reads its window's place, as Dimlux's position keeper does. Display-off requests cannot exceed 100 per second: timer intervals below "
        "10 ms are raised to 10 ms.",
        *notes,
    ]
    return "\n".join(lines) + "\n"


def module_note(modules):
    extra = sorted(modules["dimlux"] - modules["baseline"])
    return ["", f"Modules mapped by Dimlux and not by baseline_window ({len(extra)}): {', '.join(extra) or 'none'}."]


def machine_notes(load_before, load_after):
    cpu = "unknown CPU"
    for line in read_bytes("/proc/cpuinfo").decode(errors="replace").splitlines():
        if line.startswith("model name"):
            cpu = line.split(":", 1)[1].strip()
            break
    wine_version = subprocess.run([wine.WINE, "--version"], capture_output=True, text=True).stdout.strip()
    return [
        "",
        f"Measured on a {os.cpu_count()}-core machine ({cpu}) under {wine_version} on Xvfb, 64-bit build; "
        "figures under Wine are not figures on Windows. Load average (1 min) "
        f"{load_before:.2f} before and {load_after:.2f} after: other Wine jobs running on the machine at the "
        "same time show up as noise, mostly in start-up and CPU.",
    ]


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--runs", type=int, default=5)
    parser.add_argument("--seconds", type=float, default=20)
    args = parser.parse_args()

    build()
    sizes = {}
    for preset in PRESETS:
        exe = ROOT / "build" / preset / "Dimlux.exe"
        sizes[preset] = (exe.stat().st_size, imported_dlls(preset, exe))

    load_before = os.getloadavg()[0]
    bench = Bench(args.runs, args.seconds)
    bench.set_up()
    try:
        bench.run()
    finally:
        bench.tear_down()
    load_after = os.getloadavg()[0]

    notes = module_note(bench.modules) + machine_notes(load_before, load_after)
    text = table(bench.results, sizes, args.runs, args.seconds, notes)
    (ROOT / "build" / "bench.md").write_text(text)
    (BENCH_DIR / "results.json").write_text(json.dumps(bench.results, indent=1))
    say("")
    say(text)


if __name__ == "__main__":
    main()
