// The tone-table stretches: table ranges, the documented pixel mappings, labelled frames, undo, history
// and the progress window.
#include "processing/Stretch.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <string>
#include <vector>

#include "core/Display.h"
#include "core/RecordingHost.h"

namespace nyxel {
namespace {

std::unique_ptr<ImageStore> NewStore() {
  auto store = ImageStore::Create();
  InitImageStore(*store);
  return store;
}

// Every 16-bit value appears (pixel i holds i mod 65,536); pixels 4 and 5 sum to 9, so no label.
void FillAllValues(ImageStore& store) {
  for (int i = 0; i < kFramePixels; ++i) store.CurrentFrame[i] = static_cast<uint16_t>(i % 65536);
}

// Pixel i of an all-values frame as the stretch left it, looked up by its original value.
uint16_t Mapped(const ImageStore& store, int value) {
  return store.CurrentFrame[value];
}

TEST(StretchTest, EveryTableStaysInRangeAndMonotonic) {
  struct Case {
    std::string name;
    std::function<void(StretchTable&)> build;
    int direction;  // +1 non-decreasing, -1 non-increasing
  };
  std::vector<Case> cases;
  for (int b : {0, 1, 100, 254, 255}) {
    for (int w : {b + 1, 255, 256, 300}) {
      if (w > 300 || w <= b) continue;
      cases.push_back({"normal " + std::to_string(b) + "/" + std::to_string(w),
                       [b, w](StretchTable& t) { BuildNormalTable(t, b, w); }, 1});
    }
  }
  for (int tenths = 1; tenths <= 30; ++tenths) {
    cases.push_back({"power " + std::to_string(tenths),
                     [tenths](StretchTable& t) { BuildPowerTable(t, tenths / 10.0); }, 1});
  }
  for (int p : {2, 3, 25, 49, 50}) {
    cases.push_back(
        {"non-linear " + std::to_string(p), [p](StretchTable& t) { BuildNonLinearTable(t, p); }, 1});
  }
  for (int level : {3, 10, 128, 254, 255}) {
    cases.push_back({"background " + std::to_string(level),
                     [level](StretchTable& t) { BuildBackgroundTable(t, level); }, 1});
  }
  for (double p : {1.0, 2.0, 18.0, 29.0}) {
    cases.push_back({"non-linear 14 " + std::to_string(p),
                     [p](StretchTable& t) {
                       ProcessingHistory h;
                       BuildNonLinearTable14(t, p, h);
                     },
                     1});
  }
  cases.push_back({"sine", BuildSineTable, 1});
  cases.push_back({"log", BuildLogTable, 1});
  cases.push_back({"antilog", BuildAntilogTable, 1});
  cases.push_back({"invert", BuildInvertTable, -1});

  for (const Case& c : cases) {
    StretchTable table;
    table.fill(-7);  // a builder that skips an entry shows up as out of range
    c.build(table);
    int bad = -1;  // the first entry out of range or out of order
    for (int i = 0; i < kStretchTableSize && bad < 0; ++i) {
      const bool in_range = table[i] >= 0 && table[i] <= kStretchTableMax;
      const bool ordered = i == 0 || (c.direction > 0 ? table[i] >= table[i - 1] : table[i] <= table[i - 1]);
      if (!in_range || !ordered) bad = i;
    }
    EXPECT_EQ(bad, -1) << c.name << ": entry " << bad << " = " << (bad >= 0 ? table[bad] : 0);
  }
}

// The builders work in double and turn to extended precision only near whole numbers; every entry must
// still be what the extended-precision formula truncates to.
TEST(StretchTest, FastTablesEqualTheExtendedPrecisionFormulas) {
  auto clamp = [](long double v) -> int {
    if (!(v > 0.0L)) return 0;
    return v >= 32767.0L ? 32767 : static_cast<int>(v);
  };
  struct Case {
    std::string name;
    std::function<void(StretchTable&)> build;
    std::function<long double(int)> formula;
  };
  std::vector<Case> cases = {
      {"sine", BuildSineTable,
       [](int i) { return (sinl((i - 16384) * 9.585889570552147e-05L) + 1.0L) * 16383.0L; }},
      {"log", BuildLogTable, [](int i) { return logl(i + 1.0L) * 3151.0L; }},
      {"antilog", BuildAntilogTable, [](int i) { return expl(i * 0.00031735956839098697L) - 1.0L; }},
  };
  for (int tenths : {1, 3, 5, 7, 9, 10, 11, 15, 20, 25, 29, 30}) {
    const long double g = tenths / 10.0;
    cases.push_back({"power " + std::to_string(tenths),
                     [tenths](StretchTable& t) { BuildPowerTable(t, tenths / 10.0); },
                     [g](int i) { return powl(static_cast<long double>(i), g) / powl(32768.0L, g - 1.0L); }});
  }
  // Black-white spans that divide 255 make every entry a whole number; 7 makes every seventh one.
  for (const auto& bw :
       std::vector<std::pair<int, int>>{{0, 255}, {100, 101}, {3, 10}, {17, 200}, {250, 300}}) {
    const int b = bw.first, w = bw.second;
    cases.push_back({"normal " + std::to_string(b) + "/" + std::to_string(w),
                     [b, w](StretchTable& t) { BuildNormalTable(t, b, w); },
                     [b, w](int i) -> long double {
                       if (i < 128 * b) return 0.0L;
                       if (i >= 128 * w) return 32767.0L;
                       return (i - 128 * b) * (255.0L / (w - b));
                     }});
  }
  for (int level : {3, 10, 172, 206, 254, 255}) {
    cases.push_back({"background " + std::to_string(level),
                     [level](StretchTable& t) { BuildBackgroundTable(t, level); },
                     [level](int i) -> long double {
                       const int threshold = 128 * level - 256;
                       return i < threshold ? 0.0L : (i - threshold) * (255.0L / (257 - level));
                     }});
  }
  for (int p : {2, 25, 50}) {
    cases.push_back({"non-linear " + std::to_string(p), [p](StretchTable& t) { BuildNonLinearTable(t, p); },
                     [p](int i) {
                       const long double x = i / 32768.0L;
                       return p * 32768.0L * x / (x * (p - 1.0L) + 1.0L);
                     }});
  }
  for (double p : {2.0, 18.0, 29.0}) {
    cases.push_back({"non-linear 14 " + std::to_string(p),
                     [p](StretchTable& t) {
                       ProcessingHistory h;
                       BuildNonLinearTable14(t, p, h);
                     },
                     [p](int i) {
                       const long double x = i / 16384.0L;
                       return p * 16384.0L * x / (x * (p - 1.0L) + 1.0L);
                     }});
  }
  for (const Case& c : cases) {
    StretchTable table;
    c.build(table);
    int bad = -1;
    for (int i = 0; i < kStretchTableSize && bad < 0; ++i) {
      if (table[i] != clamp(c.formula(i))) bad = i;
    }
    EXPECT_EQ(bad, -1) << c.name << ": entry " << bad;
  }
}

TEST(StretchTest, DocumentedPixelMappings) {
  struct Case {
    std::string name;
    std::function<bool(ImageStore&, Host&, StretchTable&)> run;
    std::function<int(int)> expected;  // -1: not checked for this input
  };
  const std::vector<Case> cases = {
      {"normal 0/255", [](ImageStore& s, Host& h, StretchTable& t) { return NormalStretch(s, h, t, 0, 255); },
       [](int p) { return p < 65280 ? (p & ~1) : 65534; }},
      {"normal 100/101",
       [](ImageStore& s, Host& h, StretchTable& t) { return NormalStretch(s, h, t, 100, 101); },
       [](int p) { return p < 25600    ? 0
                          : p >= 25856 ? 65534
                                       : -1; }},
      {"invert",
       [](ImageStore& s, Host& h, StretchTable& t) {
         InvertStretch(s, h, t);
         return true;
       },
       [](int p) { return 65534 - 2 * (p / 2); }},
      {"log",
       [](ImageStore& s, Host& h, StretchTable& t) {
         LogStretch(s, h, t);
         return true;
       },
       [](int p) { return p <= 1       ? 0
                          : p == 65535 ? 65522
                                       : -1; }},
      {"antilog",
       [](ImageStore& s, Host& h, StretchTable& t) {
         AntilogStretch(s, h, t);
         return true;
       },
       [](int p) { return p <= 1       ? 0
                          : p >= 65524 ? 65534
                                       : -1; }},
      {"power 0.5", [](ImageStore& s, Host& h, StretchTable& t) { return PowerStretch(s, h, t, 5 / 10.0); },
       [](int p) {
         return p == 16384 ? 32768 : p == 65535 ? 65534 : p <= 1 ? 0 : -1;
       }},
      {"power 2.0", [](ImageStore& s, Host& h, StretchTable& t) { return PowerStretch(s, h, t, 2.0); },
       [](int p) { return p == 32768   ? 2 * 8192
                          : p == 65535 ? 65532
                                       : -1; }},
      {"sine",
       [](ImageStore& s, Host& h, StretchTable& t) {
         SineStretch(s, h, t);
         return true;
       },
       [](int p) { return p / 2 == 16384 ? 32766 : -1; }},
      {"background at 10",
       [](ImageStore& s, Host& h, StretchTable& t) {
         s.BlackLevel = 10;
         return RemoveBackground(s, h, t);
       },
       [](int p) { return p < 2048 ? 0 : -1; }},
      {"non-linear 2", [](ImageStore& s, Host& h, StretchTable& t) { return NonLinearStretch(s, h, t, 2); },
       // x = 0.5: 2 x 32,768 x 0.5 / 1.5 = 21,845.33
       [](int p) { return p / 2 == 16384 ? 43690
                          : p <= 1       ? 0
                                         : -1; }},
  };
  for (const Case& c : cases) {
    auto store = NewStore();
    FillAllValues(*store);
    RecordingHost host;
    StretchTable table;
    ASSERT_TRUE(c.run(*store, host, table)) << c.name;
    for (int p = 0; p < 65536; ++p) {
      const int want = c.expected(p);
      ASSERT_EQ(Mapped(*store, p) % 2, 0) << c.name << " pixel " << p;
      if (want >= 0) {
        ASSERT_EQ(Mapped(*store, p), want) << c.name << " pixel " << p;
      }
    }
    // The part of the frame past the first 65,536 pixels went through the same table.
    for (int i = 65536; i < kFramePixels; ++i) ASSERT_EQ(store->CurrentFrame[i], Mapped(*store, i % 65536));
  }
}

TEST(StretchTest, OperationsKeepUndoLabelHistoryAndProgress) {
  using Op = std::function<bool(ImageStore&, Host&, StretchTable&)>;
  auto always = [](void (*f)(ImageStore&, Host&, StretchTable&)) {
    return Op([f](ImageStore& s, Host& h, StretchTable& t) {
      f(s, h, t);
      return true;
    });
  };
  struct Case {
    Op run;
    std::string line;
  };
  const std::vector<Case> cases = {
      {[](ImageStore& s, Host& h, StretchTable& t) { return NormalStretch(s, h, t, 12, 200); },
       "Normal Stretch : max 200 ,min 12"},
      {[](ImageStore& s, Host& h, StretchTable& t) { return PowerStretch(s, h, t, 0.7); },
       "Power Stretch : 0.7"},
      {always(SineStretch), "Sine Stretch"},
      {[](ImageStore& s, Host& h, StretchTable& t) {
         s.BlackLevel = 40;
         return RemoveBackground(s, h, t);
       },
       "Background Removed : min 38"},
      {[](ImageStore& s, Host& h, StretchTable& t) { return NonLinearStretch(s, h, t, 25); },
       "Non-Linear Stretch : power 25"},
      {always(LogStretch), "Log Stretch"},
      {always(AntilogStretch), "Anti-Log Stretch"},
      {always(InvertStretch), "Invert Image to Negative"},
  };
  for (const Case& c : cases) {
    for (bool labelled : {false, true}) {
      for (bool full_history : {false, true}) {
        auto store = NewStore();
        FillAllValues(*store);
        if (labelled) {
          store->CurrentFrame[4] = 30;
          store->CurrentFrame[5] = 4;
        }
        const Frame before = store->CurrentFrame;
        ClearHistory(store->History);
        AddHistoryLine(store->History, "Loaded");
        const int fill_to = full_history ? kHistoryLines : 1;
        for (int i = 1; i < fill_to; ++i) AddHistoryLine(store->History, "step " + std::to_string(i));
        RecordingHost host;
        StretchTable table;
        ASSERT_TRUE(c.run(*store, host, table)) << c.line;

        EXPECT_EQ(store->UndoFrame, before) << c.line;
        int changed_banner = 0, changed_body = 0;
        for (int i = 0; i < kFramePixels; ++i) {
          const int want = 2 * table[before[i] / 2];
          if (i < kHeaderPixels && labelled) {
            changed_banner += store->CurrentFrame[i] != before[i];
          } else {
            ASSERT_EQ(store->CurrentFrame[i], want) << c.line << " pixel " << i;
            changed_body += store->CurrentFrame[i] != before[i];
          }
        }
        EXPECT_EQ(changed_banner, 0) << c.line;
        EXPECT_GT(changed_body, 0) << c.line;
        EXPECT_EQ(store->History.UsedCount(), full_history ? kHistoryLines : 2) << c.line;
        EXPECT_EQ(store->History.Line(full_history ? kHistoryLines - 1 : 1),
                  full_history ? "step 14" : c.line);

        EXPECT_EQ(host.progress_captions, std::vector<std::string>{"CONTRAST STRETCH"});
        ASSERT_EQ(host.progress_positions.size(), 16u);
        EXPECT_EQ(host.progress_positions.front(), 0);
        EXPECT_EQ(host.progress_positions.back(), 240 * 100 / 256);
        EXPECT_FALSE(host.progress_open);
        EXPECT_EQ(host.busy_depth, 0);
      }
    }
  }
}

TEST(StretchTest, RefusedStretchesChangeNothing) {
  struct Case {
    std::string name;
    std::function<bool(ImageStore&, Host&, StretchTable&)> run;
  };
  const std::vector<Case> cases = {
      {"background at 2",
       [](ImageStore& s, Host& h, StretchTable& t) {
         s.BlackLevel = 2;
         return RemoveBackground(s, h, t);
       }},
      {"background at 0",
       [](ImageStore& s, Host& h, StretchTable& t) {
         s.BlackLevel = 0;
         return RemoveBackground(s, h, t);
       }},
      {"normal black = white",
       [](ImageStore& s, Host& h, StretchTable& t) { return NormalStretch(s, h, t, 90, 90); }},
      {"normal black > white",
       [](ImageStore& s, Host& h, StretchTable& t) { return NormalStretch(s, h, t, 91, 90); }},
      {"normal white 301",
       [](ImageStore& s, Host& h, StretchTable& t) { return NormalStretch(s, h, t, 0, 301); }},
      {"normal black -1",
       [](ImageStore& s, Host& h, StretchTable& t) { return NormalStretch(s, h, t, -1, 9); }},
      {"power 0", [](ImageStore& s, Host& h, StretchTable& t) { return PowerStretch(s, h, t, 0.0); }},
      {"power 3.5", [](ImageStore& s, Host& h, StretchTable& t) { return PowerStretch(s, h, t, 3.5); }},
      {"non-linear 1", [](ImageStore& s, Host& h, StretchTable& t) { return NonLinearStretch(s, h, t, 1); }},
      {"non-linear 51",
       [](ImageStore& s, Host& h, StretchTable& t) { return NonLinearStretch(s, h, t, 51); }},
  };
  for (const Case& c : cases) {
    auto store = NewStore();
    FillAllValues(*store);
    store->UndoFrame.fill(3);
    const Frame current = store->CurrentFrame;
    const Frame undo = store->UndoFrame;
    RecordingHost host;
    StretchTable table;
    table.fill(5);
    EXPECT_FALSE(c.run(*store, host, table)) << c.name;
    EXPECT_EQ(store->CurrentFrame, current) << c.name;
    EXPECT_EQ(store->UndoFrame, undo) << c.name;
    EXPECT_EQ(store->History.UsedCount(), 0) << c.name;
    EXPECT_EQ(table[100], 5) << c.name;
    EXPECT_TRUE(host.progress_captions.empty()) << c.name;
  }
}

TEST(StretchTest, NonLinearTable14KeepsItsCurveAndNotesThePower) {
  struct Case {
    double power;
    int entry;
    int expected;
  };
  // P x 16,384 x x / (x (P - 1) + 1), x = i / 16,384.
  const Case cases[] = {
      {2.0, 0, 0},          {2.0, 8192, 10922},  {2.0, 16383, 16383}, {18.0, 1024, 8936},
      {18.0, 16384, 16384}, {2.0, 32767, 21845}, {29.5, 4096, 14871},
  };
  for (const Case& c : cases) {
    StretchTable table;
    ProcessingHistory history;
    BuildNonLinearTable14(table, c.power, history);
    EXPECT_EQ(table[c.entry], c.expected) << c.power << " entry " << c.entry;
    EXPECT_EQ(history.Line(0), "Non-Linear Stretch : power " + std::to_string(static_cast<int>(c.power)));
  }
}

}  // namespace
}  // namespace nyxel
