#include "app/command_line.h"

#include "tests/unit/main_fixture.h"

namespace dimlux::test {
namespace {

struct Form {
  const char* commandLine;
  Request request;
};

TEST(CommandLine, OnlyTheOneSwitchInAnyCaseTurnsTheDisplayOff) {
  const std::vector<Form> forms = {
      {"", Request::kShow},
      {" \t ", Request::kShow},
      {"/off", Request::kTurnOff},
      {"-off", Request::kTurnOff},
      {"--off", Request::kTurnOff},
      {"/OFF", Request::kTurnOff},
      {" \t-Off ", Request::kTurnOff},
      {"\" --oFF \"", Request::kTurnOff},
      {"off", Request::kUnknown},
      {"/of", Request::kUnknown},
      {"/offf", Request::kUnknown},
      {"---off", Request::kUnknown},
      {"/off /off", Request::kUnknown},
      {"\"/off", Request::kUnknown},
      {"\"", Request::kUnknown},
      {"/\xC3\xB6"
       "ff",
       Request::kUnknown},
  };
  for (const Form& form : forms) EXPECT_EQ(ParseCommandLine(form.commandLine), form.request) << form.commandLine;
}

// Cut on a whole character of UTF-8, the code page of the ANSI calls; line breaks in it would break the box.
TEST(CommandLine, ALongUnknownCommandLineIsShownCutOnAWholeCharacter) {
  const std::string given = "a\r\n" + std::string(76, 'x') + "\xC3\xB6\xC3\xB6";
  const std::string text(UnknownCommandLineText(given).view());
  EXPECT_EQ(text, "Dimlux does not know this command line:\r\na  " + std::string(76, 'x') + "..." +
                      "\r\n\r\nIt knows one switch: /off, which turns the display off at once.");
}

TEST_F(MainTest, OffAtTheFirstStartSeedsTheSettingsAndBlanksWithoutABox) {
  EXPECT_EQ(StartProgram(fake, " /OFF"), 0);
  EXPECT_TRUE(fake.boxes.empty());
  EXPECT_THAT((std::vector{Stored("Top"), Stored("Bottom"), Stored("Left"), Stored("Right"), Stored("Startup")}),
              ElementsAre("6075", "705", "10635", "1425", "0"));
  EXPECT_EQ(fake.captions[Control::cmdTurnOff], "Turn On");
  EXPECT_TRUE(fake.timerEnabled[Timer::tmr]);
}

// A folder the user cannot write is not tried for seconds: the wish goes by window message at once.
TEST_F(MainTest, ASecondCopyThatCannotWriteTheWakeUpFilePostsTheWishAtOnce) {
  fake.runningCopy = true;
  fake.leaving = FileWrite::kRefused;
  fake.yesAnswers = 1;
  EXPECT_EQ(StartProgram(fake), 0);
  EXPECT_THAT(fake.posted, ElementsAre(Wish::kWakeUp));
  EXPECT_EQ(fake.sleptMs, 0);
  EXPECT_EQ(fake.boxes.size(), 1u);
}

}  // namespace
}  // namespace dimlux::test
