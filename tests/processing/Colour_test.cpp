#include "processing/Colour.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "core/Clock.h"
#include "core/Display.h"
#include "core/RecordingHost.h"
#include "files/RawFile.h"
#include "files/SettingsFile.h"
#include "tests/support/TestSession.h"

namespace nyxel {
namespace {

// Options off: the bare synthesis.
Settings PlainSettings() {
  Settings s;
  s.anti_alias = false;
  s.light_pollution_correction = false;
  s.weak_stretch = s.strong_stretch = s.user_stretch = false;
  s.high_pass = s.unsharp_mask = s.remove_background = false;
  return s;
}

class ColourTest : public ::testing::Test, public test::TestSession {
 protected:
  void SetUp() override {
    InitImageStore(store);
    std::fill_n(store.CurrentFrame.begin(), kFramePixels, 0);
  }
  uint16_t& Raw(int row, int column) { return store.CurrentFrame[PixelIndex(row, column)]; }
  Plane* Planes(int k) {
    Plane* p[3] = {&store.RedPlane, &store.GreenPlane, &store.BluePlane};
    return p[k];
  }
};

// Straight from the phase table, one pixel at a time, for comparison with the row code.
struct RefRgb {
  int r, g, b;
};
RefRgb ReferenceColour(int cp, int rp, int c, int e, int d) {
  const int t = c + e + d, m = 5 * e - 2 * (c + d), n = e - 2 * c;
  int r, g, b;
  if (cp == 1 && rp == 1) {
    r = (7 * (d - 2 * c) - 2 * (e - c)) / 40;
    g = (6 * (e - c) - (d - 2 * c)) / 40;
    b = (t - 11 * r - 13 * g) / 8;
  } else if (cp == 1) {
    r = (7 * n - m) / 20;
    b = (3 * m - 11 * n) / 40;
    g = (t - 7 * b - 10 * r) / 14;
  } else if (rp == 1) {
    r = (3 * m - 11 * n) / 40;
    b = (7 * n - m) / 20;
    g = (t - 10 * b - 7 * r) / 14;
  } else {
    b = (7 * (d - 2 * c) - 2 * (e - c)) / 40;
    g = (6 * (e - c) - (d - 2 * c)) / 40;
    r = (t - 11 * b - 13 * g) / 8;
  }
  r = std::max(r, 0) * 300 / 70;
  g = std::max(g, 0) * 300 / 50;
  b = std::max(b, 0) * 10;
  const int k = (r > 65280 || g > 65280 || b > 65280) ? 2560 : 256;
  return {std::min(r / k, 255), std::min(g / k, 255), std::min(b / k, 255)};
}

TEST_F(ColourTest, BiasMeanAndRemoval) {
  std::mt19937 rng(7);
  std::uniform_int_distribution<int> dist(0, 4000);
  long sum = 0;
  for (int row = 0; row < kFrameHeight; ++row) {
    for (int col = 0; col < kFrameWidth; ++col) {
      Raw(row, col) = static_cast<uint16_t>(dist(rng));
      if (row >= 20 && row <= 219 && col >= 3 && col <= 5) sum += Raw(row, col);
    }
  }
  EXPECT_EQ(BiasMean(store.CurrentFrame), sum / 600);

  struct Case {
    int in, out;
  } cases[] = {{0, 0},         {99, 0},        {100, 0},       {101, 1},      {5000, 4900},
               {65499, 65399}, {65500, 65500}, {65534, 65534}, {65535, 65535}};
  Frame frame{};
  for (size_t i = 0; i < std::size(cases); ++i) frame[i] = static_cast<uint16_t>(cases[i].in);
  RemoveBias(frame, 100);
  for (size_t i = 0; i < std::size(cases); ++i) EXPECT_EQ(frame[i], cases[i].out) << cases[i].in;
}

// Hand-worked neighbourhoods, one per phase, including negative raw values that feed the colour derived
// from the total before they are clamped, and a quotient that must truncate toward zero.
TEST_F(ColourTest, MosaicNeighbourhoodsPerPhase) {
  struct Case {
    int column_phase, row_phase;
    int c, edge, diagonal;  // each edge and diagonal neighbour holds the same value
    int r, g, b;
  } cases[] = {
      // c 1000, E 8000, D 2000: raw (1,1) = (-350, 1050, 150); (1,0) = (400, 50, 900); ...
      {1, 1, 1000, 2000, 500, 0, 24, 5},
      {1, 0, 1000, 2000, 500, 6, 1, 35},
      {0, 1, 1000, 2000, 500, 15, 1, 15},
      {0, 0, 1000, 2000, 500, 2, 24, 0},
      // Flat 1000: every phase gives the same colour.
      {1, 1, 1000, 1000, 1000, 3, 9, 7},
      {1, 0, 1000, 1000, 1000, 3, 9, 7},
      {0, 1, 1000, 1000, 1000, 3, 9, 7},
      {0, 0, 1000, 1000, 1000, 3, 9, 7},
  };
  for (const Case& k : cases) {
    SetUp();
    // pixel_offset y, line_offset n: column phase = 1 on even columns, row phase = 1 on odd rows.
    const int row = k.row_phase ? 101 : 100;
    const int col = k.column_phase ? 200 : 201;
    Raw(row, col) = static_cast<uint16_t>(k.c);
    for (auto [dr, dc] : {std::pair{-1, 0}, {1, 0}, {0, -1}, {0, 1}}) {
      Raw(row + dr, col + dc) = static_cast<uint16_t>(k.edge);
    }
    for (auto [dr, dc] : {std::pair{-1, -1}, {-1, 1}, {1, -1}, {1, 1}}) {
      Raw(row + dr, col + dc) = static_cast<uint16_t>(k.diagonal);
    }
    SynthesizeColour(store, host, PlainSettings());
    const int i = PixelIndex(row, col);
    EXPECT_EQ(store.RedPlane[i], k.r) << k.column_phase << k.row_phase << " " << k.c;
    EXPECT_EQ(store.GreenPlane[i], k.g) << k.column_phase << k.row_phase << " " << k.c;
    EXPECT_EQ(store.BluePlane[i], k.b) << k.column_phase << k.row_phase << " " << k.c;
  }
  // Truncation toward zero: raw red = -20 / 40 = 0 (not -1), so blue = (4106 - 13) / 8 = 511 -> 19.
  SetUp();
  const int row = 101, col = 200;
  Raw(row, col) = 1024;
  const int edges[4] = {258, 259, 258, 259};
  int e = 0;
  for (auto [dr, dc] : {std::pair{-1, 0}, {1, 0}, {0, -1}, {0, 1}}) Raw(row + dr, col + dc) = edges[e++];
  for (auto [dr, dc] : {std::pair{-1, -1}, {-1, 1}, {1, -1}, {1, 1}}) Raw(row + dr, col + dc) = 512;
  SynthesizeColour(store, host, PlainSettings());
  EXPECT_EQ(store.BluePlane[PixelIndex(row, col)], 19);
  EXPECT_EQ(store.GreenPlane[PixelIndex(row, col)], 0);
}

// A flat frame (bias columns dark): luminance 2 x value / 1.6 exactly, grey above 60000.
TEST_F(ColourTest, FlatFrameLuminanceAndGrey) {
  struct Case {
    int value, luminance, grey;  // grey -1: not grey
  } cases[] = {{7, 8, -1},         {8, 10, -1},        {16, 20, -1},       {1000, 1250, -1},
               {8000, 10000, -1},  {40000, 50000, -1}, {48000, 60000, -1}, {48008, 60010, 32},
               {50000, 62500, 33}, {60000, 65535, 40}};
  for (const Case& k : cases) {
    SetUp();
    std::fill_n(store.CurrentFrame.begin(), kFramePixels, k.value);
    for (int row = 20; row <= 219; ++row) {
      for (int col = 3; col <= 5; ++col) Raw(row, col) = 0;
    }
    SynthesizeColour(store, host, PlainSettings());
    for (int row : {1, 150, 288}) {
      for (int col : {10, 11, 300, 509}) {
        const int i = PixelIndex(row, col);
        ASSERT_EQ(store.CurrentFrame[i], k.luminance) << k.value << " " << row << "," << col;
        if (k.grey >= 0) {
          ASSERT_EQ(store.RedPlane[i], k.grey) << k.value;
          ASSERT_EQ(store.GreenPlane[i], k.grey) << k.value;
          ASSERT_EQ(store.BluePlane[i], k.grey) << k.value;
        } else {
          ASSERT_EQ(store.RedPlane[i], store.RedPlane[PixelIndex(1, 10)]) << k.value;
          ASSERT_EQ(store.GreenPlane[i], store.GreenPlane[PixelIndex(1, 10)]) << k.value;
          ASSERT_EQ(store.BluePlane[i], store.BluePlane[PixelIndex(1, 10)]) << k.value;
        }
      }
    }
  }
}

// A random frame against the table applied pixel by pixel, for every phase setting, with the borders.
TEST_F(ColourTest, RandomFrameMatchesReferenceWithBorders) {
  std::mt19937 rng(11);
  std::uniform_int_distribution<int> dist(0, 30000);
  std::uniform_int_distribution<int> bright(0, 99);
  for (int offsets = 0; offsets < 4; ++offsets) {
    SetUp();
    for (int i = 0; i < kFramePixels; ++i) {
      store.CurrentFrame[i] = static_cast<uint16_t>(bright(rng) == 0 ? 65500 + bright(rng) % 36 : dist(rng));
    }
    Frame raw = store.CurrentFrame;
    RemoveBias(raw, BiasMean(raw));
    Settings s = PlainSettings();
    s.pixel_offset = offsets & 1;
    s.line_offset = (offsets >> 1) & 1;
    SynthesizeColour(store, host, s);
    ASSERT_EQ(store.ColourConverted, 1);
    auto at = [&](int r, int u) { return static_cast<int>(raw[PixelIndex(r, u)]); };
    for (int r = 0; r < kFrameHeight; ++r) {
      for (int u = 0; u < kFrameWidth; ++u) {
        const int i = PixelIndex(r, u);
        int lum = at(r, u);
        RefRgb v{0, 0, 0};
        if (r == kFrameHeight - 1) {
          lum = 0;
        } else if (r > 0 && u > 0 && u < 510) {
          const int c = at(r, u);
          // Column 510 holds no picture: column 509's right-hand neighbours are column 508's.
          const int right = u == 509 ? 508 : u + 1;
          const int e = at(r, u - 1) + at(r, right) + at(r - 1, u) + at(r + 1, u);
          const int d = at(r - 1, u - 1) + at(r - 1, right) + at(r + 1, u - 1) + at(r + 1, right);
          const int y = static_cast<int>((at(r, u - 1) + c) / 1.6);
          lum = std::min(y, 65535);
          v = ReferenceColour(s.pixel_offset ^ (u & 1), s.line_offset ^ (r & 1), c, e, d);
          if (y > 60000) v.r = v.g = v.b = (v.r + v.g + v.b) / 3;
        }
        ASSERT_EQ(store.CurrentFrame[i], lum) << offsets << " " << r << "," << u;
        ASSERT_EQ(store.RedPlane[i], v.r) << offsets << " " << r << "," << u;
        ASSERT_EQ(store.GreenPlane[i], v.g) << offsets << " " << r << "," << u;
        ASSERT_EQ(store.BluePlane[i], v.b) << offsets << " " << r << "," << u;
        ASSERT_EQ(store.UndoRed[i], v.r);
        ASSERT_EQ(store.UndoGreen[i], v.g);
        ASSERT_EQ(store.UndoBlue[i], v.b);
      }
    }
  }
}

// A labelled frame keeps its banner rows white whatever the bias, which would have erased the marker.
TEST_F(ColourTest, LabelledFrameBannerRowsWhite) {
  std::fill_n(store.CurrentFrame.begin(), kFramePixels, 500);
  Raw(0, 4) = 17;
  Raw(0, 5) = 17;
  ASSERT_TRUE(LabelMarker(store));
  SynthesizeColour(store, host, PlainSettings());
  for (Plane* p : {&store.RedPlane, &store.GreenPlane, &store.BluePlane}) {
    for (int row = 0; row < kFrameHeight; ++row) {
      for (int col = 0; col < kFrameWidth; ++col) {
        const int v = (*p)[PixelIndex(row, col)];
        if (row < kHeaderRows) {
          ASSERT_EQ(v, 255) << row << "," << col;
        } else if (row == kFrameHeight - 1 || col == 0 || col >= 510) {
          ASSERT_EQ(v, 0) << row << "," << col;
        }
      }
    }
  }
}

TEST_F(ColourTest, BackgroundEqualisationLowersBrighterPlanes) {
  // Modes over rows 10..39, columns 1..499: red 10, green 20 (tied with 30: the lower wins), blue 5.
  std::fill_n(store.RedPlane.begin(), kFramePixels, 10);
  std::fill_n(store.GreenPlane.begin(), kFramePixels, 20);
  std::fill_n(store.BluePlane.begin(), kFramePixels, 5);
  for (int row = 10; row <= 39; row += 2) {
    for (int col = 1; col <= 499; ++col) store.GreenPlane[PixelIndex(row, col)] = 30;
  }
  for (int row = 10; row <= 39; ++row) store.GreenPlane[PixelIndex(row, 0)] = 30;  // outside the box
  struct Case {
    int index;
    uint8_t red, green, blue;  // set before
    int out_red, out_green, out_blue;
  } cases[] = {
      {PixelIndex(100, 100), 200, 200, 200, 195, 185, 200},
      {PixelIndex(200, 7), 4, 14, 0, 4, 14, 0},   // below the offset: unchanged
      {PixelIndex(289, 511), 5, 15, 9, 0, 0, 9},  // equal to the offset: 0
  };
  for (const Case& k : cases) {
    store.RedPlane[k.index] = k.red;
    store.GreenPlane[k.index] = k.green;
    store.BluePlane[k.index] = k.blue;
  }
  EqualiseBackground(store);
  for (const Case& k : cases) {
    EXPECT_EQ(store.RedPlane[k.index], k.out_red) << k.index;
    EXPECT_EQ(store.GreenPlane[k.index], k.out_green) << k.index;
    EXPECT_EQ(store.BluePlane[k.index], k.out_blue) << k.index;
  }
}

TEST_F(ColourTest, OptionalStepsAddTheirHistoryLines) {
  struct Case {
    bool weak, strong, user, high_pass;
    std::vector<std::string> lines;
  } cases[] = {
      {false, false, false, false, {}},
      {true, false, false, false, {"Non-Linear Stretch : power 2"}},
      {false, true, false, true, {"Non-Linear Stretch : power 18", "High Pass Low Power Filter"}},
      {false, false, true, false, {"Non-Linear Stretch : power 7"}},
  };
  for (const Case& k : cases) {
    SetUp();
    store.ColourConverted = 0;
    ClearHistory(store.History);
    Settings s = PlainSettings();
    s.weak_stretch = k.weak;
    s.strong_stretch = k.strong;
    s.user_stretch = k.user;
    s.user_stretch_value = 7;
    s.high_pass = k.high_pass;
    SynthesizeColour(store, host, s);
    std::vector<std::string> lines;
    for (int i = 0; i < store.History.UsedCount(); ++i) lines.push_back(store.History.Line(i));
    EXPECT_EQ(lines, k.lines);
  }
}

TEST_F(ColourTest, AntiAliasAfterSynthesisKeepsUndoPlanesBeforeIt) {
  std::mt19937 rng(3);
  std::uniform_int_distribution<int> dist(0, 20000);
  for (int i = 0; i < kFramePixels; ++i) store.CurrentFrame[i] = static_cast<uint16_t>(dist(rng));
  Settings s = PlainSettings();
  s.anti_alias = true;
  SynthesizeColour(store, host, s);
  Plane red = store.RedPlane;
  UndoColourFilter(store);
  AntiAlias(store, host);
  EXPECT_EQ(red, store.RedPlane);
}

TEST_F(ColourTest, CommandsRefuseAndCancelWithoutChanges) {
  std::fill_n(store.CurrentFrame.begin(), kFramePixels, 1234);
  const Frame before = store.CurrentFrame;
  // Not colour converted: every adjustment refuses.
  const std::function<int()> refusing[] = {
      [&] {
        return BalanceColoursCommand(session, {5, 5, 5}, 2);
      },
      [&] { return AntiAliasCommand(session); },
      [&] {
        return ChromatismCommand(session, {1, 0, 0, 0});
      },
      [&] { return LowPassColourCommand(session); },
      [&] { return UndoColourFilterCommand(session); },
  };
  for (const auto& run : refusing) {
    host.Clear();
    EXPECT_EQ(run(), kColourRefused);
    EXPECT_EQ(host.Texts(), std::vector<std::string>{"Image not Colour Converted"});
  }
  // A cancelled dialog changes nothing, not even the options.
  const bool anti_alias = session.settings.anti_alias;
  host.Clear();
  EXPECT_EQ(SynthesizeColourCommand(session,
                                    [](Settings& s) {
                                      s.anti_alias = !s.anti_alias;
                                      return false;
                                    }),
            kColourCancelled);
  EXPECT_EQ(store.CurrentFrame, before);
  EXPECT_EQ(store.ColourConverted, 0);
  EXPECT_EQ(session.settings.anti_alias, anti_alias);
  // OK saves the options; a second synthesis is refused.
  EXPECT_EQ(SynthesizeColourCommand(session,
                                    [](Settings& s) {
                                      s.anti_alias = false;
                                      s.user_stretch_value = 9;
                                      return true;
                                    }),
            kColourDone);
  EXPECT_EQ(store.ColourConverted, 1);
  Settings reloaded;
  ASSERT_EQ(LoadSettings(reloaded, session.drive, host), 0);
  EXPECT_EQ(reloaded.user_stretch_value, 9);
  EXPECT_FALSE(reloaded.anti_alias);
  host.Clear();
  const Frame luminance = store.CurrentFrame;
  EXPECT_EQ(SynthesizeColourCommand(session, {}), kColourRefused);
  EXPECT_EQ(host.Texts(), std::vector<std::string>{"Already Colour Converted"});
  EXPECT_EQ(store.CurrentFrame, luminance);
}

// Saving the colour result and loading it back gives the same planes and luminance.
TEST_F(ColourTest, SynthesisSurvivesSaveAndLoad) {
  std::mt19937 rng(5);
  std::uniform_int_distribution<int> dist(0, 40000);
  for (int i = 0; i < kFramePixels; ++i) store.CurrentFrame[i] = static_cast<uint16_t>(dist(rng));
  SynthesizeColour(store, host, PlainSettings());
  const auto file = dir.path() / "colour~";
  ASSERT_EQ(SaveRawImageFile(store, host, file), 0);
  EXPECT_EQ(std::filesystem::file_size(file), kRawColourLength);

  auto other_owner = ImageStore::Create();
  ImageStore& other = *other_owner;
  InitImageStore(other);
  FitsHeader fits;
  ASSERT_EQ(LoadImageFile(other, fits, host, file), 0);
  EXPECT_EQ(other.ColourConverted, 1);
  EXPECT_EQ(other.RedPlane, store.RedPlane);
  EXPECT_EQ(other.GreenPlane, store.GreenPlane);
  EXPECT_EQ(other.BluePlane, store.BluePlane);
  for (int row = 0; row < kFrameHeight; ++row) {
    for (int col = 0; col < 510; ++col) {
      ASSERT_EQ(other.CurrentFrame[PixelIndex(row, col)], store.CurrentFrame[PixelIndex(row, col)]);
    }
  }
}

}  // namespace
}  // namespace nyxel
