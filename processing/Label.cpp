#include "processing/Label.h"

#include <algorithm>
#include <cstdio>

#include "core/Geometry.h"
#include "processing/LabelFont.h"

namespace nyxel {
namespace {

// The shortest date the program writes itself ("5/3/07").
inline constexpr size_t kShortestFitsDate = 6;
// The date's share of the banner when centring, whatever its actual length.
inline constexpr int kDateCells = 24;

}  // namespace

void ClickAutoDate(LabelOptions& options) {
  if (options.auto_date) {
    options.auto_date = false;
    options.fits_date = false;
  } else {
    options.auto_date = true;
  }
}

bool ClickFitsDate(LabelOptions& options, const FitsHeader& fits) {
  if (options.fits_date) {
    options.fits_date = false;
    return true;
  }
  if (fits.fits_date_obs.size() < kShortestFitsDate) return false;
  options.auto_date = true;
  options.fits_date = true;
  return true;
}

std::string LabelDateText(const LabelOptions& options, const FitsHeader& fits, const std::tm& now_ut) {
  if (!options.auto_date) return {};
  if (options.fits_date) return " " + fits.fits_time_obs + " UT " + fits.fits_date_obs;
  char text[64];
  std::snprintf(text, sizeof text, "  %02d:%02d:%02d UT %02d-%02d-%d ", now_ut.tm_hour, now_ut.tm_min,
                now_ut.tm_sec, now_ut.tm_mday, now_ut.tm_mon + 1, now_ut.tm_year + 1900);
  return text;
}

std::string LabelBanner(const LabelOptions& options, const FitsHeader& fits, const std::tm& now_ut) {
  const std::string_view text = std::string_view(options.text).substr(0, kLabelTextLimit);
  const int spaces =
      (kBannerCells - static_cast<int>(text.size()) - (options.auto_date ? kDateCells : 0)) / 2;
  std::string banner(static_cast<size_t>(std::max(0, spaces)), ' ');
  banner += text;
  banner += LabelDateText(options, fits, now_ut);
  return banner;
}

void DrawLabel(ImageStore& store, std::string_view banner) {
  auto& frame = store.CurrentFrame;
  std::fill_n(frame.begin(), kHeaderPixels, uint16_t{0});
  // A banner longer than the row (long FITS date texts) is cut at the last whole cell.
  const size_t cells = std::min(banner.size(), static_cast<size_t>(kBannerCells));
  for (size_t i = 0; i < cells; ++i) {
    const Glyph* glyph = LabelGlyph(banner[i]);
    if (!glyph) continue;
    for (int r = 0; r < kGlyphHeight; ++r) {
      uint16_t* out = &frame[PixelIndex(r, static_cast<int>(i) * kGlyphWidth)];
      for (int b = 0; b < kGlyphWidth; ++b) out[b] = ((*glyph)[r] & (0x80 >> b)) ? 65535 : 0;
    }
  }
  std::fill_n(frame.begin(), kLabelMarkerPixels, static_cast<uint16_t>(kLabelMarkerValue));
}

}  // namespace nyxel
