#include "processing/PixelValues.h"

#include <gtest/gtest.h>

#include "core/RecordingHost.h"

namespace nyxel {
namespace {

TEST(PixelValuesTest, OpeningNeedsStandardGeometryAndHappensOnce) {
  struct Case {
    int rv, fit, open;
    int result;
    bool message;
  };
  const Case cases[] = {
      {0, 0, 0, kValuesOpened, false},
      {1, 0, 0, kValuesRefused, true},
      {0, 1, 0, kValuesRefused, true},
      {0, 0, 1, kValuesAlreadyOpen, false},
  };
  for (const Case& c : cases) {
    auto store = ImageStore::Create();
    RecordingHost host;
    store->RvGeometry = c.rv;
    store->FitToWindow = c.fit;
    store->ValuesDialogOpen = c.open;
    EXPECT_EQ(OpenPixelValues(*store, host), c.result);
    EXPECT_EQ(store->ValuesDialogOpen, c.result == kValuesRefused ? 0 : 1);
    if (c.message) {
      ASSERT_EQ(host.boxes.size(), 1u);
      EXPECT_EQ(host.boxes[0].caption, "Nyxel");
      EXPECT_EQ(host.boxes[0].text,
                "Sorry, Values only available in standard Geometry. Ensure Image is not stretched to fit "
                "window or in RV geometry.");
    } else {
      EXPECT_TRUE(host.boxes.empty());
    }
  }
}

TEST(PixelValuesTest, FollowsTheMouseOnlyInsideTheRange) {
  auto store = ImageStore::Create();
  // Every pixel and plane byte tells where it is.
  for (int r = 0; r < kFrameHeight; ++r) {
    for (int c = 0; c < kFrameWidth; ++c) {
      const int i = PixelIndex(r, c);
      store->CurrentFrame[i] = static_cast<uint16_t>(r * 200 + c);
      store->RedPlane[i] = static_cast<uint8_t>(c);
      store->GreenPlane[i] = static_cast<uint8_t>(r);
      store->BluePlane[i] = static_cast<uint8_t>(r + c);
    }
  }
  struct Case {
    int x, y;
    bool taken;
  };
  const Case cases[] = {
      {2, 2, true},    {510, 288, true},  {1, 100, false}, {511, 100, false},
      {100, 1, false}, {100, 289, false}, {-5, -5, false}, {300, 40, true},
  };
  for (const int colour : {0, 1}) {
    store->ColourConverted = colour;
    store->ValuesDialogOpen = 1;
    for (const Case& c : cases) {
      SCOPED_TRACE(::testing::Message() << c.x << ", " << c.y << " colour " << colour);
      PixelValues v{9, 9, 9, 9, 9, 9};
      EXPECT_EQ(UpdatePixelValues(*store, c.x, c.y, v), c.taken);
      if (!c.taken) {
        EXPECT_EQ(v.x, 9);
        EXPECT_EQ(v.Lum, 9u);
        continue;
      }
      EXPECT_EQ(v.x, c.x);
      EXPECT_EQ(v.y, c.y);
      EXPECT_EQ(v.Lum, static_cast<unsigned>(c.y * 200 + c.x));
      EXPECT_EQ(v.R, colour ? c.x % 256 : 0);
      EXPECT_EQ(v.G, colour ? c.y % 256 : 0);
      EXPECT_EQ(v.B, colour ? (c.y + c.x) % 256 : 0);
    }
    ClosePixelValues(*store);
    PixelValues v;
    EXPECT_FALSE(UpdatePixelValues(*store, 100, 100, v));
  }
  EXPECT_EQ(LumText(65535), " 65535");
  EXPECT_EQ(LumText(7), "     7");
}

}  // namespace
}  // namespace nyxel
