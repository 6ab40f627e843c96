#include "telescope/indi/IndiSky.h"

#include <cmath>
#include <memory>

namespace nyxel {

namespace {
constexpr double kArcsecPerRadian = 206264.806;
constexpr double kPi = 3.14159265358979323846;
}  // namespace

PlateScale PlateScaleFor(double focal_length_mm) {
  const double f = focal_length_mm > 0 ? focal_length_mm : kDefaultFocalLengthMm;
  return {kArcsecPerRadian * kPixelWidthUm * 1e-3 / f, kArcsecPerRadian * kPixelHeightUm * 1e-3 / f};
}

SkyOffset PointingOffset(double ra0_hours, double dec0_degrees, double ra1_hours, double dec1_degrees,
                         const PlateScale& scale) {
  double dra = ra1_hours - ra0_hours;
  // The short way round through 0h.
  if (dra > 12) dra -= 24;
  if (dra < -12) dra += 24;
  const double mean_dec = (dec0_degrees + dec1_degrees) / 2 * kPi / 180;
  const double east_arcsec = dra * 15 * 3600 * std::cos(mean_dec);
  const double north_arcsec = (dec1_degrees - dec0_degrees) * 3600;
  return {east_arcsec / scale.x, north_arcsec / scale.y};
}

void FollowIndiMount(SimulatedSky& sky, const IndiMount& mount, std::function<double()> focal_length_mm) {
  struct Anchor {
    bool set = false;
    double ra = 0, dec = 0;  // where the mount pointed when the field was taken up
    int gotos = 0;
    SkyOffset base;  // the field's offset then
    SkyOffset last;  // the offset given last
  };
  auto anchor = std::make_shared<Anchor>();
  sky.external_pointing = [&mount, anchor, focal_length_mm]() -> SkyOffset {
    Anchor& a = *anchor;
    const IndiMountPosition p = mount.Position();
    if (!p.valid) return a.last;
    if (!a.set || p.gotos != a.gotos) {
      // Slewing to a new field: the picture stands still until the mount arrives, then follows it
      // from there (go-tos answer Busy before this is asked again).
      if (a.set && p.busy) return a.last;
      a.set = true;
      a.ra = p.ra_hours;
      a.dec = p.dec_degrees;
      a.gotos = p.gotos;
      a.base = a.last;
    }
    const PlateScale scale = PlateScaleFor(focal_length_mm ? focal_length_mm() : 0);
    const SkyOffset moved = PointingOffset(a.ra, a.dec, p.ra_hours, p.dec_degrees, scale);
    a.last = {a.base.x + moved.x, a.base.y + moved.y};
    return a.last;
  };
}

}  // namespace nyxel
