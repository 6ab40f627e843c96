// The commands on a colour-converted image: balance, anti-alias, chromatism, low pass, colour undo.
#include <algorithm>
#include <array>

#include "core/Display.h"
#include "processing/Colour.h"
#include "processing/MedianKernel.h"
#include "processing/PictureEdge.h"
#include "processing/Simd.h"

#ifdef NYXEL_X86
#include <immintrin.h>
#endif

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

#ifdef NYXEL_X86
__attribute__((target("avx2"))) inline __m256i Bytes16(const uint8_t* p) {
  return _mm256_cvtepu8_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)));
}
__attribute__((target("avx2"))) inline __m256i Words(const int16_t* p) {
  return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
}
__attribute__((target("avx2"))) inline void StoreWords(int16_t* p, __m256i v) {
  _mm256_storeu_si256(reinterpret_cast<__m256i*>(p), v);
}
__attribute__((target("avx2"))) inline __m256i Times(__m256i v, int16_t k) {
  return _mm256_mullo_epi16(v, _mm256_set1_epi16(k));
}
// 16 words (each at most 255) to 16 bytes.
__attribute__((target("avx2"))) inline void StoreBytes16(uint8_t* p, __m256i v) {
  const __m256i packed = _mm256_permute4x64_epi64(_mm256_packus_epi16(v, v), 0x08);
  _mm_storeu_si128(reinterpret_cast<__m128i*>(p), _mm256_castsi256_si128(packed));
}

// DetailRow sixteen pixels at a time in 16-bit lanes: every profile stays below 11,221 and every sum
// below 39,781, which the unsigned lanes hold, and sum / 156 = (sum x 53,774) >> 23 on that range.
__attribute__((target("avx2"))) void DetailRowAvx2(const uint8_t* plane, uint8_t* detail, int row) {
  alignas(32) int16_t v0[kFrameWidth], v1[kFrameWidth], v2[kFrameWidth], v3[kFrameWidth];
  const uint8_t* d = plane + PixelIndex(row, 0);
  for (int x = 0; x < kFrameWidth; x += 16) {
    const __m256i outer =
        _mm256_add_epi16(Bytes16(d - 3 * kFrameWidth + x), Bytes16(d + 3 * kFrameWidth + x));
    const __m256i second =
        _mm256_add_epi16(Bytes16(d - 2 * kFrameWidth + x), Bytes16(d + 2 * kFrameWidth + x));
    const __m256i inner = _mm256_add_epi16(Bytes16(d - kFrameWidth + x), Bytes16(d + kFrameWidth + x));
    const __m256i centre = Bytes16(d + x);
    StoreWords(v0 + x,
               _mm256_add_epi16(_mm256_add_epi16(second, _mm256_slli_epi16(inner, 1)), Times(centre, 3)));
    StoreWords(v1 + x, _mm256_add_epi16(_mm256_add_epi16(outer, _mm256_slli_epi16(second, 1)),
                                        _mm256_add_epi16(Times(inner, 3), _mm256_slli_epi16(centre, 2))));
    StoreWords(v2 + x, _mm256_add_epi16(_mm256_add_epi16(_mm256_slli_epi16(outer, 1), Times(second, 3)),
                                        _mm256_add_epi16(Times(inner, 6), Times(centre, 9))));
    StoreWords(v3 + x, _mm256_add_epi16(_mm256_add_epi16(Times(outer, 3), _mm256_slli_epi16(second, 2)),
                                        _mm256_add_epi16(Times(inner, 9), Times(centre, 12))));
  }
  const __m256i magic = _mm256_set1_epi16(static_cast<int16_t>(53774));
  const __m256i white = _mm256_set1_epi16(255);
  uint8_t* out = detail + PixelIndex(row, 0);
  for (int x0 = kAntiAliasFirst; x0 <= kAntiAliasLastColumn; x0 += 16) {
    const int x = std::min(x0, kAntiAliasLastColumn - 15);  // the last group overlaps the one before
    const __m256i sum = _mm256_add_epi16(
        _mm256_add_epi16(_mm256_add_epi16(Words(v3 + x), Words(v2 + x - 1)),
                         _mm256_add_epi16(Words(v2 + x + 1), Words(v1 + x - 2))),
        _mm256_add_epi16(_mm256_add_epi16(Words(v1 + x + 2), Words(v0 + x - 3)), Words(v0 + x + 3)));
    const __m256i blur = _mm256_min_epu16(_mm256_srli_epi16(_mm256_mulhi_epu16(sum, magic), 7), white);
    StoreBytes16(out + x, _mm256_subs_epu16(Bytes16(d + x), blur));
  }
}

// The final step: each plane becomes its median plus the mean detail (sum / 3 = (sum x 21,846) >> 16 for
// sums up to 765), saturating at 255; 32 pixels at a time.
__attribute__((target("avx2"))) void CombineAvx2(uint8_t* const* planes, const uint8_t* const* medians,
                                                 const uint8_t* const* details) {
  const __m256i third = _mm256_set1_epi16(21846);
  for (int i = 0; i < kFramePixels; i += 32) {
    __m256i mean[2];
    for (int h = 0; h < 2; ++h) {
      const __m256i sum = _mm256_add_epi16(
          _mm256_add_epi16(Bytes16(details[0] + i + 16 * h), Bytes16(details[1] + i + 16 * h)),
          Bytes16(details[2] + i + 16 * h));
      mean[h] = _mm256_mulhi_epu16(sum, third);
    }
    const __m256i d = _mm256_permute4x64_epi64(_mm256_packus_epi16(mean[0], mean[1]), 0xD8);
    for (int k = 0; k < 3; ++k) {
      const __m256i m = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(medians[k] + i));
      _mm256_storeu_si256(reinterpret_cast<__m256i*>(planes[k] + i), _mm256_adds_epu8(m, d));
    }
  }
}
#endif

// Shifts the rows first..289 of `plane` by h columns, then v rows, reading each pass from `copy`;
// a source outside the rows or columns leaves the pixel as it was.
void ShiftPlane(Plane& plane, Plane& copy, int first, int h, int v) {
  if (h != 0) {
    CopyPlane(plane, copy);
    for (int y = first; y < kFrameHeight; ++y) {
      for (int x = 0; x < kFrameWidth; ++x) {
        const int from = x + h;
        // Columns 510 and 511 hold no picture: a picture pixel shifted from there keeps its value too.
        const bool outside =
            from < 0 || from >= kFrameWidth || (x <= kLastPictureColumn && from > kLastPictureColumn);
        if (!outside) plane[PixelIndex(y, x)] = copy[PixelIndex(y, from)];
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
  // The rows read the mirrored columns beyond the picture; the frame's median copies above keep columns
  // 510 and 511 as they were, and the last step rewrites the planes from them.
  const MirroredEdge red_edge(*planes[0]), blue_edge(*planes[1]), green_edge(*planes[2]);
#ifdef NYXEL_X86
  const bool avx2 = ActiveSimdPath() == SimdPath::kAvx2;
#endif
  for (int row = kAntiAliasFirst; row <= kAntiAliasLastRow; ++row) {
    for (int k = 0; k < 3; ++k) {
#ifdef NYXEL_X86
      if (avx2) {
        DetailRowAvx2(planes[k]->data(), details[k]->data(), row);
      } else {
        DetailRow(planes[k]->data(), details[k]->data(), row);
      }
#else
      DetailRow(planes[k]->data(), details[k]->data(), row);
#endif
      Median5Row(planes[k]->data(), medians[k]->data(), row, kAntiAliasFirst, kAntiAliasLastColumn);
    }
    host.ProgressSetPosition((row - kAntiAliasFirst + 1) * 100 / (kAntiAliasLastRow - kAntiAliasFirst + 1));
  }
#ifdef NYXEL_X86
  if (avx2) {
    uint8_t* const out[3] = {planes[0]->data(), planes[1]->data(), planes[2]->data()};
    const uint8_t* const median[3] = {medians[0]->data(), medians[1]->data(), medians[2]->data()};
    const uint8_t* const detail[3] = {details[0]->data(), details[1]->data(), details[2]->data()};
    CombineAvx2(out, median, detail);
    host.ProgressClose();
    return;
  }
#endif
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
    uint8_t* out = plane->data();
    // `right` is the offset of the right-hand neighbours: column 509's are column 508's (PictureEdge.h).
    const auto pixel = [&](int i, int right) {
      const int sum = s[i - kFrameWidth - 1] + 2 * s[i - kFrameWidth] + s[i - kFrameWidth + right] +
                      2 * s[i - 1] + 4 * s[i] + 2 * s[i + right] + s[i + kFrameWidth - 1] +
                      2 * s[i + kFrameWidth] + s[i + kFrameWidth + right];
      out[i] = static_cast<uint8_t>(std::min(sum / 16, 255));
    };
    for (int y = 1; y < kFrameHeight - 1; ++y) {
      for (int x = 1; x < kLastPictureColumn; ++x) pixel(PixelIndex(y, x), 1);
      pixel(PixelIndex(y, kLastPictureColumn), PictureColumn(kLastPictureColumn + 1) - kLastPictureColumn);
      pixel(PixelIndex(y, kFrameWidth - 2), 1);
    }
  }
}

void UndoColourFilter(ImageStore& store) {
  CopyPlane(store.UndoRed, store.RedPlane);
  CopyPlane(store.UndoGreen, store.GreenPlane);
  CopyPlane(store.UndoBlue, store.BluePlane);
}

}  // namespace nyxel
