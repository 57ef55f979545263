#include "app/program_message.h"

#include "app/startup.h"
#include "platform/platform.h"

namespace ql {

int ProgramMessage(WindowHandle owner, const char* text, uint32_t style) {
  return TheDesktop().ShowMessageBox(owner, text, kProgramName, style);
}

}  // namespace ql
