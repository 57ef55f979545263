#include "dmi/uuid.h"

#include <cstring>

#include "app/program_message.h"
#include "app/startup.h"
#include "dmi/carry_over.h"
#include "dmi/dmi_strings.h"
#include "dmi/image_dmi.h"
#include "platform/bytes.h"
#include "platform/platform.h"
#include "rom/bcp_layout.h"
#include "rom/rom_image.h"

namespace ql {
namespace {

bool AllBytesAre(const uint8_t* bytes, uint8_t value) {
  for (uint32_t i = 0; i < bcpdmi::kUuidLength; ++i) {
    if (bytes[i] != value) return false;
  }
  return true;
}

}  // namespace

void UuidDisplayText(const uint8_t* bytes, char (&text)[kUuidDisplaySize]) {
  std::memset(text, 0, sizeof text);
  if (AllBytesAre(bytes, 0x00)) {
    std::strcpy(text, kUuidNotPresent);
  } else if (AllBytesAre(bytes, 0xFF)) {
    std::strcpy(text, kUuidNotPresentButSettable);
  } else {
    std::memcpy(text, bytes, bcpdmi::kUuidLength);
  }
}

uint32_t CarryUuidIntoImage(WindowHandle window) {
  if (FindImageBcpDmi() < 0) return 0;
  // A field the image does not wholly hold, or names with offset 0, is no field: nothing is
  // written outside the image or over the start of its DMI segment.
  int64_t u = FindImageUuid().offset;
  DmiStrings.ImageDmi.ImageUuidSupported = u >= 0 ? 1 : 0;

  SystemDmiRecord& system = DmiStrings.SystemDmi;
  if (system.SystemUuidPresent != 1) return 1;
  if (u < 0) {
    ProgramMessage(window, kMsgImageHasNoUuid, kMbIconHand);
    return 0;
  }
  // The record keeps the balance byte it was written with.
  system.Uuid[bcpdmi::kUuidLength] = WriteBalancedUuid(RomImage.Buffer + u, system.Uuid);
  return 1;
}

}  // namespace ql
