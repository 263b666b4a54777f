// The Win32 implementation of the platform interface. Only files in this folder include <windows.h>.
#pragma once

#include <windows.h>

#include "platform/platform.h"

namespace dimlux::win32 {

class Win32Platform final : public Platform {
 public:
  bool KeyOpens(Key key) override;
  bool CreateKey(Key key) override;
  Text ReadText(Key key, const char* name) override;
  bool WriteText(Key key, const char* name, std::string_view text) override;
  void DeleteValue(Key key, const char* name) override;

  bool CreateForm(const FormDesign& design, FormEvents& events) override;
  int RunForm(Control focus) override;
  Place WidgetPlace() override;
  void MoveWidget(const Place& place) override;
  Place CaptionBar() override;
  void KeepOnTop() override;
  void ShowNormalFace() override;
  void CoverScreen() override;
  void AskDisplayOff() override;
  bool WorkArea(const Place& area, bool nearest, Place* work) override;
  Text Caption(Control control) override;
  void SetCaption(Control control, std::string_view caption) override;
  void SetFocus(Control control) override;
  void SetToolTip(Control control, const char* text) override;
  void EnableTimer(Timer timer, bool enabled) override;

  bool Ask(std::string_view question, std::string_view title) override;
  void Tell(std::string_view text, std::string_view title, Alert alert) override;
  void Open(std::string_view fileOrPage) override;

  bool RunningCopyFound() override;
  void MarkThisCopy() override;
  FileWrite LeaveWakeUpFile(Text* path) override;
  WakeUpFile TakeWakeUpFile(Text* path) override;
  bool PostWish(Wish wish) override;
  Text FileBesideExe(std::string_view name) override;
  Text ExePath() override;
  Text DecimalSeparator() override;
  void Sleep(unsigned milliseconds) override;
  void EndProcess(int exitCode) override;
};

}  // namespace dimlux::win32
