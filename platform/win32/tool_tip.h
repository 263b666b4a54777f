// A tooltip of our own: a small popup shown when the mouse rests on a control. The common controls
// library would do the same, but loading it costs more start-up time and memory than the whole widget.
#pragma once

#include <windows.h>

namespace dimlux::win32 {

// Feed every message of the loop; `tipText` is the text for msg.hwnd, or nullptr if it has none.
void ToolTipSeesMessage(const MSG& msg, const char* tipText);

}  // namespace dimlux::win32
