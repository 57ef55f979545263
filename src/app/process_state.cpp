#include "app/process_state.h"

#include "app/startup.h"
#include "driver/driver_link.h"
#include "driver/driver_requests.h"

namespace ql {

void ResetProcessState() {
  Startup = StartupState{};
  DriverLink = DriverLinkState{};
  DriverBlocks = DriverBlockSet{};
}

}  // namespace ql
