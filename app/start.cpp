#include "app/start.h"

#include "app/command_line.h"
#include "app/design.h"
#include "app/main_form.h"

namespace dimlux {

namespace {
constexpr int kExitUnknownCommandLine = 1;
}  // namespace

int StartProgram(Platform& platform, std::string_view commandLine) {
  const Request request = ParseCommandLine(commandLine);
  if (request == Request::kUnknown) {
    platform.Tell(UnknownCommandLineText(commandLine), "Dimlux", Alert::kWarning);
    return kExitUnknownCommandLine;
  }
  Main main(platform, request == Request::kTurnOff);
  if (!platform.CreateForm(kMainDesign, main)) {
    // Running on without a window would leave a copy nobody can see or close, refusing every later start.
    main.WindowNotCreated();
    return main.ExitCode();
  }
  main.Form_Load();
  if (main.Ended()) return main.ExitCode();
  return platform.RunForm(Control::cmdTurnOff);
}

}  // namespace dimlux
