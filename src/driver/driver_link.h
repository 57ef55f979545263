// The flash driver: found by its device interface class, opened once at start-up, and the one
// control channel every driver request travels through. The link owns the request and reply
// blocks of both sizes. Each operation writes only its own request fields and the blocks are never
// cleared, so bytes an operation does not name keep what the previous one left (the driver reads
// only the fields it names).
//
// Every operation answers whether the driver took it. A buffered driver that refuses a request
// copies nothing back, so the reply block still holds what an earlier request left: a refused
// request's reply is never read, and an answer that looks like one (an allocation, a search
// result, read bytes) is never made from it. A reply shorter than the fields the operation reads
// counts as refused too: the bytes past its end are an earlier request's.
#pragma once

#include <cstdint>

#include "driver/wire.h"
#include "platform/allocator.h"
#include "platform/desktop.h"
#include "platform/machine.h"

namespace ql {

inline constexpr const char* kDriverErrorCaption = "ERROR Message";
inline constexpr const char* kMsgDriverNotFound = "Can not found driver !!";
inline constexpr const char* kMsgDriverNoInterface = "Can not get driver interface!!";
inline constexpr const char* kMsgDriverRemoved = "Driver havd been removed!!";
inline constexpr const char* kMsgDriverNoMemory = "Memory alloc error!!";
inline constexpr const char* kMsgDriverNoDetail = "Get driver detail fail!!";
inline constexpr const char* kMsgDriverOpenFail = "Driver open fail!!";

class DriverLink {
 public:
  DriverLink(Machine& machine, Allocator& allocator);
  DriverLink(const DriverLink&) = delete;
  DriverLink& operator=(const DriverLink&) = delete;

  // The seven discovery steps. True when the driver is open; otherwise the failing step's message
  // has been shown (caption "ERROR Message", owner as parent) and everything the steps took is
  // given back.
  [[nodiscard]] bool Open(Desktop& desktop, WindowHandle owner);

  // Linear address of the new mapping; kDriverNotFound when the driver failed it or refused the
  // request.
  [[nodiscard]] uint32_t MapPhysicalMemory(uint32_t physical, uint32_t length);
  [[nodiscard]] bool UnmapPhysicalMemory(uint32_t linear, uint32_t length);
  // Offset of the first occurrence from the base; kDriverNotFound when there is none or the
  // driver refused the request.
  [[nodiscard]] uint32_t SearchMemory(uint32_t base, const uint8_t* pattern, uint32_t patternLength,
                                      uint32_t regionLength);
  // Short read of at most 250 bytes: answers the reply block, the bytes at its start; null for a
  // count that does not fit (nothing is sent) or a read the driver refused or cut short.
  [[nodiscard]] const uint8_t* ReadMemory(uint32_t linear, uint32_t count);
  // Bulk read of kTransferSize bytes into BulkData(); false when the driver did not hand them over
  // (BulkData() then still holds what an earlier read left).
  [[nodiscard]] bool ReadMemoryBulk(uint32_t linear);
  // The data of the last bulk reply: kTransferSize bytes.
  const uint8_t* BulkData() const { return bulkReply_; }
  // Linear address 0 when the driver had no memory or refused the request.
  [[nodiscard]] KernelBuffer AllocateKernelMemory(uint32_t size);
  [[nodiscard]] bool FreeKernelMemory(uint32_t linear);
  [[nodiscard]] bool TriggerBiosCall(uint32_t parameterBlockPhysical, uint32_t port, uint8_t value);
  [[nodiscard]] bool FillMemory(uint32_t linear, uint32_t count, uint8_t value);
  // Short write of at most kShortWriteMax bytes; a larger count sends nothing and answers false.
  [[nodiscard]] bool WriteMemory(uint32_t linear, const uint8_t* data, uint32_t count);
  // Bulk write of at most kTransferSize bytes; a larger count sends nothing and answers false.
  [[nodiscard]] bool WriteMemoryBulk(uint32_t linear, const uint8_t* data, uint32_t count);

 private:
  // The write request's fields, the same in a short and a bulk request.
  static void LayWrite(uint8_t* request, uint32_t linear, const uint8_t* data, uint32_t count);
  // True when the driver took the request and handed back at least `replyBytes` bytes of reply.
  bool SendShort(uint32_t code, uint32_t replyBytes);
  bool SendBulk(uint32_t code, uint32_t replyBytes);
  uint32_t ReplyField(uint32_t offset) const;

  Machine& machine_;
  Allocator& allocator_;
  DeviceHandle handle_ = nullptr;
  uint8_t request_[kShortBlockSize] = {};
  uint8_t reply_[kShortBlockSize] = {};
  uint8_t bulkRequest_[kBulkBlockSize] = {};
  uint8_t bulkReply_[kBulkBlockSize] = {};
};

}  // namespace ql
