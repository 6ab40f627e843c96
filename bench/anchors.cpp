// The processing operations beside the OpenCV functions a user would compare them with, and beside two
// floors (one 32,768-entry table lookup pass, one frame copy), on the same frames in one run. Prints a
// Markdown table: median thread CPU time of the repetitions, the anchor's, their ratio and the goal.
//   bench_anchors [repetitions [scalar|vector|avx2]]   (default 15, the widest path the processor has)
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <functional>
#include <memory>
#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>
#include <random>
#include <string>
#include <vector>

#include "core/RecordingHost.h"
#include "processing/Colour.h"
#include "processing/Filter.h"
#include "processing/Simd.h"
#include "processing/Stretch.h"
#include "processing/StretchCache.h"

namespace nyxel {
namespace {

double ThreadMicroseconds() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return t.tv_sec * 1e6 + t.tv_nsec / 1e3;
}

// A star field's worth of variety: a sky with noise, some bright and saturated pixels.
void FillSky(Frame& frame) {
  std::mt19937 random(7);
  std::normal_distribution<double> sky(3000.0, 300.0);
  for (int i = 0; i < kFramePixels; ++i) {
    double v = sky(random);
    if (random() % 200 == 0) v = 20000 + random() % 45535;
    frame[i] = static_cast<uint16_t>(v < 0 ? 0 : v > 65535 ? 65535 : v);
  }
}

// A raw mosaic frame as the camera gives it.
void FillRaw(Frame& frame) {
  std::mt19937 random(1);
  std::uniform_int_distribution<int> dist(500, 30000);
  for (int i = 0; i < kFramePixels; ++i) frame[i] = static_cast<uint16_t>(dist(random));
}

// One operation: `prepare` (untimed) restores its input, `run` is timed.
struct Timed {
  std::function<void()> prepare;
  std::function<void()> run;
};

struct Row {
  std::string work;
  Timed ours;
  std::string anchor_name;
  Timed anchor;       // empty run: no anchor
  double goal_ratio;  // ours / anchor must be at most this; 0: none
  double goal_us;     // ours must be below this; 0: none
};

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

// Median time of `repetitions` timed runs, the two sides alternating so both see the same load.
void Measure(const Row& row, int repetitions, double& ours, double& anchor) {
  std::vector<double> a, b;
  auto once = [](const Timed& t) {
    if (t.prepare) t.prepare();
    const double start = ThreadMicroseconds();
    t.run();
    return ThreadMicroseconds() - start;
  };
  once(row.ours);  // warm the caches and the tables
  if (row.anchor.run) once(row.anchor);
  for (int k = 0; k < repetitions; ++k) {
    a.push_back(once(row.ours));
    if (row.anchor.run) b.push_back(once(row.anchor));
  }
  ours = Median(a);
  anchor = b.empty() ? 0.0 : Median(b);
}

std::string Micros(double us) {
  char text[32];
  if (us >= 1000.0) {
    std::snprintf(text, sizeof text, "%.2f ms", us / 1000.0);
  } else {
    std::snprintf(text, sizeof text, "%.0f us", us);
  }
  return text;
}

int Main(int argc, char** argv) {
  const int repetitions = argc > 1 ? std::max(1, std::atoi(argv[1])) : 15;
  if (argc > 2) {
    const std::string path = argv[2];
    if (path == "scalar") {
      SetSimdPath(SimdPath::kScalar);
    } else if (path == "vector") {
      SetSimdPath(SimdPath::kVector);
    } else if (path != "avx2") {
      std::fprintf(stderr, "bench_anchors: unknown kernel path %s (scalar, vector or avx2)\n", path.c_str());
      return 2;
    }
  }
  cv::setNumThreads(1);  // one thread on both sides
  auto store = ImageStore::Create();
  InitImageStore(*store);
  Frame sky{}, raw{};
  FillSky(sky);
  FillRaw(raw);
  RecordingHost host;
  auto table = std::make_unique<StretchTable>();
  BuildPowerTable(*table, 0.7);

  // OpenCV works on its own copy of the same frame.
  cv::Mat src(kFrameHeight, kFrameWidth, CV_16UC1), dst(kFrameHeight, kFrameWidth, CV_16UC1),
      blurred(kFrameHeight, kFrameWidth, CV_16UC1);
  std::memcpy(src.data, sky.data(), kFramePixels * sizeof(uint16_t));
  std::vector<uint16_t> out(kFramePixels);

  auto restore_sky = [&] {
    CopyFrame(sky, store->CurrentFrame);
    ClearHistory(store->History);
    store->BlackLevel = 12;
    host.Clear();
    host.progress_positions.clear();
  };
  auto restore_raw = [&] {
    CopyFrame(raw, store->CurrentFrame);
    store->ColourConverted = 0;
    ClearHistory(store->History);
    host.progress_positions.clear();
  };
  auto op = [&](std::function<void()> f) { return Timed{restore_sky, std::move(f)}; };
  auto fresh = [&](std::function<void()> f) {
    return Timed{[&] {
                   restore_sky();
                   ForgetStretchTables();
                 },
                 std::move(f)};
  };
  auto cv_op = [&](std::function<void()> f) { return Timed{nullptr, std::move(f)}; };

  const Timed lookup = cv_op([&] {
    const StretchTable& t = *table;
    const uint16_t* in = sky.data();
    for (int i = 0; i < kFramePixels; ++i) out[i] = static_cast<uint16_t>(2 * t[in[i] >> 1]);
  });
  const Timed copy = cv_op([&] { CopyFrame(sky, store->SpareFrame); });

  auto kernel_anchor = [&](int radius, int kernel, int divisor) {
    const int side = 2 * radius + 1;
    cv::Mat k(side, side, CV_32F);
    for (int i = 0; i < side * side; ++i) k.at<float>(i / side, i % side) = FilterKernels[kernel][i];
    k /= divisor;
    return cv_op([=, &src, &dst] { cv::filter2D(src, dst, CV_16U, k); });
  };
  auto unsharp_anchor = [&](int power) {
    return cv_op([&, power] {
      cv::blur(src, blurred, cv::Size(3, 3));
      cv::addWeighted(src, 1.0 + power, blurred, -power, 0.0, dst);
    });
  };

  Settings defaults;
  Settings no_anti_alias;
  no_anti_alias.anti_alias = false;
  Settings everything;
  everything.light_pollution_correction = true;
  everything.strong_stretch = true;
  everything.remove_background = true;
  everything.high_pass = true;
  everything.unsharp_mask = true;

  std::vector<Row> rows = {
      {"conditional median radius 1 (3 x 3)", op([&] { MedianFilter(*store, 1, 6); }), "cv::medianBlur 3",
       cv_op([&] { cv::medianBlur(src, dst, 3); }), 2.0, 0},
      {"conditional median radius 2 (5 x 5)", op([&] { MedianFilter(*store, 2, 6); }), "cv::medianBlur 5",
       cv_op([&] { cv::medianBlur(src, dst, 5); }), 1.0, 0},
      {"conditional median radius 3 (7 x 7)", op([&] { MedianFilter(*store, 3, 6); }), "-", {}, 0, 3000},
      {"power stretch", op([&] { PowerStretch(*store, host, *table, 0.7); }), "table lookup pass", lookup,
       2.0, 0},
      {"sine stretch", op([&] { SineStretch(*store, host, *table); }), "table lookup pass", lookup, 2.0, 0},
      {"log stretch", op([&] { LogStretch(*store, host, *table); }), "table lookup pass", lookup, 2.0, 0},
      {"antilog stretch", op([&] { AntilogStretch(*store, host, *table); }), "table lookup pass", lookup, 2.0,
       0},
      {"normal stretch", op([&] { NormalStretch(*store, host, *table, 10, 200); }), "table lookup pass",
       lookup, 2.0, 0},
      {"remove background", op([&] { RemoveBackground(*store, host, *table); }), "table lookup pass", lookup,
       2.0, 0},
      {"non-linear stretch", op([&] { NonLinearStretch(*store, host, *table, 25); }), "table lookup pass",
       lookup, 2.0, 0},
      // The same stretches when the builder's kept table cannot be used: each run builds afresh.
      {"power stretch, table built afresh", fresh([&] { PowerStretch(*store, host, *table, 0.7); }),
       "table lookup pass", lookup, 0, 0},
      {"sine stretch, table built afresh", fresh([&] { SineStretch(*store, host, *table); }),
       "table lookup pass", lookup, 0, 0},
      {"log stretch, table built afresh", fresh([&] { LogStretch(*store, host, *table); }),
       "table lookup pass", lookup, 0, 0},
      {"antilog stretch, table built afresh", fresh([&] { AntilogStretch(*store, host, *table); }),
       "table lookup pass", lookup, 0, 0},
      {"normal stretch, table built afresh", fresh([&] { NormalStretch(*store, host, *table, 10, 200); }),
       "table lookup pass", lookup, 0, 0},
      {"non-linear stretch, table built afresh", fresh([&] { NonLinearStretch(*store, host, *table, 25); }),
       "table lookup pass", lookup, 0, 0},
      {"unsharp mask radius 1", op([&] { UnsharpMask(*store, 1, 3); }), "cv::blur 3 + addWeighted",
       unsharp_anchor(3), 1.5, 0},
      {"unsharp mask radius 3", op([&] { UnsharpMask(*store, 3, 3); }), "cv::blur 3 + addWeighted",
       unsharp_anchor(3), 1.5, 0},
      {"unsharp mask radius 7", op([&] { UnsharpMask(*store, 7, 3); }), "cv::blur 3 + addWeighted",
       unsharp_anchor(3), 1.5, 0},
      {"gaussian 5 x 5", op([&] { GaussianFilter(*store); }), "cv::GaussianBlur 5",
       cv_op([&] { cv::GaussianBlur(src, dst, cv::Size(5, 5), 0); }), 1.0, 0},
      {"lowpass smoother 3 x 3", op([&] { LowpassSmootherFilter(*store); }), "cv::filter2D 3",
       kernel_anchor(1, 0, 16), 1.0, 0},
      {"high pass low power 3 x 3", op([&] { HighPassLowPowerFilter(*store); }), "cv::filter2D 3",
       kernel_anchor(1, 2, 1), 1.0, 0},
      {"high pass high power 5 x 5", op([&] { HighPassHighPowerFilter(*store); }), "cv::filter2D 5",
       kernel_anchor(2, 3, 1), 1.0, 0},
      {"smoother/sharper 5 x 5", op([&] { SmootherSharperFilter(*store); }), "cv::filter2D 5",
       kernel_anchor(2, 4, 1), 1.0, 0},
      {"bas relief 5 x 5", op([&] { BasReliefFilter(*store); }), "cv::filter2D 5", kernel_anchor(2, 5, 1),
       1.0, 0},
      {"colour synthesis, default options",
       Timed{restore_raw, [&] { SynthesizeColour(*store, host, defaults); }},
       "-",
       {},
       0,
       5000},
      {"colour synthesis, no anti-alias",
       Timed{restore_raw, [&] { SynthesizeColour(*store, host, no_anti_alias); }},
       "-",
       {},
       0,
       5000},
      {"colour synthesis, every option",
       Timed{restore_raw, [&] { SynthesizeColour(*store, host, everything); }},
       "-",
       {},
       0,
       10000},
      {"anti-alias",
       Timed{[&] { UndoColourFilter(*store); }, [&] { AntiAlias(*store, host); }},
       "-",
       {},
       0,
       0},
      {"floor: frame copy", copy, "-", {}, 0, 0},
      {"floor: table lookup pass", lookup, "-", {}, 0, 0},
  };
  // The anti-alias row starts from a synthesised image.
  restore_raw();
  SynthesizeColour(*store, host, no_anti_alias);

  const char* path = ActiveSimdPath() == SimdPath::kAvx2     ? "avx2"
                     : ActiveSimdPath() == SimdPath::kVector ? "vector"
                                                             : "scalar";
  std::printf(
      "512 x 290 16-bit frames, single thread, median thread CPU time of %d repetitions, kernels: %s\n\n",
      repetitions, path);
  std::printf("| work | Nyxel | anchor | ratio | goal | met |\n|---|---|---|---|---|---|\n");
  int missed = 0;
  for (const Row& row : rows) {
    double ours = 0, anchor = 0;
    Measure(row, repetitions, ours, anchor);
    std::string anchor_text = row.anchor_name, ratio_text = "-", goal_text = "-", met = "-";
    if (row.anchor.run) {
      anchor_text += ": " + Micros(anchor);
      char text[32];
      std::snprintf(text, sizeof text, "%.2fx", ours / anchor);
      ratio_text = text;
    }
    if (row.goal_ratio > 0) {
      char text[32];
      std::snprintf(text, sizeof text, "<= %.1fx", row.goal_ratio);
      goal_text = text;
      met = ours <= row.goal_ratio * anchor ? "yes" : "no";
    } else if (row.goal_us > 0) {
      goal_text = "< " + Micros(row.goal_us);
      met = ours < row.goal_us ? "yes" : "no";
    }
    if (met == "no") ++missed;
    std::printf("| %s | %s | %s | %s | %s | %s |\n", row.work.c_str(), Micros(ours).c_str(),
                anchor_text.c_str(), ratio_text.c_str(), goal_text.c_str(), met.c_str());
    std::fflush(stdout);
  }
  std::printf("\n%d goal%s missed\n", missed, missed == 1 ? "" : "s");
  return 0;
}

}  // namespace
}  // namespace nyxel

int main(int argc, char** argv) {
  return nyxel::Main(argc, argv);
}
