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

// A file that must never be found half written gets its next bytes under its name and this
// suffix first; only a whole new file takes its place.
inline constexpr const char* kNewFileSuffix = ".new";
// Room for the new file's name of any file the program writes whole (a path in the program's
// folder, a name from the save dialog), the suffix and the terminator.
inline constexpr uint32_t kNewFileNameSize = 640;

// True when `name` can be opened for reading.
bool FileExists(Files& files, const char* name);

// `name` with the suffix into `newName`; false when it does not fit.
[[nodiscard]] bool NewFileName(const char* name, char (&newName)[kNewFileNameSize]);

enum class WholeFileWrite {
  kWritten,     // `name` now holds every byte `fill` wrote
  kNotCreated,  // the new file could not be made
  kNotWritten,  // `fill` failed or the new file could not take the old one's place
};

// Writes the file `name` whole or not at all: `fill` writes into the new file (made empty) and
// answers whether every byte went in; the closed new file then takes the place of `name`
// (Files::Replace). On any failure the new file is removed and `name` keeps its old bytes, so a
// failed write never costs the file it was to replace; but where the system replaces in steps
// (the 98 family deletes the old file, then moves the new one in) and the move failed after the
// delete, the new file is the only copy left and stays under its new name, for the next start to
// take.
template <typename Fill>
[[nodiscard]] WholeFileWrite WriteWholeFile(Files& files, const char* name, Fill fill) {
  char newName[kNewFileNameSize];
  if (!NewFileName(name, newName)) return WholeFileWrite::kNotCreated;
  FileHandle file = files.Open(newName, FileMode::kCreateAlways);
  if (file == kInvalidFile) return WholeFileWrite::kNotCreated;
  const bool filled = fill(file);
  files.Close(file);
  if (filled && files.Replace(newName, name)) return WholeFileWrite::kWritten;
  if (!filled || FileExists(files, name)) files.Remove(newName);
  return WholeFileWrite::kNotWritten;
}

}  // namespace ql
