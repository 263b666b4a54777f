// What people's desks bring: displays that come and go, a wake-up file that another program holds open.
#include "tests/unit/main_fixture.h"

namespace dimlux::test {
namespace {

const FakePlatform::Monitor kPrimary{{0, 0, 1024, 768}, {0, 0, 1024, 728}};  // a taskbar at the bottom
const FakePlatform::Monitor kLeftOfIt{{-1280, -200, 1280, 1024}, {-1280, -200, 1280, 1024}};

// A stored place in pixels on a set of displays, and where the widget opens (122 x 47 px, caption bar 20 px).
struct StoredPlace {
  const char* name;
  std::vector<FakePlatform::Monitor> monitors;
  int left, top, openLeft, openTop;
};

TEST_F(MainTest, APlaceNoDisplayShowsEnoughOfOpensInsideTheNearestWorkAreaAndTurnOnChecksItAgain) {
  const std::vector<StoredPlace> places = {
      {"on a display on the left, unplugged", {kPrimary}, -600, 300, 0, 300},
      {"60 px over the left edge", {kPrimary}, -60, 300, -60, 300},
      {"95 px over the right edge", {kPrimary}, 997, 300, 902, 300},
      {"on the taskbar", {kPrimary}, 500, 720, 500, 681},
      {"half its caption bar above the top", {kPrimary}, 500, -10, 500, -10},
      {"more than half of it above", {kPrimary}, 500, -11, 500, 0},
      {"on the display on the left", {kPrimary, kLeftOfIt}, -600, 300, -600, 300},  // last: Turn On below starts here
  };
  for (const StoredPlace& place : places) {
    SCOPED_TRACE(place.name);
    fake.monitors = place.monitors;
    LoadStored("0", std::to_string(place.top * 15), std::to_string(place.left * 15));
    EXPECT_THAT((std::vector{fake.window.left, fake.window.top, fake.window.width}),
                ElementsAre(place.openLeft, place.openTop, 122));
  }
  fake.window.top = 200;  // moved less than a second ago: not stored yet
  main.cmdTurnOff_Click();
  fake.monitors = {kPrimary};  // unplugged while blanked
  main.cmdTurnOff_Click();
  EXPECT_EQ(fake.window.top, 300) << "Turn On goes back to the stored place, not the last one";
  main.tmrSticky_Timer();
  EXPECT_EQ(Stored("Left"), "0");
}

// How many ticks a lock takes that lasts, counted afresh after one that did not (which Wine proves, in seconds).
TEST_F(MainTest, AWakeUpFileHeldForGoodStopsTheRunningCopyOnTheSixthTick) {
  LoadStored();
  fake.wakeUpFile = 5;  // taken on the sixth tick
  for (int tick = 1; tick <= 6; ++tick) main.tmrSticky_Timer();
  fake.wakeUpFile = 1000;
  for (int tick = 1; tick <= 5; ++tick) main.tmrSticky_Timer();
  EXPECT_TRUE(fake.boxes.empty());
  main.tmrSticky_Timer();
  EXPECT_EQ(fake.boxes.size(), 1u);  // its text and the exit code: e2e
}

}  // namespace
}  // namespace dimlux::test
