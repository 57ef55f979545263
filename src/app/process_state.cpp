#include "app/process_state.h"

#include "app/startup.h"
#include "driver/driver_link.h"
#include "driver/driver_requests.h"

namespace ql {

// Each subsystem puts its own state back here, one line per state record.
void ResetProcessState() {
  // app
  Startup = StartupState{};
  // driver
  DriverLink = DriverLinkState{};
  DriverBlocks = DriverBlockSet{};
  // bios
  // rom
  // flash
  // dmi
}

}  // namespace ql
