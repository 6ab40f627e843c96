#include "camera/SavedPicture.h"

namespace nyxel {

// About 750 kB: made once when a loop starts, never inside it.
struct SavedPicture::Kept {
  Frame current;
  Plane red, blue, green;
  int colour_converted;
  int focus_mode;
  int focus_frame_display;
  int guide_frame_display;
  int focus_bitmap_used;
  int black_level;
  std::string file_name;
};

SavedPicture::SavedPicture(const ImageStore& store)
    : kept_(std::make_unique<Kept>(Kept{store.CurrentFrame, store.RedPlane, store.BluePlane, store.GreenPlane,
                                        store.ColourConverted, store.FocusMode, store.FocusFrameDisplay,
                                        store.GuideFrameDisplay, store.FocusBitmapUsed, store.BlackLevel,
                                        store.CurrentFileName})) {}

SavedPicture::~SavedPicture() = default;

void SavedPicture::Restore(ImageStore& store) const {
  const Kept& k = *kept_;
  store.CurrentFrame = k.current;
  store.RedPlane = k.red;
  store.BluePlane = k.blue;
  store.GreenPlane = k.green;
  store.ColourConverted = k.colour_converted;
  store.FocusMode = k.focus_mode;
  store.FocusFrameDisplay = k.focus_frame_display;
  store.GuideFrameDisplay = k.guide_frame_display;
  store.FocusBitmapUsed = k.focus_bitmap_used;
  store.BlackLevel = k.black_level;
  store.CurrentFileName = k.file_name;
}

}  // namespace nyxel
