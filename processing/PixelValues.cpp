#include "processing/PixelValues.h"

#include <cstdio>

#include "core/Geometry.h"
#include "core/Messages.h"

namespace nyxel {

int OpenPixelValues(ImageStore& store, Host& host) {
  // Picture positions only match image pixels in standard geometry at full size.
  if (store.RvGeometry || store.FitToWindow) {
    ShowMessage(host, 1);
    return kValuesRefused;
  }
  if (store.ValuesDialogOpen) return kValuesAlreadyOpen;
  store.ValuesDialogOpen = 1;
  return kValuesOpened;
}

void ClosePixelValues(ImageStore& store) {
  store.ValuesDialogOpen = 0;
}

bool UpdatePixelValues(const ImageStore& store, int x, int y, PixelValues& values) {
  if (!store.ValuesDialogOpen) return false;
  if (x < kValuesFirst || x > kValuesLastColumn || y < kValuesFirst || y > kValuesLastRow) return false;
  const int i = PixelIndex(y, x);
  values.x = x;
  values.y = y;
  values.Lum = store.CurrentFrame[i];
  if (store.ColourConverted) {
    values.R = store.RedPlane[i];
    values.G = store.GreenPlane[i];
    values.B = store.BluePlane[i];
  } else {
    values.R = values.G = values.B = 0;
  }
  return true;
}

std::string LumText(unsigned lum) {
  char text[16];
  std::snprintf(text, sizeof text, "%6u", lum);
  return text;
}

}  // namespace nyxel
