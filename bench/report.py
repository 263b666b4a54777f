"""The trace report: where the time goes in a start and in a blanked tick."""
import statistics

from tabulate import tabulate

TICK_ROWS = (  # label, key of tick_figures, form
    ("calls into Windows per tick", "calls_per_tick", "{:.1f}"),
    ("button faces painted per tick (FillRect)", "paints_per_tick", "{:.2f}"),
    ("time in the tick handler, ms: median", "handler_median_ms", "{:.1f}"),
    ("longest message handled in the worst gap between requests", "worst_gap", "{}"),
    ("the same in the first {settle} s of the state, not above", "entering_worst_gap", "{}"),
)


def cell(value, form="{:.1f}"):
    return "-" if value is None else form.format(value)


def markdown(rows, headers):
    return tabulate(rows, headers, tablefmt="github", disable_numparse=True)


def start_table(starts):
    """Median ms of each step of the traced starts, Dimlux's beside the bare window's."""
    labels = {}  # in Dimlux's order, and its words where both have a step
    for steps in (steps for runs in starts.values() for steps in runs):
        for key, (label, _) in steps.items():
            labels.setdefault(key, label)

    def median_ms(runs, key):
        values = [steps[key][1] for steps in runs if key in steps]
        return cell(statistics.median(values) if values else None)

    rows = [(label, *(median_ms(runs, key) for runs in starts.values())) for key, label in labels.items()]
    return markdown(rows, ("Step", *(f"{program.name}, ms" for program in starts)))


def trace_report(starts, ticks, runs, seconds, settle_s):
    rows = [
        (label.format(settle=settle_s), *(cell(figures.get(key), form) for figures in ticks.values()))
        for label, key, form in TICK_ROWS
    ]
    start_note = (
        f"Start-up, traced ({runs} start(s) each; medians, in ms, of each step from the probe's CreateProcess to the"
        " window seen at its place; Wine's timestamps have 1 ms resolution, and the trace of Dimlux's ten times more"
        " calls slows it a little more than the baseline):"
    )
    tick_note = (
        f"Blanked, traced for {settle_s + seconds:g} s each; figures from {settle_s} s after the first request, but"
        " for the last row (the relay trace slows every call a little in both programs):"
    )
    tick_table = markdown(rows, ("Per tick", *(program.name for program in ticks)))
    return "\n\n".join([start_note, start_table(starts), tick_note, tick_table])
