#pragma once
// Where the go-to objects are: the Messier objects from the table shipped with the program (J2000),
// brought to the equinox of the date, and the planets of the star catalogue's numbers 901..909 for a
// given moment. A mount on an INDI server is sent these; the simulated LX200 mount answers from them.
#include <ctime>
#include <optional>
#include <string>

namespace nyxel {

inline constexpr int kMessierCount = 110;

struct SkyPosition {
  double ra_hours = 0;  // 0 <= ra < 24
  double dec_degrees = 0;
};

// The Messier object's J2000 position; nothing for numbers outside 1..110.
std::optional<SkyPosition> MessierJ2000(int number);
// Julian day of a moment.
double JulianDay(std::time_t when);
// A J2000 position precessed to the mean equinox of the Julian day.
SkyPosition PrecessFromJ2000(const SkyPosition& j2000, double julian_day);
// The Messier object at the equinox of the date.
std::optional<SkyPosition> MessierOfDate(int number, double julian_day);
// A planet by its star-catalogue number (901 Mercury, 902 Venus, 903 the Moon, 904 Mars .. 909 Pluto):
// its geocentric position of date at that moment. Nothing for other numbers.
std::optional<SkyPosition> PlanetOfDate(int number, double julian_day);
// Greenwich mean sidereal time in hours for the Julian day.
double MeanSiderealHours(double julian_day);
// The planet's name for the star-catalogue number, or empty.
std::string PlanetName(int number);

}  // namespace nyxel
