// The window: start-up to the first paint, and a display refresh as the user sees it (engine, bitmap
// load and paint) for grey and colour frames. Runs offscreen unless a display is chosen.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <cstdlib>
#include <filesystem>

#include "app/TNyxelWindow.h"

namespace nyxel {
namespace {

QApplication& App() {
  if (std::getenv("QT_QPA_PLATFORM") == nullptr) setenv("QT_QPA_PLATFORM", "offscreen", 1);
  static int argc = 1;
  static char name[] = "bench_window";
  static char* argv[] = {name, nullptr};
  static QApplication app(argc, argv);
  return app;
}

std::filesystem::path DriveFolder() {
  const auto dir = std::filesystem::temp_directory_path() / "nyxel-bench-window";
  std::filesystem::create_directories(dir);
  return dir;
}

int AnswerOk(const QtHost::Box&) {
  return kIdOk;
}

void BM_StartupToFirstPaint(benchmark::State& state) {
  App();
  const auto root = DriveFolder();
  for (auto _ : state) {
    TNyxelWindow window(root, nullptr, AnswerOk);
    window.show();
    // grab() paints the whole window now, as the first expose would.
    benchmark::DoNotOptimize(window.grab());
  }
}
BENCHMARK(BM_StartupToFirstPaint)->Unit(benchmark::kMillisecond);

void BM_Refresh(benchmark::State& state, bool colour) {
  App();
  TNyxelWindow window(DriveFolder(), nullptr, AnswerOk);
  window.show();
  ImageStore& store = window.session().store;
  for (int i = 0; i < kFramePixels; ++i) {
    store.CurrentFrame[i] = static_cast<uint16_t>(i * 37);
    store.RedPlane[i] = static_cast<uint8_t>(i);
    store.GreenPlane[i] = static_cast<uint8_t>(i >> 3);
    store.BluePlane[i] = static_cast<uint8_t>(i >> 5);
  }
  store.ColourConverted = colour;
  for (auto _ : state) {
    // Refresh repaints the visible picture before it returns.
    window.Refresh();
  }
}
BENCHMARK_CAPTURE(BM_Refresh, grey, false)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Refresh, colour, true)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace nyxel
