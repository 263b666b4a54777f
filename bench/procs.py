"""The Linux side of the Wine processes: finding them by prefix, their CPU time, peak memory and mapped modules."""
import os
from pathlib import Path

import psutil

from tests.e2e.harness.wine import poll


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


def the_process(program, prefix_path):
    found = poll(lambda: prefix_processes(program, prefix_path), 5)
    if len(found) != 1:
        raise RuntimeError(f"expected one {program} process in the prefix, found {found}")
    return found[0]


def has_ended(process):
    try:
        return process.status() == psutil.STATUS_ZOMBIE
    except psutil.NoSuchProcess:
        return True


def prefix_server(prefix_path):
    """The prefix's wineserver: the one working in the folder named after the prefix's device and inode."""
    info = os.stat(prefix_path)
    folder = f"server-{info.st_dev:x}-{info.st_ino:x}"
    servers = [server for server in prefix_processes("wineserver", prefix_path) if Path(server.cwd()).name == folder]
    if len(servers) != 1:
        raise RuntimeError(f"expected one wineserver working in {folder}, found {servers}")
    return servers[0]


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
