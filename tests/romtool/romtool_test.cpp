// romtool's images as the program reads them: the blocks where its own search finds them, the
// strings where the DMI segment puts them, and every sum the BIOS keeps at zero.
#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>
#include <sstream>

#include "bios/bcp_layout.h"
#include "platform/bytes.h"
#include "platform/posix/posix_files.h"
#include "support/temp_folder.h"
#include "tools/romtool/romtool_commands.h"

namespace ql::testing {
namespace {

uint8_t Sum(const uint8_t* bytes, size_t count) {
  return std::accumulate(bytes, bytes + count, uint8_t{0});  // 8 bits, as the BIOS adds
}

TEST(RomtoolTest, MakeBuildsWhatTheProgramFindsWithEverySumAtZero) {
  TempFolder temp;
  const std::string rom = temp.Path("a.rom");
  std::ostringstream out, err;
  PosixFiles files;
  ASSERT_EQ(romtool::RunRomtool(
                files,
                {"make", rom, "--size-kb", "1024", "--dmi-segment", "0xE000", "--uuid", "settable"},
                out, err),
            0)
      << err.str();
  const Bytes image = TempFolder::ReadFile(rom);
  const uint32_t size = static_cast<uint32_t>(image.size());
  ASSERT_EQ(size, 1024u * 1024);
  EXPECT_EQ(Sum(image.data(), size), 0);
  const int32_t sys = FindWholeBlock(image.data(), size, kBcpSysSignature, bcpsys::kSize);
  const int32_t dmi = FindWholeBlock(image.data(), size, kBcpDmiSignature, bcpdmi::kHeaderSize);
  ASSERT_GE(std::min(sys, dmi), static_cast<int32_t>(size - kBiosSegmentLength));
  const int64_t base = DmiSegmentBase(GetLe16(&image[sys + bcpsys::kRomSizeKb]),
                                      GetLe16(&image[sys + bcpsys::kDmiSegment]));
  ASSERT_EQ(base, 0xE0000);
  for (uint32_t field : kDmiStringOffsetField) {
    SCOPED_TRACE(field);
    const uint16_t offset = GetLe16(&image[dmi + field]);
    const int64_t at = DmiFieldRange(base, size, offset, dmifield::kLengthBefore, 1);
    ASSERT_GE(at, 0);
    const uint8_t length = image[at];
    ASSERT_GE(DmiFieldRange(base, size, offset, 0, length + dmifield::kTrailer), 0);
    EXPECT_EQ(image[at + 1 + length], 0);
    EXPECT_EQ(Sum(&image[at + 1], length + dmifield::kTrailer), 0);
  }
  const int64_t uuid = DmiFieldRange(base, size, GetLe16(&image[dmi + bcpdmi::kUuidOffset]), 0,
                                     bcpdmi::kUuidFieldLength);
  ASSERT_GE(uuid, 0);
  EXPECT_EQ(image[uuid], 0xFF);
  EXPECT_EQ(Sum(&image[uuid], bcpdmi::kUuidFieldLength), 0);
}

}  // namespace
}  // namespace ql::testing
