// The fast filters, stretches and colour steps against the code they replaced (tests/processing/legacy):
// every frame, plane, history line and progress step must come out the same, bit for bit, on random,
// flat, extreme and labelled frames over the parameter ranges. The random frames' columns 510 and 511
// hold no picture: a neighbourhood of the picture reads them mirrored (OldOnPicture).
#include <gtest/gtest.h>

#include <functional>
#include <random>
#include <string>
#include <vector>

#include "core/Display.h"
#include "core/RecordingHost.h"
#include "processing/Colour.h"
#include "processing/Filter.h"
#include "processing/Simd.h"
#include "processing/Stretch.h"
#include "processing/StretchCache.h"
#include "tests/processing/legacy/Legacy.h"

namespace nyxel {
namespace {

std::unique_ptr<ImageStore> NewStore() {
  auto store = ImageStore::Create();
  InitImageStore(*store);
  return store;
}

// Frames of every kind the filters must agree on.
enum class Kind { kUniform, kSky, kBlocks, kExtremes, kDark, kBright };
constexpr Kind kKinds[] = {Kind::kUniform,  Kind::kSky,  Kind::kBlocks,
                           Kind::kExtremes, Kind::kDark, Kind::kBright};

void FillFrame(Frame& frame, Kind kind, bool labelled, unsigned seed) {
  std::mt19937 random(seed);
  auto uniform = [&](int lo, int hi) { return std::uniform_int_distribution<>(lo, hi)(random); };
  std::vector<int> block_values(33 * 19);
  for (int& v : block_values) {
    const int pick = uniform(0, 5);
    v = pick == 0 ? 0 : pick == 1 ? 65535 : uniform(0, 65535);
  }
  for (int i = 0; i < kFramePixels; ++i) {
    int v = 0;
    switch (kind) {
      case Kind::kUniform:
        v = uniform(0, 65535);
        break;
      case Kind::kSky:
        v = uniform(0, 30) == 0 ? uniform(20000, 65535) : uniform(2900, 3100);
        break;
      case Kind::kBlocks: {
        // Flat 16 x 16 blocks, some with a hot or cold pixel.
        v = block_values[(i / kFrameWidth / 16) * 33 + (i % kFrameWidth) / 16];
        if (uniform(0, 60) == 0) v = uniform(0, 1) ? 65535 : 0;
        break;
      }
      case Kind::kExtremes: {
        constexpr int kValues[] = {0, 1, 2, 32767, 32768, 65000, 65001, 65280, 65281, 65534, 65535};
        v = kValues[uniform(0, 10)];
        break;
      }
      case Kind::kDark:
        v = uniform(0, 300);
        break;
      case Kind::kBright:
        v = uniform(64500, 65535);
        break;
    }
    frame[i] = static_cast<uint16_t>(v);
  }
  if (labelled) {
    frame[4] = 20;
    frame[5] = 14;
  } else if (frame[4] == 20 && frame[5] == 14) {
    frame[4] = 0;
  }
}

// Everything an operation may change, as "what differs" or "" when the stores are equal.
std::string Differences(const ImageStore& got, const ImageStore& want) {
  std::string out;
  auto frame = [&](const char* name, const Frame& a, const Frame& b) {
    for (int i = 0; i < kFrameElements; ++i) {
      if (a[i] != b[i]) {
        out += std::string(name) + " at " + std::to_string(i / kFrameWidth) + "," +
               std::to_string(i % kFrameWidth) + " got " + std::to_string(a[i]) + " want " +
               std::to_string(b[i]) + "; ";
        return;
      }
    }
  };
  auto plane = [&](const char* name, const Plane& a, const Plane& b) {
    for (int i = 0; i < kPlaneBytes; ++i) {
      if (a[i] != b[i]) {
        out += std::string(name) + " at " + std::to_string(i / kFrameWidth) + "," +
               std::to_string(i % kFrameWidth) + " got " + std::to_string(a[i]) + " want " +
               std::to_string(b[i]) + "; ";
        return;
      }
    }
  };
  frame("CurrentFrame", got.CurrentFrame, want.CurrentFrame);
  frame("SecondFrame", got.SecondFrame, want.SecondFrame);
  frame("UndoFrame", got.UndoFrame, want.UndoFrame);
  frame("SpareFrame", got.SpareFrame, want.SpareFrame);
  plane("RedPlane", got.RedPlane, want.RedPlane);
  plane("BluePlane", got.BluePlane, want.BluePlane);
  plane("GreenPlane", got.GreenPlane, want.GreenPlane);
  plane("ChromaRed", got.ChromaRed, want.ChromaRed);
  plane("ChromaBlue", got.ChromaBlue, want.ChromaBlue);
  plane("ChromaGreen", got.ChromaGreen, want.ChromaGreen);
  plane("UndoRed", got.UndoRed, want.UndoRed);
  plane("UndoBlue", got.UndoBlue, want.UndoBlue);
  plane("UndoGreen", got.UndoGreen, want.UndoGreen);
  plane("ScratchPlane0", got.ScratchPlane0, want.ScratchPlane0);
  plane("ScratchPlane1", got.ScratchPlane1, want.ScratchPlane1);
  plane("ScratchPlane2", got.ScratchPlane2, want.ScratchPlane2);
  if (got.History.UsedCount() != want.History.UsedCount()) out += "history count; ";
  for (int k = 0; k < want.History.UsedCount(); ++k) {
    if (got.History.Line(k) != want.History.Line(k)) out += "history line " + std::to_string(k) + "; ";
  }
  if (got.ColourConverted != want.ColourConverted) out += "ColourConverted; ";
  if (got.BlackLevel != want.BlackLevel) out += "BlackLevel; ";
  if (got.AutoStretch != want.AutoStretch) out += "AutoStretch; ";
  return out;
}

std::string HostDifferences(const RecordingHost& got, const RecordingHost& want) {
  std::string out;
  if (got.progress_positions != want.progress_positions) out += "progress positions; ";
  if (got.progress_captions != want.progress_captions) out += "progress captions; ";
  if (got.busy_depth != want.busy_depth) out += "busy cursor; ";
  if (got.progress_open != want.progress_open) out += "progress open; ";
  return out;
}

using StoreOp = std::function<void(ImageStore&, Host&)>;

// Columns 510 and 511 of the frame and the colour planes made a mirror of columns 508 and 507.
void MirrorRightEdge(ImageStore& store) {
  for (int y = 0; y < kFrameHeight; ++y) {
    const int i = PixelIndex(y, 0);
    store.CurrentFrame[i + 510] = store.CurrentFrame[i + 508];
    store.CurrentFrame[i + 511] = store.CurrentFrame[i + 507];
    for (Plane* p : {&store.RedPlane, &store.GreenPlane, &store.BluePlane}) {
      (*p)[i + 510] = (*p)[i + 508];
      (*p)[i + 511] = (*p)[i + 507];
    }
  }
}

// Columns 0..509 of every frame and plane from `from` into `to`.
void CopyPictureColumns(const ImageStore& from, ImageStore& to) {
  for (int y = 0; y < kFrameHeight; ++y) {
    const int i = PixelIndex(y, 0);
    for (auto f : {&ImageStore::CurrentFrame, &ImageStore::SecondFrame, &ImageStore::UndoFrame,
                   &ImageStore::SpareFrame})
      std::copy_n((from.*f).begin() + i, 510, (to.*f).begin() + i);
    for (auto p : {&ImageStore::RedPlane, &ImageStore::BluePlane, &ImageStore::GreenPlane,
                   &ImageStore::ChromaRed, &ImageStore::ChromaBlue, &ImageStore::ChromaGreen,
                   &ImageStore::UndoRed, &ImageStore::UndoBlue, &ImageStore::UndoGreen,
                   &ImageStore::ScratchPlane0, &ImageStore::ScratchPlane1, &ImageStore::ScratchPlane2})
      std::copy_n((from.*p).begin() + i, 510, (to.*p).begin() + i);
  }
}

// The old code with a sound right edge: columns 510 and 511 hold no picture, so a picture pixel must
// come out as the old code makes it when they mirror columns 508 and 507, whatever they hold; columns
// 510 and 511 themselves come out as the old code makes them from the store as it is.
void OldOnPicture(const StoreOp& old, ImageStore& store, Host& host) {
  static auto mirrored = NewStore();
  *mirrored = store;
  MirrorRightEdge(*mirrored);
  RecordingHost ignored;
  old(*mirrored, ignored);
  old(store, host);
  CopyPictureColumns(*mirrored, store);
}

// Runs the legacy operation and, on every kernel path, the fast one on copies of the same store and
// compares everything.
void ExpectSame(const std::string& name, const ImageStore& start, const StoreOp& fast, const StoreOp& old) {
  static auto a = NewStore();
  static auto b = NewStore();
  *b = start;
  RecordingHost host_b;
  old(*b, host_b);
  for (const SimdPath path : {SimdPath::kScalar, SimdPath::kVector, SimdPath::kAvx2}) {
    if (path > BestSimdPath()) continue;
    SetSimdPath(path);
    *a = start;
    RecordingHost host_a;
    fast(*a, host_a);
    const std::string on = name + (path == SimdPath::kScalar   ? " (scalar)"
                                   : path == SimdPath::kVector ? " (vector)"
                                                               : " (avx2)");
    EXPECT_EQ(Differences(*a, *b), "") << on;
    EXPECT_EQ(HostDifferences(host_a, host_b), "") << on;
  }
  SetSimdPath(BestSimdPath());
}

TEST(FastPathsTest, FiltersMatchTheLegacyCode) {
  struct Case {
    std::string name;
    StoreOp fast, old;
  };
  std::vector<Case> cases = {
      {"high pass low power", [](ImageStore& s, Host&) { HighPassLowPowerFilter(s); },
       [](ImageStore& s, Host&) { legacy::HighPassLowPowerFilter(s); }},
      {"high pass high power", [](ImageStore& s, Host&) { HighPassHighPowerFilter(s); },
       [](ImageStore& s, Host&) { legacy::HighPassHighPowerFilter(s); }},
      {"smoother/sharper", [](ImageStore& s, Host&) { SmootherSharperFilter(s); },
       [](ImageStore& s, Host&) { legacy::SmootherSharperFilter(s); }},
      {"gaussian", [](ImageStore& s, Host&) { GaussianFilter(s); },
       [](ImageStore& s, Host&) { legacy::GaussianFilter(s); }},
      {"lowpass smoother", [](ImageStore& s, Host&) { LowpassSmootherFilter(s); },
       [](ImageStore& s, Host&) { legacy::LowpassSmootherFilter(s); }},
      {"bas relief", [](ImageStore& s, Host&) { BasReliefFilter(s); },
       [](ImageStore& s, Host&) { legacy::BasReliefFilter(s); }},
      {"gradient", [](ImageStore& s, Host&) { GradientFilter(s); },
       [](ImageStore& s, Host&) { legacy::GradientFilter(s); }},
  };
  for (const int radius : {1, 2}) {
    for (int kernel = 0; kernel < kKernelCount; ++kernel) {
      for (const int divisor : {1, 16, 80, -7}) {
        cases.push_back({"convolve " + std::to_string(radius) + "/" + std::to_string(kernel) + "/" +
                             std::to_string(divisor),
                         [=](ImageStore& s, Host&) { ConvolveFrame(s, radius, kernel, divisor); },
                         [=](ImageStore& s, Host&) { legacy::ConvolveFrame(s, radius, kernel, divisor); }});
      }
    }
  }
  for (const int radius : {0, 1, 2, 3, 4, 6, 7, 8}) {
    for (const int power : {0, 1, 2, 5, 7, 8}) {
      cases.push_back({"unsharp " + std::to_string(radius) + "/" + std::to_string(power),
                       [=](ImageStore& s, Host&) { UnsharpMask(s, radius, power); },
                       [=](ImageStore& s, Host&) { legacy::UnsharpMask(s, radius, power); }});
    }
  }
  for (int radius = 0; radius <= 4; ++radius) {
    for (int power = 0; power <= 11; ++power) {
      // The large windows' reference is slow; refused radii need few powers.
      if (radius >= 2 && radius <= 3 && power % 3 != 1) continue;
      if ((radius == 0 || radius == 4) && power % 5 != 0 && power != 11) continue;
      cases.push_back({"median " + std::to_string(radius) + "/" + std::to_string(power),
                       [=](ImageStore& s, Host&) { MedianFilter(s, radius, power); },
                       [=](ImageStore& s, Host&) { legacy::MedianFilter(s, radius, power); }});
    }
  }
  // Each case runs on four of the twelve frame kinds (half of them labelled), rotating through them.
  unsigned seed = 1;
  auto start = NewStore();
  for (size_t n = 0; n < cases.size(); ++n) {
    const Case& c = cases[n];
    for (size_t k = 4 * n; k < 4 * n + 4; ++k) {
      {
        const Kind kind = kKinds[(k / 2) % std::size(kKinds)];
        const bool labelled = k % 2 == 1;
        InitImageStore(*start);
        FillFrame(start->CurrentFrame, kind, labelled, ++seed);
        start->SecondFrame.fill(77);
        start->ColourConverted = seed % 2;
        start->RedPlane.fill(11);
        ExpectSame(
            c.name + " on kind " + std::to_string(static_cast<int>(kind)) + (labelled ? " labelled" : ""),
            *start, c.fast, [&](ImageStore& s, Host& h) { OldOnPicture(c.old, s, h); });
      }
    }
  }
}

TEST(FastPathsTest, StretchTablesMatchTheLegacyCode) {
  StretchTable fast, old;
  ForgetStretchTables();
  auto same = [&](const std::string& name) {
    for (int i = 0; i < kStretchTableSize; ++i) {
      if (fast[i] != old[i]) {
        ADD_FAILURE() << name << " entry " << i << " got " << fast[i] << " want " << old[i];
        return;
      }
    }
  };
  std::mt19937 random(5);
  for (int white = 1; white <= kNormalWhiteMax; ++white) {
    for (int black = 0; black < white && black <= kNormalBlackMax; black += 1 + random() % 23) {
      BuildNormalTable(fast, black, white);
      legacy::BuildNormalTable(old, black, white);
      same("normal " + std::to_string(black) + " " + std::to_string(white));
    }
  }
  // Every tenth the dialog makes, computed as callers do, and values between.
  std::vector<double> powers;
  for (int tenths = 1; tenths <= 30; ++tenths) powers.push_back(tenths / 10.0);
  for (int tenths = 1; tenths <= 30; ++tenths) powers.push_back(0.1 * tenths);
  for (int k = 0; k < 20; ++k) powers.push_back(std::uniform_real_distribution<>(0.1, 3.0)(random));
  powers.push_back(1.0);
  for (const double p : powers) {
    // Twice each: built, then copied from the builder's cache.
    for (int round = 0; round < 2; ++round) {
      BuildPowerTable(fast, p);
      legacy::BuildPowerTable(old, p);
      same("power " + std::to_string(p));
    }
  }
  for (int level = 3; level <= 255; ++level) {
    BuildBackgroundTable(fast, level);
    legacy::BuildBackgroundTable(old, level);
    same("background " + std::to_string(level));
  }
  for (int power = kNonLinearPowerMin; power <= kNonLinearPowerMax; ++power) {
    BuildNonLinearTable(fast, power);
    legacy::BuildNonLinearTable(old, power);
    same("non-linear " + std::to_string(power));
  }
  for (int round = 0; round < 2; ++round) {
    if (round == 0) ForgetStretchTables();
    BuildSineTable(fast);
    legacy::BuildSineTable(old);
    same("sine");
    BuildLogTable(fast);
    legacy::BuildLogTable(old);
    same("log");
    BuildAntilogTable(fast);
    legacy::BuildAntilogTable(old);
    same("antilog");
  }
  BuildInvertTable(fast);
  legacy::BuildInvertTable(old);
  same("invert");
  for (const double p : {1.0, 2.0, 4.0, 18.0, 0.5, 2.5, 100.0, 32767.0}) {
    ProcessingHistory a{}, b{};
    BuildNonLinearTable14(fast, p, a);
    legacy::BuildNonLinearTable14(old, p, b);
    same("non-linear 14 " + std::to_string(p));
    EXPECT_EQ(a.Line(0), b.Line(0));
  }
}

TEST(FastPathsTest, StretchOperationsMatchTheLegacyCode) {
  struct Case {
    std::string name;
    std::function<void(ImageStore&, Host&, StretchTable&)> fast, old;
  };
  const std::vector<Case> cases = {
      {"normal", [](ImageStore& s, Host& h, StretchTable& t) { NormalStretch(s, h, t, 10, 200); },
       [](ImageStore& s, Host& h, StretchTable& t) { legacy::NormalStretch(s, h, t, 10, 200); }},
      {"normal refused", [](ImageStore& s, Host& h, StretchTable& t) { NormalStretch(s, h, t, 20, 20); },
       [](ImageStore& s, Host& h, StretchTable& t) { legacy::NormalStretch(s, h, t, 20, 20); }},
      {"power", [](ImageStore& s, Host& h, StretchTable& t) { PowerStretch(s, h, t, 0.7); },
       [](ImageStore& s, Host& h, StretchTable& t) { legacy::PowerStretch(s, h, t, 0.7); }},
      {"power 3", [](ImageStore& s, Host& h, StretchTable& t) { PowerStretch(s, h, t, 3.0); },
       [](ImageStore& s, Host& h, StretchTable& t) { legacy::PowerStretch(s, h, t, 3.0); }},
      {"power refused", [](ImageStore& s, Host& h, StretchTable& t) { PowerStretch(s, h, t, 3.5); },
       [](ImageStore& s, Host& h, StretchTable& t) { legacy::PowerStretch(s, h, t, 3.5); }},
      {"sine", SineStretch, legacy::SineStretch},
      {"background", [](ImageStore& s, Host& h, StretchTable& t) { RemoveBackground(s, h, t); },
       [](ImageStore& s, Host& h, StretchTable& t) { legacy::RemoveBackground(s, h, t); }},
      {"non-linear", [](ImageStore& s, Host& h, StretchTable& t) { NonLinearStretch(s, h, t, 25); },
       [](ImageStore& s, Host& h, StretchTable& t) { legacy::NonLinearStretch(s, h, t, 25); }},
      {"log", LogStretch, legacy::LogStretch},
      {"antilog", AntilogStretch, legacy::AntilogStretch},
      {"invert", InvertStretch, legacy::InvertStretch},
  };
  unsigned seed = 100;
  for (const Case& c : cases) {
    for (const Kind kind : kKinds) {
      for (const bool labelled : {false, true}) {
        auto start = NewStore();
        FillFrame(start->CurrentFrame, kind, labelled, ++seed);
        start->BlackLevel = 3 + static_cast<int>(seed % 250);
        auto fast = std::make_unique<StretchTable>();
        auto old = std::make_unique<StretchTable>();
        fast->fill(3);
        old->fill(3);
        ExpectSame(
            c.name + " on kind " + std::to_string(static_cast<int>(kind)) + (labelled ? " labelled" : ""),
            *start, [&](ImageStore& s, Host& h) { c.fast(s, h, *fast); },
            [&](ImageStore& s, Host& h) { c.old(s, h, *old); });
        EXPECT_TRUE(*fast == *old) << c.name;
      }
    }
  }
}

// The synthesis' own steps are the old code's on the picture; the stretch after them works pixel by
// pixel on the whole frame as before, and each filter after it again on the picture.
void OldSynthesisOnPicture(const Settings& s, ImageStore& store, Host& host) {
  Settings own = s;
  own.weak_stretch = own.strong_stretch = own.user_stretch = false;
  own.high_pass = own.unsharp_mask = own.anti_alias = false;
  OldOnPicture([&](ImageStore& st, Host& h) { legacy::SynthesizeColour(st, h, own); }, store, host);
  const int power = s.weak_stretch ? 2 : s.strong_stretch ? 18 : s.user_stretch ? s.user_stretch_value : 0;
  if (power != 0) {
    auto table = std::make_unique<StretchTable>();
    EstimateAutoStretchLevel(store);
    if (s.remove_background) legacy::RemoveBackground(store, host, *table);
    legacy::BuildNonLinearTable14(*table, power, store.History);
    legacy::ApplyStretchTable(store, host, *table);
  }
  if (s.high_pass)
    OldOnPicture([](ImageStore& st, Host&) { legacy::HighPassLowPowerFilter(st); }, store, host);
  if (s.unsharp_mask) {
    OldOnPicture([&](ImageStore& st, Host&) { legacy::UnsharpMask(st, s.unsharp_diameter, s.unsharp_power); },
                 store, host);
  }
  CopyPlane(store.RedPlane, store.UndoRed);
  CopyPlane(store.GreenPlane, store.UndoGreen);
  CopyPlane(store.BluePlane, store.UndoBlue);
  if (s.anti_alias) OldOnPicture(legacy::AntiAlias, store, host);
}

TEST(FastPathsTest, ColourStepsMatchTheLegacyCode) {
  std::mt19937 random(9);
  auto coin = [&] { return random() % 2 == 1; };
  for (int round = 0; round < 40; ++round) {
    Settings s;
    if (round > 0) {
      s.anti_alias = coin();
      s.light_pollution_correction = coin();
      s.line_offset = coin();
      s.pixel_offset = coin();
      const int stretch = static_cast<int>(random() % 4);
      s.weak_stretch = stretch == 1;
      s.strong_stretch = stretch == 2;
      s.user_stretch = stretch == 3;
      s.user_stretch_value = static_cast<int16_t>(1 + random() % 40);
      s.remove_background = coin();
      s.high_pass = random() % 4 == 0;
      s.unsharp_mask = random() % 4 == 0;
      s.unsharp_diameter = static_cast<uint16_t>(1 + random() % 7);
      s.unsharp_power = static_cast<uint16_t>(1 + random() % 7);
    }
    const Kind kind = round % 3 == 0 ? Kind::kUniform : round % 3 == 1 ? Kind::kSky : Kind::kBlocks;
    auto start = NewStore();
    FillFrame(start->CurrentFrame, kind, round % 4 == 3, 300 + round);
    if (kind == Kind::kUniform && round % 2 == 0) {
      // The mid-range raw frames a camera gives.
      for (int i = 0; i < kFramePixels; ++i) start->CurrentFrame[i] = 500 + start->CurrentFrame[i] % 29500;
      if (round % 4 == 3) start->CurrentFrame[4] = 20, start->CurrentFrame[5] = 14;
    }
    ExpectSame(
        "synthesis round " + std::to_string(round), *start,
        [&](ImageStore& st, Host& h) { SynthesizeColour(st, h, s); },
        [&](ImageStore& st, Host& h) { OldSynthesisOnPicture(s, st, h); });
  }
  // The anti-alias and the other plane commands on random and extreme planes.
  for (int round = 0; round < 12; ++round) {
    auto start = NewStore();
    FillFrame(start->CurrentFrame, Kind::kUniform, round % 2 == 1, 500 + round);
    for (Plane* p : {&start->RedPlane, &start->GreenPlane, &start->BluePlane}) {
      for (auto& v : *p) {
        const int pick = static_cast<int>(random() % 8);
        v = static_cast<uint8_t>(round % 3 == 0   ? (pick == 0   ? 0
                                                     : pick == 1 ? 255
                                                                 : random() % 256)
                                 : round % 3 == 1 ? 100 + random() % 20
                                                  : random() % 256);
      }
    }
    start->ColourConverted = 1;
    ExpectSame(
        "anti-alias " + std::to_string(round), *start, [](ImageStore& st, Host& h) { AntiAlias(st, h); },
        [](ImageStore& st, Host& h) { OldOnPicture(legacy::AntiAlias, st, h); });
    ExpectSame(
        "low pass " + std::to_string(round), *start, [](ImageStore& st, Host&) { LowPassColour(st); },
        [](ImageStore& st, Host& h) {
          OldOnPicture([](ImageStore& x, Host&) { legacy::LowPassColour(x); }, st, h);
        });
    const ColourBalance balance{static_cast<int>(random() % 138) - 10, static_cast<int>(random() % 138) - 10,
                                static_cast<int>(random() % 138) - 10};
    ExpectSame(
        "balance " + std::to_string(round), *start,
        [&](ImageStore& st, Host& h) { BalanceColours(st, h, balance); },
        [&](ImageStore& st, Host& h) { legacy::BalanceColours(st, h, balance); });
  }
}

}  // namespace
}  // namespace nyxel
