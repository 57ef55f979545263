// How a UUID's 16 bytes are shown: the bytes are the text, there is no hexadecimal form.
#pragma once

#include <cstdint>

#include "platform/desktop.h"

namespace ql {

inline constexpr const char* kUuidNotPresent = "UUID not present in the system";
inline constexpr const char* kUuidNotPresentButSettable = "UUID not present but settable";

// Room for the longest display text and its terminator.
inline constexpr uint32_t kUuidDisplaySize = 32;

// Writes the text for 16 UUID bytes into `text`: the "not present" texts for sixteen 0x00 or
// sixteen 0xFF bytes, otherwise the bytes up to the first 0 (so a UUID that starts with 0x00 but
// is not all zero shows as an empty text).
void UuidDisplayText(const uint8_t* bytes, char (&text)[kUuidDisplaySize]);

inline constexpr const char* kMsgImageHasNoUuid = "The rom image you loaded is not have UUID!!";

// Writes the running BIOS's UUID, with a balance byte that keeps the 8-bit sum of the 17-byte
// field, into the loaded image. 1 when carried or when there is nothing to carry (the running
// BIOS has no UUID field); 0 when the image has no BCPDMI block, or its block has no UUID field
// (told with "The rom image you loaded is not have UUID!!"), or its field does not lie wholly in
// the image. The balance comes from the image's own field, so a second carry writes the same
// bytes as the first.
uint32_t CarryUuidIntoImage(WindowHandle window);

}  // namespace ql
