// Colour synthesis: the one-shot colour mosaic turned into three 8-bit planes and a luminance frame.
#include "processing/Colour.h"

#include <algorithm>
#include <array>
#include <memory>

#include "core/Display.h"
#include "core/History.h"
#include "processing/Filter.h"
#include "processing/PictureEdge.h"
#include "processing/Stretch.h"

namespace nyxel {
namespace {

constexpr int kGreyLuminance = 60000;  // above this the neighbourhood is saturated: shown grey
constexpr int kBigScaled = 65280;      // any scaled colour above this selects the larger divisor

struct Rgb {
  int red;
  int green;
  int blue;
};

// The raw colour of one mosaic pixel from its 3 x 3 neighbourhood. Integer divisions truncate toward
// zero; the colour derived from the total uses the other two before they are clamped.
inline Rgb MosaicColour(int column_phase, int row_phase, int c, int e, int d) {
  const int t = c + e + d;
  Rgb v;
  if (column_phase) {
    if (row_phase) {
      v.red = (7 * (d - 2 * c) - 2 * (e - c)) / 40;
      v.green = (6 * (e - c) - (d - 2 * c)) / 40;
      v.blue = (t - 11 * v.red - 13 * v.green) / 8;
    } else {
      const int m = 5 * e - 2 * (c + d);
      const int n = e - 2 * c;
      v.red = (7 * n - m) / 20;
      v.blue = (3 * m - 11 * n) / 40;
      v.green = (t - 7 * v.blue - 10 * v.red) / 14;
    }
  } else {
    if (row_phase) {
      const int m = 5 * e - 2 * (c + d);
      const int n = e - 2 * c;
      v.red = (3 * m - 11 * n) / 40;
      v.blue = (7 * n - m) / 20;
      v.green = (t - 10 * v.blue - 7 * v.red) / 14;
    } else {
      v.blue = (7 * (d - 2 * c) - 2 * (e - c)) / 40;
      v.green = (6 * (e - c) - (d - 2 * c)) / 40;
      v.red = (t - 11 * v.blue - 13 * v.green) / 8;
    }
  }
  return v;
}

// One row of the mosaic (1..288) into the planes and the luminance frame.
void SynthesizeRow(ImageStore& store, int r, int column_phase, int row_phase) {
  const uint16_t* up = store.CurrentFrame.data() + PixelIndex(r - 1, 0);
  const uint16_t* s = store.CurrentFrame.data() + PixelIndex(r, 0);
  const uint16_t* down = store.CurrentFrame.data() + PixelIndex(r + 1, 0);
  uint16_t* lum = store.SecondFrame.data() + PixelIndex(r, 0);
  uint8_t* red = store.RedPlane.data() + PixelIndex(r, 0);
  uint8_t* green = store.GreenPlane.data() + PixelIndex(r, 0);
  uint8_t* blue = store.BluePlane.data() + PixelIndex(r, 0);

  // One pixel; `right` is the column of its right-hand neighbours.
  const auto pixel = [&](int u, int right) {
    const int phase = column_phase ^ (u & 1);
    const int c = s[u];
    const int e = s[u - 1] + s[right] + up[u] + down[u];
    const int d = up[u - 1] + up[right] + down[u - 1] + down[right];
    // Double, not long double: (2 x value) / 1.6 must truncate to the exact quotient.
    const double y = static_cast<double>(s[u - 1] + c) / 1.6;
    const int luminance = static_cast<int>(y);
    lum[u] = static_cast<uint16_t>(std::min(luminance, 65535));

    Rgb v = MosaicColour(phase, row_phase, c, e, d);
    v.red = std::max(v.red, 0) * 300 / 70;
    v.green = std::max(v.green, 0) * 300 / 50;
    v.blue = std::max(v.blue, 0) * 10;
    // The scaled colours are not negative: unsigned divisions by the two constant divisors are the same
    // quotients as dividing by a variable, and much cheaper.
    const unsigned r = static_cast<unsigned>(v.red), g = static_cast<unsigned>(v.green),
                   b = static_cast<unsigned>(v.blue);
    const bool big = v.red > kBigScaled || v.green > kBigScaled || v.blue > kBigScaled;
    int pr = static_cast<int>(std::min(big ? r / 2560 : r / 256, 255u));
    int pg = static_cast<int>(std::min(big ? g / 2560 : g / 256, 255u));
    int pb = static_cast<int>(std::min(big ? b / 2560 : b / 256, 255u));
    if (luminance > kGreyLuminance) pr = pg = pb = (pr + pg + pb) / 3;
    red[u] = static_cast<uint8_t>(pr);
    green[u] = static_cast<uint8_t>(pg);
    blue[u] = static_cast<uint8_t>(pb);
  };
  lum[0] = s[0];
  red[0] = green[0] = blue[0] = 0;
  for (int u = 1; u < kLastPictureColumn; ++u) pixel(u, u + 1);
  // Column 510 holds no picture: the last column's right-hand neighbours are column 508's.
  pixel(kLastPictureColumn, PictureColumn(kLastPictureColumn + 1));
}

void FillRows(Plane& plane, int first_row, int rows, uint8_t value) {
  std::fill_n(plane.begin() + PixelIndex(first_row, 0), rows * kFrameWidth, value);
}

int Mode(const std::array<int, 256>& histogram) {
  int mode = 0;
  for (int v = 1; v < 256; ++v) {
    if (histogram[v] > histogram[mode]) mode = v;
  }
  return mode;
}

}  // namespace

int BiasMean(const Frame& frame) {
  int sum = 0;
  for (int row = 20; row <= 219; ++row) {
    for (int column = 3; column <= 5; ++column) sum += frame[PixelIndex(row, column)];
  }
  return sum / 600;
}

void RemoveBias(Frame& frame, int mean) {
  // Selections rather than branches: whether a pixel is below the mean is a coin toss on a noisy frame.
  for (int i = 0; i < kFramePixels; ++i) {
    const int p = frame[i];
    frame[i] = static_cast<uint16_t>(p < mean ? 0 : p < kSaturatedPixel ? p - mean : p);
  }
}

void EqualiseBackground(ImageStore& store) {
  Plane* planes[3] = {&store.RedPlane, &store.GreenPlane, &store.BluePlane};
  int modes[3];
  for (int k = 0; k < 3; ++k) {
    std::array<int, 256> histogram{};
    for (int row = 10; row <= 39; ++row) {
      for (int column = 1; column <= 499; ++column) ++histogram[(*planes[k])[PixelIndex(row, column)]];
    }
    modes[k] = Mode(histogram);
  }
  const int darkest = std::min({modes[0], modes[1], modes[2]});
  for (int k = 0; k < 3; ++k) {
    const int offset = modes[k] - darkest;
    if (offset == 0) continue;
    uint8_t* p = planes[k]->data();
    for (int i = 0; i < kFramePixels; ++i) {
      if (p[i] >= offset) p[i] = static_cast<uint8_t>(p[i] - offset);
    }
  }
}

void SynthesizeColour(ImageStore& store, Host& host, const Settings& settings) {
  // The banner test looks at the frame as it came in: the bias removal would change the marker pixels.
  const bool labelled = LabelMarker(store);
  BusyCursor busy(host);
  {
    host.ProgressOpen(kColourProgressCaption);
    RemoveBias(store.CurrentFrame, BiasMean(store.CurrentFrame));

    // Row 0 has no row above: its luminance is the raw row and its planes are set after the rows.
    std::copy_n(store.CurrentFrame.begin(), kFrameWidth - 2, store.SecondFrame.begin());
    int row_phase = settings.line_offset ? 1 : 0;
    const int column_phase = settings.pixel_offset ? 1 : 0;
    for (int r = 0; r < kFrameHeight - 1; ++r) {
      if (r == 0) {
        store.RedPlane[0] = store.GreenPlane[0] = store.BluePlane[0] = 0;
      } else {
        SynthesizeRow(store, r, column_phase, row_phase);
      }
      row_phase ^= 1;
      for (int u = kFrameWidth - 2; u < kFrameWidth; ++u) {
        const int i = PixelIndex(r, u);
        store.RedPlane[i] = store.GreenPlane[i] = store.BluePlane[i] = 0;
        store.SecondFrame[i] = store.CurrentFrame[i];
      }
      host.ProgressSetPosition((r + 1) * 100 / (kFrameHeight - 1));
    }

    for (Plane* plane : {&store.RedPlane, &store.GreenPlane, &store.BluePlane}) {
      if (labelled) {
        FillRows(*plane, 0, kHeaderRows, 255);
      } else {
        FillRows(*plane, 0, 1, 0);
      }
      FillRows(*plane, kFrameHeight - 1, 1, 0);
    }
    std::fill_n(store.SecondFrame.begin() + PixelIndex(kFrameHeight - 1, 0), kFrameWidth, 0);
    host.ProgressClose();
  }
  store.ColourConverted = 1;

  if (settings.light_pollution_correction) EqualiseBackground(store);
  CopyFrame(store.SecondFrame, store.CurrentFrame);

  int power = 0;
  if (settings.weak_stretch) {
    power = 2;
  } else if (settings.strong_stretch) {
    power = 18;
  } else if (settings.user_stretch) {
    power = settings.user_stretch_value;
  }
  if (power != 0) {
    // The last table built belongs to the stretch commands; this one is the synthesis' own.
    auto table = std::make_unique<StretchTable>();
    EstimateAutoStretchLevel(store);
    if (settings.remove_background) RemoveBackground(store, host, *table);
    BuildNonLinearTable14(*table, power, store.History);
    ApplyStretchTable(store, host, *table);
  }
  if (settings.high_pass) HighPassLowPowerFilter(store);
  if (settings.unsharp_mask) UnsharpMask(store, settings.unsharp_diameter, settings.unsharp_power);

  CopyPlane(store.RedPlane, store.UndoRed);
  CopyPlane(store.GreenPlane, store.UndoGreen);
  CopyPlane(store.BluePlane, store.UndoBlue);
  if (settings.anti_alias) AntiAlias(store, host);
}

}  // namespace nyxel
