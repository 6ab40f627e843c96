#include "processing/MedianKernel.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <iterator>
#include <utility>

#include "core/Geometry.h"
#include "processing/MedianNetworks.h"
#include "processing/Simd.h"

namespace nyxel {
namespace {

template <int R>
struct MedianNetworks;
template <>
struct MedianNetworks<1> {
  static constexpr const auto& kSort = kColumnSort3;
  static constexpr const auto& kSortRank = kColumnSort3Rank;
  static constexpr const auto& kMedian = kMedianNetwork1;
  static constexpr int kMedianWire = kMedianNetwork1Wire;
};
template <>
struct MedianNetworks<2> {
  static constexpr const auto& kSort = kColumnSort5;
  static constexpr const auto& kSortRank = kColumnSort5Rank;
  static constexpr const auto& kMedian = kMedianNetwork2;
  static constexpr int kMedianWire = kMedianNetwork2Wire;
};
template <>
struct MedianNetworks<3> {
  static constexpr const auto& kSort = kColumnSort7;
  static constexpr const auto& kSortRank = kColumnSort7Rank;
  static constexpr const auto& kMedian = kMedianNetwork3;
  static constexpr int kMedianWire = kMedianNetwork3Wire;
};

}  // namespace

#define NYXEL_LANES_NS scalar
#define NYXEL_LANES_BYTES 2
#define NYXEL_LANES_TARGET
#include "processing/MedianKernel.inc"
#undef NYXEL_LANES_NS
#undef NYXEL_LANES_BYTES
#undef NYXEL_LANES_TARGET

#define NYXEL_LANES_NS vector
#define NYXEL_LANES_BYTES 16
#define NYXEL_LANES_TARGET
#include "processing/MedianKernel.inc"
#undef NYXEL_LANES_NS
#undef NYXEL_LANES_BYTES
#undef NYXEL_LANES_TARGET

#ifdef NYXEL_X86
#define NYXEL_HAVE_AVX2_PATH 1
#define NYXEL_LANES_NS avx2
#define NYXEL_LANES_BYTES 32
#define NYXEL_LANES_TARGET __attribute__((target("avx2")))
#include "processing/MedianKernel.inc"
#undef NYXEL_LANES_NS
#undef NYXEL_LANES_BYTES
#undef NYXEL_LANES_TARGET
#endif

namespace {

template <int R>
void ConditionalRowOnPath(const uint16_t* src, uint16_t* dst, int y, int power) {
  switch (ActiveSimdPath()) {
#ifdef NYXEL_HAVE_AVX2_PATH
    case SimdPath::kAvx2:
      return avx2::ConditionalRow<R>(src, dst, y, power);
#endif
    case SimdPath::kScalar:
      return scalar::ConditionalRow<R>(src, dst, y, power);
    default:
      return vector::ConditionalRow<R>(src, dst, y, power);
  }
}

}  // namespace

void ConditionalMedianRow(const uint16_t* src, uint16_t* dst, int radius, int y, int power_tenths) {
  switch (radius) {
    case 1:
      return ConditionalRowOnPath<1>(src, dst, y, power_tenths);
    case 2:
      return ConditionalRowOnPath<2>(src, dst, y, power_tenths);
    default:
      return ConditionalRowOnPath<3>(src, dst, y, power_tenths);
  }
}

void Median5Row(const uint8_t* src, uint8_t* dst, int y, int first, int last) {
  switch (ActiveSimdPath()) {
#ifdef NYXEL_HAVE_AVX2_PATH
    case SimdPath::kAvx2:
      return avx2::Median5Row(src, dst, y, first, last);
#endif
    case SimdPath::kScalar:
      return scalar::Median5Row(src, dst, y, first, last);
    default:
      return vector::Median5Row(src, dst, y, first, last);
  }
}

}  // namespace nyxel
