#include "dmi/uuid.h"

#include <cstring>

#include "bios/bcp_layout.h"

namespace ql {
namespace {

bool AllBytesAre(const uint8_t* bytes, uint8_t value) {
  for (uint32_t i = 0; i < bcpdmi::kUuidLength; ++i) {
    if (bytes[i] != value) return false;
  }
  return true;
}

}  // namespace

void UuidDisplayText(const uint8_t* bytes, char (&text)[kUuidDisplaySize]) {
  std::memset(text, 0, sizeof text);
  if (AllBytesAre(bytes, 0x00)) {
    std::strcpy(text, kUuidNotPresent);
  } else if (AllBytesAre(bytes, 0xFF)) {
    std::strcpy(text, kUuidNotPresentButSettable);
  } else {
    std::memcpy(text, bytes, bcpdmi::kUuidLength);
  }
}

}  // namespace ql
