// All process-wide state of the program, put back to its start-up values in one call (tests run
// many "processes" in one).
#pragma once

namespace ql {

void ResetProcessState();

}  // namespace ql
