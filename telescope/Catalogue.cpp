#include "telescope/Catalogue.h"

#include <libnova/julian_day.h>
#include <libnova/jupiter.h>
#include <libnova/lunar.h>
#include <libnova/mars.h>
#include <libnova/mercury.h>
#include <libnova/neptune.h>
#include <libnova/pluto.h>
#include <libnova/precession.h>
#include <libnova/saturn.h>
#include <libnova/sidereal_time.h>
#include <libnova/uranus.h>
#include <libnova/venus.h>

#include <array>
#include <cmath>

namespace nyxel {
namespace {

// The Messier objects at J2000: RA in hours, Dec in degrees, in catalogue order (M102 is NGC 5866).
constexpr std::array<SkyPosition, kMessierCount> kMessier = {{
    {5.5756, 22.0167},    // M1
    {21.5578, -0.8233},   // M2
    {13.7033, 28.3833},   // M3
    {16.3931, -26.5256},  // M4
    {15.3092, 2.0808},    // M5
    {17.6722, -32.2533},  // M6
    {17.8975, -34.7833},  // M7
    {18.0603, -24.3869},  // M8
    {17.3197, -18.5161},  // M9
    {16.9525, -4.0994},   // M10
    {18.8514, -6.27},     // M11
    {16.7872, -1.9486},   // M12
    {16.6947, 36.46},     // M13
    {17.6267, -3.2458},   // M14
    {21.4994, 12.1669},   // M15
    {18.3133, -13.8167},  // M16
    {18.3406, -16.1767},  // M17
    {18.3328, -17.1017},  // M18
    {17.0439, -26.2678},  // M19
    {18.0397, -23.03},    // M20
    {18.0703, -22.49},    // M21
    {18.6067, -23.9033},  // M22
    {17.9483, -19.03},    // M23
    {18.2833, -18.4833},  // M24
    {18.5297, -19.115},   // M25
    {18.755, -9.3833},    // M26
    {19.9933, 22.7211},   // M27
    {18.4092, -24.8697},  // M28
    {20.3992, 38.5083},   // M29
    {21.6728, -23.1789},  // M30
    {0.7123, 41.2692},    // M31
    {0.7117, 40.8653},    // M32
    {1.5642, 30.6603},    // M33
    {2.7017, 42.7617},    // M34
    {6.1483, 24.3333},    // M35
    {5.605, 34.14},       // M36
    {5.8717, 32.5533},    // M37
    {5.4783, 35.8483},    // M38
    {21.53, 48.4333},     // M39
    {12.37, 58.0833},     // M40
    {6.7667, -20.75},     // M41
    {5.5881, -5.3911},    // M42
    {5.5919, -5.2672},    // M43
    {8.6733, 19.6667},    // M44
    {3.79, 24.1167},      // M45
    {7.6961, -14.81},     // M46
    {7.61, -14.4833},     // M47
    {8.23, -5.75},        // M48
    {12.4964, 8.0006},    // M49
    {7.045, -8.3833},     // M50
    {13.4978, 47.1953},   // M51
    {23.4133, 61.5933},   // M52
    {13.2153, 18.1692},   // M53
    {18.9175, -30.4783},  // M54
    {19.6664, -30.9622},  // M55
    {19.2764, 30.1836},   // M56
    {18.8931, 33.0292},   // M57
    {12.6286, 11.8181},   // M58
    {12.7006, 11.6469},   // M59
    {12.7278, 11.5528},   // M60
    {12.3653, 4.4736},    // M61
    {17.0203, -30.1122},  // M62
    {13.2636, 42.0292},   // M63
    {12.9456, 21.6828},   // M64
    {11.3156, 13.0922},   // M65
    {11.3375, 12.9917},   // M66
    {8.855, 11.8167},     // M67
    {12.6578, -26.7433},  // M68
    {18.5231, -32.3492},  // M69
    {18.7203, -32.2919},  // M70
    {19.8964, 18.7792},   // M71
    {20.8911, -12.5411},  // M72
    {20.9833, -12.6333},  // M73
    {1.6117, 15.7833},    // M74
    {20.1014, -21.9214},  // M75
    {1.7053, 51.5753},    // M76
    {2.7111, -0.0133},    // M77
    {5.7794, 0.05},       // M78
    {5.4031, -24.5242},   // M79
    {16.2839, -22.975},   // M80
    {9.9258, 69.0653},    // M81
    {9.9311, 69.6797},    // M82
    {13.6167, -29.8656},  // M83
    {12.4175, 12.8869},   // M84
    {12.4233, 18.1875},   // M85
    {12.4367, 12.9458},   // M86
    {12.5136, 12.3911},   // M87
    {12.5331, 14.4203},   // M88
    {12.5942, 12.5564},   // M89
    {12.6139, 13.1628},   // M90
    {12.5908, 14.4961},   // M91
    {17.2853, 43.1367},   // M92
    {7.7417, -23.8667},   // M93
    {12.8481, 41.12},     // M94
    {10.7325, 11.7036},   // M95
    {10.7794, 11.82},     // M96
    {11.2467, 55.0189},   // M97
    {12.23, 14.9003},     // M98
    {12.3139, 14.4164},   // M99
    {12.3819, 15.8225},   // M100
    {14.0536, 54.3492},   // M101
    {15.1086, 55.7631},   // M102
    {1.5564, 60.65},      // M103
    {12.6664, -11.6231},  // M104
    {10.7969, 12.5817},   // M105
    {12.3158, 47.3039},   // M106
    {16.5422, -13.0536},  // M107
    {11.1919, 55.6739},   // M108
    {11.96, 53.3744},     // M109
    {0.6728, 41.6853},    // M110
}};

SkyPosition FromLibnova(const ln_equ_posn& p) {
  double ra = std::fmod(p.ra, 360.0);
  if (ra < 0) ra += 360.0;
  return {ra / 15.0, p.dec};
}

}  // namespace

std::optional<SkyPosition> MessierJ2000(int number) {
  if (number < 1 || number > kMessierCount) return std::nullopt;
  return kMessier[static_cast<size_t>(number - 1)];
}

double JulianDay(std::time_t when) {
  return ln_get_julian_from_timet(&when);
}

SkyPosition PrecessFromJ2000(const SkyPosition& j2000, double julian_day) {
  ln_equ_posn mean{j2000.ra_hours * 15.0, j2000.dec_degrees};
  ln_equ_posn of_date{};
  ln_get_equ_prec(&mean, julian_day, &of_date);
  return FromLibnova(of_date);
}

std::optional<SkyPosition> MessierOfDate(int number, double julian_day) {
  const auto j2000 = MessierJ2000(number);
  if (!j2000) return std::nullopt;
  return PrecessFromJ2000(*j2000, julian_day);
}

std::optional<SkyPosition> PlanetOfDate(int number, double julian_day) {
  ln_equ_posn p{};
  switch (number) {
    case 901:
      ln_get_mercury_equ_coords(julian_day, &p);
      break;
    case 902:
      ln_get_venus_equ_coords(julian_day, &p);
      break;
    case 903:
      ln_get_lunar_equ_coords(julian_day, &p);
      break;
    case 904:
      ln_get_mars_equ_coords(julian_day, &p);
      break;
    case 905:
      ln_get_jupiter_equ_coords(julian_day, &p);
      break;
    case 906:
      ln_get_saturn_equ_coords(julian_day, &p);
      break;
    case 907:
      ln_get_uranus_equ_coords(julian_day, &p);
      break;
    case 908:
      ln_get_neptune_equ_coords(julian_day, &p);
      break;
    case 909:
      ln_get_pluto_equ_coords(julian_day, &p);
      break;
    default:
      return std::nullopt;
  }
  return FromLibnova(p);
}

double MeanSiderealHours(double julian_day) {
  return ln_get_mean_sidereal_time(julian_day);
}

std::string PlanetName(int number) {
  static constexpr std::array<const char*, 9> kNames = {"Mercury", "Venus",  "Moon",    "Mars", "Jupiter",
                                                        "Saturn",  "Uranus", "Neptune", "Pluto"};
  if (number < 901 || number > 909) return {};
  return kNames[static_cast<size_t>(number - 901)];
}

}  // namespace nyxel
