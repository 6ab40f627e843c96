#pragma once
// The millisecond clock. Compare readings by signed difference (ElapsedMs), so the count may wrap.
#include <chrono>
#include <cstdint>

namespace nyxel {

class Clock {
 public:
  virtual ~Clock() = default;
  virtual uint32_t NowMs() = 0;
  // Waits (or, simulated, advances) this many milliseconds. Every timed wait goes through here.
  virtual void Pause(uint32_t ms) = 0;
};

inline int32_t ElapsedMs(uint32_t now, uint32_t since) { return static_cast<int32_t>(now - since); }

class RealClock : public Clock {
 public:
  uint32_t NowMs() override;
  void Pause(uint32_t ms) override;

 private:
  std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
};

// Time stands still until someone pauses or advances it, so long exposures and guiding sessions run in
// microseconds and always the same way.
class SimulatedClock : public Clock {
 public:
  explicit SimulatedClock(uint32_t start_ms = 0) : now_(start_ms) {}
  uint32_t NowMs() override { return now_; }
  void Pause(uint32_t ms) override { now_ += ms; }
  void Advance(uint32_t ms) { now_ += ms; }

 private:
  uint32_t now_;
};

}  // namespace nyxel
