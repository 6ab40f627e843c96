#pragma once
// Label Image: a 64-character banner burnt into rows 0..9 of the current image.
#include <ctime>
#include <string>
#include <string_view>

#include "core/ImageStore.h"
#include "files/FitsHeader.h"

namespace nyxel {

inline constexpr int kLabelTextLimit = 30;  // characters the dialog takes
inline constexpr int kBannerCells = 64;     // 8-pixel cells across the 512-pixel row
inline constexpr int kLabelMarkerValue = 17;
inline constexpr int kLabelMarkerPixels = 6;
inline constexpr std::string_view kFitsDateNotSet = "Sorry, FITs date not set";

// What the label dialog returns. With fits_date set, auto_date is set too and the date comes from the
// FITS header values instead of the clock.
struct LabelOptions {
  std::string text;
  bool auto_date = false;
  bool fits_date = false;
};

// The dialog's check boxes. "Auto Date" clicked while set clears both flags, else sets it.
void ClickAutoDate(LabelOptions& options);
// "Use FITs Date" clicked while set clears it; else sets both flags when the FITS date is set. Returns
// false when it is not (the dialog then shows message 50 with kFitsDateNotSet) and changes nothing.
bool ClickFitsDate(LabelOptions& options, const FitsHeader& fits);

// "  hh:mm:ss UT dd-mm-yyyy " from the clock (in universal time), or " time UT date" from the FITS
// values; "" without auto_date.
std::string LabelDateText(const LabelOptions& options, const FitsHeader& fits, const std::tm& now_ut);

// The banner: the text (cut to 30 characters) centred in the 64 cells, with the date text after it
// when auto_date is set.
std::string LabelBanner(const LabelOptions& options, const FitsHeader& fits, const std::tm& now_ut);

// Clears rows 0..9, draws the banner's first 64 characters (characters the font lacks stay black) and
// sets the label marker. The caller refreshes the display.
void DrawLabel(ImageStore& store, std::string_view banner);

}  // namespace nyxel
