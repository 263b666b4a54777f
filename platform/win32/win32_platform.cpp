// Registry, message boxes, shell, files, instance and process: thin wrappers over Win32.
#include "platform/win32/win32_platform.h"

#include "platform/win32/backend.h"
#include "platform/win32/main_window.h"

namespace dimlux::win32 {

namespace {

constexpr char kSettingsSubKey[] = "Software\\Dimlux";
constexpr char kRunSubKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
// The class string the settings key has always been created with.
constexpr char kSettingsKeyClass[] = "REG_DWORD";
// A value is read into this many bytes: one that holds more reads as empty, and a text that fills them needs no
// NUL. Texts are stored without their NUL.
constexpr DWORD kReadBytes = 255;

// The wake-up file that a later copy leaves in the running copy's folder, and what it holds.
constexpr std::string_view kWakeUpFileName = "getup.txt";
constexpr std::string_view kWakeUpContent = "Get up :)\r\n";

// Named in the session's namespace: one copy per user session, wherever each copy is kept.
constexpr char kGuardName[] = "Local\\Dimlux";
// Set on the window of the copy that holds the guard, where a later copy finds it.
constexpr char kRunningCopyProp[] = "Dimlux.RunningCopy";

// Room for any MAX_PATH path in UTF-8, the manifest's code page for the ANSI calls, and still for a file name
// appended to its folder.
constexpr DWORD kExePathBytes = 3 * MAX_PATH;
static_assert(kExePathBytes + 32 < Text::kCapacity);

const char* SubKey(Key key) { return key == Key::kSettings ? kSettingsSubKey : kRunSubKey; }

// A key opened for reading and writing, and closed again when it goes; null when it cannot be opened.
class OpenedKey {
 public:
  explicit OpenedKey(Key key) {
    if (RegOpenKeyExA(HKEY_CURRENT_USER, SubKey(key), 0, KEY_ALL_ACCESS, &hKey_) != ERROR_SUCCESS) hKey_ = nullptr;
  }
  ~OpenedKey() {
    if (hKey_ != nullptr) RegCloseKey(hKey_);
  }
  OpenedKey(const OpenedKey&) = delete;
  OpenedKey& operator=(const OpenedKey&) = delete;
  HKEY get() const { return hKey_; }

 private:
  HKEY hKey_ = nullptr;
};

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

// A file in a folder; empty when the folder is not known: never a file in some other folder.
Text FileIn(Text folder, std::string_view name) {
  if (folder.empty()) return {};
  if (!folder.view().ends_with('\\')) folder += '\\';
  return folder + name;
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

// The running copy's program folder, from its window and process image; empty when it cannot be found.
Text RunningCopyFolder() {
  DWORD processId = 0;
  GetWindowThreadProcessId(RunningCopyWindow(), &processId);
  return processId == 0 ? Text() : FolderOf(ImagePath(processId));
}

// Creates or truncates the file.
FileWrite WriteNewFile(const Text& path, std::string_view bytes) {
  // Windows refuses to overwrite these; asked first so that it holds for an administrator under Wine too.
  const DWORD existing = GetFileAttributesA(path.c_str());
  constexpr DWORD kProtected = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
  if (existing != INVALID_FILE_ATTRIBUTES && (existing & kProtected) != 0) return FileWrite::kRefused;
  HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
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
bool NormalFileExists(const Text& path) {
  const DWORD attributes = GetFileAttributesA(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return false;
  constexpr DWORD kNotNormal = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_DIRECTORY;
  return (attributes & kNotNormal) == 0;
}

int Box(std::string_view text, std::string_view title, UINT style) {
  const Text textZ(text);
  const Text titleZ(title);
  return MessageBoxA(MainWindow(), textZ.c_str(), titleZ.c_str(), style);
}

}  // namespace

Platform& ThePlatform() {
  static Win32Platform platform;
  return platform;
}

bool Win32Platform::KeyOpens(Key key) { return OpenedKey(key).get() != nullptr; }

bool Win32Platform::CreateKey(Key key) {
  HKEY hKey = nullptr;
  RegCreateKeyExA(HKEY_CURRENT_USER, SubKey(key), 0, const_cast<char*>(kSettingsKeyClass), 0, KEY_ALL_ACCESS, nullptr,
                  &hKey, nullptr);
  if (hKey == nullptr) return false;
  RegCloseKey(hKey);
  return true;
}

Text Win32Platform::ReadText(Key key, const char* name) {
  const OpenedKey opened(key);
  unsigned char buffer[kReadBytes] = {};
  DWORD size = kReadBytes;
  DWORD type = REG_SZ;
  if (RegQueryValueExA(opened.get(), name, nullptr, &type, buffer, &size) != ERROR_SUCCESS) return {};
  // Text of exactly 255 characters fills the buffer and leaves no NUL: it is returned whole.
  std::size_t length = 0;
  while (length < kReadBytes && buffer[length] != 0) ++length;
  return Text(std::string_view(reinterpret_cast<const char*>(buffer), length));
}

bool Win32Platform::WriteText(Key key, const char* name, std::string_view text) {
  const OpenedKey opened(key);
  return RegSetValueExA(opened.get(), name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.data()),
                        static_cast<DWORD>(text.size())) == ERROR_SUCCESS;
}

void Win32Platform::DeleteValue(Key key, const char* name) { RegDeleteValueA(OpenedKey(key).get(), name); }

bool Win32Platform::Ask(std::string_view question, std::string_view title) {
  return Box(question, title, MB_YESNO | MB_ICONINFORMATION) == IDYES;
}

void Win32Platform::Tell(std::string_view text, std::string_view title, Alert alert) {
  Box(text, title, MB_OK | (alert == Alert::kError ? MB_ICONSTOP : MB_ICONEXCLAMATION));
}

// shell32 is loaded only when the readme is opened: linking it would load it, and the half dozen
// libraries it pulls in, at every start.
void Win32Platform::Open(std::string_view fileOrPage) {
  using ShellExecuteProc = HINSTANCE(WINAPI*)(HWND, LPCSTR, LPCSTR, LPCSTR, LPCSTR, INT);
  HMODULE shell = LoadLibraryA("shell32.dll");
  if (shell == nullptr) return;
  const auto shellExecute = reinterpret_cast<ShellExecuteProc>(
      reinterpret_cast<void*>(GetProcAddress(shell, "ShellExecuteA")));
  const Text fileZ(fileOrPage);
  if (shellExecute != nullptr) shellExecute(MainWindow(), nullptr, fileZ.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

// The mutex lives as long as this process.
bool Win32Platform::RunningCopyFound() {
  CreateMutexA(nullptr, FALSE, kGuardName);
  return GetLastError() == ERROR_ALREADY_EXISTS;
}

void Win32Platform::MarkThisCopy() { SetPropA(MainWindow(), kRunningCopyProp, MainWindow()); }

FileWrite Win32Platform::LeaveWakeUpFile(Text* path) {
  *path = FileIn(RunningCopyFolder(), kWakeUpFileName);
  return path->empty() ? FileWrite::kRefused : WriteNewFile(*path, kWakeUpContent);
}

WakeUpFile Win32Platform::TakeWakeUpFile(Text* path) {
  *path = FileIn(FolderOf(ExePath()), kWakeUpFileName);
  if (path->empty() || !NormalFileExists(*path)) return WakeUpFile::kAbsent;
  return DeleteFileA(path->c_str()) ? WakeUpFile::kTaken : WakeUpFile::kHeld;
}

bool Win32Platform::PostWish(Wish wish) {
  HWND window = RunningCopyWindow();
  return window != nullptr && PostMessageA(window, WishMessage(), static_cast<WPARAM>(wish), 0);
}

Text Win32Platform::FileBesideExe(std::string_view name) {
  const Text path = FileIn(FolderOf(ExePath()), name);
  return !path.empty() && NormalFileExists(path) ? path : Text();
}

// Asked every second for the wake-up file; read once, as it cannot change while the program runs.
Text Win32Platform::ExePath() {
  static bool read = false;
  static Text path;
  if (!read) path = ReadExePath();
  read = true;
  return path;
}

Text Win32Platform::DecimalSeparator() {
  char separator[16] = {};  // up to three letters, each up to four bytes in UTF-8
  // In the code page of the other ANSI calls (UTF-8 by the manifest), not in the locale's own, which would
  // turn a separator such as the Arabic one into "?" on its way to the registry.
  const LCTYPE what = LOCALE_SDECIMAL | LOCALE_USE_CP_ACP;
  if (GetLocaleInfoA(LOCALE_USER_DEFAULT, what, separator, sizeof separator) == 0) return Text(".");
  return Text(separator);
}

void Win32Platform::Sleep(unsigned milliseconds) { ::Sleep(milliseconds); }

void Win32Platform::EndProcess(int exitCode) { ExitProcess(static_cast<UINT>(exitCode)); }

}  // namespace dimlux::win32
