#include "camera/sim/SimulatedCamera.h"

#include <algorithm>
#include <cerrno>
#include <cmath>

#include "camera/CameraProtocol.h"
#include "core/Geometry.h"

namespace nyxel {
namespace {

// Frame pixel (row, column) is sensor pixel (row + 7, column + 19): the picture starts 8,102 bytes in.
constexpr int kImageTopLine = 7;
constexpr int kImageLeftPixel = 19;
constexpr int kLitColumns = kFullFrameCopyPixels;
constexpr int kSensorPixels = kSensorLines * kSensorLinePixels;
// A moving field is integrated at this many moments across the exposure.
constexpr int kTrailSamples = 32;
constexpr size_t kCommandLogLimit = 1 << 20;

// The mosaic filters, by (column phase, row phase): responses to red, green and blue light.
constexpr std::array<std::array<double, 3>, 4> kResponses = {{
    {14.0 / 30, 1.0 / 6, 1.0 / 10},  // column phase 0, row phase 0
    {7.0 / 30, 1.0 / 3, 0},          // column phase 0, row phase 1
    {0, 1.0 / 3, 1.0 / 10},          // column phase 1, row phase 0
    {7.0 / 30, 1.0 / 6, 1.0 / 5},    // column phase 1, row phase 1
}};

// Even frame columns have column phase 1, even rows row phase 0 (the default mosaic offsets).
inline int MosaicIndex(int row, int column) {
  return ((~column & 1) << 1) | (row & 1);
}

double Phi(double z) {
  return 0.5 * std::erfc(-z / std::sqrt(2.0));
}

}  // namespace

const std::array<double, 3>& SimulatedCamera::MosaicResponse(int row, int column) {
  return kResponses[MosaicIndex(row, column)];
}

void SimulatedCamera::WindowOrigin(uint8_t byte3, uint8_t byte5, int& column, int& row) {
  column = 3 * byte5 - 20;
  row = byte3 - 6;
}

SimulatedCamera::SimulatedCamera(SimulatedSky& sky, SimulatedCameraOptions options)
    : sky_(sky), options_(options), random_(options.seed), signal_(kSensorPixels) {
  std::normal_distribution<float> normal(0, 1);
  for (float& g : gaussian_) g = normal(random_);
  // One hot pixel inside the default focus window, away from the bright star; the rest anywhere.
  hot_pixels_.push_back({220, 90});
  std::uniform_int_distribution<int> column(0, kLitColumns - 1);
  std::uniform_int_distribution<int> row(0, kFrameHeight - 1);
  while (static_cast<int>(hot_pixels_.size()) < options_.hot_pixels) {
    hot_pixels_.push_back({column(random_), row(random_)});
  }
  hot_pixels_.resize(std::max(options_.hot_pixels, 0));
}

bool SimulatedCamera::ListInterfaces(UsbClass usb_class, std::vector<UsbInterface>& out) {
  out.clear();
  if (!connected) return true;
  UsbInterface usb_interface;
  usb_interface.vendor_id = kVendorId;
  usb_interface.product_id = kProductId;
  usb_interface.manufacturer = u"Nyxel simulator";
  usb_interface.product = usb_class == UsbClass::Hid ? u"RV9 command channel" : u"RV9 image channel";
  usb_interface.key = usb_class == UsbClass::Hid ? kHidHandle : kBlockIOHandle;
  out.push_back(usb_interface);
  return true;
}

int SimulatedCamera::Open(UsbClass usb_class, const UsbInterface& usb_interface) {
  if (!connected) return 0;
  const int handle = usb_class == UsbClass::Hid ? kHidHandle : kBlockIOHandle;
  return static_cast<uint64_t>(handle) == usb_interface.key ? handle : 0;
}

int SimulatedCamera::WriteReport(int handle, std::span<const uint8_t> report) {
  if (handle != kHidHandle || !connected) return EBADF;
  if (write_error != 0) return write_error;
  // The camera's reports are 8 bytes after report id 0; anything else the device stalls.
  if (report.size() != 9 || report[0] != 0) return EPIPE;
  SentCommand command{{}, sky_.clock().NowMs()};
  std::copy(report.begin() + 1, report.end(), command.bytes.begin());
  // Long waits clear the camera every millisecond; keep the log from growing without bound.
  if (commands.size() >= kCommandLogLimit)
    commands.erase(commands.begin(), commands.begin() + kCommandLogLimit / 2);
  commands.push_back(command);

  const uint32_t now = command.time_ms;
  if (command.bytes[0] == 2) {
    switch (command.bytes[1]) {
      case kControlStartIntegration:
        main_integrating_ = true;
        main_start_ = now;
        break;
      case kControlClear:
        if (!window_integrating_) {
          window_integrating_ = true;
          window_start_ = now;
        }
        break;
      case kControlEndIntegration:
      case kControlEndGuided:
      case kControlEndGuidedSecondHalf:
        end_pending_ = true;
        end_time_ = now;
        break;
      default:
        break;
    }
  } else if (command.bytes[0] == 4) {
    read_pending_ = true;
    read_command_ = command.bytes;
  }
  return 0;
}

int SimulatedCamera::ReadBulk(int handle, std::span<uint8_t> dest, uint32_t timeout_ms) {
  if (handle != kBlockIOHandle || !connected) return EBADF;
  if (read_error != 0) return read_error;
  Clock& clock = sky_.clock();
  if (!read_pending_) {
    clock.Pause(timeout_ms);  // the camera sends nothing without a read command
    return ETIMEDOUT;
  }
  read_pending_ = false;
  const bool window = read_command_[7] == 1;
  const uint32_t camera_timed = read_command_[1] | (read_command_[2] << 8);
  uint32_t start = 0, end = 0;
  if (camera_timed != 0) {
    start = clock.NowMs();
    clock.Pause(camera_timed);
    end = clock.NowMs();
  } else {
    end = end_pending_ ? end_time_ : clock.NowMs();
    const bool integrating = window ? window_integrating_ : main_integrating_;
    start = integrating ? (window ? window_start_ : main_start_) : end;
    if (ElapsedMs(end, start) < 0) start = end;
  }
  last_exposure_ms = ElapsedMs(end, start);
  end_pending_ = false;
  window_integrating_ = false;
  if (!window) main_integrating_ = false;

  const size_t produced = window ? kWindowReadLength : kFullFrameReadLength;
  if (dest.size() > produced) return EIO;        // a short transfer
  if (dest.size() < produced) return EOVERFLOW;  // the device sent more than was asked for
  if (window) {
    WindowOrigin(read_command_[3], read_command_[5], last_window_column, last_window_row);
    Render(last_window_row + kImageTopLine, last_window_column + kImageLeftPixel, kFocusSize, kFocusSize,
           dest.data(), kFocusSize * 2, start, end);
    clock.Pause(options_.window_readout_ms);
  } else {
    Render(0, 0, kSensorLines, kSensorLinePixels, dest.data(), kSensorLineBytes, start, end);
    clock.Pause(options_.full_readout_ms);
  }
  return 0;
}

float SimulatedCamera::Noise() {
  return gaussian_[random_() & (gaussian_.size() - 1)];
}

void SimulatedCamera::Render(int sensor_top, int sensor_left, int rows, int columns, uint8_t* dest,
                             size_t stride_bytes, uint32_t start_ms, uint32_t end_ms) {
  const double seconds = std::max(ElapsedMs(end_ms, start_ms), 0) / 1000.0;
  const int frame_top = sensor_top - kImageTopLine;
  const int frame_left = sensor_left - kImageLeftPixel;
  auto lit = [](int row, int column) {
    return row >= 0 && row < kFrameHeight && column >= 0 && column < kLitColumns;
  };

  // Sky glow and dark current.
  std::array<float, 4> glow{};
  for (int i = 0; i < 4; ++i) {
    glow[i] = static_cast<float>(sky_.sky_background * seconds *
                                 (kResponses[i][0] + kResponses[i][1] + kResponses[i][2]));
  }
  const float dark = static_cast<float>(options_.dark_rate * seconds);
  for (int r = 0; r < rows; ++r) {
    float* line = &signal_[static_cast<size_t>(r) * columns];
    for (int c = 0; c < columns; ++c) {
      const int row = frame_top + r, column = frame_left + c;
      line[c] = dark + (lit(row, column) ? glow[MosaicIndex(row, column)] : 0.0f);
    }
  }

  // Stars, sampled across the exposure when the field moves during it.
  const uint32_t middle = start_ms + (end_ms - start_ms) / 2;
  const SkyOffset o0 = sky_.OffsetAt(start_ms), o1 = sky_.OffsetAt(middle), o2 = sky_.OffsetAt(end_ms);
  const bool moving = o0.x != o1.x || o0.y != o1.y || o0.x != o2.x || o0.y != o2.y;
  const int samples = moving ? kTrailSamples : 1;
  const double sigma = std::max(sky_.psf_sigma, 0.3);
  const int reach = static_cast<int>(std::ceil(4 * sigma)) + 1;
  std::array<double, 64> wx{}, wy{};
  const int span = std::min(2 * reach + 1, static_cast<int>(wx.size()));
  for (const SkyStar& star : sky_.Stars()) {
    std::array<float, 4> response{};
    for (int i = 0; i < 4; ++i) {
      response[i] = static_cast<float>(kResponses[i][0] * star.red + kResponses[i][1] * star.green +
                                       kResponses[i][2] * star.blue);
    }
    const double amount = star.flux * seconds / samples;
    for (int k = 0; k < samples; ++k) {
      const uint32_t t = start_ms + static_cast<uint32_t>((end_ms - start_ms) * (k + 0.5) / samples);
      const SkyOffset p = sky_.StarPosition(star, samples == 1 ? start_ms : t);
      // Pixel (row, column) covers [column - 0.5, column + 0.5) and the same in rows.
      const int column0 = static_cast<int>(std::lround(p.x)) - reach;
      const int row0 = static_cast<int>(std::lround(p.y)) - reach;
      if (column0 + span <= frame_left || column0 >= frame_left + columns || row0 + span <= frame_top ||
          row0 >= frame_top + rows) {
        continue;
      }
      for (int j = 0; j < span; ++j) {
        wx[j] = Phi((column0 + j + 0.5 - p.x) / sigma) - Phi((column0 + j - 0.5 - p.x) / sigma);
        wy[j] = Phi((row0 + j + 0.5 - p.y) / sigma) - Phi((row0 + j - 0.5 - p.y) / sigma);
      }
      for (int j = 0; j < span; ++j) {
        const int row = row0 + j, r = row - frame_top;
        if (r < 0 || r >= rows) continue;
        for (int i = 0; i < span; ++i) {
          const int column = column0 + i, c = column - frame_left;
          if (c < 0 || c >= columns || !lit(row, column)) continue;
          signal_[static_cast<size_t>(r) * columns + c] +=
              static_cast<float>(amount * wy[j] * wx[i]) * response[MosaicIndex(row, column)];
        }
      }
    }
  }

  for (const auto& hot : hot_pixels_) {
    const int r = hot[1] - frame_top, c = hot[0] - frame_left;
    if (r < 0 || r >= rows || c < 0 || c >= columns) continue;
    signal_[static_cast<size_t>(r) * columns + c] +=
        static_cast<float>(options_.hot_pixel_offset + options_.hot_pixel_rate * seconds);
  }

  // Bias, noise, saturation; 16-bit little-endian out.
  const float bias = static_cast<float>(options_.bias);
  const float read_noise = static_cast<float>(options_.read_noise);
  for (int r = 0; r < rows; ++r) {
    const float* line = &signal_[static_cast<size_t>(r) * columns];
    uint8_t* out = dest + r * stride_bytes;
    for (int c = 0; c < columns; ++c) {
      float value = bias + line[c];
      if (options_.noise) value += std::sqrt(std::max(line[c], 0.0f)) * Noise() + read_noise * Noise();
      const int pixel = std::clamp(static_cast<int>(std::lround(value)), 0, 65535);
      out[2 * c] = static_cast<uint8_t>(pixel & 0xFF);
      out[2 * c + 1] = static_cast<uint8_t>(pixel >> 8);
    }
  }
}

}  // namespace nyxel
