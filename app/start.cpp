#include "app/start.h"

#include "app/design.h"
#include "app/main_form.h"

namespace dimlux {

int StartProgram(Platform& platform) {
  Main main(platform);
  platform.CreateForm(kMainDesign, main);
  main.Form_Load();
  if (main.Ended()) return main.ExitCode();
  return platform.RunForm(Control::cmdTurnOff);
}

}  // namespace dimlux
