#pragma once
// The spatial filters on the 16-bit CurrentFrame: fixed convolution kernels, the unsharp mask, the
// conditional median and the gradient (sky background) remover. Each saves UndoFrame first, leaves a
// labelled frame's 10 banner rows alone, and the menu operations add their history line. None shows the
// busy cursor or refreshes the display: that is the caller's.
#include <array>

#include "core/ImageStore.h"

namespace nyxel {

inline constexpr int kKernelEntries = 25;
inline constexpr int kKernelCount = 6;
// Row-major; a radius-1 kernel uses its first 9 entries as a 3 x 3 grid, radius 2 all 25 as 5 x 5.
inline constexpr std::array<std::array<int, kKernelEntries>, kKernelCount> FilterKernels{{
    {1, 2, 1, 2, 4, 2, 1, 2, 1},                                                   // weighted mean, /16
    {0, 1, 2, 1, 0, 1, 4, 8, 4, 1, 2, 8, 16, 8, 2, 1, 4, 8, 4, 1, 0, 1, 2, 1, 0},  // gaussian, /80
    {0, -1, 0, -1, 5, -1, 0, -1, 0},                                               // high pass, low power
    {-1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, 25,
     -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1},  // high pass, high power
    {0, -1, -1, -1, 0, -1, 1,  1, 1,  -1, -1, 1, 5,
     1, -1, -1, 1,  1, 1,  -1, 0, -1, -1, -1, 0},                                       // smoother/sharper
    {0, 0, -1, 0, 0, 0, -1, -1, -1, 0, -1, -1, 1, 1, 1, 0, 1, 1, 1, 0, 0, 0, 1, 0, 0},  // bas relief
}};

// Unsharp mask radius and power 1..7; median radius 1..3 and power in tenths 1..10.
inline constexpr int kUnsharpMin = 1;
inline constexpr int kUnsharpMax = 7;
inline constexpr int kMedianRadiusMax = 3;
inline constexpr int kMedianPowerMax = 10;

// Convolves rows r (r + 10 labelled) .. 289 - r and columns r .. 511 - r with kernel `kernel` of radius
// 1 or 2, dividing by `divisor` (truncating) and clamping: above 65,280 gives 65,535, below 0 gives 0.
// Border pixels keep their values. SecondFrame is the work frame. No history line.
void ConvolveFrame(ImageStore& store, int radius, int kernel, int divisor);

// Unsharp mask: v = pixel + (pixel - window mean) x power over a (2r + 1)^2 window, rows r (r + 10) ..
// 288 - r. Saves the colour planes into the undo planes when colour converted. Adds
// "Unsharp Mask : rad R ,power P". Returns false (nothing changed) for values outside 1..7.
bool UnsharpMask(ImageStore& store, int radius, int power);

// Conditional median: a pixel becomes its window's median when it differs from it by more than
// (max - min) x power / 10. Power in tenths 1..10, radius 1..3. Adds "Median Filter : rad R ,power P.P".
// Returns false (nothing changed) for values outside those ranges.
bool MedianFilter(ImageStore& store, int radius, int power_tenths);

// Subtracts the plane through the modes of four 50 x 50 corner boxes. Adds "Gradient Filter".
void GradientFilter(ImageStore& store);

// The fixed-kernel menu filters, each with its history line.
void HighPassLowPowerFilter(ImageStore& store);   // kernel 2, radius 1
void HighPassHighPowerFilter(ImageStore& store);  // kernel 3, radius 2
void SmootherSharperFilter(ImageStore& store);    // kernel 4, radius 2
void GaussianFilter(ImageStore& store);           // kernel 1, radius 2, divisor 80
void LowpassSmootherFilter(ImageStore& store);    // kernel 0, radius 1, divisor 16
void BasReliefFilter(ImageStore& store);          // kernel 5, radius 2

}  // namespace nyxel
