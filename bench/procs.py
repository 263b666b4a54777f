"""The Linux side of the Wine processes: CPU time and peak memory from /proc, finer than or not in psutil, and the
modules they map."""
from pathlib import Path


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
