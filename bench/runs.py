"""The measured runs: Dimlux and its baselines started, left idle, blanked and restored, alternating in rounds. The
trace runs are the same runs under Wine's relay trace."""
import functools
import time

from tests.e2e.harness.wine import poll

from .programs import BASELINE_BLANK, BASELINE_WINDOW, DIMLUX
from .session import Session, cpu_s, mapped_modules, peak_rss_kib
from .traces import display_off_cadence, display_off_times, start_steps, tick_figures

TRACE_DEBUG = "+timestamp,+win"  # each display-off request, timed
RELAY_DEBUG = "+timestamp,+loaddll,+relay"  # the calls of the program's own code, timed
SETTLE_S = 1  # blanked figures are taken from this long after entering the state
ROUNDS_AT_LEAST = 3  # a bootstrap over fewer pairs says nothing
OFF_SWITCH = "/off"
OFF_WAIT_MS = 20000  # for the process that hands /off to the running copy to end
say = functools.partial(print, flush=True)


class Bench:
    def __init__(self, seconds):
        self.seconds = seconds
        self.results = {}  # {(figure key, "dimlux" or "baseline"): [value of each run]}
        self.modules = {}  # {program: names of the modules it maps}
        self.rounds = 0
        self.session = Session()

    def record(self, program, figures):
        for key, value in figures.items():
            self.results.setdefault((key, program.side), []).append(value)
        say(f"  {program.name:15} " + "  ".join(f"{key} {value:.4g}" for key, value in figures.items()))

    def log_name(self, program, what):  # numbered by the probe run that starts the program
        return f"{self.session.probe_runs + 1:03}-{program.name}-{what}.log"

    def start(self, program, debug=None, what="start"):
        """Starts the program from the probe and waits for its window at its place; returns the probe's answer and
        the log of Wine's debug output (debug: the program's WINEDEBUG; none by default)."""
        log_name = self.log_name(program, what)
        rect = self.session.rect
        args = ("launch", program.exe.name, program.window_class, *rect, *(rect if program.takes_rect else ()))
        return self.session.probe(*args, child_debug=debug, log_name=log_name), self.session.folder / log_name

    def toggle(self, caption):
        """Clicks Dimlux's Turn Off, or blanked presses Enter; ms until it reads `caption` (restored: at its place)."""
        answer = self.session.probe("toggle", DIMLUX.window_class, DIMLUX.turn_off_id, *self.session.rect)
        if answer["caption"] != caption:
            raise RuntimeError(f"Dimlux did not turn to {caption!r}: caption {answer['caption']!r}")
        return float(answer["ms"])

    def startup_run(self, program, debug=None):
        answer, log = self.start(program, debug)
        self.session.close(program)
        return answer, log

    def measured_run(self, program, blanked, debug=None):
        """A start of the program, left alone (or blanked) for SETTLE_S and then `seconds` while its CPU is measured;
        returns its figures and the log of Wine's debug output."""
        _, log = self.start(program, debug, "blanked" if blanked else "idle")
        process = self.session.process(program)
        if blanked and program.turn_off_id:
            self.toggle("Turn On")
        server = self.session.server()
        time.sleep(SETTLE_S)  # past the first tick of a timer started at load, or the one-off work of blanking
        before = cpu_s(process, server)
        time.sleep(self.seconds)
        alone, server_s = (after - at for after, at in zip(cpu_s(process, server), before))
        memory = peak_rss_kib(process)
        if blanked:
            figures = {"blanked_cpu_s": alone + server_s, "peak_rss_blanked_kib": memory}
            if program.turn_off_id:
                figures["restore_ms"] = self.toggle("Turn Off")
        else:
            self.modules.setdefault(program, mapped_modules(process))
            figures = {"idle_cpu_s": alone + server_s, "idle_cpu_alone_s": alone, "peak_rss_kib": memory}
        self.session.close(program)
        return figures, log

    def off_run(self, running_copy_log=None):
        """ms from the start of Dimlux.exe /off (alone, or handing it to a copy traced into that log) to the first
        display-off request after it; then restores and closes what blanked."""
        log_name = self.log_name(DIMLUX, "off")
        wait_ms, debug = (OFF_WAIT_MS, None) if running_copy_log else (0, TRACE_DEBUG)
        args = ("start", wait_ms, DIMLUX.exe.name, OFF_SWITCH)
        answer = self.session.probe(*args, child_debug=debug, log_name=log_name)
        if running_copy_log and answer.get("exit_code") != "0":
            raise RuntimeError(f"Dimlux.exe {OFF_SWITCH} beside a running copy: exit code {answer.get('exit_code')}")
        log = running_copy_log or self.session.folder / log_name
        started = int(answer["start_tick"]) / 1000  # GetTickCount, the clock of Wine's +timestamp
        requests = poll(lambda: [stamp for stamp in display_off_times(log) if stamp >= started], 20)
        if not requests:
            raise RuntimeError(f"no display-off request in {log.name}")
        self.toggle("Turn Off")
        self.session.close(DIMLUX)
        return (requests[0] - started) * 1000

    def off_runs(self):
        fresh_ms = self.off_run()
        _, log = self.start(DIMLUX, TRACE_DEBUG, "running")
        return {"off_fresh_ms": fresh_ms, "off_running_ms": self.off_run(log)}

    def traced_start(self):
        return {"shown_traced_ms": float(self.startup_run(BASELINE_WINDOW, TRACE_DEBUG)[0]["ms"])}

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
        for program in order(*blank):  # the display-off requests, under their trace
            self.record(program, display_off_cadence(self.measured_run(program, True, TRACE_DEBUG)[1], SETTLE_S))
        for program in order(*blank):
            self.record(program, self.measured_run(program, True)[0])
        for program, run in order((DIMLUX, self.off_runs), (BASELINE_WINDOW, self.traced_start)):
            self.record(program, run())

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
        blanked = {program: self.measured_run(program, True, RELAY_DEBUG)[1] for program in (DIMLUX, BASELINE_BLANK)}
        return starts, {program: tick_figures(program, log, SETTLE_S) for program, log in blanked.items()}
