// The standard FITS export: its layout byte by byte, and read back by an independent reader of the
// format (astropy) with its strict verification. The standard FITS reader: the export opened and
// exported again, and files written by an independent writer (astropy) of every kind it takes.
#include "files/StandardFits.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "core/AtomicFile.h"
#include "files/FitsFile.h"
#include "files/RawFile.h"
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

bool HaveAstropy() {
  return std::system((std::string(kPython) + " -c 'import astropy.io.fits' 2>/dev/null").c_str()) == 0;
}

// Export, open, export again: the same file byte for byte, grey and colour; the picture, planes and
// values come back, and columns 510 and 511 (no part of the export) keep what they held.
TEST(StandardFitsReadTest, ExportOpenExportIsByteForByte) {
  for (const bool colour : {false, true}) {
    SCOPED_TRACE(colour ? "colour" : "grey");
    test::TestSession t;
    FitsHeader& fits = t.session.settings.fits;
    FillTestImage(t.store, fits);
    fits.fits_origin = "backyard";
    fits.fits_filter = "L";
    fits.fits_aperture = 12.5;
    fits.fits_comment_text = std::string(100, 'c') + " and a quote ' here";
    fits.fits_history_text = std::string(150, 'h') + " end";
    t.store.ColourConverted = colour ? 1 : 0;
    const fs::path first = t.dir.path() / "first.fits";
    const fs::path second = t.dir.path() / "second.fits";
    ASSERT_EQ(WriteStandardFitsFile(first, t.store, fits, colour), kFitsOk);
    const ImageStore& s = t.store;
    const Frame before = s.CurrentFrame;
    const Plane red = s.RedPlane, green = s.GreenPlane, blue = s.BluePlane;
    const FitsHeader values = fits;

    // Into a session of its own whose values and picture are all different.
    test::TestSession u;
    u.store.CurrentFrame.fill(4321);
    u.store.RedPlane.fill(9);
    u.session.settings.fits.fits_focal_length = 77;
    u.session.settings.fits.fits_time_obs = "01:02:03";
    ASSERT_EQ(LoadImageFile(u.store, u.session.settings.fits, u.host, first), 0)
        << ::testing::PrintToString(u.host.Texts());
    EXPECT_EQ(u.store.ColourConverted, colour ? 1 : 0);
    ASSERT_EQ(WriteStandardFitsFile(second, u.store, u.session.settings.fits, colour), kFitsOk);
    EXPECT_EQ(test::ReadBytes(second), test::ReadBytes(first));

    const FitsHeader& got = u.session.settings.fits;
    EXPECT_EQ(got.fits_object, values.fits_object);
    EXPECT_EQ(got.fits_observer, values.fits_observer);
    EXPECT_EQ(got.fits_telescope, values.fits_telescope);
    EXPECT_EQ(got.fits_instrument, values.fits_instrument);
    EXPECT_EQ(got.fits_date_obs, "2007-03-05");
    EXPECT_EQ(got.fits_time_obs, "22:00:15");
    EXPECT_DOUBLE_EQ(got.fits_exposure, 31.5);
    EXPECT_NEAR(got.fits_focal_length, 100, 1e-9);
    EXPECT_EQ(got.fits_comment_text, values.fits_comment_text);
    EXPECT_EQ(got.fits_history_text, values.fits_history_text);
    EXPECT_EQ(u.store.History.Line(0), "Normal Stretch 0 200");
    EXPECT_EQ(u.store.History.Line(1), "Unsharp Mask R 3 P 2");
    EXPECT_FALSE(u.store.History.Used(2));
    for (int row = 0; row < kFrameHeight; ++row) {
      for (int column = 0; column < kFrameWidth; ++column) {
        const int i = PixelIndex(row, column);
        if (column >= kStandardFitsColumns) {
          ASSERT_EQ(u.store.CurrentFrame[i], 4321) << row << ' ' << column;
        } else if (!colour) {
          ASSERT_EQ(u.store.CurrentFrame[i], before[i]) << row << ' ' << column;
        } else {
          ASSERT_EQ(u.store.RedPlane[i], red[i]) << row << ' ' << column;
          ASSERT_EQ(u.store.GreenPlane[i], green[i]) << row << ' ' << column;
          ASSERT_EQ(u.store.BluePlane[i], blue[i]) << row << ' ' << column;
          // A cube's grey picture: the planes' mean over 16 bits.
          ASSERT_EQ(u.store.CurrentFrame[i], std::lround((red[i] + green[i] + blue[i]) * 257.0 / 3.0));
        }
      }
    }
  }
}

// Files written by astropy, one of each kind the reader takes, and the kinds and sizes it refuses.
TEST(StandardFitsReadTest, ReadsFilesOfAnIndependentWriter) {
  if (!HaveAstropy()) {
    GTEST_SKIP() << "astropy is not installed (Debian package python3-astropy, installed by tools/bootstrap)";
  }
  test::TempDir dir;
  const std::string command = std::string(kPython) + " '" + NYXEL_SOURCE_DIR +
                              "/tests/files/write_standard_fits.py' '" + dir.path().string() + "'";
  ASSERT_EQ(std::system(command.c_str()), 0);
  auto ramp = [](int k, int c, int modulus) { return (k * 517 + c * 131) % modulus; };
  struct Case {
    const char* name;
    int columns;
    bool top_down;
    std::function<long(int k, int c)> expected;  // from the stored row k and the column c
  };
  long big = 0;  // the brightest value of i32big
  for (int k = 0; k < kFrameHeight; ++k) {
    for (int c = 0; c < 510; ++c) big = std::max(big, ramp(k, c, 65536) * 1000L);
  }
  const Case cases[] = {
      {"u16", 510, false, [&](int k, int c) { return ramp(k, c, 65536); }},
      {"i16", 510, false, [&](int k, int c) { return std::max(0, ramp(k, c, 65536) - 32768); }},
      {"u8", 510, false, [&](int k, int c) { return (k + c) % 256 * 257; }},
      {"i32", 510, false, [&](int k, int c) { return ramp(k, c, 65536); }},
      {"i32big", 510, false,
       [&](int k, int c) { return std::lround(ramp(k, c, 65536) * 1000.0 * (65535.0 / big)); }},
      {"f32norm", 510, false, [&](int k, int c) { return ramp(k, c, 65536); }},
      {"f32adu", 510, false, [&](int k, int c) { return ramp(k, c, 60000); }},
      {"topdown", 510, true, [&](int k, int c) { return ramp(k, c, 65536); }},
      {"w512", 512, false, [&](int k, int c) { return ramp(k, c, 65536); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    test::TestSession t;
    t.store.CurrentFrame.fill(4321);
    FitsHeader& fits = t.session.settings.fits;
    t.store.History.SetLine(0, "old line");
    ASSERT_EQ(LoadImageFile(t.store, fits, t.host, dir.path() / (std::string(c.name) + ".fits")), 0)
        << ::testing::PrintToString(t.host.Texts());
    EXPECT_EQ(t.store.ColourConverted, 0);
    for (int k = 0; k < kFrameHeight; ++k) {
      const int row = c.top_down ? k : kFrameHeight - 1 - k;
      for (int column = 0; column < kFrameWidth; ++column) {
        const long want = column < c.columns ? c.expected(k, column) : 4321;
        ASSERT_EQ(t.store.CurrentFrame[PixelIndex(row, column)], want) << k << ' ' << column;
      }
    }
    EXPECT_EQ(fits.fits_object, "M42 'Orion'");
    EXPECT_EQ(fits.fits_observer, "A. Observer");
    EXPECT_EQ(fits.fits_telescope, "LX200 10in");
    EXPECT_EQ(fits.fits_instrument, "Other camera");
    EXPECT_EQ(fits.fits_date_obs, "2026-12-09");
    EXPECT_EQ(fits.fits_time_obs, "11:38:56.25");
    EXPECT_DOUBLE_EQ(fits.fits_exposure, 2.5);
    EXPECT_EQ(t.store.History.Line(0), "Dark Frame Subtracted");
    EXPECT_EQ(t.store.History.Line(1), "stacked in another program");
    EXPECT_FALSE(t.store.History.Used(2));
  }

  // The cube is a colour picture: planes red, green, blue, bottom row first.
  {
    test::TestSession t;
    ASSERT_EQ(LoadImageFile(t.store, t.session.settings.fits, t.host, dir.path() / "cube.fits"), 0);
    EXPECT_EQ(t.store.ColourConverted, 1);
    for (int k = 0; k < kFrameHeight; ++k) {
      for (int column = 0; column < kStandardFitsColumns; ++column) {
        const int i = PixelIndex(kFrameHeight - 1 - k, column);
        const int r = ramp(k, column, 256);
        ASSERT_EQ(t.store.RedPlane[i], r);
        ASSERT_EQ(t.store.GreenPlane[i], (r + 85) % 256);
        ASSERT_EQ(t.store.BluePlane[i], r * 3 % 256);
      }
    }
  }

  // Refused: other sizes and kinds (the message says which are understood), a cut file, and a cube
  // as the second image. Nothing in memory changes.
  const fs::path cut = dir.path() / "cut.fits";
  auto bytes = test::ReadBytes(dir.path() / "u16.fits");
  bytes.resize(100000);
  test::WriteBytes(cut, bytes);
  struct Refused {
    const char* file;
    bool second;
    const char* text;
  };
  const Refused refused[] = {
      {"640x480.fits", false, "This file holds 640 x 480 values with BITPIX 16."},
      {"cube16.fits", false, "This file holds 510 x 290 x 3 values with BITPIX 16."},
      {"f64.fits", false, "This file holds 510 x 290 values with BITPIX -64."},
      {"cut.fits", false, "Unable to load FITS file"},
      {"640x480.fits", true, "A dark frame, flat field or image to merge can be a FITS image of 510 or 512"},
      {"cube.fits", true, "This file holds 510 x 290 x 3 values with BITPIX 8."},
      {"cut.fits", true, "Unable to load FITS file"},
  };
  for (const Refused& r : refused) {
    SCOPED_TRACE(std::string(r.file) + (r.second ? " second" : ""));
    test::TestSession t;
    FillTestImage(t.store, t.session.settings.fits);
    t.store.SecondFrame.fill(77);
    const ImageStore& s = t.store;
    const Frame frame = s.CurrentFrame;
    const Plane red = s.RedPlane;
    const std::string history = s.History.Line(1);
    const FitsHeader values = t.session.settings.fits;
    const fs::path file = dir.path() / r.file;
    const int result = r.second ? LoadSecondImageFile(t.store, t.host, file)
                                : LoadImageFile(t.store, t.session.settings.fits, t.host, file);
    EXPECT_NE(result, 0);
    ASSERT_EQ(t.host.Texts().size(), 1u);
    EXPECT_NE(t.host.Texts()[0].find(r.text), std::string::npos) << t.host.Texts()[0];
    if (std::string(r.text).find("This file") != std::string::npos && !r.second) {
      EXPECT_EQ(t.host.Texts()[0].find("You didn't choose a valid RV File\n\nNyxel opens"), 0u);
    }
    EXPECT_TRUE(s.CurrentFrame == frame);
    EXPECT_TRUE(s.RedPlane == red);
    EXPECT_TRUE(std::all_of(s.SecondFrame.begin(), s.SecondFrame.end(), [](uint16_t v) { return v == 77; }));
    EXPECT_EQ(s.History.Line(1), history);
    EXPECT_EQ(t.session.settings.fits.fits_object, values.fits_object);
    EXPECT_EQ(t.session.settings.fits.fits_date_obs, values.fits_date_obs);
    EXPECT_EQ(t.session.settings.fits.fits_exposure, values.fits_exposure);
  }

  // A monochrome file is a dark frame or flat field: its rows into the second image, or as the
  // exposure run's dark frame; a cube is no dark frame.
  test::TestSession t;
  t.store.SecondFrame.fill(77);
  ASSERT_EQ(LoadSecondImageFile(t.store, t.host, dir.path() / "topdown.fits"), 0);
  EXPECT_EQ(t.store.SecondFrame[PixelIndex(3, 5)], ramp(3, 5, 65536));
  EXPECT_EQ(t.store.SecondFrame[PixelIndex(3, 510)], 77);
  Frame dark{};
  Frame image{};
  image.fill(40000);
  ASSERT_EQ(SubtractDarkFrameFile(t.host, false, dir.path() / "topdown.fits", dark, image), kDarkOk);
  for (int i : {PixelIndex(0, 0), PixelIndex(3, 5), PixelIndex(289, 509), PixelIndex(100, 200)}) {
    const int want = ramp(i / kFrameWidth, i % kFrameWidth, 65536);
    EXPECT_EQ(image[i], want < 40000 ? 40000 - want : 0) << i;
  }
  EXPECT_EQ(image[PixelIndex(5, 510)], 40000);  // the dark buffer's columns 510 and 511 held 0
  image.fill(40000);
  EXPECT_EQ(SubtractDarkFrameFile(t.host, false, dir.path() / "cube.fits", dark, image), kDarkWrongLength);
  EXPECT_EQ(t.host.Texts().back(), "Sorry, chosen Darkframe is not an QK File");
  EXPECT_EQ(image[PixelIndex(3, 5)], 40000);
}

// Header cards the reader must weigh up: values it takes, damaged headers, and where the data begin.
TEST(StandardFitsReadTest, HeaderCardsAndDamage) {
  auto card = [](std::string s) {
    s.resize(80, ' ');
    return s;
  };
  auto file_of = [&](const std::vector<std::string>& cards, size_t data_bytes) {
    std::string header;
    for (const auto& c : cards) header += card(c);
    header.resize((header.size() + 2879) / 2880 * 2880, ' ');
    std::vector<uint8_t> bytes(header.begin(), header.end());
    bytes.resize(bytes.size() + data_bytes, 0);
    return bytes;
  };
  const std::vector<std::string> base = {"SIMPLE  =                    T", "BITPIX  =                    8",
                                         "NAXIS   =                    2", "NAXIS1  =                  510",
                                         "NAXIS2  =                  290"};
  struct Case {
    const char* name;
    std::vector<std::string> extra;  // after the base cards; END is added
    size_t data;
    int result;
  };
  const size_t full = 510 * 290;
  std::vector<std::string> many(40, "COMMENT padding");  // END in the second block
  const Case cases[] = {
      {"plain", {}, full, kStandardFitsOk},
      {"data one byte short", {}, full - 1, kStandardFitsDamaged},
      {"END in the second block", many, full, kStandardFitsOk},
      {"no END", {}, full, kStandardFitsDamaged},
      {"BITPIX not a number", {"BITPIX  = 'eight'"}, full, kStandardFitsDamaged},
      {"BZERO not a number", {"BZERO   = 1.0.0"}, full, kStandardFitsDamaged},
      {"NAXIS2 289", {"NAXIS2  =                  289"}, full, kStandardFitsOtherShape},
      {"NAXIS 1", {"NAXIS   =                    1"}, full, kStandardFitsOtherShape},
      {"BITPIX 12", {"BITPIX  =                   12"}, full, kStandardFitsOtherShape},
      {"one plane",
       {"NAXIS   =                    3", "NAXIS3  =                    1"},
       full,
       kStandardFitsOk},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<std::string> cards = base;
    cards.insert(cards.end(), c.extra.begin(), c.extra.end());
    const bool no_end = std::string(c.name) == "no END";
    if (!no_end) cards.push_back("END");
    auto bytes = file_of(cards, c.data);
    StandardFitsFile f;
    EXPECT_EQ(ParseStandardFits(bytes, FitsHeader{}, f), c.result);
    if (c.result == kStandardFitsOk) {
      const size_t header = (cards.size() * 80 + 2879) / 2880 * 2880;
      EXPECT_EQ(f.data, bytes.data() + header);
    }
  }
  // A value of D exponent, quotes doubled in a string, trailing blanks dropped, an old date form.
  auto bytes = file_of({base[0], base[1], base[2], base[3], base[4], "EXPTIME =               1.5D1 / s",
                        "OBJECT  = 'it''s   '", "DATE-OBS= '05/03/07'", "TIME-OBS= '22:00:15'",
                        "XPIXSZ  =                 9.8", "END"},
                       full);
  StandardFitsFile f;
  ASSERT_EQ(ParseStandardFits(bytes, FitsHeader{}, f), kStandardFitsOk);
  EXPECT_DOUBLE_EQ(f.fits.fits_exposure, 15);
  EXPECT_EQ(f.fits.fits_object, "it's");
  EXPECT_EQ(f.fits.fits_date_obs, "05/03/07");
  EXPECT_EQ(f.fits.fits_time_obs, "22:00:15");
  EXPECT_NEAR(f.fits.fits_pixel_width, 0.0098, 1e-12);
  EXPECT_FALSE(IsStandardFits(file_of({"SIMPLE  =                    F", "END"}, 0)));
}

}  // namespace
}  // namespace nyxel
