// What the hardware and the operating system offer: the flash driver (found by its device
// interface class and driven by device control codes), power status, shutdown, process exit and
// the clock.
#pragma once

#include <cstdint>

#include "platform/clock.h"
#include "platform/desktop.h"

namespace ql {

using DeviceSetHandle = void*;
using DeviceHandle = void*;

// Power status fields, as the platform reports them.
struct PowerStatus {
  uint8_t acLineStatus = 1;  // 0 offline, 1 online, 255 unknown
  uint8_t batteryFlag = 1;   // 1 high, 2 low, 4 critical, 8 charging, 128 no battery, 255 unknown
};

// ExitWindows flags, with the platform's values.
inline constexpr uint32_t kEwxShutdown = 0x1;
inline constexpr uint32_t kEwxReboot = 0x2;
inline constexpr uint32_t kEwxPowerOff = 0x8;

// The interface flag that marks a removed device interface.
inline constexpr uint32_t kSpintRemoved = 4;

// Offset of the device path in the interface detail record, after its u32 size field.
inline constexpr uint32_t kDetailPathOffset = 4;

class Machine : public Clock {
 public:
  virtual ~Machine() = default;

  // Driver discovery, one call for each step that can fail on its own.
  // The set of present devices exposing the flash driver's interface class.
  virtual bool GetClassDevices(WindowHandle owner, DeviceSetHandle* set) = 0;
  // Interface number 0 of the class in the set; its flags go to *flags.
  virtual bool EnumFirstInterface(DeviceSetHandle set, uint32_t* flags) = 0;
  // The size of the detail record of the interface found by EnumFirstInterface.
  virtual uint32_t GetInterfaceDetailSize(DeviceSetHandle set) = 0;
  // Fills the detail record (size field set by the platform; the path at kDetailPathOffset).
  virtual bool GetInterfaceDetail(DeviceSetHandle set, uint8_t* record, uint32_t size) = 0;
  virtual void DestroyDeviceSet(DeviceSetHandle set) = 0;
  virtual bool OpenDevice(const char* path, DeviceHandle* device) = 0;

  // One buffered, synchronous device control call: false when the driver refused it (the reply
  // then holds nothing of this request), otherwise *returned is the count of reply bytes the
  // driver handed back, which may be fewer than asked.
  virtual bool DeviceControl(DeviceHandle device, uint32_t code, const uint8_t* request,
                             uint32_t requestSize, uint8_t* reply, uint32_t replySize,
                             uint32_t* returned) = 0;

  virtual PowerStatus GetPowerStatus() = 0;
  // Enables the shutdown privilege where the platform has one; false when it was refused.
  virtual bool EnableShutdownPrivilege() = 0;
  // Asks the platform to shut down or restart; false when it refused (the system stays up).
  virtual bool ExitWindows(uint32_t flags) = 0;

  // Ends the process. Never returns to the caller.
  [[noreturn]] virtual void ExitProcess(int exitCode) = 0;
};

}  // namespace ql
