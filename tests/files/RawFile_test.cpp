#include "files/RawFile.h"

#include <gtest/gtest.h>

#include <random>

#include "core/AtomicFile.h"
#include "core/RecordingHost.h"
#include "files/FitsFile.h"
#include "tests/files/RawFileTestState.h"
#include "tests/support/TestSupport.h"

namespace nyxel {
namespace {

using test::ReadBytes;
using test::StoreSnapshot;
using test::WriteBytes;

// Native rows: pixel (r, c) = r * 200 + c, little-endian, 510 a row.
std::vector<unsigned char> NativeBytes(size_t length, int rows) {
  std::vector<unsigned char> b(length, 0xEE);
  for (int r = 0; r < rows; ++r) {
    for (int c = 0; c < 510; ++c) {
      const uint16_t v = static_cast<uint16_t>(r * 200 + c);
      b[r * 1020 + 2 * c] = v & 0xFF;
      b[r * 1020 + 2 * c + 1] = v >> 8;
    }
  }
  return b;
}

TEST(RawFile, LoadsEveryNativeLayout) {
  struct Case {
    size_t length;
    int rows;
    bool colour;
  };
  const Case cases[] = {{295800, 290, false},
                        {741240, 290, true},
                        {261120, 256, false},
                        {262144, 256, false},
                        {654336, 256, true}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.length);
    test::TempDir dir;
    auto b = NativeBytes(c.length, c.rows);
    const size_t planes = static_cast<size_t>(c.rows) * 1020;
    const size_t plane_bytes = static_cast<size_t>(c.rows) * 512;
    if (c.colour) {
      for (size_t i = 0; i < 3 * plane_bytes; ++i)
        b[planes + i] = static_cast<unsigned char>(i / plane_bytes + 1);
    }
    const auto file = dir.path() / "Image~1";
    WriteBytes(file, b);

    auto store = ImageStore::Create();
    test::FillRandom(*store, 1);
    AddHistoryLine(store->History, "old line");
    const uint16_t col510 = store->CurrentFrame[PixelIndex(3, 510)];
    FitsHeader fits = test::SampleHeader();
    RecordingHost host;
    ASSERT_EQ(LoadImageFile(*store, fits, host, file), 0);
    EXPECT_TRUE(host.boxes.empty());
    EXPECT_EQ(store->CurrentFileName, "Image~1");
    EXPECT_EQ(store->ColourConverted, c.colour ? 1 : 0);
    EXPECT_EQ(store->CurrentFrame[PixelIndex(0, 0)], 0);
    EXPECT_EQ(store->CurrentFrame[PixelIndex(c.rows - 1, 509)], (c.rows - 1) * 200 + 509);
    EXPECT_EQ(store->CurrentFrame[PixelIndex(3, 510)], col510);  // never stored, so never loaded
    for (int r = c.rows; r < 290; ++r) {
      for (int col = 0; col < 512; ++col) ASSERT_EQ(store->CurrentFrame[PixelIndex(r, col)], 0);
    }
    if (c.colour) {
      EXPECT_EQ(store->RedPlane[0], 1);
      EXPECT_EQ(store->GreenPlane[plane_bytes - 1], 2);
      EXPECT_EQ(store->BluePlane[0], 3);
      EXPECT_EQ(store->BluePlane[plane_bytes - 1], 3);
      if (c.rows == 256) {
        EXPECT_EQ(store->RedPlane[PixelIndex(289, 511)], 0);
      }
    }
    // ResetImageInfo ran: texts and history cleared, instrument back to its default, origin and time kept.
    EXPECT_FALSE(store->History.Used(0));
    EXPECT_EQ(fits.fits_object, "");
    EXPECT_EQ(fits.fits_instrument, "Halvorn CCD");
    EXPECT_EQ(fits.fits_comment_text, "");
    EXPECT_EQ(fits.fits_origin, "Back garden");
    EXPECT_EQ(fits.fits_time_obs, "21:04:09");
  }
}

TEST(RawFile, RefusedLoadsChangeNothing) {
  test::TempDir dir;
  struct Case {
    const char* name;
    size_t length;  // 0: no file at all
    bool merge_colour;
    int message;
  };
  const Case cases[] = {
      {"missing", 0, false, 11},
      {"one byte too long", 295801, false, 12},
      {"one byte too short", 295799, false, 12},
      {"empty", 1, false, 12},
      {"mono into a colour merge", 295800, true, 12},
      {"old mono into a colour merge", 261120, true, 12},
      {"mono FITS into a colour merge", 303040, true, 12},
      {"FITS length, not FITS", 303040, false, 14},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const auto file = dir.path() / c.name;
    if (c.length == 1)
      WriteBytes(file, {});
    else if (c.length)
      WriteBytes(file, std::vector<unsigned char>(c.length, 7));
    auto store = ImageStore::Create();
    test::FillRandom(*store, 2);
    AddHistoryLine(store->History, "keep");
    store->MergeMode = c.merge_colour;
    store->ColourConverted = c.merge_colour ? 1 : 0;
    FitsHeader fits = test::SampleHeader();
    // A colour image stays colour after a refused load outside merge mode too.
    if (!c.merge_colour) store->ColourConverted = 1;
    store->CurrentFileName = "before.fit";
    const StoreSnapshot before(*store, fits);
    RecordingHost host;
    EXPECT_EQ(LoadImageFile(*store, fits, host, file), c.message);
    ASSERT_EQ(host.boxes.size(), 1u);
    EXPECT_EQ(host.boxes[0].caption, "Nyxel");
    EXPECT_TRUE(StoreSnapshot(*store, fits) == before);
    EXPECT_EQ(store->CurrentFileName, "before.fit");  // nor the picture's name (the caption)
  }
}

TEST(RawFile, ColourMergeAcceptsColourFiles) {
  test::TempDir dir;
  const auto file = dir.path() / "c";
  WriteBytes(file, NativeBytes(741240, 290));
  auto store = ImageStore::Create();
  store->MergeMode = 1;
  store->ColourConverted = 1;
  FitsHeader fits;
  RecordingHost host;
  EXPECT_EQ(LoadImageFile(*store, fits, host, file), 0);
  EXPECT_EQ(store->ColourConverted, 1);
  // In merge mode a monochrome file into a monochrome image keeps the flag as it was.
  const auto mono = dir.path() / "m";
  WriteBytes(mono, NativeBytes(295800, 290));
  store->ColourConverted = 0;
  EXPECT_EQ(LoadImageFile(*store, fits, host, mono), 0);
  EXPECT_EQ(store->ColourConverted, 0);
}

TEST(RawFile, SaveAndLoadRoundTrip) {
  for (int colour : {0, 1}) {
    SCOPED_TRACE(colour);
    test::TempDir dir;
    auto from = ImageStore::Create();
    test::FillRandom(*from, 30 + colour);
    from->ColourConverted = colour;
    RecordingHost host;
    const auto file = dir.path() / "round";
    ASSERT_EQ(SaveRawImageFile(*from, host, file), 0);
    EXPECT_EQ(host.busy_depth, 0);
    const auto b = ReadBytes(file);
    ASSERT_EQ(b.size(), colour ? 741240u : 295800u);
    // Row 1 starts at byte 1,020 with column 0, little-endian.
    EXPECT_EQ(b[1020], from->CurrentFrame[PixelIndex(1, 0)] & 0xFF);
    EXPECT_EQ(b[1021], from->CurrentFrame[PixelIndex(1, 0)] >> 8);

    auto to = ImageStore::Create();
    test::FillRandom(*to, 40);
    const auto col510 = to->CurrentFrame[PixelIndex(100, 510)];
    const auto col511 = to->CurrentFrame[PixelIndex(100, 511)];
    FitsHeader fits;
    ASSERT_EQ(LoadImageFile(*to, fits, host, file), 0);
    for (int r = 0; r < 290; ++r) {
      for (int c = 0; c < 510; ++c)
        ASSERT_EQ(to->CurrentFrame[PixelIndex(r, c)], from->CurrentFrame[PixelIndex(r, c)]);
    }
    EXPECT_EQ(to->CurrentFrame[PixelIndex(100, 510)], col510);
    EXPECT_EQ(to->CurrentFrame[PixelIndex(100, 511)], col511);
    EXPECT_EQ(to->ColourConverted, colour);
    if (colour) {
      EXPECT_TRUE(
          std::equal(from->RedPlane.begin(), from->RedPlane.begin() + kFramePixels, to->RedPlane.begin()));
      EXPECT_TRUE(std::equal(from->GreenPlane.begin(), from->GreenPlane.begin() + kFramePixels,
                             to->GreenPlane.begin()));
      EXPECT_TRUE(
          std::equal(from->BluePlane.begin(), from->BluePlane.begin() + kFramePixels, to->BluePlane.begin()));
    }
  }
}

TEST(RawFile, FailedSavesShowTheirMessageAndKeepThePreviousFile) {
  struct Case {
    int colour;
    long long limit;  // -1: the folder cannot exist
    int message;
  };
  const Case cases[] = {
      {0, -1, 17}, {0, 0, 18}, {0, 5000, 18}, {1, 295800 + 10, 19}, {1, 295800 + 2 * 148480 + 1, 19}};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.colour << " " << c.limit);
    test::TempDir dir;
    const auto file = dir.path() / "prev";
    WriteBytes(file, {9, 9});
    auto store = ImageStore::Create();
    store->ColourConverted = c.colour;
    RecordingHost host;
    if (c.limit >= 0) SetAtomicWriteLimitForTesting(c.limit);
    EXPECT_EQ(SaveRawImageFile(*store, host, c.limit < 0 ? file / "x" : file), c.message);
    SetAtomicWriteLimitForTesting(-1);
    ASSERT_EQ(host.boxes.size(), 1u);
    EXPECT_EQ(host.boxes[0].text,
              c.message == 17 ? "Failed to Save RV File" : "Unable to create/overwrite RV File");
    EXPECT_EQ(ReadBytes(file), (std::vector<unsigned char>{9, 9}));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1);
  }
}

TEST(RawFile, FlatFieldAveragesPairsUnlessKeepingPixels) {
  test::TempDir dir;
  auto store = ImageStore::Create();
  for (int r = 0; r < 290; ++r) {
    for (int c = 0; c < 512; ++c) store->CurrentFrame[PixelIndex(r, c)] = c % 2 ? 201 : 100;
  }
  store->CurrentFrame[PixelIndex(7, 509)] = 65535;
  store->CurrentFrame[PixelIndex(7, 510)] = 65535;  // the neighbour of column 509
  const auto file = dir.path() / "flat";
  ASSERT_EQ(SaveFlatFieldFile(file, store->CurrentFrame, false), 0);
  auto b = ReadBytes(file);
  ASSERT_EQ(b.size(), 295800u);
  auto at = [&](int r, int c) { return b[r * 1020 + 2 * c] | (b[r * 1020 + 2 * c + 1] << 8); };
  for (int c = 0; c < 510; ++c) ASSERT_EQ(at(0, c), 150) << c;
  EXPECT_EQ(at(7, 508), (100 + 65535) / 2);
  EXPECT_EQ(at(7, 509), 65535);  // no overflow in the sum

  ASSERT_EQ(SaveFlatFieldFile(file, store->CurrentFrame, true), 0);
  b = ReadBytes(file);
  EXPECT_EQ(at(0, 0), 100);
  EXPECT_EQ(at(0, 1), 201);

  WriteBytes(file, {1});
  SetAtomicWriteLimitForTesting(10);
  EXPECT_EQ(SaveFlatFieldFile(file, store->CurrentFrame, true), 1);
  SetAtomicWriteLimitForTesting(-1);
  EXPECT_EQ(ReadBytes(file), std::vector<unsigned char>{1});
}

TEST(RawFile, DarkFrameSubtractionClampsAtZero) {
  test::TempDir dir;
  auto store = ImageStore::Create();
  // Dark: 500 everywhere it is stored.
  std::vector<unsigned char> dark(295800);
  for (size_t i = 0; i < dark.size(); i += 2) {
    dark[i] = 500 & 0xFF;
    dark[i + 1] = 500 >> 8;
  }
  const auto file = dir.path() / "dark.def";
  WriteBytes(file, dark);
  store->UndoFrame.fill(7);  // columns 510 and 511 of the buffer keep what they held
  for (int i = 0; i < kFramePixels; ++i) store->CurrentFrame[i] = static_cast<uint16_t>(i % 1000);
  RecordingHost host;
  ASSERT_EQ(SubtractDarkFrameFile(host, false, file, store->UndoFrame, store->CurrentFrame), kDarkOk);
  EXPECT_TRUE(host.boxes.empty());
  EXPECT_EQ(store->CurrentFrame[499], 0);
  EXPECT_EQ(store->CurrentFrame[500], 0);  // equal: zero
  EXPECT_EQ(store->CurrentFrame[501], 1);
  EXPECT_EQ(store->CurrentFrame[0], 0);  // larger dark: zero, not a wrapped value
  EXPECT_EQ(store->CurrentFrame[PixelIndex(1, 510)], (PixelIndex(1, 510) % 1000) - 7);

  // Already loaded: the file is not read again (it is gone), the buffer is used.
  std::filesystem::remove(file);
  store->CurrentFrame.fill(600);
  ASSERT_EQ(SubtractDarkFrameFile(host, true, file, store->UndoFrame, store->CurrentFrame), kDarkOk);
  EXPECT_EQ(store->CurrentFrame[0], 100);

  struct Case {
    size_t length;  // 0: missing
    int result;
    const char* text;
  };
  const Case cases[] = {{0, kDarkNotOpened, "Failed to Open Darkframe RV File"},
                        {295801, kDarkWrongLength, "Sorry, chosen Darkframe is not an QK File"},
                        {741240, kDarkWrongLength, "Sorry, chosen Darkframe is not an QK File"}};
  for (const Case& c : cases) {
    if (c.length) WriteBytes(file, std::vector<unsigned char>(c.length, 1));
    store->CurrentFrame.fill(600);
    const StoreSnapshot before(*store, FitsHeader{});
    const auto undo = store->UndoFrame;
    host.Clear();
    EXPECT_EQ(SubtractDarkFrameFile(host, false, file, store->UndoFrame, store->CurrentFrame), c.result);
    ASSERT_EQ(host.boxes.size(), 1u);
    EXPECT_EQ(host.boxes[0].text, c.text);
    EXPECT_EQ(host.boxes[0].caption, "TESSARON");
    EXPECT_TRUE(StoreSnapshot(*store, FitsHeader{}) == before);
    EXPECT_EQ(store->UndoFrame, undo);
  }
}

TEST(RawFile, SecondImageLoader) {
  test::TempDir dir;
  auto src = ImageStore::Create();
  test::FillRandom(*src, 50);
  const auto fits_file = dir.path() / "f.fit";
  ASSERT_EQ(WriteFitsFile(fits_file, src->CurrentFrame, *src, FitsHeader{}, true), kFitsOk);
  WriteBytes(dir.path() / "n741240", NativeBytes(741240, 290));
  WriteBytes(dir.path() / "n262144", NativeBytes(262144, 256));
  auto old = ReadBytes(fits_file);
  old.resize(745280);
  WriteBytes(dir.path() / "old745280", old);
  auto foreign = ReadBytes(fits_file);
  foreign[80 + 29] = '8';
  WriteBytes(dir.path() / "foreign.fit", foreign);

  struct Case {
    const char* name;
    int result;
    const char* text;  // "" when nothing is shown
  };
  const Case cases[] = {
      {"f.fit", 0, ""},
      {"n741240", 0, ""},
      {"n262144", 0, ""},
      {"old745280", 1, "Sorry, you didn't choose an RV File"},
      {"missing", 1, "Sorry, you didn't choose an RV File"},
      {"foreign.fit", 2, "Unable to load FITS file, File was not saved by this program"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    auto store = ImageStore::Create();
    test::FillRandom(*store, 51);
    store->ColourConverted = 1;
    RecordingHost host;
    const StoreSnapshot before(*store, FitsHeader{});
    EXPECT_EQ(LoadSecondImageFile(*store, host, dir.path() / c.name), c.result);
    StoreSnapshot after(*store, FitsHeader{});
    EXPECT_EQ(after.current, before.current);
    EXPECT_EQ(after.red, before.red);  // colour planes in the file are not read
    EXPECT_EQ(after.colour, 1);
    if (c.result == 0) {
      EXPECT_TRUE(host.boxes.empty());
      if (std::string(c.name) == "f.fit") {
        EXPECT_TRUE(std::equal(src->CurrentFrame.begin(), src->CurrentFrame.begin() + kFramePixels,
                               store->SecondFrame.begin()));
      } else {
        EXPECT_EQ(store->SecondFrame[PixelIndex(255, 509)], 255 * 200 + 509);
      }
    } else {
      EXPECT_TRUE(after == before);
      ASSERT_EQ(host.boxes.size(), 1u);
      EXPECT_EQ(host.boxes[0].text, c.text);
    }
  }
}

// Random bytes of every accepted length, and one byte shorter or longer: no loader may crash, and a
// refused file leaves the store as it was.
TEST(RawFile, RandomFilesNeverCorruptTheStore) {
  test::TempDir dir;
  std::mt19937 rng(1234);
  const size_t lengths[] = {295800, 741240, 261120, 262144, 654336, 303040, 748160, 300160, 745280};
  for (size_t base : lengths) {
    for (long delta : {-1L, 0L, 1L}) {
      const size_t n = static_cast<size_t>(static_cast<long>(base) + delta);
      SCOPED_TRACE(n);
      std::vector<unsigned char> b(n);
      for (auto& x : b) x = static_cast<unsigned char>(rng());
      const auto file = dir.path() / "fuzz";
      WriteBytes(file, b);
      auto store = ImageStore::Create();
      test::FillRandom(*store, 60);
      FitsHeader fits = test::SampleHeader();
      const StoreSnapshot before(*store, fits);
      RecordingHost host;
      const int loaded = LoadImageFile(*store, fits, host, file);
      const bool native = base <= 741240 && base != 303040 && base != 300160;
      if (delta != 0 || !native) {
        EXPECT_NE(loaded, 0);
        EXPECT_TRUE(StoreSnapshot(*store, fits) == before);
      }
      const StoreSnapshot mid(*store, fits);
      const int second = LoadSecondImageFile(*store, host, file);
      if (second != 0) {
        EXPECT_TRUE(StoreSnapshot(*store, fits) == mid);
      }
    }
  }
}

}  // namespace
}  // namespace nyxel
