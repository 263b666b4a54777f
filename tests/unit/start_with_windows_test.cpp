#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "tests/unit/main_fixture.h"

namespace dimlux::test {
namespace {

using ::testing::ElementsAre;

constexpr const char* kOfferEnable = "Start on Windows startup not enabled\r\nDo you want to enable it?";
constexpr const char* kOfferDisable = "Start on Windows startup enabled\r\nDo you want to disable it?";
constexpr const char* kRunEntry = "\"C:\\Program Files\\Dimlux\\Dimlux.exe\"";

class StartWithWindowsTest : public MainTest {
 protected:
  // A click moves the focus to the button clicked.
  void ClickSettings(int answer) {
    fake.answers = {answer};
    fake.focus = Control::cmdSettings;
    fake.ClearCalls();
    fake.boxes.clear();
    main.cmdSettings_Click();
    EXPECT_EQ(fake.focus, Control::cmdTurnOff);
  }
  std::string Caption() { return fake.button(Control::cmdSettings).caption; }
  std::string RunEntry() { return Stored("Dimlux", kRunKey); }
};

TEST_F(StartWithWindowsTest, EnableAddsTheQuotedPathOfTheRunningFile) {
  LoadStored("0");
  ClickSettings(kIdYes);
  ASSERT_EQ(fake.boxes.size(), 1u);
  EXPECT_EQ(fake.boxes[0], (Box{kOfferEnable, "Dimlux Startup", 0x44}));
  EXPECT_THAT(fake.Calls(),
              ElementsAre("MsgBox Dimlux Startup", "RegOpenKeyExA Software\\Dimlux", "RegSetValueExA Startup 1",
                          "RegCloseKey", std::string("RegOpenKeyExA ") + kRunKey,
                          std::string("RegSetValueExA Dimlux ") + kRunEntry, "RegCloseKey"));
  auto entry = fake.GetValue(kRunKey, "Dimlux");
  ASSERT_TRUE(entry);
  EXPECT_EQ(entry->type, kRegSz);
  EXPECT_EQ(entry->bytes, kRunEntry);
  EXPECT_EQ(entry->bytes.size(), 36u);
  EXPECT_EQ(Stored("Startup"), "1");
  EXPECT_EQ(main.intStartup, 1);
  EXPECT_EQ(Caption(), "-");
}

TEST_F(StartWithWindowsTest, AnsweringNoChangesNothing) {
  LoadStored("2");  // only 1 means enabled
  ClickSettings(kIdNo);
  EXPECT_EQ(fake.boxes[0].text, kOfferEnable);
  EXPECT_TRUE(RegistryCalls().empty());
  EXPECT_EQ(Caption(), "+");

  fake.PutValue(kRunKey, "Dimlux", kRunEntry);
  LoadStored("1");
  ClickSettings(kIdNo);
  EXPECT_EQ(fake.boxes[0].text, kOfferDisable);
  EXPECT_TRUE(RegistryCalls().empty());
  EXPECT_EQ(Caption(), "-");
  EXPECT_EQ(RunEntry(), kRunEntry);
}

TEST_F(StartWithWindowsTest, EnableThenDisableLeavesNoEntry) {
  LoadStored("0");
  ClickSettings(kIdYes);
  ClickSettings(kIdYes);
  ASSERT_EQ(fake.boxes.size(), 1u);
  EXPECT_EQ(fake.boxes[0], (Box{kOfferDisable, "Dimlux Startup", 0x44}));
  EXPECT_EQ(RunEntry(), "<absent>");
  EXPECT_EQ(Stored("Startup"), "0");
  EXPECT_EQ(main.intStartup, 0);
  EXPECT_EQ(Caption(), "+");
}

TEST_F(StartWithWindowsTest, UnopenableRunKeyFailsEnablingLoudly) {
  fake.unopenableKeys.insert(kRunKey);
  LoadStored("0");
  ClickSettings(kIdYes);
  ASSERT_EQ(fake.boxes.size(), 2u);
  EXPECT_EQ(fake.boxes[1], (Box{"Error adding Dimlux to system startup!", "Dimlux", 0x10}));
  EXPECT_EQ(main.intStartup, 0);
  EXPECT_EQ(Caption(), "+");
  EXPECT_EQ(Stored("Startup"), "0");
  EXPECT_EQ(RunEntry(), "<absent>");
}

TEST_F(StartWithWindowsTest, FailedWriteIsReportedWhileTheRunKeyIsOpen) {
  fake.failingValueWrites.insert("Dimlux");
  LoadStored("0");
  ClickSettings(kIdYes);
  auto calls = fake.Calls();
  auto box = std::find(calls.begin(), calls.end(), "MsgBox Dimlux");
  ASSERT_NE(box, calls.end());
  EXPECT_EQ(*(box - 1), std::string("RegSetValueExA Dimlux ") + kRunEntry);
  EXPECT_NE(std::find(box, calls.end(), "RegCloseKey"), calls.end());
  EXPECT_EQ(Caption(), "+");
  EXPECT_EQ(Stored("Startup"), "0");
}

TEST_F(StartWithWindowsTest, UnopenableRunKeyDisablesSilently) {
  fake.unopenableKeys.insert(kRunKey);
  fake.PutValue(kRunKey, "Dimlux", kRunEntry);
  LoadStored("1");
  ClickSettings(kIdYes);
  EXPECT_EQ(fake.boxes.size(), 1u);
  EXPECT_EQ(Stored("Startup"), "0");
  EXPECT_EQ(Caption(), "+");
  EXPECT_EQ(RunEntry(), kRunEntry);
}

}  // namespace
}  // namespace dimlux::test
