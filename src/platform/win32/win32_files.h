#pragma once

#include "platform/files.h"

namespace ql {

// Files through CreateFileA: opened unshared, normal attributes.
class Win32Files : public Files {
 public:
  FileHandle Open(const char* name, FileMode mode) override;
  bool Read(FileHandle file, void* buffer, uint32_t count, uint32_t* done) override;
  bool Write(FileHandle file, const void* data, uint32_t count, uint32_t* done) override;
  bool SeekToEnd(FileHandle file) override;
  bool SeekTo(FileHandle file, uint32_t offset) override;
  uint32_t GetSize(FileHandle file) override;
  void Close(FileHandle file) override;
  bool Remove(const char* name) override;
  bool Replace(const char* from, const char* to) override;
  bool CreateFolder(const char* name) override;

 protected:
  // Replace as the 98 family must, without MoveFileExA: the old file is deleted, then the new one
  // is moved in. A move that fails after the delete leaves no file under `to` and the new bytes
  // under `from`.
  bool ReplaceInSteps(const char* from, const char* to);
};

}  // namespace ql
