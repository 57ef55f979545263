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

}  // namespace ql
