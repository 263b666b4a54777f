// bench_probe OUT COMMAND [ARG...]: times Dimlux and the baselines from inside the same Wine prefix with the
// performance counter; answers go to the file OUT as "key=value" lines, never to stdout. The commands:
//   launch EXE CLASS L T W H [ARG...]  starts EXE; ms until its CLASS window is visible at the outer rectangle
//                                      L T W H (pixels), and the tick counts (Wine's +timestamp clock) at both ends
//   start WAIT_MS EXE [ARG...]         starts EXE; the tick count then, and its exit code if it ends within WAIT_MS
//   toggle CLASS ID L T W H            BM_CLICK to button ID if it reads "Turn Off", else Enter on the focused
//                                      button; ms until its caption changes (and, restoring, the window is at L T W H)
//   close CLASS                        posts WM_CLOSE to every CLASS window (the caller waits for the end)
// EXE names a file in the probe's current folder, the programs' own; WINEDEBUG=$BENCH_CHILD_WINEDEBUG if that is set.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

constexpr char kNormalCaption[] = "Turn Off";
constexpr DWORD kTimeoutMs = 20000;

using Answer = std::string;

Answer Line(const char* key, const std::string& value) { return std::string(key) + "=" + value + "\n"; }
Answer Line(const char* key, long long value) { return Line(key, std::to_string(value)); }
Answer Failure(const std::string& why) { return Line("ok", 0) + Line("error", why); }
Answer StartFailure() { return Failure("CreateProcess: error " + std::to_string(GetLastError())); }

LONGLONG Counter() {
  LARGE_INTEGER now;
  QueryPerformanceCounter(&now);
  return now.QuadPart;
}

// The milliseconds since the counter read start (its frequency read after the counter, outside the time).
double MsSince(LONGLONG start) {
  const LONGLONG now = Counter();
  LARGE_INTEGER frequency;
  QueryPerformanceFrequency(&frequency);
  return 1000.0 * static_cast<double>(now - start) / static_cast<double>(frequency.QuadPart);
}

std::string WindowText(HWND hwnd) {
  char text[256] = {};
  GetWindowTextA(hwnd, text, sizeof text);
  return text;
}

bool HasRect(HWND hwnd, const RECT& expected) {
  RECT rect;
  return GetWindowRect(hwnd, &rect) && EqualRect(&rect, &expected);
}

// The visible top-level window of the class (and process, unless 0) at the rectangle (unless null), or null.
HWND VisibleAt(const char* className, DWORD processId = 0, const RECT* rect = nullptr) {
  for (HWND hwnd = FindWindowExA(nullptr, nullptr, className, nullptr); hwnd;
       hwnd = FindWindowExA(nullptr, hwnd, className, nullptr)) {
    DWORD owner = 0;
    GetWindowThreadProcessId(hwnd, &owner);
    if ((processId == 0 || owner == processId) && IsWindowVisible(hwnd) && (!rect || HasRect(hwnd, *rect))) return hwnd;
  }
  return nullptr;
}

RECT RectArg(char** argv) {
  const int left = std::atoi(argv[0]), top = std::atoi(argv[1]);
  return RECT{left, top, left + std::atoi(argv[2]), top + std::atoi(argv[3])};
}

// Starts EXE with the arguments from args to end.
bool Start(const std::string& exe, char** args, char** end, PROCESS_INFORMATION& process) {
  if (const char* debug = std::getenv("BENCH_CHILD_WINEDEBUG")) SetEnvironmentVariableA("WINEDEBUG", debug);
  std::string commandLine = "\"" + exe + "\"";
  for (char** arg = args; arg < end; ++arg) commandLine += std::string(" ") + *arg;
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  return CreateProcessA(exe.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &process);
}

Answer CmdClose(const char* className) {
  for (HWND hwnd = FindWindowExA(nullptr, nullptr, className, nullptr); hwnd;
       hwnd = FindWindowExA(nullptr, hwnd, className, nullptr))
    PostMessageA(hwnd, WM_CLOSE, 0, 0);
  return Line("ok", 1);
}

Answer CmdLaunch(int argc, char** argv) {
  if (argc < 9) return Failure("usage");
  const RECT rect = RectArg(argv + 5);
  PROCESS_INFORMATION process = {};
  const DWORD startTick = GetTickCount();
  const LONGLONG start = Counter();
  if (!Start(argv[3], argv + 9, argv + argc, process)) return StartFailure();
  while (!VisibleAt(argv[4], process.dwProcessId, &rect)) {
    if (MsSince(start) >= kTimeoutMs || WaitForSingleObject(process.hProcess, 0) == WAIT_OBJECT_0)
      return Failure("not shown");
    Sleep(1);
  }
  const double ms = MsSince(start);
  const DWORD shownTick = GetTickCount();
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return Line("ok", 1) + Line("ms", std::to_string(ms)) + Line("start_tick", startTick) + Line("shown_tick", shownTick);
}

Answer CmdStart(int argc, char** argv) {
  if (argc < 5) return Failure("usage");
  PROCESS_INFORMATION process = {};
  const DWORD startTick = GetTickCount();
  if (!Start(argv[4], argv + 5, argv + argc, process)) return StartFailure();
  Answer answer = Line("ok", 1) + Line("start_tick", startTick);
  DWORD exitCode = 0;
  if (WaitForSingleObject(process.hProcess, std::atoi(argv[3])) == WAIT_OBJECT_0 &&
      GetExitCodeProcess(process.hProcess, &exitCode))
    answer += Line("exit_code", exitCode);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return answer;
}

// The focused button of the window's thread, or the fallback if that thread has no focus right now.
HWND FocusedButton(HWND hwnd, HWND fallback) {
  GUITHREADINFO gui = {};
  gui.cbSize = sizeof gui;
  GetGUIThreadInfo(GetWindowThreadProcessId(hwnd, nullptr), &gui);
  return gui.hwndFocus && GetParent(gui.hwndFocus) == hwnd ? gui.hwndFocus : fallback;
}

Answer CmdToggle(int argc, char** argv) {
  if (argc < 9) return Failure("usage");
  const RECT rect = RectArg(argv + 5);
  HWND hwnd = VisibleAt(argv[3]);
  HWND turnOff = hwnd ? GetDlgItem(hwnd, std::atoi(argv[4])) : nullptr;
  if (!turnOff) return Failure("no window");
  const std::string before = WindowText(turnOff);
  const bool restoring = before != kNormalCaption;
  HWND focus = FocusedButton(hwnd, turnOff);
  const LONGLONG start = Counter();
  if (restoring) {
    PostMessageA(focus, WM_KEYDOWN, VK_RETURN, 0x001C0001);
    PostMessageA(focus, WM_KEYUP, VK_RETURN, 0xC01C0001);
  } else {
    PostMessageA(turnOff, BM_CLICK, 0, 0);
  }
  while (WindowText(turnOff) == before || (restoring && !HasRect(hwnd, rect))) {
    if (MsSince(start) >= kTimeoutMs) return Failure(restoring ? "not restored" : "caption did not change");
    Sleep(1);
  }
  return Line("ok", 1) + Line("ms", std::to_string(MsSince(start))) + Line("caption", WindowText(turnOff));
}

Answer Run(int argc, char** argv) {
  const std::string command = argc > 2 ? argv[2] : "";
  if (command == "launch") return CmdLaunch(argc, argv);
  if (command == "start") return CmdStart(argc, argv);
  if (command == "toggle") return CmdToggle(argc, argv);
  if (command == "close" && argc > 3) return CmdClose(argv[3]);
  return Failure("unknown command");
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) return 2;
  const Answer answer = Run(argc, argv);
  FILE* out = std::fopen(argv[1], "wb");
  if (!out) return 2;
  std::fwrite(answer.data(), 1, answer.size(), out);
  std::fclose(out);
  return 0;
}
