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
  const bool privileged = request.win9x || machine.EnableShutdownPrivilege();
  const uint32_t flags = request.restart ? kEwxReboot : request.win9x ? kEwxShutdown : kEwxPowerOff;
  // The log says the system goes down only once the platform took the request.
  if (!privileged || !machine.ExitWindows(flags)) {
    if (request.restart) {
      log.Line(kLogCannotShutdown);
    } else {
      ProgramMessage(desktop, owner, kMsgCannotShutdown, kMbIconExclamation);
    }
    return false;
  }
  log.Line(request.win9x ? kLogWin98Shutdown : kLogWin2000Shutdown);
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
