// What a person sees and answers. The logic asks through this interface; the Win32 GUI and the
// scripted test desktop answer.
#pragma once

#include <cstdint>

namespace ql {

// An opaque window handle (an HWND on Windows). Null stands for "no owner".
using WindowHandle = void*;

// Message box styles and answers, with the platform's values.
inline constexpr uint32_t kMbOk = 0x0;
inline constexpr uint32_t kMbOkCancel = 0x1;
inline constexpr uint32_t kMbAbortRetryIgnore = 0x2;
inline constexpr uint32_t kMbYesNoCancel = 0x3;
inline constexpr uint32_t kMbYesNo = 0x4;
inline constexpr uint32_t kMbIconHand = 0x10;
inline constexpr uint32_t kMbIconQuestion = 0x20;
inline constexpr uint32_t kMbIconExclamation = 0x30;
inline constexpr uint32_t kMbIconAsterisk = 0x40;

inline constexpr int kIdOk = 1;
inline constexpr int kIdCancel = 2;
inline constexpr int kIdAbort = 3;
inline constexpr int kIdRetry = 4;
inline constexpr int kIdIgnore = 5;
inline constexpr int kIdYes = 6;
inline constexpr int kIdNo = 7;

// The main window's buttons whose enabled state the logic decides.
enum class Control { kLoad, kBackup, kOption, kHelp, kFlash, kExit };

// The progress items that a progress operation repaints at once.
enum class ProgressItem { kBackground, kBlockMap, kPhaseItem, kStatusBar, kMainWindow };

enum class CursorShape { kArrow, kAtOnce };

// One open or save file dialog. `filter` is the platform's list of NUL-separated pairs ended by
// an empty string; `fileName` is both the proposed name and the result.
struct FileDialogRequest {
  WindowHandle owner = nullptr;
  const char* title = nullptr;
  const char* filter = nullptr;
  char* fileName = nullptr;
  uint32_t fileNameSize = 0;
  const char* initialDirectory = nullptr;
  const char* defaultExtension = nullptr;
  uint32_t flags = 0;
};

// A dialog titled `title` that opens in `initialDirectory` on the name in `fileName` (room for
// `fileNameSize` bytes) and leaves the chosen name there.
inline FileDialogRequest FileDialog(WindowHandle owner, const char* title, const char* filter,
                                    char* fileName, uint32_t fileNameSize,
                                    const char* initialDirectory) {
  FileDialogRequest request;
  request.owner = owner;
  request.title = title;
  request.filter = filter;
  request.fileName = fileName;
  request.fileNameSize = fileNameSize;
  request.initialDirectory = initialDirectory;
  return request;
}

// How the shutdown box ended.
enum class ShutdownBoxEnd {
  kCountdownElapsed,  // the eleventh tick: shut down
  kShutdownNow,       // "Shutdown Now..." pressed
  kClosed,            // the close box: nothing happens
  kNotShown,          // the box could not be made
};

class Desktop {
 public:
  virtual ~Desktop() = default;

  // A modal message box; answers the button pressed (kIdOk, kIdCancel, ...).
  virtual int ShowMessageBox(WindowHandle owner, const char* text, const char* caption,
                             uint32_t style) = 0;

  // The open and save dialogs: true when the user chose a name (left in request.fileName).
  virtual bool ChooseOpenFile(const FileDialogRequest& request) = 0;
  virtual bool ChooseSaveFile(const FileDialogRequest& request) = 0;

  // The password dialog. True with the typed text in `entry` (NUL-terminated, at most
  // entrySize - 1 bytes) when OK was pressed, false when EXIT was chosen. The caller decides what
  // the text is worth and may ask again.
  virtual bool AskPassword(WindowHandle owner, char* entry, uint32_t entrySize) = 0;

  // The shutdown countdown box, opened with `seconds` left. Opened only once a job is done with
  // the part: from then on the system may go down, as the box itself offers.
  virtual ShutdownBoxEnd RunShutdownBox(WindowHandle owner, int seconds) = 0;

  virtual void EnableControl(Control control, bool enabled) = 0;

  // Repaints one progress item before returning: the window shows each step as the job reaches it,
  // and a job on a thread of its own waits meanwhile, so nothing changes while it is drawn.
  virtual void Repaint(ProgressItem item) = 0;

  // Shows a cursor and answers the one it replaced.
  virtual CursorShape SetCursor(CursorShape shape) = 0;

  // Releases the skin's bitmaps: part of every orderly end of the program.
  virtual void ReleaseSkin() = 0;
};

// The program's name: the caption of nearly every message it shows.
inline constexpr const char* kProgramName = "Quorrelite";

// A message box under the program's own name; answers the button pressed.
inline int ProgramMessage(Desktop& desktop, WindowHandle owner, const char* text, uint32_t style) {
  return desktop.ShowMessageBox(owner, text, kProgramName, style);
}

}  // namespace ql
