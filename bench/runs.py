"""The measured runs: Dimlux and its baselines started, left idle, blanked and restored, alternating in rounds. The
trace runs are the same runs under Wine's relay trace."""
import time

from . import procs
from .programs import BASELINE_BLANK, BASELINE_WINDOW, DIMLUX
from .session import Session
from .traces import display_off_cadence, start_steps, tick_figures

TRACE_DEBUG = "+timestamp,+win"  # each display-off request, timed
RELAY_DEBUG = "+timestamp,+loaddll,+relay"  # the calls of the program's own code, timed
SETTLE_S = 1  # blanked figures are taken from this long after entering the state
ROUNDS_AT_LEAST = 3  # a bootstrap over fewer pairs says nothing


def say(text):
    print(text, flush=True)


class Bench:
    def __init__(self, seconds):
        self.seconds = seconds
        self.results = {}  # {(figure key, "dimlux" or "baseline"): [value of each run]}
        self.modules = {}  # {program: names of the modules it maps}
        self.rounds = 0
        self.logs = 0
        self.session = Session()
        self.rect = self.session.rect
        say(f"stored geometry: outer rectangle {' '.join(self.rect)} (left top width height, pixels)")

    def record(self, program, figures):
        for key, value in figures.items():
            self.results.setdefault((key, program.side), []).append(value)
        say(f"  {program.name:15} " + "  ".join(f"{key} {value:.4g}" for key, value in figures.items()))

    def log_name(self, program, what):
        self.logs += 1
        return f"{self.logs:03}-{program.name}-{what}.log"

    def start(self, program, debug=None, what="start"):
        """Starts the program from the probe and waits for its window at its place; returns the probe's answer and
        the log of Wine's debug output (debug: the program's WINEDEBUG; none by default)."""
        log_name = self.log_name(program, what)
        exe = self.session.win_exe(program)
        args = ("launch", exe, program.window_class, *self.rect, *program.args(self.rect))
        return self.session.probe(*args, child_debug=debug, log_name=log_name), self.session.folder / log_name

    def blank(self, program):
        caption = self.session.probe("click", program.window_class, program.turn_off_id)["caption"]
        if caption != "Turn On":
            raise RuntimeError(f"{program.name} did not blank: caption {caption!r}")

    def restore_ms(self):
        return float(self.session.probe("restore", *self.rect)["ms"])

    # Start-up, idle and blanked

    def startup_run(self, program, debug=None):
        """A start and close; returns the probe's answer and the log of Wine's debug output."""
        answer, log = self.start(program, debug)
        self.session.close(program)
        return answer, log

    def measured_run(self, program, blanked, debug=None):
        """A start of the program, left alone (or blanked) for SETTLE_S and then `seconds` while its CPU is measured;
        returns its figures and the log of Wine's debug output."""
        _, log = self.start(program, debug, "blanked" if blanked else "idle")
        process = self.session.process(program)
        if blanked and program.turn_off_id:
            self.blank(program)
        server = self.session.server()
        time.sleep(SETTLE_S)  # past the first tick of a timer started at load, or the one-off work of blanking
        before = procs.cpu_s(process, server)
        time.sleep(self.seconds)
        alone, server_s = (after - at for after, at in zip(procs.cpu_s(process, server), before))
        both = alone + server_s
        memory = procs.peak_rss_kib(process)
        if blanked:
            figures = {"blanked_cpu_s": both, "peak_rss_blanked_kib": memory}
            if program.turn_off_id:
                figures["restore_ms"] = self.restore_ms()
        else:
            self.modules.setdefault(program, procs.mapped_modules(process))
            figures = {"idle_cpu_s": both, "idle_cpu_alone_s": alone, "peak_rss_kib": memory}
        self.session.close(program)
        return figures, log

    def cadence_run(self, program):
        _, log = self.measured_run(program, True, TRACE_DEBUG)
        rate, gap_ms = display_off_cadence(log, SETTLE_S)
        return {"requests_per_s": rate, "worst_gap_ms": gap_ms}

    # Rounds

    def round(self):
        """One run of every figure, Dimlux and its baseline alternating; who goes first alternates too."""
        self.rounds += 1
        order = (lambda *pairs: pairs) if self.rounds % 2 else (lambda *pairs: pairs[::-1])
        window, blank = (DIMLUX, BASELINE_WINDOW), (DIMLUX, BASELINE_BLANK)
        say(f"round {self.rounds}: start-up three times, {self.seconds:g} s idle, {self.seconds:g} s blanked twice")
        for _ in range(3):  # start-up is cheap and the noisiest figure
            for program in order(*window):
                self.record(program, {"startup_ms": float(self.startup_run(program)[0]["ms"])})
        for program in order(*window):
            self.record(program, self.measured_run(program, False)[0])
        for program in order(*blank):
            self.record(program, self.cadence_run(program))
        for program in order(*blank):
            self.record(program, self.measured_run(program, True)[0])

    def run(self, runs, minutes):
        """Rounds of runs: `runs` of them, or as many as fit in `minutes`."""
        started = time.monotonic()
        self.startup_run(BASELINE_WINDOW)  # warms the baseline up once
        self.round()
        round_s = time.monotonic() - started
        if runs is None:
            runs = max(ROUNDS_AT_LEAST, int(minutes * 60 // round_s))
            say(f"a round took {round_s:.0f} s: {runs} rounds fill about {minutes:g} minutes")
        while self.rounds < runs:
            self.round()

    def trace(self, runs):
        """Relay traces of `runs` starts of Dimlux and of the bare window, and of one blanked run of each program."""
        self.session.enable_relay()
        starts = {DIMLUX: [], BASELINE_WINDOW: []}
        say(f"tracing {runs} start(s) of each")
        for _ in range(runs):
            for program, steps in starts.items():
                self.startup_run(program)  # untraced first: the files are in the cache
                answer, log = self.startup_run(program, RELAY_DEBUG)
                steps.append(start_steps(program, log, answer))
        ticks = {}
        for program in (DIMLUX, BASELINE_BLANK):
            ticks[program] = tick_figures(program, self.measured_run(program, True, RELAY_DEBUG)[1], SETTLE_S)
        return starts, ticks
