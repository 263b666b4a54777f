// A stand-in for Windows that behaves like it where the logic can tell: a registry of keys and typed
// values holding exact bytes, counted key handles, a window of whole pixels inside a tool-window frame,
// scripted message boxes, files with attributes. Calls that reach Windows are recorded in order.
#pragma once

#include <deque>
#include <map>
#include <optional>
#include <ostream>
#include <set>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace dimlux::test {

struct CaseLess {
  bool operator()(const std::string& a, const std::string& b) const;
};

struct RegValue {
  Dword type;
  std::string bytes;
};

struct Box {
  std::string text, title;
  Dword style;
  bool operator==(const Box&) const = default;
};
std::ostream& operator<<(std::ostream& out, const Box& box);

constexpr Dword kFileReadOnly = 0x1;
constexpr Dword kFileHidden = 0x2;
constexpr Dword kFileSystem = 0x4;
constexpr Dword kFileArchive = 0x20;

constexpr Hwnd kFakeHwnd = 0x1A2B;

class FakePlatform final : public Platform {
 public:
  FakePlatform();

  // --- Set-up and inspection for tests ---
  void AddKey(const std::string& path) { keys_[path]; }
  bool HasKey(const std::string& path) const { return keys_.count(path) != 0; }
  void PutValue(const std::string& path, const std::string& name, const std::string& bytes, Dword type = kRegSz);
  std::optional<RegValue> GetValue(const std::string& path, const std::string& name) const;
  std::optional<std::string> KeyClass(const std::string& path) const;
  int OpenHandles() const { return static_cast<int>(handles_.size()); }
  std::set<std::string, CaseLess> unopenableKeys, uncreatableKeys, failingValueWrites;

  const std::vector<std::string>& Calls() const { return calls_; }
  std::vector<std::string> CallsStartingWith(const std::string& prefix) const;
  void ClearCalls() { calls_.clear(); }

  std::deque<int> answers;  // next message-box answers; when empty: No for Yes/No boxes, otherwise OK
  std::vector<Box> boxes;

  struct File {
    std::string bytes;
    Dword attributes;
  };
  std::map<std::string, File, CaseLess> files;
  bool cannotCreateFiles = false;
  bool cannotCreateWindow = false;

  // Window in pixels: outer rectangle, and the client area inside the fixed frame.
  int leftPx = 0, topPx = 0, widthPx = 0, heightPx = 0;
  static constexpr int kFrameSide = 3, kFrameTop = 20, kFrameBottom = 3;
  struct Button {
    int left, top, width, height;
    std::string caption;
  };
  Button& button(Control control) { return buttons_.at(control); }
  bool visible = false;
  bool formRun = false;
  std::optional<Control> focus;
  std::map<Timer, bool> timerEnabled{{Timer::tmr, false}, {Timer::tmrSticky, false}};

  float tppX = 15, tppY = 15;
  int screenX = 1024, screenY = 768;
  bool prevInstance = false;
  std::string programFolder = "C:\\Program Files\\Dimlux";
  std::string exePath = "C:\\Program Files\\Dimlux\\Dimlux.exe";
  std::string decimalSeparator = ".";
  std::optional<int> exitCode;

  // --- Platform ---
  Long RegOpenKeyExA(HKey hKey, const char* lpSubKey, Dword ulOptions, Dword samDesired, HKey* phkResult) override;
  Long RegCreateKeyExA(HKey hKey, const char* lpSubKey, Dword Reserved, const char* lpClass, Dword dwOptions,
                       Dword samDesired, const void* lpSecurityAttributes, HKey* phkResult,
                       Dword* lpdwDisposition) override;
  Long RegQueryValueExA(HKey hKey, const char* lpValueName, Dword* lpReserved, Dword* lpType, unsigned char* lpData,
                        Dword* lpcbData) override;
  Long RegSetValueExA(HKey hKey, const char* lpValueName, Dword Reserved, Dword dwType, const unsigned char* lpData,
                      Dword cbData) override;
  Long RegDeleteValueA(HKey hKey, const char* lpValueName) override;
  Long RegCloseKey(HKey hKey) override;

  bool CreateForm(const FormDesign& design, FormEvents& events) override;
  int RunForm(Control focus) override;

  float Top() override { return static_cast<float>(topPx) * tppY; }
  float Left() override { return static_cast<float>(leftPx) * tppX; }
  float Width() override { return static_cast<float>(widthPx) * tppX; }
  float Height() override { return static_cast<float>(heightPx) * tppY; }
  void SetTop(float twips) override { topPx = ToPixels(twips, tppY); }
  void SetLeft(float twips) override { leftPx = ToPixels(twips, tppX); }
  void SetWidth(float twips) override { widthPx = ToPixels(twips, tppX); }
  void SetHeight(float twips) override { heightPx = ToPixels(twips, tppY); }
  float ScaleWidth() override { return static_cast<float>(widthPx - 2 * kFrameSide) * tppX; }
  float ScaleHeight() override { return static_cast<float>(heightPx - kFrameTop - kFrameBottom) * tppY; }
  Hwnd hWnd() override { return kFakeHwnd; }

  Text Caption(Control control) override { return Text(buttons_.at(control).caption); }
  void SetCaption(Control control, std::string_view caption) override {
    buttons_.at(control).caption = std::string(caption);
  }
  float ButtonWidth(Control control) override { return static_cast<float>(buttons_.at(control).width) * tppX; }
  void SetButtonWidth(Control control, float twips) override { buttons_.at(control).width = ToPixels(twips, tppX); }
  void SetButtonHeight(Control control, float twips) override { buttons_.at(control).height = ToPixels(twips, tppY); }
  void SetFocus(Control control) override { focus = control; }
  void EnableTimer(Timer timer, bool enabled) override { timerEnabled[timer] = enabled; }

  Long SetWindowPos(Hwnd hWnd, Hwnd hWndInsertAfter, int X, int Y, int cx, int cy, Dword uFlags) override;
  std::intptr_t SendMessageA(Hwnd hWnd, Dword Msg, std::uintptr_t wParam, std::intptr_t lParam) override;
  int MsgBox(std::string_view text, std::string_view title, Dword style) override;
  std::intptr_t ShellExecuteA(Hwnd hwnd, const char* lpOperation, const char* lpFile, const char* lpParameters,
                              const char* lpDirectory, int nShowCmd) override;

  bool WriteNewFile(std::string_view path, std::string_view bytes) override;
  bool NormalFileExists(std::string_view path) override;
  bool DeleteFileA(std::string_view path) override;

  int ScreenPixelsX() override { return screenX; }
  int ScreenPixelsY() override { return screenY; }
  float TwipsPerPixelX() override { return tppX; }
  float TwipsPerPixelY() override { return tppY; }
  bool PrevInstance() override { return prevInstance; }
  Text ProgramFolder() override { return Text(programFolder); }
  Text ExePath() override { return Text(exePath); }
  Text DecimalSeparator() override { return Text(decimalSeparator); }
  void EndProcess(int code) override;

 private:
  struct Key {
    std::string keyClass;
    std::map<std::string, RegValue, CaseLess> values;
  };
  static int ToPixels(float twips, float tpp);
  std::optional<std::string> PathOf(HKey hKey) const;  // HKCU is "", an open handle its key's path
  Key* KeyOf(HKey hKey);
  HKey NewHandle(const std::string& path);
  void Record(std::string call) { calls_.push_back(std::move(call)); }

  std::map<std::string, Key, CaseLess> keys_;
  std::map<HKey, std::string> handles_;
  HKey nextHandle_ = 0x100;
  std::map<Control, Button> buttons_;
  std::vector<std::string> calls_;
};

}  // namespace dimlux::test
