// What every job on the flash part works through, handed to it whole: the flash engine's context.
// The objects belong to the program; a job only borrows them for its length.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "bios/bios_session.h"
#include "bios/flash_part.h"
#include "driver/bios_call.h"
#include "driver/driver_link.h"
#include "flash/block_walk.h"
#include "flash/progress.h"
#include "platform/allocator.h"
#include "platform/clock.h"
#include "platform/desktop.h"
#include "platform/outcome.h"

namespace ql {

// What a job left the part holding.
enum class PartLeft {
  kUntouched,    // nothing was sent that could change it
  kAsMeant,      // the job succeeded
  kPutBack,      // the job failed, and every block it changed holds the installed BIOS again,
                 // read back and compared
  kHoldsNeither  // the job failed and could not put everything back: neither BIOS is whole
};

// What a job did, block by block.
struct JobCounts {
  uint32_t compared = 0;     // read before the flash and compared with what it was to hold
  uint32_t alreadyHeld = 0;  // of those, found holding it already and left alone
  uint32_t erased = 0, programmed = 0, verified = 0;
  uint32_t retried = 0;  // further attempts at a block that failed
  uint32_t putBack = 0;  // blocks written back from the copy taken before the first erase
  uint64_t bytesProgrammed = 0;
};

// Milliseconds a job spent in each phase, by the machine's clock. A block's blank check counts
// with its erase; an at-once block, erased and programmed in one call, counts as programming.
struct PhaseTimes {
  uint32_t compare = 0, erase = 0, program = 0, verify = 0;
};

struct FlashReport {
  PartLeft left = PartLeft::kUntouched;
  JobCounts counts;
  PhaseTimes ms;
  // Table indexes, in table order, of the blocks the job found not holding what they were to hold
  // (or that a flash erases whatever they hold): the blocks a flash rewrites.
  std::vector<uint32_t> differing;
};

// Told once, just before a job first sends anything that can change the part, so that a cut from
// then on can be found at the next start: the blocks the job is to write, and, when the job was
// handed it (the DMI-only flash), what the part held before, indexed by FileOffset.
class ChangeWatch {
 public:
  virtual ~ChangeWatch() = default;
  virtual void BeforeFirstChange(std::span<const TreatedBlock> treated,
                                 const uint8_t* installed) = 0;
};

struct FlashServices {
  Desktop& desktop;
  Allocator& allocator;
  DriverLink& link;
  BiosCaller& caller;
  BiosSession& session;
  const FlashPart& part;
  Progress& progress;
  FlashReport& report;
  ChangeWatch* watch = nullptr;
  Clock* clock = nullptr;  // null: no phase is timed
};

// Opens the BIOS session for a job on a ROM of `romSize` bytes; a session opened now lays its block
// table onto the block map. kDone with a session open; kFatal after the message of a connect the
// program cannot go on from.
Outcome OpenFlashSession(FlashServices& flash, WindowHandle owner, uint32_t romSize);

// Why a job stops, and what it shows.
struct JobStop {
  const char* text = nullptr;
  uint32_t style = kMbIconHand;
  const char* caption = kProgramName;
};

// The one way a job that cannot go on ends: the session closed, the message shown, the progress
// display put at rest. kFailed; kFatal when the session
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
