#include "platform/testing/faulty_files.h"

namespace ql::testing {

FileHandle FaultyFiles::Open(const char* name, FileMode mode) {
  if (failOpen.count(name) != 0) return kInvalidFile;
  if (mode == FileMode::kReadExisting && failReadOpen.count(name) != 0) return kInvalidFile;
  FileHandle h = inner_.Open(name, mode);
  if (h != kInvalidFile) ++openHandles;
  return h;
}

bool FaultyFiles::Read(FileHandle file, void* buffer, uint32_t count, uint32_t* done) {
  ++reads;
  readCounts.push_back(count);
  if (reads == failReadOnCall) {
    *done = 0;
    return false;
  }
  bool ok = inner_.Read(file, buffer, count, done);
  if (reads == shortReadOnCall && *done > 0) --*done;
  return ok;
}

bool FaultyFiles::Write(FileHandle file, const void* data, uint32_t count, uint32_t* done) {
  ++writes;
  writeCounts.push_back(count);
  if (writes == failWriteOnCall) {
    *done = 0;
    return false;
  }
  return inner_.Write(file, data, count, done);
}

uint32_t FaultyFiles::GetSize(FileHandle file) {
  return failSize ? kInvalidFileSize : inner_.GetSize(file);
}

void FaultyFiles::Close(FileHandle file) {
  --openHandles;
  inner_.Close(file);
}

}  // namespace ql::testing
