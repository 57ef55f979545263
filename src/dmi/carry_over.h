// The running BIOS's DMI strings carried into a loaded image before it is flashed, each rewrite
// balanced so that the ROM's 8-bit byte sum does not change.
#pragma once

#include <cstdint>

#include "platform/desktop.h"

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

// The balance byte to store at rom[o + L + 1] when the L characters and terminator of `newBytes`
// are written at rom[o]: the 8-bit sum of characters, terminator and balance byte stays as it is.
uint8_t BalanceByte(const uint8_t* newBytes, uint32_t o, uint32_t L, const uint8_t* rom);

// The 8-bit sum of `count` bytes.
uint8_t ByteSum(const uint8_t* bytes, uint32_t count);

// Writes 16 UUID bytes into a 17-byte UUID field with the balance byte that keeps the field's
// 8-bit sum as it was; answers that balance byte.
uint8_t WriteBalancedUuid(uint8_t* field, const uint8_t* uuid);

// Copies the running BIOS's six strings into the loaded image, each only when its length equals
// the image's (otherwise that string keeps the image's and its message is shown). An image
// without a BCPDMI block is left as it is. A string field the image does not wholly hold is left
// alone: nothing is written outside the image. A string the image's block names with offset 0
// is not in the image: nothing is written for it, and its message is shown when the running BIOS
// has a non-empty string that is thus not carried. Always 1.
int CarryDmiStringsIntoImage(WindowHandle window);

}  // namespace ql
