#include "app/command_line.h"

namespace dimlux {

namespace {

constexpr std::size_t kShownBytes = 80;
constexpr std::string_view kSwitches[] = {"/off", "-off", "--off"};

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view TrimBlanks(std::string_view text) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  return text;
}

char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool SameIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (Lower(a[i]) != Lower(b[i])) return false;
  }
  return true;
}

// A byte that continues a UTF-8 character, the code page of the ANSI calls.
bool ContinuesCharacter(char c) { return (static_cast<unsigned char>(c) & 0xC0) == 0x80; }

}  // namespace

Request ParseCommandLine(std::string_view commandLine) {
  std::string_view given = TrimBlanks(commandLine);
  if (given.empty()) return Request::kShow;
  if (given.size() >= 2 && given.front() == '"' && given.back() == '"') {
    given.remove_prefix(1);
    given.remove_suffix(1);
    given = TrimBlanks(given);
  }
  for (std::string_view known : kSwitches) {
    if (SameIgnoringCase(given, known)) return Request::kTurnOff;
  }
  return Request::kUnknown;
}

Text UnknownCommandLineText(std::string_view commandLine) {
  std::string_view given = TrimBlanks(commandLine);
  const bool cut = given.size() > kShownBytes;
  if (cut) {
    std::size_t end = kShownBytes;
    while (end > 0 && ContinuesCharacter(given[end])) --end;
    given.remove_suffix(given.size() - end);
  }
  Text text("Dimlux does not know this command line:\r\n");
  // Line breaks and other control characters would break the box's layout.
  for (char c : given) text += static_cast<unsigned char>(c) < 0x20 ? ' ' : c;
  if (cut) text += "...";
  text += "\r\n\r\nIt knows one switch: /off, which turns the display off at once.";
  return text;
}

}  // namespace dimlux
