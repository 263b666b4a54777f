// A small model of the platform: keys of texts, a framed window of whole pixels, displays, boxes, the copies.
#pragma once

#include <algorithm>
#include <cmath>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace dimlux::test {

struct Box {
  std::string text, title, kind;  // kind: "ask" (a question), "warning" or "error"
  bool operator==(const Box&) const = default;
};

constexpr const char* kWakeUpFile = "C:\\Program Files\\Dimlux\\getup.txt";

class FakePlatform final : public Platform {
 public:
  using Monitor = std::pair<Place, Place>;      // whole area, work area, in pixels; the first (primary) is the nearest
  static constexpr float kSide = 3, kTop = 20;  // the frame: at the sides and bottom; at the top, with the caption bar

  std::map<Key, std::map<std::string, std::string>> keys{{Key::kRun, {}}};
  std::set<Key> deniedKeys;  // cannot be opened or created
  int yesAnswers = 0;        // the next this many questions are answered Yes, the others No
  std::vector<Box> boxes;
  bool cannotCreateWindow = false;
  bool shown = false;
  Place window = {};  // its outer rectangle, in pixels
  std::map<Control, std::string> captions;
  std::map<Timer, bool> timerEnabled{{Timer::tmr, false}, {Timer::tmrSticky, false}};
  float tpp = 15;                                                         // twips per pixel
  std::vector<Monitor> monitors{{{0, 0, 1024, 768}, {0, 0, 1024, 728}}};  // the primary, a taskbar at the bottom
  bool runningCopy = false;
  // What leaving the wake-up file gives; none: the running copy is still starting, its folder and window not found.
  std::optional<FileWrite> leaving = FileWrite::kWritten;
  int wakeUpFile = -1;  // this copy's: -1 none; else how many more tries to take it fail, as if another program held it
  int sleptMs = 0;
  std::string decimalSeparator = ".";
  std::string exePath = "C:\\Program Files\\Dimlux\\Dimlux.exe";  // "": a path that cannot be had whole

  bool KeyOpens(Key key) override { return keys.count(key) && !deniedKeys.count(key); }
  bool CreateKey(Key key) override {
    if (!deniedKeys.count(key)) keys[key];
    return KeyOpens(key);
  }
  Text ReadText(Key key, const char* name) override {
    return KeyOpens(key) && keys[key].count(name) ? Text(keys[key][name]) : Text();
  }
  bool WriteText(Key key, const char* name, std::string_view text) override {
    if (KeyOpens(key)) keys[key][name] = text;
    return KeyOpens(key);
  }
  void DeleteValue(Key key, const char* name) override {
    if (KeyOpens(key)) keys[key].erase(name);
  }

  bool CreateForm(const FormDesign& design, FormEvents&) override {
    window = {Px(design.clientLeft) - kSide, Px(design.clientTop) - kTop, Px(design.clientWidth) + 2 * kSide,
              Px(design.clientHeight) + kTop + kSide};
    for (const ButtonDesign& button : design.buttons) captions[button.control] = button.caption;
    return !cannotCreateWindow;
  }
  int RunForm(Control) override { return 0; }
  Place WidgetPlace() override { return InTwips(window); }
  void MoveWidget(const Place& p) override { window = {Px(p.left), Px(p.top), Px(p.width), Px(p.height)}; }
  Place CaptionBar() override { return InTwips({window.left + kSide, window.top, window.width - 2 * kSide, kTop}); }
  void KeepOnTop() override { shown = true; }  // as the real one, which also shows it
  void ShowNormalFace() override {}
  void CoverScreen() override { window = monitors[0].first; }
  void AskDisplayOff() override {}
  // The first display that shows any of the area (no place under test lies on two), or else the primary.
  bool WorkArea(const Place& area, bool nearest, Place* work) override {
    auto found = std::find_if(monitors.begin(), monitors.end(),
                              [&](auto& m) { return Overlap(area, InTwips(m.first)); });
    if (found == monitors.end() && nearest) found = monitors.begin();
    if (found != monitors.end()) *work = InTwips(found->second);
    return found != monitors.end();
  }
  Text Caption(Control control) override { return Text(captions.at(control)); }
  void SetCaption(Control control, std::string_view caption) override { captions.at(control) = caption; }
  void SetFocus(Control) override {}
  void SetToolTip(Control, const char*) override {}
  void EnableTimer(Timer timer, bool enabled) override { timerEnabled[timer] = enabled; }

  bool Ask(std::string_view question, std::string_view title) override {
    boxes.push_back({std::string(question), std::string(title), "ask"});
    return yesAnswers-- > 0;
  }
  void Tell(std::string_view text, std::string_view title, Alert alert) override {
    boxes.push_back({std::string(text), std::string(title), alert == Alert::kError ? "error" : "warning"});
  }
  void Open(std::string_view) override {}

  bool RunningCopyFound() override { return runningCopy; }
  void MarkThisCopy() override {}
  FileWrite LeaveWakeUpFile(Text* path) override {
    *path = Text(leaving ? kWakeUpFile : "");
    return leaving.value_or(FileWrite::kRefused);
  }
  WakeUpFile TakeWakeUpFile(Text* path) override {
    *path = Text(kWakeUpFile);
    if (wakeUpFile < 0) return WakeUpFile::kAbsent;
    return wakeUpFile-- > 0 ? WakeUpFile::kHeld : WakeUpFile::kTaken;
  }
  bool PostWish(Wish) override { return leaving.has_value(); }
  Text FileBesideExe(std::string_view) override { return {}; }  // no readme beside it
  Text ExePath() override { return Text(exePath); }
  Text DecimalSeparator() override { return Text(decimalSeparator); }
  void Sleep(unsigned milliseconds) override { sleptMs += static_cast<int>(milliseconds); }
  void EndProcess(int) override {}

  static bool Overlap(const Place& a, const Place& b) {
    return a.left < b.left + b.width && b.left < a.left + a.width && a.top < b.top + b.height &&
           b.top < a.top + a.height;
  }
  float Px(float twips) const { return static_cast<float>(std::round(double{twips} / double{tpp})); }
  Place InTwips(const Place& p) const { return {p.left * tpp, p.top * tpp, p.width * tpp, p.height * tpp}; }
};

}  // namespace dimlux::test
