#include "flash/power.h"

#include <cstdio>

namespace ql {

std::optional<int> CheckAcPower(Machine& machine, Desktop& desktop, WindowHandle owner) {
  PowerStatus status = machine.GetPowerStatus();
  if (status.acLineStatus == kAcLineOnline) return std::nullopt;
  bool low = status.batteryFlag == kBatteryFlagLow || status.batteryFlag == kBatteryFlagCritical;
  return ProgramMessage(desktop, owner, low ? kMsgBatteryLow : kMsgPlugInAdapter,
                        kMbAbortRetryIgnore | kMbIconExclamation);
}

bool ShutdownSystem(Machine& machine, Desktop& desktop, EventLog& log, WindowHandle owner,
                    const ShutdownRequest& request) {
  if (request.win9x) {
    log.Line(kLogWin98Shutdown);
    machine.ExitWindows(request.restart ? kEwxReboot : kEwxShutdown);
    return true;
  }
  if (!machine.EnableShutdownPrivilege()) {
    ProgramMessage(desktop, owner, kMsgCannotShutdown, kMbIconExclamation);
    return false;
  }
  log.Line(kLogWin2000Shutdown);
  machine.ExitWindows(request.restart ? kEwxReboot : kEwxPowerOff);
  return true;
}

bool ShutdownCountdown::Tick() {
  seconds_ -= 1;
  return seconds_ < 0;
}

void ShutdownCountdown::Text(char (&text)[kShutdownBoxTextSize]) const {
  std::snprintf(text, sizeof text, kShutdownBoxTextFormat, seconds_);
}

}  // namespace ql
