#include "app/maker.h"
#include "tests/unit/main_fixture.h"

namespace dimlux::test {
namespace {

const std::string kKeepOnTop = std::string("SetWindowPos ") + kHwnd + " -1 0 0 0 0 67";
const std::string kRunEntry = "\"C:\\Program Files\\Dimlux\\Dimlux.exe\"";
const Box kAddError{"Error adding Dimlux to system startup!", "Dimlux", 0x10};
const Box kOfferDisable{"Start on Windows startup enabled\r\nDo you want to disable it?", "Dimlux Startup", 0x44};

// A primary display and the twips per pixel its dpi gives, and the SetWindowPos arguments blanking it takes.
struct Screen {
  float tppX, tppY;
  int pixelsX, pixelsY;
  std::string blanking;
};

TEST_F(MainTest, FirstRunSeedsTheKeyAndOffersTheReadme) {
  fake.answers = {kIdYes};
  Load();
  EXPECT_THAT(fake.calls,
              ElementsAre("RegOpenKeyExA Software\\Dimlux", "RegCreateKeyExA Software\\Dimlux REG_DWORD",
                          "RegSetValueExA Top 6075", "RegSetValueExA Bottom 705", "RegSetValueExA Left 10635",
                          "RegSetValueExA Right 1425", "RegSetValueExA Startup 0", "MsgBox Dimlux",
                          std::string("ShellExecuteA ") + kHwnd + " (null) " + kReadmeUrl + " (null) (null) 1",
                          "RegQueryValueExA Top", "RegQueryValueExA Left", "RegQueryValueExA Bottom",
                          "RegQueryValueExA Right", "RegQueryValueExA Startup", "RegCloseKey", kKeepOnTop));
  const Box firstRun{
      "You have launched this application for the first time!\r\nWould you like to read the Readme file?", "Dimlux",
      0x44};
  EXPECT_THAT(fake.boxes, ElementsAre(firstRun));
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

TEST_F(MainTest, BlankingCoversTheScreenInTwipsTicksSwitchTheDisplayOffAndTurnOnGoesBackToTheStoredPlace) {
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
  fake.calls.clear();
  main.tmr_Timer();
  main.cmdTurnOff_Click();
  EXPECT_THAT(fake.calls, ElementsAre(kKeepOnTop, std::string("SendMessageA ") + kHwnd + " 274 61808 2"));
  EXPECT_THAT((std::vector{fake.Top(), fake.Left(), fake.Height(), fake.Width()}), ElementsAre(1500, 3000, 705, 1830));
  EXPECT_EQ(fake.ButtonWidth(Control::cmdTurnOff), 1740 - 375);
  EXPECT_FALSE(fake.timerEnabled[Timer::tmr]);
}

TEST_F(MainTest, PositionKeeperStoresAChangeOnceAndNothingWhileBlanked) {
  LoadStored();
  main.tmrSticky_Timer();
  fake.MoveTo(300, 50);
  main.tmrSticky_Timer();
  main.tmrSticky_Timer();
  EXPECT_THAT(fake.calls,
              ElementsAre("RegOpenKeyExA Software\\Dimlux", "RegSetValueExA Top 750", "RegSetValueExA Bottom 705",
                          "RegSetValueExA Left 4500", "RegSetValueExA Right 1830", "RegCloseKey"));

  main.cmdTurnOff_Click();
  fake.files[kWakeUpFile] = "Get up :)\r\n";
  fake.calls.clear();
  main.tmrSticky_Timer();
  main.Form_Unload();
  EXPECT_THAT(fake.calls, ElementsAre());
  EXPECT_EQ(fake.files.count(kWakeUpFile), 1u);

  main.cmdTurnOff_Click();
  main.tmrSticky_Timer();  // the wake-up request
  EXPECT_EQ(fake.files.count(kWakeUpFile), 0u);
  EXPECT_EQ(fake.Top(), 0);
  EXPECT_EQ(fake.Left(), 0);
  EXPECT_EQ(Stored("Top"), "0");
  EXPECT_EQ(Stored("Left"), "0");
}

TEST_F(MainTest, PositionKeeperWritesNothingIdleWhereTwipsPerPixelIsNotWholeAndTheNextStartReadsWhatItWrote) {
  fake.tppX = fake.tppY = 1440.0f / 168;                       // 8.5714...: no window value is a whole number of twips
  fake.monitors = {{{0, 0, 1600, 1200}, {0, 0, 1600, 1200}}};  // where the designed place lies at 168 dpi
  fake.decimalSeparator = ",";
  Load();  // fields rounded down from the first-run seed
  fake.calls.clear();
  main.tmrSticky_Timer();
  EXPECT_THAT(fake.calls, ElementsAre());

  fake.topPx += 1;  // a one-pixel move is stored once, and the fields hold it rounded to nearest
  main.tmrSticky_Timer();
  main.tmrSticky_Timer();
  EXPECT_THAT(fake.CallsStartingWith("RegSetValueExA"),
              ElementsAre("RegSetValueExA Top 6214,2856", "RegSetValueExA Bottom 557,1428",
                          "RegSetValueExA Left 10654,2852", "RegSetValueExA Right 1388,5714"));
  EXPECT_EQ(main.lngTop, 6214);

  const int movedTopPx = fake.topPx;
  fake.calls.clear();
  const Main next = StartAgain();
  EXPECT_THAT(fake.CallsStartingWith("RegSetValueExA"), ElementsAre()) << "nothing repaired";
  EXPECT_EQ(next.lngTop, 6214);
  EXPECT_EQ(fake.topPx, movedTopPx);
}

TEST_F(MainTest, RunKeyThatCannotBeOpenedFailsEnablingLoudlyWhileOpenAndDisablingSilently) {
  fake.unopenableKeys.insert(kRunKey);
  LoadStored("2");  // only 1 means enabled
  fake.answers = {kIdYes};
  main.cmdSettings_Click();
  EXPECT_THAT(
      fake.calls,
      ElementsAre("MsgBox Dimlux Startup", "RegOpenKeyExA Software\\Dimlux", "RegSetValueExA Startup 1", "RegCloseKey",
                  std::string("RegOpenKeyExA ") + kRunKey, "RegSetValueExA Dimlux " + kRunEntry, "MsgBox Dimlux",
                  "RegOpenKeyExA Software\\Dimlux", "RegSetValueExA Startup 0", "RegCloseKey", "RegCloseKey"));
  EXPECT_EQ(fake.boxes.back(), kAddError);
  EXPECT_EQ(main.intStartup, 0);
  EXPECT_EQ(SettingsCaption(), "+");

  LoadStored("1");
  fake.answers = {kIdYes};
  fake.boxes.clear();
  main.cmdSettings_Click();
  EXPECT_THAT(fake.boxes, ElementsAre(kOfferDisable));
  EXPECT_EQ(Stored("Startup"), "0");
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
