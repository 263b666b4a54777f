// The start code: read the command line, create the window hidden, load it, show it and run it.
#pragma once

#include <string_view>

#include "platform/platform.h"

namespace dimlux {

// Returns the process exit code.
int StartProgram(Platform& platform, std::string_view commandLine = {});

}  // namespace dimlux
