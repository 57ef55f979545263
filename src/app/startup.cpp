#include "app/startup.h"

#include <cstdio>
#include <cstring>

namespace ql {

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

Outcome Fatal(Desktop& desktop, const char* text) {
  ProgramMessage(desktop, nullptr, text, kMbIconHand);
  return Outcome::kFatal;
}

Outcome SetProgramDirectory(Desktop& desktop, const StartupInputs& in, StartupState& startup) {
  char path[kProgramDirectorySize];
  // A program folder that does not fit leaves the settings, log and help files unreachable;
  // it ends the start-up the same way as a current directory that cannot be had.
  if (ProgramPath(in, path) == kProgramDirectorySize) return Fatal(desktop, kMsgDirectoryTooLong);
  char* slash = std::strrchr(path, '\\');
  if (slash != nullptr) {
    *slash = '\0';
    std::strcpy(startup.ProgramDirectory, path);
  } else {
    // A bare program name: it was started from the current folder.
    std::strcpy(startup.ProgramDirectory, startup.CurrentDirectory);
  }
  return Outcome::kDone;
}

// The argument text becomes StartupArgument, and the switch in it decides what is pending.
void TakeArgument(Desktop& desktop, const char* argument, StartupState& startup) {
  size_t length = std::strlen(argument);
  if (length == 0) {
    startup.StartupFilePending = false;
    return;
  }
  if (length > kMaxArgumentLength) {
    ProgramMessage(desktop, nullptr, kMsgCommandLineTooLarge, kMbOk);
    startup.StartupFilePending = false;
    return;
  }
  if (startup.OsFamily == kWin2000) {
    // The family passes the argument wrapped in double quotes: drop the first and last byte.
    size_t inner = length > 2 ? length - 2 : 0;
    std::memcpy(startup.StartupArgument, argument + (length > 2 ? 1 : 0), inner);
    startup.StartupArgument[inner] = '\0';
  } else {
    std::memcpy(startup.StartupArgument, argument, length + 1);
  }

  if (!ParseStartupArgument(startup)) {
    startup.StartupFilePending = false;
    return;
  }
  if (!startup.PlainArgument) {
    std::strcpy(startup.StartupArgument, startup.ManufacturingFileName);
  }
  startup.StartupFilePending = true;
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

bool ParseStartupArgument(StartupState& startup) {
  const char* s = startup.StartupArgument;
  if (s[0] != '/') {
    startup.PlainArgument = true;
    startup.ManufacturingMode = false;
    return true;
  }
  startup.PlainArgument = false;
  startup.CheckOnly = s[1] == 'C' || s[1] == 'c';
  if (s[1] != 'M' && s[1] != 'm' && !startup.CheckOnly) {
    startup.ManufacturingMode = false;
    return false;
  }
  const char* p = s + 2;
  while (*p == ' ') ++p;
  size_t n = 0;
  while (p[n] != '\0' && p[n] != ' ' && n + 1 < sizeof startup.ManufacturingFileName) ++n;
  std::memcpy(startup.ManufacturingFileName, p, n);
  startup.ManufacturingFileName[n] = '\0';
  startup.ManufacturingMode = true;
  return true;
}

Outcome RunStartup(Desktop& desktop, const StartupInputs& in, StartupState* startup) {
  startup->InstanceHandle = in.instance;
  startup->OsFamily = in.platformId == kPlatformWin9x ? kWin98 : kWin2000;

  if (in.currentDirectory == nullptr || std::strlen(in.currentDirectory) >= kCurrentDirectorySize) {
    return Fatal(desktop, kMsgDirectoryTooLong);
  }
  std::strcpy(startup->CurrentDirectory, in.currentDirectory);

  if (SetProgramDirectory(desktop, in, *startup) == Outcome::kFatal) return Outcome::kFatal;
  TakeArgument(desktop, ArgumentText(in.rawCommandLine), *startup);
  return Outcome::kDone;
}

void WindowCaption(const StartupState& startup, char* caption, size_t size) {
  std::snprintf(caption, size, "%s%s", kProgramName, startup.CaptionNote);
}

}  // namespace ql
