// A machine whose driver discovery is scripted step by step and whose control channel records
// every request byte for byte, answering from a queue or a responder. For wire-format tests.
#pragma once

#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "platform/machine.h"

namespace ql::testing {

// Discovery steps a test can make fail.
enum class DiscoveryStep { kNone, kClassDevices, kEnumInterface, kDetail, kOpen };

struct DriverCall {
  uint32_t code = 0;
  std::vector<uint8_t> request;  // the whole request block as sent
  uint32_t requestSize = 0;
  uint32_t replySize = 0;
};

class RecordingMachine : public Machine {
 public:
  DiscoveryStep failAt = DiscoveryStep::kNone;
  uint32_t interfaceFlags = 1;  // SPINT_ACTIVE
  uint32_t detailSize = 64;
  std::string devicePath = "\\\\?\\root#quorrel#0000#{c0cf0640-5f6e-11d2-b677-00c0dfe4c1f4}";

  int setsCreated = 0;
  int setsDestroyed = 0;
  std::vector<uint32_t> detailSizesAsked;
  std::vector<std::string> openedPaths;

  // The control channel: each call is recorded; a queued reply is copied to the start of the
  // reply block, or the responder fills it; with neither the reply is left as it was.
  std::vector<DriverCall> calls;
  std::deque<std::vector<uint8_t>> replies;
  std::function<void(const DriverCall&, uint8_t* reply)> responder;
  bool controlSucceeds = true;

  PowerStatus power;
  bool privilegeGranted = true;
  std::vector<uint32_t> exitWindowsFlags;

  bool GetClassDevices(WindowHandle owner, DeviceSetHandle* set) override;
  bool EnumFirstInterface(DeviceSetHandle set, uint32_t* flags) override;
  uint32_t GetInterfaceDetailSize(DeviceSetHandle set) override;
  bool GetInterfaceDetail(DeviceSetHandle set, uint8_t* record, uint32_t size) override;
  void DestroyDeviceSet(DeviceSetHandle set) override;
  bool OpenDevice(const char* path, DeviceHandle* device) override;
  bool DeviceControl(DeviceHandle device, uint32_t code, const uint8_t* request,
                     uint32_t requestSize, uint8_t* reply, uint32_t replySize) override;
  PowerStatus GetPowerStatus() override { return power; }
  bool EnableShutdownPrivilege() override { return privilegeGranted; }
  void ExitWindows(uint32_t flags) override { exitWindowsFlags.push_back(flags); }
  [[noreturn]] void ExitProcess(int exitCode) override;

  // The codes of the calls made, in order.
  std::vector<uint32_t> Codes() const;
};

}  // namespace ql::testing
