#include "files/UniversalTime.h"

#include <chrono>

namespace nyxel {

CivilTime UniversalTime(std::time_t now, int ut_offset_hours) {
  using namespace std::chrono;
  std::tm local{};
  if (localtime_r(&now, &local) == nullptr) return {1970, 1, 1, 0, 0, 0};
  // Calendar arithmetic on the wall-clock reading itself, so no time zone enters it again.
  const sys_days date = year{local.tm_year + 1900} / month{static_cast<unsigned>(local.tm_mon + 1)} /
                        day{static_cast<unsigned>(local.tm_mday)};
  const sys_seconds moment =
      date + hours{local.tm_hour + ut_offset_hours} + minutes{local.tm_min} + seconds{local.tm_sec};
  const sys_days ut_date = floor<days>(moment);
  const year_month_day ymd{ut_date};
  const hh_mm_ss clock{moment - ut_date};
  return {static_cast<int>(ymd.year()),
          static_cast<int>(static_cast<unsigned>(ymd.month())),
          static_cast<int>(static_cast<unsigned>(ymd.day())),
          static_cast<int>(clock.hours().count()),
          static_cast<int>(clock.minutes().count()),
          static_cast<int>(clock.seconds().count())};
}

}  // namespace nyxel
