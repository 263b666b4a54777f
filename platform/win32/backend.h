// The Win32 implementation of the platform interface. Only files in this folder include <windows.h>.
#pragma once

#include <windows.h>

#include "platform/platform.h"

namespace dimlux::win32 {

class Win32Platform final : public Platform {
 public:
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
  float Top() override;
  float Left() override;
  float Width() override;
  float Height() override;
  void SetTop(float twips) override;
  void SetLeft(float twips) override;
  void Move(float left, float top, float width, float height) override;
  float ScaleWidth() override;
  float ScaleHeight() override;
  Hwnd hWnd() override;
  Text Caption(Control control) override;
  void SetCaption(Control control, std::string_view caption) override;
  float ButtonWidth(Control control) override;
  void SetButtonWidth(Control control, float twips) override;
  void SetButtonHeight(Control control, float twips) override;
  void SetFocus(Control control) override;
  void SetToolTip(Control control, const char* text) override;
  void EnableTimer(Timer timer, bool enabled) override;
  Long SetWindowPos(Hwnd hWnd, Hwnd hWndInsertAfter, int X, int Y, int cx, int cy, Dword uFlags) override;
  std::intptr_t SendMessageA(Hwnd hWnd, Dword Msg, std::uintptr_t wParam, std::intptr_t lParam) override;

  int MsgBox(std::string_view text, std::string_view title, Dword style) override;
  std::intptr_t ShellExecuteA(Hwnd hwnd, const char* lpOperation, const char* lpFile, const char* lpParameters,
                              const char* lpDirectory, int nShowCmd) override;
  FileWrite WriteNewFile(std::string_view path, std::string_view bytes) override;
  bool NormalFileExists(std::string_view path) override;
  bool DeleteFileA(std::string_view path) override;
  HMonitor MonitorFromRect(const Rect& rect, Dword dwFlags) override;
  bool GetMonitorWorkArea(HMonitor hMonitor, Rect* work) override;
  int ScreenPixelsX() override;
  int ScreenPixelsY() override;
  float TwipsPerPixelX() override;
  float TwipsPerPixelY() override;
  bool PrevInstance() override;
  Text RunningCopyFolder() override;
  bool PostWish(Wish wish) override;
  Text ProgramFolder() override;
  Text ExePath() override;
  Text DecimalSeparator() override;
  void Sleep(Dword dwMilliseconds) override;
  void EndProcess(int exitCode) override;
};

}  // namespace dimlux::win32
