#include "bios/bcp_layout.h"

#include <cstring>

namespace ql {

int32_t FindSignature(const uint8_t* base, const uint8_t* pattern, uint32_t patternLength,
                      uint32_t rangeLength) {
  if (base == nullptr || rangeLength < patternLength) return -1;
  for (uint32_t start = rangeLength - patternLength + 1; start-- > 0;) {
    // The first byte rules out nearly every start: a whole compare only where it matches.
    if ((patternLength == 0 || base[start] == pattern[0]) &&
        std::memcmp(base + start, pattern, patternLength) == 0) {
      return static_cast<int32_t>(start);
    }
  }
  return -1;
}

int32_t FindWholeBlock(const uint8_t* bytes, uint32_t size, const uint8_t* signature,
                       uint32_t blockLength) {
  int32_t at = FindSignature(bytes, signature, kSignatureLength, size);
  if (at < 0) return -1;
  if (blockLength > size - static_cast<uint32_t>(at)) return -1;
  return at;
}

}  // namespace ql
