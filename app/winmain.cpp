// Windows entry point. Declared without <windows.h>; the linker knows it by name.
#include "app/start.h"
#include "platform/win32/win32_platform.h"

extern "C" int __stdcall WinMain(void* /*hInstance*/, void* /*hPrevInstance*/, char* /*lpCmdLine*/, int /*nShowCmd*/) {
  return dimlux::StartProgram(dimlux::win32::ThePlatform());
}
