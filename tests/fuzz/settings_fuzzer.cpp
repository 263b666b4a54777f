// libFuzzer target: whatever the five settings values hold, Form_Load starts the widget. Each value is
// either used as read (and left alone) or rewritten with what a first run stores; nothing else happens.
//
// Input layout (a short input leaves the remaining values absent):
//   byte 0         bit 0: decimal separator "," instead of "."; bits 1-2: display density (twips per pixel)
//   then for "Top", "Left", "Bottom", "Right", "Startup" in turn:
//     1 byte       kind: bits 0-2 pick absent, REG_SZ (three codes), REG_DWORD, REG_BINARY or another
//                  type; for another type, bits 3-4 pick REG_NONE, REG_EXPAND_SZ, REG_MULTI_SZ or REG_QWORD
//     2 bytes      data length, little-endian, cut to what the input still has
//     length bytes the stored data

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <optional>
#include <string>
#include <string_view>

#include "app/design.h"
#include "app/main_form.h"
#include "settings/settings.h"
#include "tests/unit/fake_platform.h"

namespace dimlux {
namespace {

using test::FakePlatform;
using test::RegValue;

constexpr const char* kSettingsPath = "Software\\Dimlux";
constexpr std::size_t kQueryBufferSize = 255;
constexpr int kValueCount = 5;
constexpr const char* kValueNames[kValueCount] = {kTopValue, kLeftValue, kBottomValue, kRightValue, kStartupValue};
constexpr int kStartupIndex = 4;
constexpr float kTwipsPerPixel[4] = {15.0f, 12.0f, 10.0f, 1440.0f / 168.0f};  // 96, 120, 144, 168 dpi

constexpr Dword kRegNone = 0;
constexpr Dword kRegExpandSz = 2;
constexpr Dword kRegMultiSz = 7;
constexpr Dword kRegQword = 11;

void Check(bool condition) {
  if (!condition) __builtin_trap();
}

class Input {
 public:
  Input(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}

  std::uint8_t Byte() { return position_ < size_ ? data_[position_++] : 0; }
  bool AtEnd() const { return position_ >= size_; }

  std::string Bytes(std::size_t wanted) {
    const std::size_t count = std::min(wanted, size_ - position_);
    std::string bytes(reinterpret_cast<const char*>(data_ + position_), count);
    position_ += count;
    return bytes;
  }

 private:
  const std::uint8_t* data_;
  std::size_t size_;
  std::size_t position_ = 0;
};

struct Settings {
  bool commaSeparator = false;
  int density = 0;  // index into kTwipsPerPixel
  std::optional<RegValue> values[kValueCount];

  std::string_view DecimalSeparator() const { return commaSeparator ? "," : "."; }
};

std::optional<Dword> TypeOfKind(std::uint8_t kind) {
  constexpr Dword kOtherTypes[4] = {kRegNone, kRegExpandSz, kRegMultiSz, kRegQword};
  switch (kind & 7) {
    case 0: return std::nullopt;
    case 1: case 2: case 3: return kRegSz;
    case 4: return kRegDword;
    case 5: return kRegBinary;
    default: return kOtherTypes[(kind >> 3) & 3];
  }
}

Settings Decode(const std::uint8_t* data, std::size_t size) {
  Input input(data, size);
  Settings settings;
  const std::uint8_t flags = input.Byte();
  settings.commaSeparator = (flags & 1) != 0;
  settings.density = (flags >> 1) & 3;
  for (auto& value : settings.values) {
    if (input.AtEnd()) break;
    const std::optional<Dword> type = TypeOfKind(input.Byte());
    const std::size_t length = input.Byte() | (std::size_t{input.Byte()} << 8);
    std::string bytes = input.Bytes(length);
    if (type) value = RegValue{*type, std::move(bytes)};
  }
  return settings;
}

void Configure(FakePlatform& platform, const Settings& settings) {
  platform.decimalSeparator = settings.DecimalSeparator();
  platform.tppX = platform.tppY = kTwipsPerPixel[settings.density];
}

// What the program's string read yields for stored data, whatever its type: nothing when the data does
// not fit the buffer, otherwise the bytes up to the first NUL.
std::string TextAsRead(const std::optional<RegValue>& value) {
  if (!value || value->bytes.size() > kQueryBufferSize) return {};
  return value->bytes.substr(0, value->bytes.find('\0'));
}

// An accepted text, read as a double by the C library, must lie where its rounded-down value says: exactly
// on it for a whole number, otherwise within one above it (the double may round a long fraction up).
void CheckRoundedDown(std::string text, std::string_view separator, std::int64_t number) {
  const std::size_t separatorAt = text.find(separator);
  bool fractionNonZero = false;
  if (separatorAt != std::string::npos) {
    fractionNonZero = text.find_first_of("123456789", separatorAt) != std::string::npos;
    text.replace(separatorAt, separator.size(), ".");
  }
  const double asDouble = std::strtod(text.c_str(), nullptr);
  const auto low = static_cast<double>(number);
  if (fractionNonZero) {
    Check(low <= asDouble && asDouble <= low + 1);
  } else {
    Check(asDouble == low);
  }
}

std::optional<std::int64_t> Convert(const std::optional<RegValue>& value, int index, std::string_view separator) {
  const bool isStartup = index == kStartupIndex;
  const std::int64_t min = isStartup ? std::numeric_limits<std::int16_t>::min() : std::numeric_limits<std::int32_t>::min();
  const std::int64_t max = isStartup ? std::numeric_limits<std::int16_t>::max() : std::numeric_limits<std::int32_t>::max();
  const std::string text = TextAsRead(value);
  std::int64_t number = 0;
  if (!ParseSetting(text, separator, min, max, &number)) return std::nullopt;
  CheckRoundedDown(text, separator, number);
  return number;
}

// The five values as a first run stores them, for this separator and display density.
struct FirstRun {
  std::optional<RegValue> values[kValueCount];
};

FirstRun RunFirstRun(const Settings& settings) {
  FakePlatform platform;
  Configure(platform, settings);
  Main main(platform);
  platform.CreateForm(kMainDesign, main);
  main.Form_Load();
  Check(!main.Ended());
  FirstRun firstRun;
  for (int i = 0; i < kValueCount; ++i) firstRun.values[i] = platform.GetValue(kSettingsPath, kValueNames[i]);
  return firstRun;
}

// A first run depends only on the separator and the density, so each of the eight is run once.
const FirstRun& FirstRunFor(const Settings& settings) {
  static std::optional<FirstRun> cache[2][4];
  std::optional<FirstRun>& cached = cache[settings.commaSeparator ? 1 : 0][settings.density];
  if (!cached) cached = RunFirstRun(settings);
  return *cached;
}

std::int64_t Field(const Main& main, int index) {
  const std::int64_t fields[kValueCount] = {main.lngTop, main.lngLeft, main.lngBottom, main.lngRight,
                                            main.intStartup};
  return fields[index];
}

bool SameValue(const std::optional<RegValue>& a, const std::optional<RegValue>& b) {
  return a.has_value() == b.has_value() && (!a || (a->type == b->type && a->bytes == b->bytes));
}

void RunOneInput(const Settings& settings) {
  FakePlatform platform;
  Configure(platform, settings);
  platform.AddKey(kSettingsPath);
  for (int i = 0; i < kValueCount; ++i) {
    if (settings.values[i]) {
      platform.PutValue(kSettingsPath, kValueNames[i], settings.values[i]->bytes, settings.values[i]->type);
    }
  }

  Main main(platform);
  platform.CreateForm(kMainDesign, main);
  main.Form_Load();

  // The key exists, so there is no first-run box, no error box and no ending.
  Check(!main.Ended());
  Check(!platform.exitCode.has_value());
  Check(platform.boxes.empty());
  Check(platform.visible);
  Check(platform.timerEnabled.at(Timer::tmrSticky));
  Check(platform.OpenHandles() == 0);

  const FirstRun& firstRun = FirstRunFor(settings);
  for (int i = 0; i < kValueCount; ++i) {
    const std::optional<RegValue> after = platform.GetValue(kSettingsPath, kValueNames[i]);
    const std::optional<std::int64_t> converted = Convert(settings.values[i], i, settings.DecimalSeparator());
    if (converted) {
      // The stored type is not examined: data of any type that reads as a number is kept as it is.
      Check(SameValue(after, settings.values[i]));
      Check(Field(main, i) == *converted);
    } else {
      Check(after && after->type == kRegSz);
      Check(SameValue(after, firstRun.values[i]));
    }
    const std::optional<std::int64_t> convertedAfter = Convert(after, i, settings.DecimalSeparator());
    Check(convertedAfter.has_value());
    Check(Field(main, i) == *convertedAfter);
  }
}

}  // namespace
}  // namespace dimlux

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  dimlux::RunOneInput(dimlux::Decode(data, size));
  return 0;
}
