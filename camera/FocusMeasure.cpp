#include "camera/FocusMeasure.h"

#include <algorithm>
#include <cmath>
#include <utility>
#include <vector>

#include "core/Geometry.h"

namespace nyxel {
namespace {

constexpr int kW = kFocusSize;
constexpr int kBox = 20;                              // half the box examined about the star
constexpr double kGaussianFwhm = 2.3548200450309493;  // FWHM / sigma
constexpr double kPixelVariance = 1.0 / 12;           // a pixel's own spread, per axis
constexpr int kSubSamples = 4;                        // per axis, for the curve of growth

double Median(std::vector<double>& v) {
  const auto mid = v.begin() + static_cast<std::ptrdiff_t>(v.size() / 2);
  std::nth_element(v.begin(), mid, v.end());
  return *mid;
}

// The star's box, background taken off, as doubles; outside the window counts as background.
struct Box {
  double v[2 * kBox + 1][2 * kBox + 1] = {};
  int top = 0, left = 0;  // window row and column of v[0][0]
  double& At(int r, int c) { return v[r - top][c - left]; }
  bool Inside(int r, int c) const {
    return r >= top && r <= top + 2 * kBox && c >= left && c <= left + 2 * kBox;
  }
};

}  // namespace

void FocusTrend::Add(const StarSize& size) {
  if (count == kFocusTrendFrames) {
    std::rotate(frames.begin(), frames.begin() + 1, frames.end());
    frames[kFocusTrendFrames - 1] = size;
  } else {
    frames[count++] = size;
  }
}

StarSize MeasureWindowStar(const Frame& window) {
  StarSize size;
  // The star: the "Max Value" rule, remembering where it was met.
  int m = 0, peak_row = -1, peak_column = -1;
  for (int row = 12; row <= 125; ++row) {
    for (int column = 5; column <= 125; ++column) {
      const int value = window[row * kW + column] / 4;
      const int above = window[(row - 1) * kW + column] / 4;
      if (value > m && above > m) {
        m = value;
        peak_row = row;
        peak_column = column;
      }
    }
  }
  if (peak_row < 0) return size;

  // Background and its noise from the whole window: the median and the median absolute deviation.
  std::vector<double> values(window.begin(), window.begin() + kFocusPixels);
  const double background = Median(values);
  for (double& v : values) v = std::fabs(v - background);
  const double noise = std::max(1.0, 1.4826 * Median(values));
  const double peak = window[peak_row * kW + peak_column] - background;
  if (peak < 10 * noise) return size;

  Box box;
  box.top = peak_row - kBox;
  box.left = peak_column - kBox;
  for (int r = box.top; r <= box.top + 2 * kBox; ++r) {
    for (int c = box.left; c <= box.left + 2 * kBox; ++c) {
      const bool in = r >= 0 && r < kW && c >= 0 && c < kW;
      box.At(r, c) = in ? window[r * kW + c] - background : 0.0;
    }
  }
  // Single hot pixels: far brighter than all four neighbours. A star's light always spills over.
  auto neighbour = [&box](int r, int c) { return box.Inside(r, c) ? box.At(r, c) : 0.0; };
  for (int r = box.top + 1; r < box.top + 2 * kBox; ++r) {
    for (int c = box.left + 1; c < box.left + 2 * kBox; ++c) {
      const double n[4] = {neighbour(r - 1, c), neighbour(r + 1, c), neighbour(r, c - 1),
                           neighbour(r, c + 1)};
      const double brightest = std::max(std::max(n[0], n[1]), std::max(n[2], n[3]));
      if (box.At(r, c) > 5 * noise && box.At(r, c) > 4 * std::max(brightest, noise)) {
        box.At(r, c) = (n[0] + n[1] + n[2] + n[3]) / 4;
      }
    }
  }
  // The mosaic's four filter phases see the star at different levels: scale each to their mean, from
  // the star's own light, so the measure does not depend on the star's colour.
  double phase[4] = {};
  for (int r = peak_row - 8; r <= peak_row + 8; ++r) {
    for (int c = peak_column - 8; c <= peak_column + 8; ++c) {
      if (box.Inside(r, c)) phase[((r & 1) << 1) | (c & 1)] += std::max(0.0, box.At(r, c));
    }
  }
  const double mean_phase = (phase[0] + phase[1] + phase[2] + phase[3]) / 4;
  if (phase[0] > 0 && phase[1] > 0 && phase[2] > 0 && phase[3] > 0) {
    for (int r = box.top; r <= box.top + 2 * kBox; ++r) {
      for (int c = box.left; c <= box.left + 2 * kBox; ++c)
        box.At(r, c) *= mean_phase / phase[((r & 1) << 1) | (c & 1)];
    }
  }

  // Centroid and size by Gaussian-weighted moments: the weight follows the star's own size, so the
  // noise far out does not count. For a Gaussian star of sigma s under a weight of sigma w the weighted
  // second moment is s2 w2 / (s2 + w2) per axis, which gives s back.
  double cx = peak_column, cy = peak_row, weight2 = 4, sigma2 = 4;
  for (int pass = 0; pass < 12; ++pass) {
    double sum = 0, sx = 0, sy = 0, s2 = 0;
    for (int r = box.top; r <= box.top + 2 * kBox; ++r) {
      for (int c = box.left; c <= box.left + 2 * kBox; ++c) {
        const double dx = c - cx, dy = r - cy;
        const double d2 = dx * dx + dy * dy;
        const double w = std::exp(-d2 / (2 * weight2)) * box.At(r, c);
        sum += w;
        sx += w * c;
        sy += w * r;
        s2 += w * d2;
      }
    }
    if (sum <= 0) return size;
    const double moment = s2 / (2 * sum);
    cx = sx / sum;
    cy = sy / sum;
    sigma2 = moment < 0.95 * weight2 ? 1 / (1 / moment - 1 / weight2) : 4 * weight2;
    sigma2 = std::clamp(sigma2, 0.1, 100.0);
    weight2 = sigma2;
  }
  sigma2 = std::max(0.05, sigma2 - kPixelVariance);
  size.fwhm = kGaussianFwhm * std::sqrt(sigma2);
  const double aperture = std::clamp(3 * size.fwhm, 6.0, static_cast<double>(kBox));

  // Half-flux radius from the curve of growth, each pixel spread over its sub-samples.
  std::vector<std::pair<double, double>> samples;
  samples.reserve(static_cast<size_t>((2 * kBox + 1) * (2 * kBox + 1) * kSubSamples * kSubSamples));
  double total = 0;
  for (int r = box.top; r <= box.top + 2 * kBox; ++r) {
    for (int c = box.left; c <= box.left + 2 * kBox; ++c) {
      const double f = box.At(r, c) / (kSubSamples * kSubSamples);
      for (int i = 0; i < kSubSamples; ++i) {
        for (int j = 0; j < kSubSamples; ++j) {
          const double dx = c - 0.5 + (j + 0.5) / kSubSamples - cx;
          const double dy = r - 0.5 + (i + 0.5) / kSubSamples - cy;
          const double d = std::sqrt(dx * dx + dy * dy);
          if (d > aperture) continue;
          samples.push_back({d, f});
          total += f;
        }
      }
    }
  }
  if (total <= 0) return size;
  std::sort(samples.begin(), samples.end());
  double cumulative = 0, previous_r = 0;
  for (const auto& [d, f] : samples) {
    if (cumulative + f >= total / 2) {
      const double t = f > 0 ? (total / 2 - cumulative) / f : 0;
      size.hfr = previous_r + t * (d - previous_r);
      break;
    }
    cumulative += f;
    previous_r = d;
  }
  size.found = size.hfr > 0;
  return size;
}

}  // namespace nyxel
