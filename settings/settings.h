// The per-user settings key: where it is, how its values are written, read and converted.
#pragma once

#include <cstdint>
#include <string_view>

#include "platform/platform.h"

namespace dimlux {

constexpr const char* kSettingsSubKey = "Software\\Dimlux";
constexpr const char* kTopValue = "Top";
constexpr const char* kLeftValue = "Left";
constexpr const char* kBottomValue = "Bottom";  // holds the window's height
constexpr const char* kRightValue = "Right";    // holds the window's width
constexpr const char* kStartupValue = "Startup";

// Opens a key under the current user with full access; 0 when it cannot be opened.
HKey OpenUserKey(Platform& platform, const char* subKey);
// The settings key, opened as above.
HKey OpenSettingsKey(Platform& platform);

// The text of a value, up to its first NUL; empty when the value is absent, too large or unreadable.
Text RegQueryStringValue(Platform& platform, HKey hKey, const char* strValueName);

// Writes a geometry value as decimal text with the user's decimal separator, without a NUL.
void WriteGeometryValue(Platform& platform, HKey hKey, const char* strValueName, float twips);
// Writes the start-up flag as its one-character text.
void WriteStartupValue(Platform& platform, HKey hKey, std::int16_t intStartup);
// Opens the key, writes the start-up flag and closes the key again.
void StoreStartupSetting(Platform& platform, std::int16_t intStartup);

// Decimal text of a twip value: digits for a whole number, otherwise up to four decimals.
Text FormatNumber(float value, std::string_view decimalSeparator);

// Converts settings text to a number rounded down (toward minus infinity), exactly: no fraction, however
// long, rounds up into the next integer. Accepts blanks around it, a sign, digits and one decimal
// separator; no exponent, no thousands separators. False when the text is empty, not such a number, or
// outside [min, max].
bool ParseSetting(std::string_view text, std::string_view decimalSeparator, std::int64_t min, std::int64_t max,
                  std::int64_t* value);

}  // namespace dimlux
