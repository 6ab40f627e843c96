#pragma once
// The RV9 as the INDI driver drives it: the camera on USB (or the simulated one), the guider control
// box on its serial port (or the simulated mount), and the readout with the colour synthesis. The
// driver's event loop calls everything here except Read, which runs on a worker thread; the only
// state the two share is the device behind one mutex.
#include <atomic>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "camera/Camera.h"
#include "camera/CameraLock.h"
#include "camera/CameraTransport.h"
#include "core/Clock.h"
#include "core/Host.h"
#include "files/Session.h"
#include "indi/Rv9Plans.h"
#include "telescope/SerialPort.h"
#include "telescope/TelescopeLink.h"

namespace nyxel {

struct Simulation;
class SimulatedSky;
class SimulatedCamera;

// Messages the engine would show in a box become the driver's messages to its clients. Any thread may
// show one; the event loop takes them.
class DriverHost : public Host {
 public:
  int MessageBox(std::string_view text, std::string_view caption, MessageIcon icon,
                 MessageButtons buttons) override;
  void Beep(int) override {}
  void SetBusyCursor(bool) override {}
  void ProgressOpen(std::string_view) override {}
  void ProgressSetCaption(std::string_view) override {}
  void ProgressSetPosition(int) override {}
  void ProgressClose() override {}
  bool PumpMessages() override { return false; }
  void SetCaption(std::string_view) override {}
  bool ShowBitmap(const std::filesystem::path&) override { return true; }

  std::vector<std::string> TakeMessages();

 private:
  std::mutex mutex_;
  std::vector<std::string> messages_;
};

// The mutex around the devices, which knows its holder: a simulated camera that times a short exposure
// pauses the clock inside a read, and lets the guide port at the sky meanwhile.
class DeviceMutex {
 public:
  void Lock();
  void Unlock();
  bool HeldHere() const;

 private:
  std::mutex mutex_;
  std::atomic<std::thread::id> owner_{};
};

class DeviceLockGuard {
 public:
  explicit DeviceLockGuard(DeviceMutex& m) : m_(m) { m_.Lock(); }
  ~DeviceLockGuard() { m_.Unlock(); }
  DeviceLockGuard(const DeviceLockGuard&) = delete;
  DeviceLockGuard& operator=(const DeviceLockGuard&) = delete;

 private:
  DeviceMutex& m_;
};

// A clock (the real one in the driver) whose pause, by the thread that holds the device mutex, lets
// go of it meanwhile.
class DeviceClock : public Clock {
 public:
  DeviceClock(DeviceMutex& m, Clock& base) : m_(m), base_(base) {}
  uint32_t NowMs() override { return base_.NowMs(); }
  void Pause(uint32_t ms) override;

 private:
  DeviceMutex& m_;
  Clock& base_;
};

struct Rv9Options {
  bool simulate = false;
  uint32_t seed = 20240611;
  // The simulated camera's download times: a real full frame takes two to three seconds.
  uint32_t sim_full_readout_ms = 2500;
  uint32_t sim_window_readout_ms = 100;
};

class Rv9Device {
 public:
  // `drive_root`: the program's drive folder (its settings give the colour options and guide
  // directions; the camera lock lives there). `clock`: the real clock unless a test gives its own.
  explicit Rv9Device(std::filesystem::path drive_root, Clock* clock = nullptr);
  ~Rv9Device();
  Rv9Device(const Rv9Device&) = delete;
  Rv9Device& operator=(const Rv9Device&) = delete;

  // Scans USB for the camera (or starts the simulation). False with the reason in `message`: the
  // camera is another program's, or none was found on USB.
  bool Connect(const Rv9Options& options, std::string& message);
  void Disconnect();
  bool Connected() const { return camera_ != nullptr; }
  bool Simulated() const { return sim_ != nullptr; }

  // A control code (clear, start, end integration).
  void Control(int code);

  // Reads the frame the plan names (the exposure in the read command for a camera-timed one), then
  // synthesises colour when asked. Blocking, 2-3 s for a full frame: the driver calls it on a worker.
  struct ReadResult {
    bool ok = false;
    bool gone = false;  // the camera left USB: connect again once it is back
  };
  ReadResult Read(const ReadoutPlan& plan, int exposure_ms, bool colour);
  // The last frame read (CurrentFrame; the colour planes after a colour read). Only between reads.
  const ImageStore& store() const { return session_.store; }

  // The guider control box: opened on `device`, or on the simulated mount. False with the reason.
  bool OpenGuidePort(const std::string& device, std::string& message);
  void CloseGuidePort();
  bool GuidePortOpen() const { return guide_open_; }
  // The relay bit of compass direction 'n', 's', 'e', 'w' after the stored drive directions.
  uint8_t RelayBit(char compass) const;
  // Closes the relays of these bits (0 releases all). False when the byte could not be sent.
  bool SetRelays(uint8_t bits);

  std::vector<std::string> TakeMessages() { return host_.TakeMessages(); }
  SimulatedSky* Sky();
  SimulatedCamera* SimCamera();  // for faults a test injects
  Clock& clock() { return clock_; }
  const Settings& settings() const { return session_.settings; }

 private:
  DeviceMutex mutex_;
  RealClock real_clock_;
  DeviceClock clock_;
  DriverHost host_;
  Session session_;
  CameraLock lock_;
  std::unique_ptr<Simulation> sim_;
  std::unique_ptr<CameraTransport> usb_;
  std::unique_ptr<CameraTransport> transport_;  // the locked way to usb_ or the simulated camera
  std::unique_ptr<Camera> camera_;
  std::unique_ptr<SerialPort> box_port_;         // the real port
  std::unique_ptr<SerialPort> locked_box_port_;  // the locked way to it or to the simulated mount
  TelescopeLink link_;
  bool guide_open_ = false;
};

}  // namespace nyxel
