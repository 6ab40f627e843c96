#include "core/Display.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "core/AtomicFile.h"
#include "core/Messages.h"

namespace nyxel {
namespace {

inline uint8_t HighByte(uint16_t v) { return static_cast<uint8_t>(v >> 8); }

void Put16(uint8_t* p, uint32_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
}
void Put32(uint8_t* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}

// The 14-byte file header and the 40-byte information header.
void BitmapHeader(uint8_t* h, int width, int height, int bits, uint32_t file_size, uint32_t offset) {
  std::memset(h, 0, kColourBitmapHeaderBytes);
  h[0] = 'B';
  h[1] = 'M';
  Put32(h + 2, file_size);
  Put32(h + 10, offset);
  Put32(h + 14, 40);
  Put32(h + 18, static_cast<uint32_t>(width));
  Put32(h + 22, static_cast<uint32_t>(height));
  Put16(h + 26, 1);
  Put16(h + 28, static_cast<uint32_t>(bits));
}

// Source row and weight of an RV-geometry output row; the last row is its own neighbour.
struct RvSample {
  int base;
  int next;
  float f;
};
RvSample RvRow(int i) {
  const float y = static_cast<float>(i) / kRvScale;
  const int b = static_cast<int>(y);
  return {b, i == kRvHeight - 1 ? b : b + 1, y - static_cast<float>(b)};
}

inline uint8_t Interpolate(int a, int n, float f) {
  const float v = static_cast<float>(a) + static_cast<float>(n - a) * f;
  return v >= 256.0f ? 255 : static_cast<uint8_t>(v);
}

// 255^0.7 as the display has always computed it: one over 255 to the single-precision -0.7.
double StretchScale() {
  static const double scale = 1.0 / std::pow(255.0, static_cast<double>(-0.7f));
  return scale;
}

// The value with the highest count; the lowest value wins ties and 0 stands when nothing is counted.
int MostFrequent(const std::array<uint32_t, kHistogramBins>& histogram) {
  int best = 0;
  uint32_t best_count = 0;
  for (int v = 0; v < 256; ++v) {
    if (histogram[v] > best_count) {
      best_count = histogram[v];
      best = v;
    }
  }
  return best;
}

void CountHighBytes(ImageStore& store, int first, int end) {
  store.DisplayHistogram.fill(0);
  for (int i = first; i < end; ++i) ++store.DisplayHistogram[HighByte(store.CurrentFrame[i])];
}

// Creates the bitmap file through the atomic writer: 1 when not created, 2 when the header came up
// short, 3 when the pixels did; the previous file stays whole on every failure.
class BitmapFile {
 public:
  explicit BitmapFile(std::filesystem::path path) : file_(std::move(path), false) {}
  int Open() { return file_.Open() ? kBitmapWritten : kBitmapNotCreated; }
  int Header(const void* p, size_t n) { return file_.Write(p, n) ? kBitmapWritten : kBitmapHeaderShort; }
  int Pixels(const uint8_t* p, int blocks, size_t block) {
    for (int i = 0; i < blocks; ++i) {
      if (!file_.Write(p + static_cast<size_t>(i) * block, block)) return kBitmapPixelsShort;
    }
    return kBitmapWritten;
  }
  int Commit() { return file_.Commit() ? kBitmapWritten : kBitmapPixelsShort; }

 private:
  AtomicFile file_;
};

}  // namespace

void BuildDisplayImage(ImageStore& store) {
  const auto& frame = store.CurrentFrame;
  auto& out = store.DisplayImage;
  if (store.FocusFrameDisplay || store.FocusMode) {
    // The focus window is held packed at the start of the frame, 128 pixels per row.
    for (int i = 0; i < 25608; ++i) out[i] = HighByte(frame[i]);
    return;
  }
  if (!store.RvGeometry || store.ColourConverted) {
    for (int i = 0; i < kFramePixels; ++i) out[i] = HighByte(frame[i]);
    for (int row = 0; row < kFrameHeight; ++row) {
      out[PixelIndex(row, 510)] = 0;
      out[PixelIndex(row, 511)] = 0;
    }
    return;
  }
  for (int i = 0; i < kRvHeight; ++i) {
    const RvSample s = RvRow(i);
    const uint16_t* a = &frame[PixelIndex(s.base, 0)];
    const uint16_t* n = &frame[PixelIndex(s.next, 0)];
    uint8_t* o = &out[PixelIndex(i, 0)];
    for (int c = 0; c < 510; ++c) o[c] = Interpolate(HighByte(a[c]), HighByte(n[c]), s.f);
    o[510] = 0;
    o[511] = 0;
  }
}

int AutoStretchBrightness(int value, int black_level) {
  const int above = std::max(0, value - black_level);
  return static_cast<int>(std::pow(static_cast<double>(above), static_cast<double>(0.3f)) * StretchScale());
}

std::array<uint8_t, 256> DisplayPalette(const ImageStore& store) {
  std::array<uint8_t, 256> p{};
  for (int i = 0; i < 256; ++i) {
    if (store.MaxPaletteAll) {
      const int k = 1 << (16 - std::clamp(store.PaletteBits, 12, 16));
      p[i] = static_cast<uint8_t>(std::min(255, i * k));
    } else if (store.AutoStretch) {
      p[i] = i <= store.BlackLevel ? 0 : static_cast<uint8_t>(std::min(255, AutoStretchBrightness(i, store.BlackLevel)));
    } else {
      p[i] = static_cast<uint8_t>(i);
    }
  }
  return p;
}

void BuildGreyPalette(ImageStore& store) {
  auto& block = store.GreyPalette;
  Put16(&block[0], 0x300);
  Put16(&block[2], 256);
  for (int i = 0; i < 256; ++i) {
    uint8_t* e = &block[4 + 4 * i];
    e[0] = e[1] = e[2] = static_cast<uint8_t>(i);
    e[3] = 1;
  }
}

int WriteGreyBitmap(ImageStore& store, const Drive& drive, bool focus_frame, bool rv_geometry) {
  const bool focus = focus_frame || store.FocusMode || store.GuideFrameDisplay;
  if (focus) store.FocusBitmapUsed = 1;
  // Outside focus mode a self-guided exposure also shows the 128 x 128 window; the header then
  // describes those pixels too.
  const bool window = focus || store.SelfGuideNext;
  const int width = window ? kFocusSize : kFrameWidth;
  const int height = window ? kFocusSize : rv_geometry ? kRvHeight : kFrameHeight;

  // Rows bottom-up.
  const uint8_t* picture = store.DisplayImage.data();
  uint8_t* rows = store.BitmapRows.data();
  for (int r = 0; r < height; ++r) {
    std::memcpy(rows + static_cast<size_t>(r) * width, picture + static_cast<size_t>(height - 1 - r) * width,
                static_cast<size_t>(width));
  }

  uint8_t header[kGreyBitmapHeaderBytes];
  const uint32_t pixels = static_cast<uint32_t>(width * height);
  BitmapHeader(header, width, height, 8, kGreyBitmapHeaderBytes + pixels, kGreyBitmapHeaderBytes);
  const auto palette = DisplayPalette(store);
  for (int i = 0; i < 256; ++i) {
    uint8_t* e = header + kColourBitmapHeaderBytes + 4 * i;
    e[0] = e[1] = e[2] = palette[i];
    e[3] = 0;
  }

  BitmapFile file(drive.Resolve(focus ? kFocusBitmapPath : kDisplayBitmapPath));
  if (int r = file.Open()) return r;
  if (int r = file.Header(header, sizeof header)) return r;
  const int blocks = window ? 1 : 8;
  if (int r = file.Pixels(rows, blocks, pixels / blocks)) return r;
  return file.Commit();
}

void BuildColourRow(ImageStore& store, int source_row, int saturation_factor) {
  const double s = (saturation_factor + 1) * 0.5;
  const int base = PixelIndex(source_row, 0);
  uint8_t* out = &store.BitmapRows[static_cast<size_t>(kFrameHeight - 1 - source_row) * kFrameWidth * 3];
  for (int c = 0; c < kFrameWidth; ++c) {
    const int i = base + c;
    const int L = store.DisplayImage[i];
    float ratio[3] = {1.0f, 1.0f, 1.0f};  // blue, green, red
    if (L != 255) {
      const float b = store.BluePlane[i] + 30.0f;
      const float g = store.GreenPlane[i] + 30.0f;
      const float r = store.RedPlane[i] + 30.0f;
      const float m = std::max({r, g, b});
      ratio[0] = b / m;
      ratio[1] = g / m;
      ratio[2] = r / m;
    }
    const int y = store.AutoStretch ? AutoStretchBrightness(L, store.BlackLevel) : L;
    for (int k = 0; k < 3; ++k) {
      const double v = (1.0 + s * (static_cast<double>(ratio[k]) - 1.0)) * y;
      out[3 * c + k] = v > 254.0 ? 255 : v < 0.0 ? 0 : static_cast<uint8_t>(v);
    }
  }
}

void BuildColourPicture(ImageStore& store, Host& host, int saturation_factor) {
  host.ProgressOpen("Filter Progress");
  int position = -35;
  for (int g = kFrameHeight; g >= 1; --g) {
    if (store.ProgressCaptionPending) {
      host.ProgressSetCaption("BUILDING IMAGE");
      store.ProgressCaptionPending = 0;
    }
    host.ProgressSetPosition(position++);
    BuildColourRow(store, kFrameHeight - g, saturation_factor);
  }
  host.ProgressClose();
}

int WriteColourBitmap(ImageStore& store, const Drive& drive, bool rv_geometry) {
  constexpr size_t kRow = kFrameWidth * 3;
  const int height = rv_geometry ? kRvHeight : kFrameHeight;
  const uint8_t* pixels = store.BitmapRows.data();
  if (rv_geometry) {
    // Interpolated between the bottom-up rows, so the file's first and last rows are the picture's own.
    for (int i = kRvHeight - 1; i >= 0; --i) {
      const RvSample s = RvRow(i);
      const uint8_t* a = &store.BitmapRows[s.base * kRow];
      const uint8_t* n = &store.BitmapRows[s.next * kRow];
      uint8_t* o = &store.CorrectedColourRows[i * kRow];
      for (size_t k = 0; k < kRow; ++k) o[k] = Interpolate(a[k], n[k], s.f);
    }
    pixels = store.CorrectedColourRows.data();
  }
  uint8_t header[kColourBitmapHeaderBytes];
  const uint32_t size = static_cast<uint32_t>(kRow) * static_cast<uint32_t>(height);
  BitmapHeader(header, kFrameWidth, height, 24, kColourBitmapHeaderBytes + size, kColourBitmapHeaderBytes);

  BitmapFile file(drive.Resolve(kDisplayBitmapPath));
  if (int r = file.Open()) return r;
  if (int r = file.Header(header, sizeof header)) return r;
  if (int r = file.Pixels(pixels, 24, size / 24)) return r;
  return file.Commit();
}

void EstimateAutoStretchLevel(ImageStore& store) {
  CountHighBytes(store, PixelIndex(40, 0), PixelIndex(70, 0));
  store.BlackLevel = MostFrequent(store.DisplayHistogram);
}

void EstimateBlackLevel(ImageStore& store) {
  CountHighBytes(store, kHeaderPixels, kFramePixels);
  auto counts = store.DisplayHistogram;
  int sum = 0;
  for (int k = 0; k < 3; ++k) {
    const int v = MostFrequent(counts);
    sum += v;
    counts[v] = 0;
  }
  store.BlackLevel = sum / 3;
}

std::string WindowCaption(const std::string& file_name) {
  return "Nyxel - " + (file_name.empty() ? std::string("(Untitled)") : file_name);
}

std::filesystem::path DisplayBitmapFile(const ImageStore& store, const Drive& drive) {
  return drive.Resolve(store.GuideFrameDisplay ? kFocusBitmapPath : kDisplayBitmapPath);
}

int RefreshDisplay(ImageStore& store, Host& host, const Drive& drive, int saturation_factor) {
  BuildDisplayImage(store);
  BuildGreyPalette(store);
  host.SetCaption(WindowCaption(store.CurrentFileName));
  if (store.AutoStretch) EstimateAutoStretchLevel(store);
  int result;
  if (store.ColourConverted) {
    BuildColourPicture(store, host, saturation_factor);
    result = WriteColourBitmap(store, drive, store.RvGeometry);
  } else {
    result = WriteGreyBitmap(store, drive, store.FocusFrameDisplay, store.RvGeometry);
  }
  if (result != kBitmapWritten) ShowMessage(host, 7 + result);  // 8, 9 or 10
  // The window loads whatever file is on disk, the previous one when this write failed.
  host.ShowBitmap(DisplayBitmapFile(store, drive));
  return result;
}

bool SetFitToWindow(ImageStore& store, bool on) {
  if (static_cast<bool>(store.FitToWindow) == on) return false;
  store.FitToWindow = on;
  if (on && store.RvGeometry) {
    store.RvGeometry = 0;
    return true;
  }
  return false;
}

bool SetRvGeometry(ImageStore& store, bool on) {
  if (static_cast<bool>(store.RvGeometry) == on) return false;
  store.RvGeometry = on;
  if (on) store.FitToWindow = 0;
  return true;
}

bool LabelMarker(const ImageStore& store) { return store.CurrentFrame[4] + store.CurrentFrame[5] == 34; }

void MirrorImage(ImageStore& store) {
  const int first = LabelMarker(store) ? kHeaderRows : 0;
  auto mirror = [first](auto& image, auto& temp) {
    std::copy_n(image.begin(), kFramePixels, temp.begin());
    for (int row = first; row < kFrameHeight; ++row) {
      for (int c = 0; c < kFrameWidth; ++c) image[PixelIndex(row, c)] = temp[PixelIndex(row, kFrameWidth - 1 - c)];
    }
  };
  mirror(store.CurrentFrame, store.SecondFrame);
  if (store.ColourConverted) {
    mirror(store.RedPlane, store.ChromaRed);
    mirror(store.GreenPlane, store.ChromaGreen);
    mirror(store.BluePlane, store.ChromaBlue);
  }
}

}  // namespace nyxel
