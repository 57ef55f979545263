// What every job on the flash part works through, handed to it whole: the flash engine's context.
// The objects belong to the program; a job only borrows them for its length.
#pragma once

#include <cstdint>
#include <span>

#include "bios/bios_session.h"
#include "bios/flash_part.h"
#include "driver/bios_call.h"
#include "driver/driver_link.h"
#include "flash/block_walk.h"
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

class OnceFlashMemory;

// Why a job stops, and what it shows.
struct JobStop {
  const char* text = nullptr;
  uint32_t style = kMbIconHand;
  const char* caption = kProgramName;
  OnceFlashMemory* held = nullptr;  // kernel memory the job holds, given back after the box
};

// The one way a job that cannot go on ends: the session closed, the message shown, what it held
// in the driver given back, the progress display put at rest. kFailed; kFatal when the session
// could not be closed (that has shown its own message, and nothing more is shown).
Outcome StopJob(FlashServices& flash, WindowHandle owner, const JobStop& stop);

// Shown when the send buffer does not take a piece as handed; caption "Quorrelite", stop icon.
inline constexpr const char* kMsgSendBufferUnusable =
    "Can not hand the data to program to the BIOS!!\nNothing was flashed!!";

// Within an open session, before anything is erased: when a block of `treated` is to be programmed
// piece by piece, probes that the driver fills the send buffer as asked (BiosCaller::
// ProbeSendBuffer). A driver that does not would stop the flash after a block was already erased.
// kDone when it does or nothing is programmed; otherwise the job is stopped (StopJob).
Outcome CheckSendBuffer(FlashServices& flash, WindowHandle owner,
                        std::span<const TreatedBlock> treated);

}  // namespace ql
