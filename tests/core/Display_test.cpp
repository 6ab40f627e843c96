#include "core/Display.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "core/AtomicFile.h"
#include "core/RecordingHost.h"
#include "tests/support/TestSupport.h"

namespace nyxel {
namespace {

uint32_t Le32(const std::vector<unsigned char>& b, size_t at) {
  return b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) | (static_cast<uint32_t>(b[at + 3]) << 24);
}
uint16_t Le16(const std::vector<unsigned char>& b, size_t at) { return static_cast<uint16_t>(b[at] | (b[at + 1] << 8)); }

class DisplayTest : public ::testing::Test {
 protected:
  void SetUp() override { InitImageStore(store); }
  std::filesystem::path Bitmap() const { return drive.Resolve(kDisplayBitmapPath); }
  std::filesystem::path FocusBitmap() const { return drive.Resolve(kFocusBitmapPath); }
  void Fill(uint16_t v) { std::fill_n(store.CurrentFrame.begin(), kFramePixels, v); }

  test::TempDir dir;
  Drive drive{dir.path()};
  std::unique_ptr<ImageStore> owner = ImageStore::Create();
  ImageStore& store = *owner;
  RecordingHost host;
};

TEST_F(DisplayTest, StandardPictureIsTheHighByteWithBlackLastColumns) {
  Fill(0x12FF);
  BuildDisplayImage(store);
  for (int row = 0; row < kFrameHeight; ++row) {
    for (int c = 0; c < kFrameWidth; ++c) {
      ASSERT_EQ(store.DisplayImage[PixelIndex(row, c)], c >= 510 ? 0 : 0x12) << row << "," << c;
    }
  }
}

TEST_F(DisplayTest, RvGeometryInterpolatesRowsAndKeepsItsEnds) {
  // Every row and column different, so a wrong source row or column shows.
  for (int r = 0; r < kFrameHeight; ++r)
    for (int c = 0; c < kFrameWidth; ++c) store.CurrentFrame[PixelIndex(r, c)] = static_cast<uint16_t>(((r * 7 + c) % 256) << 8);
  store.RvGeometry = 1;
  BuildDisplayImage(store);
  auto h = [&](int r, int c) { return store.CurrentFrame[PixelIndex(r, c)] >> 8; };
  for (int c = 0; c < 510; ++c) {
    ASSERT_EQ(store.DisplayImage[PixelIndex(0, c)], h(0, c));
    ASSERT_EQ(store.DisplayImage[PixelIndex(372, c)], h(289, c));  // its own neighbour: f is ignored
  }
  // Row 100: y = 100 / 1.2862068 = 77.748..., between source rows 77 and 78.
  const double f = 100.0 / 1.2862068 - 77.0;
  for (int c = 0; c < 510; ++c) {
    const double v = h(77, c) + (h(78, c) - h(77, c)) * f;
    ASSERT_NEAR(store.DisplayImage[PixelIndex(100, c)], std::floor(v), 1.0) << c;
  }
  for (int r = 0; r < kRvHeight; ++r) {
    ASSERT_EQ(store.DisplayImage[PixelIndex(r, 510)], 0);
    ASSERT_EQ(store.DisplayImage[PixelIndex(r, 511)], 0);
  }
}

TEST_F(DisplayTest, FocusWindowCopiesOnlyThePackedWindow) {
  store.DisplayImage.fill(7);
  Fill(0x4000);
  store.FocusMode = 1;
  store.RvGeometry = 1;  // ignored for the focus window
  BuildDisplayImage(store);
  EXPECT_EQ(store.DisplayImage[0], 0x40);
  EXPECT_EQ(store.DisplayImage[25607], 0x40);
  EXPECT_EQ(store.DisplayImage[25608], 7);
}

TEST_F(DisplayTest, PaletteStretches) {
  struct Case {
    int max_all, auto_stretch, bits, black;
    std::vector<std::pair<int, int>> entries;  // value -> grey level
  };
  const std::vector<Case> cases = {
      {0, 0, 14, 0, {{0, 0}, {1, 1}, {128, 128}, {255, 255}}},
      {1, 0, 12, 0, {{1, 16}, {15, 240}, {16, 255}, {255, 255}}},
      {1, 0, 14, 0, {{10, 40}, {63, 252}, {64, 255}}},
      {1, 0, 16, 0, {{0, 0}, {100, 100}, {255, 255}}},
      {0, 1, 14, 40, {{0, 0}, {40, 0}, {41, 48}, {50, 96}, {140, 192}, {255, 242}}},
      {1, 1, 16, 40, {{41, 41}, {20, 20}}},  // the max palette stretch wins
  };
  for (const Case& c : cases) {
    store.MaxPaletteAll = c.max_all;
    store.AutoStretch = c.auto_stretch;
    store.PaletteBits = c.bits;
    store.BlackLevel = c.black;
    const auto p = DisplayPalette(store);
    for (auto [value, grey] : c.entries) EXPECT_EQ(p[value], grey) << "value " << value << " bits " << c.bits;
  }
  // The auto stretch curve reaches 255 exactly 255 levels above the black level.
  EXPECT_EQ(AutoStretchBrightness(255, 0), 255);
  EXPECT_EQ(AutoStretchBrightness(254, 0), 254);
}

TEST_F(DisplayTest, GreyBitmapLayouts) {
  struct Case {
    const char* name;
    int rv, focus_mode, self_guide;
    bool focus_file;
    uint32_t width, height, size;
  };
  const Case cases[] = {
      {"standard", 0, 0, 0, false, 512, 290, 149558},
      {"rv", 1, 0, 0, false, 512, 373, 192054},
      {"focus", 0, 1, 0, true, 128, 128, 17462},
      {"self-guide", 0, 0, 1, false, 128, 128, 17462},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    InitImageStore(store);
    store.RvGeometry = c.rv;
    store.FocusMode = c.focus_mode;
    store.SelfGuideNext = c.self_guide;
    store.FocusBitmapUsed = 0;
    store.MaxPaletteAll = 1;
    store.PaletteBits = 15;
    BuildDisplayImage(store);
    ASSERT_EQ(WriteGreyBitmap(store, drive, false, c.rv), kBitmapWritten);
    EXPECT_EQ(store.FocusBitmapUsed, c.focus_file ? 1 : 0);
    const auto b = test::ReadBytes(c.focus_file ? FocusBitmap() : Bitmap());
    ASSERT_EQ(b.size(), c.size);
    EXPECT_EQ(b[0], 'B');
    EXPECT_EQ(b[1], 'M');
    EXPECT_EQ(Le32(b, 2), c.size);
    EXPECT_EQ(Le32(b, 6), 0u);
    EXPECT_EQ(Le32(b, 10), 1078u);
    EXPECT_EQ(Le32(b, 14), 40u);
    EXPECT_EQ(Le32(b, 18), c.width);
    EXPECT_EQ(Le32(b, 22), c.height);
    EXPECT_EQ(Le16(b, 26), 1);
    EXPECT_EQ(Le16(b, 28), 8);
    for (size_t at = 30; at < 54; ++at) EXPECT_EQ(b[at], 0) << at;
    // Colour table: blue, green, red, 0 of the display palette (here 2 x value, clamped).
    EXPECT_EQ(b[54 + 4 * 100], 200);
    EXPECT_EQ(b[54 + 4 * 100 + 2], 200);
    EXPECT_EQ(b[54 + 4 * 100 + 3], 0);
    EXPECT_EQ(b[54 + 4 * 200], 255);
    // Rows are stored bottom-up: the file's first row is the picture's last.
    for (uint32_t x = 0; x < c.width; ++x) {
      ASSERT_EQ(b[1078 + x], store.DisplayImage[(c.height - 1) * c.width + x]);
      ASSERT_EQ(b[c.size - c.width + x], store.DisplayImage[x]);
    }
    std::filesystem::remove(c.focus_file ? FocusBitmap() : Bitmap());
  }
}

TEST_F(DisplayTest, ColourPixels) {
  // L = 200, red 100, green 50, blue 20, saturation_factor 2 (s = 1.5): ratios 1, 80/130, 50/130.
  struct Case {
    int L, red, green, blue, sat, auto_stretch, black;
    int out_blue, out_green, out_red;
  };
  const Case cases[] = {
      {200, 100, 50, 20, 2, 0, 0, 15, 84, 200},
      {200, 100, 100, 100, 2, 0, 0, 200, 200, 200},  // grey stays grey
      {255, 0, 200, 0, 9, 0, 0, 255, 255, 255},      // white stays white
      {0, 255, 0, 0, 2, 0, 0, 0, 0, 0},              // black stays black
      {100, 0, 0, 200, 0, 0, 0, 100, 56, 56},        // s = 0.5: (1 + 0.5 x (30/230 - 1)) x 100
      {30, 10, 10, 10, 2, 1, 40, 0, 0, 0},           // below the black level
  };
  for (const Case& c : cases) {
    store.CurrentFrame[PixelIndex(5, 3)] = static_cast<uint16_t>(c.L << 8);
    store.RedPlane[PixelIndex(5, 3)] = static_cast<uint8_t>(c.red);
    store.GreenPlane[PixelIndex(5, 3)] = static_cast<uint8_t>(c.green);
    store.BluePlane[PixelIndex(5, 3)] = static_cast<uint8_t>(c.blue);
    store.ColourConverted = 1;
    store.AutoStretch = c.auto_stretch;
    store.BlackLevel = c.black;
    BuildDisplayImage(store);
    BuildColourRow(store, 5, c.sat);
    const uint8_t* px = &store.BitmapRows[(289 - 5) * 1536 + 3 * 3];
    EXPECT_EQ(px[0], c.out_blue) << c.L << " " << c.sat;
    EXPECT_EQ(px[1], c.out_green) << c.L << " " << c.sat;
    EXPECT_EQ(px[2], c.out_red) << c.L << " " << c.sat;
  }
}

TEST_F(DisplayTest, ColourBitmapLayoutsAndRvEnds) {
  for (int r = 0; r < kFrameHeight; ++r)
    for (int c = 0; c < kFrameWidth; ++c) {
      const int i = PixelIndex(r, c);
      store.CurrentFrame[i] = static_cast<uint16_t>((r % 200 + 20) << 8);
      store.RedPlane[i] = static_cast<uint8_t>(r);
      store.GreenPlane[i] = static_cast<uint8_t>(c);
      store.BluePlane[i] = 90;
    }
  store.ColourConverted = 1;
  for (int rv : {0, 1}) {
    SCOPED_TRACE(rv);
    store.RvGeometry = rv;
    ASSERT_EQ(RefreshDisplay(store, host, drive, 2), kBitmapWritten);
    const auto b = test::ReadBytes(Bitmap());
    const uint32_t rows = rv ? 373 : 290;
    ASSERT_EQ(b.size(), rv ? 572982u : 445494u);
    EXPECT_EQ(Le32(b, 2), b.size());
    EXPECT_EQ(Le32(b, 10), 54u);
    EXPECT_EQ(Le32(b, 18), 512u);
    EXPECT_EQ(Le32(b, 22), rows);
    EXPECT_EQ(Le16(b, 28), 24);
    // File row 0 is picture row 289 and the last file row is picture row 0, in both geometries.
    for (size_t k = 0; k < 1536; ++k) {
      ASSERT_EQ(b[54 + k], store.BitmapRows[k]);
      ASSERT_EQ(b[b.size() - 1536 + k], store.BitmapRows[289 * 1536 + k]);
    }
    // Columns 510 and 511 are black.
    EXPECT_EQ(b[54 + 510 * 3], 0);
    EXPECT_EQ(b[54 + 511 * 3 + 2], 0);
  }
  EXPECT_FALSE(host.progress_open);
  EXPECT_EQ(host.progress_positions.front(), -35);
  EXPECT_EQ(host.progress_positions[289], 254);
  EXPECT_EQ(host.progress_positions.size(), 2u * 290u);
}

TEST_F(DisplayTest, BlackLevelEstimates) {
  struct Case {
    uint16_t value;
    int black;
  };
  for (const Case c : {Case{0x3000, 0x30 / 3}, Case{0x0100, 0}, Case{0xFF00, 85}, Case{0, 0}}) {
    Fill(c.value);
    store.CurrentFrame[0] = 0xFFFF;  // header rows do not count
    EstimateBlackLevel(store);
    EXPECT_EQ(store.BlackLevel, c.black) << c.value;
  }
  // Three populations in rows 10..289: 10, 20 and 30 with falling counts -> (10 + 20 + 30) / 3.
  Fill(0);
  for (int i = kHeaderPixels; i < kFramePixels; ++i)
    store.CurrentFrame[i] = static_cast<uint16_t>((i % 10 < 5 ? 10 : i % 10 < 8 ? 20 : 30) << 8);
  EstimateBlackLevel(store);
  EXPECT_EQ(store.BlackLevel, 20);
  // The auto stretch level looks at rows 40..69 only; ties go to the lower value.
  Fill(0x5000);
  for (int i = PixelIndex(40, 0); i < PixelIndex(70, 0); ++i) store.CurrentFrame[i] = static_cast<uint16_t>((i % 2 ? 9 : 8) << 8);
  EstimateAutoStretchLevel(store);
  EXPECT_EQ(store.BlackLevel, 8);
}

TEST_F(DisplayTest, FailedWritesKeepThePreviousBitmap) {
  ASSERT_EQ(RefreshDisplay(store, host, drive, 2), kBitmapWritten);
  const auto before = test::ReadBytes(Bitmap());
  Fill(0x8000);
  struct Case {
    long long limit;
    int code;
    const char* message;
  };
  for (const Case c : {Case{100, kBitmapHeaderShort, "Unable to create temp bitmap file header"},
                       Case{1078 + 5000, kBitmapPixelsShort, "Unable to create temp bitmap file"}}) {
    host.Clear();
    SetAtomicWriteLimitForTesting(c.limit);
    EXPECT_EQ(RefreshDisplay(store, host, drive, 2), c.code);
    SetAtomicWriteLimitForTesting(-1);
    EXPECT_EQ(test::ReadBytes(Bitmap()), before);
    ASSERT_EQ(host.boxes.size(), 1u);
    EXPECT_EQ(host.boxes[0].text, c.message);
    EXPECT_EQ(host.boxes[0].caption, "Nyxel");
    ASSERT_EQ(host.shown_bitmaps.size(), 1u);  // the window still loads what is on disk
    EXPECT_EQ(host.shown_bitmaps[0], Bitmap());
  }
  // A drive folder that cannot hold files.
  const auto blocked = dir.path() / "blocked";
  test::WriteBytes(blocked, {1});
  host.Clear();
  EXPECT_EQ(RefreshDisplay(store, host, Drive(blocked), 2), kBitmapNotCreated);
  EXPECT_EQ(host.Texts(), std::vector<std::string>{"Failed to create temp bitmap"});
  // Nothing is left behind but the bitmap itself.
  int files = 0;
  for (const auto& e : std::filesystem::directory_iterator(dir.path())) files += e.is_regular_file();
  EXPECT_EQ(files, 2);  // nyxel.bmp and the blocking file
}

TEST_F(DisplayTest, RefreshCaptionAndFiles) {
  store.CurrentFileName = "m42.fit";
  store.GuideFrameDisplay = 1;
  RefreshDisplay(store, host, drive, 2);
  EXPECT_EQ(host.caption, "Nyxel - m42.fit");
  EXPECT_EQ(host.shown_bitmaps.back(), FocusBitmap());
  EXPECT_EQ(test::ReadBytes(FocusBitmap()).size(), 17462u);
  store.GuideFrameDisplay = 0;
  store.CurrentFileName.clear();
  RefreshDisplay(store, host, drive, 2);
  EXPECT_EQ(host.caption, "Nyxel - (Untitled)");
  EXPECT_EQ(host.shown_bitmaps.back(), Bitmap());
}

TEST_F(DisplayTest, ViewTogglesExcludeEachOther) {
  EXPECT_TRUE(SetRvGeometry(store, true));
  EXPECT_TRUE(SetFitToWindow(store, true));  // leaves RV geometry: the picture must be rebuilt
  EXPECT_EQ(store.RvGeometry, 0);
  EXPECT_EQ(store.FitToWindow, 1);
  EXPECT_TRUE(SetRvGeometry(store, true));
  EXPECT_EQ(store.FitToWindow, 0);
  EXPECT_FALSE(SetRvGeometry(store, true));
  EXPECT_FALSE(SetFitToWindow(store, false));
}

TEST_F(DisplayTest, MirrorTwiceRestoresAndKeepsTheBanner) {
  for (int i = 0; i < kFramePixels; ++i) store.CurrentFrame[i] = static_cast<uint16_t>(i * 37);
  for (bool labelled : {false, true}) {
    SCOPED_TRACE(labelled);
    if (labelled) {
      store.CurrentFrame[4] = 17;
      store.CurrentFrame[5] = 17;
    }
    store.ColourConverted = 1;
    for (int i = 0; i < kFramePixels; ++i) store.RedPlane[i] = static_cast<uint8_t>(i);
    const Frame original = store.CurrentFrame;
    const Plane red = store.RedPlane;
    MirrorImage(store);
    EXPECT_EQ(store.CurrentFrame[PixelIndex(20, 0)], original[PixelIndex(20, 511)]);
    EXPECT_EQ(store.RedPlane[PixelIndex(20, 3)], red[PixelIndex(20, 508)]);
    EXPECT_EQ(store.CurrentFrame[PixelIndex(9, 0)], original[PixelIndex(9, labelled ? 0 : 511)]);
    MirrorImage(store);
    EXPECT_EQ(store.CurrentFrame, original);
    EXPECT_EQ(store.RedPlane, red);
  }
}

}  // namespace
}  // namespace nyxel
