// A folder of its own for each test, removed with everything in it when the test ends.
#pragma once

#include <stdlib.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace ql::testing {

using Bytes = std::vector<uint8_t>;

class TempFolder {
 public:
  TempFolder() {
    char pattern[] = "/tmp/ql-test-XXXXXX";
    path_ = mkdtemp(pattern);
  }
  ~TempFolder() { std::filesystem::remove_all(path_); }
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  const std::string& Path() const { return path_; }
  std::string Path(const std::string& name) const { return path_ + "/" + name; }

  // Writes `bytes` to `name` in the folder and answers its path.
  std::string Write(const std::string& name, const Bytes& bytes) const {
    WriteFile(Path(name), bytes);
    return Path(name);
  }
  static void WriteFile(const std::string& path, const Bytes& bytes) {
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
  }
  static Bytes ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary | std::ios::ate);
    Bytes bytes(in ? static_cast<size_t>(in.tellg()) : 0);
    in.seekg(0).read(reinterpret_cast<char*>(bytes.data()),
                     static_cast<std::streamsize>(bytes.size()));
    return bytes;
  }
  static std::string ReadText(const std::string& path) {
    Bytes b = ReadFile(path);
    return std::string(b.begin(), b.end());
  }

 private:
  std::string path_;
};

}  // namespace ql::testing
