// A Main window on the fake platform, with the settings key as a user would have it.
#pragma once

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/design.h"
#include "app/main_form.h"
#include "tests/unit/fake_platform.h"

namespace dimlux::test {

constexpr const char* kSettingsKey = "Software\\Dimlux";
constexpr const char* kRunKey = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
constexpr const char* kWakeUpFile = "C:\\Program Files\\Dimlux\\getup.txt";

class MainTest : public ::testing::Test {
 protected:
  void StoreSettings(const std::string& top, const std::string& left, const std::string& bottom,
                     const std::string& right, const std::string& startup) {
    fake.PutValue(kSettingsKey, "Top", top);
    fake.PutValue(kSettingsKey, "Left", left);
    fake.PutValue(kSettingsKey, "Bottom", bottom);
    fake.PutValue(kSettingsKey, "Right", right);
    fake.PutValue(kSettingsKey, "Startup", startup);
  }

  void Load() {
    fake.CreateForm(kMainDesign, main);
    main.Form_Load();
  }

  // Starts at 200, 100 px with a 122 x 47 px frame (116 x 24 px client), then forgets what loading did.
  void LoadStored(const std::string& startup = "0") {
    StoreSettings("1500", "3000", "705", "1830", startup);
    Load();
    fake.ClearCalls();
    fake.boxes.clear();
  }

  std::string Stored(const std::string& name, const std::string& key = kSettingsKey) const {
    auto value = fake.GetValue(key, name);
    return value ? value->bytes : "<absent>";
  }

  std::vector<std::string> RegistryCalls() const { return fake.CallsStartingWith("Reg"); }

  void TearDown() override { EXPECT_EQ(fake.OpenHandles(), 0) << "a key handle was left open"; }

  FakePlatform fake;
  Main main{fake};
};

}  // namespace dimlux::test
