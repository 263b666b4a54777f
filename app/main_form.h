// Main: the widget window's behaviour. It owns the remembered geometry and the start-up flag; the
// caption of cmdTurnOff is its state ("Turn Off" = normal, anything else = blanked).
#pragma once

#include <cstdint>
#include <string_view>

#include "platform/platform.h"

namespace dimlux {

class Main final : public FormEvents {
 public:
  explicit Main(Platform& platform) : platform_(platform) {}

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
  void NormalLayout();
  void BlankedLayout();
  void KeepOnTop();
  void StartupIndicator();

  void AnswerSecondCopy();
  HKey CreateAndSeedSettings();
  void OpenReadme();
  void ReadSettings(HKey hKey);
  std::int32_t ReadGeometry(HKey hKey, const char* name, float designed);
  std::int16_t ReadStartup(HKey hKey);
  void AnswerWakeUp();
  void StoreGeometryIfChanged();

  void Fatal(std::string_view failure, std::string_view concerned);
  void EndProgram(int exitCode);

  Platform& platform_;
  bool ended_ = false;
  int exitCode_ = 0;
  int failedDeletes_ = 0;  // of the wake-up file, on the ticks in a row
};

}  // namespace dimlux
