// What the program needs from Windows, as one interface. The logic above it is plain C++ that builds
// anywhere; platform/win32/ implements it with the real calls, the unit tests with a fake.
#pragma once

#include <cstdint>
#include <string_view>

#include "platform/text.h"

namespace dimlux {

// Win32 scalar types, by width (LONG, DWORD, HKEY, HWND).
using Long = std::int32_t;
using Dword = std::uint32_t;
using HKey = std::uintptr_t;
using Hwnd = std::uintptr_t;
using HMonitor = std::uintptr_t;

// A rectangle in pixels of the virtual screen, as RECT: right and bottom lie just outside it.
struct Rect {
  Long left, top, right, bottom;
};

// Predefined keys are sign-extended 32-bit values, as windows.h defines them.
constexpr HKey kHkeyCurrentUser = static_cast<HKey>(static_cast<std::intptr_t>(static_cast<std::int32_t>(0x80000001)));
constexpr Dword kKeyAllAccess = 0xF003F;
constexpr Dword kRegSz = 1;
constexpr Dword kRegBinary = 3;
constexpr Dword kRegDword = 4;
constexpr Long kErrorSuccess = 0;
constexpr Long kErrorFileNotFound = 2;
constexpr Long kErrorAccessDenied = 5;
constexpr Long kErrorInvalidHandle = 6;
constexpr Long kErrorMoreData = 234;

constexpr Dword kMbOk = 0x0;
constexpr Dword kMbYesNo = 0x4;
constexpr Dword kMbIconStop = 0x10;
constexpr Dword kMbIconExclamation = 0x30;
constexpr Dword kMbIconInformation = 0x40;
constexpr int kIdOk = 1;
constexpr int kIdYes = 6;
constexpr int kIdNo = 7;

constexpr Hwnd kHwndTopmost = static_cast<Hwnd>(-1);
constexpr Dword kSwpNoSize = 0x1;
constexpr Dword kSwpNoMove = 0x2;
constexpr Dword kSwpShowWindow = 0x40;
constexpr Dword kWmSysCommand = 0x0112;
constexpr std::uintptr_t kScMonitorPower = 0xF170;
constexpr std::intptr_t kMonitorOff = 2;
constexpr int kSwShowNormal = 1;
constexpr Dword kMonitorDefaultToNull = 0;
constexpr Dword kMonitorDefaultToNearest = 2;

enum class Control { cmdOpt, cmdTurnOff, cmdSettings };
enum class Timer { tmr, tmrSticky };
// What a later copy asks of the running one, by window message. The numbers travel between copies.
enum class Wish { kWakeUp = 1, kTurnOff = 2 };
// How writing a file went: a file another program holds for a moment may be written on a later try.
enum class FileWrite { kWritten, kHeld, kRefused };

// How the window looks as created. Positions and sizes in twips, colours as 0x00BBGGRR.
struct ButtonDesign {
  Control control;
  int left, top, width, height;
  const char* caption;
  bool graphical;  // drawn by us in backColor and the font below; otherwise an ordinary button
  std::uint32_t backColor;
  const char* fontName;
  int fontWeight;
  int fontCharset;
  float fontPoints;
  const char* toolTip;  // nullptr: none
  int tabIndex;
};

struct TimerDesign {
  Timer timer;
  unsigned intervalMs;
};

struct FormDesign {
  const char* caption;
  int clientLeft, clientTop, clientWidth, clientHeight;
  ButtonDesign buttons[3];  // in design order
  TimerDesign timers[2];
};

// What the window reports back; every handler runs to completion on the window's thread.
class FormEvents {
 public:
  virtual void Click(Control control) = 0;
  virtual void Tick(Timer timer) = 0;
  // The window is about to go: closed by the user, or the session is ending.
  virtual void Form_Unload() = 0;
  // A later copy's wish, posted to this copy's window.
  virtual void Wished(Wish wish) = 0;

 protected:
  ~FormEvents() = default;
};

class Platform {
 public:
  // Registry, with the Win32 names, arguments and return codes.
  virtual Long RegOpenKeyExA(HKey hKey, const char* lpSubKey, Dword ulOptions, Dword samDesired, HKey* phkResult) = 0;
  virtual Long RegCreateKeyExA(HKey hKey, const char* lpSubKey, Dword Reserved, const char* lpClass, Dword dwOptions,
                               Dword samDesired, const void* lpSecurityAttributes, HKey* phkResult,
                               Dword* lpdwDisposition) = 0;
  virtual Long RegQueryValueExA(HKey hKey, const char* lpValueName, Dword* lpReserved, Dword* lpType,
                                unsigned char* lpData, Dword* lpcbData) = 0;
  virtual Long RegSetValueExA(HKey hKey, const char* lpValueName, Dword Reserved, Dword dwType,
                              const unsigned char* lpData, Dword cbData) = 0;
  virtual Long RegDeleteValueA(HKey hKey, const char* lpValueName) = 0;
  virtual Long RegCloseKey(HKey hKey) = 0;

  // The window. Creates it hidden from its design and reports its events to `events`; false if it could
  // not be created (no desktop to show it on, out of resources).
  virtual bool CreateForm(const FormDesign& design, FormEvents& events) = 0;
  // Shows it with the focus on `focus` and runs the message loop until it is gone; returns the exit code.
  virtual int RunForm(Control focus) = 0;

  // Outer rectangle in twips. Setting snaps to whole pixels, so a value read and set again reads the same.
  virtual float Top() = 0;
  virtual float Left() = 0;
  virtual float Width() = 0;
  virtual float Height() = 0;
  virtual void SetTop(float twips) = 0;
  virtual void SetLeft(float twips) = 0;
  // Places and sizes it in one step: one move for Windows to make rather than four.
  virtual void Move(float left, float top, float width, float height) = 0;
  virtual float ScaleWidth() = 0;
  virtual float ScaleHeight() = 0;
  virtual Hwnd hWnd() = 0;

  virtual Text Caption(Control control) = 0;
  virtual void SetCaption(Control control, std::string_view caption) = 0;
  virtual float ButtonWidth(Control control) = 0;
  virtual void SetButtonWidth(Control control, float twips) = 0;
  virtual void SetButtonHeight(Control control, float twips) = 0;
  virtual void SetFocus(Control control) = 0;
  // The text shown when the mouse rests on the button, kept as given: it must last as long as the window.
  virtual void SetToolTip(Control control, const char* text) = 0;
  virtual void EnableTimer(Timer timer, bool enabled) = 0;

  virtual Long SetWindowPos(Hwnd hWnd, Hwnd hWndInsertAfter, int X, int Y, int cx, int cy, Dword uFlags) = 0;
  virtual std::intptr_t SendMessageA(Hwnd hWnd, Dword Msg, std::uintptr_t wParam, std::intptr_t lParam) = 0;

  // Modal to the application; returns the button pressed (kIdYes, ...).
  virtual int MsgBox(std::string_view text, std::string_view title, Dword style) = 0;
  virtual std::intptr_t ShellExecuteA(Hwnd hwnd, const char* lpOperation, const char* lpFile, const char* lpParameters,
                                      const char* lpDirectory, int nShowCmd) = 0;

  // Files, by full path. Each returns whether it succeeded.
  // Creates or truncates the file.
  virtual FileWrite WriteNewFile(std::string_view path, std::string_view bytes) = 0;
  // Hidden and system files do not count.
  virtual bool NormalFileExists(std::string_view path) = 0;
  virtual bool DeleteFileA(std::string_view path) = 0;

  // The display that shares most of `rect` with it; with kMonitorDefaultToNearest the nearest one when none
  // does, else 0.
  virtual HMonitor MonitorFromRect(const Rect& rect, Dword dwFlags) = 0;
  // The display's work area: its rectangle less the taskbar and docked bars. False for no display.
  virtual bool GetMonitorWorkArea(HMonitor hMonitor, Rect* work) = 0;

  // Primary display size in pixels, and twips per pixel (1440 / logical dpi) across and down.
  virtual int ScreenPixelsX() = 0;
  virtual int ScreenPixelsY() = 0;
  virtual float TwipsPerPixelX() = 0;
  virtual float TwipsPerPixelY() = 0;

  // Whether another copy runs in this user's session, wherever it is kept.
  virtual bool PrevInstance() = 0;
  // The program folder of that other copy, from its window and process image; empty when it cannot be
  // found (it is still starting, or its path cannot be had whole).
  virtual Text RunningCopyFolder() = 0;
  // Posts the wish to that other copy's window; false when there is none to post it to, or Windows refuses
  // (a copy of another user's or of a higher integrity level does not take it).
  virtual bool PostWish(Wish wish) = 0;
  // The running executable's full path, and its folder (no trailing backslash, except at a drive's root).
  // Both are empty when the path cannot be had whole (too long, or not in the ANSI calls' code page).
  virtual Text ProgramFolder() = 0;
  virtual Text ExePath() = 0;
  virtual Text DecimalSeparator() = 0;  // the user's locale

  virtual void Sleep(Dword dwMilliseconds) = 0;

  // Ends the process. Under test it only records the code, so callers return right after.
  virtual void EndProcess(int exitCode) = 0;

 protected:
  ~Platform() = default;
};

}  // namespace dimlux
