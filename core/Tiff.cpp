#include "core/Tiff.h"

#include <array>
#include <cstdint>
#include <vector>

#include "core/AtomicFile.h"

namespace nyxel {
namespace {

constexpr int kStrips = 12;
constexpr int kRowsPerStrip = 31;
constexpr uint32_t kColourBitsOffset = 569418;
constexpr int kBitmapRowBytes = kFrameWidth * 3;  // BitmapRows: bottom-up rows of 512 blue, green, red

class Bytes {
 public:
  void U16(uint16_t v) {
    b_.push_back(static_cast<uint8_t>(v & 0xFF));
    b_.push_back(static_cast<uint8_t>(v >> 8));
  }
  void U32(uint32_t v) {
    U16(static_cast<uint16_t>(v & 0xFFFF));
    U16(static_cast<uint16_t>(v >> 16));
  }
  void Entry(uint16_t tag, uint16_t type, uint32_t count, uint32_t value) {
    U16(tag);
    U16(type);
    U32(count);
    U32(value);  // a SHORT value sits in the low 16 bits, which come first
  }
  const std::vector<uint8_t>& Data() const { return b_; }

 private:
  std::vector<uint8_t> b_;
};

constexpr uint16_t kShort = 3, kLong = 4, kRational = 5;

std::vector<uint8_t> Header(bool colour) {
  const uint32_t strip = colour ? kRowsPerStrip * kTiffWidth * 3 : kRowsPerStrip * kTiffWidth;
  Bytes h;
  h.U16(0x4949);  // "II"
  h.U16(42);
  h.U32(8);
  h.U16(13);
  h.Entry(254, kLong, 1, 0);
  h.Entry(256, kShort, 1, kTiffWidth);
  h.Entry(257, kShort, 1, kTiffHeight);
  h.Entry(258, kShort, colour ? 3 : 1, colour ? kColourBitsOffset : 8);
  h.Entry(259, kShort, 1, 1);
  h.Entry(262, kShort, 1, colour ? 2 : 1);
  h.Entry(273, kLong, kStrips, 186);
  h.Entry(277, kShort, 1, colour ? 3 : 1);
  h.Entry(278, kLong, 1, kRowsPerStrip);
  h.Entry(279, kShort, kStrips, 234);
  h.Entry(282, kRational, 1, 170);
  h.Entry(283, kRational, 1, 178);
  h.Entry(296, kShort, 1, 3);
  h.U32(0);
  h.U32(510);
  h.U32(4);
  h.U32(256);
  h.U32(3);
  for (int k = 0; k < kStrips; ++k) h.U32(kTiffHeaderBytes + k * strip);
  for (int k = 0; k < kStrips; ++k) h.U16(static_cast<uint16_t>(strip));
  return h.Data();
}

uint8_t Interpolate(int a, int b, float f) {
  const float v = static_cast<float>(a) + static_cast<float>(b - a) * f;
  return v >= 256.0f ? 255 : static_cast<uint8_t>(v);
}

void BuildGreyRows(ImageStore& store) {
  for (int i = 0; i < kTiffHeight; ++i) {
    const float y = static_cast<float>(i) / kTiffScale;
    const int b = static_cast<int>(y);
    const float f = y - static_cast<float>(b);
    const int next = i == kTiffHeight - 1 ? b : b + 1;
    const uint16_t* r0 = store.CurrentFrame.data() + PixelIndex(b, 0);
    const uint16_t* r1 = store.CurrentFrame.data() + PixelIndex(next, 0);
    uint8_t* out = store.CorrectedColourRows.data() + static_cast<size_t>(i) * kTiffWidth;
    for (int c = 0; c < kTiffWidth; ++c) out[c] = Interpolate(r0[c] >> 8, r1[c] >> 8, f);
  }
}

void BuildColourRows(ImageStore& store) {
  for (int i = 0; i < kTiffHeight; ++i) {
    // Bottom-up numbering of BitmapRows, so output row 0 is the top of the picture.
    const float y = static_cast<float>(kTiffHeight - 1 - i) / kTiffScale;
    const int b = static_cast<int>(y);
    const float f = y - static_cast<float>(b);
    const int next = b == kFrameHeight - 1 ? b : b + 1;
    const uint8_t* r0 = store.BitmapRows.data() + static_cast<size_t>(b) * kBitmapRowBytes;
    const uint8_t* r1 = store.BitmapRows.data() + static_cast<size_t>(next) * kBitmapRowBytes;
    uint8_t* out = store.CorrectedColourRows.data() + static_cast<size_t>(i) * kTiffWidth * 3;
    for (int c = 0; c < kTiffWidth; ++c) {
      for (int k = 0; k < 3; ++k) {
        // Stored blue, green, red; written red, green, blue.
        out[3 * c + k] = Interpolate(r0[3 * c + 2 - k], r1[3 * c + 2 - k], f);
      }
    }
  }
}

}  // namespace

int WriteTiffFile(ImageStore& store, bool colour, const std::filesystem::path& file) {
  const std::vector<uint8_t> header = Header(colour);
  if (colour) {
    BuildColourRows(store);
  } else {
    BuildGreyRows(store);
  }
  const size_t pixels = static_cast<size_t>(kTiffHeight) * kTiffWidth * (colour ? 3 : 1);
  AtomicFile out(file);
  if (!out.Open() || !out.Write(header.data(), header.size()) ||
      !out.Write(store.CorrectedColourRows.data(), pixels)) {
    return 1;
  }
  if (colour) {
    const std::array<uint8_t, 6> bits = {8, 0, 8, 0, 8, 0};
    if (!out.Write(bits.data(), bits.size())) return 1;
  }
  return out.Commit() ? 0 : 1;
}

}  // namespace nyxel
