#include "platform/testing/recording_machine.h"

#include <cstring>

#include "platform/bytes.h"
#include "platform/testing/process_exit.h"

namespace ql::testing {
namespace {

int gSetToken;
int gDeviceToken;

}  // namespace

bool RecordingMachine::GetClassDevices(WindowHandle, DeviceSetHandle* set) {
  if (failAt == DiscoveryStep::kClassDevices) return false;
  ++setsCreated;
  *set = &gSetToken;
  return true;
}

bool RecordingMachine::EnumFirstInterface(DeviceSetHandle, uint32_t* flags) {
  if (failAt == DiscoveryStep::kEnumInterface) return false;
  *flags = interfaceFlags;
  return true;
}

uint32_t RecordingMachine::GetInterfaceDetailSize(DeviceSetHandle) {
  return detailSize;
}

bool RecordingMachine::GetInterfaceDetail(DeviceSetHandle, uint8_t* record, uint32_t size) {
  detailSizesAsked.push_back(size);
  if (failAt == DiscoveryStep::kDetail) return false;
  PutLe32(record, 8);
  size_t room = size - kDetailPathOffset;
  size_t n = devicePath.size() < room ? devicePath.size() : room;
  std::memcpy(record + kDetailPathOffset, devicePath.data(), n);
  if (n < room) record[kDetailPathOffset + n] = 0;
  return true;
}

void RecordingMachine::DestroyDeviceSet(DeviceSetHandle) {
  ++setsDestroyed;
}

bool RecordingMachine::OpenDevice(const char* path, DeviceHandle* device) {
  openedPaths.emplace_back(path);
  if (failAt == DiscoveryStep::kOpen) return false;
  *device = &gDeviceToken;
  return true;
}

bool RecordingMachine::DeviceControl(DeviceHandle, uint32_t code, const uint8_t* request,
                                     uint32_t requestSize, uint8_t* reply, uint32_t replySize) {
  DriverCall call{code, std::vector<uint8_t>(request, request + requestSize), requestSize,
                  replySize};
  calls.push_back(call);
  if (!controlSucceeds) return false;
  if (!replies.empty()) {
    const std::vector<uint8_t>& r = replies.front();
    std::memcpy(reply, r.data(), r.size() < replySize ? r.size() : replySize);
    replies.pop_front();
  } else if (responder) {
    responder(calls.back(), reply);
  }
  return true;
}

void RecordingMachine::ExitProcess(int exitCode) {
  throw ProcessExit{exitCode};
}

std::vector<uint32_t> RecordingMachine::Codes() const {
  std::vector<uint32_t> codes;
  for (const DriverCall& c : calls) codes.push_back(c.code);
  return codes;
}

}  // namespace ql::testing
