// The running BIOS's DMI strings and UUID carried into a loaded image before it is flashed, each
// rewrite balanced so that the ROM's 8-bit byte sum does not change.
#pragma once

#include <cstdint>

#include "dmi/dmi_strings.h"
#include "platform/desktop.h"
#include "rom/rom_image.h"

namespace ql {

// Shown when a string's length in the running BIOS differs from the image's, in DmiStringId
// order. Caption "Quorrelite", OK, no icon.
inline constexpr const char* kMsgSerialLength = "The Serial number length is not the same !!";
inline constexpr const char* kMsgSystemSerialLength =
    "The System serial number length is not the same !!";
inline constexpr const char* kMsgChassisSerialLength =
    "The Chasis serial number length is not the same !!";
inline constexpr const char* kMsgManufacturerLength =
    "The length of Manufacture strings is not the same !!";
inline constexpr const char* kMsgProductLength =
    "The length of Production strings is not the same !!";
inline constexpr const char* kMsgVersionLength = "The length of Version strings is not the same !!";
inline constexpr const char* kMsgImageHasNoUuid = "The rom image you loaded is not have UUID!!";

// The 8-bit sum of `count` bytes.
uint8_t ByteSum(const uint8_t* bytes, uint32_t count);

// The one writer of a balanced DMI field: writes `count` bytes at `field` and, at field[count],
// the balance byte that keeps the 8-bit sum of field[0..count] as it was. Answers the balance byte.
// A string field is written from its first character (characters and terminator, count L + 1); a
// UUID field is the 16 bytes.
uint8_t WriteBalancedField(uint8_t* field, const uint8_t* bytes, uint32_t count);

// Copies the running BIOS's six strings into the image, each only when its length equals the
// image's (otherwise that string keeps the image's and its message is shown). An image without a
// BCPDMI block is left as it is. A string field the image does not wholly hold is left alone:
// nothing is written outside the image. A string the image's block names with offset 0 is not in
// the image: nothing is written for it, and its message is shown when the running BIOS has a
// non-empty string that is thus not carried.
void CarryDmiStringsIntoImage(Desktop& desktop, WindowHandle owner, RomImage& image,
                              const SystemDmiRecord& system);

// Writes the running BIOS's UUID, with a balance byte that keeps the 8-bit sum of the 17-byte
// field, into the image; the system record keeps the balance byte it was written with and the
// image record's ImageUuidSupported follows the image's field. True when carried or when there is
// nothing to carry (the running BIOS has no UUID field); false when the image has no BCPDMI block,
// or its block has no UUID field (told with "The rom image you loaded is not have UUID!!"), or its
// field does not lie wholly in the image. The balance comes from the image's own field, so a second
// carry writes the same bytes as the first.
bool CarryUuidIntoImage(Desktop& desktop, WindowHandle owner, RomImage& image,
                        SystemDmiRecord& system, ImageDmiRecord& imageRecord);

}  // namespace ql
