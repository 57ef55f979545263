// What every job on the flash part works through, handed to it whole: the flash engine's context.
// The objects belong to the program; a job only borrows them for its length.
#pragma once

#include <cstdint>

#include "bios/bios_session.h"
#include "bios/flash_part.h"
#include "driver/bios_call.h"
#include "driver/driver_link.h"
#include "flash/progress.h"
#include "platform/allocator.h"
#include "platform/desktop.h"
#include "platform/outcome.h"

namespace ql {

struct FlashServices {
  Desktop& desktop;
  Allocator& allocator;
  DriverLink& link;
  BiosCaller& caller;
  BiosSession& session;
  const FlashPart& part;
  Progress& progress;
};

// Opens the BIOS session for a job on a ROM of `romSize` bytes; a session opened now lays its block
// table onto the block map. kDone with a session open; kFatal after the message of a connect the
// program cannot go on from.
Outcome OpenFlashSession(FlashServices& flash, WindowHandle owner, uint32_t romSize);

}  // namespace ql
