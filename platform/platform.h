// What the program needs from Windows, as one interface that says what the logic means. The logic above it is
// plain C++ that builds anywhere; platform/win32/ implements it with the real calls and keeps every detail of
// them that stored data and other copies rely on, the unit tests with a small model.
#pragma once

#include <cstdint>
#include <string_view>

#include "platform/text.h"

namespace dimlux {

// A place on the screen in twips: left and top edges, width and height. Twips are the unit of every stored
// value and of every figure the logic compares; only Windows speaks pixels, and the backend converts.
struct Place {
  float left, top, width, height;
};

// The registry keys under the current user: the program's settings, and the programs that start with Windows.
enum class Key { kSettings, kRun };

enum class Control { cmdOpt, cmdTurnOff, cmdSettings };
enum class Timer { tmr, tmrSticky };
// What a later copy asks of the running one, by window message. The numbers travel between copies.
enum class Wish { kWakeUp = 1, kTurnOff = 2 };
// How writing a file went: a file another program holds for a moment may be written on a later try.
enum class FileWrite { kWritten, kHeld, kRefused };
// What taking the wake-up file found: none, one taken away, or one that another program holds.
enum class WakeUpFile { kAbsent, kTaken, kHeld };
// A box that tells: of something to put right (the exclamation mark), or of a failure (the stop sign).
enum class Alert { kWarning, kError };

// How the window looks as created. Positions and sizes in twips, colours as 0x00BBGGRR.
struct ButtonDesign {
  Control control;
  int left, top, width, height;
  const char* caption;
  bool graphical;  // drawn by us in backColor and the font below; otherwise an ordinary button
  std::uint32_t backColor;
  const char* fontName;
  int fontWeight;
  int fontCharset;
  float fontPoints;
  const char* toolTip;  // nullptr: none
  int tabIndex;
};

struct TimerDesign {
  Timer timer;
  unsigned intervalMs;
};

struct FormDesign {
  const char* caption;
  int clientLeft, clientTop, clientWidth, clientHeight;
  ButtonDesign buttons[3];  // in design order
  TimerDesign timers[2];
};

// What the window reports back; every handler runs to completion on the window's thread.
class FormEvents {
 public:
  virtual void Click(Control control) = 0;
  virtual void Tick(Timer timer) = 0;
  // The window is about to go: closed by the user, or the session is ending.
  virtual void Form_Unload() = 0;
  // A later copy's wish, posted to this copy's window.
  virtual void Wished(Wish wish) = 0;

 protected:
  ~FormEvents() = default;
};

class Platform {
 public:
  // --- Registry: text values in a key, each call on its own ---
  // Whether the key is there and opens for reading and writing.
  virtual bool KeyOpens(Key key) = 0;
  // Creates the key, or opens it where it is there; false when neither can be done.
  virtual bool CreateKey(Key key) = 0;
  // The value's text; empty when it is absent or cannot be read as a short text.
  virtual Text ReadText(Key key, const char* name) = 0;
  virtual bool WriteText(Key key, const char* name, std::string_view text) = 0;
  virtual void DeleteValue(Key key, const char* name) = 0;

  // --- The widget ---
  // Creates it hidden from its design and reports its events to `events`; false if it could not be created
  // (no desktop to show it on, out of resources).
  virtual bool CreateForm(const FormDesign& design, FormEvents& events) = 0;
  // Shows it with the focus on `focus` and runs the message loop until it is gone; returns the exit code.
  virtual int RunForm(Control focus) = 0;
  // Its outer rectangle. Moving snaps to whole pixels, so a place read and moved to again reads the same.
  virtual Place WidgetPlace() = 0;
  virtual void MoveWidget(const Place& place) = 0;
  // The strip above the client area, within the side frames, by which the widget is dragged.
  virtual Place CaptionBar() = 0;
  // Above every window that is not kept on top itself, and shown.
  virtual void KeepOnTop() = 0;
  // Turn Off as high as the client area and as wide as it less "+" beside it: the normal face.
  virtual void ShowNormalFace() = 0;
  // The widget over the whole screen and above other windows, Turn Off filling it: the blanked face.
  virtual void CoverScreen() = 0;
  // Asks Windows to power the display down.
  virtual void AskDisplayOff() = 0;
  // The work area (a display less its taskbar and docked bars) of the display that shows most of `area`;
  // with `nearest`, of the nearest display when none shows any of it. False when there is none.
  virtual bool WorkArea(const Place& area, bool nearest, Place* work) = 0;

  virtual Text Caption(Control control) = 0;
  virtual void SetCaption(Control control, std::string_view caption) = 0;
  virtual void SetFocus(Control control) = 0;
  // The text shown when the mouse rests on the button, kept as given: it must last as long as the window.
  virtual void SetToolTip(Control control, const char* text) = 0;
  virtual void EnableTimer(Timer timer, bool enabled) = 0;

  // --- Boxes, modal to the program ---
  // A Yes/No question; whether it was answered Yes.
  virtual bool Ask(std::string_view question, std::string_view title) = 0;
  virtual void Tell(std::string_view text, std::string_view title, Alert alert) = 0;
  // Opens a file or a web page as the user's default program for it does.
  virtual void Open(std::string_view fileOrPage) = 0;

  // --- This copy and the running one ---
  // Whether another copy runs in this user's session, wherever it is kept. The first copy to ask holds
  // the session from then on, so that later copies find it.
  virtual bool RunningCopyFound() = 0;
  // Marks this copy's window as the one that later copies pass their wishes to.
  virtual void MarkThisCopy() = 0;
  // Leaves the wake-up file in the running copy's folder, for it to find on a tick. `path` is where it is
  // left, or empty, with nothing written, where that folder cannot be found (the running copy is still
  // starting, or its path cannot be had whole).
  virtual FileWrite LeaveWakeUpFile(Text* path) = 0;
  // Takes this copy's own wake-up file away; `path` is where it is looked for.
  virtual WakeUpFile TakeWakeUpFile(Text* path) = 0;
  // Posts the wish to the running copy's window; false when there is none to post it to, or Windows refuses
  // (a copy of another user's or of a higher integrity level does not take it).
  virtual bool PostWish(Wish wish) = 0;
  // The file of that name in the running executable's folder; empty when there is none.
  virtual Text FileBesideExe(std::string_view name) = 0;
  // The running executable's full path; empty when it cannot be had whole (too long, or not in the ANSI
  // calls' code page).
  virtual Text ExePath() = 0;
  virtual Text DecimalSeparator() = 0;  // the user's locale

  virtual void Sleep(unsigned milliseconds) = 0;
  // Ends the process. Under test it only records the code, so callers return right after.
  virtual void EndProcess(int exitCode) = 0;

 protected:
  ~Platform() = default;
};

}  // namespace dimlux
