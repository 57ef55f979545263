// A small model of the flash driver and the BIOS behind it, played through RecordingMachine's
// responder: kernel buffers with linear and physical addresses, the mapped BIOS segment, and a
// BIOS whose answers the test scripts call by call. Every read and write must lie inside one
// buffer or the segment; anything else is recorded as a fault the test then asserts empty.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "platform/testing/recording_machine.h"
#include "platform/testing/scripted_desktop.h"

namespace ql::testing {

inline constexpr uint32_t kFakeSegmentLinear = 0x80F00000u;
inline constexpr uint32_t kFakePort = 0xB2;
inline constexpr uint8_t kFakeTriggerValue = 0xE3;

// One answer of the BIOS: what it writes into the status block and the receive buffer.
struct BiosAnswer {
  uint32_t signature = 0x56425146u;  // "FQBV"
  int32_t status = 0;
  int32_t code = 0;
  std::vector<uint8_t> receive;  // written at the start of the receive buffer
};

// What the BIOS saw in one call's parameter block.
struct SeenCall {
  uint32_t function = 0;
  uint32_t param[8] = {};
};

class FakeBios {
 public:
  explicit FakeBios(RecordingMachine& machine);

  // The BIOS segment as the driver maps it.
  std::vector<uint8_t> segment = std::vector<uint8_t>(0x10000, 0);
  bool mapFails = false;
  bool mapAtZero = false;
  // Allocation number n (0-based) answers linear 0.
  std::optional<int> allocationFailing;

  // Decides each call's answer; nullopt leaves the status block untouched (no answer).
  std::function<std::optional<BiosAnswer>(const SeenCall&)> bios;

  std::vector<SeenCall> seen;
  std::vector<std::string> faults;  // accesses outside every buffer
  std::vector<uint32_t> freed;      // FreeKernelMemory addresses
  std::vector<uint32_t> unmapped;   // UnmapPhysicalMemory addresses

  // Places a signature block in the segment.
  void Put(uint32_t offset, const std::vector<uint8_t>& bytes);
  void PutSignature(uint32_t offset, const char* six);
  // The bytes of the kernel buffer allocated n-th.
  const std::vector<uint8_t>& Buffer(int n) const { return buffers_.at(n).bytes; }
  int Calls(uint32_t function) const;

  // A Connect answer holding the given block records and a terminator.
  static std::vector<uint8_t> Table(const std::vector<std::vector<uint32_t>>& records,
                                    bool terminate = true);

 private:
  struct KernelBuf {
    uint32_t linear, physical;
    std::vector<uint8_t> bytes;
  };
  uint8_t* Locate(uint32_t linear, uint32_t count, bool writable);
  KernelBuf* ByPhysical(uint32_t physical);
  void Respond(const DriverCall& call, uint8_t* reply);
  std::vector<KernelBuf> buffers_;
  int allocations_ = 0;
};

}  // namespace ql::testing
