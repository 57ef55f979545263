#include "platform/testing/scripted_desktop.h"

#include <cstring>

namespace ql::testing {
namespace {

bool Answer(const std::optional<std::string>& name, const FileDialogRequest& r) {
  if (!name || r.fileName == nullptr || r.fileNameSize == 0) return false;
  size_t n = name->size() < r.fileNameSize - 1 ? name->size() : r.fileNameSize - 1;
  std::memcpy(r.fileName, name->data(), n);
  r.fileName[n] = '\0';
  return true;
}

template <typename T>
std::optional<T> Pop(std::deque<std::optional<T>>& q) {
  if (q.empty()) return std::nullopt;
  std::optional<T> v = q.front();
  q.pop_front();
  return v;
}

// The answer a box gets from a person who presses its first button.
int FirstButton(uint32_t style) {
  switch (style & 0xF) {
    case kMbAbortRetryIgnore:
      return kIdAbort;
    case kMbYesNo:
    case kMbYesNoCancel:
      return kIdYes;
    default:
      return kIdOk;
  }
}

}  // namespace

int ScriptedDesktop::ShowMessageBox(WindowHandle owner, const char* text, const char* caption,
                                    uint32_t style) {
  messages.push_back(MessageRecord{text, caption, style, owner});
  if (auto standing = standingAnswers.find(text); standing != standingAnswers.end()) {
    return standing->second;
  }
  if (messageAnswers.empty()) return FirstButton(style);
  int a = messageAnswers.front();
  messageAnswers.pop_front();
  return a;
}

bool ScriptedDesktop::ChooseOpenFile(const FileDialogRequest& request) {
  openFileRequests.push_back(request);
  return Answer(Pop(openFileAnswers), request);
}

bool ScriptedDesktop::ChooseSaveFile(const FileDialogRequest& request) {
  saveFileRequests.push_back(request);
  proposedSaveNames.emplace_back(request.fileName != nullptr ? request.fileName : "");
  return Answer(Pop(saveFileAnswers), request);
}

bool ScriptedDesktop::AskPassword(WindowHandle, char* entry, uint32_t entrySize) {
  ++passwordDialogs;
  std::optional<std::string> typed = Pop(passwordAnswers);
  if (!typed || entrySize == 0) return false;
  size_t n = typed->size() < entrySize - 1 ? typed->size() : entrySize - 1;
  std::memcpy(entry, typed->data(), n);
  entry[n] = '\0';
  return true;
}

ShutdownBoxEnd ScriptedDesktop::RunShutdownBox(WindowHandle, int seconds) {
  shutdownBoxes.push_back(seconds);
  if (shutdownAnswers.empty()) return ShutdownBoxEnd::kCountdownElapsed;
  ShutdownBoxEnd e = shutdownAnswers.front();
  shutdownAnswers.pop_front();
  return e;
}

void ScriptedDesktop::EnableControl(Control control, bool on) {
  enabled[control] = on;
}

void ScriptedDesktop::Repaint(ProgressItem item) {
  ++repaints[item];
  if (onRepaint) onRepaint(item);
}

CursorShape ScriptedDesktop::SetCursor(CursorShape shape) {
  CursorShape previous = cursor;
  cursor = shape;
  return previous;
}

std::vector<std::string> ScriptedDesktop::Texts() const {
  std::vector<std::string> t;
  for (const MessageRecord& m : messages) t.push_back(m.text);
  return t;
}

}  // namespace ql::testing
