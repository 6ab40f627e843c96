#pragma once
// The thresholded star centroid used by merging, focus-frame centring and guiding.
#include <cstdint>
#include <span>
#include <string_view>

#include "core/Host.h"
#include "core/ImageStore.h"

namespace nyxel {

inline constexpr std::string_view kFindCentreCaption = "NYXEL_RV9  - Find Centre";
inline constexpr std::string_view kFindCentreOutside = "Find centre failed - outside image area";
inline constexpr std::string_view kFindCentreNothing = "Sorry, Nothing found to centre on";

// A found star: whole pixels, and tenths of a pixel (0..9) when the search keeps fractions.
struct StarCentre {
  int column = 0;
  int row = 0;
  int column_tenths = 0;
  int row_tenths = 0;
};

// What the caller knows that the store does not.
struct StarSearch {
  // The autoguider (guiding or training) runs: the frame is the 128 x 128 window and, with
  // ignore_small_drift off, the centre keeps its tenths.
  bool guiding = false;
  // The setting "Ignore drift < 1 pixel".
  bool ignore_small_drift = false;
};

// Centroid of the (2 radius + 1)-square box about (x, y) in `frame`. The frame is read as 128 x 128
// (packed, 128 pixels per row) while guiding or in focus mode, else as 512 x 290. On success sets
// `centre` and returns true; on failure shows its message box (the "nothing found" one not while
// store.SelfGuideNext is set), leaves `centre` unchanged and returns false.
bool FindStarCentre(const ImageStore& store, Host& host, int x, int y, std::span<const uint16_t> frame,
                    int radius, const StarSearch& search, StarCentre& centre);

}  // namespace nyxel
