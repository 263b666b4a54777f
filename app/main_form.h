// Main: the widget window's behaviour. It owns the remembered geometry and the start-up flag; the
// caption of cmdTurnOff is its state ("Turn Off" = normal, anything else = blanked).
#pragma once

#include <cstdint>
#include <string_view>

#include "platform/platform.h"

namespace dimlux {

class Main final : public FormEvents {
 public:
  // Started to turn the display off: no readme offer on a first run, and blanked once loaded.
  Main(Platform& platform, bool turnOffAtStart) : platform_(platform), turnOffAtStart_(turnOffAtStart) {}
  explicit Main(Platform& platform) : Main(platform, false) {}

  void Form_Load();
  // Ends the program when its window could not be created.
  void WindowNotCreated();
  void cmdTurnOff_Click();
  void cmdSettings_Click();
  void tmr_Timer();
  void tmrSticky_Timer();

  void Click(Control control) override;
  void Tick(Timer timer) override;
  void Form_Unload() override;
  void Wished(Wish wish) override;

  bool Ended() const { return ended_; }
  int ExitCode() const { return exitCode_; }

  // Last stored geometry (twips) and start-with-Windows flag.
  std::int32_t lngLeft = 0;
  std::int32_t lngTop = 0;
  std::int32_t lngRight = 0;   // width
  std::int32_t lngBottom = 0;  // height
  std::int16_t intStartup = 0;

 private:
  bool IsNormal();
  void ApplySavedGeometry();
  void StartupIndicator();

  void AnswerSecondCopy();
  FileWrite LeaveWakeUpFile(Text* path);
  void PassOnTurnOff();
  template <typename Attempt>
  bool TryForAWhile(Attempt attempt);
  void CarryOutTurnOffWish();
  bool CreateAndSeedSettings();
  void OpenReadme();
  void ReadSettings();
  std::int32_t ReadGeometry(const char* name, float designed);
  std::int16_t ReadStartup();
  void AnswerWakeUp();
  bool TakeWakeUpFile();
  void StoreGeometryIfChanged();

  void Fatal(std::string_view failure, std::string_view concerned);
  void EndProgram(int exitCode);

  Platform& platform_;
  bool ended_ = false;
  int exitCode_ = 0;
  int failedDeletes_ = 0;  // of the wake-up file, on the ticks in a row
  const bool turnOffAtStart_;
  bool turnOffWished_ = false;
  bool wakeUpWished_ = false;
  bool inHandlerWithBoxes_ = false;  // Form_Load or cmdSettings_Click, whose boxes go on dispatching messages
};

}  // namespace dimlux
