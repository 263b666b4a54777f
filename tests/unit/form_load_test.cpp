#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "app/maker.h"
#include "app/start.h"
#include "tests/unit/main_fixture.h"

namespace dimlux::test {
namespace {

using ::testing::ElementsAre;

constexpr const char* kSecondCopyText = "Dimlux is already running!\r\nDo you want it shown? :)";
constexpr const char* kFirstRunText =
    "You have launched this application for the first time!\r\nWould you like to read the Readme file?";

class FormLoadTest : public MainTest {};

// --- Second copy ---

TEST_F(FormLoadTest, SecondCopyAnsweredYesLeavesTheWakeUpFileAndExits) {
  fake.prevInstance = true;
  fake.answers = {kIdYes};
  EXPECT_EQ(StartProgram(fake), 0);
  ASSERT_EQ(fake.boxes.size(), 1u);
  EXPECT_EQ(fake.boxes[0], (Box{kSecondCopyText, "Dimlux", 0x44}));
  ASSERT_EQ(fake.files.count(kWakeUpFile), 1u);
  EXPECT_EQ(fake.files[kWakeUpFile].bytes, "Get up :)\r\n");
  EXPECT_EQ(fake.exitCode, 0);
  EXPECT_TRUE(RegistryCalls().empty());
  EXPECT_FALSE(fake.HasKey(kSettingsKey));
  EXPECT_FALSE(fake.visible);
  EXPECT_FALSE(fake.formRun);
}

TEST_F(FormLoadTest, SecondCopyAnsweredNoWritesNothing) {
  fake.prevInstance = true;
  fake.answers = {kIdNo};
  EXPECT_EQ(StartProgram(fake), 0);
  EXPECT_EQ(fake.boxes.size(), 1u);
  EXPECT_TRUE(fake.files.empty());
  EXPECT_EQ(fake.exitCode, 0);
  EXPECT_TRUE(RegistryCalls().empty());
  EXPECT_FALSE(fake.visible);
}

TEST_F(FormLoadTest, SecondCopyThatCannotWriteTheFileEndsWithAStopBox) {
  fake.prevInstance = true;
  fake.answers = {kIdYes};
  fake.cannotCreateFiles = true;
  const int exitCode = StartProgram(fake);
  ASSERT_EQ(fake.boxes.size(), 2u);
  EXPECT_EQ(fake.boxes[1].title, "Dimlux");
  EXPECT_EQ(fake.boxes[1].style, 0x10u);
  EXPECT_NE(fake.boxes[1].text.find(kWakeUpFile), std::string::npos) << fake.boxes[1].text;
  EXPECT_NE(exitCode, 0);
  EXPECT_THAT(fake.CallsStartingWith("EndProcess"), ElementsAre("EndProcess " + std::to_string(exitCode)));
  EXPECT_TRUE(fake.files.empty());
  EXPECT_FALSE(fake.visible);
}

TEST_F(FormLoadTest, WindowThatCannotBeCreatedEndsTheProgramWithAStopBox) {
  fake.cannotCreateWindow = true;
  EXPECT_NE(StartProgram(fake), 0);
  ASSERT_EQ(fake.boxes.size(), 1u);
  EXPECT_EQ(fake.boxes[0], (Box{"Could not create the window:\r\nDimlux", "Dimlux", 0x10}));
  EXPECT_TRUE(RegistryCalls().empty());
  EXPECT_FALSE(fake.formRun);
}

// --- First run ---

TEST_F(FormLoadTest, FirstRunSeedsTheKeyFromTheDesignAndOffersTheReadme) {
  fake.answers = {kIdYes};
  Load();
  EXPECT_THAT(RegistryCalls(),
              ElementsAre("RegOpenKeyExA Software\\Dimlux", "RegCreateKeyExA Software\\Dimlux REG_DWORD",
                          "RegSetValueExA Top 6075", "RegSetValueExA Bottom 705", "RegSetValueExA Left 10635",
                          "RegSetValueExA Right 1425", "RegSetValueExA Startup 0", "RegQueryValueExA Top",
                          "RegQueryValueExA Left", "RegQueryValueExA Bottom", "RegQueryValueExA Right",
                          "RegQueryValueExA Startup", "RegCloseKey"));
  EXPECT_EQ(fake.KeyClass(kSettingsKey), "REG_DWORD");
  EXPECT_EQ(fake.GetValue(kSettingsKey, "Right")->type, kRegSz);
  ASSERT_EQ(fake.boxes.size(), 1u);
  EXPECT_EQ(fake.boxes[0], (Box{kFirstRunText, "Dimlux", 0x44}));
  EXPECT_THAT(fake.CallsStartingWith("ShellExecuteA"),
              ElementsAre(std::string("ShellExecuteA 0x1a2b (null) ") + kReadmeUrl + " (null) (null) 1"));
  // The window stays where it was designed, and the fields hold that geometry.
  EXPECT_EQ(fake.leftPx, 709);
  EXPECT_EQ(fake.topPx, 405);
  EXPECT_EQ(main.lngTop, 6075);
  EXPECT_EQ(main.lngRight, 1425);
  EXPECT_FALSE(main.Ended());
}

TEST_F(FormLoadTest, FirstRunAnsweredNoStartsWithTheButtonsSideBySide) {
  Load();
  EXPECT_EQ(fake.boxes.size(), 1u);
  EXPECT_TRUE(fake.CallsStartingWith("ShellExecuteA").empty());
  EXPECT_EQ(Stored("Startup"), "0");
  EXPECT_EQ(fake.button(Control::cmdSettings).caption, "+");
  EXPECT_TRUE(fake.timerEnabled[Timer::tmrSticky]);
  EXPECT_EQ(fake.ButtonWidth(Control::cmdTurnOff), 960);
  EXPECT_EQ(fake.button(Control::cmdTurnOff).height * 15, 360);
  EXPECT_EQ(fake.button(Control::cmdSettings).left * 15, 960);
  EXPECT_EQ(fake.ButtonWidth(Control::cmdSettings), 375);
}

TEST_F(FormLoadTest, KeyThatCannotBeCreatedEndsBeforeTheWindowShows) {
  fake.uncreatableKeys.insert(kSettingsKey);
  EXPECT_EQ(StartProgram(fake), 2);
  ASSERT_EQ(fake.boxes.size(), 1u);
  const std::string text = std::string("Error while accessing the registry!\r\nPlease contact ") + kSupportEmail;
  EXPECT_EQ(fake.boxes[0], (Box{text, "Dimlux", 0x30}));
  EXPECT_EQ(fake.exitCode, 2);
  EXPECT_TRUE(fake.CallsStartingWith("SetWindowPos").empty());
  EXPECT_FALSE(fake.visible);
  EXPECT_FALSE(fake.formRun);
  EXPECT_FALSE(fake.timerEnabled[Timer::tmrSticky]);
}

// --- Later starts ---

TEST_F(FormLoadTest, LaterStartRestoresTheStoredGeometryOnTop) {
  StoreSettings("1500", "3000", "705", "1830", "1");
  EXPECT_EQ(StartProgram(fake), 0);
  EXPECT_TRUE(fake.boxes.empty());
  EXPECT_EQ(RegistryCalls().size(), 7u) << "open, five reads, close";
  EXPECT_EQ(fake.Top(), 1500);
  EXPECT_EQ(fake.Left(), 3000);
  EXPECT_EQ(fake.Height(), 705);
  EXPECT_EQ(fake.Width(), 1830);
  EXPECT_THAT(fake.CallsStartingWith("SetWindowPos"), ElementsAre("SetWindowPos 0x1a2b -1 0 0 0 0 0x43"));
  EXPECT_EQ(fake.button(Control::cmdSettings).caption, "-");
  EXPECT_EQ(fake.ButtonWidth(Control::cmdTurnOff), 1740 - 375);
  EXPECT_TRUE(fake.formRun);
  EXPECT_EQ(fake.focus, Control::cmdTurnOff);
}

// A damaged value is re-seeded with what a first run stores; the other four stay as they were.
struct Damage {
  const char* name;
  const char* stored;  // nullptr: the value is absent
  const char* repaired;
};

void PrintTo(const Damage& damage, std::ostream* out) {
  *out << damage.name << " = " << (damage.stored ? '"' + std::string(damage.stored) + '"' : "absent");
}

class RepairTest : public FormLoadTest, public ::testing::WithParamInterface<Damage> {};

TEST_P(RepairTest, DamagedValueIsReseededAndStartGoesOn) {
  const Damage damage = GetParam();
  const std::map<std::string, std::string> good = {
      {"Top", "1500"}, {"Left", "3000"}, {"Bottom", "705"}, {"Right", "1830"}, {"Startup", "1"}};
  for (const auto& [name, text] : good) {
    if (name != damage.name) fake.PutValue(kSettingsKey, name, text);
  }
  if (damage.stored) fake.PutValue(kSettingsKey, damage.name, damage.stored);
  Load();
  EXPECT_FALSE(main.Ended());
  EXPECT_TRUE(fake.boxes.empty());
  EXPECT_TRUE(fake.timerEnabled[Timer::tmrSticky]);
  EXPECT_THAT(fake.CallsStartingWith("RegSetValueExA"),
              ElementsAre(std::string("RegSetValueExA ") + damage.name + " " + damage.repaired));
  for (const auto& [name, text] : good) {
    EXPECT_EQ(Stored(name), name == damage.name ? damage.repaired : text) << name;
  }
  // The window goes by the repaired value too.
  const std::map<std::string, float> shown = {{"Top", fake.Top()},
                                              {"Left", fake.Left()},
                                              {"Bottom", fake.Height()},
                                              {"Right", fake.Width()},
                                              {"Startup", fake.button(Control::cmdSettings).caption == "-"}};
  EXPECT_EQ(shown.at(damage.name), std::stof(Stored(damage.name)));
}

INSTANTIATE_TEST_SUITE_P(EachValue, RepairTest,
                         ::testing::Values(Damage{"Top", nullptr, "6075"}, Damage{"Top", "", "6075"},
                                           Damage{"Left", "abc", "10635"}, Damage{"Bottom", "2147483648", "705"},
                                           Damage{"Right", "-2147483649", "1425"}, Damage{"Right", "", "1425"},
                                           Damage{"Startup", nullptr, "0"}, Damage{"Startup", "abc", "0"},
                                           Damage{"Startup", "32768", "0"}, Damage{"Startup", "", "0"}),
                         [](const ::testing::TestParamInfo<Damage>& info) {
                           return std::string(info.param.name) + "_" + std::to_string(info.index);
                         });

}  // namespace
}  // namespace dimlux::test
