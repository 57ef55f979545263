#include "flash/flash_job.h"

#include "app/program_message.h"
#include "app/manufacturing_log.h"
#include "app/options.h"
#include "app/startup.h"
#include "dmi/carry_over.h"
#include "dmi/dmi_flash.h"
#include "dmi/dmi_strings.h"
#include "dmi/uuid.h"
#include "flash/backup.h"
#include "flash/block_passes.h"
#include "flash/power.h"
#include "flash/progress.h"
#include "platform/platform.h"
#include "rom/rom_image.h"

namespace ql {

FlashJobState FlashJob;

namespace {

// 1 when the job goes on to the flash.
int OfferBackup(WindowHandle owner) {
  if (Options.AutoBackup != kOptionDefault || FlashJob.FlashDone != 0) return 1;
  if (BackupBios(owner) != 0) return 1;
  return ProgramMessage(owner, kMsgBackupFailedQuestion, kMbOkCancel | kMbIconHand) == kIdCancel
             ? 0
             : 1;
}

// 1 when the job goes on to the flash.
int PowerChecked(WindowHandle owner) {
  for (;;) {
    if (CheckAcPower(owner) == 1) return 1;
    switch (Power.PowerAnswer) {
      case kIdIgnore:
        return 1;
      case kIdRetry:
        continue;
      default:
        // Abort, and anything a box could answer that is not a choice to go on.
        ProgramMessage(owner, kMsgFlashNotProcessed, kMbIconHand);
        return 0;
    }
  }
}

int FlashImage(WindowHandle owner) {
  return FlashBlocks(owner, RomImage.Buffer, FlashableImageBytes());
}

void ShowResult(WindowHandle owner, int result) {
  if (result != 1) {
    ProgramMessage(owner, kMsgFlashFailed, kMbIconHand);
    return;
  }
  FlashJob.FlashDone = 1;
  TheDesktop().EnableControl(Control::kBackup, false);
  Power.ShutdownCountdown = kShutdownSeconds;
  AppendLogLine(kLogShutdownAfter10Seconds);
  switch (TheDesktop().RunShutdownBox(owner, Power.ShutdownCountdown)) {
    case ShutdownBoxEnd::kCountdownElapsed:
    case ShutdownBoxEnd::kShutdownNow:
      // A shutdown was started or attempted: a refused privilege has told the user already.
      ShutdownSystem(owner);
      return;
    case ShutdownBoxEnd::kClosed:
      ProgramMessage(owner, kMsgFlashSucceeded, kMbIconExclamation);
      return;
  }
}

}  // namespace

uint32_t FlashableImageBytes() {
  if (RomImage.ImageLoaded == 0) return 0;
  uint32_t bytes = RomImageBytes();
  return RomImage.LoadedImageSize < bytes ? RomImage.LoadedImageSize : bytes;
}

int RunFlashJob(WindowHandle owner) {
  if (OfferBackup(owner) == 0) return 0;
  if (PowerChecked(owner) == 0) return 0;

  int result = 0;
  switch (DmiStrings.DmiMode) {
    case DmiModeValue::KeepCurrent:
      CarryDmiStringsIntoImage(owner);
      CarryUuidIntoImage(owner);
      result = FlashImage(owner);
      break;
    case DmiModeValue::DontKeep:
      result = FlashImage(owner);
      break;
    case DmiModeValue::NewStrings:
      if (ShowMessageById(MSG_UPDATE_DMI_ONLY, owner) == kIdCancel) return 0;
      result = FlashNewDmiOnly(owner);
      break;
  }
  ShowResult(owner, result);
  ResetBlockMap();
  TheDesktop().Repaint(ProgressItem::kBlockMap);
  return result == 1 ? 1 : 0;
}

}  // namespace ql
