#include "tests/unit/fake_platform.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstring>
#include <sstream>

namespace dimlux::test {

namespace {

std::string Lower(std::string s) {
  std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return s;
}

constexpr Long kErrorInvalidParameter = 87;

std::string OrNull(const char* s) { return s ? s : "(null)"; }

std::string Hex(std::uintmax_t value) {
  std::ostringstream out;
  out << "0x" << std::hex << value;
  return out.str();
}

}  // namespace

std::ostream& operator<<(std::ostream& out, const Box& box) {
  return out << "box \"" << box.text << "\" titled \"" << box.title << "\" style " << Hex(box.style);
}

bool CaseLess::operator()(const std::string& a, const std::string& b) const { return Lower(a) < Lower(b); }

FakePlatform::FakePlatform() { AddKey("Software\\Microsoft\\Windows\\CurrentVersion\\Run"); }

// --- Registry ---

void FakePlatform::PutValue(const std::string& path, const std::string& name, const std::string& bytes, Dword type) {
  keys_[path].values[name] = {type, bytes};
}

std::optional<RegValue> FakePlatform::GetValue(const std::string& path, const std::string& name) const {
  auto key = keys_.find(path);
  if (key == keys_.end()) return std::nullopt;
  auto value = key->second.values.find(name);
  if (value == key->second.values.end()) return std::nullopt;
  return value->second;
}

std::optional<std::string> FakePlatform::KeyClass(const std::string& path) const {
  auto key = keys_.find(path);
  if (key == keys_.end()) return std::nullopt;
  return key->second.keyClass;
}

std::vector<std::string> FakePlatform::CallsStartingWith(const std::string& prefix) const {
  std::vector<std::string> matching;
  for (const auto& call : calls_) {
    if (call.starts_with(prefix)) matching.push_back(call);
  }
  return matching;
}

std::optional<std::string> FakePlatform::PathOf(HKey hKey) const {
  if (hKey == kHkeyCurrentUser) return std::string();
  auto handle = handles_.find(hKey);
  if (handle == handles_.end()) return std::nullopt;
  return handle->second;
}

FakePlatform::Key* FakePlatform::KeyOf(HKey hKey) {
  auto path = PathOf(hKey);
  if (!path || path->empty()) return nullptr;
  auto key = keys_.find(*path);
  return key == keys_.end() ? nullptr : &key->second;
}

HKey FakePlatform::NewHandle(const std::string& path) {
  handles_[nextHandle_] = path;
  return nextHandle_++;
}

Long FakePlatform::RegOpenKeyExA(HKey hKey, const char* lpSubKey, Dword ulOptions, Dword samDesired, HKey* phkResult) {
  Record("RegOpenKeyExA " + std::string(lpSubKey));
  *phkResult = 0;
  auto parent = PathOf(hKey);
  if (!parent) return kErrorInvalidHandle;
  if (ulOptions != 0 || samDesired != kKeyAllAccess) return kErrorInvalidParameter;
  const std::string path = parent->empty() ? lpSubKey : *parent + "\\" + lpSubKey;
  if (!keys_.count(path)) return kErrorFileNotFound;
  if (unopenableKeys.count(path)) return kErrorAccessDenied;
  *phkResult = NewHandle(path);
  return kErrorSuccess;
}

Long FakePlatform::RegCreateKeyExA(HKey hKey, const char* lpSubKey, Dword /*Reserved*/, const char* lpClass,
                                   Dword /*dwOptions*/, Dword /*samDesired*/, const void* /*lpSecurityAttributes*/,
                                   HKey* phkResult, Dword* lpdwDisposition) {
  Record("RegCreateKeyExA " + std::string(lpSubKey) + " " + OrNull(lpClass));
  *phkResult = 0;
  auto parent = PathOf(hKey);
  if (!parent) return kErrorInvalidHandle;
  const std::string path = parent->empty() ? lpSubKey : *parent + "\\" + lpSubKey;
  if (uncreatableKeys.count(path)) return kErrorAccessDenied;
  const bool existed = keys_.count(path) != 0;
  if (!existed) keys_[path].keyClass = OrNull(lpClass);
  if (lpdwDisposition) *lpdwDisposition = existed ? 2 : 1;
  *phkResult = NewHandle(path);
  return kErrorSuccess;
}

Long FakePlatform::RegQueryValueExA(HKey hKey, const char* lpValueName, Dword* /*lpReserved*/, Dword* lpType,
                                    unsigned char* lpData, Dword* lpcbData) {
  Record("RegQueryValueExA " + std::string(lpValueName));
  Key* key = KeyOf(hKey);
  if (!key) return kErrorInvalidHandle;
  auto value = key->values.find(lpValueName);
  if (value == key->values.end()) return kErrorFileNotFound;
  const auto size = static_cast<Dword>(value->second.bytes.size());
  if (lpData && lpcbData && *lpcbData < size) {
    *lpcbData = size;
    return kErrorMoreData;
  }
  if (lpData) std::memcpy(lpData, value->second.bytes.data(), size);
  if (lpType) *lpType = value->second.type;
  if (lpcbData) *lpcbData = size;
  return kErrorSuccess;
}

Long FakePlatform::RegSetValueExA(HKey hKey, const char* lpValueName, Dword /*Reserved*/, Dword dwType,
                                  const unsigned char* lpData, Dword cbData) {
  const std::string bytes(reinterpret_cast<const char*>(lpData), cbData);
  Record("RegSetValueExA " + std::string(lpValueName) + " " + bytes);
  Key* key = KeyOf(hKey);
  if (!key) return kErrorInvalidHandle;
  if (failingValueWrites.count(lpValueName)) return kErrorAccessDenied;
  key->values[lpValueName] = {dwType, bytes};
  return kErrorSuccess;
}

Long FakePlatform::RegDeleteValueA(HKey hKey, const char* lpValueName) {
  Record("RegDeleteValueA " + std::string(lpValueName));
  Key* key = KeyOf(hKey);
  if (!key) return kErrorInvalidHandle;
  return key->values.erase(lpValueName) ? kErrorSuccess : kErrorFileNotFound;
}

Long FakePlatform::RegCloseKey(HKey hKey) {
  Record("RegCloseKey");
  return handles_.erase(hKey) ? kErrorSuccess : kErrorInvalidHandle;
}

// --- Window ---

int FakePlatform::ToPixels(float twips, float tpp) {
  return static_cast<int>(std::lround(static_cast<double>(twips) / static_cast<double>(tpp)));
}

bool FakePlatform::CreateForm(const FormDesign& design, FormEvents& /*events*/) {
  if (cannotCreateWindow) return false;
  leftPx = ToPixels(static_cast<float>(design.clientLeft), tppX) - kFrameSide;
  topPx = ToPixels(static_cast<float>(design.clientTop), tppY) - kFrameTop;
  widthPx = ToPixels(static_cast<float>(design.clientWidth), tppX) + 2 * kFrameSide;
  heightPx = ToPixels(static_cast<float>(design.clientHeight), tppY) + kFrameTop + kFrameBottom;
  for (const ButtonDesign& b : design.buttons) {
    buttons_[b.control] = {ToPixels(static_cast<float>(b.left), tppX), ToPixels(static_cast<float>(b.top), tppY),
                           ToPixels(static_cast<float>(b.width), tppX), ToPixels(static_cast<float>(b.height), tppY),
                           b.caption};
  }
  return true;
}

int FakePlatform::RunForm(Control focusControl) {
  formRun = true;
  visible = true;
  focus = focusControl;
  return 0;
}

Long FakePlatform::SetWindowPos(Hwnd hWnd, Hwnd hWndInsertAfter, int X, int Y, int cx, int cy, Dword uFlags) {
  Record("SetWindowPos " + Hex(hWnd) + " " + std::to_string(static_cast<std::intptr_t>(hWndInsertAfter)) + " " +
         std::to_string(X) + " " + std::to_string(Y) + " " + std::to_string(cx) + " " + std::to_string(cy) + " " +
         Hex(uFlags));
  if (hWnd != kFakeHwnd) return 0;
  if (!(uFlags & kSwpNoMove)) leftPx = X, topPx = Y;
  if (!(uFlags & kSwpNoSize)) widthPx = cx, heightPx = cy;
  if (uFlags & kSwpShowWindow) visible = true;
  return 1;
}

std::intptr_t FakePlatform::SendMessageA(Hwnd hWnd, Dword Msg, std::uintptr_t wParam, std::intptr_t lParam) {
  Record("SendMessageA " + Hex(hWnd) + " " + Hex(Msg) + " " + Hex(wParam) + " " + std::to_string(lParam));
  return 0;
}

int FakePlatform::MsgBox(std::string_view text, std::string_view title, Dword style) {
  Record("MsgBox " + std::string(title));
  boxes.push_back({std::string(text), std::string(title), style});
  if (!answers.empty()) {
    const int answer = answers.front();
    answers.pop_front();
    return answer;
  }
  return (style & 0xF) == kMbYesNo ? kIdNo : kIdOk;
}

std::intptr_t FakePlatform::ShellExecuteA(Hwnd hwnd, const char* lpOperation, const char* lpFile,
                                          const char* lpParameters, const char* lpDirectory, int nShowCmd) {
  Record("ShellExecuteA " + Hex(hwnd) + " " + OrNull(lpOperation) + " " + OrNull(lpFile) + " " + OrNull(lpParameters) +
         " " + OrNull(lpDirectory) + " " + std::to_string(nShowCmd));
  return 42;
}

// --- Files ---

bool FakePlatform::WriteNewFile(std::string_view path, std::string_view bytes) {
  Record("WriteNewFile " + std::string(path));
  auto existing = files.find(std::string(path));
  // Like CreateFile(CREATE_ALWAYS): a read-only, hidden or system file is not replaced.
  if (cannotCreateFiles ||
      (existing != files.end() && (existing->second.attributes & (kFileReadOnly | kFileHidden | kFileSystem)))) {
    return false;
  }
  files[std::string(path)] = {std::string(bytes), kFileArchive};
  return true;
}

bool FakePlatform::NormalFileExists(std::string_view path) {
  auto file = files.find(std::string(path));
  return file != files.end() && !(file->second.attributes & (kFileHidden | kFileSystem));
}

bool FakePlatform::DeleteFileA(std::string_view path) {
  Record("DeleteFileA " + std::string(path));
  auto file = files.find(std::string(path));
  if (file == files.end() || (file->second.attributes & kFileReadOnly)) return false;
  files.erase(file);
  return true;
}

void FakePlatform::EndProcess(int code) {
  Record("EndProcess " + std::to_string(code));
  exitCode = code;
}

}  // namespace dimlux::test
