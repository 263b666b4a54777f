#include "app/main_form.h"

#include <cmath>
#include <cstdint>
#include <limits>
#include <utility>

#include "app/maker.h"
#include "app/placement.h"
#include "autostart/autostart.h"
#include "settings/settings.h"

namespace dimlux {

namespace {

constexpr std::string_view kNormalCaption = "Turn Off";
constexpr std::string_view kBlankedCaption = "Turn On";
constexpr const char* kTitle = "Dimlux";
constexpr const char* kSecondCopyText = "Dimlux is already running!\r\nDo you want it shown? :)";
constexpr const char* kFirstRunText =
    "You have launched this application for the first time!\r\nWould you like to read the Readme file?";
constexpr const char* kRegistryErrorText = "Error while accessing the registry!\r\nPlease contact ";
constexpr const char* kStartupTip = "Dimlux starts with Windows. Click to stop it starting with Windows.";
constexpr const char* kNoStartupTip = "Dimlux does not start with Windows. Click to make it start with Windows.";
constexpr std::string_view kReadmeFileName = "readme.txt";
constexpr std::string_view kNoRunningCopy = "(the running copy's folder cannot be found; it may still be starting)";
constexpr std::string_view kNoRunningWindow = "(the running copy's window cannot be found; it may still be starting)";

// File-sync clients and scanners open new files for a moment: the wake-up file is tried this often, a
// second apart, before its failure counts.
constexpr int kWakeUpTries = 6;
constexpr unsigned kWakeUpRetryMs = 1000;

constexpr int kExitRegistryError = 2;
constexpr int kExitFatal = 3;

// To nearest, ties to even, clamped to 32 bits.
std::int32_t RoundToLong(double value) {
  constexpr double kMin = std::numeric_limits<std::int32_t>::min();
  constexpr double kMax = std::numeric_limits<std::int32_t>::max();
  const double rounded = std::nearbyint(value);
  if (!(rounded >= kMin)) return std::numeric_limits<std::int32_t>::min();
  if (rounded > kMax) return std::numeric_limits<std::int32_t>::max();
  return static_cast<std::int32_t>(rounded);
}

// Whether a window value is the one a field holds. Where twips per pixel is not whole (168 dpi: 8.57) a
// window value is rarely a whole number of twips; the field holds it rounded down when it was read at
// start, or to nearest when it was stored. Either counts as unchanged, or the geometry would be written
// every second while nothing moves. A real move is at least a pixel, several twips, so none is missed.
bool SameTwips(float value, std::int32_t field) {
  const double twips = value;
  return std::floor(twips) == field || RoundToLong(twips) == field;
}

}  // namespace

// --- Layout operations shared by the handlers ---

bool Main::IsNormal() { return platform_.Caption(Control::cmdTurnOff) == kNormalCaption; }

void Main::ApplySavedGeometry() {
  platform_.MoveWidget({static_cast<float>(lngLeft), static_cast<float>(lngTop), static_cast<float>(lngRight),
                        static_cast<float>(lngBottom)});
}

void Main::StartupIndicator() {
  const bool enabled = intStartup == 1;
  platform_.SetCaption(Control::cmdSettings, enabled ? "-" : "+");
  platform_.SetToolTip(Control::cmdSettings, enabled ? kStartupTip : kNoStartupTip);
}

// --- Events ---

void Main::Click(Control control) {
  if (control == Control::cmdTurnOff) cmdTurnOff_Click();
  if (control == Control::cmdSettings) cmdSettings_Click();
}

void Main::Tick(Timer timer) {
  if (timer == Timer::tmr) tmr_Timer();
  if (timer == Timer::tmrSticky) tmrSticky_Timer();
}

// --- Start-up ---

void Main::Form_Load() {
  inHandlerWithBoxes_ = true;
  if (platform_.RunningCopyFound()) {
    if (turnOffAtStart_) {
      PassOnTurnOff();
    } else {
      AnswerSecondCopy();
    }
    if (!ended_) EndProgram(0);
    return;
  }
  platform_.MarkThisCopy();
  if (!platform_.KeyOpens(Key::kSettings) && !CreateAndSeedSettings()) return;
  ReadSettings();

  ApplySavedGeometry();
  KeepReachable(platform_);
  platform_.KeepOnTop();
  platform_.ShowNormalFace();
  StartupIndicator();
  platform_.EnableTimer(Timer::tmrSticky, true);
  inHandlerWithBoxes_ = false;
  turnOffWished_ = turnOffWished_ || turnOffAtStart_;
  CarryOutTurnOffWish();
}

void Main::WindowNotCreated() { Fatal("Could not create the window", kTitle); }

// A second copy only passes the wish on: the running copy, wherever it is kept, looks for the wake-up file in
// its own folder. Where that folder cannot be written, a window message carries the wish instead.
void Main::AnswerSecondCopy() {
  if (!platform_.Ask(kSecondCopyText, kTitle)) return;
  Text path;
  if (TryForAWhile([&] { return LeaveWakeUpFile(&path); }) || platform_.PostWish(Wish::kWakeUp)) return;
  Fatal("Could not write the wake-up file", path.empty() ? kNoRunningCopy : path.view());
}

// A running copy whose folder cannot be found yet may still be starting: worth another try, as a file held.
FileWrite Main::LeaveWakeUpFile(Text* path) {
  const FileWrite written = platform_.LeaveWakeUpFile(path);
  return path->empty() ? FileWrite::kHeld : written;
}

// Started to turn the display off while a copy runs: that copy does it, and this one asks nothing.
void Main::PassOnTurnOff() {
  const bool passed = TryForAWhile(
      [&] { return platform_.PostWish(Wish::kTurnOff) ? FileWrite::kWritten : FileWrite::kHeld; });
  if (!passed) Fatal("Could not ask the running copy to turn the display off", kNoRunningWindow);
}

// The running copy may still be starting, or another program may hold the file for a moment: an attempt that
// may succeed later is made again, a second apart, this often in all.
template <typename Attempt>
bool Main::TryForAWhile(Attempt attempt) {
  for (int tried = 1; tried <= kWakeUpTries; ++tried) {
    if (tried > 1) platform_.Sleep(kWakeUpRetryMs);
    const FileWrite result = attempt();
    if (result != FileWrite::kHeld) return result == FileWrite::kWritten;
  }
  return false;
}

// First run: creates the key, seeds it from the designed window and offers the readme. False after telling
// the user that the registry cannot be used.
bool Main::CreateAndSeedSettings() {
  if (!platform_.CreateKey(Key::kSettings)) {
    platform_.Tell(Text(kRegistryErrorText) + kSupportEmail, kTitle, Alert::kWarning);
    EndProgram(kExitRegistryError);
    return false;
  }
  const Place designed = platform_.WidgetPlace();
  WriteGeometryValue(platform_, kTopValue, designed.top);
  WriteGeometryValue(platform_, kBottomValue, designed.height);
  WriteGeometryValue(platform_, kLeftValue, designed.left);
  WriteGeometryValue(platform_, kRightValue, designed.width);
  WriteStartupValue(platform_, 0);
  // No box between the key that turns the display off and a dark screen.
  if (!turnOffAtStart_ && platform_.Ask(kFirstRunText, kTitle)) OpenReadme();
  return true;
}

// The readme that comes beside the exe opens without a network; the web page only where it is missing.
void Main::OpenReadme() {
  const Text readme = platform_.FileBesideExe(kReadmeFileName);
  platform_.Open(readme.empty() ? std::string_view(kReadmeUrl) : readme.view());
}

// A value that is missing or cannot be converted gets what a first run would store, so one damaged value
// neither stops the program from starting nor costs the user the other settings. The window still has
// its designed geometry here, which is what a first run stores.
void Main::ReadSettings() {
  const Place designed = platform_.WidgetPlace();
  lngTop = ReadGeometry(kTopValue, designed.top);
  lngLeft = ReadGeometry(kLeftValue, designed.left);
  lngBottom = ReadGeometry(kBottomValue, designed.height);
  lngRight = ReadGeometry(kRightValue, designed.width);
  intStartup = ReadStartup();
}

std::int32_t Main::ReadGeometry(const char* name, float designed) {
  constexpr std::int64_t kMin = std::numeric_limits<std::int32_t>::min();
  constexpr std::int64_t kMax = std::numeric_limits<std::int32_t>::max();
  const Text separator = platform_.DecimalSeparator();
  std::int64_t value = 0;
  if (!ParseSetting(platform_.ReadText(Key::kSettings, name), separator, kMin, kMax, &value)) {
    WriteGeometryValue(platform_, name, designed);
    ParseSetting(FormatNumber(designed, separator), separator, kMin, kMax, &value);
  }
  return static_cast<std::int32_t>(value);
}

std::int16_t Main::ReadStartup() {
  constexpr std::int64_t kMin = std::numeric_limits<std::int16_t>::min();
  constexpr std::int64_t kMax = std::numeric_limits<std::int16_t>::max();
  std::int64_t value = 0;
  if (!ParseSetting(platform_.ReadText(Key::kSettings, kStartupValue), platform_.DecimalSeparator(), kMin, kMax,
                    &value)) {
    WriteStartupValue(platform_, 0);
    value = 0;
  }
  return static_cast<std::int16_t>(value);
}

// --- Blanking ---

void Main::cmdTurnOff_Click() {
  if (IsNormal()) {
    platform_.SetCaption(Control::cmdTurnOff, kBlankedCaption);
    platform_.EnableTimer(Timer::tmr, true);
    platform_.CoverScreen();
    // At once rather than on the first tick, which comes only after the whole screen is painted red.
    platform_.AskDisplayOff();
  } else {
    platform_.SetCaption(Control::cmdTurnOff, kNormalCaption);
    ApplySavedGeometry();
    KeepReachable(platform_);
    platform_.ShowNormalFace();
    platform_.EnableTimer(Timer::tmr, false);
  }
}

void Main::tmr_Timer() {
  if (ended_) return;
  platform_.KeepOnTop();
  platform_.AskDisplayOff();
}

// --- Position keeper ---

void Main::tmrSticky_Timer() {
  if (ended_ || !IsNormal()) return;
  AnswerWakeUp();
  if (ended_) return;
  StoreGeometryIfChanged();
}

void Main::Form_Unload() {
  // A move made since the last tick would otherwise be lost.
  if (!ended_ && IsNormal()) StoreGeometryIfChanged();
}

// The file or a window message asks for it; either way the widget goes to the corner.
void Main::AnswerWakeUp() {
  const bool wished = std::exchange(wakeUpWished_, false);
  const bool fileTaken = TakeWakeUpFile();
  if (ended_ || !(wished || fileTaken)) return;
  const Place place = platform_.WidgetPlace();
  platform_.MoveWidget({0, 0, place.width, place.height});
}

// Whether the wake-up file was there and is gone now.
bool Main::TakeWakeUpFile() {
  Text path;
  const WakeUpFile found = platform_.TakeWakeUpFile(&path);
  if (found != WakeUpFile::kHeld) {
    failedDeletes_ = 0;
    return found == WakeUpFile::kTaken;
  }
  if (++failedDeletes_ == kWakeUpTries) Fatal("Could not delete the wake-up file", path);
  return false;
}

void Main::StoreGeometryIfChanged() {
  const Place place = platform_.WidgetPlace();
  if (SameTwips(place.top, lngTop) && SameTwips(place.left, lngLeft) && SameTwips(place.height, lngBottom) &&
      SameTwips(place.width, lngRight)) {
    return;
  }
  WriteGeometryValue(platform_, kTopValue, place.top);
  WriteGeometryValue(platform_, kBottomValue, place.height);
  WriteGeometryValue(platform_, kLeftValue, place.left);
  WriteGeometryValue(platform_, kRightValue, place.width);
  lngTop = RoundToLong(place.top);
  lngLeft = RoundToLong(place.left);
  lngBottom = RoundToLong(place.height);
  lngRight = RoundToLong(place.width);
}

// --- Start with Windows ---

void Main::cmdSettings_Click() {
  inHandlerWithBoxes_ = true;
  intStartup = ToggleStartWithWindows(platform_, intStartup);
  StartupIndicator();
  platform_.SetFocus(Control::cmdTurnOff);
  inHandlerWithBoxes_ = false;
  CarryOutTurnOffWish();
}

// --- Wishes of later copies ---

// A wake-up is taken on the next tick in the normal state, as the file is. Turning off waits for a box that
// is open to be answered: blanked under it, the face would take no click to come back.
void Main::Wished(Wish wish) {
  if (wish == Wish::kWakeUp) {
    wakeUpWished_ = true;
    return;
  }
  turnOffWished_ = true;
  if (!inHandlerWithBoxes_) CarryOutTurnOffWish();
}

// Blanked already, nothing changes.
void Main::CarryOutTurnOffWish() {
  if (std::exchange(turnOffWished_, false) && !ended_ && IsNormal()) cmdTurnOff_Click();
}

// --- Ending ---

// The one way out after a failure nobody can mend from inside: timers stop first, so that no tick
// runs into the same failure while the box is open.
void Main::Fatal(std::string_view failure, std::string_view concerned) {
  platform_.EnableTimer(Timer::tmr, false);
  platform_.EnableTimer(Timer::tmrSticky, false);
  ended_ = true;
  platform_.Tell(Text(failure) + ":\r\n" + concerned, kTitle, Alert::kError);
  EndProgram(kExitFatal);
}

void Main::EndProgram(int exitCode) {
  ended_ = true;
  exitCode_ = exitCode;
  platform_.EndProcess(exitCode);
}

}  // namespace dimlux
