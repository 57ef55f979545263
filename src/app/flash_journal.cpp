#include "app/flash_journal.h"

#include <cstdio>
#include <cstdlib>
#include <vector>

#include "dmi/system_dmi.h"
#include "platform/sha256.h"

namespace ql {
namespace {

std::string Line(const char* key, const std::string& value) {
  return std::string(key) + " = " + value + "\r\n";
}

std::string Hex32(uint32_t value) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%X", value);
  return text;
}

}  // namespace

FlashJournal::FlashJournal(Files& files, const char* programDirectory,
                           const SystemDmiRecord& machine)
    : files_(files),
      path_(std::string(programDirectory) + "\\flashing-" + MachineFileName(machine) + ".txt") {}

bool FlashJournal::Exists() const {
  return FileExists(files_, path_.c_str());
}

bool FlashJournal::Write(const JournalEntry& entry) const {
  const SystemDmiRecord& m = *entry.machine;
  std::string text = Line("machine", MachineFileName(m));
  for (const auto& [key, copy] : kNamedSystemStrings) text += Line(key, (m.*copy).Text());
  text += Line("uuid", m.SystemUuidPresent ? HexDigits(m.Uuid, bcpdmi::kUuidLength) : "none");
  text += Line("image", entry.imageName);
  text += Line("image_sha256", entry.imageSha256);
  text += Line("part_size", Hex32(entry.partSize));
  for (const TreatedBlock& t : entry.treated) {
    const FlashBlockRecord& block = t.block;
    text += Line("block", std::to_string(t.index) + " " + Hex32(block.LinearPtr) + " " +
                              Hex32(block.BlockSize) + " " + Hex32(block.FileOffset) + " " +
                              Hex32(block.Attrib));
  }
  auto put = [this](const std::string& path, const uint8_t* bytes, uint32_t size) {
    return WriteWholeFile(files_, path.c_str(), [&](FileHandle file) {
             uint32_t written = 0;
             return files_.Write(file, bytes, size, &written) && written == size;
           }) == WholeFileWrite::kWritten;
  };
  if (entry.installed != nullptr) {
    std::vector<uint8_t> saved;
    for (const TreatedBlock& t : entry.treated) {
      const uint8_t* at = entry.installed + t.block.FileOffset;
      saved.insert(saved.end(), at, at + t.block.BlockSize);
    }
    if (!put(SavedPath(), saved.data(), static_cast<uint32_t>(saved.size()))) return false;
    text += Line("saved", "yes");
  }
  return put(path_, reinterpret_cast<const uint8_t*>(text.data()),
             static_cast<uint32_t>(text.size()));
}

bool FlashJournal::ReadSaved(uint8_t* copy, uint32_t size, BlockSelection* which) const {
  const std::string text = Text();
  if (text.find("\nsaved = yes\r\n") == std::string::npos) return false;
  FileHandle file = files_.Open(SavedPath().c_str(), FileMode::kReadExisting);
  if (file == kInvalidFile) return false;
  bool whole = true;
  BlockSelection read{};
  for (size_t at = text.find("\nblock = "); whole && at != std::string::npos;
       at = text.find("\nblock = ", at + 1)) {
    // "block = INDEX LINEAR SIZE OFFSET ATTRIB"
    char* next = nullptr;
    const auto field = [&](const char* from, int base) {
      return static_cast<uint32_t>(std::strtoul(from, &next, base));
    };
    FlashBlockRecord block;
    const uint32_t index = field(text.c_str() + at + 9, 10);
    block.LinearPtr = field(next, 16);
    block.BlockSize = field(next, 16);
    block.FileOffset = field(next, 16);
    uint32_t done = 0;
    whole = index < read.size() && BlockInside(block, size) &&
            files_.Read(file, copy + block.FileOffset, block.BlockSize, &done) &&
            done == block.BlockSize;
    if (whole) read[index] = true;
  }
  files_.Close(file);
  if (whole) *which = read;
  return whole;
}

std::string FlashJournal::Text() const {
  FileHandle file = files_.Open(path_.c_str(), FileMode::kReadExisting);
  if (file == kInvalidFile) return {};
  const uint32_t size = files_.GetSize(file);
  std::string text(size == kInvalidFileSize ? 0 : size, '\0');
  uint32_t done = 0;
  const bool read = files_.Read(file, text.data(), static_cast<uint32_t>(text.size()), &done);
  files_.Close(file);
  text.resize(read ? done : 0);
  return text;
}

std::string FlashJournal::Value(const char* key) const {
  const std::string text = Text();
  const std::string start = std::string(key) + " = ";
  for (size_t at = 0, end; (end = text.find("\r\n", at)) != std::string::npos; at = end + 2) {
    if (text.compare(at, start.size(), start) == 0) {
      return text.substr(at + start.size(), end - at - start.size());
    }
  }
  return {};
}

void FlashJournal::Remove() const {
  (void)files_.Remove(path_.c_str());
  (void)files_.Remove(SavedPath().c_str());
}

}  // namespace ql
