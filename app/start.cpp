#include "app/start.h"

#include "app/design.h"
#include "app/main_form.h"

namespace dimlux {

int StartProgram(Platform& platform) {
  Main main(platform);
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
