// Universal time from the local wall clock and the configured offset, across day, month and year ends.
#include "files/UniversalTime.h"

#include <gtest/gtest.h>

#include <ctime>
#include <string>
#include <tuple>

#include "tests/support/TestSupport.h"

namespace nyxel {
namespace {

TEST(UniversalTimeTest, LocalClockPlusOffset) {
  struct Case {
    const char* zone;  // POSIX: "EST5" is five hours behind universal time
    std::time_t now;
    int offset;
    CivilTime expected;
  };
  const Case cases[] = {
      // The machine's clock is universal time: the offset is added to it as it stands.
      {"UTC0", test::Utc(2023, 12, 31, 23, 30, 15), 1, {2024, 1, 1, 0, 30, 15}},
      {"UTC0", test::Utc(2024, 1, 1, 0, 10, 0), -11, {2023, 12, 31, 13, 10, 0}},
      {"UTC0", test::Utc(2024, 6, 15, 12, 0, 0), 0, {2024, 6, 15, 12, 0, 0}},
      // A local zone five hours behind with offset 5 gives back universal time.
      {"EST5", test::Utc(2024, 3, 1, 2, 45, 59), 5, {2024, 3, 1, 2, 45, 59}},
      {"EST5", test::Utc(2024, 3, 1, 2, 45, 59), 0, {2024, 2, 29, 21, 45, 59}},
      // Leap and common years at the end of February.
      {"UTC0", test::Utc(2024, 2, 28, 23, 0, 0), 2, {2024, 2, 29, 1, 0, 0}},
      {"UTC0", test::Utc(2023, 2, 28, 23, 0, 0), 2, {2023, 3, 1, 1, 0, 0}},
      {"UTC0", test::Utc(2024, 3, 1, 0, 30, 0), -1, {2024, 2, 29, 23, 30, 0}},
      {"UTC0", test::Utc(2100, 3, 1, 0, 30, 0), -1, {2100, 2, 28, 23, 30, 0}},
      // East of universal time: local 01:00 on the 1st is 22:00 the day before.
      {"CET-3", test::Utc(2024, 7, 31, 22, 0, 0), -3, {2024, 7, 31, 22, 0, 0}},
  };
  for (const Case& c : cases) {
    test::ScopedTimeZone zone(c.zone);
    const CivilTime t = UniversalTime(c.now, c.offset);
    EXPECT_EQ(std::tie(t.year, t.month, t.day, t.hour, t.minute, t.second),
              std::tie(c.expected.year, c.expected.month, c.expected.day, c.expected.hour, c.expected.minute,
                       c.expected.second))
        << c.zone << " offset " << c.offset;
  }
}

}  // namespace
}  // namespace nyxel
