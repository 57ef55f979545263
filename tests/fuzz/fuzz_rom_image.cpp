// Loads arbitrary bytes as a ROM file and runs the image readers and the rules over whatever
// buffer the load leaves, accepted or not. The last byte of the input picks the mode (normal or
// manufacturing) and the answer to the rules' questions. Any read outside the image, any
// undefined behaviour and any exit of the process is a finding.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "app/process_state.h"
#include "app/startup.h"
#include "dmi/dmi_strings.h"
#include "dmi/image_dmi.h"
#include "dmi/uuid.h"
#include "platform/platform.h"
#include "platform/testing/recording_machine.h"
#include "platform/testing/scripted_desktop.h"
#include "rom/rom_image.h"
#include "sim/rom_builder.h"

namespace {

using namespace ql;

// One file, held in memory: the fuzzer's input.
class InputFiles final : public Files {
 public:
  const uint8_t* data = nullptr;
  uint32_t size = 0;
  uint32_t at = 0;

  FileHandle Open(const char*, FileMode mode) override {
    if (mode != FileMode::kReadExisting) return kInvalidFile;
    at = 0;
    return 1;
  }
  bool Read(FileHandle, void* buffer, uint32_t count, uint32_t* done) override {
    uint32_t left = size - at;
    *done = count < left ? count : left;
    std::memcpy(buffer, data + at, *done);
    at += *done;
    return true;
  }
  bool Write(FileHandle, const void*, uint32_t, uint32_t*) override { return false; }
  bool SeekToEnd(FileHandle) override { return false; }
  uint32_t GetSize(FileHandle) override { return size; }
  void Close(FileHandle) override {}
  bool Remove(const char*) override { return false; }
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

void LoadOnce(InputFiles& files, uint32_t manufacturing, int answer) {
  static const BcpSysBlock kSystem = SystemBlock();
  testing::ScriptedDesktop desktop;
  testing::RecordingMachine machine;
  for (int i = 0; i < 4; ++i) desktop.messageAnswers.push_back(answer);
  PlatformSeam previous = InstallPlatform(PlatformSeam{&desktop, &machine, &files, nullptr});

  ResetProcessState();
  SystemBcpSys.Block = kSystem;
  SystemBcpSys.Read = 1;
  Startup.ManufacturingMode = manufacturing;
  if (!LoadRomFile(nullptr, "input.rom")) {
    // A refused image still reaches the readers and the rules here, with the BCPSYS fields of
    // the last block found in it.
    int32_t sys = FindImageBlock(kBcpSysSignature, bcpsys::kSize);
    if (sys >= 0) RomImage.ImageBcpSys = ParseBcpSys(RomImage.Buffer + sys);
    ReadImageDmiStrings(nullptr);
    ReadImageUuid(nullptr);
    CheckImageCompatibility(nullptr);
  }
  char text[kUuidDisplaySize];
  UuidDisplayText(DmiStrings.ImageDmi.Uuid, text);

  HeapFreeIfSet(RomImage.Buffer);
  ResetProcessState();
  InstallPlatform(previous);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > 4u * 1024 * 1024) return -1;
  InputFiles files;
  files.data = data;
  files.size = static_cast<uint32_t>(size);
  uint8_t last = size > 0 ? data[size - 1] : 0;
  LoadOnce(files, /*manufacturing=*/(last >> 1) & 1, (last & 1) ? ql::kIdOk : ql::kIdCancel);
  return 0;
}
