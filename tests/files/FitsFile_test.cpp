#include "files/FitsFile.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "core/AtomicFile.h"
#include "tests/files/RawFileTestState.h"
#include "tests/support/TestSupport.h"

namespace nyxel {
namespace {

using test::ReadBytes;
using test::StoreSnapshot;
using test::WriteBytes;

std::string CardAt(const std::vector<unsigned char>& bytes, int card) {
  return std::string(bytes.begin() + (card - 1) * 80, bytes.begin() + card * 80);
}

std::string Padded(std::string s) {
  s.resize(80, ' ');
  return s;
}

TEST(FitsFile, MonochromeLayoutIsByteExact) {
  test::TempDir dir;
  auto store = ImageStore::Create();
  store->CurrentFrame.fill(1234);
  store->CurrentFrame[0] = 0;
  store->CurrentFrame[1] = 65535;
  store->CurrentFrame[PixelIndex(289, 511)] = 0x1234;
  AddHistoryLine(store->History, "Normal Stretch 10 200");
  FitsHeader fits = test::SampleHeader();
  fits.fits_comment_text =
      std::string(68, 'a') + std::string(68, 'b') + std::string(68, 'c') + std::string(51, 'd');
  const auto file = dir.path() / "m.fit";
  ASSERT_EQ(WriteFitsFile(file, store->CurrentFrame, *store, fits, false), kFitsOk);
  const auto b = ReadBytes(file);
  ASSERT_EQ(b.size(), 303040u);

  const std::vector<std::pair<int, std::string>> cards = {
      {1, "SIMPLE  =                    T /"},
      {2, "BITPIX  =                   16 /"},
      {3, "NAXIS   =                    2 /"},
      {4, "NAXIS1  =                  512 /"},
      {5, "NAXIS2  =                  290 /"},
      {6, "OBJECT  = 'M42 Orion nebula'"},
      {7, "TELESCOP= '8 inch SCT'"},
      {8, "INSTRUME= 'RV9 colour'"},
      {11, "DATE-OBS= '2007-03-05'"},
      {12, "TIME-OBS= '21:04:09'"},
      {13, "HISTORY = 'Normal Stretch 10 200'"},
      {14, "HISTORY = ''"},  // an empty history line: the closing quote at position 11
      {28, "HISTORY = '" + Padded("Stacked by hand").substr(0, 68) + "'"},
      {32, "COMMENT = '" + std::string(68, 'a') + "'"},
      {34, "COMMENT = '" + std::string(68, 'c') + "'"},
      {35, "COMMENT = '" + std::string(51, 'd') + std::string(17, ' ') + "'"},
      {36, "BZERO   =   +3.2768000000E+04"},
      {37, "BSCALE  =   +1.0000000000E+00"},
      {38, "PIXWIDTH=    9.8000000000E-03"},
      {39, "PIXHEIGH=    1.2600000000E-02"},
      {40, "SATURATE=                32768"},
      {41, "EXPTIME =    3.0500000000E+01"},
      {44, "FILTER  = 'IR block'"},
      {45, "END"},
      {46, ""},
      {72, ""},
  };
  for (const auto& [n, text] : cards) EXPECT_EQ(CardAt(b, n), Padded(text)) << "card " << n;
  // Card 45 starts at byte 3,520, the data at 5,760, in the signed coding, most significant byte first.
  EXPECT_EQ(std::string(b.begin() + 3520, b.begin() + 3523), "END");
  EXPECT_EQ(b[5760], 0x80);
  EXPECT_EQ(b[5761], 0x00);
  EXPECT_EQ(b[5762], 0x7F);
  EXPECT_EQ(b[5763], 0xFF);
  const size_t last = 5760 + 2 * static_cast<size_t>(PixelIndex(289, 511));
  EXPECT_EQ(b[last], 0x92);
  EXPECT_EQ(b[last + 1], 0x34);
  for (size_t i = 303040 - 320; i < 303040; ++i) ASSERT_EQ(b[i], ' ') << i;
}

TEST(FitsFile, UnsignedCodingAndColourPlanes) {
  test::TempDir dir;
  auto store = ImageStore::Create();
  test::FillRandom(*store, 7);
  FitsHeader fits;
  fits.fits_unsigned = 1;
  const auto file = dir.path() / "c.fit";
  ASSERT_EQ(WriteFitsFile(file, store->CurrentFrame, *store, fits, true), kFitsOk);
  const auto b = ReadBytes(file);
  ASSERT_EQ(b.size(), 748160u);
  EXPECT_EQ(CardAt(b, 36), Padded("BZERO   =   +0.0000000000E+00"));
  EXPECT_EQ(CardAt(b, 40), Padded("SATURATE=                65535"));
  EXPECT_EQ(b[5760], store->CurrentFrame[0] >> 8);
  EXPECT_EQ(b[5761], store->CurrentFrame[0] & 0xFF);
  // Planes follow in the order red, green, blue.
  const size_t planes = 5760 + 296960;
  EXPECT_EQ(0, std::memcmp(&b[planes], store->RedPlane.data(), kFramePixels));
  EXPECT_EQ(0, std::memcmp(&b[planes + kFramePixels], store->GreenPlane.data(), kFramePixels));
  EXPECT_EQ(0, std::memcmp(&b[planes + 2 * kFramePixels], store->BluePlane.data(), kFramePixels));
}

TEST(FitsFile, RoundTripsEveryValue) {
  for (int coding : {0, 1}) {
    for (bool colour : {false, true}) {
      SCOPED_TRACE(testing::Message() << "unsigned " << coding << " colour " << colour);
      test::TempDir dir;
      auto from = ImageStore::Create();
      test::FillRandom(*from, 11 + coding);
      from->CurrentFrame[5] = 0;
      from->CurrentFrame[6] = 65535;
      for (int i = 0; i < kHistoryLines; ++i) AddHistoryLine(from->History, std::string(39, 'A' + i));
      FitsHeader fits = test::SampleHeader();
      fits.fits_unsigned = coding;
      fits.fits_comment_text = std::string(255, 'x');
      fits.fits_comment_text[254] = 'z';
      fits.fits_history_text = std::string(255, 'h');
      const auto file = dir.path() / "r.fit";
      ASSERT_EQ(WriteFitsFile(file, from->CurrentFrame, *from, fits, colour), kFitsOk);

      auto to = ImageStore::Create();
      FitsHeader back;
      back.fits_unsigned = 1 - coding;
      ASSERT_EQ(ReadFitsFile(file, to->CurrentFrame, *to, back, colour, FitsHeaderKind::Current), kFitsOk);
      EXPECT_TRUE(std::equal(from->CurrentFrame.begin(), from->CurrentFrame.begin() + kFramePixels,
                             to->CurrentFrame.begin()));
      EXPECT_EQ(to->History.HistoryLine, from->History.HistoryLine);
      EXPECT_EQ(back.fits_object, fits.fits_object);
      EXPECT_EQ(back.fits_telescope, fits.fits_telescope);
      EXPECT_EQ(back.fits_instrument, fits.fits_instrument);
      EXPECT_EQ(back.fits_observer, fits.fits_observer);
      EXPECT_EQ(back.fits_origin, fits.fits_origin);
      EXPECT_EQ(back.fits_date_obs, fits.fits_date_obs);
      EXPECT_EQ(back.fits_time_obs, fits.fits_time_obs);
      EXPECT_EQ(back.fits_comment_text, fits.fits_comment_text);
      EXPECT_EQ(back.fits_history_text, fits.fits_history_text);
      EXPECT_DOUBLE_EQ(back.fits_pixel_width, fits.fits_pixel_width);
      EXPECT_DOUBLE_EQ(back.fits_pixel_height, fits.fits_pixel_height);
      EXPECT_DOUBLE_EQ(back.fits_exposure, fits.fits_exposure);
      EXPECT_DOUBLE_EQ(back.fits_focal_length, fits.fits_focal_length);
      EXPECT_DOUBLE_EQ(back.fits_aperture, fits.fits_aperture);
      EXPECT_EQ(back.fits_filter, fits.fits_filter);
      EXPECT_EQ(back.fits_unsigned, coding);
      if (colour) {
        EXPECT_TRUE(
            std::equal(from->RedPlane.begin(), from->RedPlane.begin() + kFramePixels, to->RedPlane.begin()));
        EXPECT_TRUE(std::equal(from->GreenPlane.begin(), from->GreenPlane.begin() + kFramePixels,
                               to->GreenPlane.begin()));
        EXPECT_TRUE(std::equal(from->BluePlane.begin(), from->BluePlane.begin() + kFramePixels,
                               to->BluePlane.begin()));
      }
    }
  }
}

TEST(FitsFile, ShortTextsReadBackPaddedTo255) {
  test::TempDir dir;
  auto store = ImageStore::Create();
  FitsHeader fits;
  fits.fits_comment_text = "short";
  const auto file = dir.path() / "s.fit";
  ASSERT_EQ(WriteFitsFile(file, store->CurrentFrame, *store, fits, false), kFitsOk);
  FitsHeader back;
  ASSERT_EQ(ReadFitsFile(file, store->CurrentFrame, *store, back, false, FitsHeaderKind::Current), kFitsOk);
  EXPECT_EQ(back.fits_comment_text, Padded("short").substr(0, 68) + std::string(68 + 68 + 51, ' '));
  EXPECT_EQ(back.fits_history_text, std::string(255, ' '));
}

TEST(FitsFile, RefusedHeadersChangeNothing) {
  test::TempDir dir;
  auto src = ImageStore::Create();
  test::FillRandom(*src, 3);
  AddHistoryLine(src->History, "From the file");
  const auto good = dir.path() / "good.fit";
  ASSERT_EQ(WriteFitsFile(good, src->CurrentFrame, *src, test::SampleHeader(), false), kFitsOk);
  const auto bytes = ReadBytes(good);

  struct Case {
    const char* name;
    int card;  // 1-based; 0 = truncate the file to `pos` bytes
    int pos;
    std::string text;
    int expected;
  };
  const Case cases[] = {
      {"BITPIX 8", 2, 0, "BITPIX  =                    8 /", kFitsForeign},
      {"NAXIS 3", 3, 29, "3", kFitsForeign},
      {"NAXIS1 511", 4, 27, "511", kFitsForeign},
      {"NAXIS2 289", 5, 27, "289", kFitsForeign},
      {"ends in the header", 0, 40 * 80, "", kFitsFailed},
      {"ends in the data", 0, 5760 + 1000, "", kFitsFailed},
      {"ends in card 2", 0, 100, "", kFitsFailed},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    auto b = bytes;
    if (c.card == 0) {
      b.resize(static_cast<size_t>(c.pos));
    } else {
      std::string card =
          c.card == 2 ? Padded(c.text) : CardAt(b, c.card).replace(c.pos, c.text.size(), c.text);
      std::copy(card.begin(), card.end(), b.begin() + (c.card - 1) * 80);
    }
    const auto file = dir.path() / "bad.fit";
    WriteBytes(file, b);
    auto store = ImageStore::Create();
    test::FillRandom(*store, 99);
    AddHistoryLine(store->History, "Before");
    FitsHeader fits;
    fits.fits_object = "kept";
    fits.fits_unsigned = 1;
    const StoreSnapshot before(*store, fits);
    EXPECT_EQ(ReadFitsFile(file, store->CurrentFrame, *store, fits, false, FitsHeaderKind::Current),
              c.expected);
    EXPECT_TRUE(StoreSnapshot(*store, fits) == before);
    EXPECT_EQ(ReadFitsImageOnly(file, store->SecondFrame), c.expected);
    EXPECT_TRUE(StoreSnapshot(*store, fits) == before);
  }
  auto store = ImageStore::Create();
  FitsHeader fits;
  EXPECT_EQ(ReadFitsFile(dir.path() / "missing.fit", store->CurrentFrame, *store, fits, false,
                         FitsHeaderKind::Current),
            kFitsFailed);
}

TEST(FitsFile, OldHeaderAlwaysUsesSignedCoding) {
  test::TempDir dir;
  auto src = ImageStore::Create();
  test::FillRandom(*src, 5);
  FitsHeader written = test::SampleHeader();
  const auto current = dir.path() / "cur.fit";
  ASSERT_EQ(WriteFitsFile(current, src->CurrentFrame, *src, written, true), kFitsOk);
  auto b = ReadBytes(current);
  // An old file: cards 1..35, an unsigned BZERO card as the 36th, then the data in the signed coding.
  std::vector<unsigned char> old(b.begin(), b.begin() + 35 * 80);
  const std::string bzero = Padded("BZERO   =   +0.0000000000E+00");
  old.insert(old.end(), bzero.begin(), bzero.end());
  old.insert(old.end(), b.begin() + 5760, b.end());
  ASSERT_EQ(old.size(), 745280u);
  const auto file = dir.path() / "old.fit";
  WriteBytes(file, old);

  auto store = ImageStore::Create();
  FitsHeader fits;
  fits.fits_unsigned = 1;
  fits.fits_exposure = 12;  // numbers and filter are not in an old header: they stay
  ASSERT_EQ(ReadFitsFile(file, store->CurrentFrame, *store, fits, true, FitsHeaderKind::Old), kFitsOk);
  EXPECT_EQ(fits.fits_unsigned, 0);
  EXPECT_EQ(fits.fits_object, written.fits_object);
  EXPECT_EQ(fits.fits_exposure, 12);
  EXPECT_EQ(fits.fits_filter, "None");
  EXPECT_TRUE(std::equal(src->CurrentFrame.begin(), src->CurrentFrame.begin() + kFramePixels,
                         store->CurrentFrame.begin()));
  EXPECT_TRUE(
      std::equal(src->BluePlane.begin(), src->BluePlane.begin() + kFramePixels, store->BluePlane.begin()));
}

TEST(FitsFile, ImageOnlyTakesRowsInTheFilesCoding) {
  test::TempDir dir;
  auto src = ImageStore::Create();
  test::FillRandom(*src, 21);
  FitsHeader written = test::SampleHeader();
  written.fits_unsigned = 1;
  AddHistoryLine(src->History, "Written");
  const auto file = dir.path() / "u.fit";
  ASSERT_EQ(WriteFitsFile(file, src->CurrentFrame, *src, written, true), kFitsOk);

  auto store = ImageStore::Create();
  test::FillRandom(*store, 22);
  ASSERT_EQ(ReadFitsImageOnly(file, store->SecondFrame), kFitsOk);
  EXPECT_TRUE(std::equal(src->CurrentFrame.begin(), src->CurrentFrame.begin() + kFramePixels,
                         store->SecondFrame.begin()));
  EXPECT_FALSE(store->History.Used(0));
  EXPECT_FALSE(std::equal(src->RedPlane.begin(), src->RedPlane.end(), store->RedPlane.begin()));
}

TEST(FitsFile, FailedWriteKeepsThePreviousFile) {
  test::TempDir dir;
  auto store = ImageStore::Create();
  const auto file = dir.path() / "keep.fit";
  test::WriteBytes(file, {1, 2, 3});
  for (long long limit : {0LL, 80LL * 30, 5760LL + 100, 5760LL + 296960 + 5}) {
    SetAtomicWriteLimitForTesting(limit);
    EXPECT_EQ(WriteFitsFile(file, store->CurrentFrame, *store, FitsHeader{}, true), kFitsFailed) << limit;
    SetAtomicWriteLimitForTesting(-1);
    EXPECT_EQ(ReadBytes(file), (std::vector<unsigned char>{1, 2, 3}));
  }
  // A folder that cannot exist: its parent is a regular file.
  EXPECT_EQ(WriteFitsFile(file / "x.fit", store->CurrentFrame, *store, FitsHeader{}, false), kFitsFailed);
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1);
}

}  // namespace
}  // namespace nyxel
