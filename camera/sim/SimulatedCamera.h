#pragma once
// A camera at the far end of the transport: answers the command reports the way the real camera's
// firmware does and delivers frames rendered from a SimulatedSky through the colour mosaic, with bias,
// dark current, read and photon noise, a few hot pixels and saturation at 65535.
//
// Camera model: code 1 starts the main integration; code 2 starts a window integration (unless one is
// already running) and leaves the main one alone; codes 3, 4 and 5 end the integration whose read
// follows. A full-frame read ends the main integration, a window read does not. A read command whose
// bytes 1-2 are non-zero is timed by the camera itself (the clock moves on by that much during the read);
// otherwise the exposure is the clock time between the start and the end code.
#include <array>
#include <cstdint>
#include <random>
#include <vector>

#include "camera/CameraTransport.h"
#include "camera/sim/SimulatedSky.h"

namespace nyxel {

struct SimulatedCameraOptions {
  double bias = 1000;              // ADU
  double read_noise = 6;           // ADU rms
  double dark_rate = 4;            // ADU per second per pixel
  int hot_pixels = 6;              // one of them inside the default focus window
  double hot_pixel_offset = 6000;  // ADU, seen even in the shortest exposure
  double hot_pixel_rate = 4000;    // ADU per second
  bool noise = true;               // photon and read noise; off for exact arithmetic in tests
  uint32_t full_readout_ms = 0;    // clock time a full-frame download takes
  uint32_t window_readout_ms = 0;
  uint32_t seed = 7;
};

class SimulatedCamera : public CameraTransport {
 public:
  static constexpr int kHidHandle = 1;
  static constexpr int kBlockIOHandle = 2;
  static constexpr uint16_t kVendorId = 0x1d6b;  // arbitrary ids of the simulated device
  static constexpr uint16_t kProductId = 0x0109;

  explicit SimulatedCamera(SimulatedSky& sky, SimulatedCameraOptions options = {});

  bool ListInterfaces(UsbClass usb_class, std::vector<UsbInterface>& out) override;
  int Open(UsbClass usb_class, const UsbInterface& usb_interface) override;
  int WriteReport(int handle, std::span<const uint8_t> report) override;
  int ReadBulk(int handle, std::span<uint8_t> dest, uint32_t timeout_ms) override;

  // Filter response (red, green, blue) of the mosaic pixel at frame row r, column u. Chosen so that the
  // program's colour synthesis gives a star back its own colour.
  static const std::array<double, 3>& MosaicResponse(int row, int column);
  // Top-left frame pixel (column, row) of the window the camera reads for window bytes 3 and 5: the
  // camera's window sits 6 rows above and 4 columns right of the nominal one (the guide-window placement
  // corrects for exactly this).
  static void WindowOrigin(uint8_t byte3, uint8_t byte5, int& column, int& row);

  // Hot pixels as frame (column, row).
  const std::vector<std::array<int, 2>>& HotPixels() const { return hot_pixels_; }

  // What happened, for tests. The command log keeps at least the last 524,288 commands.
  struct SentCommand {
    std::array<uint8_t, 8> bytes;  // the payload after the report id
    uint32_t time_ms;
  };
  std::vector<SentCommand> commands;
  double last_exposure_ms = 0;  // the integration the last read delivered
  int last_window_column = 0, last_window_row = 0;

  // Faults to inject.
  bool connected = true;  // false: no interface enumerates
  int write_error = 0;    // returned by every write when non-zero
  int read_error = 0;

 private:
  void Render(int sensor_top, int sensor_left, int rows, int columns, uint8_t* dest, size_t stride_bytes,
              uint32_t start_ms, uint32_t end_ms);
  float Noise();

  SimulatedSky& sky_;
  SimulatedCameraOptions options_;
  std::mt19937 random_;
  std::array<float, 4096> gaussian_{};
  std::vector<float> signal_;  // one sensor's worth, reused by every read
  std::vector<std::array<int, 2>> hot_pixels_;

  bool main_integrating_ = false;
  uint32_t main_start_ = 0;
  bool window_integrating_ = false;
  uint32_t window_start_ = 0;
  bool end_pending_ = false;
  uint32_t end_time_ = 0;
  bool read_pending_ = false;
  std::array<uint8_t, 8> read_command_{};
};

}  // namespace nyxel
