// The main window's decisions that need no window: the command dispatch, the focus wrap, window
// dragging and placing. The dialog procedure moves messages to these and to the program's
// commands (app/program.h) and carries out their answers on the windows.
#pragma once

#include <cstdint>

#include "skin/skin_layout.h"

namespace ql {

// Button notification codes the dispatch looks at.
inline constexpr uint32_t kBnClicked = 0;
inline constexpr uint32_t kBnSetFocus = 6;
inline constexpr uint32_t kBnKillFocus = 7;

// The source of a command, told by the handle of the control that sent it.
enum class CommandSource { kLoad, kBackup, kOption, kHelp, kFlash, kExit, kOther };

enum class CommandAction {
  kNone,       // ignored: focus notifications, Esc, the splash's end, unknown sources
  kFocusWrap,  // BN_KILLFOCUS: see FocusWrapTarget
  kLoad,
  kBackup,
  kOption,
  kHelp,
  kFlash,
  kExit,
};

// The window that holds the focus after a button lost it, as the focus wrap sees it.
enum class FocusHolder { kBlockMap, kPhaseItem, kOther };

struct WindowPoint {
  int32_t x = 0;
  int32_t y = 0;
};

// The main window's top-left corner, centred on a screen of this size (halves truncated toward
// zero, so a screen smaller than the window gives a negative corner).
WindowPoint MainWindowOrigin(int32_t screenWidth, int32_t screenHeight);

// The command a WM_COMMAND means: the notification code first, then the source.
CommandAction DispatchCommand(uint32_t notification, CommandSource source);

// Where the focus goes after `from` lost it to `now`: the ends of the button row wrap round
// instead of resting on the block map or the phase item. kOther = leave it.
CommandSource FocusWrapTarget(CommandSource from, FocusHolder now);

// Dragging: the press keeps the grab point; a move while dragging answers the window's new
// top-left corner (the rectangle's size is kept by the caller); the release ends it.
class WindowDrag {
 public:
  void Begin(int32_t x, int32_t y);
  bool Move(int32_t left, int32_t top, int32_t x, int32_t y, WindowPoint* origin) const;
  // True when a drag was going on.
  bool End();

 private:
  bool dragging_ = false;
  int32_t grabX_ = 0;
  int32_t grabY_ = 0;
};
// A mouse position word of a message, read as signed: positions left of or above a captured
// window are negative.
int32_t SignedWord(uint32_t word);

// The messages the main window answers otherwise while a job runs, with the platform's values.
inline constexpr uint32_t kWmPaint = 0x000F;
inline constexpr uint32_t kWmClose = 0x0010;
inline constexpr uint32_t kWmQueryEndSession = 0x0011;
inline constexpr uint32_t kWmCommand = 0x0111;
inline constexpr uint32_t kWmSysCommand = 0x0112;
inline constexpr uint32_t kWmLButtonDown = 0x0201;
inline constexpr uint32_t kWmPowerBroadcast = 0x0218;
inline constexpr uint32_t kWmDropFiles = 0x0233;
inline constexpr uint32_t kWmApp = 0x8000;
// Posted to the main window when the operating system closes the program after the restart the
// shutdown box asked for.
inline constexpr uint32_t kWmClosedBySystem = kWmApp + 0x51;
inline constexpr uint32_t kScClose = 0xF060;
inline constexpr uint32_t kPbtApmQuerySuspend = 0x0;
inline constexpr uint32_t kPbtApmQueryStandby = 0x1;
inline constexpr intptr_t kBroadcastQueryDeny = 0x424D5144;

// What becomes of a message to the main window while a job (a flash, a backup, a DMI-only flash)
// runs on a thread of its own.
enum class JobMessage {
  kAsUsual,        // handled as without a job: drawing, the job's own requests, notifications
  kDefaultOnly,    // the window's default handling alone; the program is not reached (a paint)
  kAnswered,       // taken, and answered with JobAnswer::result; nothing else happens
  kDropRefused,    // dropped files are handed back unread
  kCloseAfterJob,  // the system's close after the restart: carried out once the job has ended
};
struct JobAnswer {
  JobMessage action = JobMessage::kAsUsual;
  intptr_t result = 0;
};

// The main window's answer to `message` while a job runs. `systemHeld`: the job may still change
// the part, so a shutdown, a log-off and a suspend are refused; it ends when the job opens the
// shutdown box, after which the system may go down as the box itself offers. Every command, the
// close box, Alt+F4 and other input are taken and do nothing all the while.
JobAnswer AnswerDuringJob(uint32_t message, uint64_t wParam, bool systemHeld);

}  // namespace ql
