// Loads arbitrary bytes as a ROM file and runs the image's DMI readers and the compatibility rules
// over whatever buffer the load leaves, accepted or not. The last byte of the input picks the mode
// (normal or manufacturing) and the answer to the rules' questions. Any read outside the image, any
// undefined behaviour and any exit of the process is a finding, and so is an image accepted
// outside manufacturing mode that has not the running BIOS's size and layout word.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "dmi/image_dmi.h"
#include "dmi/uuid.h"
#include "flash/progress.h"
#include "platform/testing/memory_files.h"
#include "platform/testing/scripted_desktop.h"
#include "rom/rom_image.h"
#include "sim/rom_builder.h"
#include "tests/fuzz/fuzz_support.h"

namespace {

using namespace ql;

// The running BIOS the images are judged against: what romtool makes for a 64 KiB part.
BcpSysBlock SystemBlock() {
  const std::vector<uint8_t> image = fuzz::Rom64();
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
  testing::MemoryFiles files;
  files.files["input.rom"].assign(data, data + size);
  Progress progress(desktop);
  RomImage image(allocator, desktop, files, progress);
  const Outcome loaded = image.Load(nullptr, "input.rom", kSystem, manufacturing);
  if (loaded == Outcome::kFatal) return 0;
  if (loaded == Outcome::kDone && !manufacturing) {
    fuzz::Require(image.Bytes() == kSystem.RomBytes() &&
                  image.ImageBcpSys().LayoutWord == kSystem.LayoutWord);
  }
  // Whatever the load decided, the rules and the readers run over the buffer it left (the factory
  // line's load holds the image to the size rule only).
  if (manufacturing) CheckImageCompatibility(desktop, nullptr, image, kSystem);
  ImageDmiRecord record;
  ReadImageDmi(desktop, nullptr, image, &record);
  char text[kUuidDisplaySize];
  UuidDisplayText(record.Uuid, text);
  return 0;
}
