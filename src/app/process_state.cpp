#include "app/process_state.h"

#include "app/main_controller.h"
#include "app/manufacturing_log.h"
#include "app/options.h"
#include "app/startup.h"
#include "driver/driver_link.h"
#include "bios/bios_interface.h"
#include "bios/bios_session.h"
#include "bios/flash_part.h"
#include "driver/bios_call.h"
#include "dmi/system_dmi.h"
#include "dmi/dmi_strings.h"
#include "dmi/dmi_flash.h"
#include "flash/backup.h"
#include "flash/block_passes.h"
#include "flash/flash_job.h"
#include "flash/once_flash.h"
#include "flash/power.h"
#include "driver/driver_requests.h"
#include "flash/progress.h"
#include "rom/bcp_sys.h"
#include "rom/rom_image.h"

namespace ql {

// Each subsystem puts its own state back here, one line per state record.
void ResetProcessState() {
  // app
  Startup = StartupState{};
  Options = OptionsState{};
  ManufacturingLog = ManufacturingLogState{};
  MainController = MainControllerState{};
  // driver
  DriverLink = DriverLinkState{};
  DriverBlocks = DriverBlockSet{};
  BiosCalls = BiosCallState{};
  // bios
  BiosInterface = BiosInterfaceState{};
  BiosSession = BiosSessionState{};
  FlashPart = FlashPartState{};
  // rom
  SystemBcpSys = SystemBcpSysState{};
  RomImage = RomImageState{};
  // flash
  Progress = ProgressState{};
  BlockPasses = BlockPassState{};
  OnceFlashMemory = OnceFlashMemoryState{};
  Backup = BackupState{};
  Power = PowerState{};
  FlashJob = FlashJobState{};
  // dmi
  DmiStrings = DmiStringsState{};
  SystemDmiRead = SystemDmiReadState{};
  DmiFlash = DmiFlashState{};
}

}  // namespace ql
