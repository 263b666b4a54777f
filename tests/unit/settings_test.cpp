#include "settings/settings.h"

#include <gtest/gtest.h>

#include <limits>
#include <string>

#include "tests/unit/fake_platform.h"

namespace dimlux::test {
namespace {

constexpr const char* kKey = "Software\\Dimlux";

class SettingsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fake.AddKey(kKey);
    hKey = OpenSettingsKey(fake);
    ASSERT_NE(hKey, 0u);
  }
  void TearDown() override {
    fake.RegCloseKey(hKey);
    EXPECT_EQ(fake.OpenHandles(), 0);
  }

  std::string Read(const char* name) { return std::string(RegQueryStringValue(fake, hKey, name).view()); }

  // Writes the number as the program does and converts the stored text back.
  std::int64_t RoundTrip(float twips) {
    WriteGeometryValue(fake, hKey, "Top", twips);
    std::int64_t value = 0;
    EXPECT_TRUE(ParseSetting(Read("Top"), fake.decimalSeparator, std::numeric_limits<std::int32_t>::min(),
                             std::numeric_limits<std::int32_t>::max(), &value))
        << Read("Top");
    return value;
  }

  FakePlatform fake;
  HKey hKey = 0;
};

TEST_F(SettingsTest, GeometryIsStoredAsItsDigitsWithoutNul) {
  WriteGeometryValue(fake, hKey, "Top", 6060);
  WriteGeometryValue(fake, hKey, "Left", -1234);
  auto top = fake.GetValue(kKey, "Top");
  ASSERT_TRUE(top);
  EXPECT_EQ(top->type, kRegSz);
  EXPECT_EQ(top->bytes, std::string("6060"));  // four bytes, no terminating NUL
  EXPECT_EQ(fake.GetValue(kKey, "Left")->bytes, "-1234");
  EXPECT_EQ(Read("Top"), "6060");
  EXPECT_EQ(RoundTrip(-1234), -1234);
  EXPECT_EQ(RoundTrip(0), 0);
  EXPECT_EQ(RoundTrip(-0.00001f), 0);
  EXPECT_EQ(fake.GetValue(kKey, "Top")->bytes, "0");
  EXPECT_EQ(RoundTrip(16777216), 16777216);
  WriteStartupValue(fake, hKey, 1);
  EXPECT_EQ(fake.GetValue(kKey, "Startup")->bytes, "1");
}

TEST_F(SettingsTest, FractionsUseTheLocaleSeparatorAndRoundDown) {
  fake.decimalSeparator = ",";
  WriteGeometryValue(fake, hKey, "Top", 1234.5f);
  EXPECT_EQ(fake.GetValue(kKey, "Top")->bytes, "1234,5");
  EXPECT_EQ(RoundTrip(1234.7f), 1234);
  EXPECT_EQ(RoundTrip(-0.5f), -1);
  EXPECT_EQ(RoundTrip(-1234.25f), -1235);

  std::int64_t value = 0;
  EXPECT_FALSE(ParseSetting("1234.7", ",", 0, 10000, &value)) << "'.' is not this locale's separator";
  EXPECT_TRUE(ParseSetting("1234.7", ".", 0, 10000, &value));
  EXPECT_EQ(value, 1234);
  EXPECT_TRUE(ParseSetting("-0.5", ".", -10, 10, &value));
  EXPECT_EQ(value, -1);
}

TEST_F(SettingsTest, ConversionRejectsWhatIsNotANumberInRange) {
  std::int64_t value = 77;
  for (const char* bad : {"", " ", "abc", "12abc", "-", ",", "1e3", "1 000", "--1"}) {
    EXPECT_FALSE(ParseSetting(bad, ",", -100000, 100000, &value)) << '"' << bad << '"';
  }
  EXPECT_EQ(value, 77);
  constexpr std::int64_t kLongMax = std::numeric_limits<std::int32_t>::max();
  constexpr std::int64_t kLongMin = std::numeric_limits<std::int32_t>::min();
  EXPECT_TRUE(ParseSetting("2147483647", ".", kLongMin, kLongMax, &value));
  EXPECT_FALSE(ParseSetting("2147483648", ".", kLongMin, kLongMax, &value));
  EXPECT_TRUE(ParseSetting("-2147483648", ".", kLongMin, kLongMax, &value));
  EXPECT_FALSE(ParseSetting("-2147483648.5", ".", kLongMin, kLongMax, &value)) << "rounds down below the range";
  EXPECT_FALSE(ParseSetting("99999999999999999999999", ".", kLongMin, kLongMax, &value));
  EXPECT_FALSE(ParseSetting("32768", ".", -32768, 32767, &value));
}

TEST_F(SettingsTest, ReadingStopsAtTheFirstNulAndIgnoresTheType) {
  fake.PutValue(kKey, "Top", std::string("6060\0garbage", 12));
  EXPECT_EQ(Read("Top"), "6060");
  fake.PutValue(kKey, "Left", std::string("42\0\0", 4), kRegDword);  // the DWORD 0x3234, read as bytes
  EXPECT_EQ(Read("Left"), "42");
  fake.PutValue(kKey, "Right", std::string("\x01\0\0\0", 4), kRegDword);
  EXPECT_EQ(Read("Right"), "\x01");
}

TEST_F(SettingsTest, AbsentOrOversizedValuesReadAsEmpty) {
  EXPECT_EQ(Read("Top"), "");
  fake.PutValue(kKey, "A254", std::string(254, '7'));
  fake.PutValue(kKey, "A255", std::string(255, '7'));
  fake.PutValue(kKey, "A256", std::string(256, '7'));
  fake.PutValue(kKey, "A255Nul", std::string(255, '7') + '\0');
  EXPECT_EQ(Read("A254"), std::string(254, '7'));
  EXPECT_EQ(Read("A255"), std::string(255, '7'));  // fills the buffer exactly: returned whole
  EXPECT_EQ(Read("A256"), "");
  EXPECT_EQ(Read("A255Nul"), "");
  EXPECT_EQ(RegQueryStringValue(fake, 0, "Top").size(), 0u) << "no key open";
}

}  // namespace
}  // namespace dimlux::test
