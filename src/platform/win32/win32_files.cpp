#include "platform/win32/win32_files.h"

#include "platform/win32/win.h"

namespace ql {
namespace {

HANDLE ToHandle(FileHandle file) {
  return reinterpret_cast<HANDLE>(file);
}

// The file's bytes reach the disk before its name is moved: a move that is on the disk over bytes
// that are not would leave an empty file under the name.
bool FlushToDisk(const char* name) {
  HANDLE h = CreateFileA(name, GENERIC_WRITE, /*dwShareMode=*/0, nullptr, OPEN_EXISTING,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  BOOL flushed = FlushFileBuffers(h);
  CloseHandle(h);
  return flushed != FALSE;
}

using MoveFileExFunction = BOOL(WINAPI*)(LPCSTR, LPCSTR, DWORD);

// MoveFileExA is looked up rather than imported: the 98 family's kernel does not implement it.
MoveFileExFunction FindMoveFileEx() {
  HMODULE kernel = GetModuleHandleA("kernel32.dll");
  if (kernel == nullptr) return nullptr;
  return reinterpret_cast<MoveFileExFunction>(
      reinterpret_cast<void*>(GetProcAddress(kernel, "MoveFileExA")));
}

}  // namespace

FileHandle Win32Files::Open(const char* name, FileMode mode) {
  DWORD access = GENERIC_READ;
  DWORD disposition = OPEN_EXISTING;
  switch (mode) {
    case FileMode::kReadExisting:
      break;
    case FileMode::kCreateAlways:
      access = GENERIC_WRITE;
      disposition = CREATE_ALWAYS;
      break;
    case FileMode::kCreateNew:
      access = GENERIC_WRITE;
      disposition = CREATE_NEW;
      break;
    case FileMode::kAppendExisting:
      access = GENERIC_READ | GENERIC_WRITE;
      break;
  }
  HANDLE h = CreateFileA(name, access, /*dwShareMode=*/0, nullptr, disposition,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return kInvalidFile;
  return reinterpret_cast<FileHandle>(h);
}

bool Win32Files::Read(FileHandle file, void* buffer, uint32_t count, uint32_t* done) {
  DWORD n = 0;
  BOOL ok = ReadFile(ToHandle(file), buffer, count, &n, nullptr);
  *done = n;
  return ok != FALSE;
}

bool Win32Files::Write(FileHandle file, const void* data, uint32_t count, uint32_t* done) {
  DWORD n = 0;
  BOOL ok = WriteFile(ToHandle(file), data, count, &n, nullptr);
  *done = n;
  return ok != FALSE && n == count;
}

bool Win32Files::SeekToEnd(FileHandle file) {
  return SetFilePointer(ToHandle(file), 0, nullptr, FILE_END) != INVALID_SET_FILE_POINTER;
}

bool Win32Files::SeekTo(FileHandle file, uint32_t offset) {
  // With the high half given, the low half is read unsigned: offsets past 2 GiB stay offsets.
  LONG high = 0;
  DWORD low = SetFilePointer(ToHandle(file), static_cast<LONG>(offset), &high, FILE_BEGIN);
  return low != INVALID_SET_FILE_POINTER || GetLastError() == NO_ERROR;
}

uint32_t Win32Files::GetSize(FileHandle file) {
  DWORD high = 0;
  DWORD low = GetFileSize(ToHandle(file), &high);
  if (low == INVALID_FILE_SIZE && GetLastError() != NO_ERROR) return kInvalidFileSize;
  if (high != 0) return kInvalidFileSize;
  return low;
}

void Win32Files::Close(FileHandle file) {
  CloseHandle(ToHandle(file));
}

bool Win32Files::Remove(const char* name) {
  return DeleteFileA(name) != FALSE;
}

bool Win32Files::Replace(const char* from, const char* to) {
  MoveFileExFunction moveFileEx = FindMoveFileEx();
  if (moveFileEx == nullptr) return ReplaceInSteps(from, to);
  if (!FlushToDisk(from)) return false;
  if (moveFileEx(from, to, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != FALSE) {
    return true;
  }
  // A kernel that has the name without the function says so, and the steps are the way left.
  return GetLastError() == ERROR_CALL_NOT_IMPLEMENTED && ReplaceInSteps(from, to);
}

bool Win32Files::ReplaceInSteps(const char* from, const char* to) {
  if (!FlushToDisk(from)) return false;
  // The 98 family cannot replace a file in one step: the old one goes first, and a power cut or a
  // failed move in between leaves only the new one, under its own name.
  if (GetFileAttributesA(to) != INVALID_FILE_ATTRIBUTES && DeleteFileA(to) == FALSE) return false;
  return MoveFileA(from, to) != FALSE;
}

bool Win32Files::CreateFolder(const char* name) {
  if (CreateDirectoryA(name, nullptr) != FALSE) return true;
  DWORD attributes = GetFileAttributesA(name);
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

}  // namespace ql
