#include "app/startup.h"

#include <cstring>

#include "app/program_message.h"
#include "platform/platform.h"

namespace ql {

StartupState Startup;

namespace {

bool IsBlankOrControl(char c) {
  return static_cast<unsigned char>(c) <= 0x20;
}

// The program file's path as the raw command line gives it: inside the leading double quotes;
// for an unquoted start, the module path (the command line then need not hold a full path).
// Answers the length of the path, or kProgramDirectorySize when it does not fit.
size_t ProgramPath(const StartupInputs& in, char* out) {
  const char* raw = in.rawCommandLine != nullptr ? in.rawCommandLine : "";
  const char* begin = nullptr;
  size_t length = 0;
  if (raw[0] == '"') {
    begin = raw + 1;
    const char* close = std::strchr(begin, '"');
    length = close != nullptr ? static_cast<size_t>(close - begin) : std::strlen(begin);
  } else {
    begin = in.modulePath != nullptr ? in.modulePath : "";
    length = std::strlen(begin);
  }
  if (length >= kProgramDirectorySize) return kProgramDirectorySize;
  std::memcpy(out, begin, length);
  out[length] = '\0';
  return length;
}

void Fatal(const char* text) {
  ProgramMessage(nullptr, text, kMbIconHand);
  TheMachine().ExitProcess(1);
}

void SetProgramDirectory(const StartupInputs& in) {
  char path[kProgramDirectorySize];
  // A program folder that does not fit leaves the settings, log and help files unreachable;
  // it ends the start-up the same way as a current directory that cannot be had.
  if (ProgramPath(in, path) == kProgramDirectorySize) Fatal(kMsgDirectoryTooLong);
  char* slash = std::strrchr(path, '\\');
  if (slash != nullptr) {
    *slash = '\0';
    std::strcpy(Startup.ProgramDirectory, path);
  } else {
    // A bare program name: it was started from the current folder.
    std::strcpy(Startup.ProgramDirectory, Startup.CurrentDirectory);
  }
}

// Step 7 of the start-up: the argument text A becomes StartupArgument.
void TakeArgument(const char* a) {
  size_t length = std::strlen(a);
  if (length == 0) {
    Startup.StartupFilePending = 0;
    return;
  }
  if (length > kMaxArgumentLength) {
    ProgramMessage(nullptr, kMsgCommandLineTooLarge, kMbOk);
    Startup.StartupFilePending = 0;
    return;
  }
  if (Startup.OsFamily == kWin2000) {
    // The family passes the argument wrapped in double quotes: drop the first and last byte.
    size_t inner = length > 2 ? length - 2 : 0;
    std::memcpy(Startup.StartupArgument, a + (length > 2 ? 1 : 0), inner);
    Startup.StartupArgument[inner] = '\0';
  } else {
    std::memcpy(Startup.StartupArgument, a, length + 1);
  }
  Startup.StartupFilePending = 1;

  if (ParseStartupArgument() == 0) {
    Startup.StartupFilePending = 0;
  } else if (Startup.PlainArgument == 1) {
    Startup.StartupFilePending = 1;
  } else {
    std::strcpy(Startup.StartupArgument, Startup.ManufacturingFileName);
    Startup.StartupFilePending = 1;
  }
}

}  // namespace

const char* ArgumentText(const char* raw) {
  if (raw == nullptr) return "";
  const char* p = raw;
  if (*p == '"') {
    ++p;
    while (*p != '\0' && *p != '"') ++p;
    if (*p == '"') ++p;
  } else {
    while (*p != '\0' && *p != ' ') ++p;
  }
  while (*p != '\0' && IsBlankOrControl(*p)) ++p;
  return p;
}

uint32_t ParseStartupArgument() {
  const char* s = Startup.StartupArgument;
  if (s[0] != '/') {
    Startup.PlainArgument = 1;
    Startup.ManufacturingMode = 0;
    return 1;
  }
  Startup.PlainArgument = 0;
  if (s[1] != 'M' && s[1] != 'm') {
    Startup.ManufacturingMode = 0;
    return 0;
  }
  const char* p = s + 2;
  while (*p == ' ') ++p;
  size_t n = 0;
  while (p[n] != '\0' && p[n] != ' ' && n + 1 < sizeof(Startup.ManufacturingFileName)) ++n;
  std::memcpy(Startup.ManufacturingFileName, p, n);
  Startup.ManufacturingFileName[n] = '\0';
  Startup.ManufacturingMode = 1;
  return 1;
}

void RunStartup(const StartupInputs& in) {
  Startup.InstanceHandle = in.instance;
  Startup.OsFamily = in.platformId == kPlatformWin9x ? kWin98 : kWin2000;

  if (in.currentDirectory == nullptr || std::strlen(in.currentDirectory) >= kCurrentDirectorySize) {
    Fatal(kMsgDirectoryTooLong);
  }
  std::strcpy(Startup.CurrentDirectory, in.currentDirectory);

  SetProgramDirectory(in);
  TakeArgument(ArgumentText(in.rawCommandLine));
}

}  // namespace ql
