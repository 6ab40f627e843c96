#include "core/ImageStore.h"

#include <algorithm>

namespace nyxel {

std::unique_ptr<ImageStore> ImageStore::Create() {
  return std::unique_ptr<ImageStore>(new ImageStore());
}

void InitImageStore(ImageStore& store) {
  store.FrameTable = {&store.CurrentFrame, &store.SecondFrame, &store.UndoFrame, &store.SpareFrame};
  store.DisplayHistogram.fill(0);
  for (int row = 0; row < kFrameHeight; ++row) {
    const auto value = static_cast<uint16_t>(row * 225);
    for (Frame* frame : {&store.CurrentFrame, &store.SecondFrame, &store.UndoFrame}) {
      std::fill_n(frame->begin() + PixelIndex(row, 0), kFrameWidth, value);
    }
  }
  store.SpareFrame.fill(0);
}

void CopyFrame(const Frame& from, Frame& to) {
  std::copy_n(from.begin(), kFramePixels, to.begin());
}

void CopyPlane(const Plane& from, Plane& to) {
  std::copy_n(from.begin(), kFramePixels, to.begin());
}

void SaveUndo(ImageStore& store) { CopyFrame(store.CurrentFrame, store.UndoFrame); }

}  // namespace nyxel
