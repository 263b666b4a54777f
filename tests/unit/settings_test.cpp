#include "settings/settings.h"

#include "tests/unit/main_fixture.h"

namespace dimlux::test {
namespace {

class SettingsTest : public MainTest {};

// A number as written with a decimal separator, and what reading that text back gives.
struct NumberText {
  float twips;
  const char* separator;
  const char* text;
  int readBack;
};

TEST_F(SettingsTest, EachStoredFormOfLeftIsUsedRoundedDownOrRepairedAlone) {
  ASSERT_EQ(Cases().size(), 16u);
  for (const Case& c : Cases()) {
    SCOPED_TRACE(c.name);
    fake = FakePlatform();
    fake.keys[kSettingsKey] = {{"Top", {kRegSz, "1500"}},
                               {"Bottom", {kRegSz, "705"}},
                               {"Right", {kRegSz, "1830"}},
                               {"Startup", {kRegSz, "1"}}};
    if (c.stored) fake.keys[kSettingsKey]["Left"] = *c.stored;
    const Main loaded = StartAgain();
    if (c.result == "repair") {
      EXPECT_EQ(loaded.lngLeft, 10635);
      EXPECT_THAT(fake.CallsStartingWith("RegSetValueExA"), ElementsAre("RegSetValueExA Left 10635"));
    } else {
      EXPECT_EQ(loaded.lngLeft, std::stoi(c.result));
      EXPECT_THAT(fake.CallsStartingWith("RegSetValueExA"), ElementsAre());
    }
    EXPECT_THAT((std::vector{loaded.lngTop, loaded.lngBottom, loaded.lngRight}), ElementsAre(1500, 705, 1830));
    EXPECT_EQ(loaded.intStartup, 1);
  }
}

TEST_F(SettingsTest, OnlyAStartupTextThatReadsAsOneShowsMinus) {
  for (const char* text : {"1", "1.9", " +01 "}) {
    LoadStored(text);
    EXPECT_EQ(SettingsCaption(), "-") << text;
  }
  for (const char* text : {"0", "2", "-1", "0.9", "65537", "1,0", "yes", "", "32768"}) {
    LoadStored(text);
    EXPECT_EQ(SettingsCaption(), "+") << text;
  }
  EXPECT_EQ(main.intStartup, 0);
  EXPECT_EQ(Stored("Startup"), "0") << "one outside 16 bits is repaired";
}

TEST(SettingsText, NumbersAreWrittenWithTheSeparatorAndReadBackRoundedDown) {
  const std::vector<NumberText> numbers = {
      {6060, ".", "6060", 6060},
      {-1234, ".", "-1234", -1234},
      {-0.00001f, ".", "0", 0},
      {16777216, ".", "16777216", 16777216},
      {1234.5f, ",", "1234,5", 1234},
      {-1234.25f, ",", "-1234,25", -1235},
      {6034.2856f, ".", "6034.2856", 6034},
  };
  for (const NumberText& number : numbers) {
    EXPECT_EQ(FormatNumber(number.twips, number.separator), number.text);
    std::int64_t value = 0;
    EXPECT_TRUE(ParseSetting(number.text, number.separator, INT32_MIN, INT32_MAX, &value)) << number.text;
    EXPECT_EQ(value, number.readBack) << number.text;
  }
  std::int64_t value = 0;
  EXPECT_FALSE(ParseSetting("1234.5", ",", INT32_MIN, INT32_MAX, &value)) << "not this locale's separator";
  EXPECT_FALSE(ParseSetting("-2147483648.5", ".", INT32_MIN, INT32_MAX, &value)) << "rounds down out of range";
}

}  // namespace
}  // namespace dimlux::test
