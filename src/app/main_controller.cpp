#include "app/main_controller.h"

namespace ql {

WindowPoint MainWindowOrigin(int32_t screenWidth, int32_t screenHeight) {
  return WindowPoint{(screenWidth - kMainWindowSize) / 2, (screenHeight - kMainWindowSize) / 2};
}

CommandAction DispatchCommand(uint32_t notification, CommandSource source) {
  if (notification == kBnSetFocus) return CommandAction::kNone;
  if (notification == kBnKillFocus) return CommandAction::kFocusWrap;
  switch (source) {
    case CommandSource::kLoad:
      return CommandAction::kLoad;
    case CommandSource::kBackup:
      return CommandAction::kBackup;
    case CommandSource::kOption:
      return CommandAction::kOption;
    case CommandSource::kHelp:
      return CommandAction::kHelp;
    case CommandSource::kFlash:
      return CommandAction::kFlash;
    case CommandSource::kExit:
      return CommandAction::kExit;
    case CommandSource::kOther:
      return CommandAction::kNone;
  }
  return CommandAction::kNone;
}

CommandSource FocusWrapTarget(CommandSource from, FocusHolder now) {
  if (from == CommandSource::kExit && now == FocusHolder::kBlockMap) return CommandSource::kLoad;
  if (from == CommandSource::kLoad && now == FocusHolder::kPhaseItem) return CommandSource::kExit;
  return CommandSource::kOther;
}

void WindowDrag::Begin(int32_t x, int32_t y) {
  grabX_ = x;
  grabY_ = y;
  dragging_ = true;
}

bool WindowDrag::Move(int32_t left, int32_t top, int32_t x, int32_t y, WindowPoint* origin) const {
  if (!dragging_) return false;
  *origin = WindowPoint{left + x - grabX_, top + y - grabY_};
  return true;
}

bool WindowDrag::End() {
  if (!dragging_) return false;
  dragging_ = false;
  return true;
}

JobAnswer AnswerDuringJob(uint32_t message, uint64_t wParam, bool systemHeld) {
  constexpr JobAnswer kTaken{JobMessage::kAnswered, 0};
  switch (message) {
    case kWmQueryEndSession:
      // Zero refuses the shutdown or log-off.
      return systemHeld ? kTaken : JobAnswer{};
    case kWmPowerBroadcast: {
      const bool query = wParam == kPbtApmQuerySuspend || wParam == kPbtApmQueryStandby;
      if (!systemHeld || !query) return JobAnswer{};
      return JobAnswer{JobMessage::kAnswered, kBroadcastQueryDeny};
    }
    case kWmSysCommand:
      return (wParam & 0xFFF0) == kScClose ? kTaken : JobAnswer{};
    case kWmCommand:
    case kWmClose:
    case kWmLButtonDown:
      return kTaken;
    case kWmDropFiles:
      return JobAnswer{JobMessage::kDropRefused, 0};
    case kWmPaint:
      return JobAnswer{JobMessage::kDefaultOnly, 0};
    case kWmClosedBySystem:
      return JobAnswer{JobMessage::kCloseAfterJob, 0};
    default:
      return JobAnswer{};
  }
}

int32_t SignedWord(uint32_t word) {
  return static_cast<int16_t>(static_cast<uint16_t>(word & 0xFFFF));
}

}  // namespace ql
