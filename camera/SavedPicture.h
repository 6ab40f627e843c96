#pragma once
// The picture a window loop borrows. Focus mode, training and stand-alone guiding read their 128 x 128
// windows into CurrentFrame; they keep the picture they found here and give it back when they end, so
// a later save, FITS save or export writes the photo and not the tiled windows.
#include <memory>
#include <string>

#include "core/ImageStore.h"

namespace nyxel {

class SavedPicture {
 public:
  // Copies CurrentFrame (every element), the colour planes and the display flags of `store`.
  explicit SavedPicture(const ImageStore& store);
  ~SavedPicture();
  SavedPicture(const SavedPicture&) = delete;
  SavedPicture& operator=(const SavedPicture&) = delete;

  // Puts everything kept back, byte for byte. The caller refreshes the display.
  void Restore(ImageStore& store) const;

 private:
  struct Kept;
  std::unique_ptr<Kept> kept_;
};

}  // namespace nyxel
