// dimlux_driver OUT COMMAND [ARGS]: looks at and pokes Dimlux's windows from inside its Wine prefix, for the e2e
// tests. It answers in the JSON file OUT, not on stdout (commands: Run); a run does one and ends, closing its handles.
// dimlux_driver serve: the same for each line "OUT<tab>COMMAND<tab>ARGS..." on its input, until the input ends.
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

constexpr int kBoxTextId = 0xFFFF;

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

std::string Joined(const std::vector<std::string>& items, const char* brackets = "[]") {
  std::string text(1, brackets[0]);
  for (const std::string& item : items) text += (text.size() > 1 ? "," : "") + item;
  return text + brackets[1];
}

std::string Member(std::wstring_view key, const std::string& json) { return Quote(key) + ":" + json; }
std::string Object(const std::vector<std::string>& members) { return Joined(members, "{}"); }

std::string Num(long long value) { return std::to_string(value); }
std::string Bool(bool value) { return value ? "true" : "false"; }
std::string Ok(bool ok) { return Object({Member(L"ok", Bool(ok))}); }

std::string Xywh(const RECT& r) {
  return Joined({Num(r.left), Num(r.top), Num(r.right - r.left), Num(r.bottom - r.top)});
}

// Whole or not at all: the answer is written beside OUT and renamed, so that a reader never sees half of it.
bool WriteOut(const wchar_t* path, const std::string& json) {
  const std::wstring part = std::wstring(path) + L".part";
  FILE* out = _wfopen(part.c_str(), L"wb");
  const bool written = out && std::fwrite(json.data(), 1, json.size(), out) == json.size();
  return out && std::fclose(out) == 0 && written && MoveFileExW(part.c_str(), path, MOVEFILE_REPLACE_EXISTING);
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
    if (IsWindowVisible(hwnd) && TextOf(hwnd, GetClassNameW) == L"DimluxMain") return hwnd;
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
    buttons.push_back(Object(
        {Member(L"id", Num(GetDlgCtrlID(child))), Member(L"text", Quote(TextOf(child))), Member(L"rect", Xywh(r))}));
  }
  return Joined(buttons);
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
  return Object({Member(L"hwnd", Num(reinterpret_cast<INT_PTR>(hwnd))), Member(L"pid", Num(ProcessId(hwnd))),
                 Member(L"class", Quote(TextOf(hwnd, GetClassNameW))), Member(L"title", Quote(TextOf(hwnd))),
                 Member(L"visible", Bool(IsWindowVisible(hwnd))), Member(L"rect", Xywh(outer)),
                 Member(L"client", Xywh(client)), Member(L"topmost", Bool(exStyle & WS_EX_TOPMOST)),
                 Member(L"toolwindow", Bool(exStyle & WS_EX_TOOLWINDOW)),
                 Member(L"appwindow", Bool(exStyle & WS_EX_APPWINDOW)), Member(L"focus", Num(focusId)),
                 Member(L"text", Quote(TextOf(GetDlgItem(hwnd, kBoxTextId)))), Member(L"buttons", ButtonsJson(hwnd))});
}

// Lets each Dimlux window's thread take a message: whatever handler it was running when asked has ended.
void WaitForDimluxHandlers() {
  for (HWND hwnd : TopLevelWindows())
    if (TextOf(hwnd, GetClassNameW) == L"DimluxMain")
      SendMessageTimeoutW(hwnd, WM_NULL, 0, 0, SMTO_NORMAL, 5000, nullptr);
}

std::string WindowsJson() {
  std::vector<std::string> windows;
  for (HWND hwnd : TopLevelWindows()) windows.push_back(WindowJson(hwnd));
  return Object({Member(L"ok", Bool(true)), Member(L"windows", Joined(windows))});
}

// Dimlux changes a window in several steps (caption, place, button sizes); a description read while it
// is between two steps would mix the states before and after. Two reads in a row that agree are settled.
std::string SettledWindowsJson() {
  WaitForDimluxHandlers();
  std::string last, next = WindowsJson();
  for (int read = 0; read < 50 && next != last; ++read) {
    last = next;
    Sleep(10);
    next = WindowsJson();
  }
  return next;
}

std::string Run(std::wstring_view command, wchar_t** args);

// Another command after it runs at once, as a person could not be faster.
std::string CmdMove(wchar_t** args) {
  HWND hwnd = VisibleMainWindow();
  const UINT flags = SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOSIZE;
  const bool moved = hwnd && SetWindowPos(hwnd, nullptr, _wtoi(args[0]), _wtoi(args[1]), 0, 0, flags);
  return moved && *args[2] ? Run(args[2], args + 3) : Ok(moved);
}

std::string CmdClose() {
  HWND hwnd = VisibleMainWindow();
  return Ok(hwnd && PostMessageW(hwnd, WM_CLOSE, 0, 0));
}

// As Windows ends a session: it asks, passes the answer on, and ends a process that agreed.
std::string CmdEndSession(wchar_t** args) {
  HWND hwnd = VisibleMainWindow();
  const LPARAM reason = std::wcscmp(args[0], L"logoff") == 0 ? ENDSESSION_LOGOFF : 0;
  DWORD_PTR agreed = FALSE;
  if (hwnd) SendMessageTimeoutW(hwnd, WM_QUERYENDSESSION, 0, reason, SMTO_NORMAL, 10000, &agreed);
  if (hwnd) SendMessageTimeoutW(hwnd, WM_ENDSESSION, agreed != FALSE, reason, SMTO_NORMAL, 10000, nullptr);
  HANDLE process = agreed ? OpenProcess(PROCESS_TERMINATE, FALSE, ProcessId(hwnd)) : nullptr;
  return Ok(process && TerminateProcess(process, 0));  // it agreed and was ended
}

// The height in pixels from the highest to the lowest ink of TEXT in the font FACE at character height PX,
// from the glyphs' outlines: what the font mapper gives this prefix for that face.
std::string CmdInkHeight(wchar_t** args) {
  HDC dc = CreateCompatibleDC(nullptr);
  HFONT font = CreateFontW(-_wtoi(args[1]), 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, ANSI_CHARSET, OUT_DEFAULT_PRECIS,
                           CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE, args[0]);
  SelectObject(dc, font);
  const MAT2 identity = {{0, 1}, {0, 0}, {0, 0}, {0, 1}};
  LONG top = LONG_MIN, bottom = LONG_MAX;
  for (const wchar_t* c = args[2]; *c; ++c) {
    GLYPHMETRICS glyph = {};
    if (*c == L' ' || GetGlyphOutlineW(dc, *c, GGO_METRICS, &glyph, 0, nullptr, &identity) == GDI_ERROR) continue;
    top = std::max(top, glyph.gmptGlyphOrigin.y);
    bottom = std::min(bottom, glyph.gmptGlyphOrigin.y - static_cast<LONG>(glyph.gmBlackBoxY));
  }
  return Object({Member(L"ok", Bool(top > bottom)), Member(L"height", Num(top - bottom))});
}

// The bytes that HEX spells. Windows adds a NUL to text data that lacks one when the byte after it is NUL; guard
// bytes after the data keep exactly the bytes asked for.
LONG SetRawValue(HKEY key, const wchar_t* name, DWORD type, std::wstring_view hex) {
  const DWORD size = static_cast<DWORD>(hex.size() / 2);
  std::vector<BYTE> data(size + 4, 0xFF);
  for (DWORD i = 0; i < size; ++i)
    data[i] = static_cast<BYTE>(std::stoul(std::wstring(hex.substr(2 * i, 2)), nullptr, 16));
  return RegSetValueExW(key, name, 0, type, data.data(), size);
}

std::string CmdRegSet(wchar_t** args) {
  HKEY key = nullptr;
  LONG result = RegCreateKeyExW(HKEY_CURRENT_USER, args[0], 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr);
  for (int i = 1; result == ERROR_SUCCESS && *args[i]; i += 3)
    result = SetRawValue(key, args[i], static_cast<DWORD>(_wtoi(args[i + 1])), args[i + 2]);
  return Object({Member(L"ok", Bool(result == ERROR_SUCCESS)), Member(L"error", Num(result))});
}

// Each value's text, without a NUL stored after it; null for one not REG_SZ.
std::string CmdRegDump(wchar_t** args) {
  HKEY key = nullptr;
  LONG result = RegOpenKeyExW(HKEY_CURRENT_USER, args[0], 0, KEY_READ, &key);
  std::vector<std::string> values;
  for (DWORD index = 0; result == ERROR_SUCCESS; ++index) {
    wchar_t name[256];
    std::wstring data(1 << 15, L'\0');
    DWORD nameLength = 256, type = 0, size = static_cast<DWORD>(data.size() * sizeof(wchar_t));
    result = RegEnumValueW(key, index, name, &nameLength, nullptr, &type, reinterpret_cast<BYTE*>(data.data()), &size);
    data.resize(size / sizeof(wchar_t));
    if (!data.empty() && data.back() == L'\0') data.pop_back();
    if (result == ERROR_SUCCESS) values.push_back(Member(name, type == REG_SZ ? Quote(data) : "null"));
  }
  return Object({Member(L"ok", Bool(result == ERROR_NO_MORE_ITEMS)), Member(L"values", Object(values))});
}

// Wine reports no GUI resource counts (GetGuiResources gives 0), but keeps each process's GDI objects in a
// table that the PEB points to (GdiSharedHandleTable): an entry whose type byte is set is in use.
long long GdiObjectCount(HANDLE process) {
  constexpr SIZE_T kPebGdiTableOffset = 0xF8, kEntrySize = 24, kTypeOffset = 14, kEntries = 0x10000;
  PROCESS_BASIC_INFORMATION basic = {};
  if (NtQueryInformationProcess(process, ProcessBasicInformation, &basic, sizeof basic, nullptr) != 0) return -1;
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

std::string CmdCounts(wchar_t** args) {
  const DWORD pid = static_cast<DWORD>(_wtoi(args[0]));
  HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, pid);
  if (!process) return Ok(false);
  PROCESS_MEMORY_COUNTERS memory = {};
  K32GetProcessMemoryInfo(process, &memory, sizeof memory);
  return Object({Member(L"ok", Bool(true)), Member(L"gdi", Num(GdiObjectCount(process))),
                 Member(L"windows", Num(WindowCount(pid))), Member(L"resident_kb", Num(memory.WorkingSetSize / 1024))});
}

// A key held down, as Windows repeats it: PRESSES presses of virtual key VK without a release between, then the
// release, all as input to the window in front (X gives no auto-repeat for synthetic keys).
std::string CmdHold(wchar_t** args) {
  std::vector<INPUT> keys(_wtoi(args[1]) + 1, INPUT{INPUT_KEYBOARD, {}});
  for (INPUT& key : keys) key.ki.wVk = static_cast<WORD>(_wtoi(args[0]));
  keys.back().ki.dwFlags = KEYEVENTF_KEYUP;
  const UINT count = static_cast<UINT>(keys.size());
  return Ok(SendInput(count, keys.data(), sizeof(INPUT)) == count);
}

// Posted: a sent BM_CLICK is only acted on after a delay under Wine.
std::string CmdClick(wchar_t** args) {
  HWND window = reinterpret_cast<HWND>(static_cast<INT_PTR>(_wtoi64(args[0])));
  HWND control = IsWindow(window) ? GetDlgItem(window, _wtoi(args[1])) : nullptr;
  return Ok(control && PostMessageW(control, BM_CLICK, 0, 0));
}

std::string CmdShortPath(wchar_t** args) {
  wchar_t path[MAX_PATH] = {};
  const DWORD length = GetShortPathNameW(args[0], path, MAX_PATH);
  return Object({Member(L"ok", Bool(length > 0 && length < MAX_PATH)), Member(L"path", Quote(path))});
}

// The commands and their arguments (and lock, below). Each answers with a JSON object; "ok" says it did its work.
std::string Run(std::wstring_view command, wchar_t** args) {
  if (command == L"windows") return SettledWindowsJson();    // every top-level window, Dimlux's in full
  if (command == L"move") return CmdMove(args);              // X Y [COMMAND ARGS]: the main window moved, then COMMAND
  if (command == L"close") return CmdClose();                // WM_CLOSE to the main window
  if (command == L"endsession") return CmdEndSession(args);  // logoff|shutdown: the session's end messages, the end
  if (command == L"regset") return CmdRegSet(args);          // SUBKEY [NAME TYPE HEX]...: values of exact bytes
  if (command == L"regdump") return CmdRegDump(args);        // SUBKEY: the texts of an HKCU key's values
  if (command == L"counts") return CmdCounts(args);          // PID: its GDI objects, windows and working set
  if (command == L"click") return CmdClick(args);            // HWND ID: BM_CLICK to a control of that window
  if (command == L"hold") return CmdHold(args);              // VK PRESSES: a key held down, then let go
  if (command == L"inkheight") return CmdInkHeight(args);    // FACE PX TEXT: the height of TEXT's ink in that font
  if (command == L"shortpath") return CmdShortPath(args);    // PATH: its 8.3 form
  return Object({Member(L"ok", Bool(false)), Member(L"error", Quote(L"unknown command"))});
}

// lock PATH SECONDS: holds the file unshared that long, as a sync client or a scanner does; answers once it holds it.
int Lock(const wchar_t* out, wchar_t** args) {
  HANDLE file = CreateFileW(args[0], GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE || !WriteOut(out, Ok(true) + "\n")) return 2;
  Sleep(static_cast<DWORD>(_wtoi(args[1])) * 1000);
  return 0;
}

// OUT COMMAND ARGS...: missing arguments read as empty.
int RunInto(std::vector<wchar_t*> words) {
  if (words.size() < 2) return 2;
  std::vector<wchar_t*> args(words.begin() + 2, words.end());
  args.resize(args.size() + 8, const_cast<wchar_t*>(L""));
  if (std::wcscmp(words[1], L"lock") == 0) return Lock(words[0], args.data());
  return WriteOut(words[0], Run(words[1], args.data()) + "\n") ? 0 : 2;
}

// Each line of the input, UTF-8, its words split at tabs; starting a Wine program for each command costs more than
// most commands take.
int Serve() {
  std::string line;
  for (int c = std::getchar(); c != EOF; c = std::getchar()) {
    if (c != '\n') {
      line += static_cast<char>(c);
      continue;
    }
    std::wstring text(line.size() + 1, L'\t');
    text.resize(MultiByteToWideChar(CP_UTF8, 0, line.data(), static_cast<int>(line.size()), text.data(),
                                    static_cast<int>(text.size())));
    text += L'\t';
    std::vector<wchar_t*> words;
    for (size_t start = 0, tab; (tab = text.find(L'\t', start)) != std::wstring::npos; start = tab + 1) {
      text[tab] = L'\0';
      words.push_back(text.data() + start);
    }
    RunInto(words);
    line.clear();
  }
  return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc == 2 && std::wcscmp(argv[1], L"serve") == 0) return Serve();
  return RunInto(std::vector<wchar_t*>(argv + 1, argv + argc));
}
