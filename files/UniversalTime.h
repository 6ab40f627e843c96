#pragma once
// Universal time for FITS dates and autosave names: the computer's local wall-clock reading plus
// the configured hour offset. The process time zone is never changed for this.
#include <ctime>

namespace nyxel {

struct CivilTime {
  int year, month, day, hour, minute, second;  // month 1..12, day 1..31
};

// localtime(now) + ut_offset_hours, carried across day, month and year ends.
CivilTime UniversalTime(std::time_t now, int ut_offset_hours);

}  // namespace nyxel
