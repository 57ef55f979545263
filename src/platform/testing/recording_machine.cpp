#include "platform/testing/recording_machine.h"

#include <cstdlib>

namespace ql::testing {

bool RecordingMachine::DeviceControl(DeviceHandle device, uint32_t code, const uint8_t* request,
                                     uint32_t requestSize, uint8_t* reply, uint32_t replySize,
                                     uint32_t* returned) {
  bool done = inner_.DeviceControl(device, code, request, requestSize, reply, replySize, returned);
  calls.push_back({code, {request, request + requestSize}, {reply, reply + replySize}});
  return done;
}

void RecordingMachine::ExitProcess(int exitCode) {
  inner_.ExitProcess(exitCode);
  std::abort();  // the inner machine ends the process; it never comes back here
}

}  // namespace ql::testing
