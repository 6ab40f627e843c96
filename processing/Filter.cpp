#include "processing/Filter.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <utility>

#include "core/Display.h"
#include "core/History.h"
#include "processing/MedianKernel.h"

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

void KernelFilter(ImageStore& store, int radius, int kernel, int divisor, const char* line) {
  ConvolveFrame(store, radius, kernel, divisor);
  AddHistoryLine(store.History, line);
}

}  // namespace

void ConvolveFrame(ImageStore& store, int radius, int kernel, int divisor) {
  if ((radius != 1 && radius != 2) || kernel < 0 || kernel >= kKernelCount || divisor == 0) return;
  SaveUndo(store);
  CopyFrame(store.CurrentFrame, store.SecondFrame);
  const auto fixed = [&](int r, int k, int d) { return radius == r && kernel == k && divisor == d; };
  if (fixed(1, 0, 16)) {
    ConvolveFixed<1, 0, 16>(store);
  } else if (fixed(2, 1, 80)) {
    ConvolveFixed<2, 1, 80>(store);
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
  const int r = radius;
  const int area = (2 * r + 1) * (2 * r + 1);
  const uint16_t* src = store.CurrentFrame.data();
  uint16_t* dst = store.SecondFrame.data();
  // Column sums over the window's rows move down one row at a time; the window sum then runs along
  // the row, so each pixel costs one column update instead of a whole window.
  int32_t column[kFrameWidth];
  const int first = FirstRow(store, r);
  const int last = kFrameHeight - 1 - r;  // one row fewer at the bottom than the convolution
  for (int y = first; y < last; ++y) {
    if (y == first) {
      std::fill_n(column, kFrameWidth, 0);
      for (int wy = y - r; wy <= y + r; ++wy) {
        const uint16_t* row = src + PixelIndex(wy, 0);
        for (int x = 0; x < kFrameWidth; ++x) column[x] += row[x];
      }
    } else {
      const uint16_t* leaving = src + PixelIndex(y - r - 1, 0);
      const uint16_t* entering = src + PixelIndex(y + r, 0);
      for (int x = 0; x < kFrameWidth; ++x) column[x] += entering[x] - leaving[x];
    }
    int32_t window = 0;
    for (int x = 0; x <= 2 * r; ++x) window += column[x];
    const uint16_t* in = src + PixelIndex(y, 0);
    uint16_t* out = dst + PixelIndex(y, 0);
    for (int x = r; x < kFrameWidth - r; ++x) {
      if (x > r) window += column[x + r] - column[x - r - 1];
      const int pixel = in[x];
      const int mean = window / area;
      out[x] = ClampResult(pixel + (pixel - mean) * power);
    }
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
