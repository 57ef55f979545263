#include "sim/sim_memory.h"

#include <algorithm>
#include <cstring>

#include "bios/bcp_layout.h"
#include "driver/wire.h"

namespace ql::sim {
namespace {

uint64_t PageRound(uint64_t size) {
  return (size + kPageSize - 1) / kPageSize * kPageSize;
}

// True when [at, at + count) lies inside [base, base + size).
bool Inside(uint32_t at, uint32_t count, uint32_t base, uint64_t size) {
  return at >= base && static_cast<uint64_t>(at - base) + count <= size;
}

// The range in `ranges` whose start is at or below `at`, or end().
template <typename Map>
auto Below(Map& ranges, uint32_t at) {
  auto it = ranges.upper_bound(at);
  return it == ranges.begin() ? ranges.end() : std::prev(it);
}

}  // namespace

SimMemory::SimMemory(const std::vector<uint8_t>& biosSegment, uint32_t kernelLimit)
    : kernelLimit_(kernelLimit) {
  PhysicalRange segment;
  segment.bytes = biosSegment;
  segment.bytes.resize(kBiosSegmentLength, 0xFF);
  segment.readOnly = true;
  physical_[kBiosSegmentPhysical] = std::move(segment);
}

size_t SimMemory::BufferCount() const {
  return static_cast<size_t>(std::count_if(linear_.begin(), linear_.end(),
                                           [](const auto& r) { return !r.second.mapping; }));
}

size_t SimMemory::MappingCount() const {
  return linear_.size() - BufferCount();
}

uint32_t SimMemory::FindLinear(uint32_t size) const {
  uint64_t candidate = kLinearBase;
  for (const auto& [base, range] : linear_) {
    if (candidate + size <= base) break;
    candidate = std::max<uint64_t>(candidate, base + PageRound(range.size) + kPageSize);
  }
  return candidate + size <= kLinearEnd ? static_cast<uint32_t>(candidate) : 0;
}

uint32_t SimMemory::FindPhysical(uint32_t size) const {
  uint64_t candidate = kKernelPhysicalBase;
  for (auto it = physical_.lower_bound(kKernelPhysicalBase); it != physical_.end(); ++it) {
    if (candidate + size <= it->first) break;
    candidate = std::max<uint64_t>(candidate, it->first + it->second.bytes.size());
  }
  return candidate + size <= kKernelPhysicalEnd ? static_cast<uint32_t>(candidate) : 0;
}

KernelAllocation SimMemory::Allocate(uint32_t size) {
  uint64_t pages = PageRound(size);
  if (size == 0 || kernelInUse_ + pages > kernelLimit_) return {};
  uint32_t rounded = static_cast<uint32_t>(pages);
  uint32_t physical = FindPhysical(rounded);
  uint32_t linear = FindLinear(rounded);
  if (physical == 0 || linear == 0) return {};
  physical_[physical].bytes.assign(rounded, 0);
  linear_[linear] = LinearRange{rounded, physical, false};
  kernelInUse_ += rounded;
  return {linear, physical};
}

bool SimMemory::Free(uint32_t linear) {
  auto it = linear_.find(linear);
  if (it == linear_.end() || it->second.mapping) return false;
  kernelInUse_ -= it->second.size;
  physical_.erase(it->second.physical);
  linear_.erase(it);
  // Mappings of the freed buffer would now reach nothing; a real driver would fault on them.
  for (auto m = linear_.begin(); m != linear_.end();) {
    bool dangling =
        m->second.mapping && PhysicalConst(m->second.physical, m->second.size) == nullptr;
    m = dangling ? linear_.erase(m) : std::next(m);
  }
  return true;
}

uint32_t SimMemory::Map(uint32_t physical, uint32_t length) {
  if (length == 0 || PhysicalConst(physical, length) == nullptr) return 0xFFFFFFFFu;
  uint32_t linear = FindLinear(length);
  if (linear == 0) return 0xFFFFFFFFu;
  linear_[linear] = LinearRange{length, physical, true};
  return linear;
}

bool SimMemory::Unmap(uint32_t linear, uint32_t length) {
  auto it = linear_.find(linear);
  if (it == linear_.end() || !it->second.mapping || it->second.size != length) return false;
  linear_.erase(it);
  return true;
}

const uint8_t* SimMemory::PhysicalConst(uint32_t physical, uint32_t count) const {
  auto it = Below(physical_, physical);
  if (it == physical_.end() || !Inside(physical, count, it->first, it->second.bytes.size())) {
    return nullptr;
  }
  return it->second.bytes.data() + (physical - it->first);
}

uint8_t* SimMemory::Physical(uint32_t physical, uint32_t count, bool forWrite) {
  auto it = Below(physical_, physical);
  if (it == physical_.end() || !Inside(physical, count, it->first, it->second.bytes.size())) {
    return nullptr;
  }
  if (forWrite && it->second.readOnly) return nullptr;
  return it->second.bytes.data() + (physical - it->first);
}

bool SimMemory::Translate(uint32_t linear, uint32_t count, uint32_t* physical) const {
  auto it = Below(linear_, linear);
  if (it == linear_.end() || !Inside(linear, count, it->first, it->second.size)) return false;
  *physical = it->second.physical + (linear - it->first);
  return true;
}

bool SimMemory::ReadPhysical(uint32_t physical, uint32_t count, uint8_t* out) const {
  const uint8_t* p = PhysicalConst(physical, count);
  if (p == nullptr) return false;
  if (count > 0) std::memcpy(out, p, count);
  return true;
}

bool SimMemory::WritePhysical(uint32_t physical, const uint8_t* data, uint32_t count) {
  uint8_t* p = Physical(physical, count, /*forWrite=*/true);
  if (p == nullptr) return false;
  if (count > 0) std::memcpy(p, data, count);
  return true;
}

const uint8_t* SimMemory::LinearView(uint32_t linear, uint32_t count) const {
  uint32_t physical = 0;
  return Translate(linear, count, &physical) ? PhysicalConst(physical, count) : nullptr;
}

bool SimMemory::ReadLinear(uint32_t linear, uint32_t count, uint8_t* out) const {
  uint32_t physical = 0;
  return Translate(linear, count, &physical) && ReadPhysical(physical, count, out);
}

bool SimMemory::WriteLinear(uint32_t linear, const uint8_t* data, uint32_t count) {
  uint32_t physical = 0;
  return Translate(linear, count, &physical) && WritePhysical(physical, data, count);
}

bool SimMemory::FillLinear(uint32_t linear, uint32_t count, uint8_t value) {
  uint32_t physical = 0;
  if (!Translate(linear, count, &physical)) return false;
  uint8_t* p = Physical(physical, count, /*forWrite=*/true);
  if (p == nullptr) return false;
  std::memset(p, value, count);
  return true;
}

}  // namespace ql::sim
