#pragma once
// A session of its own for one test: a fresh drive folder, a recording host and a simulated clock.
#include "core/Clock.h"
#include "core/RecordingHost.h"
#include "files/Session.h"
#include "tests/support/TestSupport.h"

namespace nyxel::test {

struct TestSession {
  TempDir dir;
  RecordingHost host;
  SimulatedClock clock;
  Session session{host, clock, Drive(dir.path())};
  ImageStore& store = session.store;
};

}  // namespace nyxel::test
