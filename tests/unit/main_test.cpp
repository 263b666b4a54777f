#include "app/maker.h"
#include "tests/unit/main_fixture.h"

namespace dimlux::test {
namespace {

const Box kOfferEnable{"Start on Windows startup not enabled\r\nDo you want to enable it?", "Dimlux Startup",
                       "question"};
const Box kOfferDisable{"Start on Windows startup enabled\r\nDo you want to disable it?", "Dimlux Startup", "question"};
const Box kAddError{"Error adding Dimlux to system startup!", "Dimlux", "error"};

// Where the readme that the zip ships beside the exe is missing: the web page.
TEST_F(MainTest, FirstRunYesOpensTheWebPageWithoutAReadmeBesideTheExe) {
  fake.yesAnswers = 1;
  Load();
  const Box firstRun{
      "You have launched this application for the first time!\r\nWould you like to read the Readme file?", "Dimlux",
      "question"};
  EXPECT_THAT(fake.boxes, ElementsAre(firstRun));
  EXPECT_THAT(fake.opened, ElementsAre(kReadmeUrl));
}

TEST_F(MainTest, RegistryOrWindowThatCannotBeHadEndsTheProgramUnseen) {
  fake.deniedKeys.insert(Key::kSettings);
  EXPECT_EQ(StartProgram(fake), 2);
  const Box registryError{std::string("Error while accessing the registry!\r\nPlease contact ") + kSupportEmail,
                          "Dimlux", "warning"};
  EXPECT_THAT(fake.boxes, ElementsAre(registryError));
  EXPECT_FALSE(fake.timerEnabled[Timer::tmrSticky]);

  fake = FakePlatform();
  fake.cannotCreateWindow = true;
  EXPECT_EQ(StartProgram(fake), 3);
  EXPECT_EQ(fake.keys.count(Key::kSettings), 0u) << "the registry was used";
}

TEST_F(MainTest, RunKeyThatCannotBeOpenedFailsEnablingLoudlyAndDisablingSilently) {
  fake.deniedKeys.insert(Key::kRun);
  LoadStored("2");  // only 1 means enabled
  fake.yesAnswers = 1;
  main.cmdSettings_Click();
  EXPECT_THAT(fake.boxes, ElementsAre(kOfferEnable, kAddError));
  EXPECT_EQ(Stored("Startup"), "0");
  EXPECT_EQ(SettingsCaption(), "+");

  LoadStored("1");
  fake.yesAnswers = 1;
  fake.boxes.clear();
  main.cmdSettings_Click();
  EXPECT_THAT(fake.boxes, ElementsAre(kOfferDisable));
  EXPECT_EQ(Stored("Startup"), "0");
  EXPECT_EQ(SettingsCaption(), "+");
}

TEST_F(MainTest, AnExePathOrARunningCopyThatCannotBeHadWholeIsNeitherStoredNorUsed) {
  LoadStored();
  fake.exePath = "";  // what the platform gives for a path too long for its buffers
  fake.yesAnswers = 1;
  main.cmdSettings_Click();
  EXPECT_EQ(fake.boxes.back(), kAddError);
  EXPECT_EQ(Stored("Dimlux", Key::kRun), "<absent>");
  EXPECT_EQ(Stored("Startup"), "0");
  EXPECT_EQ(SettingsCaption(), "+");

  fake = FakePlatform();
  fake.leaving = FileWrite::kHeld;  // still starting, or its path cannot be had whole either
  fake.runningCopy = true;
  fake.yesAnswers = 1;
  EXPECT_EQ(StartProgram(fake), 3);
  EXPECT_EQ(fake.sleptMs, 5000) << "looked for it for a few seconds";
  EXPECT_EQ(
      fake.boxes.back().text,
      "Could not write the wake-up file:\r\n(the running copy's folder cannot be found; it may still be starting)");

  fake = FakePlatform();
  fake.leaving = FileWrite::kHeld;
  fake.runningCopy = true;
  EXPECT_EQ(StartProgram(fake, "/off"), 3);
  EXPECT_EQ(fake.sleptMs, 5000);
  EXPECT_EQ(fake.boxes.back().text,
            "Could not ask the running copy to turn the display off:\r\n(the running copy's window cannot be found; it "
            "may still be starting)");
}

}  // namespace
}  // namespace dimlux::test
