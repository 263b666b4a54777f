// The main window's handle, for the other Win32 wrappers (message boxes are owned by it).
#pragma once

#include <windows.h>

namespace dimlux::win32 {

HWND MainWindow();

}  // namespace dimlux::win32
