// libFuzzer target: whatever texts the five settings values hold, Form_Load starts the widget; each value is used as
// read (and left alone) or rewritten as a first run stores it, and nothing else happens. Input: byte 0 bit 0 picks
// "," as the decimal separator, bits 1-2 the display density; then per value (Top, Left, Bottom, Right, Startup) a
// kind byte (bits 0-2 zero: absent), a 2-byte little-endian length and that many bytes of text, of which a read gives
// at most 255; missing input: absent values. With bit 7 of byte 0 set, the rest is a command line instead: Dimlux
// starts on it (blanked for the switch), or refuses it with one box and does nothing else.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "app/command_line.h"
#include "app/design.h"
#include "app/main_form.h"
#include "app/start.h"
#include "settings/settings.h"
#include "tests/unit/fake_platform.h"

namespace dimlux {
namespace {

constexpr const char* kNames[5] = {kTopValue, kLeftValue, kBottomValue, kRightValue, kStartupValue};
constexpr float kTwipsPerPixel[4] = {15.0f, 12.0f, 10.0f, 1440.0f / 168.0f};

void Check(bool condition) {
  if (!condition) __builtin_trap();
}

// Whether a value's text reads as a number, rounded down and in range, that a C-library double agrees with.
bool Converted(std::string text, bool isStartup, const std::string& separator, std::int64_t* number) {
  const std::int64_t max = isStartup ? INT16_MAX : INT32_MAX;
  if (!ParseSetting(text, separator, -max - 1, max, number)) return false;
  std::replace(text.begin(), text.end(), separator[0], '.');  // the one separator a number read has, as strtod reads it
  const bool fraction = text.find_first_of("123456789", text.find('.')) != std::string::npos;
  const double asDouble = std::strtod(text.c_str(), nullptr), low = static_cast<double>(*number);
  Check(fraction ? low <= asDouble && asDouble <= low + 1 : asDouble == low);
  return true;
}

void Start(test::FakePlatform& platform, Main& main, std::uint8_t flags) {
  platform.decimalSeparator = (flags & 1) ? "," : ".";
  platform.tpp = kTwipsPerPixel[(flags >> 1) & 3];
  platform.CreateForm(kMainDesign, main);
  main.Form_Load();
  Check(!main.Ended() && platform.timerEnabled.at(Timer::tmrSticky));
}

void RunCommandLine(std::string_view commandLine) {
  test::FakePlatform platform;
  const int exitCode = StartProgram(platform, commandLine);
  const Request request = ParseCommandLine(commandLine);
  if (request != Request::kUnknown) {
    Check(exitCode == 0 && platform.timerEnabled.at(Timer::tmrSticky));
    Check((request == Request::kTurnOff) == (platform.captions.at(Control::cmdTurnOff) == "Turn On"));
    return;
  }
  Check(exitCode == 1 && platform.boxes.size() == 1 && platform.keys.size() == 1);  // the Run key alone, as it was
}

void RunOne(const std::uint8_t* data, std::size_t size) {
  if (size > 0 && (data[0] & 0x80) != 0) {
    RunCommandLine(std::string_view(reinterpret_cast<const char*>(data + 1), size - 1));
    return;
  }
  std::size_t at = 0;
  auto byte = [&] { return at < size ? data[at++] : std::uint8_t{0}; };  // past the end: 0, an absent value
  test::FakePlatform firstRun, platform;
  Main seeded(firstRun), main(platform);
  const std::uint8_t flags = byte();
  Start(firstRun, seeded, flags);
  auto& values = platform.keys[Key::kSettings];
  for (const char* name : kNames) {
    const std::uint8_t kind = byte() & 7;
    const std::size_t length = std::min<std::size_t>(byte() | (std::size_t{byte()} << 8), size - at);
    if (kind != 0)
      values[name] = std::string(reinterpret_cast<const char*>(data + at), std::min<std::size_t>(length, 255));
    at += length;
  }
  const auto before = values;
  Start(platform, main, flags);
  Check(platform.boxes.empty());
  const std::int64_t fields[5] = {main.lngTop, main.lngLeft, main.lngBottom, main.lngRight, main.intStartup};
  for (int i = 0; i < 5; ++i) {
    auto old = before.find(kNames[i]);
    const std::string& now = values.at(kNames[i]);  // every value is there after loading
    std::int64_t number = 0;
    const bool used = old != before.end() && Converted(old->second, i == 4, platform.decimalSeparator, &number);
    Check(now == (used ? old->second : firstRun.keys[Key::kSettings].at(kNames[i])));
    Check(used || Converted(now, i == 4, platform.decimalSeparator, &number));  // a repair reads as it was seeded
    Check(fields[i] == number);
  }
}

}  // namespace
}  // namespace dimlux

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  dimlux::RunOne(data, size);
  return 0;
}
