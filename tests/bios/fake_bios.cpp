#include "fake_bios.h"

#include <algorithm>
#include <cstring>

#include "driver/driver_requests.h"
#include "platform/bytes.h"

namespace ql::testing {

FakeBios::FakeBios(RecordingMachine& machine) {
  machine.responder = [this](const DriverCall& call, uint8_t* reply) { Respond(call, reply); };
}

void FakeBios::Put(uint32_t offset, const std::vector<uint8_t>& bytes) {
  std::copy(bytes.begin(), bytes.end(), segment.begin() + offset);
}

void FakeBios::PutSignature(uint32_t offset, const char* six) {
  std::memcpy(segment.data() + offset, six, 6);
}

int FakeBios::Calls(uint32_t function) const {
  return static_cast<int>(std::count_if(seen.begin(), seen.end(),
                                        [&](const SeenCall& c) { return c.function == function; }));
}

std::vector<uint8_t> FakeBios::Table(const std::vector<std::vector<uint32_t>>& records,
                                     bool terminate) {
  std::vector<uint8_t> t;
  auto put = [&](uint32_t v) {
    uint8_t b[4];
    PutLe32(b, v);
    t.insert(t.end(), b, b + 4);
  };
  for (const auto& r : records) {
    for (uint32_t v : r) put(v);
  }
  if (terminate) {
    put(0xFFFFFFFFu);
    put(0x11111111u);
    put(0x22222222u);
    put(0x33333333u);
  }
  return t;
}

uint8_t* FakeBios::Locate(uint32_t linear, uint32_t count, bool writable) {
  if (!writable && linear >= kFakeSegmentLinear &&
      uint64_t{linear} + count <= uint64_t{kFakeSegmentLinear} + segment.size()) {
    return segment.data() + (linear - kFakeSegmentLinear);
  }
  for (KernelBuf& b : buffers_) {
    if (linear >= b.linear && uint64_t{linear} + count <= uint64_t{b.linear} + b.bytes.size()) {
      return b.bytes.data() + (linear - b.linear);
    }
  }
  faults.push_back("access at " + std::to_string(linear) + " count " + std::to_string(count));
  return nullptr;
}

FakeBios::KernelBuf* FakeBios::ByPhysical(uint32_t physical) {
  for (KernelBuf& b : buffers_) {
    if (b.physical == physical) return &b;
  }
  return nullptr;
}

void FakeBios::Respond(const DriverCall& call, uint8_t* reply) {
  const uint8_t* rq = call.request.data();
  switch (call.code) {
    case kIoctlMapPhysicalMemory:
      PutLe32(reply, mapFails ? kDriverNotFound : mapAtZero ? 0 : kFakeSegmentLinear);
      return;
    case kIoctlUnmapPhysicalMemory:
      unmapped.push_back(GetLe32(rq));
      return;
    case kIoctlSearchMemory: {
      uint32_t base = GetLe32(rq), n = GetLe32(rq + 4), region = GetLe32(rq + 8);
      const uint8_t* from = Locate(base, region + n, false);
      uint32_t found = kDriverNotFound;
      for (uint32_t i = 0; from != nullptr && i < region; ++i) {
        if (std::memcmp(from + i, rq + 12, n) == 0) {
          found = i;
          break;
        }
      }
      PutLe32(reply, found);
      return;
    }
    case kIoctlReadMemory: {
      if (GetLe32(rq) != GetLe32(rq + 4)) faults.push_back("read addresses differ");
      uint32_t count = GetLe32(rq + 8);
      const uint8_t* from = Locate(GetLe32(rq), count, false);
      if (from != nullptr) std::memcpy(reply, from, count);
      return;
    }
    case kIoctlAllocateKernelMemory: {
      int n = allocations_++;
      uint32_t linear = 0x81000000u + 0x10000u * static_cast<uint32_t>(n);
      uint32_t physical = 0x00200000u + 0x10000u * static_cast<uint32_t>(n);
      if (allocationFailing == n) linear = physical = 0;
      buffers_.push_back(KernelBuf{linear, physical, std::vector<uint8_t>(GetLe32(rq), 0)});
      PutLe32(reply, linear);
      PutLe32(reply + 4, physical);
      return;
    }
    case kIoctlFreeKernelMemory:
      freed.push_back(GetLe32(rq));
      return;
    case kIoctlFillMemory: {
      uint32_t count = GetLe32(rq + 4);
      uint8_t* to = Locate(GetLe32(rq), count, true);
      if (to != nullptr) std::memset(to, rq[8], count);
      return;
    }
    case kIoctlWriteMemory: {
      uint32_t count = GetLe32(rq + 4);
      uint8_t* to = Locate(GetLe32(rq), count, true);
      if (to != nullptr) std::memcpy(to, rq + 8, count);
      return;
    }
    case kIoctlTriggerBiosCall: {
      if (GetLe32(rq + 4) != kFakePort || rq[8] != kFakeTriggerValue) return;
      KernelBuf* params = ByPhysical(GetLe32(rq));
      if (params == nullptr) return;
      SeenCall c;
      c.function = GetLe32(params->bytes.data());
      for (int i = 0; i < 8; ++i) c.param[i] = GetLe32(params->bytes.data() + 28 + 4 * i);
      seen.push_back(c);
      std::optional<BiosAnswer> a = bios ? bios(c) : std::nullopt;
      if (!a) return;
      KernelBuf* status = ByPhysical(GetLe32(params->bytes.data() + 12));
      KernelBuf* receive = ByPhysical(GetLe32(params->bytes.data() + 8));
      if (status == nullptr || receive == nullptr) return;
      PutLe32(status->bytes.data(), a->signature);
      PutLe32(status->bytes.data() + 4, static_cast<uint32_t>(a->status));
      PutLe32(status->bytes.data() + 8, static_cast<uint32_t>(a->code));
      std::copy(a->receive.begin(), a->receive.end(), receive->bytes.begin());
      return;
    }
    default:
      faults.push_back("unknown code");
  }
}

}  // namespace ql::testing
