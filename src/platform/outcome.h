// How an operation that may have to end the program came out. Only the app ends the process: a
// lower layer that meets an error the program cannot run on shows its message and answers kFatal,
// and every caller hands that on unchanged.
#pragma once

namespace ql {

// The formatter cannot lay out an attribute on an enum.
// clang-format off
enum class [[nodiscard]] Outcome {
  kDone,    // it did what was asked
  kFailed,  // it did not, its reason has been shown, and the program goes on
  kFatal,   // its reason has been shown; the program must end with exit status 1
};
// clang-format on

}  // namespace ql
