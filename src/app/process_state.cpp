#include "app/process_state.h"

#include "app/startup.h"
#include "driver/driver_link.h"
#include "bios/bios_interface.h"
#include "dmi/dmi_strings.h"
#include "driver/driver_requests.h"
#include "flash/progress.h"
#include "rom/bcp_sys.h"
#include "rom/rom_image.h"

namespace ql {

// Each subsystem puts its own state back here, one line per state record.
void ResetProcessState() {
  // app
  Startup = StartupState{};
  // driver
  DriverLink = DriverLinkState{};
  DriverBlocks = DriverBlockSet{};
  // bios
  BiosInterface = BiosInterfaceState{};
  // rom
  SystemBcpSys = SystemBcpSysState{};
  RomImage = RomImageState{};
  // flash
  Progress = ProgressState{};
  // dmi
  DmiStrings = DmiStringsState{};
}

}  // namespace ql
