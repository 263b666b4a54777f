#include "settings/settings.h"

#include <cmath>

namespace dimlux {

namespace {

constexpr int kFractionDigits = 4;
constexpr std::uint64_t kFractionScale = 10000;
// Beyond this a float has no fraction left, and no window gets anywhere near it.
constexpr double kLargestWritten = 1e15;

void AppendDigits(Text& text, std::uint64_t number, int minDigits) {
  char digits[24];
  int count = 0;
  do {
    digits[count++] = static_cast<char>('0' + number % 10);
    number /= 10;
  } while (number != 0 || count < minDigits);
  while (count > 0) text += digits[--count];
}

bool IsBlank(char c) { return c == ' ' || c == '\t'; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

std::string_view TrimBlanks(std::string_view text) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  return text;
}

}  // namespace

void WriteGeometryValue(Platform& platform, const char* strValueName, float twips) {
  platform.WriteText(Key::kSettings, strValueName, FormatNumber(twips, platform.DecimalSeparator()));
}

void WriteStartupValue(Platform& platform, std::int16_t intStartup) {
  platform.WriteText(Key::kSettings, kStartupValue, intStartup == 1 ? "1" : "0");
}

Text FormatNumber(float value, std::string_view decimalSeparator) {
  double magnitude = std::fabs(static_cast<double>(value));
  if (!(magnitude < kLargestWritten)) magnitude = std::isnan(magnitude) ? 0 : kLargestWritten;
  const auto scaled = static_cast<std::uint64_t>(std::llround(magnitude * kFractionScale));
  const std::uint64_t whole = scaled / kFractionScale;
  std::uint64_t fraction = scaled % kFractionScale;

  Text text;
  if (value < 0 && scaled != 0) text += '-';
  AppendDigits(text, whole, 1);
  if (fraction != 0) {
    int digits = kFractionDigits;
    while (fraction % 10 == 0) {
      fraction /= 10;
      --digits;
    }
    text += decimalSeparator;
    AppendDigits(text, fraction, digits);
  }
  return text;
}

bool ParseSetting(std::string_view text, std::string_view decimalSeparator, std::int64_t min, std::int64_t max,
                  std::int64_t* value) {
  constexpr std::int64_t kSaturated = std::int64_t{1} << 62;  // far outside any range asked for
  text = TrimBlanks(text);
  std::size_t at = 0;
  const bool negative = at < text.size() && text[at] == '-';
  if (at < text.size() && (text[at] == '-' || text[at] == '+')) ++at;
  int digits = 0;
  std::int64_t whole = 0;
  for (; at < text.size() && IsDigit(text[at]); ++at, ++digits) {
    whole = whole < kSaturated / 10 ? whole * 10 + (text[at] - '0') : kSaturated;
  }
  bool fractionNonZero = false;
  if (!decimalSeparator.empty() && std::string_view(text.data() + at, text.size() - at).starts_with(decimalSeparator)) {
    at += decimalSeparator.size();
    for (; at < text.size() && IsDigit(text[at]); ++at, ++digits) fractionNonZero = fractionNonZero || text[at] != '0';
  }
  if (digits == 0 || at != text.size()) return false;
  // Rounding down: a negative number with a fraction goes to the next lower integer.
  const std::int64_t result = negative ? -whole - (fractionNonZero ? 1 : 0) : whole;
  if (result < min || result > max) return false;
  *value = result;
  return true;
}

}  // namespace dimlux
