// How a test double ends "the process": it throws this, so a test sees the exit status and the
// state left behind, and the test runner goes on.
#pragma once

namespace ql::testing {

struct ProcessExit {
  int code;
};

}  // namespace ql::testing
