#include "driver/driver_link.h"

#include <cstring>

#include "platform/bytes.h"

namespace ql {

DriverLink::DriverLink(Machine& machine, Allocator& allocator)
    : machine_(machine), allocator_(allocator) {}

bool DriverLink::Open(Desktop& desktop, WindowHandle owner) {
  DeviceSetHandle set = nullptr;
  HeapBuffer detail;
  // Runs the discovery steps in order; answers the failing step's message, or null when open.
  auto discover = [&]() -> const char* {
    if (!machine_.GetClassDevices(owner, &set)) return kMsgDriverNotFound;
    uint32_t flags = 0;
    if (!machine_.EnumFirstInterface(set, &flags)) return kMsgDriverNoInterface;
    // Equality, not a bit test: the platform reports a removed interface by this value alone.
    if (flags == kSpintRemoved) return kMsgDriverRemoved;
    uint32_t size = machine_.GetInterfaceDetailSize(set);
    detail = HeapBuffer::Allocate(allocator_, size);
    if (detail.empty()) return kMsgDriverNoMemory;
    if (size <= kDetailPathOffset || !machine_.GetInterfaceDetail(set, detail.data(), size)) {
      return kMsgDriverNoDetail;
    }
    // The path must end inside the record, whatever the platform wrote.
    detail[size - 1] = '\0';
    DeviceHandle device = nullptr;
    if (!machine_.OpenDevice(reinterpret_cast<const char*>(detail.data() + kDetailPathOffset),
                             &device)) {
      return kMsgDriverOpenFail;
    }
    handle_ = device;
    return nullptr;
  };
  const char* failure = discover();
  // Every step after the first has a set to release, and the record once it was allocated.
  if (failure != kMsgDriverNotFound) machine_.DestroyDeviceSet(set);
  detail.reset();
  if (failure == nullptr) return true;
  desktop.ShowMessageBox(owner, failure, kDriverErrorCaption, kMbOk | kMbIconExclamation);
  return false;
}

namespace {
// A reply can hand back no more than its block; a driver that claims more has answered nothing
// the program can believe.
bool Took(bool done, uint32_t returned, uint32_t replyBytes, uint32_t blockSize) {
  return done && returned >= replyBytes && returned <= blockSize;
}
}  // namespace

bool DriverLink::SendShort(uint32_t code, uint32_t replyBytes) {
  uint32_t returned = 0;
  const bool done = machine_.DeviceControl(handle_, code, request_, kShortBlockSize, reply_,
                                           kShortBlockSize, &returned);
  return Took(done, returned, replyBytes, kShortBlockSize);
}

bool DriverLink::SendBulk(uint32_t code, uint32_t replyBytes) {
  uint32_t returned = 0;
  const bool done = machine_.DeviceControl(handle_, code, bulkRequest_, kBulkBlockSize, bulkReply_,
                                           kBulkBlockSize, &returned);
  return Took(done, returned, replyBytes, kBulkBlockSize);
}

uint32_t DriverLink::ReplyField(uint32_t offset) const {
  return GetLe32(reply_ + offset);
}

uint32_t DriverLink::MapPhysicalMemory(uint32_t physical, uint32_t length) {
  PutLe32(request_ + wire::kMapPhysical, physical);
  PutLe32(request_ + wire::kMapLength, length);
  if (!SendShort(kIoctlMapPhysicalMemory, wire::kMapReplyLinear + 4)) return kDriverNotFound;
  return ReplyField(wire::kMapReplyLinear);
}

bool DriverLink::UnmapPhysicalMemory(uint32_t linear, uint32_t length) {
  PutLe32(request_ + wire::kUnmapLinear, linear);
  PutLe32(request_ + wire::kUnmapLength, length);
  return SendShort(kIoctlUnmapPhysicalMemory, 0);
}

uint32_t DriverLink::SearchMemory(uint32_t base, const uint8_t* pattern, uint32_t patternLength,
                                  uint32_t regionLength) {
  if (patternLength > kShortBlockSize - wire::kSearchPattern) return kDriverNotFound;
  PutLe32(request_ + wire::kSearchBase, base);
  PutLe32(request_ + wire::kSearchPatternLength, patternLength);
  PutLe32(request_ + wire::kSearchRegionLength, regionLength);
  std::memcpy(request_ + wire::kSearchPattern, pattern, patternLength);
  if (!SendShort(kIoctlSearchMemory, wire::kSearchReplyOffset + 4)) return kDriverNotFound;
  return ReplyField(wire::kSearchReplyOffset);
}

const uint8_t* DriverLink::ReadMemory(uint32_t linear, uint32_t count) {
  if (count > kShortBlockSize) return nullptr;
  PutLe32(request_ + wire::kReadSource, linear);
  PutLe32(request_ + wire::kReadSourceAgain, linear);
  PutLe32(request_ + wire::kReadCount, count);
  return SendShort(kIoctlReadMemory, count) ? reply_ : nullptr;
}

bool DriverLink::ReadMemoryBulk(uint32_t linear) {
  PutLe32(bulkRequest_ + wire::kReadSource, linear);
  PutLe32(bulkRequest_ + wire::kReadSourceAgain, linear);
  PutLe32(bulkRequest_ + wire::kReadCount, kTransferSize);
  return SendBulk(kIoctlReadMemory, kTransferSize);
}

KernelBuffer DriverLink::AllocateKernelMemory(uint32_t size) {
  PutLe32(request_ + wire::kAllocSize, size);
  if (!SendShort(kIoctlAllocateKernelMemory, wire::kAllocReplyPhysical + 4)) return KernelBuffer{};
  return KernelBuffer{ReplyField(wire::kAllocReplyLinear), ReplyField(wire::kAllocReplyPhysical)};
}

bool DriverLink::FreeKernelMemory(uint32_t linear) {
  PutLe32(request_ + wire::kFreeLinear, linear);
  return SendShort(kIoctlFreeKernelMemory, 0);
}

bool DriverLink::TriggerBiosCall(uint32_t parameterBlockPhysical, uint32_t port, uint8_t value) {
  PutLe32(request_ + wire::kTriggerParamPhysical, parameterBlockPhysical);
  PutLe32(request_ + wire::kTriggerPort, port);
  request_[wire::kTriggerValue] = value;
  return SendShort(kIoctlTriggerBiosCall, 0);
}

bool DriverLink::FillMemory(uint32_t linear, uint32_t count, uint8_t value) {
  PutLe32(request_ + wire::kFillLinear, linear);
  PutLe32(request_ + wire::kFillCount, count);
  request_[wire::kFillValue] = value;
  return SendShort(kIoctlFillMemory, 0);
}

void DriverLink::LayWrite(uint8_t* request, uint32_t linear, const uint8_t* data, uint32_t count) {
  PutLe32(request + wire::kWriteDestination, linear);
  PutLe32(request + wire::kWriteCount, count);
  if (count > 0) std::memcpy(request + wire::kWriteData, data, count);
}

bool DriverLink::WriteMemory(uint32_t linear, const uint8_t* data, uint32_t count) {
  if (count > kShortWriteMax) return false;
  LayWrite(request_, linear, data, count);
  return SendShort(kIoctlWriteMemory, 0);
}

bool DriverLink::WriteMemoryBulk(uint32_t linear, const uint8_t* data, uint32_t count) {
  if (count > kTransferSize) return false;
  LayWrite(bulkRequest_, linear, data, count);
  return SendBulk(kIoctlWriteMemory, 0);
}

}  // namespace ql
