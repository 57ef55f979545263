// The rules that decide whether a loaded image may be flashed on this machine: it must be a BIOS
// image of this platform, a date that goes back or stays is taken only after a warning or a
// question, and every image taken must match the running BIOS's size and layout.
#include <cstring>

#include "rom/rom_image.h"

namespace ql {
namespace {

// A build stamp as the rules compare it. The digits are taken as the bytes stand, signed and
// unchecked: a stamp with stray characters is compared by what its bytes give, never refused.
struct BuildStamp {
  int year = 0;
  int month = 0;
  int day = 0;
  int minutes = 0;
};

int TwoDigits(const uint8_t* p) {
  return 10 * (static_cast<int8_t>(p[0]) - '0') + (static_cast<int8_t>(p[1]) - '0');
}

// "MM/DD/YY" and "HH:MM".
BuildStamp StampOf(const BcpSysBlock& block) {
  BuildStamp stamp;
  stamp.month = TwoDigits(block.BuildDate + 0);
  stamp.day = TwoDigits(block.BuildDate + 3);
  stamp.year = TwoDigits(block.BuildDate + 6);
  stamp.minutes = 60 * TwoDigits(block.BuildTime + 0) + TwoDigits(block.BuildTime + 3);
  return stamp;
}

bool Refuse(Desktop& desktop, WindowHandle owner, const char* text) {
  ProgramMessage(desktop, owner, text, kMbIconHand);
  return false;
}

bool AskToGoOn(Desktop& desktop, WindowHandle owner, const char* text) {
  return ProgramMessage(desktop, owner, text, kMbOkCancel | kMbIconQuestion) == kIdOk;
}

}  // namespace

bool CheckImageSize(Desktop& desktop, WindowHandle owner, const RomImage& image,
                    const BcpSysBlock& imageBlock, const BcpSysBlock& system) {
  if (imageBlock.RomSizeKb == system.RomSizeKb && image.Bytes() == system.RomBytes() &&
      imageBlock.LayoutWord == system.LayoutWord) {
    return true;
  }
  return Refuse(desktop, owner, kMsgSizeNotIdentical);
}

bool CheckImageCompatibility(Desktop& desktop, WindowHandle owner, const RomImage& image,
                             const BcpSysBlock& system) {
  int32_t at = image.FindBlock(kBcpSysSignature, bcpsys::kSize);
  if (at < 0) return Refuse(desktop, owner, kMsgNotVantrelBios);
  BcpSysBlock imageBlock = ParseBcpSys(image.Buffer() + at);

  if (std::strncmp(imageBlock.PlatformId, system.PlatformId, bcpsys::kPlatformIdLength) != 0) {
    return Refuse(desktop, owner, kMsgNotForThisPlatform);
  }

  BuildStamp imageStamp = StampOf(imageBlock);
  BuildStamp systemStamp = StampOf(system);
  if (systemStamp.year == kCenturyYear) systemStamp.year = 0;
  if (imageStamp.year < systemStamp.year) {
    ProgramMessage(desktop, owner, kMsgNotNewer, kMbOk | kMbIconExclamation);
  } else if (imageStamp.year == systemStamp.year) {
    const char* question = nullptr;
    if (imageStamp.month < systemStamp.month ||
        (imageStamp.month == systemStamp.month && imageStamp.day < systemStamp.day)) {
      question = kMsgNotNewerQuestion;
    } else if (imageStamp.month == systemStamp.month && imageStamp.day == systemStamp.day &&
               imageStamp.minutes == systemStamp.minutes) {
      question = kMsgSameDateQuestion;
    }
    if (question != nullptr && !AskToGoOn(desktop, owner, question)) return false;
  }

  return CheckImageSize(desktop, owner, image, imageBlock, system);
}

}  // namespace ql
