// A desktop that answers from queues and records everything the logic showed, so tests assert the
// exact text, caption and style of every message box.
#pragma once

#include <deque>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "platform/desktop.h"

namespace ql::testing {

struct MessageRecord {
  std::string text;
  std::string caption;
  uint32_t style = 0;
  WindowHandle owner = nullptr;
  bool operator==(const MessageRecord& o) const {
    return text == o.text && caption == o.caption && style == o.style;
  }
};

class ScriptedDesktop final : public Desktop {
 public:
  // Answers for message boxes, in order; when empty a box is answered with its first button.
  std::deque<int> messageAnswers;
  // Boxes whose text is here always get this answer, whatever the queue holds.
  std::map<std::string, int> standingAnswers;
  // Names chosen in file dialogs; nullopt = cancelled. When empty the dialog is cancelled.
  std::deque<std::optional<std::string>> openFileAnswers;
  std::deque<std::optional<std::string>> saveFileAnswers;
  // Password dialog entries; nullopt = EXIT. When empty, EXIT.
  std::deque<std::optional<std::string>> passwordAnswers;
  // How shutdown boxes end. When empty, the countdown elapses.
  std::deque<ShutdownBoxEnd> shutdownAnswers;

  std::vector<MessageRecord> messages;
  std::vector<FileDialogRequest> openFileRequests;
  std::vector<FileDialogRequest> saveFileRequests;
  std::vector<std::string> proposedSaveNames;  // the name each save dialog opened with
  int passwordDialogs = 0;
  std::vector<int> shutdownBoxes;  // seconds each box opened with
  std::map<Control, bool> enabled;
  std::map<ProgressItem, int> repaints;
  std::function<void(ProgressItem)> onRepaint;  // sees what each repaint would show
  CursorShape cursor = CursorShape::kArrow;
  int skinReleases = 0;

  int ShowMessageBox(WindowHandle owner, const char* text, const char* caption,
                     uint32_t style) override;
  bool ChooseOpenFile(const FileDialogRequest& request) override;
  bool ChooseSaveFile(const FileDialogRequest& request) override;
  bool AskPassword(WindowHandle owner, char* entry, uint32_t entrySize) override;
  ShutdownBoxEnd RunShutdownBox(WindowHandle owner, int seconds) override;
  void EnableControl(Control control, bool on) override;
  void Repaint(ProgressItem item) override;
  CursorShape SetCursor(CursorShape shape) override;
  void ReleaseSkin() override { ++skinReleases; }

  // The texts of the boxes shown, in order.
  std::vector<std::string> Texts() const;
};

}  // namespace ql::testing
