// The main window: created from its design, one window procedure, buttons drawn by us, twip geometry, the
// displays it lies on.
#include "platform/win32/main_window.h"

#include <cmath>

#include "platform/win32/backend.h"
#include "platform/win32/tool_tip.h"

namespace dimlux::win32 {

namespace {

constexpr char kClassName[] = "DimluxMain";
constexpr DWORD kStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU;
constexpr DWORD kExStyle = WS_EX_TOOLWINDOW;
constexpr int kIconId = 1;
constexpr int kButtonCount = 3;
constexpr int kFirstButtonId = 101;  // cmdTurnOff 101, cmdSettings 102, cmdOpt 103
constexpr UINT_PTR kFirstTimerId = 1;
// Where the covering frame goes, in pixels beyond the screen's left and top edges.
constexpr int kCoveringX = -2;
constexpr int kCoveringY = -5;
constexpr LPARAM kMonitorOff = 2;

struct Button {
  HWND hwnd = nullptr;
  Control control = Control::cmdTurnOff;
  bool graphical = false;
  COLORREF backColor = 0;
  HFONT font = nullptr;
  const char* toolTip = nullptr;
};

struct Window {
  HWND hwnd = nullptr;
  FormEvents* events = nullptr;
  const FormDesign* design = nullptr;
  Button buttons[kButtonCount];  // in tab order
  HWND focusWhenInactive = nullptr;
  HWND enterPressedOn = nullptr;
  float twipsPerPixelX = 15;
  float twipsPerPixelY = 15;
};

Window g_window;

int ButtonIndex(Control control) {
  switch (control) {
    case Control::cmdTurnOff:
      return 0;
    case Control::cmdSettings:
      return 1;
    case Control::cmdOpt:
      return 2;
  }
  return 0;
}

HWND ButtonHwnd(Control control) { return g_window.buttons[ButtonIndex(control)].hwnd; }

Button* FindButton(HWND hwnd) {
  for (Button& button : g_window.buttons) {
    if (button.hwnd == hwnd && hwnd != nullptr) return &button;
  }
  return nullptr;
}

// Twips to whole pixels, to the nearest pixel.
int ToPixels(float twips, float twipsPerPixel) { return static_cast<int>(std::lround(twips / twipsPerPixel)); }
int ToPixels(int twips, float twipsPerPixel) { return ToPixels(static_cast<float>(twips), twipsPerPixel); }

// To nearest, ties to even.
int RoundToEven(double value) { return static_cast<int>(std::nearbyint(value)); }

Place InTwips(const RECT& rect) {
  return {static_cast<float>(rect.left) * g_window.twipsPerPixelX,
          static_cast<float>(rect.top) * g_window.twipsPerPixelY,
          static_cast<float>(rect.right - rect.left) * g_window.twipsPerPixelX,
          static_cast<float>(rect.bottom - rect.top) * g_window.twipsPerPixelY};
}

RECT InPixels(const Place& place) {
  const int left = ToPixels(place.left, g_window.twipsPerPixelX);
  const int top = ToPixels(place.top, g_window.twipsPerPixelY);
  return {left, top, left + ToPixels(place.width, g_window.twipsPerPixelX),
          top + ToPixels(place.height, g_window.twipsPerPixelY)};
}

float TwipsPerPixel(int axis) {
  HDC screen = GetDC(nullptr);
  const int dpi = GetDeviceCaps(screen, axis);
  ReleaseDC(nullptr, screen);
  return 1440.0f / static_cast<float>(dpi > 0 ? dpi : 96);
}

RECT WindowRect() {
  RECT rect = {};
  GetWindowRect(g_window.hwnd, &rect);
  return rect;
}

RECT ClientRect() {
  RECT client = {};
  GetClientRect(g_window.hwnd, &client);
  return client;
}

RECT ChildRect(HWND child) {
  RECT rect = {};
  GetWindowRect(child, &rect);
  MapWindowPoints(HWND_DESKTOP, GetParent(child), reinterpret_cast<POINT*>(&rect), 2);
  return rect;
}

void SizeButtonTo(HWND button, int width, int height) {
  SetWindowPos(button, nullptr, 0, 0, width, height, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

HFONT CreateDesignFont(const ButtonDesign& design) {
  if (design.fontName == nullptr) return static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
  HDC screen = GetDC(nullptr);
  const int height = -static_cast<int>(
      std::lround(design.fontPoints * static_cast<float>(GetDeviceCaps(screen, LOGPIXELSY)) / 72.0f));
  ReleaseDC(nullptr, screen);
  return CreateFontA(height, 0, 0, 0, design.fontWeight, FALSE, FALSE, FALSE, static_cast<DWORD>(design.fontCharset),
                     OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE,
                     design.fontName);
}

void CreateButton(const ButtonDesign& design) {
  Button& button = g_window.buttons[ButtonIndex(design.control)];
  button.control = design.control;
  button.graphical = design.graphical;
  button.backColor = design.backColor;
  button.font = CreateDesignFont(design);
  button.toolTip = design.toolTip;
  const DWORD style = WS_CHILD | WS_VISIBLE | WS_TABSTOP | WS_CLIPSIBLINGS |
                      (design.graphical ? BS_OWNERDRAW : BS_PUSHBUTTON);
  button.hwnd = CreateWindowExA(
      0, "BUTTON", design.caption, style, ToPixels(design.left, g_window.twipsPerPixelX),
      ToPixels(design.top, g_window.twipsPerPixelY), ToPixels(design.width, g_window.twipsPerPixelX),
      ToPixels(design.height, g_window.twipsPerPixelY), g_window.hwnd,
      reinterpret_cast<HMENU>(static_cast<INT_PTR>(kFirstButtonId + ButtonIndex(design.control))),
      GetModuleHandleA(nullptr), nullptr);
  SendMessageA(button.hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(button.font), FALSE);
}

// Background colour, raised or pressed edge, centred caption, and the focus rectangle.
void DrawButton(const DRAWITEMSTRUCT& item) {
  const Button* button = FindButton(item.hwndItem);
  if (button == nullptr) return;
  RECT rect = item.rcItem;
  HBRUSH brush = CreateSolidBrush(button->backColor);
  FillRect(item.hDC, &rect, brush);
  DeleteObject(brush);
  const bool pressed = (item.itemState & ODS_SELECTED) != 0;
  DrawEdge(item.hDC, &rect, pressed ? EDGE_SUNKEN : EDGE_RAISED, BF_RECT);

  char caption[64] = {};
  GetWindowTextA(item.hwndItem, caption, sizeof caption);
  RECT textRect = rect;
  if (pressed) OffsetRect(&textRect, 1, 1);
  HGDIOBJ oldFont = SelectObject(item.hDC, button->font);
  SetBkMode(item.hDC, TRANSPARENT);
  SetTextColor(item.hDC, GetSysColor(COLOR_BTNTEXT));
  DrawTextA(item.hDC, caption, -1, &textRect, DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
  SelectObject(item.hDC, oldFont);

  if ((item.itemState & ODS_FOCUS) != 0) {
    InflateRect(&rect, -3, -3);
    DrawFocusRect(item.hDC, &rect);
  }
}

// Tab and Shift+Tab move the focus in tab order; Enter clicks the focused button (Space is the
// button's own). Returns whether the message was used up.
bool HandleDialogKey(const MSG& msg) {
  const Button* focused = FindButton(GetFocus());
  if (msg.message == WM_KEYDOWN && msg.wParam == VK_TAB) {
    const int current = focused != nullptr ? static_cast<int>(focused - g_window.buttons) : -1;
    const int step = (GetKeyState(VK_SHIFT) & 0x8000) != 0 ? kButtonCount - 1 : 1;
    ::SetFocus(g_window.buttons[(current + step + kButtonCount) % kButtonCount].hwnd);
    return true;
  }
  if (msg.wParam != VK_RETURN || focused == nullptr) return false;
  // On the release, as a button takes Space: the repeats of a key held down would otherwise answer the
  // question that "+" opens. A release whose press went to a message box clicks nothing.
  const bool repeated = (msg.lParam & (1L << 30)) != 0;
  if (msg.message == WM_KEYDOWN && !repeated) g_window.enterPressedOn = focused->hwnd;
  if (msg.message == WM_KEYUP && g_window.enterPressedOn == focused->hwnd) {
    g_window.enterPressedOn = nullptr;
    SendMessageA(focused->hwnd, BM_CLICK, 0, 0);
  }
  return msg.message == WM_KEYDOWN || msg.message == WM_KEYUP;
}

// Dialog-style focus keeping: activation gives the focus back to the control that had it.
void RestoreFocus() {
  ::SetFocus(g_window.focusWhenInactive != nullptr ? g_window.focusWhenInactive : ButtonHwnd(Control::cmdTurnOff));
}

void OnActivate(WPARAM wParam) {
  if (LOWORD(wParam) == WA_INACTIVE) {
    HWND focus = GetFocus();
    if (FindButton(focus) != nullptr) g_window.focusWhenInactive = focus;
    return;
  }
  RestoreFocus();
}

LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  FormEvents* events = g_window.events;
  if (message == WishMessage() && message != 0) {
    if (wParam == static_cast<WPARAM>(Wish::kWakeUp) || wParam == static_cast<WPARAM>(Wish::kTurnOff)) {
      events->Wished(static_cast<Wish>(wParam));
    }
    return 0;
  }
  switch (message) {
    case WM_COMMAND:
      // Drawn buttons report the second click of a double click apart; an ordinary button counts it.
      if (HIWORD(wParam) == BN_CLICKED || HIWORD(wParam) == BN_DOUBLECLICKED) {
        if (const Button* button = FindButton(reinterpret_cast<HWND>(lParam))) events->Click(button->control);
      }
      return 0;
    case WM_TIMER:
      events->Tick(wParam == kFirstTimerId ? g_window.design->timers[0].timer : g_window.design->timers[1].timer);
      return 0;
    case WM_DRAWITEM:
      DrawButton(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
      return TRUE;
    case WM_GETMINMAXINFO:
      // The widget is smaller than the system's minimum tracking size for captioned windows.
      reinterpret_cast<MINMAXINFO*>(lParam)->ptMinTrackSize = POINT{1, 1};
      return 0;
    case WM_ACTIVATE:
      OnActivate(wParam);
      return 0;
    case WM_SETFOCUS:
      RestoreFocus();
      return 0;
    case WM_CLOSE:
      events->Form_Unload();
      DestroyWindow(hwnd);
      return 0;
    case WM_QUERYENDSESSION:
      return TRUE;
    case WM_ENDSESSION:
      if (wParam) events->Form_Unload();
      return 0;
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
  }
  return DefWindowProcA(hwnd, message, wParam, lParam);
}

void RegisterWindowClass() {
  WNDCLASSEXA windowClass = {};
  windowClass.cbSize = sizeof windowClass;
  windowClass.lpfnWndProc = WindowProc;
  windowClass.hInstance = GetModuleHandleA(nullptr);
  windowClass.hIcon = LoadIconA(windowClass.hInstance, MAKEINTRESOURCEA(kIconId));
  // A tool window shows no small icon; given none, Windows would make one by scaling the icon down at start.
  windowClass.hIconSm = windowClass.hIcon;
  windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
  windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  windowClass.lpszClassName = kClassName;
  RegisterClassExA(&windowClass);
}

UINT_PTR TimerId(Timer timer) { return g_window.design->timers[0].timer == timer ? kFirstTimerId : kFirstTimerId + 1; }

unsigned TimerInterval(Timer timer) {
  for (const TimerDesign& design : g_window.design->timers) {
    if (design.timer == timer) return design.intervalMs;
  }
  return 0;
}

}  // namespace

HWND MainWindow() { return g_window.hwnd; }

UINT WishMessage() {
  static UINT message = 0;
  if (message == 0) message = RegisterWindowMessageA("Dimlux.Wish");
  return message;
}

bool Win32Platform::CreateForm(const FormDesign& design, FormEvents& events) {
  RegisterWindowClass();
  g_window.events = &events;
  g_window.design = &design;
  g_window.twipsPerPixelX = TwipsPerPixel(LOGPIXELSX);
  g_window.twipsPerPixelY = TwipsPerPixel(LOGPIXELSY);

  RECT rect = {ToPixels(design.clientLeft, g_window.twipsPerPixelX),
               ToPixels(design.clientTop, g_window.twipsPerPixelY), 0, 0};
  rect.right = rect.left + ToPixels(design.clientWidth, g_window.twipsPerPixelX);
  rect.bottom = rect.top + ToPixels(design.clientHeight, g_window.twipsPerPixelY);
  AdjustWindowRectEx(&rect, kStyle, FALSE, kExStyle);
  g_window.hwnd = CreateWindowExA(kExStyle, kClassName, design.caption, kStyle, rect.left, rect.top,
                                  rect.right - rect.left, rect.bottom - rect.top, nullptr, nullptr,
                                  GetModuleHandleA(nullptr), nullptr);
  if (g_window.hwnd == nullptr) return false;

  // Creation order is tab order, so create by tab index.
  for (int tabIndex = 0; tabIndex < kButtonCount; ++tabIndex) {
    for (const ButtonDesign& button : design.buttons) {
      if (button.tabIndex == tabIndex) CreateButton(button);
    }
  }
  return true;
}

int Win32Platform::RunForm(Control focus) {
  ShowWindow(g_window.hwnd, SW_SHOW);
  ::SetFocus(ButtonHwnd(focus));
  MSG msg;
  while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
    const Button* button = FindButton(msg.hwnd);
    ToolTipSeesMessage(msg, button != nullptr ? button->toolTip : nullptr);
    if (HandleDialogKey(msg)) continue;
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
  return static_cast<int>(msg.wParam);
}

Place Win32Platform::WidgetPlace() { return InTwips(WindowRect()); }

void Win32Platform::MoveWidget(const Place& place) {
  const RECT rect = InPixels(place);
  ::SetWindowPos(g_window.hwnd, nullptr, rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top,
                 SWP_NOZORDER | SWP_NOACTIVATE);
}

// As the caption bar would be with a bottom frame as wide as the side frames.
Place Win32Platform::CaptionBar() {
  const RECT window = WindowRect();
  const RECT client = ClientRect();
  const LONG frame = (window.right - window.left - client.right) / 2;
  return InTwips({window.left + frame, window.top, window.right - frame, window.bottom - frame - client.bottom});
}

void Win32Platform::KeepOnTop() {
  ::SetWindowPos(g_window.hwnd, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE | SWP_SHOWWINDOW);
}

// The frame goes a little beyond the screen's left and top edges. The screen's size in twips goes where pixels
// are expected: far more than the screen, which Windows limits to what covers it.
void Win32Platform::CoverScreen() {
  const int width = RoundToEven(GetSystemMetrics(SM_CXSCREEN) * static_cast<double>(g_window.twipsPerPixelX));
  const int height = RoundToEven(GetSystemMetrics(SM_CYSCREEN) * static_cast<double>(g_window.twipsPerPixelY));
  ::SetWindowPos(g_window.hwnd, HWND_TOPMOST, kCoveringX, kCoveringY, width, height, SWP_SHOWWINDOW);
  const RECT client = ClientRect();
  SizeButtonTo(ButtonHwnd(Control::cmdTurnOff), client.right, client.bottom);
}

void Win32Platform::ShowNormalFace() {
  const RECT client = ClientRect();
  const RECT plus = ChildRect(ButtonHwnd(Control::cmdSettings));
  SizeButtonTo(ButtonHwnd(Control::cmdTurnOff), client.right - (plus.right - plus.left), client.bottom);
}

void Win32Platform::AskDisplayOff() { SendMessageA(g_window.hwnd, WM_SYSCOMMAND, SC_MONITORPOWER, kMonitorOff); }

bool Win32Platform::WorkArea(const Place& area, bool nearest, Place* work) {
  const RECT pixels = InPixels(area);
  MONITORINFO info = {};
  info.cbSize = sizeof info;
  HMONITOR monitor = MonitorFromRect(&pixels, nearest ? MONITOR_DEFAULTTONEAREST : MONITOR_DEFAULTTONULL);
  if (monitor == nullptr || !GetMonitorInfoA(monitor, &info)) return false;
  *work = InTwips(info.rcWork);
  return true;
}

Text Win32Platform::Caption(Control control) {
  char caption[Text::kCapacity + 1] = {};
  GetWindowTextA(ButtonHwnd(control), caption, sizeof caption);
  return Text(caption);
}

void Win32Platform::SetCaption(Control control, std::string_view caption) {
  const Text captionZ(caption);
  SetWindowTextA(ButtonHwnd(control), captionZ.c_str());
  InvalidateRect(ButtonHwnd(control), nullptr, FALSE);
}

void Win32Platform::SetFocus(Control control) { ::SetFocus(ButtonHwnd(control)); }

void Win32Platform::SetToolTip(Control control, const char* text) {
  g_window.buttons[ButtonIndex(control)].toolTip = text;
}

void Win32Platform::EnableTimer(Timer timer, bool enabled) {
  if (g_window.hwnd == nullptr) return;
  if (enabled) {
    SetTimer(g_window.hwnd, TimerId(timer), TimerInterval(timer), nullptr);
  } else {
    KillTimer(g_window.hwnd, TimerId(timer));
  }
}

}  // namespace dimlux::win32
