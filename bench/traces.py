"""Reading Wine's traces: the display-off requests of a +win trace, and the calls of the program's own code in a
relay trace, step by step for a start and tick by tick for the blanked state."""
import math
import re
import statistics
from pathlib import Path

import pefile

DISPLAY_OFF = re.compile(r"^(\d+\.\d+):.*handle_sys_command hwnd \S+ WM_SYSCOMMAND f170 2\b")
RELAY_CALL = re.compile(r"^(\d+\.\d+):\w+:Call +\w+\.(\w+)\((.*?)\).* ret=([0-9a-f]+)$")
WINDOW_PROC_LINE = re.compile(r"^(\d+\.\d+):\w+:(Call|Ret) +window proc \w+ \(hwnd=\w+,msg=(\w+),")
EXE_LOADED = re.compile(r'^(\d+\.\d+):.*Loaded L".*\\(\w+)\.exe" at ([0-9A-Fa-f]+)')
DISPLAY_OFF_CALL = "00000112,0000f170,00000002"  # SendMessageA's WM_SYSCOMMAND, SC_MONITORPOWER, off


def display_off_times(log_path):
    """The times (s, on the clock of GetTickCount) of the display-off requests in a +timestamp,+win trace."""
    with open(log_path, errors="replace") as log:
        return [float(match[1]) for line in log if (match := DISPLAY_OFF.match(line))]


def display_off_cadence(log_path, settle_s):
    """The display-off requests per second and their worst gap in ms, from settle_s after the first, as
    the CPU is measured: entering the state does one-off work (Wine loads the pointer's shape when the full-screen
    window first gets it), which the trace mode shows."""
    times = display_off_times(log_path)
    times = [stamp for stamp in times if stamp >= times[0] + settle_s] if times else times
    if len(times) < 2:
        return {"requests_per_s": 0.0, "worst_gap_ms": math.inf}
    rate = (len(times) - 1) / (times[-1] - times[0])
    return {"requests_per_s": rate, "worst_gap_ms": max(b - a for a, b in zip(times, times[1:])) * 1000}


def own_calls(program, log_path):
    """The relay trace's calls made by the program's own code, as (time, function, arguments), its window
    procedure's messages as [call time, return time, message], and the time the exe was loaded."""
    size = pefile.PE(program.exe, fast_load=True).OPTIONAL_HEADER.SizeOfImage
    base, loaded = None, None
    calls, messages, open_messages = [], [], []
    for line in Path(log_path).read_text(errors="replace").splitlines():
        if base is None:
            if (match := EXE_LOADED.match(line)) and match[2].lower() == program.name.lower():
                loaded, base = float(match[1]), int(match[3], 16)
            continue
        if match := RELAY_CALL.match(line):
            stamp, function, args, caller = match.groups()
            if base <= int(caller, 16) < base + size:
                calls.append((float(stamp), function, args))
        elif match := WINDOW_PROC_LINE.match(line):
            stamp, kind, message = match.groups()
            if kind == "Call":
                messages.append([float(stamp), None, message])
                open_messages.append(messages[-1])
            elif open_messages:
                open_messages.pop()[1] = float(stamp)
    return calls, messages, loaded


def start_steps(program, log_path, answer):
    """{step key: (label, ms)} of one traced start, from the probe's CreateProcess to the window seen at its place."""
    calls, _, loaded = own_calls(program, log_path)
    marks = [
        ("process", "Wine creates the process and maps the exe", int(answer["start_tick"]) / 1000),
        ("dlls", "system DLLs loaded and initialised, C runtime start", loaded),
    ]
    for key, label, function, text in program.steps:
        seen = [call[0] for call in calls if call[1] == function and text in call[2]]
        if seen:
            marks.append((key, label, seen[0]))
    marks.sort(key=lambda mark: mark[2])
    marks.append(("end", "", int(answer["shown_tick"]) / 1000))
    return {key: (label, (after - at) * 1000) for (key, label, at), (_, _, after) in zip(marks, marks[1:])}


def tick_figures(program, log_path, settle_s):
    """What a blanked tick does, from a relay trace: its calls, repaints and time in the tick handler, and the
    longest message in the worst gap between requests, in the first settle_s of the state and after it."""
    calls, messages, _ = own_calls(program, log_path)
    requests = [call[0] for call in calls if call[1] == "SendMessageA" and DISPLAY_OFF_CALL in call[2]]
    settled = [stamp for stamp in requests if stamp >= requests[0] + settle_s] if requests else []
    if len(settled) < 3:
        return {}
    ticks = [m for m in messages if m[2] == "WM_TIMER" and m[1] and any(m[0] <= r <= m[1] for r in settled)]
    handler_ms = [(end - start) * 1000 for start, end, _ in ticks]
    blanked = [call for call in calls if settled[0] <= call[0] <= settled[-1]]
    return {
        "calls_per_tick": len(blanked) / (len(settled) - 1),
        "paints_per_tick": sum(call[1] == "FillRect" for call in blanked) / (len(settled) - 1),
        "handler_median_ms": statistics.median(handler_ms) if handler_ms else None,
        "worst_gap": worst_gap(settled, messages),
        "entering_worst_gap": worst_gap([stamp for stamp in requests if stamp <= settled[0]], messages),
    }


def worst_gap(requests, messages):
    """The longest message handled in the worst gap between requests, and that gap."""
    if len(requests) < 2:
        return None
    start, end = max(zip(requests, requests[1:]), key=lambda gap: gap[1] - gap[0])
    longest = max((m for m in messages if m[1] and start <= m[0] < end), key=lambda m: m[1] - m[0], default=None)
    handled = f"{longest[2]}, {(longest[1] - longest[0]) * 1000:.0f} ms" if longest else "none"
    return f"{handled}, of a {(end - start) * 1000:.0f} ms gap"
