#include "autostart/autostart.h"

#include "settings/settings.h"

namespace dimlux {

namespace {

constexpr const char* kBoxTitle = "Dimlux Startup";
constexpr const char* kOfferDisable = "Start on Windows startup enabled\r\nDo you want to disable it?";
constexpr const char* kOfferEnable = "Start on Windows startup not enabled\r\nDo you want to enable it?";
constexpr const char* kAddError = "Error adding Dimlux to system startup!";

bool Confirmed(Platform& platform, const char* question) { return platform.Ask(question, kBoxTitle); }

std::int16_t Disable(Platform& platform) {
  WriteStartupValue(platform, 0);
  platform.DeleteValue(Key::kRun, kRunValue);
  return 0;
}

std::int16_t Enable(Platform& platform) {
  WriteStartupValue(platform, 1);
  const Text data = RunEntryData(platform);
  // No path is better than a cut or garbled one, which Windows would fail to start without a word.
  if (!data.empty() && platform.WriteText(Key::kRun, kRunValue, data)) return 1;
  platform.Tell(kAddError, "Dimlux", Alert::kError);
  // Keep the stored flag in step with the missing entry, so the next start shows "+" too.
  WriteStartupValue(platform, 0);
  return 0;
}

}  // namespace

Text RunEntryData(Platform& platform) {
  const Text exe = platform.ExePath();
  return exe.empty() ? Text() : Text("\"") + exe + "\"";
}

std::int16_t ToggleStartWithWindows(Platform& platform, std::int16_t intStartup) {
  if (intStartup == 1) return Confirmed(platform, kOfferDisable) ? Disable(platform) : intStartup;
  return Confirmed(platform, kOfferEnable) ? Enable(platform) : intStartup;
}

}  // namespace dimlux
