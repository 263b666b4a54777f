#include "app/maker.h"
#include "tests/unit/main_fixture.h"

namespace dimlux::test {
namespace {

const Box kAddError{"Error adding Dimlux to system startup!", "Dimlux", "error"};

TEST_F(MainTest, RegistryOrWindowThatCannotBeHadEndsTheProgramUnseen) {
  fake.deniedKeys.insert(Key::kSettings);
  EXPECT_EQ(StartProgram(fake), 2);
  const Box registryError{std::string("Error while accessing the registry!\r\nPlease contact ") + kSupportEmail,
                          "Dimlux", "warning"};
  EXPECT_THAT(fake.boxes, ElementsAre(registryError));
  EXPECT_FALSE(fake.shown) << "the window was shown before the error";

  fake = FakePlatform();
  fake.cannotCreateWindow = true;
  EXPECT_EQ(StartProgram(fake), 3);
  EXPECT_EQ(fake.keys.count(Key::kSettings), 0u) << "the registry was used";
}

// A Run key that cannot be opened, or an exe path the platform cannot have whole; only a stored 1 means enabled.
TEST_F(MainTest, ARunEntryThatCannotBeWrittenFailsEnablingLoudlyAndDisablingSilently) {
  for (const auto& [runKeyDenied, startup, errors] : {std::tuple{false, "2", 1}, {true, "2", 1}, {true, "1", 0}}) {
    fake = FakePlatform();
    if (runKeyDenied) fake.deniedKeys.insert(Key::kRun);
    fake.exePath = runKeyDenied ? fake.exePath : "";
    LoadStored(startup);
    fake.yesAnswers = 1;
    main.cmdSettings_Click();
    const std::vector<Box> afterTheQuestion(fake.boxes.begin() + 1, fake.boxes.end());
    EXPECT_EQ(fake.boxes.front().title, "Dimlux Startup");
    EXPECT_EQ(afterTheQuestion, std::vector<Box>(errors, kAddError));
    EXPECT_EQ(Stored("Dimlux", Key::kRun), "<absent>");
    EXPECT_EQ(Stored("Startup"), "0");
    EXPECT_EQ(fake.captions[Control::cmdSettings], "+");
  }
}

// Still starting, or its path cannot be had whole either: it is looked for a few seconds, then the stop box says so.
// A folder the user cannot write is not tried for seconds: the wish goes by window message at once.
TEST_F(MainTest, ASecondCopyLooksForTheRunningCopyForAFewSecondsUnlessItsFolderRefusesTheFile) {
  const std::vector<std::tuple<std::optional<FileWrite>, const char*, int, int, std::string>> starts = {
      {std::nullopt, "", 3, 5000,
       "Could not write the wake-up file:\r\n(the running copy's folder cannot be found; it may still be starting)"},
      {std::nullopt, "/off", 3, 5000,
       "Could not ask the running copy to turn the display off:\r\n(the running copy's window cannot be found; it "
       "may still be starting)"},
      {FileWrite::kRefused, "", 0, 0, "Dimlux is already running!\r\nDo you want it shown? :)"},  // the message: e2e
  };
  for (const auto& [leaving, commandLine, exitCode, sleptMs, lastBox] : starts) {
    fake = FakePlatform();
    fake.leaving = leaving;
    fake.runningCopy = true;
    fake.yesAnswers = 1;
    EXPECT_EQ(StartProgram(fake, commandLine), exitCode);
    EXPECT_EQ(fake.sleptMs, sleptMs) << commandLine;
    EXPECT_EQ(fake.boxes.back().text, lastBox);
  }
}

}  // namespace
}  // namespace dimlux::test
