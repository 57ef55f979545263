#include "sim/flash_part.h"

#include <algorithm>
#include <cstring>

namespace ql::sim {

void FlashPart::SetStuckBits(const std::vector<StuckBits>& bits) {
  stuck_ = bits;
  // A stuck cell shows its stuck bits from the moment the part is powered.
  for (const StuckBits& b : stuck_) {
    if (b.offset < Size()) cells_[b.offset] = Settle(b.offset, cells_[b.offset]);
  }
}

uint8_t FlashPart::Settle(uint32_t offset, uint8_t value) const {
  for (const StuckBits& b : stuck_) {
    if (b.offset != offset) continue;
    value = b.high ? static_cast<uint8_t>(value | b.mask) : static_cast<uint8_t>(value & ~b.mask);
  }
  return value;
}

bool FlashPart::Change(uint32_t offset, std::vector<uint8_t>& bytes) {
  const uint32_t count = static_cast<uint32_t>(bytes.size());
  for (const StuckBits& b : stuck_) {
    if (b.offset >= offset && b.offset - offset < count) {
      bytes[b.offset - offset] = Settle(b.offset, bytes[b.offset - offset]);
    }
  }
  if (count == 0) return true;
  if (store_ && !store_(offset, bytes.data(), count)) return false;
  std::copy(bytes.begin(), bytes.end(), cells_.begin() + offset);
  return true;
}

void FlashPart::Read(uint32_t offset, uint32_t count, uint8_t* out) const {
  std::memcpy(out, cells_.data() + offset, count);
}

bool FlashPart::Erase(uint32_t offset, uint32_t count) {
  ++erases_;
  bool refuses = std::any_of(eraseFails_.begin(), eraseFails_.end(),
                             [&](uint32_t at) { return at >= offset && at - offset < count; });
  if (refuses) return false;
  std::vector<uint8_t> erased(count, uint8_t{0xFF});
  return Change(offset, erased);
}

bool FlashPart::Program(uint32_t offset, const uint8_t* data, uint32_t count) {
  ++programs_;
  // Stuck cells settle after the AND, as they would have byte by byte.
  std::vector<uint8_t> programmed(cells_.begin() + offset, cells_.begin() + offset + count);
  for (uint32_t i = 0; i < count; ++i) {
    programmed[i] = static_cast<uint8_t>(programmed[i] & data[i]);
  }
  return Change(offset, programmed);
}

}  // namespace ql::sim
