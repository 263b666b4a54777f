// What Dimlux is asked to do on its command line: nothing (show the widget), or turn the display off.
#pragma once

#include <string_view>

#include "platform/text.h"

namespace dimlux {

enum class Request { kShow, kTurnOff, kUnknown };

// "/off", "-off" or "--off" in any letter case, with blanks around it and in quotes or not, turns the
// display off; an empty command line shows the widget; anything else is unknown.
Request ParseCommandLine(std::string_view commandLine);

// The text of the box that answers an unknown command line: what was given, cut to a readable length on a
// whole character, and the one switch Dimlux knows.
Text UnknownCommandLineText(std::string_view commandLine);

}  // namespace dimlux
