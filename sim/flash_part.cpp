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

void FlashPart::Changed(uint32_t offset, uint32_t count) {
  if (observer_ && count > 0) observer_(offset, cells_.data() + offset, count);
}

void FlashPart::Read(uint32_t offset, uint32_t count, uint8_t* out) const {
  std::memcpy(out, cells_.data() + offset, count);
}

bool FlashPart::Erase(uint32_t offset, uint32_t count) {
  ++erases_;
  bool refuses = std::any_of(eraseFails_.begin(), eraseFails_.end(),
                             [&](uint32_t at) { return at >= offset && at - offset < count; });
  if (refuses) return false;
  std::fill(cells_.begin() + offset, cells_.begin() + offset + count, uint8_t{0xFF});
  for (const StuckBits& b : stuck_) {
    if (b.offset >= offset && b.offset - offset < count) cells_[b.offset] = Settle(b.offset, 0xFF);
  }
  Changed(offset, count);
  return true;
}

void FlashPart::Program(uint32_t offset, const uint8_t* data, uint32_t count) {
  ++programs_;
  uint8_t* cells = cells_.data() + offset;
  for (uint32_t i = 0; i < count; ++i) cells[i] = static_cast<uint8_t>(cells[i] & data[i]);
  // Stuck cells settle after the AND, as they would have byte by byte.
  for (const StuckBits& b : stuck_) {
    if (b.offset >= offset && b.offset - offset < count)
      cells_[b.offset] = Settle(b.offset, cells_[b.offset]);
  }
  Changed(offset, count);
}

}  // namespace ql::sim
