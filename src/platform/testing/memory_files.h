// Files held in memory by name, for runs that must not wait on a disk (the fuzz targets). The modes
// of Open behave as on a disk; nothing else fails.
#pragma once

#include <algorithm>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "platform/files.h"

namespace ql::testing {

class MemoryFiles final : public Files {
 public:
  std::map<std::string, std::vector<uint8_t>> files;

  FileHandle Open(const char* name, FileMode mode) override {
    const bool exists = files.count(name) != 0;
    const bool mustExist = mode == FileMode::kReadExisting || mode == FileMode::kAppendExisting;
    if (exists != mustExist && (mustExist || mode == FileMode::kCreateNew)) return kInvalidFile;
    if (!mustExist) files[name].clear();
    open_.push_back({name, 0});
    return static_cast<FileHandle>(open_.size() - 1);
  }
  bool Read(FileHandle file, void* buffer, uint32_t count, uint32_t* done) override {
    const std::vector<uint8_t>& bytes = files[open_[file].first];
    *done = static_cast<uint32_t>(std::min<size_t>(count, bytes.size() - open_[file].second));
    std::copy_n(bytes.begin() + open_[file].second, *done, static_cast<uint8_t*>(buffer));
    open_[file].second += *done;
    return true;
  }
  bool Write(FileHandle file, const void* data, uint32_t count, uint32_t* done) override {
    std::vector<uint8_t>& bytes = files[open_[file].first];
    bytes.resize(std::max(bytes.size(), open_[file].second + count));
    std::copy_n(static_cast<const uint8_t*>(data), count, bytes.begin() + open_[file].second);
    open_[file].second += * done = count;
    return true;
  }
  bool SeekToEnd(FileHandle file) override { return SeekTo(file, GetSize(file)); }
  bool SeekTo(FileHandle file, uint32_t offset) override {
    open_[file].second = offset;
    return true;
  }
  uint32_t GetSize(FileHandle file) override {
    return static_cast<uint32_t>(files[open_[file].first].size());
  }
  void Close(FileHandle) override {}
  bool CreateFolder(const char*) override { return false; }  // names only, no folders
  bool Remove(const char* name) override { return files.erase(name) != 0; }
  bool Replace(const char* from, const char* to) override {
    if (files.count(from) == 0) return false;
    std::vector<uint8_t> bytes = std::move(files[from]);
    files.erase(from);
    files[to] = std::move(bytes);
    return true;
  }

 private:
  std::vector<std::pair<std::string, size_t>> open_;  // by handle: the name and the position
};

}  // namespace ql::testing
