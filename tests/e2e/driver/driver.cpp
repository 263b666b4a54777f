// dimlux_driver OUT COMMAND [ARGS]: looks at and pokes Dimlux's windows from inside the same Wine prefix, for
// the end-to-end tests. The answer goes to the JSON file OUT, never to stdout; the commands are under Run.
#include <windows.h>
#include <psapi.h>
#include <winternl.h>

#include <algorithm>
#include <cstdio>
#include <cwchar>
#include <string>
#include <string_view>
#include <vector>

namespace {

constexpr wchar_t kMainClass[] = L"DimluxMain";
constexpr int kBoxTextId = 0xFFFF;
constexpr int kSettleMs = 10;
constexpr int kSettleReads = 50;

// JSON text: anything outside printable ASCII, and quotes and backslashes, as \u escapes.
std::string Quote(std::wstring_view text) {
  std::string out = "\"";
  for (wchar_t c : text) {
    char escaped[8];
    std::snprintf(escaped, sizeof escaped, "\\u%04x", static_cast<unsigned>(c));
    out += c >= 0x20 && c < 0x7F && c != '"' && c != '\\' ? std::string(1, static_cast<char>(c)) : escaped;
  }
  return out + "\"";
}

// A JSON object under construction; End() gives its text.
class Json {
 public:
  Json& Put(std::wstring_view key, const std::string& json) {
    text_ += (text_.size() > 1 ? "," : "") + Quote(key) + ":" + json;
    return *this;
  }
  Json& Num(std::wstring_view key, long long value) { return Put(key, std::to_string(value)); }
  Json& Bool(std::wstring_view key, bool value) { return Put(key, value ? "true" : "false"); }
  Json& Text(std::wstring_view key, std::wstring_view value) { return Put(key, Quote(value)); }
  // [x, y, width, height]
  Json& Rect(std::wstring_view key, const RECT& r) {
    std::vector<std::string> xywh;
    for (LONG value : {r.left, r.top, r.right - r.left, r.bottom - r.top}) xywh.push_back(std::to_string(value));
    return Put(key, List(xywh));
  }
  std::string End() const { return text_ + "}"; }

  static std::string List(const std::vector<std::string>& items) {
    std::string text;
    for (const std::string& item : items) text += (text.empty() ? "" : ",") + item;
    return "[" + text + "]";
  }

 private:
  std::string text_ = "{";
};

std::string Ok(bool ok) { return Json().Bool(L"ok", ok).End(); }

bool WriteOut(const wchar_t* path, const std::string& json) {
  FILE* out = _wfopen(path, L"wb");
  return out && std::fwrite(json.data(), 1, json.size(), out) == json.size() && std::fclose(out) == 0;
}

// A window's text or class name, by the call given.
std::wstring TextOf(HWND hwnd, int(WINAPI* get)(HWND, LPWSTR, int) = GetWindowTextW) {
  wchar_t buffer[1024] = {};
  get(hwnd, buffer, 1024);
  return buffer;
}

DWORD ProcessId(HWND hwnd) {
  DWORD pid = 0;
  GetWindowThreadProcessId(hwnd, &pid);
  return pid;
}

BOOL CALLBACK CollectWindow(HWND hwnd, LPARAM found) {
  reinterpret_cast<std::vector<HWND>*>(found)->push_back(hwnd);
  return TRUE;
}

// Every top-level window, topmost first.
std::vector<HWND> TopLevelWindows() {
  std::vector<HWND> found;
  EnumWindows(CollectWindow, reinterpret_cast<LPARAM>(&found));
  return found;
}

HWND VisibleMainWindow() {
  for (HWND hwnd : TopLevelWindows())
    if (IsWindowVisible(hwnd) && TextOf(hwnd, GetClassNameW) == kMainClass) return hwnd;
  return nullptr;
}

// Its visible buttons (until Wine has set a box up it holds every button, hidden): id, text, place in the client.
std::string ButtonsJson(HWND parent) {
  std::vector<std::string> buttons;
  for (HWND child = GetWindow(parent, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
    if (TextOf(child, GetClassNameW) != L"Button" || !IsWindowVisible(child)) continue;
    RECT r;
    GetWindowRect(child, &r);
    MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&r), 2);
    buttons.push_back(Json().Num(L"id", GetDlgCtrlID(child)).Text(L"text", TextOf(child)).Rect(L"rect", r).End());
  }
  return Json::List(buttons);
}

// Any top-level window: the widget, a box (its text as Windows keeps it: asking the box with WM_GETTEXT would
// wait for as long as its thread does not answer), a tip, another program's.
std::string WindowJson(HWND hwnd) {
  RECT outer, client;
  GetWindowRect(hwnd, &outer);
  GetClientRect(hwnd, &client);
  MapWindowPoints(hwnd, nullptr, reinterpret_cast<POINT*>(&client), 2);  // on the screen
  const LONG exStyle = GetWindowLongW(hwnd, GWL_EXSTYLE);
  GUITHREADINFO gui = {};
  gui.cbSize = sizeof gui;
  GetGUIThreadInfo(GetWindowThreadProcessId(hwnd, nullptr), &gui);
  const int focusId = gui.hwndFocus && GetParent(gui.hwndFocus) == hwnd ? GetDlgCtrlID(gui.hwndFocus) : 0;
  Json window;
  window.Num(L"hwnd", reinterpret_cast<INT_PTR>(hwnd)).Num(L"pid", ProcessId(hwnd));
  window.Text(L"class", TextOf(hwnd, GetClassNameW)).Text(L"title", TextOf(hwnd));
  window.Bool(L"visible", IsWindowVisible(hwnd)).Rect(L"rect", outer).Rect(L"client", client);
  window.Bool(L"topmost", exStyle & WS_EX_TOPMOST).Bool(L"toolwindow", exStyle & WS_EX_TOOLWINDOW);
  window.Bool(L"appwindow", exStyle & WS_EX_APPWINDOW).Num(L"focus", focusId);
  window.Text(L"text", TextOf(GetDlgItem(hwnd, kBoxTextId)));
  return window.Put(L"buttons", ButtonsJson(hwnd)).End();
}

std::string WindowsJson() {
  std::vector<std::string> windows;
  for (HWND hwnd : TopLevelWindows()) windows.push_back(WindowJson(hwnd));
  return Json().Bool(L"ok", true).Put(L"windows", Json::List(windows)).End();
}

// Dimlux changes a window in several steps (caption, place, button sizes); a description read while it
// is between two steps would mix the states before and after. Two reads in a row that agree are settled.
std::string SettledWindowsJson() {
  std::string last, next = WindowsJson();
  for (int read = 0; read < kSettleReads && next != last; ++read) {
    last = next;
    Sleep(kSettleMs);
    next = WindowsJson();
  }
  return next;
}

std::string Run(wchar_t** argv);

// Another command after it runs at once, as a person could not be faster.
std::string CmdMove(wchar_t** argv) {
  HWND hwnd = VisibleMainWindow();
  const UINT flags = SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOSIZE;
  const bool moved = hwnd && SetWindowPos(hwnd, nullptr, _wtoi(argv[3]), _wtoi(argv[4]), 0, 0, flags);
  return moved && *argv[5] ? Run(argv + 3) : Ok(moved);
}

std::string CmdClose() {
  HWND hwnd = VisibleMainWindow();
  return Ok(hwnd && PostMessageW(hwnd, WM_CLOSE, 0, 0));
}

// As Windows ends a session: it asks, passes the answer on, and ends a process that agreed.
std::string CmdEndSession(wchar_t** argv) {
  HWND hwnd = VisibleMainWindow();
  const LPARAM reason = std::wcscmp(argv[3], L"logoff") == 0 ? ENDSESSION_LOGOFF : 0;
  DWORD_PTR agreed = FALSE;
  if (hwnd) SendMessageTimeoutW(hwnd, WM_QUERYENDSESSION, 0, reason, SMTO_NORMAL, 10000, &agreed);
  if (hwnd) SendMessageTimeoutW(hwnd, WM_ENDSESSION, agreed != FALSE, reason, SMTO_NORMAL, 10000, nullptr);
  HANDLE process = agreed ? OpenProcess(PROCESS_TERMINATE, FALSE, ProcessId(hwnd)) : nullptr;
  const bool ended = process && TerminateProcess(process, 0);
  if (process) CloseHandle(process);
  return Ok(ended);  // it agreed and was ended
}

// The height in pixels from the highest to the lowest ink of TEXT in the font FACE at character height PX,
// from the glyphs' outlines: what the font mapper gives this prefix for that face.
std::string CmdInkHeight(wchar_t** argv) {
  HDC dc = CreateCompatibleDC(nullptr);
  HFONT font = CreateFontW(-_wtoi(argv[4]), 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, ANSI_CHARSET, OUT_DEFAULT_PRECIS,
                           CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE, argv[3]);
  HGDIOBJ oldFont = SelectObject(dc, font);
  const MAT2 identity = {{0, 1}, {0, 0}, {0, 0}, {0, 1}};
  LONG top = LONG_MIN, bottom = LONG_MAX;
  for (const wchar_t* c = argv[5]; *c; ++c) {
    GLYPHMETRICS glyph = {};
    if (*c == L' ' || GetGlyphOutlineW(dc, *c, GGO_METRICS, &glyph, 0, nullptr, &identity) == GDI_ERROR) continue;
    top = std::max(top, glyph.gmptGlyphOrigin.y);
    bottom = std::min(bottom, glyph.gmptGlyphOrigin.y - static_cast<LONG>(glyph.gmBlackBoxY));
  }
  DeleteObject(SelectObject(dc, oldFont));
  DeleteDC(dc);
  return Json().Bool(L"ok", top > bottom).Num(L"height", top - bottom).End();
}

// The bytes that HEX spells. Windows adds a NUL to text data that lacks one when the byte after it is NUL; a guard
// byte after the data keeps exactly the bytes asked for.
LONG SetRawValue(HKEY key, const wchar_t* name, DWORD type, std::wstring_view hex) {
  std::vector<BYTE> data;
  for (std::size_t at = 0; at + 1 < hex.size(); at += 2)
    data.push_back(static_cast<BYTE>(std::stoul(std::wstring(hex.substr(at, 2)), nullptr, 16)));
  const DWORD size = static_cast<DWORD>(data.size());
  data.insert(data.end(), 4, 0xFF);
  return RegSetValueExW(key, name, 0, type, data.data(), size);
}

std::string CmdRegSet(wchar_t** argv) {
  HKEY key = nullptr;
  LONG result = RegCreateKeyExW(HKEY_CURRENT_USER, argv[3], 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr);
  for (int i = 4; result == ERROR_SUCCESS && *argv[i]; i += 3) {
    const bool remove = std::wcscmp(argv[i + 1], L"-") == 0;
    const DWORD type = static_cast<DWORD>(_wtoi(argv[i + 1]));
    result = remove ? RegDeleteValueW(key, argv[i]) : SetRawValue(key, argv[i], type, argv[i + 2]);
    if (remove && result == ERROR_FILE_NOT_FOUND) result = ERROR_SUCCESS;
  }
  if (key) RegCloseKey(key);
  return Json().Bool(L"ok", result == ERROR_SUCCESS).Num(L"error", result).End();
}

// Each value's text, without a NUL stored after it; null for one not REG_SZ.
std::string CmdRegDump(wchar_t** argv) {
  HKEY key = nullptr;
  LONG result = RegOpenKeyExW(HKEY_CURRENT_USER, argv[3], 0, KEY_READ, &key);
  Json values;
  for (DWORD index = 0; result == ERROR_SUCCESS; ++index) {
    wchar_t name[256];
    std::wstring data(1 << 15, L'\0');
    DWORD nameLength = 256, type = 0, size = static_cast<DWORD>(data.size() * sizeof(wchar_t));
    result = RegEnumValueW(key, index, name, &nameLength, nullptr, &type, reinterpret_cast<BYTE*>(data.data()), &size);
    data.resize(size / sizeof(wchar_t));
    if (!data.empty() && data.back() == L'\0') data.pop_back();
    if (result == ERROR_SUCCESS) values.Put(name, type == REG_SZ ? Quote(data) : "null");
  }
  if (key) RegCloseKey(key);
  return Json().Bool(L"ok", result == ERROR_NO_MORE_ITEMS).Put(L"values", values.End()).End();
}

// Wine reports no GUI resource counts (GetGuiResources gives 0), but keeps each process's GDI objects in a
// table that the PEB points to (GdiSharedHandleTable): an entry whose type byte is set is in use.
long long GdiObjectCount(HANDLE process) {
  constexpr SIZE_T kPebGdiTableOffset = 0xF8;
  constexpr SIZE_T kEntrySize = 24, kTypeOffset = 14, kEntries = 0x10000;
  using NtQueryInformationProcessFn = LONG(WINAPI*)(HANDLE, PROCESSINFOCLASS, void*, ULONG, ULONG*);
  const FARPROC found = GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "NtQueryInformationProcess");
  auto query = reinterpret_cast<NtQueryInformationProcessFn>(reinterpret_cast<void*>(found));
  PROCESS_BASIC_INFORMATION basic = {};
  if (query(process, ProcessBasicInformation, &basic, sizeof basic, nullptr) != 0) return -1;
  BYTE* table = nullptr;
  BYTE* const gdiTableField = reinterpret_cast<BYTE*>(basic.PebBaseAddress) + kPebGdiTableOffset;
  if (!ReadProcessMemory(process, gdiTableField, &table, sizeof table, nullptr) || !table) return -1;
  std::vector<BYTE> entries(kEntrySize * kEntries);
  if (!ReadProcessMemory(process, table, entries.data(), entries.size(), nullptr)) return -1;
  long long used = 0;
  for (SIZE_T i = 0; i < kEntries; ++i) used += entries[i * kEntrySize + kTypeOffset] != 0;
  return used;
}

// The process's top-level windows and all their children: the USER objects that can be seen from outside.
long long WindowCount(DWORD pid) {
  std::vector<HWND> windows = TopLevelWindows();
  std::erase_if(windows, [&](HWND hwnd) { return ProcessId(hwnd) != pid; });
  for (HWND hwnd : std::vector<HWND>(windows))
    EnumChildWindows(hwnd, CollectWindow, reinterpret_cast<LPARAM>(&windows));
  return static_cast<long long>(windows.size());
}

std::string CmdCounts(wchar_t** argv) {
  const DWORD pid = static_cast<DWORD>(_wtoi(argv[3]));
  HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, pid);
  if (!process) return Ok(false);
  PROCESS_MEMORY_COUNTERS memory = {};
  K32GetProcessMemoryInfo(process, &memory, sizeof memory);
  Json counts;
  counts.Bool(L"ok", true).Num(L"gdi", GdiObjectCount(process)).Num(L"windows", WindowCount(pid));
  counts.Num(L"resident_kb", memory.WorkingSetSize / 1024);
  CloseHandle(process);
  return counts.End();
}

// A key held down, as Windows repeats it: PRESSES presses of virtual key VK without a release between, then the
// release, all as input to the window in front (X gives no auto-repeat for synthetic keys).
std::string CmdHold(wchar_t** argv) {
  std::vector<INPUT> keys(_wtoi(argv[4]) + 1, INPUT{INPUT_KEYBOARD, {}});
  for (INPUT& key : keys) key.ki.wVk = static_cast<WORD>(_wtoi(argv[3]));
  keys.back().ki.dwFlags = KEYEVENTF_KEYUP;
  const UINT count = static_cast<UINT>(keys.size());
  return Ok(SendInput(count, keys.data(), sizeof(INPUT)) == count);
}

// Posted: a sent BM_CLICK is only acted on after a delay under Wine.
std::string CmdClick(wchar_t** argv) {
  HWND window = reinterpret_cast<HWND>(static_cast<INT_PTR>(_wtoi64(argv[3])));
  HWND control = IsWindow(window) ? GetDlgItem(window, _wtoi(argv[4])) : nullptr;
  return Ok(control && PostMessageW(control, BM_CLICK, 0, 0));
}

std::string CmdShortPath(wchar_t** argv) {
  wchar_t path[MAX_PATH] = {};
  const DWORD length = GetShortPathNameW(argv[3], path, MAX_PATH);
  return Json().Bool(L"ok", length > 0 && length < MAX_PATH).Text(L"path", path).End();
}

// The commands and their arguments (and lock, below). Each answers with a JSON object; "ok" says it did its work.
std::string Run(wchar_t** argv) {
  const std::wstring command = argv[2];
  if (command == L"windows") return SettledWindowsJson();    // every top-level window, Dimlux's in full
  if (command == L"move") return CmdMove(argv);              // X Y [COMMAND ARGS]: the main window moved, then COMMAND
  if (command == L"close") return CmdClose();                // WM_CLOSE to the main window
  if (command == L"endsession") return CmdEndSession(argv);  // logoff|shutdown: the session's end messages, the end
  if (command == L"regset") return CmdRegSet(argv);          // SUBKEY [NAME TYPE HEX]...: exact bytes; TYPE - deletes
  if (command == L"regdump") return CmdRegDump(argv);        // SUBKEY: the texts of an HKCU key's values
  if (command == L"counts") return CmdCounts(argv);          // PID: its GDI objects, windows and working set
  if (command == L"click") return CmdClick(argv);            // HWND ID: BM_CLICK to a control of that window
  if (command == L"hold") return CmdHold(argv);              // VK PRESSES: a key held down, then let go
  if (command == L"inkheight") return CmdInkHeight(argv);    // FACE PX TEXT: the height of TEXT's ink in that font
  if (command == L"shortpath") return CmdShortPath(argv);    // PATH: its 8.3 form
  return Json().Bool(L"ok", false).Text(L"error", L"unknown command").End();
}

// lock PATH SECONDS: holds the file open without sharing, as a sync client or a scanner does for a moment;
// answers as soon as it holds it, and lets go after SECONDS.
int Lock(wchar_t** argv) {
  HANDLE file = CreateFileW(argv[3], GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  const bool held = file != INVALID_HANDLE_VALUE;
  if (!WriteOut(argv[1], Ok(held) + "\n") || !held) return 2;
  Sleep(static_cast<DWORD>(_wtoi(argv[4])) * 1000);
  CloseHandle(file);
  return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 3) return 2;
  // Missing arguments read as empty.
  std::vector<wchar_t*> args(argv, argv + argc);
  args.resize(argc + 8, const_cast<wchar_t*>(L""));
  if (std::wcscmp(args[2], L"lock") == 0) return Lock(args.data());
  return WriteOut(argv[1], Run(args.data()) + "\n") ? 0 : 2;
}
