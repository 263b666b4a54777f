// The least a program must do to show Dimlux's widget: register a class, create a topmost tool window
// with one button, show it and run a message loop with a once-a-second timer that reads the window's
// place, as a widget that remembers where it was left must. Used as the yardstick for start-up, idle cost
// and memory. Built with BASELINE_BLANK its timer ticks every 1 ms instead, keeping the window on top and
// asking for the display to be powered off: the yardstick for the blanked state.
//
//   baseline_window|baseline_blank LEFT TOP WIDTH HEIGHT   its outer rectangle, in pixels
#include <windows.h>

#include <cstdlib>

namespace {

constexpr char kClassName[] = "BaselineMain";
constexpr DWORD kStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU;
constexpr DWORD kExStyle = WS_EX_TOOLWINDOW | WS_EX_TOPMOST;
constexpr int kButtonId = 101;
constexpr UINT_PTR kTimerId = 1;
#ifdef BASELINE_BLANK
constexpr UINT kTickMs = 1;
#else
constexpr UINT kTickMs = 1000;
#endif
constexpr UINT kKeepOnTop = SWP_NOSIZE | SWP_NOMOVE | SWP_SHOWWINDOW;  // 0x43
constexpr LPARAM kDisplayOff = 2;

LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_TIMER:
#ifdef BASELINE_BLANK
      SetWindowPos(hwnd, HWND_TOPMOST, 0, 0, 0, 0, kKeepOnTop);
      SendMessageA(hwnd, WM_SYSCOMMAND, SC_MONITORPOWER, kDisplayOff);
#else
      static RECT lastRect;
      GetWindowRect(hwnd, &lastRect);
#endif
      return 0;
    case WM_GETMINMAXINFO:
      // Smaller than the system's minimum tracking size for captioned windows, as the widget is.
      reinterpret_cast<MINMAXINFO*>(lParam)->ptMinTrackSize = POINT{1, 1};
      return 0;
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
  }
  return DefWindowProcA(hwnd, message, wParam, lParam);
}

RECT OuterRect() {
  const int left = std::atoi(__argv[1]), top = std::atoi(__argv[2]);
  return RECT{left, top, left + std::atoi(__argv[3]), top + std::atoi(__argv[4])};
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  if (__argc < 5) return 2;
  WNDCLASSA windowClass = {};
  windowClass.lpfnWndProc = WindowProc;
  windowClass.hInstance = instance;
  windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
  windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  windowClass.lpszClassName = kClassName;
  RegisterClassA(&windowClass);

  const RECT rect = OuterRect();
  HWND hwnd = CreateWindowExA(kExStyle, kClassName, "Baseline", kStyle, rect.left, rect.top, rect.right - rect.left,
                              rect.bottom - rect.top, nullptr, nullptr, instance, nullptr);
  HWND button = CreateWindowExA(0, "BUTTON", "Turn Off", WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON, 0, 0, 64,
                                24, hwnd, reinterpret_cast<HMENU>(kButtonId), instance, nullptr);
  ShowWindow(hwnd, SW_SHOW);
  SetFocus(button);
  SetTimer(hwnd, kTimerId, kTickMs, nullptr);

  MSG msg;
  while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
  return static_cast<int>(msg.wParam);
}
