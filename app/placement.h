// Keeping the widget where a person can reach it.
#pragma once

#include "platform/platform.h"

namespace dimlux {

// Moves the window onto the nearest display, fully inside its work area and at its size, when no display
// shows enough of its caption bar to drag it by (a monitor unplugged, a lower resolution or dpi since it
// was stored). A place partly over an edge, with part of the caption bar on a display, stays as it is.
void KeepReachable(Platform& platform);

}  // namespace dimlux
