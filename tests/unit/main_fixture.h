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
using ::testing::Field;

// A line of the table of stored texts (settings_cases.txt): the case, the text, the number it gives or "repair".
struct Case {
  std::string name, text, result;
};

// In a case's text, {C*N} stands for N times the character C.
inline std::vector<Case> Cases() {
  std::vector<Case> cases;
  std::ifstream file(DIMLUX_SETTINGS_CASES);
  const std::regex fields("([^|]*)\\|([^|]*)\\|([^|]*)");
  const std::regex repeat("\\{(.)\\*(\\d+)\\}");
  for (std::string line; std::getline(file, line);) {
    std::smatch m, r;
    if (line.starts_with("#") || !std::regex_match(line, m, fields)) continue;
    std::string text = m[2];
    while (std::regex_search(text, r, repeat)) text.replace(r.position(), r.length(), std::stoi(r[2]), r.str(1)[0]);
    cases.push_back({m[1], text, m[3]});
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
    fake.keys[Key::kSettings] = {
        {"Top", top}, {"Left", left}, {"Bottom", "705"}, {"Right", "1830"}, {"Startup", startup}};
    Load();
  }

  std::string SettingsCaption() { return fake.captions[Control::cmdSettings]; }

  std::string Stored(const std::string& name, Key key = Key::kSettings) {
    return fake.keys[key].count(name) ? fake.keys[key][name] : "<absent>";
  }

  FakePlatform fake;
  Main main{fake};
};

}  // namespace dimlux::test
