#pragma once
// Helpers for the image-file tests: filled stores and a snapshot of everything a load may change.
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "core/ImageStore.h"
#include "files/FitsHeader.h"

namespace nyxel::test {

inline void FillRandom(ImageStore& s, uint32_t seed) {
  std::mt19937 rng(seed);
  for (auto* f : {&s.CurrentFrame, &s.SecondFrame, &s.UndoFrame}) {
    for (auto& p : *f) p = static_cast<uint16_t>(rng());
  }
  for (auto* p : {&s.RedPlane, &s.GreenPlane, &s.BluePlane}) {
    for (auto& b : *p) b = static_cast<uint8_t>(rng());
  }
}

inline FitsHeader SampleHeader() {
  FitsHeader f;
  f.fits_object = "M42 Orion nebula";
  f.fits_telescope = "8 inch SCT";
  f.fits_instrument = "RV9 colour";
  f.fits_observer = "A. Observer";
  f.fits_origin = "Back garden";
  f.fits_date_obs = "2007-03-05";
  f.fits_time_obs = "21:04:09";
  f.fits_history_text = "Stacked by hand";
  f.fits_comment_text = "Thin cloud";
  f.fits_pixel_width = 0.0098;
  f.fits_pixel_height = 0.0126;
  f.fits_exposure = 30.5;
  f.fits_focal_length = 80;
  f.fits_aperture = 50.25;
  f.fits_filter = "IR block";
  return f;
}

// Everything a load may change, for "refused input changes nothing" checks.
struct StoreSnapshot {
  std::vector<uint16_t> current, second;
  std::vector<uint8_t> red, green, blue;
  ProcessingHistory history;
  FitsHeader fits;
  int colour = 0;

  StoreSnapshot(const ImageStore& s, const FitsHeader& f)
      : current(s.CurrentFrame.begin(), s.CurrentFrame.end()),
        second(s.SecondFrame.begin(), s.SecondFrame.end()),
        red(s.RedPlane.begin(), s.RedPlane.end()),
        green(s.GreenPlane.begin(), s.GreenPlane.end()),
        blue(s.BluePlane.begin(), s.BluePlane.end()),
        history(s.History),
        fits(f),
        colour(s.ColourConverted) {}

  bool operator==(const StoreSnapshot& o) const {
    auto same_fits = [](const FitsHeader& a, const FitsHeader& b) {
      return a.fits_object == b.fits_object && a.fits_telescope == b.fits_telescope &&
             a.fits_instrument == b.fits_instrument && a.fits_observer == b.fits_observer &&
             a.fits_origin == b.fits_origin && a.fits_date_obs == b.fits_date_obs &&
             a.fits_time_obs == b.fits_time_obs && a.fits_history_text == b.fits_history_text &&
             a.fits_comment_text == b.fits_comment_text && a.fits_pixel_width == b.fits_pixel_width &&
             a.fits_pixel_height == b.fits_pixel_height && a.fits_exposure == b.fits_exposure &&
             a.fits_focal_length == b.fits_focal_length && a.fits_aperture == b.fits_aperture &&
             a.fits_filter == b.fits_filter && a.fits_unsigned == b.fits_unsigned;
    };
    return current == o.current && second == o.second && red == o.red && green == o.green && blue == o.blue &&
           history.HistoryLine == o.history.HistoryLine && same_fits(fits, o.fits) && colour == o.colour;
  }
};

}  // namespace nyxel::test
