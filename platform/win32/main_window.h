// The main window's handle, for the other Win32 wrappers (message boxes are owned by it).
#pragma once

#include <windows.h>

namespace dimlux::win32 {

HWND MainWindow();
// The message by which a later copy passes its wish on (wParam: the Wish).
UINT WishMessage();

}  // namespace dimlux::win32
