#pragma once
// The Pixel Value window's engine: the image and colour values under the mouse.
#include <string>

#include "core/Host.h"
#include "core/ImageStore.h"

namespace nyxel {

// The range of image positions the window follows; positions outside it are ignored.
inline constexpr int kValuesFirst = 2;
inline constexpr int kValuesLastColumn = 510;
inline constexpr int kValuesLastRow = 288;

struct PixelValues {
  int x = 0;
  int y = 0;
  int R = 0, G = 0, B = 0;  // 0 unless the image is colour converted
  unsigned Lum = 0;         // the 16-bit pixel
};

inline constexpr int kValuesOpened = 0;
inline constexpr int kValuesRefused = 1;      // message 1 shown: RV geometry or fit to window
inline constexpr int kValuesAlreadyOpen = 2;  // nothing happens

// The "Show Values" command: refuses outside standard geometry, else sets ValuesDialogOpen.
int OpenPixelValues(ImageStore& store, Host& host);
void ClosePixelValues(ImageStore& store);

// A mouse move at image position (x, y): while the window is open and the position is in range,
// fills `values` and returns true (the window then repaints); otherwise leaves them and returns false.
bool UpdatePixelValues(const ImageStore& store, int x, int y, PixelValues& values);

// The Lum field as shown ("%6u").
std::string LumText(unsigned lum);

}  // namespace nyxel
