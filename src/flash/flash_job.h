// Everything between a press of Flash and the end of a flash: the backup offer, the power check,
// what becomes of the DMI strings, the flash, the result and the shutdown offer.
#pragma once

#include <cstdint>

#include "platform/desktop.h"

namespace ql {

inline constexpr const char* kMsgBackupFailedQuestion =
    "Backup BIOS Failed!!\n Do you still want to flash the BIOS ??";
inline constexpr const char* kMsgFlashNotProcessed = "Flash didn't process!!\n";
inline constexpr const char* kMsgFlashSucceeded =
    "Flash Successed !! \n It is strongly recommand to shutdown your computer to make BIOS "
    "changed effect!!";
inline constexpr const char* kMsgFlashFailed =
    "Flash Failed !! \n Please try again or contact your customer service!!";

struct FlashJobState {
  // A flash succeeded in this run: the part no longer holds the BIOS that is running, so no
  // backup is offered any more.
  uint32_t FlashDone = 0;
};

extern FlashJobState FlashJob;

// Runs one flash job; everything is reported by messages. The loaded image is flashed (with the
// running BIOS's DMI strings and UUID carried into it first, unless the DMI settings say
// otherwise), or only the DMI strings are rewritten in the installed BIOS. Answers 1 when the
// flash ran and every pass it made succeeded, 0 when it failed or did not run.
int RunFlashJob(WindowHandle owner);

// The bytes of the loaded image a flash may read: none without an accepted image.
uint32_t FlashableImageBytes();

}  // namespace ql
