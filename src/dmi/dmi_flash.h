// The DMI-only flash: the installed BIOS read back, the typed strings and UUID written into that
// copy, and only the flash blocks they touch erased and programmed again.
#pragma once

#include <cstdint>

#include "platform/desktop.h"

namespace ql {

// Refusals made before anything is erased. Caption "Quorrelite", stop icon.
inline constexpr const char* kMsgDmiOnlyReadFailed =
    "Can not read the installed BIOS!!\nThe DMI strings were not flashed!!";
inline constexpr const char* kMsgDmiOnlyNoBcpDmi =
    "Can not find BCPDMI in copied ROM!!\nThe DMI strings were not flashed!!";
inline constexpr const char* kMsgDmiOnlyFieldOutside =
    "The DMI strings of the installed BIOS can not be rewritten!!\nThe DMI strings were not "
    "flashed!!";
// A warning: the strings are flashed, the typed UUID is not. Caption "Quorrelite".
inline constexpr const char* kMsgDmiOnlyNoUuidField =
    "The installed BIOS has no UUID field!!\nThe UUID you entered will not be flashed!!";

struct DmiFlashState {
  uint8_t* DmiOnlyBuffer = nullptr;  // the installed BIOS read back; only during one flash
  uint32_t DmiOnlyBufferSize = 0;
};

extern DmiFlashState DmiFlash;

// 1 when the typed strings and UUID were flashed; 0 after a failure or refusal (its message
// shown). Nothing is erased unless the whole installed BIOS could be read and every field to be
// written lies in blocks the flash rewrites whole.
int FlashNewDmiOnly(WindowHandle window);

// Reads the installed BIOS into `buffer` (`size` bytes) at each block's FileOffset. 1 when every
// block that is read was read whole; 0 when a piece stayed unread or a block does not fit the
// buffer (nothing is read past it).
int ReadInstalledRom(WindowHandle window, uint8_t* buffer, uint32_t size);
void ClearBlockSelection();
// Makes `text` exactly L characters: blanks appended to a shorter text, a longer one cut, and the
// terminator at L. `text` holds at least L + 1 bytes.
void PadWithBlanks(char* text, uint32_t L);
// Selects every block of the table that holds a byte of [offset, offset + count). 1 when every
// byte of the range lies in a selected block that the flash rewrites whole; 0 when some byte
// would not be written (no block holds it, or its block is left out, erased only or programmed
// only).
int SelectChangedBlocks(uint32_t offset, uint32_t count);
// FlashBlocks over the selected blocks only.
int FlashSelectedBlocks(WindowHandle window, const uint8_t* buffer, uint32_t size);

}  // namespace ql
