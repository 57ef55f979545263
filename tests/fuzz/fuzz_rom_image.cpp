// Loads arbitrary bytes as a ROM file and runs the image's DMI readers and the compatibility rules
// over whatever buffer the load leaves, accepted or not. The last byte of the input picks the mode
// (normal or manufacturing) and the answer to the rules' questions. Any read outside the image, any
// undefined behaviour and any exit of the process is a finding.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "dmi/image_dmi.h"
#include "dmi/uuid.h"
#include "platform/testing/scripted_desktop.h"
#include "rom/rom_image.h"
#include "sim/rom_builder.h"

namespace {

using namespace ql;

// One file, held in memory: the fuzzer's input.
class InputFile final : public Files {
 public:
  InputFile(const uint8_t* data, uint32_t size) : data_(data), size_(size) {}

  FileHandle Open(const char*, FileMode mode) override {
    at_ = 0;
    return mode == FileMode::kReadExisting ? 1 : kInvalidFile;
  }
  bool Read(FileHandle, void* buffer, uint32_t count, uint32_t* done) override {
    *done = count < size_ - at_ ? count : size_ - at_;
    std::memcpy(buffer, data_ + at_, *done);
    at_ += *done;
    return true;
  }
  bool Write(FileHandle, const void*, uint32_t, uint32_t*) override { return false; }
  bool SeekToEnd(FileHandle) override { return false; }
  uint32_t GetSize(FileHandle) override { return size_; }
  void Close(FileHandle) override {}
  bool Remove(const char*) override { return false; }
  bool Replace(const char*, const char*) override { return false; }

 private:
  const uint8_t* data_;
  uint32_t size_;
  uint32_t at_ = 0;
};

class NoProgress final : public LoadProgress {
 public:
  void ReadingFile() override {}
  void FileRead(uint32_t, uint32_t) override {}
  void Rest() override {}
};

// The running BIOS the images are judged against: what romtool makes for a 64 KiB part.
BcpSysBlock SystemBlock() {
  sim::RomSpec spec;
  spec.sizeKb = 64;
  spec.buildDate = "01/10/05";
  std::vector<uint8_t> image;
  std::string error;
  sim::BuildRom(spec, &image, &error);
  return ParseBcpSys(image.data() + sim::InspectRom(image).sysAt);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > 4u * 1024 * 1024) return -1;
  static const BcpSysBlock kSystem = SystemBlock();
  uint8_t last = size > 0 ? data[size - 1] : 0;
  bool manufacturing = ((last >> 1) & 1) != 0;
  testing::ScriptedDesktop desktop;
  desktop.messageAnswers.assign(4, (last & 1) != 0 ? kIdOk : kIdCancel);
  StandardAllocator allocator;
  InputFile file(data, static_cast<uint32_t>(size));
  NoProgress progress;
  RomImage image(allocator, desktop, file, progress);
  if (image.Load(nullptr, "input.rom", kSystem, manufacturing) == Outcome::kFatal) return 0;
  // Whatever the load decided, the rules and the readers run over the buffer it left (the factory
  // line's load skips the rules).
  if (manufacturing) CheckImageCompatibility(desktop, nullptr, image, kSystem);
  ImageDmiRecord record;
  ReadImageDmi(desktop, nullptr, image, &record);
  char text[kUuidDisplaySize];
  UuidDisplayText(record.Uuid, text);
  return 0;
}
