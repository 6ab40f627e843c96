// Training and stand-alone guiding read their guide windows into CurrentFrame: when they end, the photo
// they found is back byte for byte and on display, whether it was grey or colour converted.
#include <gtest/gtest.h>

#include <string>

#include "camera/sim/SimulatedCamera.h"
#include "camera/sim/SimulatedSky.h"
#include "core/RecordingHost.h"
#include "files/SettingsFile.h"
#include "telescope/Guiding.h"
#include "telescope/Observatory.h"
#include "telescope/sim/SimulatedMount.h"
#include "tests/support/PictureState.h"
#include "tests/support/TestSupport.h"

namespace nyxel {
namespace {

struct PictureRig {
  PictureRig()
      : sky(clock, 3), sim(sky, Quiet()), obs(host, clock, Drive(dir.path()), sim), mount(sky, Rates()) {
    sky.SetStars({{250.5, 121.5, 200000, 1, 1, 1}});
    StartSession(obs.session);
    obs.link.port = &mount;
    Settings& s = obs.session.settings;
    s.guide_interface = 'l';
    s.ra_pixels_per_sec = 5;
    s.dec_pixels_per_sec = 4;
    s.focus_delay = false;
    EXPECT_EQ(SaveSettings(s, obs.session.drive), 0);
  }
  static SimulatedCameraOptions Quiet() {
    SimulatedCameraOptions o;
    o.noise = false;
    o.hot_pixels = 0;
    return o;
  }
  static SimulatedMountOptions Rates() {
    SimulatedMountOptions o;
    o.guide_rate_x = 5;
    o.guide_rate_y = 4;
    return o;
  }
  // A one-second photo, colour converted when asked, with the star picked on it.
  void Photo(bool colour) {
    ASSERT_TRUE(BeginCameraCommand(obs));
    obs.run.AutoColourConvert = colour;
    TakePhoto(obs);
    EndCameraCommand(obs);
    obs.run.ExposureUnit = 'h';
    obs.run.ExposureValue = 10;
    obs.picked = {true, 250, 121};
    host.Clear();
  }

  test::TempDir dir;
  SimulatedClock clock{100000};
  RecordingHost host;
  SimulatedSky sky;
  SimulatedCamera sim;
  Observatory obs;
  SimulatedMount mount;
};

TEST(GuidingPicture, TrainingAndGuidingGiveThePhotoBack) {
  struct Case {
    const char* name;
    bool train;
    bool colour;
    int guide_frames;  // stand-alone guiding: frames before the click that ends it
  };
  for (const Case& c : {Case{"training, grey", true, false, 0}, Case{"training, colour", true, true, 0},
                        Case{"guiding, grey", false, false, 6}, Case{"guiding, colour", false, true, 3},
                        Case{"guiding, ended on the first frame", false, false, 1}}) {
    SCOPED_TRACE(c.name);
    PictureRig r;
    ImageStore& store = r.obs.session.store;
    r.Photo(c.colour);
    ASSERT_EQ(store.ColourConverted, c.colour ? 1 : 0);
    const test::PictureState before(store);
    const auto display = r.dir.path() / "nyxel.bmp";
    const auto shown = test::ReadBytes(display);

    // Every guide frame lands in CurrentFrame while the loop runs.
    int spoiled = 0;
    r.host.on_show_bitmap = [&](const std::filesystem::path&) {
      spoiled += !(store.CurrentFrame == before.current);
      // A click after that many guide frames.
      if (!c.train && spoiled == c.guide_frames) r.host.abort_on_pump = r.host.pumps + 1;
      return true;
    };
    if (c.train) {
      ASSERT_EQ(r.obs.guider.Train(), 0);
      EXPECT_EQ(r.host.Texts().back().rfind("slewx = ", 0), 0u) << r.host.Texts().back();
    } else {
      ASSERT_TRUE(r.obs.guider.Guide());
      EXPECT_EQ(r.host.Texts().back(), "Guiding Terminated");
    }
    EXPECT_EQ(spoiled, c.train ? 8 : c.guide_frames);
    before.ExpectSame(store);
    ASSERT_FALSE(r.host.shown_bitmaps.empty());
    EXPECT_EQ(r.host.shown_bitmaps.back(), display);
    EXPECT_EQ(test::ReadBytes(display), shown);
  }
}

}  // namespace
}  // namespace nyxel
