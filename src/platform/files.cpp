#include "platform/files.h"

#include <cstdio>

namespace ql {

bool FileExists(Files& files, const char* name) {
  FileHandle file = files.Open(name, FileMode::kReadExisting);
  if (file == kInvalidFile) return false;
  files.Close(file);
  return true;
}

bool NewFileName(const char* name, char (&newName)[kNewFileNameSize]) {
  const int length = std::snprintf(newName, sizeof newName, "%s%s", name, kNewFileSuffix);
  return length >= 0 && static_cast<uint32_t>(length) < sizeof newName;
}

}  // namespace ql
