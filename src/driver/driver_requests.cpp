#include "driver/driver_requests.h"

#include <cstring>

#include "driver/driver_link.h"
#include "platform/bytes.h"

namespace ql {

DriverBlockSet DriverBlocks;

namespace {

uint8_t* Request() {
  return DriverBlocks.DriverRequest;
}
uint8_t* Bulk() {
  return DriverBlocks.BulkRequest;
}

bool SendShort(uint32_t code) {
  return DriverIoControl(code, DriverBlocks.DriverRequest, DriverBlocks.DriverReply,
                         kShortBlockSize, kShortBlockSize);
}

bool SendBulk(uint32_t code) {
  return DriverIoControl(code, DriverBlocks.BulkRequest, DriverBlocks.BulkReply, kBulkBlockSize,
                         kBulkBlockSize);
}

uint32_t ReplyField(uint32_t offset) {
  return GetLe32(DriverBlocks.DriverReply + offset);
}

}  // namespace

uint32_t MapPhysicalMemory(uint32_t physical, uint32_t length) {
  PutLe32(Request() + wire::kMapPhysical, physical);
  PutLe32(Request() + wire::kMapLength, length);
  SendShort(kIoctlMapPhysicalMemory);
  return ReplyField(wire::kMapReplyLinear);
}

void UnmapPhysicalMemory(uint32_t linear, uint32_t length) {
  PutLe32(Request() + wire::kUnmapLinear, linear);
  PutLe32(Request() + wire::kUnmapLength, length);
  SendShort(kIoctlUnmapPhysicalMemory);
}

uint32_t SearchMemory(uint32_t base, const uint8_t* pattern, uint32_t patternLength,
                      uint32_t regionLength) {
  if (patternLength > kShortBlockSize - wire::kSearchPattern) return kDriverNotFound;
  PutLe32(Request() + wire::kSearchBase, base);
  PutLe32(Request() + wire::kSearchPatternLength, patternLength);
  PutLe32(Request() + wire::kSearchRegionLength, regionLength);
  std::memcpy(Request() + wire::kSearchPattern, pattern, patternLength);
  SendShort(kIoctlSearchMemory);
  return ReplyField(wire::kSearchReplyOffset);
}

const uint8_t* ReadMemory(uint32_t linear, uint32_t count) {
  if (count > kShortBlockSize) return nullptr;
  PutLe32(Request() + wire::kReadSource, linear);
  PutLe32(Request() + wire::kReadSourceAgain, linear);
  PutLe32(Request() + wire::kReadCount, count);
  SendShort(kIoctlReadMemory);
  return DriverBlocks.DriverReply;
}

bool ReadMemoryBulk(uint32_t linear) {
  PutLe32(Bulk() + wire::kReadSource, linear);
  PutLe32(Bulk() + wire::kReadSourceAgain, linear);
  PutLe32(Bulk() + wire::kReadCount, TransferSize);
  return SendBulk(kIoctlReadMemory);
}

KernelBuffer AllocateKernelMemory(uint32_t size) {
  PutLe32(Request() + wire::kAllocSize, size);
  SendShort(kIoctlAllocateKernelMemory);
  return KernelBuffer{ReplyField(wire::kAllocReplyLinear), ReplyField(wire::kAllocReplyPhysical)};
}

void FreeKernelMemory(uint32_t linear) {
  PutLe32(Request() + wire::kFreeLinear, linear);
  SendShort(kIoctlFreeKernelMemory);
}

void TriggerBiosCall(uint32_t parameterBlockPhysical, uint32_t port, uint8_t value) {
  PutLe32(Request() + wire::kTriggerParamPhysical, parameterBlockPhysical);
  PutLe32(Request() + wire::kTriggerPort, port);
  Request()[wire::kTriggerValue] = value;
  SendShort(kIoctlTriggerBiosCall);
}

void FillMemory(uint32_t linear, uint32_t count, uint8_t value) {
  PutLe32(Request() + wire::kFillLinear, linear);
  PutLe32(Request() + wire::kFillCount, count);
  Request()[wire::kFillValue] = value;
  SendShort(kIoctlFillMemory);
}

bool WriteMemory(uint32_t linear, const uint8_t* data, uint32_t count) {
  if (count > kShortWriteMax) return false;
  PutLe32(Request() + wire::kWriteDestination, linear);
  PutLe32(Request() + wire::kWriteCount, count);
  if (count > 0) std::memcpy(Request() + wire::kWriteData, data, count);
  return SendShort(kIoctlWriteMemory);
}

bool WriteMemoryBulk(uint32_t linear, const uint8_t* data, uint32_t count) {
  if (count > TransferSize) return false;
  PutLe32(Bulk() + wire::kWriteDestination, linear);
  PutLe32(Bulk() + wire::kWriteCount, count);
  if (count > 0) std::memcpy(Bulk() + wire::kWriteData, data, count);
  return SendBulk(kIoctlWriteMemory);
}

}  // namespace ql
