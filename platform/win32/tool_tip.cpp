#include "platform/win32/tool_tip.h"

namespace dimlux::win32 {

namespace {

constexpr char kClassName[] = "DimluxTip";
constexpr int kPaddingX = 4;
constexpr int kPaddingY = 2;
constexpr int kBelowCursor = 20;

HWND g_popup = nullptr;
HWND g_trackedTool = nullptr;

HFONT TipFont() { return static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT)); }

LRESULT CALLBACK TipProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message != WM_PAINT) return DefWindowProcA(hwnd, message, wParam, lParam);
  // The text is the window's own, where screen readers look for it.
  char text[256] = {};
  GetWindowTextA(hwnd, text, sizeof text);
  PAINTSTRUCT paint;
  HDC dc = BeginPaint(hwnd, &paint);
  RECT rect;
  GetClientRect(hwnd, &rect);
  FillRect(dc, &rect, GetSysColorBrush(COLOR_INFOBK));
  HGDIOBJ oldFont = SelectObject(dc, TipFont());
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, GetSysColor(COLOR_INFOTEXT));
  DrawTextA(dc, text, -1, &rect, DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
  SelectObject(dc, oldFont);
  EndPaint(hwnd, &paint);
  return 0;
}

HWND Popup() {
  if (g_popup != nullptr) return g_popup;
  WNDCLASSA tipClass = {};
  tipClass.lpfnWndProc = TipProc;
  tipClass.hInstance = GetModuleHandleA(nullptr);
  tipClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
  tipClass.lpszClassName = kClassName;
  RegisterClassA(&tipClass);
  // No owner: under Wine a window that owns a popup never gets into the topmost band.
  g_popup = CreateWindowExA(WS_EX_TOOLWINDOW | WS_EX_TOPMOST, kClassName, nullptr, WS_POPUP | WS_BORDER, 0, 0, 0, 0,
                            nullptr, nullptr, tipClass.hInstance, nullptr);
  return g_popup;
}

void Show(const char* text) {
  HWND popup = Popup();
  SetWindowTextA(popup, text);
  HDC dc = GetDC(popup);
  HGDIOBJ oldFont = SelectObject(dc, TipFont());
  RECT textRect = {};
  DrawTextA(dc, text, -1, &textRect, DT_CALCRECT | DT_SINGLELINE | DT_NOPREFIX);
  SelectObject(dc, oldFont);
  ReleaseDC(popup, dc);
  POINT cursor = {};
  GetCursorPos(&cursor);
  const int width = textRect.right + 2 * (kPaddingX + 1);
  const int height = textRect.bottom + 2 * (kPaddingY + 1);
  SetWindowPos(popup, HWND_TOPMOST, cursor.x, cursor.y + kBelowCursor, width, height, SWP_NOACTIVATE | SWP_SHOWWINDOW);
  InvalidateRect(popup, nullptr, TRUE);
}

void Hide() {
  if (g_popup != nullptr) ShowWindow(g_popup, SW_HIDE);
}

}  // namespace

void ToolTipSeesMessage(const MSG& msg, const char* tipText) {
  switch (msg.message) {
    case WM_MOUSEMOVE:
      if (tipText != nullptr && g_trackedTool != msg.hwnd) {
        TRACKMOUSEEVENT track = {sizeof track, TME_HOVER | TME_LEAVE, msg.hwnd, HOVER_DEFAULT};
        TrackMouseEvent(&track);
        g_trackedTool = msg.hwnd;
      }
      break;
    case WM_MOUSEHOVER:
      if (tipText != nullptr) Show(tipText);
      break;
    case WM_MOUSELEAVE:
      g_trackedTool = nullptr;
      Hide();
      break;
    case WM_LBUTTONDOWN:
    case WM_KEYDOWN:
      Hide();
      break;
  }
}

}  // namespace dimlux::win32
