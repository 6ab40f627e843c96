#include "camera/CameraProtocol.h"

#include <algorithm>
#include <bit>
#include <cstring>

#include "camera/FocusMeasure.h"

namespace nyxel {
namespace {

static_assert(std::endian::native == std::endian::little, "camera pixels are copied as they arrive");

// One turn of a host wait; the camera is cleared once per turn.
constexpr uint32_t kHostWaitTurnMs = 1;

bool ExposeWindow(Camera& camera, ImageStore& store, char unit, int value) {
  camera.ExposureMs = ExposureFromUnit(unit, value, false);
  SendControl(camera, kControlClear);
  SendControl(camera, kControlStartIntegration);
  HostWait(camera, camera.ExposureMs);
  SendControl(camera, kControlEndIntegration);
  return ReadWindow(camera, store.CurrentFrame);
}

}  // namespace

void SendControl(Camera& camera, int code) {
  camera.CommandBlock.fill(0);
  camera.CommandBlock[0] = 2;
  camera.CommandBlock[1] = static_cast<uint8_t>(code);
  WriteUSBdevice(camera, camera.CommandBlock);
}

int ExposureFromUnit(char unit, int value, bool minutes_allowed) {
  switch (unit) {
    case 'q':
      return value;
    case 'h':
      return value * 10;
    case 't':
      return value * 100;
    case 'm':
      return value * (minutes_allowed ? 60000 : 1000);
    default:
      return value * 1000;
  }
}

void SetExposureBytes(Camera& camera, int exposure_ms) {
  const bool camera_timed = exposure_ms >= 0 && exposure_ms < kCameraTimedBelowMs;
  camera.CommandBlock[1] = camera_timed ? static_cast<uint8_t>(exposure_ms & 0xFF) : 0;
  camera.CommandBlock[2] = camera_timed ? static_cast<uint8_t>(exposure_ms >> 8) : 0;
}

void SetWindowBytes(Camera& camera) {
  const int column_code = ((camera.FocusWindowX + 64) - 40) / 3;
  camera.CommandBlock[3] = static_cast<uint8_t>(camera.FocusWindowY);
  camera.CommandBlock[4] = static_cast<uint8_t>(34 - (camera.FocusWindowY + 64));
  camera.CommandBlock[5] = static_cast<uint8_t>(column_code);
  camera.CommandBlock[6] = static_cast<uint8_t>(250 - column_code);
  camera.CommandBlock[7] = 1;
}

bool ReadFullFrame(Camera& camera, Frame& dest) {
  SetExposureBytes(camera, camera.ExposureMs);
  camera.CommandBlock[3] = 0;
  camera.CommandBlock[4] = 0;
  camera.CommandBlock[7] = 0;  // bytes 5 and 6 keep what the last command left (0 after any control)
  camera.ReadLength = kFullFrameReadLength;
  if (ReadBlockIO(camera, camera.ReadLength) != 0) return false;
  const uint8_t* source = camera.ReceiveBuffer.data() + kFullFrameImageStart;
  for (int row = 0; row < kFrameHeight; ++row) {
    std::memcpy(&dest[PixelIndex(row, 0)], source, kFullFrameCopyPixels * 2);
    source += kSensorLineBytes;
  }
  return true;
}

bool ReadWindow(Camera& camera, Frame& dest, int exposure_ms) {
  SetExposureBytes(camera, exposure_ms);
  SetWindowBytes(camera);
  camera.ReadLength = kWindowReadLength;
  if (ReadBlockIO(camera, camera.ReadLength) != 0) return false;
  std::memcpy(dest.data(), camera.ReceiveBuffer.data(), kWindowReadLength);
  return true;
}

void HostWait(Camera& camera, int exposure_ms) {
  if (exposure_ms < kCameraTimedBelowMs) return;
  const uint32_t deadline = camera.clock.NowMs() + static_cast<uint32_t>(exposure_ms);
  while (ElapsedMs(camera.clock.NowMs(), deadline) < 0) {
    if (exposure_ms > kClearWhileWaitingAboveMs) SendControl(camera, kControlClear);
    camera.clock.Pause(kHostWaitTurnMs);
  }
}

int WindowMaximum(const Frame& window) {
  int m = 0;
  for (int row = 12; row <= 125; ++row) {
    for (int column = 5; column <= 125; ++column) {
      const int value = window[row * kFocusSize + column] / 4;
      const int above = window[(row - 1) * kFocusSize + column] / 4;
      if (value > m && above > m) m = value;
    }
  }
  return m;
}

void PaletteStretchWindow(const ImageStore& store, Frame& window) {
  if (store.MaxPaletteAll != 0 || store.PaletteBits >= 16 || store.PaletteBits < 12) return;
  const int shift = 16 - store.PaletteBits;
  for (int i = 0; i < kFocusPixels; ++i) {
    window[i] = static_cast<uint16_t>(std::min(window[i] << shift, 65535));
  }
}

int TakeFocusFrame(Camera& camera, ImageStore& store, char unit, int value, StarSize* size) {
  if (!ExposeWindow(camera, store, unit, value)) return kWindowReadFailed;
  const int maximum = WindowMaximum(store.CurrentFrame);
  if (size) *size = MeasureWindowStar(store.CurrentFrame);
  PaletteStretchWindow(store, store.CurrentFrame);
  return maximum;
}

bool TakeGuideFrame(Camera& camera, ImageStore& store, char unit, int value) {
  if (!ExposeWindow(camera, store, unit, value)) return false;
  PaletteStretchWindow(store, store.CurrentFrame);
  return true;
}

bool TakeGuidingFrame(Camera& camera, ImageStore& store, int guiding_exposure_ms) {
  SendControl(camera, kControlClear);
  HostWait(camera, guiding_exposure_ms);
  SendControl(camera, camera.HalfTimeReadoutDone ? kControlEndGuidedSecondHalf : kControlEndGuided);
  // The read carries the guiding exposure, so a short guide window is timed by the camera as well.
  if (!ReadWindow(camera, store.CurrentFrame, guiding_exposure_ms)) return false;
  PaletteStretchWindow(store, store.CurrentFrame);
  return true;
}

}  // namespace nyxel
