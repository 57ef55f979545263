// The journal of a flash under way: written beside the program just before the first change to
// the part, removed when the job ends. Found at the next start, it tells that the last flash was
// cut short (a power cut, a crash, a killed program) and that the part may hold neither BIOS.
// It is named after the machine, so that machines run from one shared folder never see each
// other's.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "bios/flash_part.h"
#include "dmi/dmi_strings.h"
#include "flash/block_walk.h"
#include "platform/files.h"

namespace ql {

inline constexpr const char* kMsgLastFlashCutShort =
    "The last flash of this computer was cut short!!\nThe flash part may hold neither BIOS!!\n"
    "Please flash the same BIOS again now, before the computer is restarted!!";
inline constexpr const char* kLogLastFlashCutShort =
    "The last flash was cut short!! Flashing again rewrites what differs!!";

// What the journal says of the job.
struct JournalEntry {
  const SystemDmiRecord* machine = nullptr;  // as read at start-up
  std::string imageName;                     // the file, or what a DMI-only flash writes
  std::string imageSha256;                   // of the file's bytes, "none" without one
  uint32_t partSize = 0;
  std::span<const TreatedBlock> treated;  // the blocks the job writes
  // What those blocks held before, indexed by FileOffset; kept beside the journal when the job
  // cannot read it again after a cut (the DMI-only flash derives what it writes from it).
  const uint8_t* installed = nullptr;
};

class FlashJournal {
 public:
  // The journal of the machine described by `machine`, in `programDirectory`.
  FlashJournal(Files& files, const char* programDirectory, const SystemDmiRecord& machine);

  bool Exists() const;
  // Written whole or not at all (a new file swapped in), the saved blocks first; false when it
  // could not be.
  bool Write(const JournalEntry& entry) const;
  // Reads back the blocks a cut job saved into `copy` (`size` bytes, at their FileOffsets) and
  // marks them, by table index, in `which`; false when the journal saved none or they cannot be
  // read whole.
  bool ReadSaved(uint8_t* copy, uint32_t size, BlockSelection* which) const;
  void Remove() const;
  // The value the journal on the disk gives `key` ("image", "image_sha256", ...); empty when it
  // has none or cannot be read.
  std::string Value(const char* key) const;
  const std::string& Path() const { return path_; }

 private:
  // The journal's lines as the disk holds them; empty when it cannot be read.
  std::string Text() const;
  // The file that keeps the saved blocks.
  std::string SavedPath() const { return path_ + ".blocks"; }

  Files& files_;
  std::string path_;
};

}  // namespace ql
