#include "settings/settings.h"

#include "tests/unit/main_fixture.h"

namespace dimlux::test {
namespace {

class SettingsTest : public MainTest {};

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
    Main loaded(fake);
    fake.CreateForm(kMainDesign, loaded);
    loaded.Form_Load();
    const bool repair = c.result == "repair";
    EXPECT_EQ(loaded.lngLeft, repair ? 10635 : std::stoi(c.result));
    EXPECT_EQ(fake.CallsStartingWith("RegSetValueExA"),
              repair ? std::vector<std::string>{"RegSetValueExA Left 10635"} : std::vector<std::string>{});
    EXPECT_EQ((std::vector{loaded.lngTop, loaded.lngBottom, loaded.lngRight, std::int32_t{loaded.intStartup}}),
              (std::vector{1500, 705, 1830, 1}));
  }
}

TEST_F(SettingsTest, OnlyAStartupTextThatReadsAsOneShowsMinus) {
  for (auto [text, caption] : std::vector<std::pair<const char*, const char*>>{{"1", "-"},
                                                                               {"1.9", "-"},
                                                                               {" +01 ", "-"},
                                                                               {"0", "+"},
                                                                               {"2", "+"},
                                                                               {"-1", "+"},
                                                                               {"0.9", "+"},
                                                                               {"65537", "+"},
                                                                               {"1,0", "+"},
                                                                               {"yes", "+"},
                                                                               {"", "+"},
                                                                               {"32768", "+"}}) {
    LoadStored(text);
    EXPECT_EQ(fake.buttons[Control::cmdSettings].caption, caption) << text;
  }
  EXPECT_EQ((std::pair{main.intStartup, Stored("Startup")}), (std::pair{std::int16_t{0}, std::string("0")}));
}

TEST(SettingsText, NumbersAreWrittenInTheLocaleAndReadBackRoundedDown) {
  for (auto [twips, separator, text, back] :
       std::vector<std::tuple<float, const char*, const char*, int>>{{6060, ".", "6060", 6060},
                                                                     {-1234, ".", "-1234", -1234},
                                                                     {-0.00001f, ".", "0", 0},
                                                                     {16777216, ".", "16777216", 16777216},
                                                                     {1234.5f, ",", "1234,5", 1234},
                                                                     {-1234.25f, ",", "-1234,25", -1235},
                                                                     {6034.2856f, ".", "6034.2856", 6034}}) {
    EXPECT_EQ(FormatNumber(twips, separator), text);
    std::int64_t value = 0;
    EXPECT_TRUE(ParseSetting(text, separator, INT32_MIN, INT32_MAX, &value) && value == back) << text;
  }
  std::int64_t value = 0;
  EXPECT_FALSE(ParseSetting("1234.5", ",", INT32_MIN, INT32_MAX, &value)) << "not this locale's separator";
  EXPECT_FALSE(ParseSetting("-2147483648.5", ".", INT32_MIN, INT32_MAX, &value)) << "rounds down out of range";
}

}  // namespace
}  // namespace dimlux::test
