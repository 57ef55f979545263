#include "dmi/dmi_flash.h"

#include <cstring>

#include "app/program_message.h"
#include "app/manufacturing_log.h"
#include "app/startup.h"
#include "bios/bios_session.h"
#include "bios/flash_part.h"
#include "dmi/carry_over.h"
#include "dmi/dmi_strings.h"
#include "flash/block_passes.h"
#include "flash/block_walk.h"
#include "flash/progress.h"
#include "platform/bytes.h"
#include "platform/platform.h"
#include "rom/bcp_layout.h"
#include "rom/bcp_sys.h"
#include "rom/rom_image.h"

namespace ql {

DmiFlashState DmiFlash;

namespace {

// The four typed strings, in the order they are written.
struct TypedString {
  uint32_t headerOffset;
  char (EnteredDmiRecord::*text)[kDmiCopySize];
};
constexpr TypedString kTypedStrings[] = {
    {bcpdmi::kManufacturerOffset, &EnteredDmiRecord::Manufacturer},
    {bcpdmi::kProductOffset, &EnteredDmiRecord::Product},
    {bcpdmi::kVersionOffset, &EnteredDmiRecord::Version},
    {bcpdmi::kSystemSerialOffset, &EnteredDmiRecord::SystemSerial},
};

// The read-back copy of the installed BIOS and where its DMI segment starts in it.
struct Copy {
  uint8_t* bytes;
  uint32_t size;
  int64_t segmentBase;  // without the 32-bit wrap, so a base before the copy stays outside it
};

// The offset in the copy of `count` bytes from `before` bytes ahead of segment offset
// `segmentOffset`, or -1 when any of them lies outside the copy.
int64_t CopyRange(const Copy& copy, uint16_t segmentOffset, uint32_t before, uint32_t count) {
  int64_t first = copy.segmentBase + segmentOffset - before;
  if (first < 0 || first + count > static_cast<int64_t>(copy.size)) return -1;
  return first;
}

int Refuse(WindowHandle window, const char* text) {
  ProgramMessage(window, text, kMbIconHand);
  return 0;
}

// The offset of a whole block of `length` bytes at the last signature in the copy, or -1.
int32_t FindCopyBlock(const Copy& copy, const uint8_t* signature, uint32_t length) {
  int32_t at = FindSignature(copy.bytes, signature, kSignatureLength, copy.size);
  if (at < 0 || length > copy.size - static_cast<uint32_t>(at)) return -1;
  return at;
}

// 1 when the string was written into the copy (or the block names none); 0 to refuse.
int WriteTypedString(const Copy& copy, const uint8_t* header, const TypedString& s) {
  uint16_t offset = GetLe16(header + s.headerOffset);
  if (offset == 0) return 1;
  int64_t lengthAt = CopyRange(copy, offset, dmifield::kLengthBefore, 1);
  if (lengthAt < 0) return 0;
  uint32_t L = copy.bytes[lengthAt];
  // The typed text and its terminator must fit in the entry buffer to be padded in place.
  if (L + 1 > kDmiCopySize) return 0;
  uint32_t fieldBytes = dmifield::kLengthBefore + L + dmifield::kTrailer;
  int64_t field = CopyRange(copy, offset, dmifield::kLengthBefore, fieldBytes);
  if (field < 0) return 0;
  char* text = DmiStrings.EnteredDmi.*s.text;
  PadWithBlanks(text, L);
  uint32_t o = static_cast<uint32_t>(field) + dmifield::kLengthBefore;
  const auto* bytes = reinterpret_cast<const uint8_t*>(text);
  uint8_t balance = BalanceByte(bytes, o, L, copy.bytes);
  std::memcpy(copy.bytes + o, bytes, L + 1);
  copy.bytes[o + L + 1] = balance;
  return SelectChangedBlocks(static_cast<uint32_t>(field), fieldBytes);
}

// 1 when the UUID was written into the copy, or there is no field for it; 0 to refuse.
int WriteTypedUuid(WindowHandle window, const Copy& copy, const uint8_t* header) {
  char* typed = DmiStrings.EnteredDmi.Uuid;
  uint16_t offset = GetLe16(header + bcpdmi::kUuidOffset);
  bool hasField = header[bcpdmi::kMajorVersion] >= bcpdmi::kUuidMinMajor &&
                  header[bcpdmi::kMinorVersion] >= bcpdmi::kUuidMinMinor && offset != 0;
  int64_t u = hasField ? CopyRange(copy, offset, 0, bcpdmi::kUuidFieldLength) : -1;
  if (u < 0) {
    // Nothing typed means nothing stored; only a UUID that will be lost is worth a word.
    if (typed[0] != '\0') {
      ProgramMessage(window, kMsgDmiOnlyNoUuidField, kMbIconExclamation);
    }
    return 1;
  }
  size_t length = strnlen(typed, bcpdmi::kUuidLength);
  std::memset(typed + length, 0, kEnteredUuidSize - length);
  WriteBalancedUuid(copy.bytes + u, reinterpret_cast<const uint8_t*>(typed));
  return SelectChangedBlocks(static_cast<uint32_t>(u), bcpdmi::kUuidFieldLength);
}

// Everything between the read-back and the flash; 1 when the copy is ready to be flashed.
int PrepareCopy(WindowHandle window, const Copy& copy) {
  int32_t sys = FindCopyBlock(copy, kBcpSysSignature, bcpsys::kSize);
  if (sys < 0) {
    ShowMessageById(MSG_NO_BCPSYS_IN_COPY, window);
    return 0;
  }
  BcpSysBlock block = ParseBcpSys(copy.bytes + sys);
  ClearBlockSelection();
  int32_t dmi = FindCopyBlock(copy, kBcpDmiSignature, bcpdmi::kHeaderSize);
  if (dmi < 0) return Refuse(window, kMsgDmiOnlyNoBcpDmi);
  Copy located = copy;
  located.segmentBase = static_cast<int64_t>(SystemBcpSys.Block.RomSizeKb) * 1024 +
                        static_cast<int64_t>(block.DmiSegment) * 16 - 0x100000;
  uint8_t header[bcpdmi::kHeaderSize];
  std::memcpy(header, copy.bytes + dmi, sizeof header);
  for (const TypedString& s : kTypedStrings) {
    if (WriteTypedString(located, header, s) == 0) return Refuse(window, kMsgDmiOnlyFieldOutside);
  }
  if (WriteTypedUuid(window, located, header) == 0) {
    return Refuse(window, kMsgDmiOnlyFieldOutside);
  }
  return 1;
}

}  // namespace

int ReadInstalledRom(WindowHandle window, uint8_t* buffer, uint32_t size) {
  if (RomImage.ImageLoaded == 0) RomImage.RomSize = SystemBcpSys.Block.RomSizeKb * 1024u;
  ConnectBios(window);
  uint32_t done = 0;
  int whole = 1;
  for (int32_t i = 0; i < FlashPart.BlockCount && whole == 1; ++i) {
    const FlashBlockRecord& block = FlashPart.FlashBlockTable[i];
    SetProgressPhase(window, kPhaseBackup);
    SetProgressPercent(window, done, size);
    if (BlockIsFlashed(block.Attrib) == 0 && (block.Attrib & kAttribLeftOutBit) == 0) continue;
    if (BlockInside(block, size) == 0 || ReadFlashBlock(block, buffer) != 0) whole = 0;
    done += block.BlockSize;
  }
  DisconnectBios(window);
  RestProgress(window);
  return whole;
}

void ClearBlockSelection() {
  std::memset(BlockPasses.BlockSelection, 0, sizeof BlockPasses.BlockSelection);
}

void PadWithBlanks(char* text, uint32_t L) {
  size_t length = strnlen(text, L);
  std::memset(text + length, ' ', L - length);
  text[L] = '\0';
}

int SelectChangedBlocks(uint32_t offset, uint32_t count) {
  const uint64_t end = static_cast<uint64_t>(offset) + count;
  int rewritten = 1;
  for (int32_t i = 0; i < FlashPart.BlockCount; ++i) {
    const FlashBlockRecord& block = FlashPart.FlashBlockTable[i];
    uint64_t blockEnd = static_cast<uint64_t>(block.FileOffset) + block.BlockSize;
    if (block.FileOffset >= end || blockEnd <= offset) continue;
    BlockPasses.BlockSelection[i] = 1;
    // A block that would be erased and not programmed again, or programmed over old bytes,
    // loses the bytes around the field.
    if (BlockIsFlashed(block.Attrib) == 1 && BlockIsRewritten(block.Attrib) == 0) rewritten = 0;
  }
  // Every byte of the range must lie in a block that is rewritten whole.
  uint64_t at = offset;
  while (rewritten == 1 && at < end) {
    uint64_t next = at;
    for (int32_t i = 0; i < FlashPart.BlockCount; ++i) {
      const FlashBlockRecord& block = FlashPart.FlashBlockTable[i];
      uint64_t blockEnd = static_cast<uint64_t>(block.FileOffset) + block.BlockSize;
      if (BlockIsRewritten(block.Attrib) == 1 && block.FileOffset <= at && at < blockEnd) {
        next = blockEnd;
        break;
      }
    }
    if (next == at) rewritten = 0;
    at = next;
  }
  return rewritten;
}

int FlashSelectedBlocks(WindowHandle window, const uint8_t* buffer, uint32_t size) {
  BlockPasses.SelectedBlocksOnly = 1;
  int result = FlashBlocks(window, buffer, size);
  BlockPasses.SelectedBlocksOnly = 0;
  return result;
}

int FlashNewDmiOnly(WindowHandle window) {
  uint32_t size = SystemBcpSys.Block.RomSizeKb * 1024u;
  auto* buffer = size == 0 ? nullptr : static_cast<uint8_t*>(HeapAllocZeroed(size));
  if (buffer == nullptr) {
    ShowMessageById(MSG_DMI_ONLY_NO_MEMORY, window);
    return 0;
  }
  DmiFlash.DmiOnlyBuffer = buffer;
  DmiFlash.DmiOnlyBufferSize = size;
  int result = 0;
  if (ReadInstalledRom(window, buffer, size) == 0) {
    // Flashing a copy with holes would write the holes into the installed BIOS.
    Refuse(window, kMsgDmiOnlyReadFailed);
  } else if (PrepareCopy(window, Copy{buffer, size, 0}) == 1) {
    result = FlashSelectedBlocks(window, buffer, size);
  }
  ClearBlockSelection();
  HeapFreeIfSet(buffer);
  DmiFlash.DmiOnlyBuffer = nullptr;
  DmiFlash.DmiOnlyBufferSize = 0;
  return result;
}

}  // namespace ql
