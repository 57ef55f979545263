// The rules that decide whether a loaded image may be flashed on this machine: it must be a
// BIOS image of this platform, a date that does not go back is taken without a question, and an
// image that is newer must match the running BIOS's size and layout.
#include <cstring>

#include "app/startup.h"
#include "app/program_message.h"
#include "platform/platform.h"
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
  BuildStamp s;
  s.month = TwoDigits(block.BuildDate + 0);
  s.day = TwoDigits(block.BuildDate + 3);
  s.year = TwoDigits(block.BuildDate + 6);
  s.minutes = 60 * TwoDigits(block.BuildTime + 0) + TwoDigits(block.BuildTime + 3);
  return s;
}

int Refuse(WindowHandle owner, const char* text) {
  ProgramMessage(owner, text, kMbIconHand);
  return 0;
}

int AskToGoOn(WindowHandle owner, const char* text) {
  int answer = ProgramMessage(owner, text, kMbOkCancel | kMbIconQuestion);
  return answer == kIdOk ? 1 : 0;
}

bool SameSize(const BcpSysBlock& image, const BcpSysBlock& system) {
  return image.RomSizeKb == system.RomSizeKb &&
         RomImage.RomSize == static_cast<uint32_t>(system.RomSizeKb) * 1024u &&
         image.LayoutWord == system.LayoutWord;
}

}  // namespace

int CheckImageCompatibility(WindowHandle owner) {
  int32_t at = FindImageBlock(kBcpSysSignature, bcpsys::kSize);
  if (at < 0) return Refuse(owner, kMsgNotVantrelBios);
  BcpSysBlock image = ParseBcpSys(RomImage.Buffer + at);
  const BcpSysBlock& system = SystemBcpSys.Block;

  if (std::strncmp(image.PlatformId, system.PlatformId, bcpsys::kPlatformIdLength) != 0) {
    return Refuse(owner, kMsgNotForThisPlatform);
  }

  BuildStamp i = StampOf(image);
  BuildStamp s = StampOf(system);
  if (s.year == kCenturyYear) s.year = 0;
  if (i.year < s.year) {
    ProgramMessage(owner, kMsgNotNewer, kMbOk | kMbIconExclamation);
    return 1;
  }
  if (i.year == s.year) {
    if (i.month < s.month || (i.month == s.month && i.day < s.day)) {
      return AskToGoOn(owner, kMsgNotNewerQuestion);
    }
    if (i.month == s.month && i.day == s.day && i.minutes == s.minutes) {
      return AskToGoOn(owner, kMsgSameDateQuestion);
    }
  }

  if (!SameSize(image, system)) return Refuse(owner, kMsgSizeNotIdentical);
  return 1;
}

}  // namespace ql
