"""Measures Dimlux.exe against two baseline programs and prints one Markdown table (also build/bench.md).

Builds the release presets and runs the 64-bit programs under Wine in a prefix under build/bench/ (or $DIMLUX_E2E_ROOT,
sharing the e2e tests' template prefix). Not a test; docs/benchmark.md says how it measures."""
import argparse
import os
import subprocess
import sys
import time
from pathlib import Path

from tests.e2e.harness.wine import WINE

from .programs import BASELINE_WINDOW, DIMLUX, ROOT

PRESETS = ("win32", "win64")


def build(install):
    if install:
        subprocess.run([ROOT / "scripts/install-deps"], check=True)
    log_dir = ROOT / "build/bench/logs"
    log_dir.mkdir(parents=True, exist_ok=True)
    for preset in PRESETS:
        print(f"building {preset}", flush=True)
        with open(log_dir / f"build-{preset}.log", "w") as log:
            for command in (["cmake", "--preset", preset], ["cmake", "--build", "--preset", preset]):
                if subprocess.run(command, cwd=ROOT, stdout=log, stderr=subprocess.STDOUT).returncode != 0:
                    sys.exit(f"{' '.join(command)} failed; see {log.name} in {log_dir}")


def trace_gaps(starts, ticks):
    """What a smoke run's trace should have produced and did not."""
    steps = [(program, key) for program, runs in starts.items() for key in ("class", "shown") if key not in runs[0]]
    gaps = [f"trace step {key} of {program.name}" for program, key in steps]
    return gaps + [f"trace of {program.name}'s blanked ticks" for program, figures in ticks.items() if not figures]


def notes(modules, load_before, started, minutes):
    """The notes under the table: the modules only Dimlux maps, the machine and its load."""
    extra = sorted(modules[DIMLUX] - modules[BASELINE_WINDOW])
    wine_version = subprocess.run([WINE, "--version"], capture_output=True, text=True).stdout.strip()
    lines = Path("/proc/cpuinfo").read_text(errors="replace").splitlines()
    cpu = next((line.split(":", 1)[1].strip() for line in lines if line.startswith("model name")), "unknown CPU")
    return [
        f"Modules mapped by Dimlux and not by baseline_window ({len(extra)}): {', '.join(extra) or 'none'}.",
        f"Run on {time.strftime('%d %B %Y, %H:%M UTC', time.gmtime(started))}, {minutes:.0f} minutes, on a "
        f"{os.cpu_count()}-core machine ({cpu}) under {wine_version} on Xvfb. Load average (1 min) "
        f"{load_before:.2f} before and {os.getloadavg()[0]:.2f} after.",
    ]


def main():
    parser = argparse.ArgumentParser(prog="scripts/bench", description=__doc__.splitlines()[0])
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
    # Imported once scripts/install-deps has run: they need Debian's Python packages it installs.
    import pefile

    from . import figures, report
    from .runs import SETTLE_S, Bench

    load_before = os.getloadavg()[0]
    bench = Bench(args.seconds)
    trace_runs = args.runs or 5
    try:
        if not args.trace:
            bench.run(args.runs, args.minutes)
        if args.trace or args.smoke:
            starts, ticks = bench.trace(trace_runs)
    finally:
        bench.session.stop()
    out = ROOT / "build"
    if args.trace or args.smoke:
        text = report.trace_report(starts, ticks, trace_runs, args.seconds, SETTLE_S)
        (out / ("bench-trace-smoke.md" if args.smoke else "bench-trace.md")).write_text(text + "\n")
        print("\n" + text + "\n")
    if args.trace:
        return
    exe = out / "win32" / f"{DIMLUX.name}.exe"
    dlls = [entry.dll.decode() for entry in pefile.PE(exe).DIRECTORY_ENTRY_IMPORT]
    minutes = (time.time() - started) / 60
    table_notes = notes(bench.modules, load_before, started, minutes)
    text = figures.table(bench.results, exe.stat().st_size, dlls, bench.rounds, args.seconds, table_notes)
    (out / ("bench-smoke.md" if args.smoke else "bench.md")).write_text(text)
    print("\n" + text)
    if args.smoke:
        gaps = figures.missing(bench.results) + trace_gaps(starts, ticks)
        if gaps:
            sys.exit(f"bench smoke run: no figure for {', '.join(gaps)}")
        print("bench smoke run: every figure produced")


if __name__ == "__main__":
    main()
