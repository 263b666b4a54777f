// dimlux_driver: looks at and pokes Dimlux's windows from inside the same Wine prefix, for the end-to-end
// tests. Results go to a JSON file (first argument), never to stdout.
//
//   dimlux_driver OUT window [WAIT_MS]           all "DimluxMain" windows; waits for a visible one
//   dimlux_driver OUT boxes                      all message boxes
//   dimlux_driver OUT answer TITLE ID [WAIT_MS]  posts BM_CLICK to button ID of the box titled TITLE
//   dimlux_driver OUT regget SUBKEY VALUE        type and raw stored bytes (UTF-16 for text) of an HKCU value
//   dimlux_driver OUT move X Y [W H]             moves (and sizes) the main window, outer rectangle
//   dimlux_driver OUT close                      posts WM_CLOSE to the main window
//   dimlux_driver OUT waitgone [WAIT_MS]         waits until no "DimluxMain" window is left
//   dimlux_driver OUT attrib PATH readonly|normal  sets a file's attributes
#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

namespace {

constexpr wchar_t kMainClass[] = L"DimluxMain";
constexpr wchar_t kBoxClass[] = L"#32770";
constexpr int kBoxTextId = 0xFFFF;
constexpr int kPollMs = 50;

std::string Utf8(const std::wstring& text) {
  if (text.empty()) return {};
  int size = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), (int)text.size(), nullptr, 0, nullptr, nullptr);
  std::string out(size, '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.c_str(), (int)text.size(), out.data(), size, nullptr, nullptr);
  return out;
}

std::string Quote(const std::wstring& text) {
  std::string out = "\"";
  for (unsigned char c : Utf8(text)) {
    if (c == '"' || c == '\\') {
      out += '\\';
      out += (char)c;
    } else if (c < 0x20) {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
      out += escaped;
    } else {
      out += (char)c;
    }
  }
  return out + "\"";
}

std::string Bool(bool value) { return value ? "true" : "false"; }
std::string Num(long long value) { return std::to_string(value); }
std::string Rect(const RECT& r) {
  return "[" + Num(r.left) + "," + Num(r.top) + "," + Num(r.right - r.left) + "," + Num(r.bottom - r.top) + "]";
}

std::wstring WindowText(HWND hwnd) {
  wchar_t buffer[1024] = {};
  GetWindowTextW(hwnd, buffer, 1024);
  return buffer;
}

std::wstring ClassName(HWND hwnd) {
  wchar_t buffer[256] = {};
  GetClassNameW(hwnd, buffer, 256);
  return buffer;
}

DWORD ProcessId(HWND hwnd) {
  DWORD pid = 0;
  GetWindowThreadProcessId(hwnd, &pid);
  return pid;
}

std::vector<HWND> TopLevelWindows(const wchar_t* className) {
  struct Search {
    const wchar_t* className;
    std::vector<HWND> found;
  } search{className, {}};
  EnumWindows(
      [](HWND hwnd, LPARAM lParam) -> BOOL {
        auto* s = reinterpret_cast<Search*>(lParam);
        if (ClassName(hwnd) == s->className) s->found.push_back(hwnd);
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&search));
  return search.found;
}

HWND VisibleMainWindow() {
  for (HWND hwnd : TopLevelWindows(kMainClass))
    if (IsWindowVisible(hwnd)) return hwnd;
  return nullptr;
}

// Polls `found` until it returns true or `waitMs` has passed; returns its last answer.
template <typename Check>
bool WaitFor(int waitMs, Check found) {
  DWORD start = GetTickCount();
  while (!found()) {
    if ((int)(GetTickCount() - start) >= waitMs) return false;
    Sleep(kPollMs);
  }
  return true;
}

std::string ButtonsJson(HWND parent) {
  std::string out = "[";
  for (HWND child = GetWindow(parent, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
    if (ClassName(child) != L"Button") continue;
    RECT r;
    GetWindowRect(child, &r);
    MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&r), 2);
    if (out.size() > 1) out += ",";
    out += "{\"id\":" + Num(GetDlgCtrlID(child)) + ",\"text\":" + Quote(WindowText(child)) +
           ",\"rect\":" + Rect(r) + ",\"visible\":" + Bool(IsWindowVisible(child)) + "}";
  }
  return out + "]";
}

std::string WindowJson(HWND hwnd) {
  RECT outer, client;
  GetWindowRect(hwnd, &outer);
  GetClientRect(hwnd, &client);
  POINT origin = {0, 0};
  ClientToScreen(hwnd, &origin);
  LONG exStyle = GetWindowLongW(hwnd, GWL_EXSTYLE);
  GUITHREADINFO gui = {};
  gui.cbSize = sizeof gui;
  GetGUIThreadInfo(GetWindowThreadProcessId(hwnd, nullptr), &gui);
  int focusId = gui.hwndFocus && GetParent(gui.hwndFocus) == hwnd ? GetDlgCtrlID(gui.hwndFocus) : 0;
  return "{\"hwnd\":" + Num((long long)(INT_PTR)hwnd) + ",\"pid\":" + Num(ProcessId(hwnd)) +
         ",\"title\":" + Quote(WindowText(hwnd)) + ",\"rect\":" + Rect(outer) +
         ",\"client\":[" + Num(origin.x) + "," + Num(origin.y) + "," + Num(client.right) + "," +
         Num(client.bottom) + "],\"visible\":" + Bool(IsWindowVisible(hwnd)) +
         ",\"topmost\":" + Bool(exStyle & WS_EX_TOPMOST) + ",\"toolwindow\":" + Bool(exStyle & WS_EX_TOOLWINDOW) +
         ",\"appwindow\":" + Bool(exStyle & WS_EX_APPWINDOW) + ",\"active\":" + Bool(gui.hwndActive == hwnd) +
         ",\"foreground\":" + Bool(GetForegroundWindow() == hwnd) + ",\"focus\":" + Num(focusId) +
         ",\"buttons\":" + ButtonsJson(hwnd) + "}";
}

std::string BoxJson(HWND box) {
  std::string buttons = "[";
  for (int id : {IDOK, IDCANCEL, IDABORT, IDRETRY, IDIGNORE, IDYES, IDNO}) {
    if (!GetDlgItem(box, id)) continue;
    if (buttons.size() > 1) buttons += ",";
    buttons += Num(id);
  }
  wchar_t text[2048] = {};
  GetDlgItemTextW(box, kBoxTextId, text, 2048);
  HWND owner = GetWindow(box, GW_OWNER);
  return "{\"hwnd\":" + Num((long long)(INT_PTR)box) + ",\"pid\":" + Num(ProcessId(box)) +
         ",\"title\":" + Quote(WindowText(box)) + ",\"text\":" + Quote(text) + ",\"buttons\":" + buttons +
         "],\"visible\":" + Bool(IsWindowVisible(box)) + ",\"owner_class\":" +
         Quote(owner ? ClassName(owner) : L"") + "}";
}

std::string ListJson(const wchar_t* className, std::string (*describe)(HWND)) {
  std::string out = "[";
  for (HWND hwnd : TopLevelWindows(className)) {
    if (out.size() > 1) out += ",";
    out += describe(hwnd);
  }
  return out + "]";
}

int WaitArg(int argc, wchar_t** argv, int index, int fallback) {
  return index < argc ? _wtoi(argv[index]) : fallback;
}

std::string CmdWindow(int argc, wchar_t** argv) {
  bool found = WaitFor(WaitArg(argc, argv, 3, 0), [] { return VisibleMainWindow() != nullptr; });
  return "{\"ok\":" + Bool(found) + ",\"windows\":" + ListJson(kMainClass, WindowJson) + "}";
}

std::string CmdAnswer(int argc, wchar_t** argv) {
  if (argc < 5) return "{\"ok\":false,\"error\":\"usage\"}";
  std::wstring title = argv[3];
  int buttonId = _wtoi(argv[4]);
  HWND box = nullptr;
  WaitFor(WaitArg(argc, argv, 5, 0), [&] {
    for (HWND hwnd : TopLevelWindows(kBoxClass))
      if (IsWindowVisible(hwnd) && WindowText(hwnd) == title && GetDlgItem(hwnd, buttonId)) box = hwnd;
    return box != nullptr;
  });
  if (!box) return "{\"ok\":false,\"boxes\":" + ListJson(kBoxClass, BoxJson) + "}";
  std::string described = BoxJson(box);
  // Posted: a sent BM_CLICK is only acted on after a delay under Wine.
  PostMessageW(GetDlgItem(box, buttonId), BM_CLICK, 0, 0);
  return "{\"ok\":true,\"box\":" + described + "}";
}

std::string Hex(const std::vector<BYTE>& bytes) {
  std::string out;
  char pair[3];
  for (BYTE b : bytes) {
    std::snprintf(pair, sizeof pair, "%02x", b);
    out += pair;
  }
  return out;
}

std::string CmdRegGet(int argc, wchar_t** argv) {
  if (argc < 5) return "{\"ok\":false,\"error\":\"usage\"}";
  HKEY key = nullptr;
  LONG opened = RegOpenKeyExW(HKEY_CURRENT_USER, argv[3], 0, KEY_READ, &key);
  if (opened != ERROR_SUCCESS) return "{\"ok\":false,\"key\":false,\"error\":" + Num(opened) + "}";
  DWORD type = 0, size = 0;
  LONG result = RegQueryValueExW(key, argv[4], nullptr, &type, nullptr, &size);
  std::vector<BYTE> data(size);
  if (result == ERROR_SUCCESS) result = RegQueryValueExW(key, argv[4], nullptr, &type, data.data(), &size);
  RegCloseKey(key);
  if (result != ERROR_SUCCESS) return "{\"ok\":false,\"key\":true,\"error\":" + Num(result) + "}";
  return "{\"ok\":true,\"type\":" + Num(type) + ",\"hex\":\"" + Hex(data) + "\"}";
}

std::string CmdMove(int argc, wchar_t** argv) {
  HWND hwnd = VisibleMainWindow();
  if (!hwnd || argc < 5) return "{\"ok\":false}";
  bool sized = argc >= 7;
  UINT flags = SWP_NOZORDER | SWP_NOACTIVATE | (sized ? 0 : SWP_NOSIZE);
  BOOL moved = SetWindowPos(hwnd, nullptr, _wtoi(argv[3]), _wtoi(argv[4]), sized ? _wtoi(argv[5]) : 0,
                            sized ? _wtoi(argv[6]) : 0, flags);
  return "{\"ok\":" + Bool(moved) + ",\"window\":" + WindowJson(hwnd) + "}";
}

std::string CmdClose() {
  HWND hwnd = VisibleMainWindow();
  return "{\"ok\":" + Bool(hwnd && PostMessageW(hwnd, WM_CLOSE, 0, 0)) + "}";
}

std::string CmdWaitGone(int argc, wchar_t** argv) {
  bool gone = WaitFor(WaitArg(argc, argv, 3, 0), [] { return TopLevelWindows(kMainClass).empty(); });
  return "{\"ok\":" + Bool(gone) + "}";
}

std::string CmdAttrib(int argc, wchar_t** argv) {
  if (argc < 5) return "{\"ok\":false,\"error\":\"usage\"}";
  DWORD attributes = std::wcscmp(argv[4], L"readonly") == 0 ? FILE_ATTRIBUTE_READONLY : FILE_ATTRIBUTE_NORMAL;
  BOOL set = SetFileAttributesW(argv[3], attributes);
  return "{\"ok\":" + Bool(set) + ",\"attributes\":" + Num(GetFileAttributesW(argv[3])) + "}";
}

std::string Run(int argc, wchar_t** argv) {
  std::wstring command = argc > 2 ? argv[2] : L"";
  if (command == L"window") return CmdWindow(argc, argv);
  if (command == L"boxes") return "{\"ok\":true,\"boxes\":" + ListJson(kBoxClass, BoxJson) + "}";
  if (command == L"answer") return CmdAnswer(argc, argv);
  if (command == L"regget") return CmdRegGet(argc, argv);
  if (command == L"move") return CmdMove(argc, argv);
  if (command == L"close") return CmdClose();
  if (command == L"waitgone") return CmdWaitGone(argc, argv);
  if (command == L"attrib") return CmdAttrib(argc, argv);
  return "{\"ok\":false,\"error\":\"unknown command\"}";
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 3) return 2;
  std::string json = Run(argc, argv) + "\n";
  FILE* out = _wfopen(argv[1], L"wb");
  if (!out) return 2;
  std::fwrite(json.data(), 1, json.size(), out);
  std::fclose(out);
  return 0;
}
