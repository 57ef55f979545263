// SHA-256 of a byte range, for naming exactly which image a flash wrote.
#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace ql {

using Sha256Digest = std::array<uint8_t, 32>;

Sha256Digest Sha256(const uint8_t* bytes, uint64_t count);

// The digest as 64 lowercase hexadecimal digits.
std::string HexDigits(const uint8_t* bytes, uint32_t count);

}  // namespace ql
