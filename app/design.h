// The main window as designed: caption, client area, buttons and timers.
#pragma once

#include "platform/platform.h"

namespace dimlux {

extern const FormDesign kMainDesign;

}  // namespace dimlux
