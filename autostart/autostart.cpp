#include "autostart/autostart.h"

#include "settings/settings.h"

namespace dimlux {

namespace {

constexpr const char* kBoxTitle = "Dimlux Startup";
constexpr const char* kOfferDisable = "Start on Windows startup enabled\r\nDo you want to disable it?";
constexpr const char* kOfferEnable = "Start on Windows startup not enabled\r\nDo you want to enable it?";
constexpr const char* kAddError = "Error adding Dimlux to system startup!";

bool Confirmed(Platform& platform, const char* question) {
  return platform.MsgBox(question, kBoxTitle, kMbYesNo | kMbIconInformation) == kIdYes;
}

bool WriteRunEntry(Platform& platform, HKey hKey, const Text& data) {
  return platform.RegSetValueExA(hKey, kRunValue, 0, kRegSz, reinterpret_cast<const unsigned char*>(data.c_str()),
                                 static_cast<Dword>(data.size())) == kErrorSuccess;
}

std::int16_t Disable(Platform& platform) {
  StoreStartupSetting(platform, 0);
  HKey hKey = OpenUserKey(platform, kRunSubKey);
  platform.RegDeleteValueA(hKey, kRunValue);
  platform.RegCloseKey(hKey);
  return 0;
}

std::int16_t Enable(Platform& platform) {
  std::int16_t intStartup = 1;
  StoreStartupSetting(platform, intStartup);
  HKey hKey = OpenUserKey(platform, kRunSubKey);
  const Text data = RunEntryData(platform);
  // No path is better than a cut or garbled one, which Windows would fail to start without a word.
  if (data.empty() || !WriteRunEntry(platform, hKey, data)) {
    platform.MsgBox(kAddError, "Dimlux", kMbOk | kMbIconStop);
    intStartup = 0;
    // Keep the stored flag in step with the missing entry, so the next start shows "+" too.
    StoreStartupSetting(platform, intStartup);
  }
  platform.RegCloseKey(hKey);
  return intStartup;
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
