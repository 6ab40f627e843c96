#pragma once
// What a window loop must give back when it ends: the photo's pixels (every element), its colour
// planes and the display flags, compared byte for byte.
#include <gtest/gtest.h>

#include <string>

#include "core/ImageStore.h"

namespace nyxel::test {

struct PictureState {
  explicit PictureState(const ImageStore& s)
      : current(s.CurrentFrame),
        red(s.RedPlane),
        blue(s.BluePlane),
        green(s.GreenPlane),
        flags{s.ColourConverted, s.FocusMode, s.FocusFrameDisplay, s.GuideFrameDisplay, s.FocusBitmapUsed},
        name(s.CurrentFileName) {}

  // Gtest failures naming what differs.
  void ExpectSame(const ImageStore& s) const {
    EXPECT_TRUE(s.CurrentFrame == current) << "CurrentFrame";
    EXPECT_TRUE(s.RedPlane == red && s.BluePlane == blue && s.GreenPlane == green) << "colour planes";
    const std::array<int, 5> now{s.ColourConverted, s.FocusMode, s.FocusFrameDisplay, s.GuideFrameDisplay,
                                 s.FocusBitmapUsed};
    EXPECT_EQ(now, flags) << "ColourConverted FocusMode FocusFrameDisplay GuideFrameDisplay FocusBitmapUsed";
    EXPECT_EQ(s.CurrentFileName, name);
  }

  Frame current;
  Plane red, blue, green;
  std::array<int, 5> flags;
  std::string name;
};

}  // namespace nyxel::test
