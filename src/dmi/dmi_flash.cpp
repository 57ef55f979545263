#include "dmi/dmi_flash.h"

#include <cstring>

#include "bios/bcp_layout.h"
#include "dmi/carry_over.h"
#include "platform/allocator.h"
#include "platform/bytes.h"
#include "platform/message_table.h"
#include "rom/bcp_sys.h"

namespace ql {
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

// The read-back copy of the installed BIOS, the blocks read whole into it, where its DMI segment
// starts in it, and the blocks the flash will rewrite.
struct InstalledCopy {
  uint8_t* bytes = nullptr;
  uint32_t size = 0;
  int64_t segmentBase = 0;
  std::span<const FlashBlockRecord> blocks;
  BlockSelection read{};
  bool holes = false;  // a block that was to be read was not read whole
  BlockSelection* selection = nullptr;

  // The offset in the copy of `count` bytes from `before` bytes ahead of segment offset
  // `segmentOffset`, or -1 when any of them lies outside the copy.
  int64_t Range(uint16_t segmentOffset, uint32_t before, uint32_t count) const {
    return DmiFieldRange(segmentBase, size, segmentOffset, before, count);
  }
  // True when every byte of [offset, offset + count) lies in a block read whole.
  bool Read(uint32_t offset, uint32_t count) const {
    const uint64_t end = static_cast<uint64_t>(offset) + count;
    for (uint64_t at = offset; at < end;) {
      uint64_t next = at;
      for (uint32_t i = 0; i < blocks.size() && i < read.size(); ++i) {
        uint64_t blockEnd = static_cast<uint64_t>(blocks[i].FileOffset) + blocks[i].BlockSize;
        if (read[i] && blocks[i].FileOffset <= at && at < blockEnd) {
          next = blockEnd;
          break;
        }
      }
      if (next == at) return false;
      at = next;
    }
    return true;
  }
};

bool Refuse(Desktop& desktop, WindowHandle owner, const char* text) {
  ProgramMessage(desktop, owner, text, kMbIconHand);
  return false;
}

// Reads every block the flash touches, and every left-out one, into the copy at its FileOffset,
// within a session of its own, and marks those read whole. Every byte of the copy not read stays
// 0, so that no signature can be found where nothing was read. kFatal when the session could not be
// opened or closed.
Outcome ReadInstalledRom(FlashServices& flash, WindowHandle owner, InstalledCopy& copy) {
  if (Outcome opened = OpenFlashSession(flash, owner, copy.size); opened != Outcome::kDone) {
    return opened;
  }
  std::memset(copy.bytes, 0, copy.size);
  uint32_t done = 0;
  const std::span<const FlashBlockRecord> blocks = flash.part.Blocks();
  for (uint32_t i = 0; i < blocks.size() && i < copy.read.size(); ++i) {
    const FlashBlockRecord& block = blocks[i];
    flash.progress.SetPhase(ProgressPhase::kBackup);
    flash.progress.SetPercent(done, copy.size);
    if (!FlashedOrReadBack(block)) continue;
    // A block the BIOS will not let be read (a protected boot block) only matters when the flash
    // needs its bytes; that is decided once the copy is known.
    const bool inside = BlockInside(block, copy.size);
    copy.read[i] = inside && ReadFlashBlock(flash.caller, block, copy.bytes) == 0;
    if (!copy.read[i]) copy.holes = true;
    if (!copy.read[i] && inside) std::memset(copy.bytes + block.FileOffset, 0, block.BlockSize);
    done += block.BlockSize;
  }
  if (flash.session.Disconnect(owner) == Outcome::kFatal) return Outcome::kFatal;
  flash.progress.Rest();
  return Outcome::kDone;
}

// True when the string was written into the copy (or the block names none); false to refuse.
bool WriteTypedString(const InstalledCopy& copy, const uint8_t* header, const TypedString& typed,
                      EnteredDmiRecord& entered) {
  uint16_t offset = GetLe16(header + typed.headerOffset);
  if (offset == 0) return true;
  int64_t lengthAt = copy.Range(offset, dmifield::kLengthBefore, 1);
  if (lengthAt < 0) return false;
  uint32_t length = copy.bytes[lengthAt];
  // The typed text and its terminator must fit in the entry buffer to be padded in place.
  if (length + 1 > kDmiCopySize) return false;
  uint32_t fieldBytes = dmifield::kLengthBefore + length + dmifield::kTrailer;
  int64_t field = copy.Range(offset, dmifield::kLengthBefore, fieldBytes);
  if (field < 0) return false;
  char* text = entered.*typed.text;
  PadWithBlanks(text, length);
  WriteBalancedField(copy.bytes + field + dmifield::kLengthBefore,
                     reinterpret_cast<const uint8_t*>(text), length + 1);
  return SelectChangedBlocks(copy.blocks, static_cast<uint32_t>(field), fieldBytes, copy.selection);
}

// True when the UUID was written into the copy, or there is no field for it; false to refuse.
bool WriteTypedUuid(Desktop& desktop, WindowHandle owner, const InstalledCopy& copy,
                    const uint8_t* header, EnteredDmiRecord& entered) {
  char* typed = entered.Uuid;
  uint16_t offset = GetLe16(header + bcpdmi::kUuidOffset);
  bool hasField = header[bcpdmi::kMajorVersion] >= bcpdmi::kUuidMinMajor &&
                  header[bcpdmi::kMinorVersion] >= bcpdmi::kUuidMinMinor && offset != 0;
  int64_t field = hasField ? copy.Range(offset, 0, bcpdmi::kUuidFieldLength) : -1;
  if (field < 0) {
    // Nothing typed means nothing stored; only a UUID that will be lost is worth a word.
    if (typed[0] != '\0') {
      ProgramMessage(desktop, owner, kMsgDmiOnlyNoUuidField, kMbIconExclamation);
    }
    return true;
  }
  size_t length = strnlen(typed, bcpdmi::kUuidLength);
  std::memset(typed + length, 0, kEnteredUuidSize - length);
  WriteBalancedField(copy.bytes + field, reinterpret_cast<const uint8_t*>(typed),
                     bcpdmi::kUuidLength);
  return SelectChangedBlocks(copy.blocks, static_cast<uint32_t>(field), bcpdmi::kUuidFieldLength,
                             copy.selection);
}

// Everything between the read-back and the flash; true when the copy is ready to be flashed.
bool PrepareCopy(Desktop& desktop, WindowHandle owner, InstalledCopy& copy, uint32_t romSize,
                 EnteredDmiRecord& entered) {
  // A signature not found may lie in a block that could not be read; one found must be read whole.
  int32_t sys = FindWholeBlock(copy.bytes, copy.size, kBcpSysSignature, bcpsys::kSize);
  if (sys < 0 && copy.holes) return Refuse(desktop, owner, kMsgDmiOnlyReadFailed);
  if (sys < 0) {
    ShowMessageById(desktop, MSG_NO_BCPSYS_IN_COPY, owner);
    return false;
  }
  if (!copy.Read(sys, bcpsys::kSize)) return Refuse(desktop, owner, kMsgDmiOnlyReadFailed);
  BcpSysBlock block = ParseBcpSys(copy.bytes + sys);
  int32_t dmi = FindWholeBlock(copy.bytes, copy.size, kBcpDmiSignature, bcpdmi::kHeaderSize);
  if (dmi < 0 && copy.holes) return Refuse(desktop, owner, kMsgDmiOnlyReadFailed);
  if (dmi < 0) return Refuse(desktop, owner, kMsgDmiOnlyNoBcpDmi);
  if (!copy.Read(dmi, bcpdmi::kHeaderSize)) return Refuse(desktop, owner, kMsgDmiOnlyReadFailed);
  // The running BIOS's size places the segment: the copy is that BIOS.
  copy.segmentBase = DmiSegmentBase(static_cast<uint16_t>(romSize / 1024), block.DmiSegment);
  // The header is kept apart: a typed string may be written over the block itself.
  uint8_t header[bcpdmi::kHeaderSize];
  std::memcpy(header, copy.bytes + dmi, sizeof header);
  for (const TypedString& typed : kTypedStrings) {
    if (!WriteTypedString(copy, header, typed, entered)) {
      return Refuse(desktop, owner, kMsgDmiOnlyFieldOutside);
    }
  }
  if (!WriteTypedUuid(desktop, owner, copy, header, entered)) {
    return Refuse(desktop, owner, kMsgDmiOnlyFieldOutside);
  }
  // Flashing a block with holes would write the holes into the installed BIOS.
  bool anything = false;
  for (uint32_t i = 0; i < copy.blocks.size() && i < copy.selection->size(); ++i) {
    if ((*copy.selection)[i] && !copy.read[i]) return Refuse(desktop, owner, kMsgDmiOnlyReadFailed);
    anything = anything || (*copy.selection)[i];
  }
  return anything || Refuse(desktop, owner, kMsgDmiOnlyNothingToWrite);
}

}  // namespace

void PadWithBlanks(char* text, uint32_t length) {
  size_t kept = strnlen(text, length);
  std::memset(text + kept, ' ', length - kept);
  text[length] = '\0';
}

bool SelectChangedBlocks(std::span<const FlashBlockRecord> blocks, uint32_t offset, uint32_t count,
                         BlockSelection* selection) {
  const uint64_t end = static_cast<uint64_t>(offset) + count;
  bool rewritten = true;
  for (uint32_t i = 0; i < blocks.size() && i < selection->size(); ++i) {
    const FlashBlockRecord& block = blocks[i];
    uint64_t blockEnd = static_cast<uint64_t>(block.FileOffset) + block.BlockSize;
    if (block.FileOffset >= end || blockEnd <= offset) continue;
    (*selection)[i] = true;
    // A block that would be erased and not programmed again, or programmed over old bytes,
    // loses the bytes around the field.
    BlockTreatment treatment = TreatmentOf(block.Attrib);
    if (treatment.Flashed() && !treatment.Rewritten()) rewritten = false;
  }
  // Every byte of the range must lie in a block that is rewritten whole.
  uint64_t at = offset;
  while (rewritten && at < end) {
    uint64_t next = at;
    for (const FlashBlockRecord& block : blocks) {
      uint64_t blockEnd = static_cast<uint64_t>(block.FileOffset) + block.BlockSize;
      if (TreatmentOf(block.Attrib).Rewritten() && block.FileOffset <= at && at < blockEnd) {
        next = blockEnd;
        break;
      }
    }
    if (next == at) rewritten = false;
    at = next;
  }
  return rewritten;
}

Outcome FlashNewDmiOnly(FlashServices& flash, WindowHandle owner, EnteredDmiRecord& entered,
                        uint32_t romSize, const PassOptions& options, const SavedBlocks* saved) {
  HeapBuffer buffer;
  if (romSize != 0) buffer = HeapBuffer::Allocate(flash.allocator, romSize);
  if (buffer.empty()) {
    ShowMessageById(flash.desktop, MSG_DMI_ONLY_NO_MEMORY, owner);
    return Outcome::kFailed;
  }
  BlockSelection selection{};
  InstalledCopy copy;
  copy.bytes = buffer.data();
  copy.size = romSize;
  if (Outcome read = ReadInstalledRom(flash, owner, copy); read != Outcome::kDone) {
    return read;
  }
  copy.blocks = flash.part.Blocks();
  copy.selection = &selection;
  for (uint32_t i = 0; saved != nullptr && i < copy.blocks.size() && i < copy.read.size(); ++i) {
    const FlashBlockRecord& block = copy.blocks[i];
    if (!saved->which[i] || !BlockInside(block, romSize)) continue;
    std::memcpy(copy.bytes + block.FileOffset, saved->bytes + block.FileOffset, block.BlockSize);
    copy.read[i] = true;
  }
  // What the installed BIOS holds, kept apart from the copy the strings are written into: a flash
  // that fails puts it back.
  HeapBuffer installed = HeapBuffer::Allocate(flash.allocator, romSize);
  if (installed.empty()) {
    ShowMessageById(flash.desktop, MSG_DMI_ONLY_NO_MEMORY, owner);
    return Outcome::kFailed;
  }
  std::memcpy(installed.data(), buffer.data(), romSize);
  if (!PrepareCopy(flash.desktop, owner, copy, romSize, entered)) return Outcome::kFailed;
  return FlashBlocks(flash, owner,
                     FlashSource{buffer.data(), romSize, romSize, &selection, installed.data()},
                     options);
}

}  // namespace ql
