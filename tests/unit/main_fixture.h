// A Main window on the fake platform, with the settings key as a user would have it.
#pragma once

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <array>
#include <fstream>
#include <regex>
#include <string>
#include <vector>

#include "app/design.h"
#include "app/main_form.h"
#include "app/start.h"
#include "tests/unit/fake_platform.h"

namespace dimlux::test {

using ::testing::ElementsAre;
constexpr const char* kSettingsKey = "Software\\Dimlux";
constexpr const char* kRunKey = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
constexpr const char* kWakeUpFile = "C:\\Program Files\\Dimlux\\getup.txt";
constexpr const char* kHwnd = "6699";  // the fake window's handle, as the calls record it

// One line of the shared table of stored settings values (settings_cases.txt): the case, the value as
// stored (none for an absent one), and the number reading it gives or "repair".
struct Case {
  std::string name;
  std::optional<FakePlatform::Value> stored;
  std::string result;
};

inline std::vector<Case> Cases() {
  std::vector<Case> cases;
  std::ifstream file(DIMLUX_SETTINGS_CASES);
  const std::regex fields("([^|]*)\\|([^|]*)\\|([^|]*)\\|([^|]*)\\|.*"), repeat("\\{(.)\\*(\\d+)\\}");
  for (std::string line; std::getline(file, line);) {
    std::smatch m, r;
    if (line.starts_with("#") || !std::regex_match(line, m, fields)) continue;
    std::string text = m[3], kind = m[2];
    while (std::regex_search(text, r, repeat)) text.replace(r.position(), r.length(), std::stoi(r[2]), r.str(1)[0]);
    const std::map<std::string, FakePlatform::Value> forms = {
        {"sz", {kRegSz, text}},
        {"sz0", {kRegSz, text + '\0'}},
        {"binary", {kRegBinary, text}},
        {"dword",
         {kRegDword,
          kind == "dword" ? std::string(reinterpret_cast<const char*>(std::array{std::stoi(text)}.data()), 4) : ""}}};
    cases.push_back({m[1], kind == "absent" ? std::nullopt : std::optional(forms.at(kind)), m[4]});
  }
  return cases;
}

class MainTest : public ::testing::Test {
 protected:
  void Load() {
    fake.CreateForm(kMainDesign, main);
    main.Form_Load();
  }

  // Starts at 200, 100 px with a 122 x 47 px frame (116 x 24 px client), then forgets what loading did.
  void LoadStored(const std::string& startup = "0", const std::string& top = "1500") {
    fake.keys[kSettingsKey] = {{"Top", {kRegSz, top}},
                               {"Left", {kRegSz, "3000"}},
                               {"Bottom", {kRegSz, "705"}},
                               {"Right", {kRegSz, "1830"}},
                               {"Startup", {kRegSz, startup}}};
    Load();
    fake.calls.clear();
  }

  std::string Stored(const std::string& name, const std::string& key = kSettingsKey) {
    auto value = fake.keys[key].find(name);
    return value == fake.keys[key].end() ? "<absent>" : value->second.bytes;
  }

  void TearDown() override { EXPECT_TRUE(fake.handles.empty()) << "a key handle was left open"; }

  FakePlatform fake;
  Main main{fake};
};

}  // namespace dimlux::test
