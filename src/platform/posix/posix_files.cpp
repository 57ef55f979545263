#include "platform/posix/posix_files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

namespace ql {

FileHandle PosixFiles::Open(const char* name, FileMode mode) {
  int flags = 0;
  switch (mode) {
    case FileMode::kReadExisting:
      flags = O_RDONLY;
      break;
    case FileMode::kCreateAlways:
      flags = O_WRONLY | O_CREAT | O_TRUNC;
      break;
    case FileMode::kCreateNew:
      flags = O_WRONLY | O_CREAT | O_EXCL;
      break;
    case FileMode::kAppendExisting:
      flags = O_RDWR;
      break;
  }
  int fd = ::open(name, flags | O_CLOEXEC, 0644);
  if (fd < 0) return kInvalidFile;
  struct stat st {};
  // A folder opens for reading on POSIX but is no file to the program.
  if (::fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {
    ::close(fd);
    return kInvalidFile;
  }
  return fd;
}

bool PosixFiles::Read(FileHandle file, void* buffer, uint32_t count, uint32_t* done) {
  *done = 0;
  auto* p = static_cast<char*>(buffer);
  while (*done < count) {
    ssize_t n = ::read(static_cast<int>(file), p + *done, count - *done);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return false;
    if (n == 0) break;
    *done += static_cast<uint32_t>(n);
  }
  return true;
}

bool PosixFiles::Write(FileHandle file, const void* data, uint32_t count, uint32_t* done) {
  *done = 0;
  const auto* p = static_cast<const char*>(data);
  while (*done < count) {
    ssize_t n = ::write(static_cast<int>(file), p + *done, count - *done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    *done += static_cast<uint32_t>(n);
  }
  return true;
}

bool PosixFiles::SeekToEnd(FileHandle file) {
  return ::lseek(static_cast<int>(file), 0, SEEK_END) >= 0;
}

bool PosixFiles::SeekTo(FileHandle file, uint32_t offset) {
  return ::lseek(static_cast<int>(file), static_cast<off_t>(offset), SEEK_SET) >= 0;
}

uint32_t PosixFiles::GetSize(FileHandle file) {
  struct stat st {};
  if (::fstat(static_cast<int>(file), &st) != 0) return kInvalidFileSize;
  if (st.st_size >= static_cast<off_t>(kInvalidFileSize)) return kInvalidFileSize;
  return static_cast<uint32_t>(st.st_size);
}

void PosixFiles::Close(FileHandle file) {
  ::close(static_cast<int>(file));
}

bool PosixFiles::Remove(const char* name) {
  return ::unlink(name) == 0;
}

bool PosixFiles::Replace(const char* from, const char* to) {
  // The bytes reach the disk before the name moves, or the moved name could show an empty file.
  int fd = ::open(from, O_WRONLY | O_CLOEXEC);
  if (fd < 0) return false;
  bool synced = ::fsync(fd) == 0;
  ::close(fd);
  return synced && ::rename(from, to) == 0;
}

bool PosixFiles::CreateFolder(const char* name) {
  if (::mkdir(name, 0755) == 0) return true;
  struct stat st {};
  return errno == EEXIST && ::stat(name, &st) == 0 && S_ISDIR(st.st_mode);
}

}  // namespace ql
