// The flash passes: the treated blocks walked in table order, each erased (with a blank check),
// programmed in pieces and verified, or handed whole to the BIOS's at-once service, as its Attrib
// asks.
#pragma once

#include <cstdint>

#include "flash/block_walk.h"
#include "flash/flash_services.h"

namespace ql {

inline constexpr const char* kMsgEraseFailed = "Erase failed!!!";
inline constexpr const char* kMsgProgramFailed = "Program failed!!!";
inline constexpr const char* kMsgBlankCheckFailed = "Blank Check failed!!!";
inline constexpr const char* kMsgVerifyFailed = "Verify failed!!!";
inline constexpr const char* kMsgOncePreProcessFailed = "Once flash pre-process failed";
inline constexpr const char* kOncePreProcessCaption = "Error";
inline constexpr const char* kMsgOnceProgrammingFailed = "Once flash programming failed";
inline constexpr const char* kMsgOnceErasingFailed = "Once flash erasing failed";
// A refusal with a Status the BIOS does not otherwise use for OnceFlash.
inline constexpr const char* kMsgOnceFlashFailed = "Once flash failed!!";
inline constexpr const char* kMsgProgramDataNotSent =
    "Can not hand the data to program to the BIOS!!\nThe flash was stopped!!";
// Refusals before anything is erased.
inline constexpr const char* kMsgNoFlashBlocks =
    "The BIOS did not report any flash block!!\nNothing was flashed!!";
inline constexpr const char* kMsgBlocksBeyondImage =
    "The flash blocks of the BIOS reach beyond the rom image!!\nNothing was flashed!!";
inline constexpr const char* kMsgOncePartialPage =
    "The once flash block is not a whole number of 4K pages!!\nNothing was flashed!!";
inline constexpr const char* kMsgNoMemoryForPutBack =
    "No enough memory to keep a copy of the installed BIOS!!\nNothing was flashed!!";

// The options that steer the passes.
struct PassOptions {
  bool blankCheck = true;
  bool verify = true;
  // Read every block that is to end holding the source's bytes before touching it, and leave it
  // as it is when it already holds them: neither erased, nor blank-checked, nor programmed. Every
  // piece of such a block was just read back and compared, so it counts as verified whatever
  // `verify` says. A read that fails or that the BIOS refuses proves nothing, and the block is
  // flashed.
  bool skipHeldBlocks = false;
  // Stop at the comparison: every block the flash would write is read and compared with the
  // source, and nothing that can change the part is sent (no erase, no program, no at-once call).
  // Blocks that differ are listed in flash.report.differing; the part is left untouched.
  bool compareOnly = false;
};

// What the passes write and where from.
struct FlashSource {
  const uint8_t* bytes = nullptr;  // indexed by FileOffset
  uint32_t size = 0;
  uint32_t romSize = 0;                       // for the block map of a session opened now
  const BlockSelection* selection = nullptr;  // null: every block a flash touches
  // What the part held before the job, indexed like `bytes`, for putting it back after a failure;
  // null: the passes read it themselves, block by block, before they change it.
  const uint8_t* installed = nullptr;
};

// Writes the source into the flash part. kDone when every treated block passed; kFailed after a
// failure, its message shown; kFatal when the session could not be opened or closed. Opens the
// BIOS session and leaves it closed on every way out but a fatal one.
//
// The table is checked before the first block is touched, so a flash that cannot be completed is
// refused with the part as it was: a table or a selection without a block to write (there is
// nothing to flash, and success would be a lie), a treated block that reaches
// beyond the source, an at-once block the BIOS cannot take whole (above 16 MiB, or not a whole
// number of pages, whose tail the BIOS would erase and never program).
//
// An EraseBlock or ProgramFlash the BIOS refuses or leaves unanswered fails the block whatever the
// options: with the blank check or the verify off nothing else would notice, and the run would end
// in a success the part does not hold. A block that fails is tried again from its start, twice at
// most. When it still fails the flash stops, and first every block it sent anything to is written
// back from the copy of the installed BIOS (source.installed, or read by the passes before each
// block is changed: a piece is kept only when proven by two reads), each compared, then erased,
// blank-checked, programmed and verified whatever the options: flash.report.left says whether the
// part holds the installed BIOS again or neither BIOS.
//
// Every ReadFlash is proven fresh: its receive buffer is armed first with bytes that fail the
// check that follows (the complement of the source for a comparison or a verify, zeros for a blank
// check), and one that fails or is refused fails that check. Only pieces read back and matched are
// painted verified or already held.
//
// With options.compareOnly the passes end after the comparison of every block: kDone with the
// session closed when every block could be compared (whatever it held), and a table that could
// not be flashed is refused as it would be for a flash.
//
// With options.skipHeldBlocks the comparison runs block by block, just before the block would be
// erased (or handed to OnceFlash), after the table and the send buffer have been checked: it shows
// as the verify phase, and a block found to hold the source is painted "already held".
Outcome FlashBlocks(FlashServices& flash, WindowHandle owner, const FlashSource& source,
                    const PassOptions& options);

}  // namespace ql
