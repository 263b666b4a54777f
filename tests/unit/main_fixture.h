// A Main window on the fake platform, with the settings key as a user would have it.
#pragma once

#include <gmock/gmock.h>
#include <gtest/gtest.h>

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

// One line of the shared table of stored settings values (settings_cases.txt): the case, the value as
// stored (none for an absent one), and the number reading it gives or "repair".
struct Case {
  std::string name;
  std::optional<FakePlatform::Value> stored;
  std::string result;
};

// The value a case's text is stored as, by the kind the table names.
inline std::optional<FakePlatform::Value> StoredForm(const std::string& kind, const std::string& text) {
  if (kind == "absent") return std::nullopt;
  if (kind == "sz") return FakePlatform::Value{kRegSz, text};
  if (kind == "sz0") return FakePlatform::Value{kRegSz, text + '\0'};
  if (kind == "binary") return FakePlatform::Value{kRegBinary, text};
  const std::int32_t number = std::stoi(text);
  return FakePlatform::Value{kRegDword, std::string(reinterpret_cast<const char*>(&number), sizeof number)};
}

// In a case's text, {C*N} stands for N times the character C.
inline std::string Expanded(std::string text) {
  const std::regex repeat("\\{(.)\\*(\\d+)\\}");
  std::smatch r;
  while (std::regex_search(text, r, repeat)) text.replace(r.position(), r.length(), std::stoi(r[2]), r.str(1)[0]);
  return text;
}

inline std::vector<Case> Cases() {
  std::vector<Case> cases;
  std::ifstream file(DIMLUX_SETTINGS_CASES);
  const std::regex fields("([^|]*)\\|([^|]*)\\|([^|]*)\\|([^|]*)");
  for (std::string line; std::getline(file, line);) {
    std::smatch m;
    if (line.starts_with("#") || !std::regex_match(line, m, fields)) continue;
    cases.push_back({m[1], StoredForm(m[2], Expanded(m[3])), m[4]});
  }
  return cases;
}

class MainTest : public ::testing::Test {
 protected:
  void Load() {
    fake.CreateForm(kMainDesign, main);
    main.Form_Load();
  }

  // Starts at 200, 100 px with a 122 x 47 px frame (116 x 24 px client).
  void LoadStored(const std::string& startup = "0", const std::string& top = "1500", const std::string& left = "3000") {
    fake.keys[kSettingsKey] = {{"Top", {kRegSz, top}},
                               {"Left", {kRegSz, left}},
                               {"Bottom", {kRegSz, "705"}},
                               {"Right", {kRegSz, "1830"}},
                               {"Startup", {kRegSz, startup}}};
    Load();
  }

  // Another start of the program on the registry as it stands: a new window, loaded.
  Main StartAgain() {
    Main started(fake);
    fake.CreateForm(kMainDesign, started);
    started.Form_Load();
    return started;
  }

  std::string SettingsCaption() { return fake.buttons[Control::cmdSettings].caption; }

  std::string Stored(const std::string& name, const std::string& key = kSettingsKey) {
    auto value = fake.keys[key].find(name);
    return value == fake.keys[key].end() ? "<absent>" : value->second.bytes;
  }

  void TearDown() override { EXPECT_TRUE(fake.handles.empty()) << "a key handle was left open"; }

  FakePlatform fake;
  Main main{fake};
};

}  // namespace dimlux::test
