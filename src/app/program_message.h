// A message box under the program's own name: how nearly every message of the program is shown.
#pragma once

#include <cstdint>

#include "platform/desktop.h"

namespace ql {

// Answers the button pressed.
int ProgramMessage(WindowHandle owner, const char* text, uint32_t style);

}  // namespace ql
