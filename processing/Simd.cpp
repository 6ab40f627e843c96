#include "processing/Simd.h"

#include <atomic>

namespace nyxel {
namespace {

SimdPath Detect() {
#ifdef NYXEL_X86
  __builtin_cpu_init();  // in case the first use comes from a static constructor
  if (__builtin_cpu_supports("avx2")) return SimdPath::kAvx2;
#endif
  return SimdPath::kVector;
}

std::atomic<SimdPath>& Active() {
  static std::atomic<SimdPath> path{BestSimdPath()};
  return path;
}

}  // namespace

SimdPath BestSimdPath() {
  static const SimdPath best = Detect();
  return best;
}

SimdPath ActiveSimdPath() {
  return Active().load(std::memory_order_relaxed);
}

void SetSimdPath(SimdPath path) {
  if (path > BestSimdPath()) path = BestSimdPath();
  Active().store(path, std::memory_order_relaxed);
}

}  // namespace nyxel
