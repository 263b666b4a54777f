"""The benchmark's figures: what each one is and its budget, their intervals and verdicts, and the Markdown table."""
import math
import statistics
from dataclasses import dataclass

import numpy
from scipy import stats
from tabulate import tabulate

CONFIDENCE = 0.95
ROUNDS_FOR_INTERVALS = 8  # a bootstrap over fewer pairs understates the spread
BUDGET_EXE_KIB = 40  # the 32-bit exe
PEER_SIZES = "34 KB and 38 KB"  # two well-known peers' executables, as stated by their makers
SYSTEM_DLLS = {"kernel32.dll", "user32.dll", "gdi32.dll", "advapi32.dll", "shell32.dll", "msvcrt.dll"}
BOOTSTRAP = dict(vectorized=True, method="percentile", confidence_level=CONFIDENCE)
HEADERS = ("Figure", "Dimlux: median [min, max]", "Baseline: median [min, max]", "Ratio of medians [95 % interval]")


@dataclass(frozen=True)
class Figure:
    key: str  # of Dimlux's values
    title: str  # {span} stands for the length of an idle or blanked run
    unit: str
    scale: float = 1  # from the value recorded to the unit
    budget: float | None = None  # on the ratio of the medians (on the median for a figure of Dimlux alone)
    better: str = "lower"  # or "higher"
    digits: int = 1
    against: str | None = ""  # the key of the baseline's values: "" the same, None none (Dimlux alone)

    def series(self):
        return [(self.key, "dimlux")] + ([] if self.against is None else [(self.against or self.key, "baseline")])


ALONE_AND_TO_A_COPY = dict(unit="ms", budget=1.25, against="shown_traced_ms")
FIGURES = (
    Figure("startup_ms", "Start-up to shown at its place", "ms", budget=1.10),
    Figure("idle_cpu_s", "Idle CPU over {span} (exe + wineserver)", "ms", 1000, 1.10),
    Figure("idle_cpu_alone_s", "Idle CPU over {span}, exe alone", "ms", 1000),
    Figure("blanked_cpu_s", "Blanked CPU over {span} (exe + wineserver)", "ms", 1000, 1.05, digits=0),
    Figure("requests_per_s", "Blanked: display-off requests per s (+win trace)", "", 1, 0.95, "higher"),
    Figure("worst_gap_ms", "Blanked: worst gap between requests in a run (+win trace)", "ms", budget=1.25, digits=0),
    Figure("peak_rss_kib", "Peak resident memory (VmHWM)", "MiB", 1 / 1024, 1.10, digits=2),
    Figure("peak_rss_blanked_kib", "Peak resident memory after a blanked run", "MiB", 1 / 1024, digits=2),
    Figure("off_fresh_ms", "Dimlux.exe /off, none running: start to display-off request (+win)", **ALONE_AND_TO_A_COPY),
    Figure("off_running_ms", "Dimlux.exe /off to a running copy: start to its request (+win)", **ALONE_AND_TO_A_COPY),
    Figure("restore_ms", 'Restore: Enter to "Turn Off" at its place', "ms", budget=50, against=None),
)


def interval(samples, statistic):
    """The statistic and its percentile bootstrap interval, resampling the runs (the pairs of runs made together)."""
    arrays = tuple(map(numpy.array, samples))
    middle = statistic(*arrays, axis=0)
    if len(samples[0]) < 2 or len(set().union(*samples)) < 2:
        return middle, middle, middle
    rng = numpy.random.default_rng(22)
    ci = stats.bootstrap(arrays, statistic, paired=len(arrays) > 1, random_state=rng, **BOOTSTRAP).confidence_interval
    return middle, ci.low, ci.high


def ratio_of_medians(dimlux, baseline, axis):
    return numpy.median(dimlux, axis=axis) / numpy.median(baseline, axis=axis)


def verdict(low, high, budget, better):
    """met when the whole interval is within the budget, not met when all of it is beyond, else too close."""
    within, beyond = (high <= budget, low > budget) if better == "lower" else (low >= budget, high < budget)
    return "met" if within else "**not met**" if beyond else "too close to call"


def spread(values, digits):
    return f"{statistics.median(values):.{digits}f} [{min(values):.{digits}f}, {max(values):.{digits}f}]"


def row(figure, results, span):
    title = figure.title.format(span=span) + (f", {figure.unit}" if figure.unit else "")
    if any(series not in results for series in figure.series()):
        return title, "-", "-", "-", "-", "not measured"
    dimlux = [value * figure.scale for value in results[figure.key, "dimlux"]]
    if figure.against is None:
        middle, low, high = interval([dimlux], numpy.median)
        compared, baseline = f"median {middle:.1f} [{low:.1f}, {high:.1f}]", "-"
        budget = f"< {figure.budget:g} {figure.unit}"
    else:
        theirs = [value * figure.scale for value in results[figure.series()[1]]]
        middle, low, high = interval([dimlux, theirs], ratio_of_medians)
        compared, baseline = f"{middle:.3f} [{low:.3f}, {high:.3f}]", spread(theirs, figure.digits)
        budget = f"{'<=' if figure.better == 'lower' else '>='} {figure.budget:g}x" if figure.budget else None
    judged = verdict(low, high, figure.budget, figure.better) if figure.budget else "-"
    return title, spread(dimlux, figure.digits), baseline, compared, budget or "(for reference)", judged


def size_row(size, dlls):
    met = size <= BUDGET_EXE_KIB * 1024 and all(dll.lower() in SYSTEM_DLLS for dll in dlls)
    dimlux = f"{size} B ({size / 1024:.1f} KiB); {', '.join(dlls)}"
    peers = f"two well-known peers' executables as stated by their makers: {PEER_SIZES}"
    budget = f"<= {BUDGET_EXE_KIB} KiB, system DLLs only"
    title = "Dimlux.exe (32-bit, the product): size; imports"
    return title, dimlux, peers, "-", budget, "met" if met else "**not met**"


def table(results, size, dlls, runs, seconds, notes):
    span = f"{seconds:g} s"
    rows = [size_row(size, dlls)] + [row(figure, results, span) for figure in FIGURES]
    rough = f" With {runs} runs the intervals are rough: a bootstrap over fewer than about {ROUNDS_FOR_INTERVALS} pairs"
    about = (
        f"{runs} runs of each figure ({3 * runs} of start-up), {span} per idle and blanked run, of the 64-bit build, "
        "Dimlux and its baseline alternating: baseline_window (a topmost tool window with a button, ticking once a "
        "second; for /off its start to shown under the same trace), or baseline_blank (its bare 1 ms blanked tick). "
        "Intervals: percentile bootstrap over the pairs of runs; a verdict is met or not met only when the whole "
        "interval is on one side of the budget."
        + (rough + " understates the spread." if runs < ROUNDS_FOR_INTERVALS else "")
    )
    markdown = tabulate(rows, HEADERS + ("Budget", "Verdict"), tablefmt="github", disable_numparse=True)
    return "\n\n".join([markdown, about, *notes]) + "\n"


def missing(results):
    """The series of values a run should have produced and did not, or not as finite numbers."""
    expected = dict.fromkeys(series for figure in FIGURES for series in figure.series())
    produced = {series: results.get(series) or [math.nan] for series in expected}  # none is not a finite number
    return [f"{key} ({side})" for (key, side), values in produced.items() if not all(map(math.isfinite, values))]
