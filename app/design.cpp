#include "app/design.h"

namespace dimlux {

namespace {
constexpr int kRegularWeight = 400;
constexpr int kAnsiCharset = 0;
constexpr std::uint32_t kRed = 0x000000FF;
constexpr std::uint32_t kPink = 0x008080FF;
}  // namespace

// Buttons in design order. cmdOpt lies right of the client area and has no handler.
const FormDesign kMainDesign = {
    "Dimlux",
    10680,
    6375,
    1335,
    360,
    {
        {Control::cmdOpt, 2400, 0, 375, 375, "?", false, 0, nullptr, kRegularWeight, kAnsiCharset, 0, nullptr, 2},
        {Control::cmdTurnOff, 0, 0, 975, 375, "Turn Off", true, kRed, "Impact", kRegularWeight, kAnsiCharset, 12.0f,
         "Click to turn off. Press ENTER or SPACE or Click to turn on again!", 0},
        {Control::cmdSettings, 960, 0, 375, 375, "", true, kPink, "Impact", kRegularWeight, kAnsiCharset, 14.25f,
         nullptr, 1},
    },
    {{Timer::tmrSticky, 1000}, {Timer::tmr, 1}},
};

}  // namespace dimlux
