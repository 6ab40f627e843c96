// The commands on a colour-converted image: balance, anti-alias, chromatism, low pass, colour undo.
#include <algorithm>
#include <array>

#include "core/Display.h"
#include "processing/Colour.h"
#include "processing/MedianKernel.h"

namespace nyxel {
namespace {

constexpr int kBalanceKeep = 245;  // plane values from here up are left alone by the balance

void SaveColourUndo(ImageStore& store) {
  CopyPlane(store.RedPlane, store.UndoRed);
  CopyPlane(store.GreenPlane, store.UndoGreen);
  CopyPlane(store.BluePlane, store.UndoBlue);
}

// The anti-alias blur: 7 x 7 weights summing to 156, row by row
//   0 1 2 3 2 1 0 / 1 2 3 4 3 2 1 / 2 3 6 9 6 3 2 / 3 4 9 12 9 4 3 / 2 3 6 9 6 3 2 / 1 2 3 4 3 2 1 / 0 1 2 3
//   2 1 0.
constexpr int kBlurDivisor = 156;
constexpr int kAntiAliasFrame = 3;
constexpr int kAntiAliasFirst = kAntiAliasFrame;                         // first row and column computed
constexpr int kAntiAliasLastRow = kFrameHeight - 1 - kAntiAliasFrame;    // 286
constexpr int kAntiAliasLastColumn = kFrameWidth - 1 - kAntiAliasFrame;  // 508

// One row of high-pass detail: the part of each value above its weighted 7 x 7 blur. The weights are
// symmetric, so the blur is four vertical profiles (one per column distance) added across the row.
void DetailRow(const uint8_t* plane, uint8_t* detail, int row) {
  std::array<int, kFrameWidth> v0, v1, v2, v3;  // column profiles for |dx| = 3, 2, 1, 0
  const uint8_t* a = plane + PixelIndex(row - 3, 0);
  const uint8_t* b = plane + PixelIndex(row - 2, 0);
  const uint8_t* c = plane + PixelIndex(row - 1, 0);
  const uint8_t* d = plane + PixelIndex(row, 0);
  const uint8_t* e = plane + PixelIndex(row + 1, 0);
  const uint8_t* f = plane + PixelIndex(row + 2, 0);
  const uint8_t* g = plane + PixelIndex(row + 3, 0);
  for (int x = 0; x < kFrameWidth; ++x) {
    const int outer = a[x] + g[x], second = b[x] + f[x], inner = c[x] + e[x], centre = d[x];
    v0[x] = second + 2 * inner + 3 * centre;
    v1[x] = outer + 2 * second + 3 * inner + 4 * centre;
    v2[x] = 2 * outer + 3 * second + 6 * inner + 9 * centre;
    v3[x] = 3 * outer + 4 * second + 9 * inner + 12 * centre;
  }
  uint8_t* out = detail + PixelIndex(row, 0);
  for (int x = kAntiAliasFirst; x <= kAntiAliasLastColumn; ++x) {
    const int sum = v3[x] + v2[x - 1] + v2[x + 1] + v1[x - 2] + v1[x + 2] + v0[x - 3] + v0[x + 3];
    const int blur = std::min(sum / kBlurDivisor, 255);
    out[x] = static_cast<uint8_t>(blur < d[x] ? d[x] - blur : 0);
  }
}

// Shifts the rows first..289 of `plane` by h columns, then v rows, reading each pass from `copy`;
// a source outside the rows or columns leaves the pixel as it was.
void ShiftPlane(Plane& plane, Plane& copy, int first, int h, int v) {
  if (h != 0) {
    CopyPlane(plane, copy);
    for (int y = first; y < kFrameHeight; ++y) {
      for (int x = 0; x < kFrameWidth; ++x) {
        const int from = x + h;
        if (from >= 0 && from < kFrameWidth) plane[PixelIndex(y, x)] = copy[PixelIndex(y, from)];
      }
    }
  }
  if (v != 0) {
    CopyPlane(plane, copy);
    for (int y = first; y < kFrameHeight; ++y) {
      const int from = y + v;
      if (from < first || from >= kFrameHeight) continue;
      std::copy_n(copy.begin() + PixelIndex(from, 0), kFrameWidth, plane.begin() + PixelIndex(y, 0));
    }
  }
}

}  // namespace

BalanceHistograms CountBalanceHistograms(const ImageStore& store) {
  BalanceHistograms h;
  for (int i = PixelIndex(kHeaderRows, 0); i < kFramePixels; ++i) {
    ++h.red[store.RedPlane[i] / 2];
    ++h.green[store.GreenPlane[i] / 2];
    ++h.blue[store.BluePlane[i] / 2];
  }
  return h;
}

void BalanceColours(ImageStore& store, Host& host, const ColourBalance& start) {
  BusyCursor busy(host);
  host.ProgressOpen(kBalanceProgressCaption);
  // BalanceShift: twice the starting values.
  const int shift[3] = {2 * start.red, 2 * start.green, 2 * start.blue};
  SaveColourUndo(store);
  uint8_t* planes[3] = {store.RedPlane.data(), store.GreenPlane.data(), store.BluePlane.data()};
  // Per shift, the new value of every plane value (values of 245 and above stay).
  std::array<std::array<uint8_t, 256>, 3> table;
  for (int k = 0; k < 3; ++k) {
    for (int value = 0; value < 256; ++value) {
      int out = value;
      if (value < kBalanceKeep) out = std::min(value > shift[k] ? value - shift[k] : 0, 255);
      table[k][value] = static_cast<uint8_t>(out);
    }
  }
  for (int row = 0; row < kFrameHeight; ++row) {
    for (int i = PixelIndex(row, 0); i < PixelIndex(row + 1, 0); ++i) {
      if ((planes[0][i] | planes[1][i] | planes[2][i]) == 0) continue;  // black stays black
      for (int k = 0; k < 3; ++k) planes[k][i] = table[k][planes[k][i]];
    }
    host.ProgressSetPosition((row + 1) * 100 / kFrameHeight);
  }
  host.ProgressClose();
}

void AntiAlias(ImageStore& store, Host& host) {
  BusyCursor busy(host);
  host.ProgressOpen(kAntiAliasProgressCaption);
  Plane* planes[3] = {&store.RedPlane, &store.BluePlane, &store.GreenPlane};
  Plane* details[3] = {&store.ScratchPlane0, &store.ScratchPlane1, &store.ScratchPlane2};
  Plane* medians[3] = {&store.ChromaRed, &store.ChromaBlue, &store.ChromaGreen};
  // The three-pixel frame is not computed: there the median is the value itself and the detail 0,
  // so the frame keeps its values.
  for (int k = 0; k < 3; ++k) {
    CopyPlane(*planes[k], *medians[k]);
    std::fill_n(details[k]->begin(), kFramePixels, 0);
  }
  for (int row = kAntiAliasFirst; row <= kAntiAliasLastRow; ++row) {
    for (int k = 0; k < 3; ++k) {
      DetailRow(planes[k]->data(), details[k]->data(), row);
      Median5Row(planes[k]->data(), medians[k]->data(), row, kAntiAliasFirst, kAntiAliasLastColumn);
    }
    host.ProgressSetPosition((row - kAntiAliasFirst + 1) * 100 / (kAntiAliasLastRow - kAntiAliasFirst + 1));
  }
  for (int i = 0; i < kFramePixels; ++i) {
    const int d = (store.ScratchPlane0[i] + store.ScratchPlane1[i] + store.ScratchPlane2[i]) / 3;
    for (int k = 0; k < 3; ++k) (*planes[k])[i] = static_cast<uint8_t>(std::min((*medians[k])[i] + d, 255));
  }
  host.ProgressClose();
}

void AdjustChromatism(ImageStore& store, const ChromaticShift& shift) {
  CopyFrame(store.CurrentFrame, store.SecondFrame);
  SaveColourUndo(store);
  const int first = LabelMarker(store) ? kHeaderRows : 0;
  ShiftPlane(store.RedPlane, store.ScratchPlane0, first, shift.red_horizontal, shift.red_vertical);
  ShiftPlane(store.BluePlane, store.ScratchPlane1, first, shift.blue_horizontal, shift.blue_vertical);
}

void LowPassColour(ImageStore& store) {
  SaveColourUndo(store);
  const std::pair<Plane*, const Plane*> planes[3] = {{&store.RedPlane, &store.UndoRed},
                                                     {&store.GreenPlane, &store.UndoGreen},
                                                     {&store.BluePlane, &store.UndoBlue}};
  for (const auto& [plane, source] : planes) {
    const uint8_t* s = source->data();
    for (int y = 1; y < kFrameHeight - 1; ++y) {
      for (int x = 1; x < kFrameWidth - 1; ++x) {
        const int i = PixelIndex(y, x);
        const int sum = s[i - kFrameWidth - 1] + 2 * s[i - kFrameWidth] + s[i - kFrameWidth + 1] +
                        2 * s[i - 1] + 4 * s[i] + 2 * s[i + 1] + s[i + kFrameWidth - 1] +
                        2 * s[i + kFrameWidth] + s[i + kFrameWidth + 1];
        (*plane)[i] = static_cast<uint8_t>(std::min(sum / 16, 255));
      }
    }
  }
}

void UndoColourFilter(ImageStore& store) {
  CopyPlane(store.UndoRed, store.RedPlane);
  CopyPlane(store.UndoGreen, store.GreenPlane);
  CopyPlane(store.UndoBlue, store.BluePlane);
}

}  // namespace nyxel
