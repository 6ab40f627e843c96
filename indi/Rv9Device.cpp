#include "indi/Rv9Device.h"

#include <chrono>

#include "camera/CameraProtocol.h"
#include "camera/LibusbTransport.h"
#include "files/SettingsFile.h"
#include "processing/Colour.h"
#include "telescope/QtSerialPort.h"
#include "telescope/sim/Simulation.h"

namespace nyxel {
namespace {

constexpr const char* kNoCamera = "Sorry, No camera found on USB";

// Every call to the camera under the device mutex; in simulation, the download time after it.
class LockedTransport : public CameraTransport {
 public:
  LockedTransport(CameraTransport& inner, DeviceMutex& m, uint32_t full_ms, uint32_t window_ms)
      : inner_(inner), m_(m), full_ms_(full_ms), window_ms_(window_ms) {}
  bool ListInterfaces(UsbClass usb_class, std::vector<UsbInterface>& out) override {
    DeviceLockGuard g(m_);
    return inner_.ListInterfaces(usb_class, out);
  }
  int Open(UsbClass usb_class, const UsbInterface& usb_interface) override {
    DeviceLockGuard g(m_);
    return inner_.Open(usb_class, usb_interface);
  }
  int WriteReport(int handle, std::span<const uint8_t> report) override {
    DeviceLockGuard g(m_);
    return inner_.WriteReport(handle, report);
  }
  int ReadBulk(int handle, std::span<uint8_t> dest, uint32_t timeout_ms) override {
    int result;
    {
      DeviceLockGuard g(m_);
      result = inner_.ReadBulk(handle, dest, timeout_ms);
    }
    const uint32_t download = dest.size() == kFullFrameReadLength ? full_ms_ : window_ms_;
    if (result == 0 && download > 0) std::this_thread::sleep_for(std::chrono::milliseconds(download));
    return result;
  }

 private:
  CameraTransport& inner_;
  DeviceMutex& m_;
  uint32_t full_ms_, window_ms_;
};

// Every call to the serial port under the device mutex (the simulated mount moves the sky the
// camera renders).
class LockedPort : public SerialPort {
 public:
  LockedPort(SerialPort& inner, DeviceMutex& m) : inner_(inner), m_(m) {}
  int Reset(int port, int rx, int tx) override {
    return Locked([&] { return inner_.Reset(port, rx, tx); });
  }
  int Baud(int code) override {
    return Locked([&] { return inner_.Baud(code); });
  }
  int Parms(int p, int s, int d) override {
    return Locked([&] { return inner_.Parms(p, s, d); });
  }
  int Dtr(char c) override {
    return Locked([&] { return inner_.Dtr(c); });
  }
  int Rts(char c) override {
    return Locked([&] { return inner_.Rts(c); });
  }
  int Puts(const char* text, int n) override {
    return Locked([&] { return inner_.Puts(text, n); });
  }
  int Putc(uint8_t byte) override {
    return Locked([&] { return inner_.Putc(byte); });
  }
  int Gets(char* dest, int n) override {
    return Locked([&] { return inner_.Gets(dest, n); });
  }
  int RxClear() override {
    return Locked([&] { return inner_.RxClear(); });
  }
  int Done() override {
    return Locked([&] { return inner_.Done(); });
  }

 private:
  template <typename F>
  int Locked(F f) {
    DeviceLockGuard g(m_);
    return f();
  }
  SerialPort& inner_;
  DeviceMutex& m_;
};

}  // namespace

int DriverHost::MessageBox(std::string_view text, std::string_view, MessageIcon, MessageButtons) {
  std::lock_guard<std::mutex> g(mutex_);
  messages_.emplace_back(text);
  return kIdOk;
}

std::vector<std::string> DriverHost::TakeMessages() {
  std::lock_guard<std::mutex> g(mutex_);
  std::vector<std::string> taken;
  taken.swap(messages_);
  return taken;
}

void DeviceMutex::Lock() {
  mutex_.lock();
  owner_ = std::this_thread::get_id();
}

void DeviceMutex::Unlock() {
  owner_ = std::thread::id();
  mutex_.unlock();
}

bool DeviceMutex::HeldHere() const {
  return owner_ == std::this_thread::get_id();
}

void DeviceClock::Pause(uint32_t ms) {
  if (!m_.HeldHere()) {
    base_.Pause(ms);
    return;
  }
  m_.Unlock();
  base_.Pause(ms);
  m_.Lock();
}

Rv9Device::Rv9Device(std::filesystem::path drive_root, Clock* clock)
    : clock_(mutex_, clock ? *clock : real_clock_), session_(host_, clock_, Drive(std::move(drive_root))) {}

Rv9Device::~Rv9Device() {
  Disconnect();
}

bool Rv9Device::Connect(const Rv9Options& options, std::string& message) {
  Disconnect();
  message.clear();
  // Missing or unreadable settings leave the defaults; the driver never writes the window's file.
  Settings loaded;
  if (LoadSettings(loaded, session_.drive, host_) == 0) session_.settings = loaded;
  host_.TakeMessages();
  if (options.simulate) {
    SimulatedCameraOptions camera_options;
    sim_ = std::make_unique<Simulation>(clock_, options.seed, camera_options);
    transport_ = std::make_unique<LockedTransport>(sim_->camera, mutex_, options.sim_full_readout_ms,
                                                   options.sim_window_readout_ms);
  } else {
    std::string holder;
    if (!lock_.Acquire(CameraLockPath(session_.drive), holder)) {
      message = CameraInUseText(holder);
      return false;
    }
    usb_ = std::make_unique<LibusbTransport>();
    transport_ = std::make_unique<LockedTransport>(*usb_, mutex_, 0, 0);
  }
  camera_ = std::make_unique<Camera>(*transport_, host_, clock_);
  FindCamera(*camera_, session_.settings.debug_mode);
  if (camera_->CameraPresent) SendControl(*camera_, kControlEndIntegration);
  if (!camera_->CameraPresent) {
    // What the scan showed ("Could not open HID device", ...) comes first, then the verdict.
    for (const std::string& m : host_.TakeMessages()) message += m + "; ";
    message += kNoCamera;
    Disconnect();
    return false;
  }
  return true;
}

void Rv9Device::Disconnect() {
  CloseGuidePort();
  camera_.reset();
  transport_.reset();
  usb_.reset();
  sim_.reset();
  lock_.Release();
}

void Rv9Device::Control(int code) {
  if (camera_) SendControl(*camera_, code);
}

Rv9Device::ReadResult Rv9Device::Read(const ReadoutPlan& plan, int exposure_ms, bool colour) {
  ReadResult result;
  if (!camera_) return result;
  Camera& camera = *camera_;
  ImageStore& store = session_.store;
  camera.ExposureMs = exposure_ms;
  if (plan.window) {
    camera.FocusWindowX = plan.focus_x;
    camera.FocusWindowY = plan.focus_y;
    result.ok = ReadWindow(camera, store.CurrentFrame, exposure_ms);
  } else {
    result.ok = ReadFullFrame(camera, store.CurrentFrame);
  }
  result.gone = !camera.CameraPresent;
  if (result.ok && colour && !plan.window) {
    store.ColourConverted = 0;
    SynthesizeColour(store, host_, session_.settings);
  }
  return result;
}

bool Rv9Device::OpenGuidePort(const std::string& device, std::string& message) {
  CloseGuidePort();
  message.clear();
  SerialPort* target = nullptr;
  if (sim_) {
    target = &sim_->mount;
  } else {
    if (device.empty()) {
      message = "No guide port set";
      return false;
    }
    box_port_ = std::make_unique<QtSerialPort>(std::filesystem::path(device));
    target = box_port_.get();
  }
  locked_box_port_ = std::make_unique<LockedPort>(*target, mutex_);
  link_.port = locked_box_port_.get();
  host_.TakeMessages();
  if (!OpenControlBoxLink(link_, session_.settings, session_.drive, host_) ||
      ResetControlBox(link_, host_, clock_) != 0) {
    for (const std::string& m : host_.TakeMessages()) message += (message.empty() ? "" : "; ") + m;
    if (message.empty()) message = "Open Communications Failed";
    CloseGuidePort();
    return false;
  }
  guide_open_ = true;
  return true;
}

void Rv9Device::CloseGuidePort() {
  if (link_.port) {
    if (guide_open_) link_.port->Putc(0);
    link_.port->Done();
  }
  link_.port = nullptr;
  link_.TelescopeLinkOpen = false;
  link_.ControlBoxPresent = false;
  guide_open_ = false;
  locked_box_port_.reset();
  box_port_.reset();
}

uint8_t Rv9Device::RelayBit(char compass) const {
  return BoxByte(DriveLetter(session_.settings, compass));
}

bool Rv9Device::SetRelays(uint8_t bits) {
  if (!guide_open_ || !link_.port) return false;
  // The box readies the relays with the direction byte and closes them with the same plus 0x10. The
  // two bytes need a millisecond between them, which the line itself gives: one byte takes 33 ms at
  // 300 baud.
  if (bits == 0) return link_.port->Putc(0) >= 0;
  return link_.port->Putc(bits) >= 0 && link_.port->Putc(static_cast<uint8_t>(bits | kRelayBit)) >= 0;
}

SimulatedSky* Rv9Device::Sky() {
  return sim_ ? &sim_->sky : nullptr;
}

}  // namespace nyxel

namespace nyxel {

SimulatedCamera* Rv9Device::SimCamera() {
  return sim_ ? &sim_->camera : nullptr;
}

}  // namespace nyxel
