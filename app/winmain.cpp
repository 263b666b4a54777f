// Windows entry point. Declared without <windows.h>; the linker knows it by name.
#include "app/start.h"
#include "platform/win32/win32_platform.h"

extern "C" int __stdcall WinMain(void* /*hInstance*/, void* /*hPrevInstance*/, char* lpCmdLine, int /*nShowCmd*/) {
  return dimlux::StartProgram(dimlux::win32::ThePlatform(), lpCmdLine != nullptr ? lpCmdLine : "");
}

// The C runtime's own math-error handler prints to a console that a windowed program does not have; this one
// leaves each result as the math function gives it, and keeps the runtime's texts out of the exe.
struct _exception;  // NOLINT(bugprone-reserved-identifier): the runtime's own name
extern "C" int _matherr(_exception* /*error*/) { return 0; }  // NOLINT(bugprone-reserved-identifier)
