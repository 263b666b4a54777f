// Registry, message boxes, shell, files, display, instance and process: thin wrappers over Win32.
#include "platform/win32/win32_platform.h"

#include "platform/win32/backend.h"
#include "platform/win32/main_window.h"

namespace dimlux::win32 {

static_assert(kKeyAllAccess == KEY_ALL_ACCESS && kRegSz == REG_SZ && kErrorMoreData == ERROR_MORE_DATA);
static_assert(kWmSysCommand == WM_SYSCOMMAND && kScMonitorPower == SC_MONITORPOWER && kIdYes == IDYES);
static_assert(kSwpShowWindow == SWP_SHOWWINDOW && kSwpNoSize == SWP_NOSIZE && kSwpNoMove == SWP_NOMOVE);
static_assert(kMonitorDefaultToNull == MONITOR_DEFAULTTONULL && kMonitorDefaultToNearest == MONITOR_DEFAULTTONEAREST);

namespace {

HKEY ToHkey(HKey hKey) { return reinterpret_cast<HKEY>(hKey); }
HWND ToHwnd(Hwnd hWnd) { return reinterpret_cast<HWND>(hWnd); }

float TwipsPerPixel(int axis) {
  HDC screen = GetDC(nullptr);
  const int dpi = GetDeviceCaps(screen, axis);
  ReleaseDC(nullptr, screen);
  return 1440.0f / static_cast<float>(dpi > 0 ? dpi : 96);
}

// Named in the session's namespace: one copy per user session, wherever each copy is kept.
constexpr char kGuardName[] = "Local\\Dimlux";
// Set on the window of the copy that holds the guard, where a later copy finds it.
constexpr char kRunningCopyProp[] = "Dimlux.RunningCopy";

// Room for any MAX_PATH path in UTF-8, the manifest's code page for the ANSI calls, and still for a file name
// appended to its folder.
constexpr DWORD kExePathBytes = 3 * MAX_PATH;
static_assert(kExePathBytes + 32 < Text::kCapacity);

// Empty rather than wrong: when the path did not fit, or when it does not lead back to the file, as where
// Windows before 1903 ignores the manifest's UTF-8 and puts "?" or look-alikes for letters the code page lacks.
Text WholePath(const char* path, DWORD length) {
  if (length == 0 || length >= kExePathBytes || GetFileAttributesA(path) == INVALID_FILE_ATTRIBUTES) return {};
  return Text(std::string_view(path, length));
}

Text ReadExePath() {
  char path[kExePathBytes] = {};
  return WholePath(path, GetModuleFileNameA(nullptr, path, kExePathBytes));
}

// No trailing backslash, except at a drive's root.
Text FolderOf(const Text& path) {
  const std::size_t slash = path.view().rfind('\\');
  Text folder(std::string_view(path.c_str(), slash == std::string_view::npos ? 0 : slash));
  if (folder.size() == 2 && folder.view()[1] == ':') folder += '\\';
  return folder;
}

Text ImagePath(DWORD processId) {
  HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, processId);
  if (process == nullptr) return {};
  char path[kExePathBytes] = {};
  DWORD length = kExePathBytes;
  if (!QueryFullProcessImageNameA(process, 0, path, &length)) length = 0;
  CloseHandle(process);
  return WholePath(path, length);
}

BOOL CALLBACK FindRunningCopy(HWND hwnd, LPARAM found) {
  if (GetPropA(hwnd, kRunningCopyProp) == nullptr) return TRUE;
  *reinterpret_cast<HWND*>(found) = hwnd;
  return FALSE;
}

HWND RunningCopyWindow() {
  HWND found = nullptr;
  EnumWindows(FindRunningCopy, reinterpret_cast<LPARAM>(&found));
  return found;
}

}  // namespace

Platform& ThePlatform() {
  static Win32Platform platform;
  return platform;
}

Long Win32Platform::RegOpenKeyExA(HKey hKey, const char* lpSubKey, Dword ulOptions, Dword samDesired, HKey* phkResult) {
  HKEY result = nullptr;
  const Long status = ::RegOpenKeyExA(ToHkey(hKey), lpSubKey, ulOptions, samDesired, &result);
  *phkResult = reinterpret_cast<HKey>(result);
  return status;
}

Long Win32Platform::RegCreateKeyExA(HKey hKey, const char* lpSubKey, Dword Reserved, const char* lpClass,
                                    Dword dwOptions, Dword samDesired, const void* lpSecurityAttributes,
                                    HKey* phkResult, Dword* lpdwDisposition) {
  HKEY result = nullptr;
  DWORD disposition = 0;
  const Long status = ::RegCreateKeyExA(
      ToHkey(hKey), lpSubKey, Reserved, const_cast<char*>(lpClass), dwOptions, samDesired,
      static_cast<SECURITY_ATTRIBUTES*>(const_cast<void*>(lpSecurityAttributes)), &result, &disposition);
  *phkResult = reinterpret_cast<HKey>(result);
  if (lpdwDisposition != nullptr) *lpdwDisposition = disposition;
  return status;
}

Long Win32Platform::RegQueryValueExA(HKey hKey, const char* lpValueName, Dword* lpReserved, Dword* lpType,
                                     unsigned char* lpData, Dword* lpcbData) {
  DWORD type = lpType != nullptr ? *lpType : 0;
  DWORD size = lpcbData != nullptr ? *lpcbData : 0;
  const Long status = ::RegQueryValueExA(ToHkey(hKey), lpValueName, reinterpret_cast<DWORD*>(lpReserved), &type, lpData,
                                         lpcbData != nullptr ? &size : nullptr);
  if (lpType != nullptr) *lpType = type;
  if (lpcbData != nullptr) *lpcbData = size;
  return status;
}

Long Win32Platform::RegSetValueExA(HKey hKey, const char* lpValueName, Dword Reserved, Dword dwType,
                                   const unsigned char* lpData, Dword cbData) {
  return ::RegSetValueExA(ToHkey(hKey), lpValueName, Reserved, dwType, lpData, cbData);
}

Long Win32Platform::RegDeleteValueA(HKey hKey, const char* lpValueName) {
  return ::RegDeleteValueA(ToHkey(hKey), lpValueName);
}

Long Win32Platform::RegCloseKey(HKey hKey) { return ::RegCloseKey(ToHkey(hKey)); }

Long Win32Platform::SetWindowPos(Hwnd hWnd, Hwnd hWndInsertAfter, int X, int Y, int cx, int cy, Dword uFlags) {
  return ::SetWindowPos(ToHwnd(hWnd), ToHwnd(hWndInsertAfter), X, Y, cx, cy, uFlags);
}

std::intptr_t Win32Platform::SendMessageA(Hwnd hWnd, Dword Msg, std::uintptr_t wParam, std::intptr_t lParam) {
  return ::SendMessageA(ToHwnd(hWnd), Msg, wParam, lParam);
}

int Win32Platform::MsgBox(std::string_view text, std::string_view title, Dword style) {
  const Text textZ(text);
  const Text titleZ(title);
  return MessageBoxA(MainWindow(), textZ.c_str(), titleZ.c_str(), style);
}

// shell32 is loaded only when the readme is opened: linking it would load it, and the half dozen
// libraries it pulls in, at every start.
std::intptr_t Win32Platform::ShellExecuteA(Hwnd hwnd, const char* lpOperation, const char* lpFile,
                                           const char* lpParameters, const char* lpDirectory, int nShowCmd) {
  using ShellExecuteProc = HINSTANCE(WINAPI*)(HWND, LPCSTR, LPCSTR, LPCSTR, LPCSTR, INT);
  HMODULE shell = LoadLibraryA("shell32.dll");
  if (shell == nullptr) return 0;
  const auto shellExecute = reinterpret_cast<ShellExecuteProc>(
      reinterpret_cast<void*>(GetProcAddress(shell, "ShellExecuteA")));
  if (shellExecute == nullptr) return 0;
  return reinterpret_cast<std::intptr_t>(
      shellExecute(ToHwnd(hwnd), lpOperation, lpFile, lpParameters, lpDirectory, nShowCmd));
}

FileWrite Win32Platform::WriteNewFile(std::string_view path, std::string_view bytes) {
  const Text pathZ(path);
  // Windows refuses to overwrite these; asked first so that it holds for an administrator under Wine too.
  const DWORD existing = GetFileAttributesA(pathZ.c_str());
  constexpr DWORD kProtected = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
  if (existing != INVALID_FILE_ATTRIBUTES && (existing & kProtected) != 0) return FileWrite::kRefused;
  HANDLE file = CreateFileA(pathZ.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    const DWORD error = GetLastError();
    return error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION ? FileWrite::kHeld : FileWrite::kRefused;
  }
  DWORD written = 0;
  const bool wrote = WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
                     written == bytes.size();
  return CloseHandle(file) && wrote ? FileWrite::kWritten : FileWrite::kRefused;
}

// What a directory lookup with the normal-files filter finds: files that are neither hidden, system
// nor folders. Asking for the attributes is the cheap way, and this runs every second.
bool Win32Platform::NormalFileExists(std::string_view path) {
  const Text pathZ(path);
  const DWORD attributes = GetFileAttributesA(pathZ.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return false;
  constexpr DWORD kNotNormal = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_DIRECTORY;
  return (attributes & kNotNormal) == 0;
}

bool Win32Platform::DeleteFileA(std::string_view path) {
  const Text pathZ(path);
  return ::DeleteFileA(pathZ.c_str()) != 0;
}

HMonitor Win32Platform::MonitorFromRect(const Rect& rect, Dword dwFlags) {
  const RECT pixels = {rect.left, rect.top, rect.right, rect.bottom};
  return reinterpret_cast<HMonitor>(::MonitorFromRect(&pixels, dwFlags));
}

bool Win32Platform::GetMonitorWorkArea(HMonitor hMonitor, Rect* work) {
  MONITORINFO info = {};
  info.cbSize = sizeof info;
  if (hMonitor == 0 || !GetMonitorInfoA(reinterpret_cast<HMONITOR>(hMonitor), &info)) return false;
  *work = {info.rcWork.left, info.rcWork.top, info.rcWork.right, info.rcWork.bottom};
  return true;
}

int Win32Platform::ScreenPixelsX() { return GetSystemMetrics(SM_CXSCREEN); }
int Win32Platform::ScreenPixelsY() { return GetSystemMetrics(SM_CYSCREEN); }
float Win32Platform::TwipsPerPixelX() { return TwipsPerPixel(LOGPIXELSX); }
float Win32Platform::TwipsPerPixelY() { return TwipsPerPixel(LOGPIXELSY); }

// The mutex lives as long as this process.
bool Win32Platform::PrevInstance() {
  CreateMutexA(nullptr, FALSE, kGuardName);
  if (GetLastError() == ERROR_ALREADY_EXISTS) return true;
  SetPropA(MainWindow(), kRunningCopyProp, MainWindow());
  return false;
}

Text Win32Platform::RunningCopyFolder() {
  DWORD processId = 0;
  GetWindowThreadProcessId(RunningCopyWindow(), &processId);
  return processId == 0 ? Text() : FolderOf(ImagePath(processId));
}

bool Win32Platform::PostWish(Wish wish) {
  HWND window = RunningCopyWindow();
  return window != nullptr && PostMessageA(window, WishMessage(), static_cast<WPARAM>(wish), 0);
}

// Asked every second for the wake-up file; read once, as it cannot change while the program runs.
Text Win32Platform::ExePath() {
  static bool read = false;
  static Text path;
  if (!read) path = ReadExePath();
  read = true;
  return path;
}

Text Win32Platform::ProgramFolder() { return FolderOf(ExePath()); }

Text Win32Platform::DecimalSeparator() {
  char separator[16] = {};  // up to three letters, each up to four bytes in UTF-8
  // In the code page of the other ANSI calls (UTF-8 by the manifest), not in the locale's own, which would
  // turn a separator such as the Arabic one into "?" on its way to the registry.
  const LCTYPE what = LOCALE_SDECIMAL | LOCALE_USE_CP_ACP;
  if (GetLocaleInfoA(LOCALE_USER_DEFAULT, what, separator, sizeof separator) == 0) return Text(".");
  return Text(separator);
}

void Win32Platform::Sleep(Dword dwMilliseconds) { ::Sleep(dwMilliseconds); }

void Win32Platform::EndProcess(int exitCode) { ExitProcess(static_cast<UINT>(exitCode)); }

}  // namespace dimlux::win32
