// Reads arbitrary bytes as a simulated machine's machine.txt: a refused text is told by its line,
// and an accepted profile builds a machine on a 64 KiB part or is refused with its reason. Any
// read outside a buffer, undefined behaviour, hang or silent refusal is a finding.
#include <string>
#include <vector>

#include "sim/sim_machine.h"
#include "tests/fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  ql::sim::SimProfile profile;
  std::string error;
  if (!ql::sim::ParseProfile(std::string(data, data + size), &profile, &error)) {
    ql::fuzz::Require(error.rfind("line ", 0) == 0);
  } else if (!ql::sim::SimMachine::Create(profile, std::vector<uint8_t>(0x10000, 0xFF), &error)) {
    ql::fuzz::Require(!error.empty());
  }
  return 0;
}
