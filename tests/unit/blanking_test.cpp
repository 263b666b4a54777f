#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "tests/unit/main_fixture.h"

namespace dimlux::test {
namespace {

using ::testing::ElementsAre;

class BlankingTest : public MainTest {
 protected:
  std::string BlankingCall() {
    fake.ClearCalls();
    main.cmdTurnOff_Click();
    return fake.Calls().size() == 1 ? fake.Calls()[0] : "calls: " + std::to_string(fake.Calls().size());
  }
};

TEST_F(BlankingTest, TurnOffCoversTheScreenWithTheButton) {
  LoadStored();
  EXPECT_EQ(BlankingCall(), "SetWindowPos 0x1a2b -1 -2 -5 15360 11520 0x40");
  EXPECT_EQ(fake.button(Control::cmdTurnOff).caption, "Turn On");
  EXPECT_TRUE(fake.timerEnabled[Timer::tmr]);
  EXPECT_EQ(fake.ButtonWidth(Control::cmdTurnOff), fake.ScaleWidth());
  EXPECT_EQ(fake.button(Control::cmdTurnOff).height * 15, fake.ScaleHeight());
  EXPECT_TRUE(fake.boxes.empty());
  EXPECT_EQ(main.lngTop, 1500);
  EXPECT_EQ(main.lngRight, 1830);
}

TEST_F(BlankingTest, SizeIsTheScreenInTwipsRoundedToNearestEven) {
  fake.tppX = 1440.0f / 136;  // 136 dpi across, 120 down
  fake.tppY = 12;
  LoadStored();
  EXPECT_EQ(BlankingCall(), "SetWindowPos 0x1a2b -1 -2 -5 10842 9216 0x40");  // 10842.35
  main.cmdTurnOff_Click();

  fake.tppX = fake.tppY = 7.5f;  // 192 dpi: odd pixel counts give exact halves
  fake.screenX = 1365;
  fake.screenY = 1367;
  EXPECT_EQ(BlankingCall(), "SetWindowPos 0x1a2b -1 -2 -5 10238 10252 0x40");  // 10237.5, 10252.5
}

TEST_F(BlankingTest, TurnOnReturnsToTheStoredGeometryNotTheLastPosition) {
  LoadStored();
  fake.leftPx = 400;  // dragged less than a second ago: not stored yet
  fake.widthPx = 150;
  main.cmdTurnOff_Click();
  fake.ClearCalls();
  main.cmdTurnOff_Click();
  EXPECT_TRUE(fake.Calls().empty()) << fake.Calls()[0];
  EXPECT_EQ(fake.button(Control::cmdTurnOff).caption, "Turn Off");
  EXPECT_FALSE(fake.timerEnabled[Timer::tmr]);
  EXPECT_EQ(fake.Top(), 1500);
  EXPECT_EQ(fake.Left(), 3000);
  EXPECT_EQ(fake.Height(), 705);
  EXPECT_EQ(fake.Width(), 1830);
  EXPECT_EQ(fake.ButtonWidth(Control::cmdTurnOff), 1740 - 375);
  EXPECT_EQ(fake.button(Control::cmdTurnOff).height * 15, 360);
}

TEST_F(BlankingTest, OnlyTheExactCaptionTurnOffMeansNormal) {
  LoadStored();
  fake.SetCaption(Control::cmdTurnOff, "turn off");
  fake.ClearCalls();
  main.cmdTurnOff_Click();
  EXPECT_TRUE(fake.Calls().empty());
  EXPECT_EQ(fake.button(Control::cmdTurnOff).caption, "Turn Off");
  EXPECT_EQ(BlankingCall(), "SetWindowPos 0x1a2b -1 -2 -5 15360 11520 0x40");
}

TEST_F(BlankingTest, TickKeepsOnTopThenSwitchesTheDisplayOff) {
  LoadStored();
  main.cmdTurnOff_Click();
  fake.ClearCalls();
  main.tmr_Timer();
  main.tmr_Timer();
  EXPECT_THAT(fake.Calls(), ElementsAre("SetWindowPos 0x1a2b -1 0 0 0 0 0x43", "SendMessageA 0x1a2b 0x112 0xf170 2",
                                        "SetWindowPos 0x1a2b -1 0 0 0 0 0x43", "SendMessageA 0x1a2b 0x112 0xf170 2"));
  EXPECT_EQ(fake.leftPx, -2) << "keeping on top neither moves nor sizes";
  EXPECT_EQ(fake.widthPx, 15360);
}

}  // namespace
}  // namespace dimlux::test
