// How a UUID's 16 bytes are shown: the bytes are the text, there is no hexadecimal form.
#pragma once

#include <cstdint>

namespace ql {

inline constexpr const char* kUuidNotPresent = "UUID not present in the system";
inline constexpr const char* kUuidNotPresentButSettable = "UUID not present but settable";

// Room for the longest display text and its terminator.
inline constexpr uint32_t kUuidDisplaySize = 32;

// Writes the text for 16 UUID bytes into `text`: the "not present" texts for sixteen 0x00 or
// sixteen 0xFF bytes, otherwise the bytes up to the first 0 (so a UUID that starts with 0x00 but
// is not all zero shows as an empty text).
void UuidDisplayText(const uint8_t* bytes, char (&text)[kUuidDisplaySize]);

}  // namespace ql
