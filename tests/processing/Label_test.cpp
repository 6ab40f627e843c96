#include "processing/Label.h"

#include <gtest/gtest.h>

#include <set>

#include "core/Display.h"
#include "processing/LabelFont.h"
#include "tests/support/TestSupport.h"

namespace nyxel {
namespace {

TEST(LabelTest, FontCoversItsCharactersWithDistinctGlyphsInsideTheCell) {
  const std::string chars = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789/-:";
  std::set<Glyph> seen;
  for (char c : chars) {
    SCOPED_TRACE(c);
    const Glyph* g = LabelGlyph(c);
    ASSERT_NE(g, nullptr);
    int lit = 0;
    for (uint8_t row : *g) {
      lit += row != 0;
      EXPECT_EQ(row & 0x81, 0) << "cell edges stay dark so neighbours never touch";
    }
    EXPECT_GT(lit, 0);
    EXPECT_TRUE(seen.insert(*g).second) << "two characters share a glyph";
  }
  ASSERT_NE(LabelGlyph(' '), nullptr);
  EXPECT_EQ(*LabelGlyph(' '), Glyph{});
  for (char c : std::string("._!?*'\"\t\x80\xe9")) EXPECT_EQ(LabelGlyph(c), nullptr) << int(c);
}

TEST(LabelTest, DialogCheckBoxes) {
  FitsHeader set_date;
  set_date.fits_date_obs = "5/3/07";
  FitsHeader no_date;
  no_date.fits_date_obs = "5/3/7";
  struct Case {
    const char* name;
    bool auto_date, fits_date;
    bool click_fits;  // else "Auto Date"
    const FitsHeader* fits;
    bool accepted, auto_after, fits_after;
  };
  const Case cases[] = {
      {"auto on", false, false, false, &set_date, true, true, false},
      {"auto off clears both", true, true, false, &set_date, true, false, false},
      {"auto off", true, false, false, &set_date, true, false, false},
      {"fits on sets both", false, false, true, &set_date, true, true, true},
      {"fits on with auto already set", true, false, true, &set_date, true, true, true},
      {"fits off keeps auto", true, true, true, &set_date, true, true, false},
      {"fits date too short", false, false, true, &no_date, false, false, false},
      {"fits date too short keeps auto", true, false, true, &no_date, false, true, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    LabelOptions o{"x", c.auto_date, c.fits_date};
    bool accepted = true;
    if (c.click_fits) {
      accepted = ClickFitsDate(o, *c.fits);
    } else {
      ClickAutoDate(o);
    }
    EXPECT_EQ(accepted, c.accepted);
    EXPECT_EQ(o.auto_date, c.auto_after);
    EXPECT_EQ(o.fits_date, c.fits_after);
  }
}

TEST(LabelTest, BannerCentresTheTextAndAddsTheDate) {
  FitsHeader fits;
  fits.fits_date_obs = "14/11/99";
  fits.fits_time_obs = "21:05:09";
  const std::tm now = test::CivilTm(2007, 3, 5, 4, 7, 9);
  const std::string thirty = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcd";
  // The options as plain fields: a nested LabelOptions makes g++ 12 at -O3 warn of an uninitialised
  // string in the array's clean-up.
  struct Case {
    std::string text;
    bool auto_date, fits_date;
    std::string banner;
  };
  const Case cases[] = {
      {"M42", false, false, std::string(30, ' ') + "M42"},
      {"", false, false, std::string(32, ' ')},
      {"M42", true, false, std::string(18, ' ') + "M42" + "  04:07:09 UT 05-03-2007 "},
      {"M42", true, true, std::string(18, ' ') + "M42" + " 21:05:09 UT 14/11/99"},
      {"M42", false, true, std::string(30, ' ') + "M42"},
      {thirty, true, false, std::string(5, ' ') + thirty + "  04:07:09 UT 05-03-2007 "},
      {thirty + "XYZ", false, false, std::string(17, ' ') + thirty},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    const std::string banner = LabelBanner({c.text, c.auto_date, c.fits_date}, fits, now);
    EXPECT_EQ(banner, c.banner);
    EXPECT_LE(banner.size(), 64u);
  }
}

// The expected banner rows computed pixel by pixel from the font.
uint16_t ExpectedPixel(const std::string& banner, int row, int column) {
  const size_t cell = static_cast<size_t>(column / 8);
  if (cell >= banner.size()) return 0;
  const Glyph* g = LabelGlyph(banner[cell]);
  if (!g) return 0;
  return ((*g)[row] >> (7 - column % 8)) & 1 ? 65535 : 0;
}

TEST(LabelTest, DrawLabelBurnsTheBannerIntoRowsZeroToNine) {
  const std::string cases[] = {
      "   M42 Orion 12:30:00 UT 01-02-2024",
      "A.B!C",  // cells the font lacks stay black
      std::string(40, ' ') + "0123456789/-:abcdefghijklmnopqrstuvwxyzABCDEFG",  // longer than the row
      "",
  };
  for (const std::string& banner : cases) {
    SCOPED_TRACE(banner);
    auto store = ImageStore::Create();
    std::fill(store->CurrentFrame.begin(), store->CurrentFrame.end(), uint16_t{4321});
    DrawLabel(*store, banner);
    for (int r = 0; r < 10; ++r) {
      for (int c = 0; c < kFrameWidth; ++c) {
        const uint16_t expected = r == 0 && c < 6 ? 17 : ExpectedPixel(banner, r, c);
        ASSERT_EQ(store->CurrentFrame[PixelIndex(r, c)], expected) << r << ", " << c;
      }
    }
    for (int i = kHeaderPixels; i < kFrameElements; ++i) ASSERT_EQ(store->CurrentFrame[i], 4321) << i;
    EXPECT_TRUE(LabelMarker(*store));
  }
}

}  // namespace
}  // namespace nyxel
