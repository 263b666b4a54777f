#include "settings/settings.h"

#include "tests/unit/main_fixture.h"

namespace dimlux::test {
namespace {

TEST_F(MainTest, EachStoredTextOfLeftIsUsedRoundedDownOrRepairedAlone) {
  ASSERT_EQ(Cases().size(), 12u);
  for (const auto& [name, text, result] : Cases()) {
    SCOPED_TRACE(name);
    LoadStored("1", "1500", text);
    const bool repaired = result == "repair";
    EXPECT_EQ(main.lngLeft, repaired ? 10635 : std::stoi(result));
    EXPECT_EQ(Stored("Left"), repaired ? "10635" : text);
    EXPECT_THAT((std::vector{main.lngTop, main.lngBottom, main.lngRight}), ElementsAre(1500, 705, 1830));
    EXPECT_THAT((std::vector{Stored("Top"), Stored("Bottom"), Stored("Right")}), ElementsAre("1500", "705", "1830"));
    EXPECT_EQ(main.intStartup, 1);
  }
}

TEST_F(MainTest, OnlyAStartupTextThatReadsAsOneShowsMinus) {
  for (const char* text : {"1", "1.9", " +01 "}) {
    LoadStored(text);
    EXPECT_EQ(fake.captions[Control::cmdSettings], "-") << text;
  }
  for (const char* text : {"0", "2", "-1", "0.9", "65537", "1,0", "yes", "", "32768"}) {
    LoadStored(text);
    EXPECT_EQ(fake.captions[Control::cmdSettings], "+") << text;
  }
  EXPECT_EQ(main.intStartup, 0);
  EXPECT_EQ(Stored("Startup"), "0") << "one outside 16 bits is repaired";
}

// Signs, no negative zero, the largest whole float and the other separator: what the other tests leave out.
TEST(SettingsText, NumbersAreWrittenWithTheSeparator) {
  EXPECT_EQ(FormatNumber(-1234.25f, ","), "-1234,25");
  EXPECT_EQ(FormatNumber(-0.00001f, "."), "0");
  EXPECT_EQ(FormatNumber(16777216, "."), "16777216");
  EXPECT_EQ(FormatNumber(6034.2856f, "."), "6034.2856");
}

}  // namespace
}  // namespace dimlux::test
