#include "app/command_line.h"

#include <gtest/gtest.h>

#include <string>

namespace dimlux {
namespace {

TEST(CommandLine, OnlyTheOneSwitchInAnyCaseTurnsTheDisplayOff) {
  for (const char* given : {"", " \t "}) EXPECT_EQ(ParseCommandLine(given), Request::kShow) << given;
  for (const char* given : {"/off", "-off", "--off", "/OFF", " \t-Off ", "\" --oFF \""}) {
    EXPECT_EQ(ParseCommandLine(given), Request::kTurnOff) << given;
  }
  for (const char* given : {"off", "/of", "/offf", "---off", "/off /off", "\"/off", "\"", "/\u00f6ff"}) {
    EXPECT_EQ(ParseCommandLine(given), Request::kUnknown) << given;
  }
}

// Cut on a whole character of UTF-8, the code page of the ANSI calls; line breaks in it would break the box.
TEST(CommandLine, ALongUnknownCommandLineIsShownCutOnAWholeCharacter) {
  const std::string given = "a\r\n" + std::string(76, 'x') + "\xC3\xB6\xC3\xB6";
  const std::string text(UnknownCommandLineText(given).view());
  EXPECT_EQ(text, "Dimlux does not know this command line:\r\na  " + std::string(76, 'x') + "..." +
                      "\r\n\r\nIt knows one switch: /off, which turns the display off at once.");
}

}  // namespace
}  // namespace dimlux
