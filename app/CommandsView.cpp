// View menu: fit to window, RV geometry, mirror, auto contrast stretch and the max palette stretch.
// They change how the image is shown; only mirror touches the pixels.
#include "app/CommandRegistry.h"
#include "app/TMaxDialog.h"
#include "app/TNyxelWindow.h"
#include "core/Display.h"

namespace nyxel {
namespace {

ImageStore& Store(TNyxelWindow& w) {
  return w.session().store;
}

// The Pixel Value window reads positions in standard geometry, so it closes before the geometry changes.
void CloseValuesDialog(TNyxelWindow& w) {
  if (Store(w).ValuesDialogOpen) emit w.valuesDialogCloseRequested();
}

void FitToWindow(TNyxelWindow& w) {
  CloseValuesDialog(w);
  ImageStore& store = Store(w);
  if (SetFitToWindow(store, !store.FitToWindow)) w.Refresh();
  w.ResetScroller();
}

void RvGeometry(TNyxelWindow& w) {
  CloseValuesDialog(w);
  ImageStore& store = Store(w);
  SetRvGeometry(store, !store.RvGeometry);
  w.Refresh();
  w.ResetScroller();
}

void AutoStretch(TNyxelWindow& w) {
  ImageStore& store = Store(w);
  store.AutoStretch = !store.AutoStretch;
  w.Refresh();
  w.ResetScroller();
}

void MaxPaletteAll(TNyxelWindow& w, bool on) {
  ImageStore& store = Store(w);
  if (static_cast<bool>(store.MaxPaletteAll) != on) {
    store.MaxPaletteAll = on;
    w.Repaint();
    w.Refresh();
  }
  w.Repaint();
}

void StretchPalette(TNyxelWindow& w) {
  ImageStore& store = Store(w);
  MaxPaletteValues values{store.PaletteBits, store.MaxPaletteAll != 0};
  TMaxDialog dialog(values, w.dialogParent());
  const int result = w.ExecDialog(dialog);
  // The dialog's changes take effect however it was closed; only OK rebuilds the picture now.
  store.PaletteBits = values.palette_bits;
  store.MaxPaletteAll = values.max_palette_all;
  if (result == QDialog::Accepted) {
    w.Repaint();
    w.Refresh();
  }
  w.Repaint();
}

void Mirror(TNyxelWindow& w) {
  {
    BusyCursor busy(w.host());
    MirrorImage(Store(w));
  }
  w.Refresh();
}

const RegisterCommand kFit{301, {FitToWindow, {}, [](TNyxelWindow& w) { return Store(w).FitToWindow != 0; }}};
const RegisterCommand kRv{304, {RvGeometry, {}, [](TNyxelWindow& w) { return Store(w).RvGeometry != 0; }}};
const RegisterCommand kMirror{14, {Mirror}};
const RegisterCommand kAuto{18, {AutoStretch, {}, [](TNyxelWindow& w) { return Store(w).AutoStretch != 0; }}};
const RegisterCommand kStretchPalette{21, {StretchPalette}};
const RegisterCommand kMaxAll{1901, {[](TNyxelWindow& w) { MaxPaletteAll(w, true); }}};
const RegisterCommand kFocusOnly{1902, {[](TNyxelWindow& w) { MaxPaletteAll(w, false); }}};

}  // namespace
}  // namespace nyxel
