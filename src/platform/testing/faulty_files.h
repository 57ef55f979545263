// Files that fail on demand, over another Files. A root-run CI ignores read-only folders, so file
// failures are injected rather than provoked.
#pragma once

#include <cstdint>
#include <set>
#include <string>
#include <vector>

#include "platform/files.h"

namespace ql::testing {

class FaultyFiles final : public Files {
 public:
  explicit FaultyFiles(Files& inner) : inner_(inner) {}

  std::set<std::string> failOpen;      // names whose Open fails
  std::set<std::string> failReadOpen;  // names whose Open for reading fails (held elsewhere)
  int failWriteOnCall = 0;             // 1-based over all writes; 0 = never
  int failReadOnCall = 0;              // 1-based over all reads; 0 = never
  int shortReadOnCall = 0;  // that read hands back one byte less, as a shrinking file would
  bool failSize = false, failReplace = false, failCreateFolder = false;
  // Replace fails as the 98 family's does when the move after the delete fails: `to` is gone.
  bool failReplaceAfterDelete = false;

  int writes = 0, reads = 0, openHandles = 0;
  std::vector<uint32_t> readCounts;   // the count asked by every read
  std::vector<uint32_t> writeCounts;  // the count of every write

  FileHandle Open(const char* name, FileMode mode) override;
  bool Read(FileHandle file, void* buffer, uint32_t count, uint32_t* done) override;
  bool Write(FileHandle file, const void* data, uint32_t count, uint32_t* done) override;
  bool SeekToEnd(FileHandle file) override { return inner_.SeekToEnd(file); }
  bool SeekTo(FileHandle file, uint32_t offset) override { return inner_.SeekTo(file, offset); }
  uint32_t GetSize(FileHandle file) override;
  void Close(FileHandle file) override;
  bool Remove(const char* name) override { return inner_.Remove(name); }
  bool Replace(const char* from, const char* to) override {
    if (failReplaceAfterDelete) {
      inner_.Remove(to);
      return false;
    }
    return !failReplace && inner_.Replace(from, to);
  }
  bool CreateFolder(const char* name) override {
    return !failCreateFolder && inner_.CreateFolder(name);
  }

 private:
  Files& inner_;
};

}  // namespace ql::testing
