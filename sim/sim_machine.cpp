#include "sim/sim_machine.h"

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>

#include "driver/wire.h"
#include "platform/bytes.h"
#include "bios/bcp_layout.h"

namespace ql::sim {
namespace {

inline constexpr uint32_t kMaxBlockRecords = kTransferSize / blockrec::kSize;
inline constexpr uint32_t kSpintActive = 1;
// The fixed part of the interface detail record in the 32-bit layout: cbSize and one character.
inline constexpr uint32_t kDetailFixedSize = 5;

std::vector<uint8_t> LastSegment(const std::vector<uint8_t>& part) {
  return std::vector<uint8_t>(part.end() - kBiosSegmentLength, part.end());
}

std::string Hex(uint32_t v) {
  static const char* digits = "0123456789ABCDEF";
  std::string s;
  do {
    s.insert(s.begin(), digits[v & 0xF]);
    v >>= 4;
  } while (v != 0);
  return "0x" + s;
}

// Every offset the profile names must lie in the part; the message names the key.
bool CheckProfileFits(const SimProfile& p, uint32_t size, std::string* error) {
  if (p.explicitBlocks && p.blocks.size() > kMaxBlockRecords) {
    *error = "key 'block': more than " + std::to_string(kMaxBlockRecords) + " records";
    return false;
  }
  for (size_t i = 0; i < p.blocks.size(); ++i) {
    const BlockSpec& b = p.blocks[i];
    if (b.fileOffset > size || b.blockSize > size - b.fileOffset) {
      *error = "key 'block' (record " + std::to_string(i + 1) + "): " + Hex(b.fileOffset) + " + " +
               Hex(b.blockSize) + " reaches beyond the " + Hex(size) + "-byte part";
      return false;
    }
  }
  auto offsetsFit = [&](const std::vector<uint32_t>& list, const char* key) {
    for (uint32_t at : list) {
      if (at >= size) {
        *error = std::string("key '") + key + "': " + Hex(at) + " is outside the part";
        return false;
      }
    }
    return true;
  };
  if (!offsetsFit(p.readFailsAt, "read_fails_at") ||
      !offsetsFit(p.eraseFailsAt, "erase_fails_at") ||
      !offsetsFit(p.programFailsAt, "program_fails_at") ||
      !offsetsFit(p.silentReadAt, "silent_read_at") ||
      !offsetsFit(p.programmedButNotWrittenAt, "programmed_but_not_written_at")) {
    return false;
  }
  for (uint32_t at : p.segmentReadFailsAt) {
    if (at >= kBiosSegmentLength) {
      *error = "key 'segment_read_fails_at': " + Hex(at) + " is outside the 64 KiB BIOS segment";
      return false;
    }
  }
  for (const StuckBits& b : p.stuckBits) {
    if (b.offset >= size) {
      *error = std::string("key '") + (b.high ? "stuck_high" : "stuck_low") +
               "': " + Hex(b.offset) + " is outside the part";
      return false;
    }
  }
  if (!p.explicitBlocks && size / p.blockSize > kMaxBlockRecords) {
    *error = "key 'block_size': " + Hex(p.blockSize) + " gives more than " +
             std::to_string(kMaxBlockRecords) + " blocks";
    return false;
  }
  return true;
}

}  // namespace

bool IsSupportedPartSize(size_t size) {
  return size >= kPartUnit && size <= kMaxPartSize && size % kPartUnit == 0;
}

std::unique_ptr<SimMachine> SimMachine::Create(const SimProfile& profile, std::vector<uint8_t> part,
                                               std::string* error, BootState boot) {
  if (!IsSupportedPartSize(part.size())) {
    *error = "a flash part of " + std::to_string(part.size()) +
             " bytes is not supported (whole 64 KiB units, 64 KiB to 32 MiB)";
    return nullptr;
  }
  if (!CheckProfileFits(profile, static_cast<uint32_t>(part.size()), error)) return nullptr;
  if (!boot.biosSegment.empty() && boot.biosSegment.size() != kBiosSegmentLength) {
    *error = "the booted BIOS segment is not 64 KiB";
    return nullptr;
  }
  return std::unique_ptr<SimMachine>(new SimMachine(profile, std::move(part), std::move(boot)));
}

SimMachine::SimMachine(const SimProfile& profile, std::vector<uint8_t> part, BootState boot)
    : profile_(profile), part_(std::move(part)), boot_(std::move(boot)) {
  part_.SetStuckBits(profile_.stuckBits);
  part_.SetEraseFailures(profile_.eraseFailsAt);
  part_.SetStore([this](uint32_t offset, const uint8_t* bytes, uint32_t count) {
    return !onPartWritten || onPartWritten(offset, bytes, count);
  });
  Boot();
}

void SimMachine::Boot() {
  if (boot_.biosSegment.empty()) boot_.biosSegment = LastSegment(part_.Cells());
  memory_ = std::make_unique<SimMemory>(boot_.biosSegment, profile_.kernelMemoryLimit);
  bios_ = std::make_unique<SimBios>(
      profile_, part_, *memory_, FindBiosTrigger(boot_.biosSegment), boot_.wrongTries,
      [this](uint32_t tries) {
        boot_.wrongTries = tries;
        if (onWrongTries) onWrongTries(tries);
      },
      [this](uint32_t ms) {
        clockMs_ += ms;
        if (pause) pause(ms);
      });
  // The power goes: the driver answers nothing more, and the program ends where it stands.
  bios_->onCut = [this] {
    running_ = false;
    ExitProcess(kPowerCutStatus);
  };
  requests_.clear();
  bulkReads_ = bulkWrites_ = allocations_ = 0;
  running_ = true;
  deviceOpen_ = false;
}

void SimMachine::Restart() {
  boot_ = BootState{};
  Boot();
}

uint32_t SimMachine::DriverRequestCount(uint32_t code) const {
  auto it = requests_.find(code);
  return it == requests_.end() ? 0 : it->second;
}

bool SimMachine::GetClassDevices(WindowHandle, DeviceSetHandle* set) {
  if (profile_.discoveryFault == DiscoveryFault::kClassDevices) return false;
  *set = &setToken_;
  ++setsOpen_;
  return true;
}

bool SimMachine::EnumFirstInterface(DeviceSetHandle set, uint32_t* flags) {
  if (set != &setToken_ || profile_.discoveryFault == DiscoveryFault::kInterface) return false;
  *flags = profile_.discoveryFault == DiscoveryFault::kRemoved ? kSpintRemoved : kSpintActive;
  return true;
}

uint32_t SimMachine::GetInterfaceDetailSize(DeviceSetHandle) {
  return kDetailPathOffset + static_cast<uint32_t>(std::strlen(kSimDevicePath)) + 1;
}

bool SimMachine::GetInterfaceDetail(DeviceSetHandle set, uint8_t* record, uint32_t size) {
  if (set != &setToken_ || profile_.discoveryFault == DiscoveryFault::kDetail) return false;
  if (record == nullptr || size < GetInterfaceDetailSize(set)) return false;
  PutLe32(record, kDetailFixedSize);
  std::memcpy(record + kDetailPathOffset, kSimDevicePath, std::strlen(kSimDevicePath) + 1);
  return true;
}

void SimMachine::DestroyDeviceSet(DeviceSetHandle set) {
  if (set == &setToken_) --setsOpen_;
}

bool SimMachine::OpenDevice(const char* path, DeviceHandle* device) {
  if (!running_ || profile_.discoveryFault == DiscoveryFault::kOpen) return false;
  if (path == nullptr || std::strcmp(path, kSimDevicePath) != 0) return false;
  deviceOpen_ = true;
  *device = &deviceToken_;
  return true;
}

bool SimMachine::DeviceControl(DeviceHandle device, uint32_t code, const uint8_t* request,
                               uint32_t requestSize, uint8_t* reply, uint32_t replySize,
                               uint32_t* returned) {
  *returned = 0;
  if (!running_ || !deviceOpen_ || device != &deviceToken_) return false;
  ++requests_[code];
  bool shortPair = requestSize == kShortBlockSize && replySize == kShortBlockSize;
  bool bulkPair = requestSize == kBulkBlockSize && replySize == kBulkBlockSize;
  if (!shortPair && !bulkPair) return false;
  // The reply is worked in a block of the driver's own and copied back only when the request is
  // taken, as the system does for a buffered driver.
  std::vector<uint8_t> answer(reply, reply + replySize);
  uint32_t count = 0;
  if (!Control(code, request, requestSize, answer.data(), replySize, &count)) return false;
  std::copy_n(answer.begin(), count, reply);
  *returned = count;
  return true;
}

bool SimMachine::SegmentReadFails(uint32_t linear) const {
  uint32_t physical = 0;
  if (!memory_->Translate(linear, 1, &physical) || physical < kBiosSegmentPhysical ||
      physical - kBiosSegmentPhysical >= kBiosSegmentLength) {
    return false;
  }
  const uint32_t piece = (physical - kBiosSegmentPhysical) / kTransferSize;
  return std::any_of(profile_.segmentReadFailsAt.begin(), profile_.segmentReadFailsAt.end(),
                     [piece](uint32_t at) { return at / kTransferSize == piece; });
}

bool SimMachine::Control(uint32_t code, const uint8_t* rq, uint32_t requestSize, uint8_t* reply,
                         uint32_t replySize, uint32_t* returned) {
  auto field = [rq](uint32_t offset) { return GetLe32(rq + offset); };
  const bool bulk = requestSize == kBulkBlockSize;
  switch (code) {
    case kIoctlMapPhysicalMemory: {
      PutLe32(reply + wire::kMapReplyLinear,
              memory_->Map(field(wire::kMapPhysical), field(wire::kMapLength)));
      *returned = wire::kMapReplyLinear + 4;
      return true;
    }
    case kIoctlUnmapPhysicalMemory:
      return memory_->Unmap(field(wire::kUnmapLinear), field(wire::kUnmapLength));
    case kIoctlSearchMemory: {
      uint32_t base = field(wire::kSearchBase);
      uint32_t n = field(wire::kSearchPatternLength);
      uint32_t region = field(wire::kSearchRegionLength);
      const uint8_t* pattern = rq + wire::kSearchPattern;
      if (n == 0 || n > requestSize - wire::kSearchPattern) return false;
      PutLe32(reply + wire::kSearchReplyOffset, kDriverNotFound);
      *returned = wire::kSearchReplyOffset + 4;
      if (region == 0) return true;
      // Starts run over [0, region); the last one reads n - 1 bytes beyond.
      uint64_t span = static_cast<uint64_t>(region) + n - 1;
      const uint8_t* bytes =
          span > 0xFFFFFFFFu ? nullptr : memory_->LinearView(base, static_cast<uint32_t>(span));
      if (bytes == nullptr) return false;
      const uint8_t* end = bytes + span;
      const uint8_t* hit = std::search(bytes, end, pattern, pattern + n);
      if (hit != end) {
        PutLe32(reply + wire::kSearchReplyOffset, static_cast<uint32_t>(hit - bytes));
      }
      return true;
    }
    case kIoctlReadMemory: {
      uint32_t source = field(wire::kReadSource);
      uint32_t count = field(wire::kReadCount);
      if (source != field(wire::kReadSourceAgain) || count > replySize) return false;
      if (bulk && SegmentReadFails(source)) return false;
      if (bulk && bulkReads_++ >= profile_.shortBulkReadsAfter) count /= 2;
      *returned = count;
      return memory_->ReadLinear(source, count, reply);
    }
    case kIoctlAllocateKernelMemory: {
      if (allocations_++ >= profile_.allocationRefusedAfter) return false;
      KernelAllocation a = memory_->Allocate(field(wire::kAllocSize));
      PutLe32(reply + wire::kAllocReplyLinear, a.linear);
      PutLe32(reply + wire::kAllocReplyPhysical, a.physical);
      *returned = wire::kAllocReplyPhysical + 4;
      return true;
    }
    case kIoctlFreeKernelMemory: {
      uint32_t linear = field(wire::kFreeLinear);
      return linear == 0 || memory_->Free(linear);
    }
    case kIoctlTriggerBiosCall:
      bios_->Trigger(field(wire::kTriggerParamPhysical), field(wire::kTriggerPort),
                     rq[wire::kTriggerValue]);
      return true;
    case kIoctlFillMemory:
      return memory_->FillLinear(field(wire::kFillLinear), field(wire::kFillCount),
                                 rq[wire::kFillValue]);
    case kIoctlWriteMemory: {
      uint32_t count = field(wire::kWriteCount);
      if (count > requestSize - wire::kWriteData) return false;
      if (bulk && bulkWrites_++ >= profile_.bulkWriteRefusedAfter) return false;
      return memory_->WriteLinear(field(wire::kWriteDestination), rq + wire::kWriteData, count);
    }
    default:
      return false;
  }
}

PowerStatus SimMachine::GetPowerStatus() {
  PowerStatus s;
  s.acLineStatus = profile_.acLineStatus;
  s.batteryFlag = profile_.batteryFlag;
  return s;
}

bool SimMachine::EnableShutdownPrivilege() {
  return profile_.shutdownPrivilege;
}

bool SimMachine::ExitWindows(uint32_t flags) {
  if (profile_.shutdownRefused) return false;
  shutdowns_.push_back(flags);
  running_ = false;
  // Whatever the flags, the machine goes down; the part's BIOS is the one that boots next.
  BootState next;
  next.biosSegment = LastSegment(part_.Cells());
  if (onShutdown) onShutdown(flags, next);
  if (closeProgram) {
    closeProgram();
  } else {
    ExitProcess(0);
  }
  return true;
}

UtcTime SimMachine::UtcNow() {
  if (realClock != nullptr) return realClock->UtcNow();
  using namespace std::chrono;
  const sys_days start = year_month_day{year{kSimClockStart.year}, month{kSimClockStart.month},
                                        day{kSimClockStart.day}};
  const auto now = start + hours{kSimClockStart.hour} + milliseconds{clockMs_};
  const sys_days today = floor<days>(now);
  const year_month_day date{today};
  const hh_mm_ss<milliseconds> time{now - today};
  return {static_cast<uint16_t>(int{date.year()}),
          static_cast<uint16_t>(unsigned{date.month()}),
          static_cast<uint16_t>(unsigned{date.day()}),
          static_cast<uint16_t>(time.hours().count()),
          static_cast<uint16_t>(time.minutes().count()),
          static_cast<uint16_t>(time.seconds().count()),
          static_cast<uint16_t>(time.subseconds().count())};
}

uint32_t SimMachine::Milliseconds() {
  return realClock != nullptr ? realClock->Milliseconds() : static_cast<uint32_t>(clockMs_);
}

void SimMachine::ExitProcess(int exitCode) {
  if (exitProcess) exitProcess(exitCode);
  std::exit(exitCode);
}

}  // namespace ql::sim
