#include "flash/power.h"

#include <cstdio>

#include "app/program_message.h"
#include "app/manufacturing_log.h"
#include "app/startup.h"
#include "platform/platform.h"

namespace ql {

PowerState Power;

int CheckAcPower(WindowHandle owner) {
  PowerStatus status = TheMachine().GetPowerStatus();
  if (status.acLineStatus == kAcLineOnline) return 1;
  bool low = status.batteryFlag == kBatteryFlagLow || status.batteryFlag == kBatteryFlagCritical;
  Power.PowerAnswer = ProgramMessage(owner, low ? kMsgBatteryLow : kMsgPlugInAdapter,
                                     kMbAbortRetryIgnore | kMbIconExclamation);
  return 0;
}

int ShutdownSystem(WindowHandle owner) {
  Machine& machine = TheMachine();
  bool restart = Startup.ManufacturingMode != 0;
  if (Startup.OsFamily == kWin98) {
    AppendLogLine(kLogWin98Shutdown);
    machine.ExitWindows(restart ? kEwxReboot : kEwxShutdown);
    return 1;
  }
  if (!machine.EnableShutdownPrivilege()) {
    ProgramMessage(owner, kMsgCannotShutdown, kMbIconExclamation);
    return 0;
  }
  AppendLogLine(kLogWin2000Shutdown);
  machine.ExitWindows(restart ? kEwxReboot : kEwxPowerOff);
  return 1;
}

int ShutdownBoxTick() {
  Power.ShutdownCountdown -= 1;
  return Power.ShutdownCountdown < 0 ? 1 : 0;
}

void ShutdownBoxText(char (&text)[kShutdownBoxTextSize]) {
  std::snprintf(text, sizeof text, kShutdownBoxTextFormat, Power.ShutdownCountdown);
}

}  // namespace ql
