"""The Wine session the benchmark runs in, on the e2e harness: a private Xvfb display, a prefix of its own holding
the measured programs, bench_probe, which starts and times them from inside it, and their Linux processes."""
import os
import shutil
import time
from pathlib import Path

import psutil

from tests.e2e.harness import dimlux
from tests.e2e.harness.wine import WINE, Display, make_template, poll

from .programs import BASELINE_BLANK, BASELINE_WINDOW, BUILD, DIMLUX, PROBE_EXE, ROOT

# Relay tracing of the calls the program's own code makes into the system DLLs, and of its window procedure.
RELAY_SETTINGS = {
    "RelayInclude": "kernel32.*;kernelbase.*;user32.*;gdi32.*;advapi32.*",
    # Calls made by Wine's own DLLs among themselves are left out: they would slow the run tenfold.
    "RelayFromExclude": "winex11.drv;user32;gdi32;advapi32;kernel32;kernelbase;msvcrt;ucrtbase;sechost;zlib1;version;"
    "win32u;uxtheme;imm32;ntdll;comctl32;combase;ole32;rpcrt4;shlwapi;shell32;setupapi;bcrypt;msctf",
}
CLOSE_WAIT_S = 30  # for a closed program's process to end


def prefix_processes(program, prefix_path):
    """Live processes whose first argument ends with `program` (wineserver also as wineserver64) and whose
    environment names the prefix."""
    names = {"wineserver", "wineserver64"} if program == "wineserver" else {program.lower()}
    found = []
    for process in psutil.process_iter(["cmdline", "status", "environ"]):
        name = (process.info["cmdline"] or [""])[0].replace("\\", "/").rsplit("/", 1)[-1].lower()
        live = process.info["status"] != psutil.STATUS_ZOMBIE  # a child started here is reaped only later
        if name in names and live and (process.info["environ"] or {}).get("WINEPREFIX") == str(prefix_path):
            found.append(process)
    return found


def has_ended(process):
    try:
        return process.status() == psutil.STATUS_ZOMBIE
    except psutil.NoSuchProcess:
        return True


def end_leftover_servers(prefix_path):
    """Ends the persistent wineservers that an interrupted earlier run left for this prefix path."""
    for server in prefix_processes("wineserver", prefix_path):
        print(f"ending wineserver {server.pid} left by an earlier run in {prefix_path}", flush=True)
        server.terminate()


def cpu_s(*processes):
    """Time on CPU of each process's live threads, in seconds, from schedstat: finer than the 1/100 s ticks of the
    CPU times that /proc/PID/stat (and so psutil) gives."""
    totals = []
    for process in processes:
        totals.append(0)
        for task in Path(f"/proc/{process.pid}/task").glob("*"):
            try:
                totals[-1] += int(task.joinpath("schedstat").read_text().split()[0]) / 1e9
            except (OSError, IndexError):
                pass  # a thread that has just ended
    return totals


def peak_rss_kib(process):
    for line in Path(f"/proc/{process.pid}/status").read_text().splitlines():
        if line.startswith("VmHWM:"):
            return int(line.split()[1])
    raise RuntimeError(f"no VmHWM for pid {process.pid}")


def mapped_modules(process):
    """Names of the DLLs (Windows and Wine's Unix side) mapped into the process."""
    names = {Path(region.path).name.lower() for region in process.memory_maps()}
    return {name for name in names if name.endswith((".dll", ".so", ".drv")) or ".so." in name}


class Session:
    def __init__(self):
        # The template prefix and the bench's prefix go there (the e2e tests' template when it is set).
        root = Path(os.environ.get("DIMLUX_E2E_ROOT", ROOT / "build/bench"))
        end_leftover_servers(root / "bench" / "prefix")
        self.display = Display()
        self.probe_runs = 0
        try:
            template = make_template(self.display, root / "template")
            driver = BUILD / "tests/e2e/dimlux_driver.exe"
            self.prefix = dimlux.DimluxPrefix(self.display, root / "bench", template, DIMLUX.exe, driver)
            self.folder = self.prefix.folder  # the logs
            for exe in (BASELINE_WINDOW.exe, BASELINE_BLANK.exe, PROBE_EXE):
                shutil.copy(exe, self.prefix.program_file(exe.name))
            self.rect = self.seed_settings()
        except BaseException:
            self.stop()
            raise

    def stop(self):
        try:
            if hasattr(self, "prefix"):
                self.prefix.stop()
        finally:
            self.display.stop()

    def probe(self, *args, child_debug=None, log_name="probe.log"):
        """Runs a bench_probe command and returns its answer; child_debug is WINEDEBUG for a program it starts,
        whose output goes to log_name with the probe's."""
        self.probe_runs += 1
        out = self.folder / f"probe{self.probe_runs}.txt"
        env = {"BENCH_CHILD_WINEDEBUG": child_debug} if child_debug else {}
        command = [WINE, self.prefix.program_win_path(PROBE_EXE.name), self.prefix.windows_path(out), *args]
        cwd = self.prefix.program_file("Dimlux.exe").parent  # the programs' folder, where the probe starts them
        if self.prefix.run(command, 90, log_name, cwd, env).returncode != 0:
            raise RuntimeError(f"probe {' '.join(map(str, args))} failed; see {self.folder / log_name}")
        answer = dict(line.split("=", 1) for line in out.read_text().splitlines() if "=" in line)
        if answer.get("ok") != "1":
            xvfb = "running" if self.display.process.poll() is None else f"ended ({self.display.process.poll()})"
            raise RuntimeError(f"probe {' '.join(map(str, args))}: {answer.get('error', answer)}; Xvfb {xvfb}")
        return answer

    def seed_settings(self):
        """A first run, its readme offer answered No, creates the settings key; returns the stored outer rectangle
        (left top width height, pixels)."""
        process = self.prefix.start_dimlux()
        self.prefix.answer(DIMLUX.name, dimlux.IDNO)
        self.prefix.main_window()
        time.sleep(dimlux.TICK_WAIT)  # lets the position keeper tick once
        self.probe("close", DIMLUX.window_class)
        process.wait(CLOSE_WAIT_S)  # a copy still ending would meet the first measured start as a second copy
        texts = self.prefix.texts()
        return [str(int(texts[name]) // dimlux.TWIPS) for name in ("Left", "Top", "Right", "Bottom")]

    def server(self):
        """The prefix's wineserver: the one working in the folder named after the prefix's device and inode."""
        info = os.stat(self.prefix.path)
        folder = f"server-{info.st_dev:x}-{info.st_ino:x}"
        found = prefix_processes("wineserver", self.prefix.path)
        servers = [server for server in found if Path(server.cwd()).name == folder]
        if len(servers) != 1:
            raise RuntimeError(f"expected one wineserver working in {folder}, found {servers}")
        return servers[0]

    def process(self, program):
        name = f"{program.name}.exe"
        found = poll(lambda: prefix_processes(name, self.prefix.path), 5)
        if len(found) != 1:
            raise RuntimeError(f"expected one {name} process in the prefix, found {found}")
        return found[0]

    def close(self, program):
        """Closes the program's window and waits for its process to end."""
        process = self.process(program)
        self.probe("close", program.window_class)
        # The probe only asks; the end is awaited here, where the process is reaped last.
        if not poll(lambda: has_ended(process), CLOSE_WAIT_S):
            raise RuntimeError(f"{program.name} process {process.pid} did not end")

    def enable_relay(self):
        self.prefix.set_values(
            {name: dimlux.sz(text) for name, text in RELAY_SETTINGS.items()}, "Software\\Wine\\Debug"
        )
