// A machine over another (the simulated one, in practice) that forwards every call and records
// each device control request and reply byte for byte, for tests of what went over the wire.
#pragma once

#include <vector>

#include "platform/machine.h"

namespace ql::testing {

struct DriverCall {
  uint32_t code = 0;
  std::vector<uint8_t> request;  // the whole request block as sent
  std::vector<uint8_t> reply;    // the whole reply block as the inner machine left it
};

class RecordingMachine : public Machine {
 public:
  explicit RecordingMachine(Machine& inner) : inner_(inner) {}

  std::vector<DriverCall> calls;

  bool GetClassDevices(WindowHandle owner, DeviceSetHandle* set) override {
    return inner_.GetClassDevices(owner, set);
  }
  bool EnumFirstInterface(DeviceSetHandle set, uint32_t* flags) override {
    return inner_.EnumFirstInterface(set, flags);
  }
  uint32_t GetInterfaceDetailSize(DeviceSetHandle set) override {
    return inner_.GetInterfaceDetailSize(set);
  }
  bool GetInterfaceDetail(DeviceSetHandle set, uint8_t* record, uint32_t size) override {
    return inner_.GetInterfaceDetail(set, record, size);
  }
  void DestroyDeviceSet(DeviceSetHandle set) override { inner_.DestroyDeviceSet(set); }
  bool OpenDevice(const char* path, DeviceHandle* device) override {
    return inner_.OpenDevice(path, device);
  }
  bool DeviceControl(DeviceHandle device, uint32_t code, const uint8_t* request,
                     uint32_t requestSize, uint8_t* reply, uint32_t replySize,
                     uint32_t* returned) override;
  PowerStatus GetPowerStatus() override { return inner_.GetPowerStatus(); }
  bool EnableShutdownPrivilege() override { return inner_.EnableShutdownPrivilege(); }
  bool ExitWindows(uint32_t flags) override { return inner_.ExitWindows(flags); }
  [[noreturn]] void ExitProcess(int exitCode) override;
  UtcTime UtcNow() override { return inner_.UtcNow(); }
  uint32_t Milliseconds() override { return inner_.Milliseconds(); }

 private:
  Machine& inner_;
};

}  // namespace ql::testing
