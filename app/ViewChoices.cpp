#include "app/ViewChoices.h"

#include "core/Display.h"

namespace nyxel {

ViewChoices CurrentViewChoices(const ImageStore& store) {
  return {store.AutoStretch, store.FitToWindow, store.RvGeometry, store.MaxPaletteAll, store.PaletteBits};
}

void RestoreViewChoices(ImageStore& store, const ProgramPrefs& prefs) {
  store.AutoStretch = prefs.GetBool(kViewAutoStretchKey, true) ? 1 : 0;
  store.MaxPaletteAll = prefs.GetBool(kViewMaxPaletteAllKey, store.MaxPaletteAll != 0) ? 1 : 0;
  store.PaletteBits = static_cast<int>(prefs.GetInt(kViewPaletteBitsKey, store.PaletteBits, 12, 16));
  SetFitToWindow(store, prefs.GetBool(kViewFitToWindowKey, store.FitToWindow != 0));
  if (prefs.GetBool(kViewRvGeometryKey, store.RvGeometry != 0)) SetRvGeometry(store, true);
}

void StoreViewChoices(const ImageStore& store, ProgramPrefs& prefs) {
  prefs.SetBool(kViewAutoStretchKey, store.AutoStretch != 0);
  prefs.SetBool(kViewFitToWindowKey, store.FitToWindow != 0);
  prefs.SetBool(kViewRvGeometryKey, store.RvGeometry != 0);
  prefs.SetBool(kViewMaxPaletteAllKey, store.MaxPaletteAll != 0);
  prefs.SetInt(kViewPaletteBitsKey, store.PaletteBits);
}

bool SaveViewChoices(const ImageStore& store, ProgramPrefs& prefs, const Drive& drive) {
  ProgramPrefs file;
  if (!file.Load(drive)) file = prefs;  // no file yet (or unreadable): start from what this run holds
  StoreViewChoices(store, file);
  StoreViewChoices(store, prefs);
  return file.Save(drive);
}

}  // namespace nyxel
