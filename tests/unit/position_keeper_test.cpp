#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "tests/unit/main_fixture.h"

namespace dimlux::test {
namespace {

using ::testing::ElementsAre;

class PositionKeeperTest : public MainTest {
 protected:
  void PutWakeUpFile(Dword attributes) { fake.files[kWakeUpFile] = {"Get up :)\r\n", attributes}; }
};

TEST_F(PositionKeeperTest, UnchangedTickTouchesNothing) {
  LoadStored();
  main.tmrSticky_Timer();
  main.tmrSticky_Timer();
  EXPECT_TRUE(fake.Calls().empty());
}

TEST_F(PositionKeeperTest, MoveIsStoredOnceInTheOrderTopBottomLeftRight) {
  LoadStored();
  fake.leftPx = 300;
  fake.topPx = 50;
  main.tmrSticky_Timer();
  EXPECT_THAT(RegistryCalls(),
              ElementsAre("RegOpenKeyExA Software\\Dimlux", "RegSetValueExA Top 750", "RegSetValueExA Bottom 705",
                          "RegSetValueExA Left 4500", "RegSetValueExA Right 1830", "RegCloseKey"));
  EXPECT_EQ(Stored("Top"), "750");
  EXPECT_EQ(Stored("Left"), "4500");
  EXPECT_EQ(main.lngTop, 750);
  EXPECT_EQ(main.lngLeft, 4500);
  fake.ClearCalls();
  main.tmrSticky_Timer();
  EXPECT_TRUE(RegistryCalls().empty());
}

TEST_F(PositionKeeperTest, PartTwipGeometryIsStoredOnEveryTickAndFieldsRoundToEven) {
  fake.tppX = fake.tppY = 7.5f;
  fake.decimalSeparator = ",";
  LoadStored();
  fake.topPx = 103;   // 772.5 twips
  fake.leftPx = 100;  // 750 twips
  main.tmrSticky_Timer();
  EXPECT_EQ(Stored("Top"), "772,5");
  EXPECT_EQ(Stored("Left"), "750");
  EXPECT_EQ(main.lngTop, 772);
  EXPECT_EQ(main.lngLeft, 750);
  fake.ClearCalls();
  main.tmrSticky_Timer();
  EXPECT_EQ(fake.CallsStartingWith("RegSetValueExA").size(), 4u);
}

TEST_F(PositionKeeperTest, WakeUpFileBringsTheWidgetToTheCorner) {
  LoadStored();
  PutWakeUpFile(kFileArchive);
  main.tmrSticky_Timer();
  EXPECT_EQ(fake.files.count(kWakeUpFile), 0u);
  EXPECT_EQ(fake.Top(), 0);
  EXPECT_EQ(fake.Left(), 0);
  EXPECT_EQ(Stored("Top"), "0");
  EXPECT_EQ(Stored("Left"), "0");
  EXPECT_EQ(Stored("Right"), "1830");
}

TEST_F(PositionKeeperTest, HiddenOrSystemWakeUpFileIsIgnored) {
  for (Dword attributes : {kFileHidden, kFileSystem}) {
    SCOPED_TRACE(attributes);
    LoadStored();
    PutWakeUpFile(attributes);
    main.tmrSticky_Timer();
    EXPECT_EQ(fake.files.count(kWakeUpFile), 1u);
    EXPECT_EQ(fake.Left(), 3000);
    EXPECT_TRUE(fake.Calls().empty());
  }
}

TEST_F(PositionKeeperTest, NothingHappensWhileBlanked) {
  LoadStored();
  main.cmdTurnOff_Click();
  PutWakeUpFile(kFileArchive);
  fake.ClearCalls();
  main.tmrSticky_Timer();
  main.Form_Unload();
  EXPECT_TRUE(fake.Calls().empty());
  EXPECT_EQ(fake.files.count(kWakeUpFile), 1u);
  EXPECT_EQ(Stored("Right"), "1830");

  main.cmdTurnOff_Click();
  main.tmrSticky_Timer();
  EXPECT_EQ(fake.files.count(kWakeUpFile), 0u);
  EXPECT_EQ(Stored("Top"), "0");
  EXPECT_EQ(Stored("Right"), "1830");
}

TEST_F(PositionKeeperTest, UndeletableWakeUpFileEndsTheProgramOnce) {
  LoadStored();
  PutWakeUpFile(kFileReadOnly);
  main.tmrSticky_Timer();
  main.tmrSticky_Timer();
  ASSERT_EQ(fake.boxes.size(), 1u);
  EXPECT_EQ(fake.boxes[0].title, "Dimlux");
  EXPECT_EQ(fake.boxes[0].style, 0x10u);
  EXPECT_NE(fake.boxes[0].text.find(kWakeUpFile), std::string::npos) << fake.boxes[0].text;
  EXPECT_FALSE(fake.timerEnabled[Timer::tmrSticky]);
  EXPECT_FALSE(fake.timerEnabled[Timer::tmr]);
  ASSERT_TRUE(fake.exitCode);
  EXPECT_NE(*fake.exitCode, 0);
  EXPECT_EQ(fake.CallsStartingWith("EndProcess").size(), 1u);
  EXPECT_EQ(fake.Left(), 3000);
}

TEST_F(PositionKeeperTest, ClosingStoresAMoveNotYetStored) {
  LoadStored();
  fake.leftPx = 10;
  main.Form_Unload();
  EXPECT_EQ(Stored("Left"), "150");
  fake.ClearCalls();
  main.Form_Unload();
  EXPECT_TRUE(RegistryCalls().empty());
}

}  // namespace
}  // namespace dimlux::test
