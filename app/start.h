// The start code: create the window hidden, load it, show it and run it.
#pragma once

#include "platform/platform.h"

namespace dimlux {

// Returns the process exit code.
int StartProgram(Platform& platform);

}  // namespace dimlux
