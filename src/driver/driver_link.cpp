#include "driver/driver_link.h"

#include "platform/platform.h"

namespace ql {

DriverLinkState DriverLink;

namespace {

// Runs the discovery steps in order; answers the failing step's message, or null when open.
const char* Discover(WindowHandle owner, DeviceSetHandle* set, uint8_t** detail) {
  Machine& m = TheMachine();
  if (!m.GetClassDevices(owner, set)) return kMsgDriverNotFound;
  uint32_t flags = 0;
  if (!m.EnumFirstInterface(*set, &flags)) return kMsgDriverNoInterface;
  // Equality, not a bit test: the platform reports a removed interface by this value alone.
  if (flags == kSpintRemoved) return kMsgDriverRemoved;
  uint32_t size = m.GetInterfaceDetailSize(*set);
  *detail = static_cast<uint8_t*>(HeapAllocZeroed(size));
  if (*detail == nullptr) return kMsgDriverNoMemory;
  if (size <= kDetailPathOffset || !m.GetInterfaceDetail(*set, *detail, size)) {
    return kMsgDriverNoDetail;
  }
  // The path must end inside the record, whatever the platform wrote.
  (*detail)[size - 1] = '\0';
  DeviceHandle device = nullptr;
  if (!m.OpenDevice(reinterpret_cast<const char*>(*detail + kDetailPathOffset), &device)) {
    return kMsgDriverOpenFail;
  }
  DriverLink.DriverHandle = device;
  return nullptr;
}

}  // namespace

int OpenDriver(WindowHandle owner) {
  DeviceSetHandle set = nullptr;
  uint8_t* detail = nullptr;
  const char* failure = Discover(owner, &set, &detail);
  // Every step after the first has a set to release, and the record once it was allocated.
  if (failure != kMsgDriverNotFound) TheMachine().DestroyDeviceSet(set);
  HeapFreeIfSet(detail);
  if (failure == nullptr) return 0;
  TheDesktop().ShowMessageBox(owner, failure, kDriverErrorCaption, kMbOk | kMbIconExclamation);
  return -1;
}

bool DriverIoControl(uint32_t code, const uint8_t* request, uint8_t* reply, uint32_t requestSize,
                     uint32_t replySize) {
  return TheMachine().DeviceControl(DriverLink.DriverHandle, code, request, requestSize, reply,
                                    replySize);
}

}  // namespace ql
