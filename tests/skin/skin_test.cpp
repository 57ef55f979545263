// The skin's portable decisions and its artwork as shipped: every picture the resource script
// names exists in the format and size the program draws it at.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <map>
#include <regex>
#include <string>
#include <utility>
#include <vector>

#include "platform/bytes.h"
#include "skin/aux_layout.h"
#include "skin/skin_layout.h"

namespace ql {
namespace {

std::string SourceDir() {
  if (const char* dir = std::getenv("QL_SOURCE_DIR"); dir != nullptr && *dir) return dir;
  std::string self = __FILE__;
  return self.substr(0, self.rfind("/tests/"));
}

std::vector<uint8_t> ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

struct Bmp {
  int width = 0, height = 0, bits = 0, compression = -1;
  std::vector<uint8_t> pixels;  // BGR through the palette; short if a row or an index is amiss
};

Bmp LoadBmp(const std::string& path) {
  std::vector<uint8_t> b = ReadFile(path);
  Bmp bmp;
  if (b.size() < 54 || b[0] != 'B' || b[1] != 'M') return bmp;
  bmp.width = static_cast<int32_t>(GetLe32(&b[18]));
  bmp.height = static_cast<int32_t>(GetLe32(&b[22]));
  bmp.bits = b[28] | b[29] << 8;
  bmp.compression = static_cast<int>(GetLe32(&b[30]));
  size_t offset = GetLe32(&b[10]), width = bmp.width, bits = bmp.bits,
         stride = (width * bits + 31) / 32 * 4;
  if (offset < 54 || bits == 0 || 8 % bits || b.size() != offset + stride * bmp.height) return bmp;
  for (size_t i = 0, index; i < width * bmp.height; ++i) {
    size_t bit = i % width * bits, at = offset + i / width * stride + bit / 8;
    if ((index = b[at] >> (8 - bits - bit % 8) & ((1u << bits) - 1)) >= (offset - 54) / 4) break;
    bmp.pixels.insert(bmp.pixels.end(), &b[54 + index * 4], &b[54 + index * 4 + 3]);
  }
  return bmp;
}

// The files the resource script binds to each resource name.
std::map<std::string, std::string> ResourceFiles() {
  std::string dir = SourceDir() + "/src/resources/";
  std::vector<uint8_t> rc = ReadFile(dir + "skin.rc");
  std::string text(rc.begin(), rc.end());
  std::map<std::string, std::string> files;
  std::regex line(R"((\w+)\s+(BITMAP|CURSOR|ICON|RCDATA)\s+"([^"]+)\")");
  for (std::sregex_iterator it(text.begin(), text.end(), line), end; it != end; ++it) {
    files[(*it)[1]] = dir + (*it)[3].str();
  }
  return files;
}

TEST(SkinArtwork, EveryBitmapIsAPalettisedPictureOfTheSizeItIsDrawnAt) {
  std::map<std::string, std::string> files = ResourceFiles();
  auto check = [&](const std::string& name, int width, int height) {
    SCOPED_TRACE(name);
    ASSERT_EQ(files.count(name), 1u) << "not in skin.rc";
    Bmp bmp = LoadBmp(files[name]);
    EXPECT_EQ(bmp.width, width);
    EXPECT_EQ(bmp.height, height);  // positive: stored bottom-up, as every loader reads
    EXPECT_TRUE(bmp.bits == 8 || bmp.bits == 4) << bmp.bits;
    EXPECT_EQ(bmp.compression, 0);  // run-length encoding is not read by every loader
    EXPECT_EQ(bmp.pixels.size(), static_cast<size_t>(width) * height * 3);
  };
  for (int i = 0; i < kSkinBitmapCount; ++i) {
    const SkinBitmapSpec& spec = SkinBitmapInfo(static_cast<SkinBitmap>(i));
    check(spec.name, spec.width, spec.height);
  }
  check(kSplashBitmap, kSplashWidth, kSplashHeight);
  EXPECT_EQ(files.count(kAtOnceCursor), 1u);
  EXPECT_EQ(files.count("QUORRELHP_TEXT"), 1u);
}

// An item of another size than a picture it draws shows it clipped or leaves a stale edge; an
// item off the background is drawn over nothing.
TEST(SkinLayout, EachItemIsTheSizeOfEveryPictureItDrawsAndLiesOnTheBackground) {
  const SkinChildSpec &back = SkinChild(SkinItem::kBackground),
                      map = SkinChild(SkinItem::kBlockMap);
  EXPECT_EQ(std::pair(map.width, map.height), std::pair(kBlockMapWindowSize, kBlockMapWindowSize));
  for (uint32_t full : {100u, 250u})
    EXPECT_EQ(StatusBarFill(full), SkinChild(SkinItem::kStatusBar).width);
  for (int i = 0; i < kSkinItemCount; ++i) {
    const auto item = static_cast<SkinItem>(i);
    const SkinChildSpec& c = SkinChild(item);
    SCOPED_TRACE(i);
    EXPECT_TRUE(c.x >= 0 && c.y >= 0 && c.x + c.width <= back.width &&
                c.y + c.height <= back.height);
    if (item == SkinItem::kBlockMap || item == SkinItem::kStatusBar) continue;
    // Only a button with a picture for it is ever disabled, and each starts so until it can act.
    EXPECT_TRUE(!IsSkinButton(item) ||
                c.startsDisabled == (ButtonBitmap(item, 4) != ButtonBitmap(item, 0)));
    for (uint32_t state : {0x0u, 0x1u, 0x4u, 0x10u}) {
      for (uint32_t phase = 0; phase <= 8; ++phase) {
        const SkinBitmapSpec& b = SkinBitmapInfo(ItemBitmap(item, state, phase));
        EXPECT_EQ(std::pair(b.width, b.height), std::pair(c.width, c.height)) << b.name;
      }
    }
  }
}

TEST(AuxWindows, ChangedCellsBoundEveryDifferenceAndNothingElse) {
  uint8_t shown[1024] = {}, now[1024] = {};
  EXPECT_TRUE(ChangedCells(shown, now).Empty());
  now[40] = 2;  // row 1, column 8
  EXPECT_EQ(ChangedCells(shown, now), (PixelRect{64, 8, 72, 16}));
  now[3 * 32 + 2] = 1;  // row 3, column 2
  EXPECT_EQ(ChangedCells(shown, now), (PixelRect{16, 8, 72, 32}));
  shown[40] = 2;
  EXPECT_EQ(ChangedCells(shown, now), (PixelRect{16, 24, 24, 32}));
}

TEST(AuxWindows, HelpIsHandedToTheViewerOnlyInItsOwnFormatAndShownWithCrLf) {
  const uint8_t viewer[] = {0x3F, 0x5F, 0x03, 0x00, 0x10};
  const uint8_t text[] = {'Q', 'U', 'O', 'R'};
  EXPECT_TRUE(IsViewerHelpFile(viewer, 4)) << "the mark alone is enough";
  EXPECT_FALSE(IsViewerHelpFile(viewer, 3));
  EXPECT_FALSE(IsViewerHelpFile(text, sizeof(text)));

  char out[16];
  ToCrLf("a\nb\r\nc", 7, out, sizeof(out));
  EXPECT_STREQ(out, "a\r\nb\r\nc");
  // Never a lone CR at the end of a cut text, never past the buffer.
  ToCrLf("abc\ndef", 7, out, 5);
  EXPECT_STREQ(out, "abc");
  ToCrLf("abcdef", 6, out, 4);
  EXPECT_STREQ(out, "abc");
}

}  // namespace
}  // namespace ql
