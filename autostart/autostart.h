// Starting with Windows: the program's entry in the current user's Run key.
#pragma once

#include <cstdint>

#include "platform/platform.h"

namespace dimlux {

constexpr const char* kRunValue = "Dimlux";

// The entry's data: the running executable's full path in quotes, so that a folder with spaces in its
// name cannot make Windows run some other program first; empty when the path cannot be had whole.
Text RunEntryData(Platform& platform);

// Asks whether to switch starting with Windows over, and if so records the choice in the settings key
// and adds or removes the Run entry. Returns the new flag (1 = enabled).
std::int16_t ToggleStartWithWindows(Platform& platform, std::int16_t intStartup);

}  // namespace dimlux
