// Files, opened unshared, used and closed within one operation.
#pragma once

#include <cstdint>

namespace ql {

using FileHandle = intptr_t;
inline constexpr FileHandle kInvalidFile = -1;
inline constexpr uint32_t kInvalidFileSize = 0xFFFFFFFFu;

enum class FileMode {
  kReadExisting,    // read, existing files only
  kCreateAlways,    // write, created or truncated
  kCreateNew,       // write, created only where no file of that name exists
  kAppendExisting,  // read and write, existing files only (the caller seeks to the end)
};

class Files {
 public:
  virtual ~Files() = default;
  virtual FileHandle Open(const char* name, FileMode mode) = 0;
  // Reads up to `count` bytes; *done receives the count read (0 at the end of the file).
  virtual bool Read(FileHandle file, void* buffer, uint32_t count, uint32_t* done) = 0;
  virtual bool Write(FileHandle file, const void* data, uint32_t count, uint32_t* done) = 0;
  virtual bool SeekToEnd(FileHandle file) = 0;
  // Moves to `offset` bytes from the start.
  virtual bool SeekTo(FileHandle file, uint32_t offset) = 0;
  // The size in bytes, or kInvalidFileSize.
  virtual uint32_t GetSize(FileHandle file) = 0;
  virtual void Close(FileHandle file) = 0;
  // Deletes a closed file; false when it could not be deleted.
  virtual bool Remove(const char* name) = 0;
  // Puts the closed file `from` in the place of `to` (which may exist), its bytes on the disk
  // first, so that `to` names either its old bytes or the new ones whenever the power goes; false
  // when it could not. `from` is kept on every failure, and `to` is as it was, except where the
  // system cannot replace in one step (the 98 family): there the old file is deleted before the
  // move, and a failed move leaves no `to` at all. A caller that finds `to` gone after a failure
  // must keep `from`: it is the only copy.
  virtual bool Replace(const char* from, const char* to) = 0;
  // Makes the folder `name` in an existing one; true when it exists afterwards, made now or
  // before.
  virtual bool CreateFolder(const char* name) = 0;
};

}  // namespace ql
