#include "app/maker.h"
#include "tests/unit/main_fixture.h"

namespace dimlux::test {
namespace {

const Box kOfferEnable{"Start on Windows startup not enabled\r\nDo you want to enable it?", "Dimlux Startup", 0x44};
const Box kOfferDisable{"Start on Windows startup enabled\r\nDo you want to disable it?", "Dimlux Startup", 0x44};
const Box kAddError{"Error adding Dimlux to system startup!", "Dimlux", 0x10};

// A primary display and the twips per pixel its dpi gives, and the SetWindowPos arguments blanking it takes.
struct Screen {
  float tppX, tppY;
  int pixelsX, pixelsY;
  std::string blanking;
};

// The readme beside the exe when it is there (the zip ships it), else the web page.
TEST_F(MainTest, FirstRunYesOpensTheReadme) {
  const std::string readme = "C:\\Program Files\\Dimlux\\readme.txt";
  for (const bool beside : {true, false}) {
    fake = FakePlatform();
    if (beside) fake.files[readme] = "Dimlux";
    fake.answers = {kIdYes};
    Load();
    const Box firstRun{
        "You have launched this application for the first time!\r\nWould you like to read the Readme file?", "Dimlux",
        0x44};
    EXPECT_THAT(fake.boxes, ElementsAre(firstRun));
    const std::string opened = std::string("ShellExecuteA ") + kHwnd + " (null) " + (beside ? readme : kReadmeUrl) +
                               " (null) (null) 1";
    EXPECT_THAT(fake.CallsStartingWith("ShellExecuteA"), ElementsAre(opened));
  }
}

TEST_F(MainTest, RegistryOrWindowThatCannotBeHadEndsTheProgramUnseen) {
  fake.uncreatableKeys.insert(kSettingsKey);
  EXPECT_EQ(StartProgram(fake), 2);
  const Box registryError{std::string("Error while accessing the registry!\r\nPlease contact ") + kSupportEmail,
                          "Dimlux", 0x30};
  EXPECT_THAT(fake.boxes, ElementsAre(registryError));
  EXPECT_FALSE(fake.formRun);
  EXPECT_FALSE(fake.timerEnabled[Timer::tmrSticky]);
  EXPECT_THAT(fake.CallsStartingWith("SetWindowPos"), ElementsAre());

  fake = FakePlatform();
  fake.cannotCreateWindow = true;
  EXPECT_EQ(StartProgram(fake), 3);
  EXPECT_THAT(fake.CallsStartingWith("Reg"), ElementsAre());
}

TEST_F(MainTest, BlankingAsksForTheScreenInTwipsAndTurnOnGoesBackToTheStoredPlaceNotTheLastOne) {
  const std::vector<Screen> screens = {
      {1440.0f / 136, 12, 1024, 768, "-2 -5 10842 9216 64"},  // 10842.35 twips
      {7.5f, 7.5f, 1365, 1367, "-2 -5 10238 10252 64"},       // 10237.5 and 10252.5 go to even
      {15, 15, 1024, 768, "-2 -5 15360 11520 64"},
  };
  for (const Screen& screen : screens) {
    fake.tppX = screen.tppX;
    fake.tppY = screen.tppY;
    fake.screenX = screen.pixelsX;
    fake.screenY = screen.pixelsY;
    LoadStored();
    fake.MoveTo(400, 100);  // less than a second ago: not stored yet
    main.cmdTurnOff_Click();
    EXPECT_THAT(fake.calls, ElementsAre(std::string("SetWindowPos ") + kHwnd + " -1 " + screen.blanking));
  }
  main.cmdTurnOff_Click();
  EXPECT_THAT((std::vector{fake.Top(), fake.Left(), fake.Height(), fake.Width()}), ElementsAre(1500, 3000, 705, 1830));
}

TEST_F(MainTest, BlankedNeitherATickNorClosingStoresAnythingOrTakesTheWakeUpRequest) {
  LoadStored();
  main.cmdTurnOff_Click();
  fake.files[kWakeUpFile] = "Get up :)\r\n";
  fake.calls.clear();
  main.tmrSticky_Timer();
  main.Form_Unload();
  EXPECT_THAT(fake.calls, ElementsAre());
  EXPECT_EQ(fake.files.count(kWakeUpFile), 1u);
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

TEST_F(MainTest, AnExePathThatCannotBeHadWholeIsNeitherStoredNorUsedForTheWakeUpFile) {
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
}

}  // namespace
}  // namespace dimlux::test
