#include "processing/Filter.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <utility>

#include "core/Display.h"
#include "core/History.h"
#include "processing/MedianKernel.h"
#include "processing/PictureEdge.h"
#include "processing/Simd.h"

#ifdef NYXEL_X86
#include <immintrin.h>
#endif

namespace nyxel {
namespace {

constexpr int kClampHigh = 65280;  // results above this become white

inline uint16_t ClampResult(int v) {
  if (v > kClampHigh) return 65535;
  if (v < 0) return 0;
  return static_cast<uint16_t>(v);
}

int FirstRow(const ImageStore& store, int radius) {
  return radius + (LabelMarker(store) ? kHeaderRows : 0);
}

// Any radius and kernel: each kernel entry adds its weighted, shifted source row into an accumulator
// row. Used for combinations the menus do not make.
template <int R>
void Convolve(ImageStore& store, const int* kernel, int divisor) {
  constexpr int kSide = 2 * R + 1;
  constexpr int kColumns = kFrameWidth - 2 * R;
  const uint16_t* src = store.CurrentFrame.data();
  uint16_t* dst = store.SecondFrame.data();
  int32_t acc[kColumns];
  for (int y = FirstRow(store, R); y < kFrameHeight - R; ++y) {
    std::fill_n(acc, kColumns, 0);
    for (int ky = 0; ky < kSide; ++ky) {
      const uint16_t* row = src + PixelIndex(y - R + ky, 0);
      for (int kx = 0; kx < kSide; ++kx) {
        const int32_t w = kernel[ky * kSide + kx];
        if (w == 0) continue;
        const uint16_t* s = row + kx;
        for (int j = 0; j < kColumns; ++j) acc[j] += w * s[j];
      }
    }
    uint16_t* out = dst + PixelIndex(y, R);
    for (int j = 0; j < kColumns; ++j) out[j] = ClampResult(acc[j] / divisor);
  }
}

// The menu filters: the kernel and divisor are constants, so zero entries vanish, the weights become
// shifts and adds, and each output pixel is one expression the compiler vectorises along the row.
template <int R, int K, int D>
void ConvolveFixed(ImageStore& store) {
  constexpr int kSide = 2 * R + 1;
  constexpr int kColumns = kFrameWidth - 2 * R;
  constexpr auto& kKernel = FilterKernels[K];
  constexpr bool kNonNegative = [] {
    for (int k = 0; k < kSide * kSide; ++k) {
      if (kKernel[k] < 0) return false;
    }
    return true;
  }();
  const uint16_t* src = store.CurrentFrame.data();
  uint16_t* dst = store.SecondFrame.data();
  for (int y = FirstRow(store, R); y < kFrameHeight - R; ++y) {
    const uint16_t* top = src + PixelIndex(y - R, 0);
    uint16_t* out = dst + PixelIndex(y, R);
    for (int j = 0; j < kColumns; ++j) {
      const int32_t sum = [&]<int... I>(std::integer_sequence<int, I...>) {
        return (0 + ... +
                (kKernel[I] * static_cast<int32_t>(top[(I / kSide) * kFrameWidth + j + I % kSide])));
      }
      (std::make_integer_sequence<int, kSide * kSide>{});
      if constexpr (D == 1) {
        out[j] = ClampResult(sum);
      } else if constexpr (kNonNegative) {
        // A sum of non-negative terms: unsigned division truncates the same and is cheaper.
        out[j] = ClampResult(static_cast<int32_t>(static_cast<uint32_t>(sum) / D));
      } else {
        out[j] = ClampResult(sum / D);
      }
    }
  }
}

// The conditional median, row by row (see MedianKernel.h).
template <int R>
void Median(ImageStore& store, int power_tenths) {
  const uint16_t* src = store.CurrentFrame.data();
  uint16_t* dst = store.SecondFrame.data();
  for (int y = FirstRow(store, R); y < kFrameHeight - R; ++y)
    ConditionalMedianRow(src, dst, R, y, power_tenths);
}

// The gaussian (kernel 1, / 80) is not separable, but it is the sum of two separable parts: rows y - 2
// and y + 2 with 1 2 1 across, plus rows y - 1, y, y + 1 weighted 1 2 1 with 1 4 8 4 1 across. The sums
// are the same integers in another order, and never negative.
void GaussianSeparable(ImageStore& store) {
  const uint16_t* src = store.CurrentFrame.data();
  uint16_t* dst = store.SecondFrame.data();
  int32_t outer[kFrameWidth], inner[kFrameWidth];  // the two vertical sums of each column
  for (int y = FirstRow(store, 2); y < kFrameHeight - 2; ++y) {
    const uint16_t* c = src + PixelIndex(y, 0);
    for (int x = 0; x < kFrameWidth; ++x) {
      outer[x] = c[x - 2 * kFrameWidth] + c[x + 2 * kFrameWidth];
      inner[x] = c[x - kFrameWidth] + 2 * c[x] + c[x + kFrameWidth];
    }
    uint16_t* out = dst + PixelIndex(y, 0);
    for (int x = 2; x < kFrameWidth - 2; ++x) {
      const uint32_t sum =
          static_cast<uint32_t>(outer[x - 1] + 2 * outer[x] + outer[x + 1] + inner[x - 2] +
                                4 * (inner[x - 1] + inner[x + 1]) + 8 * inner[x] + inner[x + 2]);
      out[x] = ClampResult(static_cast<int>(sum / 80));
    }
  }
}

#ifdef NYXEL_X86
// prefix[x] = column[0] + .. + column[x - 1] for x = 0..512, eight at a time: the window sums are then
// differences with no dependence from pixel to pixel.
__attribute__((target("avx2"))) void PrefixSumsAvx2(const int32_t* column, int32_t* prefix) {
  prefix[0] = 0;
  __m256i carry = _mm256_setzero_si256();
  const __m256i third = _mm256_set1_epi32(3), seventh = _mm256_set1_epi32(7);
  for (int x = 0; x < kFrameWidth; x += 8) {
    __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(column + x));
    v = _mm256_add_epi32(v, _mm256_slli_si256(v, 4));  // within each half
    v = _mm256_add_epi32(v, _mm256_slli_si256(v, 8));
    v = _mm256_add_epi32(
        v, _mm256_blend_epi32(_mm256_setzero_si256(), _mm256_permutevar8x32_epi32(v, third), 0xF0));
    v = _mm256_add_epi32(v, carry);
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(prefix + x + 1), v);
    carry = _mm256_permutevar8x32_epi32(v, seventh);
  }
}

// out[x] for x = first..last: pixel + (pixel - window / area) x power, clamped, eight pixels at a time;
// the window of x is prefix[x + r + 1] - prefix[x - r].
__attribute__((target("avx2"))) void UnsharpPixelsAvx2(const uint16_t* in, const int32_t* prefix, int r,
                                                       uint16_t* out, int first, int last, uint32_t magic,
                                                       int power) {
  const __m256i m = _mm256_set1_epi64x(magic);
  const __m256i p = _mm256_set1_epi32(power);
  const __m256i high = _mm256_set1_epi32(kClampHigh);
  const __m256i white = _mm256_set1_epi32(65535);
  for (int x0 = first; x0 <= last; x0 += 8) {
    const int x = std::min(x0, last - 7);  // the last group overlaps the one before
    const __m256i w =
        _mm256_sub_epi32(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(prefix + x + r + 1)),
                         _mm256_loadu_si256(reinterpret_cast<const __m256i*>(prefix + x - r)));
    // The high halves of the 64-bit products: even lanes shifted down, odd lanes in place.
    const __m256i even = _mm256_srli_epi64(_mm256_mul_epu32(w, m), 32);
    const __m256i odd = _mm256_mul_epu32(_mm256_srli_epi64(w, 32), m);
    const __m256i mean = _mm256_blend_epi32(even, odd, 0xAA);
    const __m256i pixel = _mm256_cvtepu16_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(in + x)));
    __m256i v = _mm256_add_epi32(pixel, _mm256_mullo_epi32(_mm256_sub_epi32(pixel, mean), p));
    const __m256i over = _mm256_cmpgt_epi32(v, high);
    v = _mm256_blendv_epi8(_mm256_max_epi32(v, _mm256_setzero_si256()), white, over);
    const __m256i packed = _mm256_permute4x64_epi64(_mm256_packus_epi32(v, v), 0x08);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + x), _mm256_castsi256_si128(packed));
  }
}

__attribute__((target("avx2"))) inline __m256i Widen(const uint16_t* p) {
  return _mm256_cvtepu16_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)));
}
__attribute__((target("avx2"))) inline __m256i At(const int32_t* p) {
  return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
}

// GaussianSeparable eight pixels at a time.
__attribute__((target("avx2"))) void GaussianAvx2(ImageStore& store) {
  const uint16_t* src = store.CurrentFrame.data();
  uint16_t* dst = store.SecondFrame.data();
  int32_t outer[kFrameWidth], inner[kFrameWidth];  // the two vertical sums of each column
  // sum / 80 = (sum x magic) >> 32 for sums below 80 x 65,536: the error stays under 1 / 80.
  const __m256i magic = _mm256_set1_epi64x(((uint64_t{1} << 32) + 79) / 80);
  const __m256i high = _mm256_set1_epi32(kClampHigh);
  const __m256i white = _mm256_set1_epi32(65535);
  for (int y = FirstRow(store, 2); y < kFrameHeight - 2; ++y) {
    for (int x = 0; x < kFrameWidth; x += 8) {
      const __m256i a = Widen(src + PixelIndex(y - 2, x)), b = Widen(src + PixelIndex(y - 1, x)),
                    c = Widen(src + PixelIndex(y, x)), d = Widen(src + PixelIndex(y + 1, x)),
                    e = Widen(src + PixelIndex(y + 2, x));
      _mm256_storeu_si256(reinterpret_cast<__m256i*>(outer + x), _mm256_add_epi32(a, e));
      _mm256_storeu_si256(reinterpret_cast<__m256i*>(inner + x),
                          _mm256_add_epi32(_mm256_add_epi32(b, d), _mm256_slli_epi32(c, 1)));
    }
    uint16_t* out = dst + PixelIndex(y, 0);
    for (int x0 = 2; x0 < kFrameWidth - 2; x0 += 8) {
      const int x = std::min(x0, kFrameWidth - 2 - 8);  // the last group overlaps the one before
      const __m256i o = _mm256_add_epi32(_mm256_add_epi32(At(outer + x - 1), At(outer + x + 1)),
                                         _mm256_slli_epi32(At(outer + x), 1));
      const __m256i i1 = _mm256_add_epi32(At(inner + x - 2), At(inner + x + 2));
      const __m256i i4 = _mm256_slli_epi32(_mm256_add_epi32(At(inner + x - 1), At(inner + x + 1)), 2);
      const __m256i i8 = _mm256_slli_epi32(At(inner + x), 3);
      const __m256i sum = _mm256_add_epi32(_mm256_add_epi32(o, i1), _mm256_add_epi32(i4, i8));
      const __m256i even = _mm256_srli_epi64(_mm256_mul_epu32(sum, magic), 32);
      const __m256i odd = _mm256_mul_epu32(_mm256_srli_epi64(sum, 32), magic);
      __m256i v = _mm256_blend_epi32(even, odd, 0xAA);
      v = _mm256_blendv_epi8(v, white, _mm256_cmpgt_epi32(v, high));
      const __m256i packed = _mm256_permute4x64_epi64(_mm256_packus_epi32(v, v), 0x08);
      _mm_storeu_si128(reinterpret_cast<__m128i*>(out + x), _mm256_castsi256_si128(packed));
    }
  }
}

#endif

// The unsharp mask for one radius. Column sums over the window's rows move down one row at a time;
// the window sums then run along the row, so each pixel costs one column update instead of a whole
// window. The sums are never negative and the area is a constant, so the mean is an unsigned division
// by a constant (a multiplication), and the last pass has no dependence from pixel to pixel.
template <int R>
void Unsharp(ImageStore& store, int power) {
  constexpr uint32_t kArea = (2 * R + 1) * (2 * R + 1);
  // window / area = (window x magic) >> 32 for every window sum of 16-bit pixels: the error is below
  // window / 2^32 <= area x 65,535 / 2^32 < 1 / area, less than the distance to the next quotient.
  constexpr uint32_t kMagic = static_cast<uint32_t>(((uint64_t{1} << 32) + kArea - 1) / kArea);
  static_assert(uint64_t{kArea} * kArea * 65535 < (uint64_t{1} << 32));
#ifdef NYXEL_X86
  const bool avx2 = ActiveSimdPath() == SimdPath::kAvx2;
#endif
  const uint16_t* src = store.CurrentFrame.data();
  uint16_t* dst = store.SecondFrame.data();
  int32_t column[kFrameWidth];
  int32_t window[kFrameWidth + 1];  // the window sums, or on the AVX2 path their prefix sums
  const int first = FirstRow(store, R);
  const int last = kFrameHeight - 1 - R;  // one row fewer at the bottom than the convolution
  for (int y = first; y < last; ++y) {
    if (y == first) {
      std::fill_n(column, kFrameWidth, 0);
      for (int wy = y - R; wy <= y + R; ++wy) {
        const uint16_t* row = src + PixelIndex(wy, 0);
        for (int x = 0; x < kFrameWidth; ++x) column[x] += row[x];
      }
    } else {
      const uint16_t* leaving = src + PixelIndex(y - R - 1, 0);
      const uint16_t* entering = src + PixelIndex(y + R, 0);
      for (int x = 0; x < kFrameWidth; ++x) column[x] += entering[x] - leaving[x];
    }
    const uint16_t* in = src + PixelIndex(y, 0);
    uint16_t* out = dst + PixelIndex(y, 0);
#ifdef NYXEL_X86
    if (avx2) {
      PrefixSumsAvx2(column, window);
      UnsharpPixelsAvx2(in, window, R, out, R, kFrameWidth - 1 - R, kMagic, power);
      continue;
    }
#endif
    int32_t sum = 0;
    for (int x = 0; x <= 2 * R; ++x) sum += column[x];
    window[R] = sum;
    for (int x = R + 1; x < kFrameWidth - R; ++x) {
      sum += column[x + R] - column[x - R - 1];
      window[x] = sum;
    }
    for (int x = R; x < kFrameWidth - R; ++x) {
      const int32_t pixel = in[x];
      const int32_t mean = static_cast<int32_t>((static_cast<uint64_t>(window[x]) * kMagic) >> 32);
      const int32_t v = pixel + (pixel - mean) * power;
      out[x] = static_cast<uint16_t>(v > kClampHigh ? 65535 : v < 0 ? 0 : v);
    }
  }
}

// Column 510 of a radius-1 filter: its window holds columns 509..511 as they were, not the mirror.
// Returns the window's nine values row by row.
std::array<int, 9> Column510Window(const ImageStore& store, const MirroredEdge<Frame>& edge, int y) {
  std::array<int, 9> w;
  for (int k = 0; k < 9; ++k) {
    const int row = y - 1 + k / 3, column = kPictureColumns - 1 + k % 3;
    w[k] = column < kPictureColumns ? store.CurrentFrame[PixelIndex(row, column)] : edge.Saved(row, column);
  }
  return w;
}

void ConvolveColumn510(ImageStore& store, const MirroredEdge<Frame>& edge, const int* kernel, int divisor) {
  for (int y = FirstRow(store, 1); y < kFrameHeight - 1; ++y) {
    const std::array<int, 9> w = Column510Window(store, edge, y);
    int32_t sum = 0;
    for (int k = 0; k < 9; ++k) sum += kernel[k] * w[k];
    store.SecondFrame[PixelIndex(y, kPictureColumns)] = ClampResult(sum / divisor);
  }
}

void UnsharpColumn510(ImageStore& store, const MirroredEdge<Frame>& edge, int power) {
  for (int y = FirstRow(store, 1); y < kFrameHeight - 2; ++y) {
    const std::array<int, 9> w = Column510Window(store, edge, y);
    int32_t window = 0;
    for (const int v : w) window += v;
    const int32_t pixel = w[4];
    store.SecondFrame[PixelIndex(y, kPictureColumns)] = ClampResult(pixel + (pixel - window / 9) * power);
  }
}

void MedianColumn510(ImageStore& store, const MirroredEdge<Frame>& edge, int power_tenths) {
  for (int y = FirstRow(store, 1); y < kFrameHeight - 1; ++y) {
    std::array<int, 9> w = Column510Window(store, edge, y);
    const int pixel = w[4];
    // Nine values: an insertion sort is cheapest; the maximum, the median and the minimum fall out.
    for (int i = 1; i < 9; ++i) {
      const int v = w[i];
      int j = i;
      for (; j > 0 && w[j - 1] > v; --j) w[j] = w[j - 1];
      w[j] = v;
    }
    const int lowest = std::min(w[0], 65000);
    const int highest = w[8];
    const int median = w[4];
    const int threshold = (highest - lowest) * power_tenths / 10;
    store.SecondFrame[PixelIndex(y, kPictureColumns)] =
        static_cast<uint16_t>(std::abs(median - pixel) > threshold ? median : pixel);
  }
}

void KernelFilter(ImageStore& store, int radius, int kernel, int divisor, const char* line) {
  ConvolveFrame(store, radius, kernel, divisor);
  AddHistoryLine(store.History, line);
}

}  // namespace

void ConvolveFrame(ImageStore& store, int radius, int kernel, int divisor) {
  if ((radius != 1 && radius != 2) || kernel < 0 || kernel >= kKernelCount || divisor == 0) return;
  SaveUndo(store);
  CopyFrame(store.CurrentFrame, store.SecondFrame);
  {  // the mirrored columns go back before the result is copied
    const MirroredEdge edge(store.CurrentFrame);
    const auto fixed = [&](int r, int k, int d) { return radius == r && kernel == k && divisor == d; };
    if (fixed(1, 0, 16)) {
      ConvolveFixed<1, 0, 16>(store);
    } else if (fixed(2, 1, 80)) {
#ifdef NYXEL_X86
      if (ActiveSimdPath() == SimdPath::kAvx2) {
        GaussianAvx2(store);
      } else {
        GaussianSeparable(store);
      }
#else
      GaussianSeparable(store);
#endif
    } else if (fixed(1, 2, 1)) {
      ConvolveFixed<1, 2, 1>(store);
    } else if (fixed(2, 3, 1)) {
      ConvolveFixed<2, 3, 1>(store);
    } else if (fixed(2, 4, 1)) {
      ConvolveFixed<2, 4, 1>(store);
    } else if (fixed(2, 5, 1)) {
      ConvolveFixed<2, 5, 1>(store);
    } else if (radius == 1) {
      Convolve<1>(store, FilterKernels[kernel].data(), divisor);
    } else {
      Convolve<2>(store, FilterKernels[kernel].data(), divisor);
    }
    if (radius == 1) ConvolveColumn510(store, edge, FilterKernels[kernel].data(), divisor);
  }
  CopyFrame(store.SecondFrame, store.CurrentFrame);
}

bool UnsharpMask(ImageStore& store, int radius, int power) {
  if (radius < kUnsharpMin || radius > kUnsharpMax || power < kUnsharpMin || power > kUnsharpMax)
    return false;
  SaveUndo(store);
  CopyFrame(store.CurrentFrame, store.SecondFrame);
  if (store.ColourConverted) {
    CopyPlane(store.RedPlane, store.UndoRed);
    CopyPlane(store.BluePlane, store.UndoBlue);
    CopyPlane(store.GreenPlane, store.UndoGreen);
  }
  {  // the mirrored columns go back before the result is copied
    const MirroredEdge edge(store.CurrentFrame);
    switch (radius) {
      case 1:
        Unsharp<1>(store, power);
        break;
      case 2:
        Unsharp<2>(store, power);
        break;
      case 3:
        Unsharp<3>(store, power);
        break;
      case 4:
        Unsharp<4>(store, power);
        break;
      case 5:
        Unsharp<5>(store, power);
        break;
      case 6:
        Unsharp<6>(store, power);
        break;
      default:
        Unsharp<7>(store, power);
        break;
    }
    if (radius == 1) UnsharpColumn510(store, edge, power);
  }
  CopyFrame(store.SecondFrame, store.CurrentFrame);
  AddHistoryLine(store.History,
                 "Unsharp Mask : rad " + std::to_string(radius) + " ,power " + std::to_string(power));
  return true;
}

bool MedianFilter(ImageStore& store, int radius, int power_tenths) {
  if (radius < 1 || radius > kMedianRadiusMax || power_tenths < 1 || power_tenths > kMedianPowerMax) {
    return false;
  }
  SaveUndo(store);
  CopyFrame(store.CurrentFrame, store.SecondFrame);
  {  // the mirrored columns go back before the result is copied
    const MirroredEdge edge(store.CurrentFrame);
    switch (radius) {
      case 1:
        Median<1>(store, power_tenths);
        break;
      case 2:
        Median<2>(store, power_tenths);
        break;
      default:
        Median<3>(store, power_tenths);
        break;
    }
    if (radius == 1) MedianColumn510(store, edge, power_tenths);
  }
  CopyFrame(store.SecondFrame, store.CurrentFrame);
  char text[48];
  std::snprintf(text, sizeof text, "Median Filter : rad %d ,power %1.1f", radius, power_tenths / 10.0);
  AddHistoryLine(store.History, text);
  return true;
}

void GradientFilter(ImageStore& store) {
  SaveUndo(store);
  struct Box {
    int top, left, first_bin;
  };
  constexpr Box kBoxes[4] = {{10, 20, 0}, {10, 450, 0}, {230, 20, 1}, {230, 450, 1}};  // TL TR BL BR
  constexpr int kBox = 50;
  constexpr int kBins = 4096;
  int bins[4];
  int histogram[kBins];
  for (int b = 0; b < 4; ++b) {
    std::fill_n(histogram, kBins, 0);
    for (int y = kBoxes[b].top; y < kBoxes[b].top + kBox; ++y) {
      for (int x = kBoxes[b].left; x < kBoxes[b].left + kBox; ++x)
        ++histogram[store.CurrentFrame[PixelIndex(y, x)] / 16];
    }
    // The most frequent bin, the lowest on ties; the bottom boxes never pick bin 0.
    int best = kBoxes[b].first_bin;
    for (int i = best + 1; i < kBins; ++i) {
      if (histogram[i] > histogram[best]) best = i;
    }
    bins[b] = best;
  }
  const int m = *std::min_element(bins, bins + 4);
  const int64_t tl = (bins[0] - m) * 16, tr = (bins[1] - m) * 16, bl = (bins[2] - m) * 16,
                br = (bins[3] - m) * 16;
  // g = numerator / 148,480. The numerator is an exact integer, so "pixel > g" and "truncate(g)" are
  // computed in integers with the same results as in floating point.
  for (int y = LabelMarker(store) ? kHeaderRows : 0; y < kFrameHeight; ++y) {
    uint16_t* row = store.CurrentFrame.data() + PixelIndex(y, 0);
    const int64_t top = kFrameHeight - y;
    for (int x = 0; x < kFrameWidth; ++x) {
      const int64_t left = kFrameWidth - x;
      const int64_t numerator = top * left * tl + top * x * tr + left * y * bl + int64_t{y} * x * br;
      const int64_t scaled = int64_t{row[x]} * kFramePixels;
      row[x] = scaled > numerator ? static_cast<uint16_t>(row[x] - numerator / kFramePixels) : 0;
    }
  }
  AddHistoryLine(store.History, "Gradient Filter");
}

void HighPassLowPowerFilter(ImageStore& store) {
  KernelFilter(store, 1, 2, 1, "High Pass Low Power Filter");
}
void HighPassHighPowerFilter(ImageStore& store) {
  KernelFilter(store, 2, 3, 1, "High Pass High Power Filter");
}
void SmootherSharperFilter(ImageStore& store) {
  KernelFilter(store, 2, 4, 1, "Smoother/Sharper Filter");
}
void GaussianFilter(ImageStore& store) {
  KernelFilter(store, 2, 1, 80, "Gaussian Filter");
}
void LowpassSmootherFilter(ImageStore& store) {
  KernelFilter(store, 1, 0, 16, "Lowpass Smoother Filter");
}
void BasReliefFilter(ImageStore& store) {
  KernelFilter(store, 2, 5, 1, "Bas Relief Filter");
}

}  // namespace nyxel
