// The flash driver: found by its device interface class, opened once at start-up, and the one
// control channel every driver request travels through.
#pragma once

#include <cstdint>

#include "platform/machine.h"

namespace ql {

inline constexpr const char* kDriverErrorCaption = "ERROR Message";
inline constexpr const char* kMsgDriverNotFound = "Can not found driver !!";
inline constexpr const char* kMsgDriverNoInterface = "Can not get driver interface!!";
inline constexpr const char* kMsgDriverRemoved = "Driver havd been removed!!";
inline constexpr const char* kMsgDriverNoMemory = "Memory alloc error!!";
inline constexpr const char* kMsgDriverNoDetail = "Get driver detail fail!!";
inline constexpr const char* kMsgDriverOpenFail = "Driver open fail!!";

struct DriverLinkState {
  DeviceHandle DriverHandle = nullptr;  // null until the driver is open
};

extern DriverLinkState DriverLink;

// 0 when the driver is open; -1 once the failure's message has been shown (owner as parent).
int OpenDriver(WindowHandle owner);

// Sends one control code with its request block and receives its reply block. The platform's
// success flag is answered but callers judge each operation by its reply fields; on failure the
// reply keeps what it held.
bool DriverIoControl(uint32_t code, const uint8_t* request, uint8_t* reply, uint32_t requestSize,
                     uint32_t replySize);

}  // namespace ql
