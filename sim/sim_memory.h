// The machine's memory as the flash driver and the BIOS see it. Physical memory holds the BIOS
// segment at 0xF0000 (read-only shadow of the BIOS that booted) and the kernel buffers the driver
// allocates; linear addresses are the driver's view, through a buffer's own linear range or a
// mapping of a physical range. Requests never straddle two ranges: a range that is not wholly
// inside one buffer or mapping is refused.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <vector>

namespace ql::sim {

struct KernelAllocation {
  uint32_t linear = 0;  // 0: refused
  uint32_t physical = 0;
};

class SimMemory {
 public:
  // Kernel buffers live at or above this physical address, page by page in allocation order, so
  // buffers allocated one after another are physically contiguous.
  static constexpr uint32_t kKernelPhysicalBase = 0x00100000;
  static constexpr uint32_t kKernelPhysicalEnd = 0x40000000;
  // The driver's linear addresses: system space, one unused page after each range.
  static constexpr uint32_t kLinearBase = 0x81000000;
  static constexpr uint32_t kLinearEnd = 0xFF000000;

  SimMemory(const std::vector<uint8_t>& biosSegment, uint32_t kernelLimit);

  // Page-aligned, zero-filled; {0, 0} when the size is 0 or the kernel memory limit is reached.
  KernelAllocation Allocate(uint32_t size);
  // False for an address that is not a buffer's linear address (0 included).
  bool Free(uint32_t linear);
  // Linear address of a new mapping of the physical range, or 0xFFFFFFFF when the range is not
  // wholly inside the BIOS segment or one kernel buffer.
  uint32_t Map(uint32_t physical, uint32_t length);
  // False unless linear/length is exactly a live mapping.
  bool Unmap(uint32_t linear, uint32_t length);

  // The bytes of a linear range, valid until the next allocation or free; null when refused.
  const uint8_t* LinearView(uint32_t linear, uint32_t count) const;
  bool ReadLinear(uint32_t linear, uint32_t count, uint8_t* out) const;
  bool WriteLinear(uint32_t linear, const uint8_t* data, uint32_t count);
  bool FillLinear(uint32_t linear, uint32_t count, uint8_t value);
  bool ReadPhysical(uint32_t physical, uint32_t count, uint8_t* out) const;
  bool WritePhysical(uint32_t physical, const uint8_t* data, uint32_t count);

  // The physical address of a linear range wholly inside one buffer or mapping.
  bool Translate(uint32_t linear, uint32_t count, uint32_t* physical) const;

  uint32_t KernelBytesInUse() const { return kernelInUse_; }
  size_t BufferCount() const;
  size_t MappingCount() const;

 private:
  struct PhysicalRange {
    std::vector<uint8_t> bytes;
    bool readOnly = false;
  };
  struct LinearRange {
    uint32_t size = 0;
    uint32_t physical = 0;
    bool mapping = false;  // a Map of a physical range, not a kernel buffer
  };

  uint8_t* Physical(uint32_t physical, uint32_t count, bool forWrite);
  const uint8_t* PhysicalConst(uint32_t physical, uint32_t count) const;
  uint32_t FindLinear(uint32_t size) const;
  uint32_t FindPhysical(uint32_t size) const;

  std::map<uint32_t, PhysicalRange> physical_;
  std::map<uint32_t, LinearRange> linear_;
  uint32_t kernelLimit_;
  uint32_t kernelInUse_ = 0;
};

}  // namespace ql::sim
