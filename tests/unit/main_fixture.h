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

// The lines of the table of stored texts (settings_cases.txt): the case, the text, the number it gives or "repair".
// A text may begin with {C*N}, which stands for N times the character C.
inline std::vector<std::array<std::string, 3>> Cases() {
  const std::regex fields(R"(([^#|][^|]*)\|(?:\{(.)\*(\d+)\})?([^|]*)\|([^|]*))");
  std::ifstream file(DIMLUX_SETTINGS_CASES);
  std::vector<std::array<std::string, 3>> cases;
  std::smatch m;
  for (std::string line; std::getline(file, line);) {
    if (!std::regex_match(line, m, fields)) continue;
    const std::string repeated(m[3].matched ? std::stoi(m[3]) : 0, m.str(2)[0]);
    cases.push_back({m[1], repeated + m.str(4), m[5]});
  }
  return cases;
}

class MainTest : public ::testing::Test {
 protected:
  // Starts at 200, 100 px with a 122 x 47 px frame (116 x 24 px client).
  void LoadStored(const std::string& startup = "0", const std::string& top = "1500", const std::string& left = "3000") {
    fake.keys[Key::kSettings] = {
        {"Top", top}, {"Left", left}, {"Bottom", "705"}, {"Right", "1830"}, {"Startup", startup}};
    fake.CreateForm(kMainDesign, main);
    main.Form_Load();
  }

  std::string Stored(const std::string& name, Key key = Key::kSettings) {
    return fake.keys[key].count(name) ? fake.keys[key][name] : "<absent>";
  }

  FakePlatform fake;
  Main main{fake};
};

}  // namespace dimlux::test
