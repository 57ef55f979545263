#pragma once

#include "platform/allocator.h"
#include "platform/machine.h"

namespace ql {

// The real machine: the flash driver through SetupDi discovery and DeviceIoControl, the power
// status, the shutdown privilege, ExitWindowsEx, and the clock (GetSystemTime, GetTickCount: both
// in every Windows the program is for).
class Win32Machine final : public Machine {
 public:
  Win32Machine();
  bool GetClassDevices(WindowHandle owner, DeviceSetHandle* set) override;
  bool EnumFirstInterface(DeviceSetHandle set, uint32_t* flags) override;
  uint32_t GetInterfaceDetailSize(DeviceSetHandle set) override;
  bool GetInterfaceDetail(DeviceSetHandle set, uint8_t* record, uint32_t size) override;
  void DestroyDeviceSet(DeviceSetHandle set) override;
  bool OpenDevice(const char* path, DeviceHandle* device) override;
  bool DeviceControl(DeviceHandle device, uint32_t code, const uint8_t* request,
                     uint32_t requestSize, uint8_t* reply, uint32_t replySize,
                     uint32_t* returned) override;
  PowerStatus GetPowerStatus() override;
  bool EnableShutdownPrivilege() override;
  bool ExitWindows(uint32_t flags) override;
  [[noreturn]] void ExitProcess(int exitCode) override;
  UtcTime UtcNow() override;
  uint32_t Milliseconds() override;

 private:
  // The interface found by EnumFirstInterface, an SP_DEVICE_INTERFACE_DATA kept as bytes.
  alignas(8) unsigned char interface_[64] = {};
};

// The process heap, zero-filled.
class Win32Allocator final : public Allocator {
 public:
  void* AllocateZeroed(uint32_t size) override;
  void Free(void* block) override;
};

}  // namespace ql
