// The DMI-only flash: the installed BIOS read back, the typed strings and UUID written into that
// copy, and only the flash blocks they touch erased and programmed again.
#pragma once

#include <cstdint>
#include <span>

#include "dmi/dmi_strings.h"
#include "flash/block_passes.h"
#include "flash/block_walk.h"
#include "flash/flash_services.h"

namespace ql {

// Refusals made before anything is erased. Caption "Quorrelite", stop icon.
inline constexpr const char* kMsgDmiOnlyReadFailed =
    "Can not read the installed BIOS!!\nThe DMI strings were not flashed!!";
inline constexpr const char* kMsgDmiOnlyNoBcpDmi =
    "Can not find BCPDMI in copied ROM!!\nThe DMI strings were not flashed!!";
inline constexpr const char* kMsgDmiOnlyFieldOutside =
    "The DMI strings of the installed BIOS can not be rewritten!!\nThe DMI strings were not "
    "flashed!!";
// The installed BIOS names no field the typed strings and UUID would go to: a flash would write
// nothing and could not say it had written them.
inline constexpr const char* kMsgDmiOnlyNothingToWrite =
    "The installed BIOS has no place for the DMI strings!!\nThe DMI strings were not flashed!!";
// A warning: the strings are flashed, the typed UUID is not. Caption "Quorrelite".
inline constexpr const char* kMsgDmiOnlyNoUuidField =
    "The installed BIOS has no UUID field!!\nThe UUID you entered will not be flashed!!";

// Blocks of the installed BIOS as they were before a DMI-only flash that was cut short changed
// them: the part no longer holds them, the journal kept them.
struct SavedBlocks {
  const uint8_t* bytes = nullptr;  // indexed by FileOffset
  BlockSelection which{};          // by table index
};

// Writes the typed strings and UUID of `entered` into the installed BIOS, a ROM of `romSize`
// bytes (the running BIOS's size). kDone when they were flashed; kFailed after a failure or
// refusal, its message shown; kFatal when the session could not be opened or closed. Nothing is
// erased unless the blocks it rewrites and those holding BCPSYS and BCPDMI were read whole and
// every field to be written lies in blocks the flash rewrites whole; a block it leaves alone need
// not be readable (a protected boot block). The typed strings are padded with blanks to the
// installed lengths, in `entered` as well. The blocks in `saved` are taken from it instead of the
// part, where the table still has them as they were saved.
Outcome FlashNewDmiOnly(FlashServices& flash, WindowHandle owner, EnteredDmiRecord& entered,
                        uint32_t romSize, const PassOptions& options,
                        const SavedBlocks* saved = nullptr);

// Makes `text` exactly `length` characters: blanks appended to a shorter text, a longer one cut,
// and the terminator at `length`. `text` holds at least `length` + 1 bytes.
void PadWithBlanks(char* text, uint32_t length);

// Adds to `selection` every block of the table that holds a byte of [offset, offset + count). True
// when every byte of the range lies in a selected block that the flash rewrites whole; false when
// some byte would not be written (no block holds it, or its block is left out, erased only or
// programmed only).
bool SelectChangedBlocks(std::span<const FlashBlockRecord> blocks, uint32_t offset, uint32_t count,
                         BlockSelection* selection);

}  // namespace ql
