// The standard FITS export: its layout byte by byte, and read back by an independent reader of the
// format (astropy) with its strict verification.
#include "files/StandardFits.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "core/AtomicFile.h"
#include "files/FitsFile.h"
#include "tests/support/TestSession.h"

namespace nyxel {
namespace {

namespace fs = std::filesystem;

constexpr const char* kPython = "/usr/bin/python3";

void FillTestImage(ImageStore& store, FitsHeader& fits) {
  for (int row = 0; row < kFrameHeight; ++row) {
    for (int column = 0; column < kFrameWidth; ++column) {
      const int i = PixelIndex(row, column);
      store.CurrentFrame[i] = static_cast<uint16_t>((row * 517 + column * 131) % 65536);
      store.RedPlane[i] = static_cast<uint8_t>(row);
      store.GreenPlane[i] = static_cast<uint8_t>(column);
      store.BluePlane[i] = static_cast<uint8_t>(row + column);
    }
  }
  store.CurrentFrame[PixelIndex(0, 0)] = 0;
  store.CurrentFrame[PixelIndex(0, 1)] = 65535;
  store.CurrentFrame[PixelIndex(0, 2)] = 32768;
  store.CurrentFrame[PixelIndex(0, 510)] = 7;  // columns 510 and 511 are no part of the picture
  fits.fits_object = "M42 'Orion'";
  fits.fits_telescope = "LX200 10in";
  fits.fits_instrument = "Halvorn CCD";
  fits.fits_observer = "A. Observer";
  fits.fits_date_obs = "5/3/07";
  fits.fits_time_obs = "22:00:15";
  fits.fits_exposure = 31.5;
  fits.fits_pixel_width = 0.0098;
  fits.fits_pixel_height = 0.0126;
  fits.fits_focal_length = 100;
  fits.fits_history_text = "dark subtracted at the telescope";
  store.History.SetLine(0, "Normal Stretch 0 200");
  store.History.SetLine(1, "Unsharp Mask R 3 P 2");
}

TEST(StandardFitsTest, DatesInIso8601) {
  struct Case {
    const char* date;
    const char* time;
    const char* iso;
  };
  for (const Case& c : {Case{"5/3/07", "22:00:15", "2007-03-05T22:00:15"}, Case{"14/11/99", "", "1999-11-14"},
                        Case{"2026-12-09", "01:02:03", "2026-12-09T01:02:03"}, Case{"29/2/01", "", ""},
                        Case{"29/2/04", "25:00:00", "2004-02-29"}, Case{"", "10:00:00", ""},
                        Case{"2026-13-01", "", ""}, Case{"1/1/2007", "", ""}, Case{"a/b/c", "", ""}}) {
    EXPECT_EQ(IsoDateObs(c.date, c.time), c.iso) << c.date << ' ' << c.time;
  }
}

TEST(StandardFitsTest, LayoutIsBlockedAndBottomRowFirst) {
  test::TestSession t;
  FillTestImage(t.store, t.session.settings.fits);
  const fs::path mono = t.dir.path() / "m.fits";
  const fs::path colour = t.dir.path() / "c.fits";
  ASSERT_EQ(WriteStandardFitsFile(mono, t.store, t.session.settings.fits, false), kFitsOk);
  ASSERT_EQ(WriteStandardFitsFile(colour, t.store, t.session.settings.fits, true), kFitsOk);
  const auto m = test::ReadBytes(mono);
  const auto c = test::ReadBytes(colour);
  // One header block, then 510 x 290 pixels of two bytes (three planes of one byte), padded.
  EXPECT_EQ(m.size(), 2880u + 296640u);
  EXPECT_EQ(c.size(), 2880u + 446400u);
  EXPECT_EQ(std::string(m.begin(), m.begin() + 80),
            "SIMPLE  =                    T / file conforms to the FITS standard" + std::string(13, ' '));
  EXPECT_EQ(std::string(m.begin() + 80, m.begin() + 110), "BITPIX  =                   16");
  // The first stored row is image row 289; the last is row 0, whose first pixels are 0, 65535, 32768.
  auto pixel = [&](size_t index) {
    return static_cast<uint16_t>(((m[2880 + 2 * index] << 8) | m[2881 + 2 * index]) ^ 0x8000);
  };
  EXPECT_EQ(pixel(0), t.store.CurrentFrame[PixelIndex(289, 0)]);
  EXPECT_EQ(pixel(289 * 510 + 0), 0);
  EXPECT_EQ(pixel(289 * 510 + 1), 65535);
  EXPECT_EQ(pixel(289 * 510 + 2), 32768);
  EXPECT_EQ(pixel(289 * 510 + 509), t.store.CurrentFrame[PixelIndex(0, 509)]);
  EXPECT_EQ(pixel(288 * 510), t.store.CurrentFrame[PixelIndex(1, 0)]);
  for (size_t i = 2880 + 295800; i < m.size(); ++i) ASSERT_EQ(m[i], 0) << i;
  // Planes red, green, blue, each bottom row first.
  EXPECT_EQ(c[2880], t.store.RedPlane[PixelIndex(289, 0)]);
  EXPECT_EQ(c[2880 + 147900 + 5], t.store.GreenPlane[PixelIndex(289, 5)]);
  EXPECT_EQ(c[2880 + 2 * 147900 + 289 * 510 + 7], t.store.BluePlane[PixelIndex(0, 7)]);
  // Every header card is printable ASCII; END is the last card before the blanks.
  const std::string header(m.begin(), m.begin() + 2880);
  for (char ch : header) ASSERT_TRUE(ch >= 32 && ch <= 126);
  const size_t end = header.find("END     ");
  ASSERT_NE(end, std::string::npos);
  EXPECT_EQ(end % 80, 0u);
  EXPECT_EQ(header.find_first_not_of(' ', end + 3), std::string::npos);

  // Atomic: a short write leaves the previous export whole.
  SetAtomicWriteLimitForTesting(1000);
  EXPECT_EQ(WriteStandardFitsFile(mono, t.store, t.session.settings.fits, true), kFitsFailed);
  SetAtomicWriteLimitForTesting(-1);
  EXPECT_EQ(test::ReadBytes(mono), m);
}

struct AstropyRead {
  int status = -1;
  std::multimap<std::string, std::string> keys;
  std::vector<uint16_t> pixels;
};

AstropyRead ReadWithAstropy(const fs::path& file, const fs::path& work) {
  AstropyRead r;
  const fs::path out = work / "keys.txt";
  const fs::path pixels = work / "pixels.bin";
  const std::string command = std::string(kPython) + " '" + NYXEL_SOURCE_DIR +
                              "/tests/files/read_standard_fits.py' '" + file.string() + "' '" +
                              pixels.string() + "' >'" + out.string() + "' 2>&1";
  r.status = std::system(command.c_str());
  const auto text = test::ReadBytes(out);
  std::string line;
  for (unsigned char ch : text) {
    if (ch != '\n') {
      line += static_cast<char>(ch);
      continue;
    }
    const size_t eq = line.find('=');
    if (eq != std::string::npos) r.keys.emplace(line.substr(0, eq), line.substr(eq + 1));
    line.clear();
  }
  if (r.status != 0) ADD_FAILURE() << std::string(text.begin(), text.end());
  const auto bytes = test::ReadBytes(pixels);
  for (size_t i = 0; i + 1 < bytes.size(); i += 2)
    r.pixels.push_back(static_cast<uint16_t>(bytes[i] | (bytes[i + 1] << 8)));
  return r;
}

std::vector<std::string> Values(const AstropyRead& r, const std::string& key) {
  std::vector<std::string> v;
  for (auto [it, end] = r.keys.equal_range(key); it != end; ++it) v.push_back(it->second);
  return v;
}

TEST(StandardFitsTest, AstropyReadsPixelsAndKeywords) {
  if (std::system((std::string(kPython) + " -c 'import astropy.io.fits' 2>/dev/null").c_str()) != 0) {
    GTEST_SKIP() << "astropy is not installed (Debian package python3-astropy, installed by tools/bootstrap)";
  }
  test::TestSession t;
  FitsHeader& fits = t.session.settings.fits;
  FillTestImage(t.store, fits);
  const fs::path mono = t.dir.path() / "m.fits";
  ASSERT_EQ(WriteStandardFitsFile(mono, t.store, fits, false), kFitsOk);
  AstropyRead r = ReadWithAstropy(mono, t.dir.path());
  ASSERT_EQ(r.status, 0);
  EXPECT_EQ(Values(r, "SHAPE"), std::vector<std::string>{"290,510"});
  EXPECT_EQ(Values(r, "DTYPE"), std::vector<std::string>{"uint16"});
  ASSERT_EQ(r.pixels.size(), 290u * 510u);
  for (int row = 0; row < kFrameHeight; ++row) {
    for (int column = 0; column < kStandardFitsColumns; ++column) {
      ASSERT_EQ(r.pixels[static_cast<size_t>(row * 510 + column)],
                t.store.CurrentFrame[PixelIndex(row, column)])
          << row << ' ' << column;
    }
  }
  const std::map<std::string, std::string> expected = {
      {"OBJECT", "M42 'Orion'"},
      {"TELESCOP", "LX200 10in"},
      {"INSTRUME", "Halvorn CCD"},
      {"OBSERVER", "A. Observer"},
      {"DATE-OBS", "2007-03-05T22:00:15"},
      {"EXPTIME", "31.5"},
      {"XPIXSZ", "9.8"},
      {"YPIXSZ", "12.6"},
      {"ROWORDER", "BOTTOM-UP"},
      {"FOCALLEN", "2540.0"},
  };
  for (const auto& [key, value] : expected) EXPECT_EQ(Values(r, key), std::vector<std::string>{value}) << key;
  EXPECT_EQ(Values(r, "HISTORY"), (std::vector<std::string>{"Normal Stretch 0 200", "Unsharp Mask R 3 P 2",
                                                            "dark subtracted at the telescope"}));

  // A colour export is a cube of the red, green and blue planes.
  const fs::path colour = t.dir.path() / "c.fits";
  ASSERT_EQ(WriteStandardFitsFile(colour, t.store, fits, true), kFitsOk);
  r = ReadWithAstropy(colour, t.dir.path());
  ASSERT_EQ(r.status, 0);
  EXPECT_EQ(Values(r, "SHAPE"), std::vector<std::string>{"3,290,510"});
  EXPECT_EQ(Values(r, "DTYPE"), std::vector<std::string>{"uint8"});
  ASSERT_EQ(r.pixels.size(), 3u * 290u * 510u);
  const Plane* planes[] = {&t.store.RedPlane, &t.store.GreenPlane, &t.store.BluePlane};
  for (size_t p = 0; p < 3; ++p) {
    for (int row = 0; row < kFrameHeight; ++row) {
      for (int column = 0; column < kStandardFitsColumns; ++column) {
        ASSERT_EQ(r.pixels[p * 147900 + static_cast<size_t>(row * 510 + column)],
                  (*planes[p])[PixelIndex(row, column)])
            << p << ' ' << row << ' ' << column;
      }
    }
  }

  // Texts the standard does not allow raw (control characters, long texts) still give a valid file.
  fits.fits_object = std::string("tab\there ") + std::string(100, 'x');
  fits.fits_date_obs = "not a date";
  fits.fits_comment_text = std::string(200, 'c');
  fits.fits_exposure = 1e-5;
  ASSERT_EQ(WriteStandardFitsFile(mono, t.store, fits, false), kFitsOk);
  r = ReadWithAstropy(mono, t.dir.path());
  ASSERT_EQ(r.status, 0);
  EXPECT_TRUE(Values(r, "DATE-OBS").empty());
  EXPECT_EQ(Values(r, "OBJECT"), std::vector<std::string>{"tab here " + std::string(59, 'x')});
  EXPECT_EQ(Values(r, "COMMENT").size(), 3u);
}

}  // namespace
}  // namespace nyxel
