#include "app/maker.h"
#include "tests/unit/main_fixture.h"

namespace dimlux::test {
namespace {

const Box kOfferEnable{"Start on Windows startup not enabled\r\nDo you want to enable it?", "Dimlux Startup", 0x44};
const Box kOfferDisable{"Start on Windows startup enabled\r\nDo you want to disable it?", "Dimlux Startup", 0x44};
const Box kAddError{"Error adding Dimlux to system startup!", "Dimlux", 0x10};

// A primary display, the twips per pixel its dpi gives, and the rectangle blanking asks for (in twips).
struct Screen {
  float tppX, tppY;
  int pixelsX, pixelsY;
  std::vector<int> blanked;
};

// Where the readme that the zip ships beside the exe is missing: the web page.
TEST_F(MainTest, FirstRunYesOpensTheWebPageWithoutAReadmeBesideTheExe) {
  fake.answers = {kIdYes};
  Load();
  const Box firstRun{
      "You have launched this application for the first time!\r\nWould you like to read the Readme file?", "Dimlux",
      0x44};
  EXPECT_THAT(fake.boxes, ElementsAre(firstRun));
  EXPECT_THAT(fake.opened, ElementsAre(kReadmeUrl));
}

TEST_F(MainTest, RegistryOrWindowThatCannotBeHadEndsTheProgramUnseen) {
  fake.uncreatableKeys.insert(kSettingsKey);
  EXPECT_EQ(StartProgram(fake), 2);
  const Box registryError{std::string("Error while accessing the registry!\r\nPlease contact ") + kSupportEmail,
                          "Dimlux", 0x30};
  EXPECT_THAT(fake.boxes, ElementsAre(registryError));
  EXPECT_FALSE(fake.formRun);
  EXPECT_FALSE(fake.timerEnabled[Timer::tmrSticky]);
  EXPECT_FALSE(fake.shown);

  fake = FakePlatform();
  fake.cannotCreateWindow = true;
  EXPECT_EQ(StartProgram(fake), 3);
  EXPECT_EQ(fake.keys.count(kSettingsKey), 0u) << "the registry was used";
}

TEST_F(MainTest, BlankingAsksForTheScreenInTwipsAndTurnOnGoesBackToTheStoredPlaceNotTheLastOne) {
  const std::vector<Screen> screens = {
      {1440.0f / 136, 12, 1024, 768, {-2, -5, 10842, 9216}},  // 10842.35 twips
      {7.5f, 7.5f, 1365, 1367, {-2, -5, 10238, 10252}},       // 10237.5 and 10252.5 go to even
      {15, 15, 1024, 768, {-2, -5, 15360, 11520}},
  };
  for (const Screen& screen : screens) {
    fake.tppX = screen.tppX;
    fake.tppY = screen.tppY;
    fake.monitors[0].area = {0, 0, screen.pixelsX, screen.pixelsY};
    LoadStored();
    fake.MoveTo(400, 100);  // less than a second ago: not stored yet
    main.cmdTurnOff_Click();
    EXPECT_EQ((std::vector{fake.leftPx, fake.topPx, fake.widthPx, fake.heightPx}), screen.blanked);
  }
  main.cmdTurnOff_Click();
  EXPECT_THAT((std::vector{fake.Top(), fake.Left(), fake.Height(), fake.Width()}), ElementsAre(1500, 3000, 705, 1830));
}

TEST_F(MainTest, RunKeyThatCannotBeOpenedFailsEnablingLoudlyAndDisablingSilently) {
  fake.unopenableKeys.insert(kRunKey);
  LoadStored("2");  // only 1 means enabled
  fake.answers = {kIdYes};
  main.cmdSettings_Click();
  EXPECT_THAT(fake.boxes, ElementsAre(kOfferEnable, kAddError));
  EXPECT_EQ(Stored("Startup"), "0");
  EXPECT_EQ(SettingsCaption(), "+");

  LoadStored("1");
  fake.answers = {kIdYes};
  fake.boxes.clear();
  main.cmdSettings_Click();
  EXPECT_THAT(fake.boxes, ElementsAre(kOfferDisable));
  EXPECT_EQ(Stored("Startup"), "0");
  EXPECT_EQ(SettingsCaption(), "+");
}

TEST_F(MainTest, AnExePathOrARunningCopyThatCannotBeHadWholeIsNeitherStoredNorUsed) {
  LoadStored();
  fake.exePath = "";  // what the platform gives for a path too long for its buffers
  fake.answers = {kIdYes};
  main.cmdSettings_Click();
  EXPECT_EQ(fake.boxes.back(), kAddError);
  EXPECT_EQ(Stored("Dimlux", kRunKey), "<absent>");
  EXPECT_EQ(Stored("Startup"), "0");
  EXPECT_EQ(SettingsCaption(), "+");

  fake = FakePlatform();
  fake.runningCopyFolder = "";  // still starting, or its path cannot be had whole either
  fake.prevInstance = true;
  fake.answers = {kIdYes};
  EXPECT_EQ(StartProgram(fake), 3);
  EXPECT_TRUE(fake.files.empty());
  EXPECT_EQ(fake.sleptMs, 5000) << "looked for it for a few seconds";
  EXPECT_EQ(
      fake.boxes.back().text,
      "Could not write the wake-up file:\r\n(the running copy's folder cannot be found; it may still be starting)");

  fake = FakePlatform();
  fake.runningCopyFolder = "";
  fake.prevInstance = true;
  EXPECT_EQ(StartProgram(fake, "/off"), 3);
  EXPECT_EQ(fake.sleptMs, 5000);
  EXPECT_EQ(fake.boxes.back().text,
            "Could not ask the running copy to turn the display off:\r\n(the running copy's window cannot be found; it "
            "may still be starting)");
}

}  // namespace
}  // namespace dimlux::test
