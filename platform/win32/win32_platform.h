// The program's one Win32 platform object, for the start code (no <windows.h> needed to use it).
#pragma once

#include "platform/platform.h"

namespace dimlux::win32 {

Platform& ThePlatform();

}  // namespace dimlux::win32
