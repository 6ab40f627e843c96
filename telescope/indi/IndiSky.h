#pragma once
// --simulate with a mount on an INDI server: the simulated sky follows where that mount points, at the
// plate scale of the camera's pixels and the telescope's focal length, so training and guiding close
// their loop through a real INDI mount driver.
#include <functional>

#include "camera/sim/SimulatedSky.h"
#include "telescope/indi/IndiMount.h"

namespace nyxel {

// The RV9's pixels, micrometres.
inline constexpr double kPixelWidthUm = 9.8;
inline constexpr double kPixelHeightUm = 12.6;
// The focal length assumed when the FITS header has none.
inline constexpr double kDefaultFocalLengthMm = 1000;

// Arcseconds per pixel across (x) and down (y) for a focal length in mm (<= 0: the default).
struct PlateScale {
  double x = 0, y = 0;
};
PlateScale PlateScaleFor(double focal_length_mm);

// Frame pixels the star field moves when the mount goes from (ra0, dec0) to (ra1, dec1): east (RA
// up) moves it to +x, north to +y, as on the simulated LX200 mount.
SkyOffset PointingOffset(double ra0_hours, double dec0_degrees, double ra1_hours, double dec1_degrees,
                         const PlateScale& scale);

// Makes `sky` follow `mount` from now on; `focal_length_mm` is asked on every frame. After a go-to the
// field is taken up again where the mount stopped (a new field, with the same stars). Stop with
// sky.external_pointing = nullptr before the mount goes.
void FollowIndiMount(SimulatedSky& sky, const IndiMount& mount, std::function<double()> focal_length_mm);

}  // namespace nyxel
