// The per-user settings key: its values, how they are written and converted.
#pragma once

#include <cstdint>
#include <string_view>

#include "platform/platform.h"

namespace dimlux {

constexpr const char* kTopValue = "Top";
constexpr const char* kLeftValue = "Left";
constexpr const char* kBottomValue = "Bottom";  // holds the window's height
constexpr const char* kRightValue = "Right";    // holds the window's width
constexpr const char* kStartupValue = "Startup";

// Writes a geometry value into the settings key as decimal text with the user's decimal separator.
void WriteGeometryValue(Platform& platform, const char* strValueName, float twips);
// Writes the start-up flag into the settings key as its one-character text.
void WriteStartupValue(Platform& platform, std::int16_t intStartup);

// Decimal text of a twip value: digits for a whole number, otherwise up to four decimals.
Text FormatNumber(float value, std::string_view decimalSeparator);

// Converts settings text to a number rounded down (toward minus infinity), exactly: no fraction, however
// long, rounds up into the next integer. Accepts blanks around it, a sign, digits and one decimal
// separator; no exponent, no thousands separators. False when the text is empty, not such a number, or
// outside [min, max].
bool ParseSetting(std::string_view text, std::string_view decimalSeparator, std::int64_t min, std::int64_t max,
                  std::int64_t* value);

}  // namespace dimlux
