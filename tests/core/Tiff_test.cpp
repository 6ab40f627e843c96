#include "core/Tiff.h"

#include <gtest/gtest.h>

#include "core/AtomicFile.h"
#include "tests/support/TestSupport.h"

namespace nyxel {
namespace {

using test::ReadBytes;

uint32_t U16(const std::vector<unsigned char>& b, size_t at) {
  return b[at] | (b[at + 1] << 8);
}
uint32_t U32(const std::vector<unsigned char>& b, size_t at) {
  return U16(b, at) | (U16(b, at + 2) << 16);
}

TEST(Tiff, HeaderFollowsTheFixedTemplate) {
  for (bool colour : {false, true}) {
    SCOPED_TRACE(colour);
    test::TempDir dir;
    auto store = ImageStore::Create();
    const auto file = dir.path() / "t.tif";
    ASSERT_EQ(WriteTiffFile(*store, colour, file), 0);
    const auto b = ReadBytes(file);
    ASSERT_EQ(b.size(), colour ? 569424u : 189978u);
    EXPECT_EQ(b[0], 'I');
    EXPECT_EQ(b[1], 'I');
    EXPECT_EQ(U16(b, 2), 42u);
    EXPECT_EQ(U32(b, 4), 8u);
    EXPECT_EQ(U16(b, 8), 13u);
    struct Entry {
      uint32_t tag, type, count, value;
    };
    const Entry entries[13] = {{254, 4, 1, 0},    {256, 3, 1, 510},
                               {257, 3, 1, 372},  {258, 3, colour ? 3u : 1u, colour ? 569418u : 8u},
                               {259, 3, 1, 1},    {262, 3, 1, colour ? 2u : 1u},
                               {273, 4, 12, 186}, {277, 3, 1, colour ? 3u : 1u},
                               {278, 4, 1, 31},   {279, 3, 12, 234},
                               {282, 5, 1, 170},  {283, 5, 1, 178},
                               {296, 3, 1, 3}};
    for (int k = 0; k < 13; ++k) {
      const size_t at = 10 + 12 * k;
      EXPECT_EQ(U16(b, at), entries[k].tag) << k;
      EXPECT_EQ(U16(b, at + 2), entries[k].type) << k;
      EXPECT_EQ(U32(b, at + 4), entries[k].count) << k;
      EXPECT_EQ(U32(b, at + 8), entries[k].value) << k;
    }
    EXPECT_EQ(U32(b, 166), 0u);
    EXPECT_EQ(U32(b, 170), 510u);
    EXPECT_EQ(U32(b, 174), 4u);
    EXPECT_EQ(U32(b, 178), 256u);
    EXPECT_EQ(U32(b, 182), 3u);
    const uint32_t strip = colour ? 47430 : 15810;
    for (int k = 0; k < 12; ++k) {
      EXPECT_EQ(U32(b, 186 + 4 * k), 258 + k * strip);
      EXPECT_EQ(U16(b, 234 + 2 * k), strip);
    }
    EXPECT_EQ(U32(b, 186 + 4 * 11), colour ? 521988u : 174168u);
    if (colour) {
      for (int k = 0; k < 3; ++k) EXPECT_EQ(U16(b, 569418 + 2 * k), 8u);
    }
  }
}

TEST(Tiff, GreyRowsAreInterpolatedHighBytes) {
  test::TempDir dir;
  auto store = ImageStore::Create();
  // High byte = row % 200 in columns 0..509; the two columns never stored hold something else.
  for (int r = 0; r < 290; ++r) {
    for (int c = 0; c < 512; ++c)
      store->CurrentFrame[PixelIndex(r, c)] = static_cast<uint16_t>(((r % 200) << 8) | 0xFF);
    store->CurrentFrame[PixelIndex(r, 510)] = 0xFFFF;
    store->CurrentFrame[PixelIndex(r, 511)] = 0xFFFF;
  }
  store->AutoStretch = 1;  // display stretches play no part
  store->MaxPaletteAll = 1;
  const auto file = dir.path() / "g.tif";
  ASSERT_EQ(WriteTiffFile(*store, false, file), 0);
  const auto b = ReadBytes(file);
  auto px = [&](int row, int col) { return static_cast<int>(b[258 + row * 510 + col]); };
  // Reference: linear interpolation between the two neighbouring rows in double precision.
  for (int i = 0; i < 372; ++i) {
    const double y = i * 290.0 / 372.0;
    const int lo = static_cast<int>(y);
    const int hi = std::min(lo + 1, 289);
    const double v = (lo % 200) + ((hi % 200) - (lo % 200)) * (y - lo);
    for (int c : {0, 255, 509}) {
      ASSERT_NEAR(px(i, c), v, 1.0) << "row " << i;
    }
  }
  EXPECT_EQ(px(0, 0), 0);              // the top picture row
  EXPECT_EQ(px(371, 509), 289 % 200);  // frame row 289
  EXPECT_EQ(px(1, 0), 0);              // 0.78 of the way from 0 to 1, truncated
}

TEST(Tiff, ColourRowsComeFromTheDisplayRowsTopFirst) {
  test::TempDir dir;
  auto store = ImageStore::Create();
  // BitmapRows are bottom-up blue, green, red: bitmap row k is picture row 289 - k.
  for (int k = 0; k < 290; ++k) {
    for (int c = 0; c < 512; ++c) {
      uint8_t* p = &store->BitmapRows[static_cast<size_t>(k) * 1536 + 3 * c];
      p[0] = static_cast<uint8_t>(c == 510 ? 7 : 10);  // blue
      p[1] = static_cast<uint8_t>(k % 250);            // green
      p[2] = static_cast<uint8_t>(200);                // red
    }
  }
  const auto file = dir.path() / "c.tif";
  ASSERT_EQ(WriteTiffFile(*store, true, file), 0);
  const auto b = ReadBytes(file);
  auto px = [&](int row, int col, int k) { return static_cast<int>(b[258 + row * 1530 + 3 * col + k]); };
  EXPECT_EQ(px(0, 0, 0), 200);        // red first
  EXPECT_EQ(px(0, 0, 1), 289 % 250);  // output row 0: bitmap row 289, the top of the picture
  EXPECT_EQ(px(0, 509, 2), 10);       // blue last; column 510 never used
  EXPECT_EQ(px(371, 100, 1), 0);      // output row 371: bitmap row 0, picture row 289
  for (int i = 0; i < 372; ++i) {
    const double y = (371 - i) * 290.0 / 372.0;
    const int lo = static_cast<int>(y);
    const int hi = std::min(lo + 1, 289);
    const double v = (lo % 250) + ((hi % 250) - (lo % 250)) * (y - lo);
    ASSERT_NEAR(px(i, 7, 1), v, 1.0) << i;
  }
}

TEST(Tiff, FailedWriteKeepsThePreviousFile) {
  test::TempDir dir;
  auto store = ImageStore::Create();
  const auto file = dir.path() / "keep.tif";
  test::WriteBytes(file, {4, 2});
  for (long long limit : {0LL, 100LL, 5000LL, 569418LL}) {
    SetAtomicWriteLimitForTesting(limit);
    EXPECT_EQ(WriteTiffFile(*store, true, file), 1);
    SetAtomicWriteLimitForTesting(-1);
    EXPECT_EQ(ReadBytes(file), (std::vector<unsigned char>{4, 2}));
  }
  EXPECT_EQ(WriteTiffFile(*store, false, file / "x.tif"), 1);
}

}  // namespace
}  // namespace nyxel
