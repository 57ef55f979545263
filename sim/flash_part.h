// A NOR flash part: erasing sets bytes to 0xFF, programming can only clear bits (the result is
// old AND new), and faulty cells keep the bits they are stuck at. Every change is handed to a
// store before the cells show it; the machine folder's store writes the part's file through, so
// the part and its file never disagree.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "sim/sim_profile.h"

namespace ql::sim {

class FlashPart {
 public:
  // Takes the new bytes of a range; false when it could not, and the change is then not made.
  using Store = std::function<bool(uint32_t offset, const uint8_t* bytes, uint32_t count)>;

  explicit FlashPart(std::vector<uint8_t> cells) : cells_(std::move(cells)) {}

  uint32_t Size() const { return static_cast<uint32_t>(cells_.size()); }
  const std::vector<uint8_t>& Cells() const { return cells_; }
  bool Covers(uint32_t offset, uint32_t count) const {
    return offset <= Size() && count <= Size() - offset;
  }

  // Faults, set once from the profile.
  void SetStuckBits(const std::vector<StuckBits>& bits);
  void SetEraseFailures(const std::vector<uint32_t>& offsets) { eraseFails_ = offsets; }
  void SetStore(Store store) { store_ = std::move(store); }

  // The range must lie inside the part (Covers).
  void Read(uint32_t offset, uint32_t count, uint8_t* out) const;
  // False when the range holds a cell that does not erase or the store refused the change; the
  // range is then left as it was.
  [[nodiscard]] bool Erase(uint32_t offset, uint32_t count);
  // False when the store refused the change; the range is then left as it was.
  [[nodiscard]] bool Program(uint32_t offset, const uint8_t* data, uint32_t count);

  uint32_t EraseCount() const { return erases_; }
  uint32_t ProgramCount() const { return programs_; }

 private:
  uint8_t Settle(uint32_t offset, uint8_t value) const;
  // Settles the stuck cells of `bytes`, the new contents from `offset`, hands them to the store
  // and, when it takes them, makes them the cells.
  bool Change(uint32_t offset, std::vector<uint8_t>& bytes);

  std::vector<uint8_t> cells_;
  std::vector<StuckBits> stuck_;
  std::vector<uint32_t> eraseFails_;
  Store store_;
  uint32_t erases_ = 0;
  uint32_t programs_ = 0;
};

}  // namespace ql::sim
