#include "app/flash_journal.h"

#include <cstdio>

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
  FileHandle file = files_.Open(path_.c_str(), FileMode::kReadExisting);
  if (file == kInvalidFile) return false;
  files_.Close(file);
  return true;
}

bool FlashJournal::Write(const JournalEntry& entry) const {
  const SystemDmiRecord& m = *entry.machine;
  std::string text = Line("machine", MachineFileName(m));
  const std::pair<const char*, const DmiStringCopy*> strings[] = {
      {"serial", &m.Serial},
      {"manufacturer", &m.Manufacturer},
      {"product", &m.Product},
      {"version", &m.Version},
      {"system_serial", &m.SystemSerial},
      {"chassis_serial", &m.ChassisSerial}};
  for (const auto& [key, copy] : strings) text += Line(key, copy->Text());
  text += Line("uuid", m.SystemUuidPresent ? HexDigits(m.Uuid, bcpdmi::kUuidLength) : "none");
  text += Line("image", entry.imageName);
  const Sha256Digest digest = Sha256(entry.image, entry.imageSize);
  text += Line("image_sha256", HexDigits(digest.data(), static_cast<uint32_t>(digest.size())));
  text += Line("part_size", Hex32(entry.partSize));
  for (const FlashBlockRecord& block : entry.blocks) {
    if (!TreatmentOf(block.Attrib).Flashed()) continue;
    text += Line("block", Hex32(block.LinearPtr) + " " + Hex32(block.BlockSize) + " " +
                              Hex32(block.FileOffset) + " " + Hex32(block.Attrib));
  }
  return WriteWholeFile(files_, path_.c_str(), [&](FileHandle file) {
           uint32_t written = 0;
           const auto size = static_cast<uint32_t>(text.size());
           return files_.Write(file, text.data(), size, &written) && written == size;
         }) == WholeFileWrite::kWritten;
}

std::string FlashJournal::Value(const char* key) const {
  FileHandle file = files_.Open(path_.c_str(), FileMode::kReadExisting);
  if (file == kInvalidFile) return {};
  const uint32_t size = files_.GetSize(file);
  std::string text(size == kInvalidFileSize ? 0 : size, '\0');
  uint32_t done = 0;
  const bool read = files_.Read(file, text.data(), static_cast<uint32_t>(text.size()), &done);
  files_.Close(file);
  text.resize(read ? done : 0);
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
}

}  // namespace ql
