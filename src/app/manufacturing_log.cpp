#include "app/manufacturing_log.h"

#include <cstdio>
#include <cstring>

namespace ql {

namespace {

constexpr char kLineBreak[2] = {'\r', '\n'};

}  // namespace

void ManufacturingLog::Open(const char* programDirectory, const char* note) {
  active_ = true;
  std::snprintf(path_, sizeof path_, "%s\\%s", programDirectory, kLogFileName);
  FileHandle file = files_.Open(path_, FileMode::kReadExisting);
  // A log that exists but cannot be read just now (held by another program) must not be emptied:
  // only a missing log is created.
  if (file == kInvalidFile) file = files_.Open(path_, FileMode::kCreateNew);
  if (file == kInvalidFile) {
    ready_ = false;
    return;
  }
  ready_ = true;
  files_.Close(file);

  file = OpenForAppend();
  if (file == kInvalidFile) return;
  WriteLineBreak(file);
  WriteText(file, kLogHeader);
  WriteLineBreak(file);
  files_.Close(file);
  if (*note != '\0') Line(note);
}

bool ManufacturingLog::Append(const char* text) {
  if (!active_ || !ready_) return true;
  FileHandle file = OpenForAppend();
  if (file == kInvalidFile) return false;
  if (!WriteText(file, text)) {
    files_.Close(file);
    return false;
  }
  bool ended = WriteLineBreak(file);
  files_.Close(file);
  if (ended) written_.emplace_back(text);
  return ended;
}

// Opens the log positioned at its end, or kInvalidFile. A file that cannot be positioned is
// closed unwritten: writing at its start would overwrite the lines of earlier runs.
FileHandle ManufacturingLog::OpenForAppend() {
  FileHandle file = files_.Open(path_, FileMode::kAppendExisting);
  if (file == kInvalidFile) return kInvalidFile;
  if (!files_.SeekToEnd(file)) {
    files_.Close(file);
    return kInvalidFile;
  }
  return file;
}

bool ManufacturingLog::WriteText(FileHandle file, const char* text) {
  uint32_t length = static_cast<uint32_t>(std::strlen(text));
  uint32_t done = 0;
  return files_.Write(file, text, length, &done) && done == length;
}

bool ManufacturingLog::WriteLineBreak(FileHandle file) {
  uint32_t done = 0;
  return files_.Write(file, kLineBreak, sizeof kLineBreak, &done) && done == sizeof kLineBreak;
}

}  // namespace ql
