// A stand-in for Windows that behaves like it where the logic can tell: a registry of keys and typed
// values holding exact bytes (no NUL added), counted key handles, Windows' error codes, a window of whole
// pixels inside a tool-window frame, scripted message boxes, files.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstring>
#include <deque>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace dimlux::test {

struct Box {
  std::string text, title;
  Dword style;
  bool operator==(const Box&) const = default;
};

constexpr Hwnd kFakeHwnd = 0x1A2B;
constexpr Long kErrorInvalidParameter = 87;

class FakePlatform final : public Platform {
 public:
  struct Value {
    Dword type;
    std::string bytes;
  };
  struct Button {
    int left, top, width, height;
    std::string caption, toolTip;
  };
  struct Monitor {
    Rect area, work;
  };
  static constexpr int kFrameSide = 3;
  static constexpr int kFrameTop = 20;
  static constexpr int kFrameBottom = 3;

  // --- Set-up and inspection ---
  std::map<std::string, std::map<std::string, Value>> keys{{"Software\\Microsoft\\Windows\\CurrentVersion\\Run", {}}};
  std::set<std::string> unopenableKeys, uncreatableKeys;
  std::map<HKey, std::string> handles;
  std::vector<std::string> opened;  // by the user's default handler
  std::deque<int> answers;          // next message-box answers; when none are left: No for Yes/No boxes, else OK
  std::vector<Box> boxes;
  std::map<std::string, std::string> files;  // path: bytes
  bool cannotCreateWindow = false;
  bool formRun = false, shown = false;
  int leftPx = 0, topPx = 0, widthPx = 0, heightPx = 0;  // outer rectangle
  std::map<Control, Button> buttons;
  std::map<Timer, bool> timerEnabled{{Timer::tmr, false}, {Timer::tmrSticky, false}};
  float tppX = 15, tppY = 15;
  std::vector<Monitor> monitors{{{0, 0, 1024, 768}, {0, 0, 1024, 728}}};  // the primary, a taskbar at the bottom
  bool prevInstance = false;
  std::string runningCopyFolder = "C:\\Program Files\\Dimlux";  // "": not found
  std::map<std::string, int> lockedFor;  // path: how many more writes or deletes fail, as if held open
  std::set<std::string> refusedFiles;    // paths that cannot be written, as in a folder the user cannot write
  std::vector<Wish> posted;              // to the running copy
  int sleptMs = 0;
  std::string decimalSeparator = ".";
  std::string exePath = "C:\\Program Files\\Dimlux\\Dimlux.exe";  // "": a path the platform cannot have whole

  // Where the user drags the window to, in pixels.
  void MoveTo(int left, int top) {
    leftPx = left;
    topPx = top;
  }

  // --- Registry ---
  Long RegOpenKeyExA(HKey hKey, const char* lpSubKey, Dword ulOptions, Dword samDesired, HKey* phkResult) override {
    *phkResult = 0;
    if (hKey != kHkeyCurrentUser) return kErrorInvalidHandle;
    if (ulOptions != 0 || samDesired != kKeyAllAccess) return kErrorInvalidParameter;
    if (!keys.count(lpSubKey)) return kErrorFileNotFound;
    if (unopenableKeys.count(lpSubKey)) return kErrorAccessDenied;
    *phkResult = NewHandle(lpSubKey);
    return kErrorSuccess;
  }
  Long RegCreateKeyExA(HKey hKey, const char* lpSubKey, Dword, const char*, Dword, Dword, const void*, HKey* phkResult,
                       Dword* lpdwDisposition) override {
    *phkResult = 0;
    if (hKey != kHkeyCurrentUser) return kErrorInvalidHandle;
    if (uncreatableKeys.count(lpSubKey)) return kErrorAccessDenied;
    if (lpdwDisposition) *lpdwDisposition = keys.count(lpSubKey) ? 2 : 1;
    keys[lpSubKey];
    *phkResult = NewHandle(lpSubKey);
    return kErrorSuccess;
  }
  Long RegQueryValueExA(HKey hKey, const char* lpValueName, Dword*, Dword* lpType, unsigned char* lpData,
                        Dword* lpcbData) override {
    auto* values = ValuesOf(hKey);
    if (!values) return kErrorInvalidHandle;
    auto value = values->find(lpValueName);
    if (value == values->end()) return kErrorFileNotFound;
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
  Long RegSetValueExA(HKey hKey, const char* lpValueName, Dword, Dword dwType, const unsigned char* lpData,
                      Dword cbData) override {
    auto* values = ValuesOf(hKey);
    if (!values) return kErrorInvalidHandle;
    (*values)[lpValueName] = {dwType, std::string(reinterpret_cast<const char*>(lpData), cbData)};
    return kErrorSuccess;
  }
  Long RegDeleteValueA(HKey hKey, const char* lpValueName) override {
    auto* values = ValuesOf(hKey);
    if (!values) return kErrorInvalidHandle;
    return values->erase(lpValueName) ? kErrorSuccess : kErrorFileNotFound;
  }
  Long RegCloseKey(HKey hKey) override { return handles.erase(hKey) ? kErrorSuccess : kErrorInvalidHandle; }

  // --- Window ---
  bool CreateForm(const FormDesign& design, FormEvents&) override {
    if (cannotCreateWindow) return false;
    leftPx = PixelsX(design.clientLeft) - kFrameSide;
    topPx = PixelsY(design.clientTop) - kFrameTop;
    widthPx = PixelsX(design.clientWidth) + 2 * kFrameSide;
    heightPx = PixelsY(design.clientHeight) + kFrameTop + kFrameBottom;
    for (const ButtonDesign& b : design.buttons) {
      buttons[b.control] = {PixelsX(b.left), PixelsY(b.top), PixelsX(b.width), PixelsY(b.height), b.caption, ""};
    }
    return true;
  }
  int RunForm(Control) override {
    formRun = true;
    return 0;
  }
  float Top() override { return static_cast<float>(topPx) * tppY; }
  float Left() override { return static_cast<float>(leftPx) * tppX; }
  float Width() override { return static_cast<float>(widthPx) * tppX; }
  float Height() override { return static_cast<float>(heightPx) * tppY; }
  void SetTop(float twips) override { topPx = PixelsY(twips); }
  void SetLeft(float twips) override { leftPx = PixelsX(twips); }
  void Move(float left, float top, float width, float height) override {
    MoveTo(PixelsX(left), PixelsY(top));
    widthPx = PixelsX(width);
    heightPx = PixelsY(height);
  }
  float ScaleWidth() override { return static_cast<float>(widthPx - 2 * kFrameSide) * tppX; }
  float ScaleHeight() override { return static_cast<float>(heightPx - kFrameTop - kFrameBottom) * tppY; }
  Hwnd hWnd() override { return kFakeHwnd; }
  Text Caption(Control control) override { return Text(buttons.at(control).caption); }
  void SetCaption(Control control, std::string_view caption) override { buttons.at(control).caption = caption; }
  float ButtonWidth(Control control) override { return static_cast<float>(buttons.at(control).width) * tppX; }
  void SetButtonWidth(Control control, float twips) override { buttons.at(control).width = PixelsX(twips); }
  void SetButtonHeight(Control control, float twips) override { buttons.at(control).height = PixelsY(twips); }
  void SetFocus(Control) override {}
  void SetToolTip(Control control, const char* text) override { buttons.at(control).toolTip = text; }
  void EnableTimer(Timer timer, bool enabled) override { timerEnabled[timer] = enabled; }
  Long SetWindowPos(Hwnd, Hwnd, int X, int Y, int cx, int cy, Dword uFlags) override {
    shown = shown || (uFlags & kSwpShowWindow);
    if (!(uFlags & kSwpNoMove)) MoveTo(X, Y);
    if (!(uFlags & kSwpNoSize)) {
      widthPx = cx;
      heightPx = cy;
    }
    return 1;
  }
  std::intptr_t SendMessageA(Hwnd, Dword, std::uintptr_t, std::intptr_t) override { return 0; }
  int MsgBox(std::string_view text, std::string_view title, Dword style) override {
    boxes.push_back({std::string(text), std::string(title), style});
    if (answers.empty()) return (style & 0xF) == kMbYesNo ? kIdNo : kIdOk;
    const int answer = answers.front();
    answers.pop_front();
    return answer;
  }
  std::intptr_t ShellExecuteA(Hwnd, const char*, const char* file, const char*, const char*, int) override {
    opened.push_back(file);
    return 42;
  }

  // --- Files (read-only ones are left to the tests under Wine) ---
  FileWrite WriteNewFile(std::string_view path, std::string_view bytes) override {
    if (Locked(path)) return FileWrite::kHeld;
    if (refusedFiles.count(std::string(path))) return FileWrite::kRefused;
    files[std::string(path)] = bytes;
    return FileWrite::kWritten;
  }
  bool NormalFileExists(std::string_view path) override { return files.count(std::string(path)); }
  bool DeleteFileA(std::string_view path) override { return !Locked(path) && files.erase(std::string(path)); }

  // The monitor sharing most with the rect; where none shares any, the primary (the first) is the nearest.
  HMonitor MonitorFromRect(const Rect& rect, Dword flags) override {
    HMonitor best = flags == kMonitorDefaultToNearest ? 1 : 0;
    long long bestShared = 0;
    for (std::size_t i = 0; i < monitors.size(); ++i) {
      const Rect& area = monitors[i].area;
      const long long across = std::min(rect.right, area.right) - std::max(rect.left, area.left);
      const long long down = std::min(rect.bottom, area.bottom) - std::max(rect.top, area.top);
      if (across > 0 && down > 0 && across * down > bestShared) {
        best = i + 1;
        bestShared = across * down;
      }
    }
    return best;
  }
  bool GetMonitorWorkArea(HMonitor monitor, Rect* work) override {
    if (monitor == 0 || monitor > monitors.size()) return false;
    *work = monitors[monitor - 1].work;
    return true;
  }

  int ScreenPixelsX() override { return monitors[0].area.right; }  // the primary's, at 0, 0
  int ScreenPixelsY() override { return monitors[0].area.bottom; }
  float TwipsPerPixelX() override { return tppX; }
  float TwipsPerPixelY() override { return tppY; }
  bool PrevInstance() override { return prevInstance; }
  Text RunningCopyFolder() override { return Text(runningCopyFolder); }
  bool PostWish(Wish wish) override {
    if (runningCopyFolder.empty()) return false;  // no running copy's window either
    posted.push_back(wish);
    return true;
  }
  void Sleep(Dword ms) override { sleptMs += static_cast<int>(ms); }
  Text ProgramFolder() override { return Text(std::string_view(exePath).substr(0, exePath.rfind('\\'))); }
  Text ExePath() override { return Text(exePath); }
  Text DecimalSeparator() override { return Text(decimalSeparator); }
  void EndProcess(int) override {}

 private:
  bool Locked(std::string_view path) {
    auto lock = lockedFor.find(std::string(path));
    return lock != lockedFor.end() && lock->second-- > 0;
  }
  int PixelsX(float twips) const { return static_cast<int>(std::lround(double{twips} / double{tppX})); }
  int PixelsY(float twips) const { return static_cast<int>(std::lround(double{twips} / double{tppY})); }
  HKey NewHandle(const std::string& path) {
    static HKey next = 0x100;
    handles[next] = path;
    return next++;
  }
  std::map<std::string, Value>* ValuesOf(HKey hKey) {
    auto handle = handles.find(hKey);
    return handle == handles.end() ? nullptr : &keys[handle->second];
  }
};

}  // namespace dimlux::test
