#pragma once
// The View choices (auto contrast stretch, fit to window, max palette stretch, RV geometry) kept between
// runs of the window in the program's own settings file. The fixed settings record has no field for
// them; nyxel-batch never reads them, so its scripts start the same way every time.
#include <string_view>

#include "core/Drive.h"
#include "core/ImageStore.h"
#include "files/ProgramPrefs.h"

namespace nyxel {

inline constexpr std::string_view kViewAutoStretchKey = "view.auto_stretch";
inline constexpr std::string_view kViewFitToWindowKey = "view.fit_to_window";
inline constexpr std::string_view kViewRvGeometryKey = "view.rv_geometry";
inline constexpr std::string_view kViewMaxPaletteAllKey = "view.max_palette_all";
inline constexpr std::string_view kViewPaletteBitsKey = "view.palette_bits";

// The View flags as they are now, to tell whether they changed since they were last written.
struct ViewChoices {
  int auto_stretch = 0;
  int fit_to_window = 0;
  int rv_geometry = 0;
  int max_palette_all = 0;
  int palette_bits = 0;
  bool operator==(const ViewChoices&) const = default;
};
ViewChoices CurrentViewChoices(const ImageStore& store);

// Sets the store's View flags from `prefs`. A missing key keeps the start-up value, except auto
// contrast stretch, which is on until the user turns it off: a first photo of a faint sky shows its
// stars. RV geometry wins over fit to window, as the command does.
void RestoreViewChoices(ImageStore& store, const ProgramPrefs& prefs);

// Writes the store's View flags into `prefs`.
void StoreViewChoices(const ImageStore& store, ProgramPrefs& prefs);

// Re-reads the file (so keys another part of the program saved meanwhile are kept), puts the View
// flags in, writes it, and puts them into `prefs` too. False when the file could not be written; the
// choices then last for this run only.
bool SaveViewChoices(const ImageStore& store, ProgramPrefs& prefs, const Drive& drive);

}  // namespace nyxel
